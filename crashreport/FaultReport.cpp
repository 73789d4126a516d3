#include "crashreport/FaultReport.h"

#include <atomic>

namespace crashreport {
namespace {

HANDLE g_faultSignal = nullptr;  // set once by the first faulting thread
DWORD g_reporterThreadId = 0;
FaultReportFunction g_report = nullptr;
PendingFault g_fault{};
std::atomic<bool> g_faultClaimed{false};
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;

DWORD WINAPI ReporterThread(void*) {
    // The record is large; it is set aside now, while memory is sure to be had.
    void* room = VirtualAlloc(nullptr, sizeof(RaiseRecord), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    WaitForSingleObject(g_faultSignal, INFINITE);
    const DWORD code = g_fault.exception->ExceptionCode;
    if (room) g_report(g_fault, *static_cast<RaiseRecord*>(room));
    TerminateProcess(GetCurrentProcess(), code);
    return code;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
    if (IsHardwareFault(pointers->ExceptionRecord->ExceptionCode)) HandOverFault(pointers);
    return g_previousFilter ? g_previousFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void StartFaultReporter(FaultReportFunction report) {
    if (g_faultSignal) return;
    g_report = report;
    g_faultSignal = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!g_faultSignal) return;
    const HANDLE thread = CreateThread(nullptr, 0, &ReporterThread, nullptr, 0, &g_reporterThreadId);
    if (!thread) {
        CloseHandle(g_faultSignal);
        g_faultSignal = nullptr;
        return;
    }
    CloseHandle(thread);
    g_previousFilter = SetUnhandledExceptionFilter(&OnUnhandledException);
}

void HandOverFault(EXCEPTION_POINTERS* pointers) {
    if (!g_faultSignal) return;
    if (GetCurrentThreadId() == g_reporterThreadId)  // the report itself failed
        TerminateProcess(GetCurrentProcess(), g_faultClaimed ? g_fault.exception->ExceptionCode
                                                             : pointers->ExceptionRecord->ExceptionCode);
    if (!g_faultClaimed.exchange(true)) {
        g_fault = {pointers->ExceptionRecord, pointers->ContextRecord, GetCurrentThreadId(), CurrentStackBounds()};
        SetEvent(g_faultSignal);
    }
    for (;;) Sleep(INFINITE);  // the reporter thread ends the process
}

}  // namespace crashreport
