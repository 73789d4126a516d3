#pragma once
// Functions that only some Windows versions export are bound on first use:
// looked up by name in their DLL, the address kept in a process-wide slot.

#include "engine/Exception.h"
#include "os/LateBoundTypes.h"

#include <cstdint>

namespace os {
class WinApi;
}

namespace engine {

// A function's address, empty until the first call binds it. An address
// belongs to the machine it was found on: when tests put another machine in
// place, the slot counts as empty again.
struct OsFunctionSlot {
    FARPROC address = nullptr;
    unsigned machine = 0;
};

// How far the DLL search of the process is restricted.
enum TDllSearch : std::uint8_t {
    dsUnrestricted,          // neither restriction took (or none was asked for)
    dsCurrentFolderRemoved,  // SetDllDirectoryW(""): Vista and 7 without the update
    dsSystemFolderOnly,      // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
};

// At start-up, before any DLL is loaded by name: DLLs that the process loads
// come from the system folder only (SetDefaultDllDirectories), or, on Windows
// Vista and 7 without the update that brought it, at least not from the
// current folder (SetDllDirectoryW with an empty folder). Both are bound here,
// so that the program starts on every Windows from Vista on. Returns, and
// remembers, which one took.
TDllSearch RestrictDllSearchToSystemFolder();
// What the last RestrictDllSearchToSystemFolder on the machine in use achieved.
// Windows cannot be asked: SetDefaultDllDirectories has no reading counterpart.
TDllSearch DllSearchInForce();

// Loads libraryName from the system folder of `api`'s machine, never from
// elsewhere: with LOAD_LIBRARY_SEARCH_SYSTEM32 where Windows supports it, else
// by its full path there. Null when it cannot be loaded.
HMODULE LoadSystemLibrary(os::WinApi& api, const char* libraryName);

// Makes sure that `slot` holds the address of `functionName` in `libraryName`,
// loading the library from the system folder if it is not loaded yet (with
// LOAD_LIBRARY_SEARCH_SYSTEM32 where Windows supports it, else by its full
// path there). Raises EJwaLoadLibraryError "Library not found: %s" or
// EJwaGetProcAddressError "Function not found: %s.%s"; a failed binding
// leaves the slot empty.
void BindOsFunction(OsFunctionSlot& slot, const char* libraryName, const char* functionName);

template <typename Function>
class LateBound {
public:
    constexpr LateBound(const char* libraryName, const char* functionName)
        : library_(libraryName), name_(functionName) {}
    LateBound(const LateBound&) = delete;
    LateBound& operator=(const LateBound&) = delete;

    // Whether this Windows has the function; it is bound once it does.
    bool Available() {
        try {
            BindOsFunction(slot_, library_, name_);
            return true;
        } catch (const EJwaError&) {
            return false;
        }
    }

    template <typename... Args>
    auto operator()(Args... args) {
        BindOsFunction(slot_, library_, name_);
        return os::FromFarProc<Function>(slot_.address)(args...);
    }

private:
    const char* library_;
    const char* name_;
    OsFunctionSlot slot_;
};

// The late-bound functions of the engine, each with the library it lives in.
namespace late {
extern LateBound<os::PFN_GetProcAddress> GetProcAddress;
extern LateBound<os::PFN_GetVersion> GetVersion;
extern LateBound<os::PFN_GetCurrentProcess> GetCurrentProcess;
extern LateBound<os::PFN_GetCurrentThread> GetCurrentThread;
extern LateBound<os::PFN_GetLastError> GetLastError;
extern LateBound<os::PFN_CloseHandle> CloseHandle;
extern LateBound<os::PFN_GetModuleHandleA> GetModuleHandleA;
extern LateBound<os::PFN_OpenProcessToken> OpenProcessToken;
extern LateBound<os::PFN_OpenThreadToken> OpenThreadToken;
extern LateBound<os::PFN_GetTokenInformation> GetTokenInformation;
extern LateBound<os::PFN_EqualSid> EqualSid;
extern LateBound<os::PFN_AllocateAndInitializeSid> AllocateAndInitializeSid;
extern LateBound<os::PFN_FreeSid> FreeSid;
extern LateBound<os::PFN_GetUserNameExW> GetUserNameExW;
extern LateBound<os::PFN_ReadGlobalPwrPolicy> ReadGlobalPwrPolicy;
extern LateBound<os::PFN_WriteGlobalPwrPolicy> WriteGlobalPwrPolicy;
extern LateBound<os::PFN_GetActivePwrScheme> GetActivePwrScheme;
extern LateBound<os::PFN_SetActivePwrScheme> SetActivePwrScheme;
extern LateBound<os::PFN_LsaFreeMemory> LsaFreeMemory;
extern LateBound<os::PFN_LsaClose> LsaClose;
extern LateBound<os::PFN_LsaOpenPolicy> LsaOpenPolicy;
extern LateBound<os::PFN_LsaStorePrivateData> LsaStorePrivateData;
extern LateBound<os::PFN_LsaRetrievePrivateData> LsaRetrievePrivateData;
extern LateBound<os::PFN_LsaNtStatusToWinError> LsaNtStatusToWinError;
extern LateBound<os::PFN_PowerReadValueIndex> PowerReadACValueIndex;
extern LateBound<os::PFN_PowerReadValueIndex> PowerReadDCValueIndex;
extern LateBound<os::PFN_PowerWriteValueIndex> PowerWriteACValueIndex;
extern LateBound<os::PFN_PowerWriteValueIndex> PowerWriteDCValueIndex;
extern LateBound<os::PFN_PowerGetActiveScheme> PowerGetActiveScheme;
extern LateBound<os::PFN_PowerSetActiveScheme> PowerSetActiveScheme;
extern LateBound<os::PFN_PowerEnumerate> PowerEnumerate;
extern LateBound<os::PFN_PowerDuplicateScheme> PowerDuplicateScheme;
extern LateBound<os::PFN_PowerDeleteScheme> PowerDeleteScheme;
extern LateBound<os::PFN_PowerReadFriendlyName> PowerReadFriendlyName;
extern LateBound<os::PFN_CallNtPowerInformation> CallNtPowerInformation;
extern LateBound<os::PFN_NetGetJoinInformation> NetGetJoinInformation;
extern LateBound<os::PFN_NetApiBufferFree> NetApiBufferFree;
extern LateBound<os::PFN_NetUserGetInfo> NetUserGetInfo;
extern LateBound<os::PFN_WTSQueryUserToken> WTSQueryUserToken;
extern LateBound<os::PFN_CreateEnvironmentBlock> CreateEnvironmentBlock;
extern LateBound<os::PFN_DestroyEnvironmentBlock> DestroyEnvironmentBlock;
extern LateBound<os::PFN_CreateBoundaryDescriptorW> CreateBoundaryDescriptorW;
extern LateBound<os::PFN_AddSIDToBoundaryDescriptor> AddSIDToBoundaryDescriptor;
extern LateBound<os::PFN_DeleteBoundaryDescriptor> DeleteBoundaryDescriptor;
extern LateBound<os::PFN_CreatePrivateNamespaceW> CreatePrivateNamespaceW;
extern LateBound<os::PFN_ClosePrivateNamespace> ClosePrivateNamespace;
}  // namespace late

}  // namespace engine
