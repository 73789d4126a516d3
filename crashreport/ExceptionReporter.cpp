#include "crashreport/ExceptionReporter.h"

#include "crashreport/CallStack.h"
#include "crashreport/FaultReport.h"
#include "crashreport/ProcessView.h"
#include "crashreport/RaiseCapture.h"
#include "crashreport/ReportDialog.h"
#include "crashreport/ReportText.h"
#include "crashreport/ReporterSettings.h"
#include "os/Text.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <typeinfo>
#include <vector>

#ifdef __GNUC__
#include <cxxabi.h>
#include <unwind.h>

#include <cstdlib>
#endif

namespace crashreport {
namespace {

CRITICAL_SECTION g_reportLock;
std::atomic<DWORD> g_reportingThread{0};  // the thread inside a report, or 0
DWORD g_mainThreadId = 0;
std::once_flag g_installation;

std::string ClassName(const std::type_info& type) {
#ifdef __GNUC__
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : type.name();
    std::free(demangled);
    return ClassDisplayName(name);
#else
    return ClassDisplayName(type.name());
#endif
}

struct Described {
    std::string className = "Exception";
    std::string message;
    const void* object = nullptr;  // the thrown object, when known
};

Described Describe(const std::exception_ptr& exception) {
    Described described;
    try {
        std::rethrow_exception(exception);
    } catch (const std::exception& error) {
        described.className = ClassName(typeid(error));
        described.message = error.what();
        described.object = dynamic_cast<const void*>(&error);
    } catch (...) {
#ifdef __GNUC__
        if (const std::type_info* type = abi::__cxa_current_exception_type()) described.className = ClassName(*type);
#endif
    }
    return described;
}

// Whether the recorded raise threw `object` (a throw of this runtime names
// its exception header in the raise's first parameter).
bool RaiseThrew(const RaiseRecord& raise, const void* object) {
#ifdef __GNUC__
    constexpr DWORD kGccThrow = 0x20474343;
    if (!object || raise.exception.ExceptionCode != kGccThrow || raise.exception.NumberParameters < 1) return true;
    const auto header = static_cast<std::uintptr_t>(raise.exception.ExceptionInformation[0]);
    return header + sizeof(_Unwind_Exception) == reinterpret_cast<std::uintptr_t>(object);
#else
    (void)raise;
    (void)object;
    return true;
#endif
}

std::string NowText() {
    wchar_t date[128] = L"", time[128] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 128);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, 128);
    return os::ToUtf8(std::wstring(date) + L" " + time);
}

// The log opened exclusively. Another report (of this program or another
// instance) may hold it for a moment: a locked log is tried again for about a
// second before the entry is given up.
HANDLE OpenLog(const std::wstring& path) {
    constexpr ULONGLONG kPatience = 1000;
    constexpr DWORD kPause = 20;
    const ULONGLONG deadline = GetTickCount64() + kPatience;
    for (;;) {
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) || GetTickCount64() >= deadline)
            return INVALID_HANDLE_VALUE;
        Sleep(kPause);
    }
}

// Appended at the end; a log that cannot be opened loses the entry.
void AppendToLog(const std::wstring& path, const std::string& entry) {
    const HANDLE file = OpenLog(path);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER end{};
    DWORD written = 0;
    if (SetFilePointerEx(file, end, nullptr, FILE_END))
        WriteFile(file, entry.data(), static_cast<DWORD>(entry.size()), &written, nullptr);
    CloseHandle(file);
}

ContextFacts ContextOf(const RaiseRecord& raise, DWORD threadId) {
    const CONTEXT& c = raise.context;
    ContextFacts facts;
    facts.mainThreadId = g_mainThreadId;
    facts.currentThreadId = threadId;
#ifdef _WIN64
    facts.wide = true;
    facts.ax = c.Rax, facts.bx = c.Rbx, facts.cx = c.Rcx, facts.dx = c.Rdx;
    facts.si = c.Rsi, facts.di = c.Rdi, facts.bp = c.Rbp, facts.sp = c.Rsp, facts.ip = c.Rip;
#else
    facts.wide = false;
    facts.ax = c.Eax, facts.bx = c.Ebx, facts.cx = c.Ecx, facts.dx = c.Edx;
    facts.si = c.Esi, facts.di = c.Edi, facts.bp = c.Ebp, facts.sp = c.Esp, facts.ip = c.Eip;
#endif
    facts.cs = static_cast<std::uint16_t>(c.SegCs), facts.ss = static_cast<std::uint16_t>(c.SegSs);
    facts.ds = static_cast<std::uint16_t>(c.SegDs), facts.es = static_cast<std::uint16_t>(c.SegEs);
    facts.fs = static_cast<std::uint16_t>(c.SegFs), facts.gs = static_cast<std::uint16_t>(c.SegGs);
    facts.flags = c.EFlags;
    std::uint8_t code[16];
    if (ReadProcessBytes(static_cast<std::uintptr_t>(facts.ip), code, sizeof code))
        facts.code.assign(std::begin(code), std::end(code));
    return facts;
}

// The copied stack, one pointer-sized value per slot. Where the unwind tables
// located the frames, the other slots are left out (zero): on x64 each frame
// keeps a home area for its callee's arguments that often still holds return
// addresses of earlier calls, which would show as calls that are not there and
// split the merging of a recursion.
std::vector<std::uintptr_t> ScannedStack(const RaiseRecord& raise) {
    std::vector<std::uintptr_t> values(raise.stackBytes / sizeof(std::uintptr_t));
    std::memcpy(values.data(), raise.stack, values.size() * sizeof(std::uintptr_t));
    const std::size_t known = raise.framesKnownBytes / sizeof(std::uintptr_t);
    for (std::size_t i = 0; i < known && i < values.size(); ++i)
        if (!raise.IsReturnSlot(i)) values[i] = 0;
    return values;
}

// Reports one at a time. A fault reported for a thread that was itself in the
// middle of a report takes over: that report waits for the end of the process.
class ReportLock {
public:
    explicit ReportLock(DWORD forThread) : held_(g_reportingThread != forThread) {
        if (!held_) return;
        EnterCriticalSection(&g_reportLock);
        g_reportingThread = forThread;
    }
    ~ReportLock() {
        if (!held_) return;
        g_reportingThread = 0;
        LeaveCriticalSection(&g_reportLock);
    }
    ReportLock(const ReportLock&) = delete;
    ReportLock& operator=(const ReportLock&) = delete;

private:
    bool held_;
};

// A report of a hardware fault: the process ends after it.
struct Fatal {
    DWORD threadId;
    DWORD exitCode;
};

void Report(const Described& described, const RaiseRecord& raise, const Fatal* fatal = nullptr) {
    const ReporterSettings& settings = Settings();
    const DWORD threadId = fatal ? fatal->threadId : GetCurrentThreadId();
    ReportLock lock(threadId);
    ProcessView inspector;

    ExceptionFacts facts;
    facts.className = described.className;
    facts.message = described.message;
    facts.address = raise.raiseAddress;
    facts.moduleName = inspector.ModuleName(raise.raiseAddress);
    if (inspector.HasDebugInformation(raise.raiseAddress)) {
        facts.debugModule = facts.moduleName;
        facts.location = inspector.Locate(raise.raiseAddress, raise.raiseIsReturnAddress);
    }
    const std::string message = FormatMessageText(facts, settings.options & roLongMessage);

    const std::vector<std::uintptr_t> stack = ScannedStack(raise);
    const auto entries =
        RecordCallStack(raise.raiseAddress, raise.raiseIsReturnAddress, stack, inspector, settings.deepestCallStack);
    const Lines callStack = FormatCallStack(entries, ProcessView::RegisteredModules());
    const Lines context = FormatContext(ContextOf(raise, threadId));
    const Lines additional;

    AppendToLog(settings.logFile, FormatLogEntry(NowText(), message, callStack, context, additional));
    if (!(settings.options & roShowReport)) return;

    ReportDialogContent dialog;
    dialog.caption = settings.caption;
    dialog.message = os::FromUtf8(message);
    if (settings.options & roCallStackPage) dialog.pages.push_back({L"Call Stack", os::FromUtf8(JoinLines(callStack))});
    if (settings.options & roRegistersPage) dialog.pages.push_back({L"Registers", os::FromUtf8(JoinLines(context))});
    if ((settings.options & roAdditionalPage) && !additional.empty())
        dialog.pages.push_back({settings.additionalTitle, os::FromUtf8(JoinLines(additional))});
    dialog.detailsShown = settings.options & roDetailsShown;
    dialog.terminateButton = settings.options & roTerminateButton;
    if (fatal) {
        dialog.exitCode = fatal->exitCode;
        dialog.shown = &FaultDialogShown;
    }
    ShowReportDialog(dialog);
}

// On the reporter thread, for the thread that met the fault.
void ReportFault(const PendingFault& fault, RaiseRecord& record) {
    const EXCEPTION_RECORD& exception = *fault.exception;
    RecordFault(record, exception, *fault.context, fault.stack);
    FaultFacts facts;
    facts.code = exception.ExceptionCode;
    facts.address = reinterpret_cast<std::uintptr_t>(exception.ExceptionAddress);
    if (exception.NumberParameters >= 2) {
        facts.accessKind = static_cast<std::uint32_t>(exception.ExceptionInformation[0]);
        facts.accessAddress = static_cast<std::uintptr_t>(exception.ExceptionInformation[1]);
    }
    const FaultDescription description = DescribeFault(facts);
    Described described;
    described.className = description.className;
    described.message = description.message;
    const Fatal fatal{fault.threadId, exception.ExceptionCode};
    Report(described, record, &fatal);
}

}  // namespace

ReporterSettings& Settings() {
    static ReporterSettings settings;
    return settings;
}

void InstallExceptionReporter() {
    std::call_once(g_installation, [] {
        InitializeCriticalSection(&g_reportLock);
        g_mainThreadId = GetCurrentThreadId();
        Settings().logFile = WithExtension(ModuleFilePath(nullptr), L".LOG");
        StartFaultReporter(&ReportFault);
        InstallRaiseCapture(&HandOverFault);
    });
}

void ReportException(std::exception_ptr exception) noexcept {
    if (!exception) return;
    try {
        InstallExceptionReporter();  // a report before start-up installed it still reaches the user
        Described described;
        {
            PausedRaiseCapture paused;  // the rethrow that tells the type is no raise of the program
            described = Describe(exception);
        }
        const RaiseRecord* raise = LastRaise();
        if (!raise || !RaiseThrew(*raise, described.object)) {
            RecordRaiseHere();
            raise = LastRaise();
        }
        if (!raise) return;
        // Raises while the dialog runs replace the thread's record.
        const auto copy = std::make_unique<RaiseRecord>(*raise);
        Report(described, *copy);
    } catch (...) {
        // A report that fails itself (out of memory) must not take the program down.
    }
}

}  // namespace crashreport
