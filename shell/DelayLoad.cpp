// The DLLs that the program binds at their first call through delay-load
// import libraries (cmake/DelayLoad.cmake) are loaded from the system folder
// only, like those that the engine binds late: never from beside the
// program. The runtime's delay-load helper asks this hook before it loads a
// DLL itself.

#include "engine/LateBinding.h"
#include "os/WinApi.h"

#include <windows.h>
#include <delayimp.h>

namespace {

FARPROC WINAPI LoadFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary) return nullptr;
    return reinterpret_cast<FARPROC>(engine::LoadSystemLibrary(os::Windows(), info->szDll));
}

}  // namespace

// Declared by delayimp.h with C linkage.
PfnDliHook __pfnDliNotifyHook2 = LoadFromSystemFolder;
