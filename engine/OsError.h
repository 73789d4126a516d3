#pragma once
// How a failed operating-system call is reported.

#include "os/WinTypes.h"

#include <string>

namespace engine {

// Raises EOSError with the calling thread's last error code.
[[noreturn]] void RaiseOsError();

// Raises EOSError carrying `code`: "System Error.  Code: <code>.\r\n<system text>",
// or "A call to an OS function failed" when the code is 0.
[[noreturn]] void RaiseOsError(DWORD code);

// The system's text for an error code, without the trailing line break; empty
// when the system has none.
std::string SysErrorMessage(DWORD code);

}  // namespace engine
