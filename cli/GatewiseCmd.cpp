// gatewisecmd.exe: the program body of the console companion. It hands the
// commands (cli/Commands.h) the wide command line in UTF-8 and connects them
// to the process's standard handles: UTF-8 to a file or a pipe, UTF-16 to a
// console, and a password typed without echo on a console.

#include "cli/Commands.h"
#include "cli/Password.h"
#include "engine/LateBinding.h"
#include "resources/StringIds.h"
#include "shell/ResStrings.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <streambuf>
#include <string>
#include <vector>

namespace {

bool IsConsoleHandle(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != FALSE;
}

// The length of the longest prefix of `data` that does not end inside a
// UTF-8 sequence.
std::size_t CompleteUtf8(const char* data, std::size_t size) {
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const unsigned char c = static_cast<unsigned char>(data[size - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

// One standard output handle as a stream buffer.
class StandardOutput final : public std::streambuf {
public:
    explicit StandardOutput(DWORD which) : handle_(GetStdHandle(which)), console_(IsConsoleHandle(handle_)) {
        setp(buffer_, buffer_ + sizeof buffer_);
    }
    ~StandardOutput() override { sync(); }
    StandardOutput(const StandardOutput&) = delete;
    StandardOutput& operator=(const StandardOutput&) = delete;

    HANDLE handle() const { return handle_; }
    bool console() const { return console_; }

    // Writes UTF-8 text to the handle at once.
    bool Write(const char* data, std::size_t size) {
        if (size == 0) return true;
        DWORD written = 0;
        if (console_) {
            const std::wstring text = os::FromUtf8(std::string_view(data, size));
            return WriteConsoleW(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE;
        }
        while (size > 0) {
            if (!WriteFile(handle_, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) return false;
            data += written;
            size -= written;
        }
        return true;
    }

protected:
    int_type overflow(int_type c) override {
        if (sync() != 0) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    // A console receives whole characters only; the bytes of a character
    // that is cut off wait for the rest.
    int sync() override {
        const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
        const std::size_t complete = console_ ? CompleteUtf8(pbase(), size) : size;
        const bool written = Write(pbase(), complete);
        std::memmove(buffer_, buffer_ + complete, size - complete);
        setp(buffer_, buffer_ + sizeof buffer_);
        pbump(static_cast<int>(size - complete));
        return written ? 0 : -1;
    }

private:
    HANDLE handle_;
    bool console_;
    char buffer_[4096];
};

// The console's input mode while a password is typed, restored afterwards,
// also when Ctrl+C ends the program in the middle.
class EchoOff {
public:
    explicit EchoOff(HANDLE input) : input_(input) {
        GetConsoleMode(input_, &saved_);
        active_ = this;
        SetConsoleCtrlHandler(Restore, TRUE);
        SetConsoleMode(input_, (saved_ | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~ENABLE_ECHO_INPUT);
    }
    ~EchoOff() {
        SetConsoleMode(input_, saved_);
        SetConsoleCtrlHandler(Restore, FALSE);
        active_ = nullptr;
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    static BOOL WINAPI Restore(DWORD) {
        if (EchoOff* echo = active_) SetConsoleMode(echo->input_, echo->saved_);
        return FALSE;  // the default handling ends the program
    }

    static inline EchoOff* volatile active_ = nullptr;
    HANDLE input_;
    DWORD saved_ = 0;
};

class StandardInput final : public cli::PasswordInput {
public:
    explicit StandardInput(StandardOutput& prompts)
        : handle_(GetStdHandle(STD_INPUT_HANDLE)), console_(IsConsoleHandle(handle_)), prompts_(prompts) {}

    bool IsConsole() override { return console_; }

    // Unbuffered, so that no copy of a password stays in a buffer of the runtime.
    std::size_t Read(char* buffer, std::size_t size) override {
        DWORD read = 0;
        if (!ReadFile(handle_, buffer, static_cast<DWORD>(size), &read, nullptr)) return 0;
        return read;
    }

    os::SecretString ReadHidden(const char* prompt) override {
        prompts_.pubsync();
        prompts_.Write(prompt, std::strlen(prompt));
        wchar_t line[cli::kMaxPasswordLength];
        std::size_t length = 0;
        bool ended = false;
        bool tooLong = false;
        {
            EchoOff echo(handle_);
            // Reads to the end of the line even when it is too long: what is
            // left in the console's buffer would reach the shell as a command.
            wchar_t chunk[128];
            DWORD read = 0;
            while (!ended && ReadConsoleW(handle_, chunk, 128, &read, nullptr) && read > 0) {
                for (DWORD i = 0; i < read; ++i) {
                    if (chunk[i] == L'\n') ended = true;
                    if (ended || chunk[i] == L'\r') continue;
                    if (length < cli::kMaxPasswordLength)
                        line[length++] = chunk[i];
                    else
                        tooLong = true;
                }
            }
            os::SecureWipe(chunk, sizeof chunk);
        }
        prompts_.Write("\n", 1);  // the Enter key was not echoed
        os::SecretString password(line, tooLong ? 0 : length);
        os::SecureWipe(line, sizeof line);
        if (tooLong) throw cli::CommandFailure(cli::kBadUsage, "The password is too long.");
        if (!ended) throw cli::CommandFailure(cli::kBadUsage, "No password was typed.");
        return password;
    }

private:
    HANDLE handle_;
    bool console_;
    StandardOutput& prompts_;
};

std::vector<std::string> Arguments() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return {};
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(os::ToUtf8(argv[i]));
    LocalFree(argv);
    return arguments;
}

}  // namespace

int main() {
    engine::RestrictDllSearchToSystemFolder();
    StandardOutput outBuffer(STD_OUTPUT_HANDLE);
    StandardOutput errBuffer(STD_ERROR_HANDLE);
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    err << std::unitbuf;
    StandardInput in(errBuffer);
    cli::Console console{out, err, in};
    int code;
    try {
        code = cli::RunCommandLine(Arguments(), shell::ResString(IDS_OPTIONS_KEY), console);
    } catch (const std::exception& error) {
        err << error.what() << '\n';
        code = cli::kSystemError;
    }
    out.flush();
    return code;
}
