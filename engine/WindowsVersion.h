#pragma once
// The running Windows, as the engine's version tests need it.

#include "os/WinTypes.h"

namespace engine {

// Major version 6 (Vista) or later: the per-scheme power functions, the screen
// saver system parameter and the 64-bit registry view.
bool IsWindows6OrLater();

// Windows 8.1 (6.3) or later, which signs the last user in by itself after an
// update restart (automatic restart sign-on).
bool IsWindows8Point1OrLater();
// The platform identifier (VER_PLATFORM_WIN32_NT for the NT family), read once per machine.
DWORD WindowsPlatformId();

}  // namespace engine
