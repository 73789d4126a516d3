// gatewise_crash_child.exe <mode> <log file> [<start event>]
//   <log file> "-" keeps the reporter's own: the program's path with ".LOG".
//   unhandled: an exception that no code handles reaches the reporter; exits 3
//              when the dialog is closed with "OK"
//   handled:   an exception caught and handled by the program; exits 7
//   quiet:     waits for the named start event, then reports an exception
//              without showing it (log entry only); exits 3
//   access-violation, stack-overflow, illegal-instruction, divide-by-zero:
//              that hardware fault in the program's code on the main thread
//   window-procedure: an access violation inside a window procedure that
//              guards its handlers as the toolkit does
//   thread:    an access violation on a second thread
//   system-dll: an access violation inside a system DLL (the C runtime's
//              memset), which nothing handles
//   heap-locked: an access violation while the thread holds the lock of the
//              process heap, which the report needs
//   reporter-threads: exits with the number of threads that installing the
//              reporter started
// A hardware fault ends the process with its exception code after the report;
// exit code 4 means that the program went on after one. The exit code 1
// belongs to "Terminate" of a report that is not a fault's.

#include "crashreport/ExceptionReporter.h"
#include "crashreport/ReporterSettings.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

__attribute__((noinline)) int ParseCount(const std::wstring& text) {
    if (text.empty() || text.find_first_not_of(L"0123456789") != std::wstring::npos)
        throw EConvertError("'" + std::string(text.begin(), text.end()) + "' is not a valid integer value");
    return std::stoi(text);
}

int HandledConversion() {
    try {
        return ParseCount(L"abc");
    } catch (const EConvertError&) {
        return -1;
    }
}

int ReportedConversion() {
    try {
        ParseCount(L"12x");
    } catch (...) {
        crashreport::ReportException(std::current_exception());
    }
    return 3;
}

// ---- hardware faults; the optimiser must not see through them

int* volatile g_nowhere = nullptr;
volatile int g_zero = 0;
volatile int g_sink = 0;

__attribute__((noinline)) void WriteThroughNull() {
    *g_nowhere = 42;
}

void* (*volatile g_fill)(void*, int, std::size_t) = &std::memset;  // called, never inlined

__attribute__((noinline)) void FillNowhere() {
    g_fill(g_nowhere, 0, 4096);
}

__attribute__((noinline)) int Deeper(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth < g_zero) return 0;  // never: the recursion only ends with the stack
    return Deeper(depth + 1) + frame[0];
}

__attribute__((noinline)) void ExecuteIllegalInstruction() {
    __builtin_trap();
}

__attribute__((noinline)) void DivideByZero() {
    g_sink = 42 / g_zero;
}

__attribute__((noinline)) void FaultHoldingTheHeap() {
    HeapLock(GetProcessHeap());
    WriteThroughNull();
}

// A window procedure that guards its handlers as the toolkit's does: a fault
// must not be mistaken for an exception that the program may go on after.
LRESULT CALLBACK FaultingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        try {
            WriteThroughNull();
        } catch (...) {
            crashreport::ReportException(std::current_exception());
        }
        PostQuitMessage(4);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int FaultInWindowProcedure() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &FaultingWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"GatewiseCrashChild";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowW(L"GatewiseCrashChild", L"crash child", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                      nullptr, nullptr, windowClass.hInstance, nullptr);
    PostMessageW(window, WM_APP, 0, 0);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return static_cast<int>(message.wParam);
}

DWORD WINAPI FaultingThread(void*) {
    WriteThroughNull();
    return 0;
}

int FaultOnAnotherThread() {
    const HANDLE thread = CreateThread(nullptr, 0, &FaultingThread, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return 4;
}

// Tells the test through the semaphore "<start event>-ready" that it waits.
int QuietReportAfterStart(const std::wstring& startEvent) {
    crashreport::Settings().options &= ~crashreport::roShowReport;
    const HANDLE start = OpenEventW(SYNCHRONIZE, FALSE, startEvent.c_str());
    const HANDLE ready = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, (startEvent + L"-ready").c_str());
    if (!start || !ready) return 2;
    ReleaseSemaphore(ready, 1, nullptr);
    WaitForSingleObject(start, 60000);
    CloseHandle(ready);
    CloseHandle(start);
    return ReportedConversion();
}

int ThreadsOfThisProcess() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int threads = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        threads += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return threads;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const int threadsBefore = ThreadsOfThisProcess();
    crashreport::InstallExceptionReporter();
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 3) return 2;
    const std::wstring mode = arguments[1];
    if (std::wstring(arguments[2]) != L"-") crashreport::Settings().logFile = arguments[2];
    const std::wstring startEvent = count > 3 ? arguments[3] : L"";
    LocalFree(arguments);

    if (mode == L"handled") return HandledConversion() == -1 ? 7 : 6;
    if (mode == L"unhandled") return ReportedConversion();
    if (mode == L"quiet") return QuietReportAfterStart(startEvent);
    if (mode == L"reporter-threads") return ThreadsOfThisProcess() - threadsBefore;
    if (mode == L"access-violation") WriteThroughNull();
    else if (mode == L"stack-overflow") g_sink = Deeper(0);
    else if (mode == L"illegal-instruction") ExecuteIllegalInstruction();
    else if (mode == L"divide-by-zero") DivideByZero();
    else if (mode == L"system-dll") FillNowhere();
    else if (mode == L"heap-locked") FaultHoldingTheHeap();
    else if (mode == L"window-procedure") return FaultInWindowProcedure();
    else if (mode == L"thread") return FaultOnAnotherThread();
    else return 2;
    return 4;
}
