#pragma once
// The running Windows, as the engine's version tests need it.

#include "os/WinTypes.h"

namespace engine {

// Major version 6 (Vista) or later: the per-scheme power functions, the screen
// saver system parameter and the 64-bit registry view.
bool IsWindows6OrLater();

// The platform identifier (VER_PLATFORM_WIN32_NT for the NT family), read once per machine.
DWORD WindowsPlatformId();

}  // namespace engine
