// gatewise_crash_child.exe <mode> <log file>
//   unhandled: an exception that no code handles reaches the reporter; exits 3
//              when the dialog is closed with "OK"
//   handled:   an exception caught and handled by the program; exits 7
// The exit code 0 belongs to "Terminate".

#include "crashreport/ExceptionReporter.h"
#include "crashreport/ReporterSettings.h"

#include <windows.h>
#include <shellapi.h>

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

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    crashreport::InstallExceptionReporter();
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 3) return 2;
    const std::wstring mode = arguments[1];
    crashreport::Settings().logFile = arguments[2];
    LocalFree(arguments);

    if (mode == L"handled") return HandledConversion() == -1 ? 7 : 1;
    if (mode == L"unhandled") {
        try {
            ParseCount(L"12x");
        } catch (...) {
            crashreport::ReportException(std::current_exception());
        }
        return 3;
    }
    return 2;
}
