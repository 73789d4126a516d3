#include "engine/OsError.h"

#include "engine/Exception.h"
#include "os/Text.h"
#include "os/WinApi.h"

namespace engine {

std::string SysErrorMessage(DWORD code) {
    WCHAR buffer[512];
    DWORD length = os::Api().FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                            code, 0, buffer, sizeof buffer / sizeof buffer[0], nullptr);
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' || buffer[length - 1] == ' '))
        --length;
    return os::ToUtf8(os::WStringView(buffer, length));
}

void RaiseOsError() { RaiseOsError(os::Api().GetLastError()); }

void RaiseOsError(DWORD code) {
    if (code == 0) throw EOSError("A call to an OS function failed", 0);
    throw EOSError("System Error.  Code: " + std::to_string(static_cast<int32_t>(code)) + ".\r\n" +
                       SysErrorMessage(code),
                   code);
}

}  // namespace engine
