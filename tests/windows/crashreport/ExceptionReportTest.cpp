// The exception reporter in a real process under Wine: raises, reports, the
// log file, the dialog and "Terminate" in a child process.

#include "MemoryScan.h"
#include "crashreport/ExceptionReporter.h"
#include "crashreport/ReportDialog.h"
#include "crashreport/ReporterSettings.h"
#include "engine/Exception.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// ---- helpers ---------------------------------------------------------------

std::wstring TemporaryFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);  // process ids repeat from one Wine run to the next
    const std::wstring folder = std::wstring(base) + L"gatewise-report-" + std::to_wstring(GetCurrentProcessId()) +
                                L"-" + std::to_wstring(now.QuadPart);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::string ReadWholeFile(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    CloseHandle(file);
    return text;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

std::wstring WindowText(HWND window) {
    std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
    text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
    return text;
}

struct FoundDialog {
    DWORD process;
    HWND window;
};

// The visible "Application Error" dialog of a process, if there is one.
HWND FindReportDialog(DWORD process) {
    FoundDialog found{process, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* found = reinterpret_cast<FoundDialog*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t className[32] = L"";
            GetClassNameW(window, className, 32);
            if (owner == found->process && IsWindowVisible(window) && std::wstring(className) == L"#32770" &&
                WindowText(window) == L"Application Error") {
                found->window = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.window;
}

// What a test saw of one dialog.
struct SeenDialog {
    std::string message;
    std::string logLine;
    std::string callStack;
    std::string detailsButton;
    int dialogsOpenAtOnce = 0;
};

// Watches this process for report dialogs from a second thread, records each
// and answers it with `answer` (by default "OK").
class DialogWatcher {
public:
    using Answer = std::function<void(HWND)>;

    explicit DialogWatcher(Answer answer = PressOk) : answer_(std::move(answer)) {
        thread_ = std::thread([this] { Watch(); });
    }
    ~DialogWatcher() {
        stop_ = true;
        thread_.join();
    }

    std::vector<SeenDialog> Seen() {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

    static void PressOk(HWND dialog) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

private:
    static int OpenDialogs() {
        int count = 0;
        EnumWindows(
            [](HWND window, LPARAM parameter) -> BOOL {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == GetCurrentProcessId() && IsWindowVisible(window) &&
                    WindowText(window) == L"Application Error")
                    ++*reinterpret_cast<int*>(parameter);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&count));
        return count;
    }

    void Watch() {
        HWND last = nullptr;
        while (!stop_) {
            const HWND dialog = FindReportDialog(GetCurrentProcessId());
            if (dialog && dialog != last) {
                std::this_thread::sleep_for(100ms);  // let it finish its first paint
                SeenDialog seen;
                seen.message = Narrow(WindowText(GetDlgItem(dialog, crashreport::kMessageId)));
                seen.logLine = Narrow(WindowText(GetDlgItem(dialog, crashreport::kLogLineId)));
                seen.callStack = Narrow(WindowText(GetDlgItem(dialog, crashreport::kFirstPageId)));
                seen.detailsButton = Narrow(WindowText(GetDlgItem(dialog, crashreport::kDetailsButtonId)));
                seen.dialogsOpenAtOnce = OpenDialogs();
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    seen_.push_back(seen);
                }
                answer_(dialog);
                last = dialog;
            }
            std::this_thread::sleep_for(20ms);
        }
    }

    Answer answer_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<SeenDialog> seen_;
    std::thread thread_;
};

// The toolkit's boundary: an event handler runs, and what escapes it goes to
// the default error display.
void RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        crashreport::ReportException(std::current_exception());
    }
}

int g_throwLine = 0;

__attribute__((noinline)) void ThrowFromHandler(int code) {
    g_throwLine = __LINE__ + 1;
    throw engine::EOSError("System Error.  Code: " + std::to_string(code) + ".\r\nAccess is denied.", code);
}

// Not cloned for its constant arguments: every level returns to one call site.
__attribute__((noinline, noclone)) int Recurse(int depth) {
    volatile int local = depth;
    if (depth == 0) throw engine::EOSError("bottom", 0);
    const int result = Recurse(depth - 1);
    return result + local;
}

// Raises with a password in its frame, which its owner wipes during the
// unwinding, as a password object's destructor does. Volatile, so that an
// optimising build keeps the stores that nothing reads.
__attribute__((noinline)) void ThrowWithPasswordOnTheStack(const SplitSecret& secret) {
    struct Held {
        volatile wchar_t text[32] = {};
        ~Held() { SecureZeroMemory(const_cast<wchar_t*>(text), sizeof text); }
    } held;
    std::size_t at = 0;
    for (const std::wstring* half : {&secret.First(), &secret.Second()})
        for (wchar_t c : *half) held.text[at++] = c;
    throw engine::EOSError("with a password on the stack", 0);
}

class ExceptionReport : public ::testing::Test {
protected:
    void SetUp() override {
        crashreport::InstallExceptionReporter();
        folder_ = TemporaryFolder();
        log_ = folder_ + L"\\gatewise.LOG";
        DeleteFileW(log_.c_str());
        crashreport::Settings().logFile = log_;
        fallback_ = folder_ + L"\\fallback\\gatewise.LOG";
        crashreport::Settings().fallbackLogFile = fallback_;
        // The child processes' own fallback: %LOCALAPPDATA%\Gatewise\<program>.LOG.
        const std::wstring local = folder_ + L"\\local";
        CreateDirectoryW(local.c_str(), nullptr);
        SetEnvironmentVariableW(L"LOCALAPPDATA", local.c_str());
    }

    std::wstring folder_;
    std::wstring log_;
    std::wstring fallback_;
};

// ":0000000140012345 [module] procedure (file, line n)" -> the address
std::string FirstStackAddress(const std::string& callStack) {
    const std::size_t at = callStack.find("\r\n:");
    return at == std::string::npos ? std::string() : callStack.substr(at + 3, 2 * sizeof(void*));
}

// ---- tests -----------------------------------------------------------------

TEST_F(ExceptionReport, UnhandledExceptionWritesOneEntryAndShowsOneDialog) {
    std::vector<SeenDialog> seen;
    {
        DialogWatcher watcher;
        RunHandler([] { ThrowFromHandler(5); });
        seen = watcher.Seen();
    }
    ASSERT_EQ(seen.size(), 1u);
    const std::string log = ReadWholeFile(log_);
    EXPECT_EQ(Count(log, "\r\nCall stack:\r\n"), 1u);
    EXPECT_EQ(log.rfind("---------------------------", 0), 0u);
    EXPECT_EQ(seen[0].logLine, "This report was added to " + Narrow(log_));
    EXPECT_FALSE(FileExists(fallback_));

    // The message names the class as the program does, its module, the
    // program's own throw site and what the symbol file knows of it.
    const std::string& message = seen[0].message;
    EXPECT_EQ(message.rfind("Exception 'EOSError' in module gatewise_crashreport_tests.exe at ", 0), 0u) << message;
    EXPECT_NE(message.find("\r\nSystem Error.  Code: 5.\r\nAccess is denied.\r\n\r\n"), std::string::npos);
    EXPECT_NE(message.find("Module: gatewise_crashreport_tests.exe, Source: ExceptionReportTest.cpp, Line " +
                           std::to_string(g_throwLine) + "\r\n"),
              std::string::npos)
        << message;
    EXPECT_TRUE(message.ends_with("\r\nProcedure: (anonymous namespace)::ThrowFromHandler")) << message;
    EXPECT_NE(log.find(message), std::string::npos);

    // The raise address is the first entry of the call stack; the callers follow.
    const std::string address = FirstStackAddress(seen[0].callStack);
    EXPECT_NE(message.find(" at " + address + "\r\n"), std::string::npos) << seen[0].callStack;
    EXPECT_NE(seen[0].callStack.find("::ThrowFromHandler (ExceptionReportTest.cpp, line " +
                                     std::to_string(g_throwLine) + ")"),
              std::string::npos)
        << seen[0].callStack;
    EXPECT_LT(seen[0].callStack.find("ThrowFromHandler"), seen[0].callStack.find("RunHandler"));
    EXPECT_NE(seen[0].callStack.find("\r\n\r\nModules:\r\n$"), std::string::npos);
    EXPECT_NE(log.find(seen[0].callStack), std::string::npos);

    EXPECT_NE(log.find("Registers:\r\nRAX = "), std::string::npos);
    EXPECT_NE(log.find("Code at CS:RIP\r\n"), std::string::npos);
    EXPECT_EQ(seen[0].detailsButton, "Compact <<");
}

TEST_F(ExceptionReport, HandledExceptionBeforeTheReportLeavesNoTrace) {
    std::vector<SeenDialog> seen;
    {
        DialogWatcher watcher;
        RunHandler([] {
            try {
                Recurse(3);
            } catch (const engine::EOSError&) {
            }
            ThrowFromHandler(2);
        });
        seen = watcher.Seen();
    }
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].message.ends_with("Procedure: (anonymous namespace)::ThrowFromHandler"))
        << seen[0].message;
    EXPECT_EQ(seen[0].callStack.find("Recurse"), std::string::npos);
    EXPECT_EQ(Count(ReadWholeFile(log_), "\r\nCall stack:\r\n"), 1u);
}

TEST_F(ExceptionReport, StackCopiedAtTheRaiseIsWipedOnceTheReportIsMade) {
    const SplitSecret secret(L"Vy3-Pelican", L"~orbit88");
    try {
        ThrowWithPasswordOnTheStack(secret);
    } catch (const engine::EOSError&) {
    }
    EXPECT_LE(1, secret.CountInMemory()) << "the raise copied the stack with the password";

    const std::uint32_t options = crashreport::Settings().options;
    crashreport::Settings().options &= ~crashreport::roShowReport;
    RunHandler([&] { ThrowWithPasswordOnTheStack(secret); });
    crashreport::Settings().options = options;
    EXPECT_NE(ReadWholeFile(log_).find("with a password on the stack"), std::string::npos);
    EXPECT_EQ(0, secret.CountInMemory());
}

TEST_F(ExceptionReport, RethrownExceptionKeepsItsFirstThrowSite) {
    std::vector<SeenDialog> seen;
    {
        DialogWatcher watcher;
        RunHandler([] {
            try {
                ThrowFromHandler(6);
            } catch (const engine::EOSError&) {
                throw;
            }
        });
        RunHandler([] {
            try {
                ThrowFromHandler(7);
            } catch (...) {
                std::rethrow_exception(std::current_exception());
            }
        });
        seen = watcher.Seen();
    }
    ASSERT_EQ(seen.size(), 2u);
    for (const SeenDialog& dialog : seen) {
        EXPECT_NE(dialog.message.find(", Line " + std::to_string(g_throwLine) + "\r\n"), std::string::npos)
            << dialog.message;
        EXPECT_TRUE(dialog.message.ends_with("Procedure: (anonymous namespace)::ThrowFromHandler")) << dialog.message;
    }
}

TEST_F(ExceptionReport, DeepRecursionShowsAsOneMergedEntry) {
    std::vector<SeenDialog> seen;
    {
        DialogWatcher watcher;
        // On a thread of its own: a fresh stack holds no return addresses left
        // behind by earlier calls between the recursion's frames.
        std::thread fresh([] { RunHandler([] { Recurse(300); }); });
        fresh.join();
        seen = watcher.Seen();
    }
    ASSERT_EQ(seen.size(), 1u);
    const std::string& stack = seen[0].callStack;
    EXPECT_EQ(Count(stack, "Recursive call ("), 1u) << stack;
    EXPECT_NE(stack.find("Recursive call (300 times):\r\n:"), std::string::npos) << stack;
    EXPECT_LT(Count(stack, "::Recurse ("), 4u);
}

TEST_F(ExceptionReport, NonStandardExceptionIsReportedByItsType) {
    std::vector<SeenDialog> seen;
    {
        DialogWatcher watcher;
        RunHandler([] { throw 42; });
        seen = watcher.Seen();
    }
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message.rfind("Exception 'int' in module gatewise_crashreport_tests.exe at ", 0), 0u)
        << seen[0].message;
}

// A log that cannot be written sends the entry to the fallback log, in a
// folder made for it; when neither can be written the dialog still shows and
// says so.
TEST_F(ExceptionReport, LogThatCannotBeWrittenFallsBackAndTheDialogSaysWhere) {
    {
        std::ofstream(log_.c_str()) << "earlier entries";
    }
    const HANDLE locked = CreateFileW(log_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    std::vector<SeenDialog> seen;
    {
        DialogWatcher watcher;
        RunHandler([] { ThrowFromHandler(32); });
        RunHandler([] { ThrowFromHandler(33); });
        seen = watcher.Seen();
    }
    CloseHandle(locked);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(ReadWholeFile(log_), "earlier entries");
    const std::string fallback = ReadWholeFile(fallback_);
    EXPECT_EQ(Count(fallback, "\r\nCall stack:\r\n"), 2u);
    EXPECT_NE(fallback.find("Code: 33."), std::string::npos);
    EXPECT_EQ(seen[1].logLine, "This report was added to " + Narrow(fallback_));

    const std::wstring missingFolder = folder_ + L"\\no such folder";
    crashreport::Settings().logFile = missingFolder + L"\\gatewise.LOG";
    crashreport::Settings().fallbackLogFile = missingFolder + L"\\deeper\\gatewise.LOG";
    {
        DialogWatcher watcher;
        RunHandler([] { ThrowFromHandler(3); });
        seen = watcher.Seen();
    }
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].logLine, "This report could not be written to " + Narrow(missingFolder) + "\\gatewise.LOG");
    EXPECT_FALSE(FileExists(missingFolder));
}

TEST_F(ExceptionReport, ReportsAreMadeOneAtATime) {
    std::vector<SeenDialog> seen;
    {
        DialogWatcher watcher;
        std::thread other([] { RunHandler([] { ThrowFromHandler(1); }); });
        RunHandler([] { ThrowFromHandler(2); });
        other.join();
        seen = watcher.Seen();
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].dialogsOpenAtOnce, 1);
    EXPECT_EQ(seen[1].dialogsOpenAtOnce, 1);
    EXPECT_EQ(Count(ReadWholeFile(log_), "\r\nCall stack:\r\n"), 2u);
}

// The dialog's layout: details shown, one "Call Stack" page in Courier, and
// the details button folding the dialog to end above the tab control, under
// the line that says where the report went.
TEST_F(ExceptionReport, DialogLayoutAndDetailsButton) {
    struct Observed {
        int fullClient = 0, compactClient = 0, expectedCompact = 0, expectedFull = 0, logLineBottom = 0;
        int pages = 0;
        std::wstring pageTitle, fontFace, buttonAfterFolding;
        LONG fontHeight = 0;
        bool terminateVisible = false, tabsVisibleAfterFolding = true, logLineVisibleAfterFolding = false;
    } observed;
    {
        DialogWatcher watcher([&observed](HWND dialog) {
            RECT client;
            GetClientRect(dialog, &client);
            observed.fullClient = client.bottom;
            RECT units{0, 0, 364, 84};
            MapDialogRect(dialog, &units);
            observed.expectedCompact = units.bottom;
            RECT whole{0, 0, 364, 219};
            MapDialogRect(dialog, &whole);
            observed.expectedFull = whole.bottom;

            const HWND tabs = GetDlgItem(dialog, crashreport::kTabsId);
            observed.pages = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
            wchar_t title[64] = L"";
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = title;
            item.cchTextMax = 64;
            SendMessageW(tabs, TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            observed.pageTitle = title;
            LOGFONTW font{};
            const auto pageFont = reinterpret_cast<HFONT>(
                SendMessageW(GetDlgItem(dialog, crashreport::kFirstPageId), WM_GETFONT, 0, 0));
            GetObjectW(pageFont, sizeof font, &font);
            observed.fontFace = font.lfFaceName;
            observed.fontHeight = font.lfHeight;
            observed.terminateVisible = IsWindowVisible(GetDlgItem(dialog, crashreport::kTerminateButtonId));

            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(crashreport::kDetailsButtonId, BN_CLICKED), 0);
            GetClientRect(dialog, &client);
            observed.compactClient = client.bottom;
            observed.buttonAfterFolding = WindowText(GetDlgItem(dialog, crashreport::kDetailsButtonId));
            observed.tabsVisibleAfterFolding = IsWindowVisible(tabs);
            const HWND logLine = GetDlgItem(dialog, crashreport::kLogLineId);
            observed.logLineVisibleAfterFolding = IsWindowVisible(logLine);
            RECT line;
            GetWindowRect(logLine, &line);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&line), 2);
            observed.logLineBottom = line.bottom;
            DialogWatcher::PressOk(dialog);
        });
        RunHandler([] { ThrowFromHandler(9); });
    }
    EXPECT_EQ(observed.pages, 1);
    EXPECT_EQ(observed.pageTitle, L"Call Stack");
    EXPECT_EQ(observed.fontFace, L"Courier");
    EXPECT_EQ(observed.fontHeight, -14);
    EXPECT_TRUE(observed.terminateVisible);
    EXPECT_EQ(observed.fullClient, observed.expectedFull);
    EXPECT_EQ(observed.compactClient, observed.expectedCompact);
    EXPECT_EQ(observed.buttonAfterFolding, L"Details >>");
    EXPECT_FALSE(observed.tabsVisibleAfterFolding);
    EXPECT_TRUE(observed.logLineVisibleAfterFolding);
    EXPECT_LE(observed.logLineBottom, observed.compactClient);
}

// ---- the child program -----------------------------------------------------

std::wstring TestsFolder() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring ChildPath() {
    return TestsFolder() + L"gatewise_crash_child.exe";
}

class Child {
public:
    Child(const std::wstring& mode, const std::wstring& log, const std::wstring& program = ChildPath(),
          const std::wstring& startEvent = L"") {
        std::wstring command = L"\"" + program + L"\" " + mode + L" \"" + log + L"\"";
        if (!startEvent.empty()) command += L" " + startEvent;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process_);
    }
    ~Child() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    bool started() const { return started_; }
    DWORD id() const { return process_.dwProcessId; }

    HWND WaitForDialog(std::chrono::milliseconds limit) {
        for (auto waited = 0ms; waited < limit; waited += 50ms) {
            if (HWND dialog = FindReportDialog(process_.dwProcessId)) return dialog;
            if (WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }

    // The exit code, or STILL_ACTIVE when it has not ended within the limit.
    DWORD WaitForExit(DWORD milliseconds) {
        WaitForSingleObject(process_.hProcess, milliseconds);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION process_{};
};

TEST_F(ExceptionReport, TerminateEndsTheProcessWithExitCodeOne) {
    Child child(L"unhandled", log_);
    ASSERT_TRUE(child.started());
    const HWND dialog = child.WaitForDialog(20s);
    ASSERT_NE(dialog, nullptr);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(crashreport::kTerminateButtonId, BN_CLICKED), 0);
    EXPECT_EQ(child.WaitForExit(10000), 1u);
    const std::string log = ReadWholeFile(log_);
    EXPECT_EQ(Count(log, "\r\nCall stack:\r\n"), 1u);
    EXPECT_NE(log.find("Exception 'EConvertError' in module gatewise_crash_child.exe at "), std::string::npos) << log;
    EXPECT_NE(log.find("'12x' is not a valid integer value"), std::string::npos);
    EXPECT_NE(log.find("Procedure: (anonymous namespace)::ParseCount\r\n"), std::string::npos) << log;
}

// Reports the child's raise and ends it; returns the log.
std::string ReportOfChild(const std::wstring& program, const std::wstring& log) {
    Child child(L"unhandled", log, program);
    EXPECT_TRUE(child.started());
    const HWND dialog = child.WaitForDialog(20s);
    EXPECT_NE(dialog, nullptr);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(crashreport::kTerminateButtonId, BN_CLICKED), 0);
    EXPECT_EQ(child.WaitForExit(10000), 1u);
    return ReadWholeFile(log);
}

TEST_F(ExceptionReport, WithoutItsOwnSymbolFileTheReportShowsAddressesAndModulesOnly) {
    const std::wstring program = folder_ + L"\\gatewise_crash_child.exe";
    ASSERT_TRUE(CopyFileW(ChildPath().c_str(), program.c_str(), FALSE));

    std::string log = ReportOfChild(program, folder_ + L"\\none.LOG");
    EXPECT_NE(log.find("\r\n\r\nModule: UNKNOWN, Source: UNKNOWN, Line UNKNOWN\r\nProcedure: UNKNOWN\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("ParseCount"), std::string::npos);
    EXPECT_TRUE(std::regex_search(log, std::regex("\r\n:[0-9A-F]{16} \\[gatewise_crash_child\\.exe\\]\r\n")));

    // The symbol file of another build is not taken for this one.
    const std::wstring foreign = folder_ + L"\\gatewise_crash_child.sym";
    ASSERT_TRUE(CopyFileW((TestsFolder() + L"gatewise_crashreport_tests.sym").c_str(), foreign.c_str(), FALSE));
    log = ReportOfChild(program, folder_ + L"\\foreign.LOG");
    EXPECT_NE(log.find("Procedure: UNKNOWN\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find(" (ExceptionReportTest.cpp, line"), std::string::npos);

    // A damaged one, whose last name runs past the end of the file, is ignored as if absent.
    std::string damaged = ReadWholeFile(TestsFolder() + L"gatewise_crash_child.sym");
    ASSERT_FALSE(damaged.empty());
    damaged.back() = 'x';
    {
        std::ofstream(foreign.c_str(), std::ios::binary | std::ios::trunc) << damaged;
    }
    log = ReportOfChild(program, folder_ + L"\\damaged.LOG");
    EXPECT_NE(log.find("Procedure: UNKNOWN\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("ParseCount"), std::string::npos);
    EXPECT_LT(log.size(), 4096u);

    // Its own symbol file beside it names the procedures again.
    ASSERT_TRUE(CopyFileW((TestsFolder() + L"gatewise_crash_child.sym").c_str(), foreign.c_str(), FALSE));
    log = ReportOfChild(program, folder_ + L"\\own.LOG");
    EXPECT_NE(log.find("Procedure: (anonymous namespace)::ParseCount\r\n"), std::string::npos) << log;
}

TEST_F(ExceptionReport, OkLetsTheChildGoOn) {
    Child child(L"unhandled", log_);
    ASSERT_TRUE(child.started());
    const HWND dialog = child.WaitForDialog(20s);
    ASSERT_NE(dialog, nullptr);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(child.WaitForExit(10000), 3u);
}

TEST_F(ExceptionReport, HandledExceptionInTheChildProducesNothing) {
    Child child(L"handled", log_);
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.WaitForExit(20000), 7u);
    EXPECT_FALSE(FileExists(log_));
}

// ---- hardware faults in the child -----------------------------------------

// The reporter thread starts with the first fault, not with the program.
TEST_F(ExceptionReport, InstallingTheReporterStartsNoThread) {
    Child child(L"reporter-threads", folder_ + L"\\threads.LOG");
    ASSERT_TRUE(child.started());
    EXPECT_EQ(0u, child.WaitForExit(10000));
}

TEST_F(ExceptionReport, HardwareFaultsAreReportedOnceAndEndTheProcessWithTheirCode) {
    struct Fault {
        const wchar_t* mode;
        DWORD code;
        const char* raisedBy;  // "Exception '<class>' in module <module> at "
        const char* report;    // a pattern the log entry must hold
        int answer;            // the button that closes the dialog
        bool readSlowly = false;  // the dialog stays open longer than the report may take to show
    };
    const Fault faults[] = {
        {L"access-violation", EXCEPTION_ACCESS_VIOLATION, "'EAccessViolation' in module gatewise_crash_child.exe",
         "Procedure: \\(anonymous namespace\\)::WriteThroughNull\r\n", IDOK, true},
        {L"stack-overflow", EXCEPTION_STACK_OVERFLOW, "'EStackOverflow' in module gatewise_crash_child.exe",
         "\r\nRecursive call \\([0-9]+ times\\):\r\n:[0-9A-F]+ \\[gatewise_crash_child\\.exe\\] "
         "\\(anonymous namespace\\)::Deeper",
         crashreport::kTerminateButtonId},
        {L"illegal-instruction", EXCEPTION_ILLEGAL_INSTRUCTION, "'EIllegalInstruction' in module gatewise_crash_child.exe",
         "Procedure: \\(anonymous namespace\\)::ExecuteIllegalInstruction\r\n", IDOK},
        {L"divide-by-zero", EXCEPTION_INT_DIVIDE_BY_ZERO, "'EIntDivByZero' in module gatewise_crash_child.exe",
         "Procedure: \\(anonymous namespace\\)::DivideByZero\r\n", crashreport::kTerminateButtonId},
        {L"window-procedure", EXCEPTION_ACCESS_VIOLATION, "'EAccessViolation' in module gatewise_crash_child.exe",
         "::WriteThroughNull \\(CrashChild\\.cpp, line [0-9]+\\)\r\n:[0-9A-F]+ \\[gatewise_crash_child\\.exe\\] "
         "\\(anonymous namespace\\)::FaultingWindowProc",
         IDOK},
        {L"thread", EXCEPTION_ACCESS_VIOLATION, "'EAccessViolation' in module gatewise_crash_child.exe",
         "Procedure: \\(anonymous namespace\\)::WriteThroughNull\r\n", crashreport::kTerminateButtonId},
        // A fault in a system DLL that nothing handles: its module, then the program's callers.
        {L"system-dll", EXCEPTION_ACCESS_VIOLATION, "'EAccessViolation' in module msvcrt.dll",
         "\r\nCall stack:\r\n:[0-9A-F]+ \\[msvcrt\\.dll\\]\r\n:[0-9A-F]+ \\[gatewise_crash_child\\.exe\\] ", IDOK},
    };
    for (const Fault& fault : faults) {
        const std::string mode = Narrow(fault.mode);
        const std::wstring log = folder_ + L"\\" + fault.mode + L".LOG";
        Child child(fault.mode, log);
        ASSERT_TRUE(child.started()) << mode;
        const HWND dialog = child.WaitForDialog(30s);
        ASSERT_NE(dialog, nullptr) << mode << ": no report";
        const std::string message = Narrow(WindowText(GetDlgItem(dialog, crashreport::kMessageId)));
        if (fault.readSlowly) {
            EXPECT_EQ(child.WaitForExit(7000), STILL_ACTIVE) << mode << ": ended under the user's eyes";
        }
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(fault.answer, BN_CLICKED), 0);
        EXPECT_EQ(child.WaitForExit(10000), fault.code) << mode;

        const std::string text = ReadWholeFile(log);
        EXPECT_EQ(Count(text, "\r\nCall stack:\r\n"), 1u) << mode << "\n" << text;
        EXPECT_EQ(message.rfind("Exception " + std::string(fault.raisedBy) + " at ", 0), 0u) << mode << "\n" << message;
        char code[32];
        std::snprintf(code, sizeof code, "(exception code %08lX) at address ", static_cast<unsigned long>(fault.code));
        EXPECT_NE(message.find(code), std::string::npos) << mode << "\n" << message;
        EXPECT_NE(text.find(message), std::string::npos) << mode;
        EXPECT_TRUE(std::regex_search(text, std::regex(fault.report))) << mode << "\n" << text;
    }
}

// The report needs the heap. A fault while the heap's lock is held would have
// the reporter wait for good: the process ends with the fault's code instead.
TEST_F(ExceptionReport, FaultWhileTheHeapIsLockedStillEndsTheProcessWithItsCode) {
    Child child(L"heap-locked", log_);
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.WaitForExit(30000), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
}

// ---- several processes reporting at once -------------------------------------

TEST_F(ExceptionReport, ReportsOfSeveralProcessesAtOnceWaitForALockedLog) {
    constexpr int kChildren = 10;
    const std::wstring startName = L"gatewise-report-start-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE start = CreateEventW(nullptr, TRUE, FALSE, startName.c_str());
    const HANDLE ready = CreateSemaphoreW(nullptr, 0, kChildren + 1, (startName + L"-ready").c_str());
    ASSERT_TRUE(start && ready);
    std::vector<std::unique_ptr<Child>> children;
    for (int i = 0; i < kChildren; ++i) {
        children.push_back(std::make_unique<Child>(L"quiet", log_, ChildPath(), startName));
        ASSERT_TRUE(children.back()->started());
    }
    for (int i = 0; i < kChildren; ++i) ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);

    // Another report holds the log when they all start: each waits its turn.
    HANDLE locked = CreateFileW(log_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    SetEvent(start);
    std::this_thread::sleep_for(600ms);
    CloseHandle(locked);
    for (auto& child : children) EXPECT_EQ(child->WaitForExit(30000), 3u);
    EXPECT_EQ(Count(ReadWholeFile(log_), "\r\nCall stack:\r\n"), static_cast<std::size_t>(kChildren));

    // A log held for good is given up after a short wait, not waited for: the
    // entry goes to the local application data folder.
    locked = CreateFileW(log_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    Child late(L"quiet", log_, ChildPath(), startName);
    ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(late.WaitForExit(20000), 3u);
    EXPECT_LT(GetTickCount64() - started, 5000u);
    CloseHandle(locked);
    EXPECT_EQ(Count(ReadWholeFile(log_), "\r\nCall stack:\r\n"), static_cast<std::size_t>(kChildren));
    const std::string local = ReadWholeFile(folder_ + L"\\local\\Gatewise\\gatewise_crash_child.LOG");
    EXPECT_EQ(Count(local, "\r\nCall stack:\r\n"), 1u);
    CloseHandle(ready);
    CloseHandle(start);
}

}  // namespace
