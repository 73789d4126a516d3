#include "engine/WindowsVersion.h"

#include "os/WinApi.h"

namespace engine {
namespace {

const OSVERSIONINFOW& Version() {
    static OSVERSIONINFOW version{};
    static unsigned machine = 0;
    if (machine != os::MachineGeneration()) {
        version = OSVERSIONINFOW{};
        version.dwOSVersionInfoSize = sizeof version;
        if (!os::Api().GetVersionExW(&version)) version.dwPlatformId = VER_PLATFORM_WIN32_NT;
        machine = os::MachineGeneration();
    }
    return version;
}

}  // namespace

bool IsWindows6OrLater() { return Version().dwMajorVersion >= 6; }

bool IsWindows8Point1OrLater() {
    const OSVERSIONINFOW& version = Version();
    return version.dwMajorVersion > 6 || (version.dwMajorVersion == 6 && version.dwMinorVersion >= 3);
}

DWORD WindowsPlatformId() { return Version().dwPlatformId; }

}  // namespace engine
