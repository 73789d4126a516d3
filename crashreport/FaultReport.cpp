#include "crashreport/FaultReport.h"

#include <atomic>

namespace crashreport {
namespace {

// How long the faulting thread waits for the report's dialog.
constexpr DWORD kReportPatience = 5000;

HANDLE g_faultSignal = nullptr;  // set once by the first faulting thread
HANDLE g_dialogShown = nullptr;  // set by the reporter thread once its dialog shows
HANDLE g_reporterThread = nullptr;
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

// Returns once the report's dialog shows; ends the process with `code` when it
// does not show in time, or the reporter thread is gone.
void AwaitReportDialog(DWORD code) {
    const HANDLE events[] = {g_dialogShown, g_reporterThread};
    if (WaitForMultipleObjects(2, events, FALSE, kReportPatience) != WAIT_OBJECT_0)
        TerminateProcess(GetCurrentProcess(), code);
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
    g_dialogShown = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Kept open for the life of the process: the faulting thread watches it.
    g_reporterThread = g_faultSignal && g_dialogShown
                           ? CreateThread(nullptr, 0, &ReporterThread, nullptr, 0, &g_reporterThreadId)
                           : nullptr;
    if (!g_reporterThread) {
        if (g_faultSignal) CloseHandle(g_faultSignal);
        if (g_dialogShown) CloseHandle(g_dialogShown);
        g_faultSignal = g_dialogShown = nullptr;
        return;
    }
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
        AwaitReportDialog(pointers->ExceptionRecord->ExceptionCode);
    }
    for (;;) Sleep(INFINITE);  // the reporter thread ends the process
}

void FaultDialogShown() {
    if (g_dialogShown) SetEvent(g_dialogShown);
}

}  // namespace crashreport
