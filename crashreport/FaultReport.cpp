#include "crashreport/FaultReport.h"

#include <atomic>

namespace crashreport {
namespace {

// How long the faulting thread waits for the report's dialog.
constexpr DWORD kReportPatience = 5000;
// The stack that the installing thread keeps for a stack overflow's handler,
// which starts the reporter thread with it.
constexpr ULONG kOverflowStack = 32 * 1024;

RaiseRecord* g_room = nullptr;   // set aside for the report, before any fault
HANDLE g_dialogShown = nullptr;  // set by the reporter thread once its dialog shows
HANDLE g_reporterThread = nullptr;
std::atomic<DWORD> g_reporterThreadId{0};
FaultReportFunction g_report = nullptr;
PendingFault g_fault{};
std::atomic<bool> g_faultClaimed{false};
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;

DWORD WINAPI ReporterThread(void*) {
    const DWORD code = g_fault.exception->ExceptionCode;
    g_report(g_fault, *g_room);
    TerminateProcess(GetCurrentProcess(), code);
    return code;
}

// Started by the first faulting thread once it has set g_fault, and only
// then: a thread standing by from start-up would cost its memory in every
// run (Wine charges each thread about a megabyte of stack). Its id is known
// before it runs, so that a fault of its own is told apart.
bool StartReporterThread() {
    DWORD id = 0;
    g_reporterThread = CreateThread(nullptr, 0, &ReporterThread, nullptr, CREATE_SUSPENDED, &id);
    if (!g_reporterThread) return false;
    g_reporterThreadId = id;
    ResumeThread(g_reporterThread);
    return true;
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
    if (g_room) return;
    g_report = report;
    g_dialogShown = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The record is large; it is set aside now, while memory is sure to be had.
    g_room = g_dialogShown ? static_cast<RaiseRecord*>(VirtualAlloc(nullptr, sizeof(RaiseRecord),
                                                                     MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
                           : nullptr;
    if (!g_room) {
        if (g_dialogShown) CloseHandle(g_dialogShown);
        g_dialogShown = nullptr;
        return;
    }
    ULONG guarantee = kOverflowStack;
    SetThreadStackGuarantee(&guarantee);
    g_previousFilter = SetUnhandledExceptionFilter(&OnUnhandledException);
}

void HandOverFault(EXCEPTION_POINTERS* pointers) {
    if (!g_room) return;
    if (GetCurrentThreadId() == g_reporterThreadId)  // the report itself failed
        TerminateProcess(GetCurrentProcess(), g_fault.exception->ExceptionCode);
    if (!g_faultClaimed.exchange(true)) {
        g_fault = {pointers->ExceptionRecord, pointers->ContextRecord, GetCurrentThreadId(), CurrentStackBounds()};
        if (!StartReporterThread()) TerminateProcess(GetCurrentProcess(), pointers->ExceptionRecord->ExceptionCode);
        AwaitReportDialog(pointers->ExceptionRecord->ExceptionCode);
    }
    for (;;) Sleep(INFINITE);  // the reporter thread ends the process
}

void FaultDialogShown() {
    if (g_dialogShown) SetEvent(g_dialogShown);
}

}  // namespace crashreport
