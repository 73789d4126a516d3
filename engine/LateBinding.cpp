#include "engine/LateBinding.h"

#include "engine/Exception.h"
#include "os/LateBoundTypes.h"
#include "os/Text.h"
#include "os/WinApi.h"

#include <string>

namespace engine {
namespace {

constexpr const char* kKernel32 = "kernel32.dll";

// kernel32 is loaded in every process; its functions are looked up directly,
// not through a slot, since binding a slot may itself need to load a library.
FARPROC Kernel32Function(os::WinApi& api, const char* name) {
    const HMODULE kernel32 = api.GetModuleHandleA(kKernel32);
    return kernel32 ? api.GetProcAddress(kernel32, name) : nullptr;
}

// LoadLibraryEx understands the LOAD_LIBRARY_SEARCH flags exactly where
// kernel32 exports SetDefaultDllDirectories (Windows 8 on; Vista and 7 with
// update KB2533623); elsewhere it refuses them.
bool CanSearchSystemFolderOnly(os::WinApi& api) { return Kernel32Function(api, "SetDefaultDllDirectories") != nullptr; }

TDllSearch ApplyDllSearchRestriction(os::WinApi& api) {
    const FARPROC setDefault = Kernel32Function(api, "SetDefaultDllDirectories");
    if (setDefault && os::FromFarProc<os::PFN_SetDefaultDllDirectories>(setDefault)(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return dsSystemFolderOnly;
    const FARPROC setDirectory = Kernel32Function(api, "SetDllDirectoryW");
    if (setDirectory && os::FromFarProc<os::PFN_SetDllDirectoryW>(setDirectory)(WSTR("")))
        return dsCurrentFolderRemoved;
    return dsUnrestricted;
}

// The outcome of the last restriction, and the machine it was made on.
struct DllSearchState {
    TDllSearch search = dsUnrestricted;
    unsigned machine = 0;
};
DllSearchState dllSearchState;

}  // namespace

// Never by bare name, which would search the program's own folder first,
// where a planted DLL would run with the program's rights.
HMODULE LoadSystemLibrary(os::WinApi& api, const char* libraryName) {
    if (CanSearchSystemFolderOnly(api)) return api.LoadLibraryExA(libraryName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    char folder[MAX_PATH];
    const UINT length = api.GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::string path = std::string(folder, length) + "\\" + libraryName;
    // The altered search looks for the DLL's own dependencies in its folder first.
    return api.LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

TDllSearch RestrictDllSearchToSystemFolder() {
    dllSearchState = {ApplyDllSearchRestriction(os::Api()), os::MachineGeneration()};
    return dllSearchState.search;
}

TDllSearch DllSearchInForce() {
    return dllSearchState.machine == os::MachineGeneration() ? dllSearchState.search : dsUnrestricted;
}

void BindOsFunction(OsFunctionSlot& slot, const char* libraryName, const char* functionName) {
    const unsigned machine = os::MachineGeneration();
    if (slot.address && slot.machine == machine) return;
    slot.address = nullptr;

    os::WinApi& api = os::Api();
    HMODULE module = api.GetModuleHandleA(libraryName);
    if (!module) module = LoadSystemLibrary(api, libraryName);
    if (!module) throw EJwaLoadLibraryError(std::string("Library not found: ") + libraryName);

    FARPROC address = api.GetProcAddress(module, functionName);
    if (!address)
        throw EJwaGetProcAddressError(std::string("Function not found: ") + libraryName + "." + functionName);
    slot.address = address;
    slot.machine = machine;
}

namespace late {
namespace {
constexpr const char* kAdvapi32 = "advapi32.dll";
constexpr const char* kSecur32 = "secur32.dll";
constexpr const char* kPowrprof = "powrprof.dll";
constexpr const char* kNetapi32 = "netapi32.dll";
}  // namespace

LateBound<os::PFN_GetProcAddress> GetProcAddress{kKernel32, "GetProcAddress"};
LateBound<os::PFN_GetVersion> GetVersion{kKernel32, "GetVersion"};
LateBound<os::PFN_GetCurrentProcess> GetCurrentProcess{kKernel32, "GetCurrentProcess"};
LateBound<os::PFN_GetCurrentThread> GetCurrentThread{kKernel32, "GetCurrentThread"};
LateBound<os::PFN_GetLastError> GetLastError{kKernel32, "GetLastError"};
LateBound<os::PFN_CloseHandle> CloseHandle{kKernel32, "CloseHandle"};
LateBound<os::PFN_GetModuleHandleA> GetModuleHandleA{kKernel32, "GetModuleHandleA"};
LateBound<os::PFN_OpenProcessToken> OpenProcessToken{kAdvapi32, "OpenProcessToken"};
LateBound<os::PFN_OpenThreadToken> OpenThreadToken{kAdvapi32, "OpenThreadToken"};
LateBound<os::PFN_GetTokenInformation> GetTokenInformation{kAdvapi32, "GetTokenInformation"};
LateBound<os::PFN_EqualSid> EqualSid{kAdvapi32, "EqualSid"};
LateBound<os::PFN_AllocateAndInitializeSid> AllocateAndInitializeSid{kAdvapi32, "AllocateAndInitializeSid"};
LateBound<os::PFN_FreeSid> FreeSid{kAdvapi32, "FreeSid"};
LateBound<os::PFN_GetUserNameExW> GetUserNameExW{kSecur32, "GetUserNameExW"};
LateBound<os::PFN_ReadGlobalPwrPolicy> ReadGlobalPwrPolicy{kPowrprof, "ReadGlobalPwrPolicy"};
LateBound<os::PFN_WriteGlobalPwrPolicy> WriteGlobalPwrPolicy{kPowrprof, "WriteGlobalPwrPolicy"};
LateBound<os::PFN_GetActivePwrScheme> GetActivePwrScheme{kPowrprof, "GetActivePwrScheme"};
LateBound<os::PFN_SetActivePwrScheme> SetActivePwrScheme{kPowrprof, "SetActivePwrScheme"};
LateBound<os::PFN_LsaFreeMemory> LsaFreeMemory{kAdvapi32, "LsaFreeMemory"};
LateBound<os::PFN_LsaClose> LsaClose{kAdvapi32, "LsaClose"};
LateBound<os::PFN_LsaOpenPolicy> LsaOpenPolicy{kAdvapi32, "LsaOpenPolicy"};
LateBound<os::PFN_LsaStorePrivateData> LsaStorePrivateData{kAdvapi32, "LsaStorePrivateData"};
LateBound<os::PFN_LsaRetrievePrivateData> LsaRetrievePrivateData{kAdvapi32, "LsaRetrievePrivateData"};
LateBound<os::PFN_LsaNtStatusToWinError> LsaNtStatusToWinError{kAdvapi32, "LsaNtStatusToWinError"};
LateBound<os::PFN_PowerReadValueIndex> PowerReadACValueIndex{kPowrprof, "PowerReadACValueIndex"};
LateBound<os::PFN_PowerReadValueIndex> PowerReadDCValueIndex{kPowrprof, "PowerReadDCValueIndex"};
LateBound<os::PFN_PowerWriteValueIndex> PowerWriteACValueIndex{kPowrprof, "PowerWriteACValueIndex"};
LateBound<os::PFN_PowerWriteValueIndex> PowerWriteDCValueIndex{kPowrprof, "PowerWriteDCValueIndex"};
LateBound<os::PFN_PowerGetActiveScheme> PowerGetActiveScheme{kPowrprof, "PowerGetActiveScheme"};
LateBound<os::PFN_PowerSetActiveScheme> PowerSetActiveScheme{kPowrprof, "PowerSetActiveScheme"};
LateBound<os::PFN_PowerEnumerate> PowerEnumerate{kPowrprof, "PowerEnumerate"};
LateBound<os::PFN_PowerDuplicateScheme> PowerDuplicateScheme{kPowrprof, "PowerDuplicateScheme"};
LateBound<os::PFN_PowerDeleteScheme> PowerDeleteScheme{kPowrprof, "PowerDeleteScheme"};
LateBound<os::PFN_PowerReadFriendlyName> PowerReadFriendlyName{kPowrprof, "PowerReadFriendlyName"};
LateBound<os::PFN_CallNtPowerInformation> CallNtPowerInformation{kPowrprof, "CallNtPowerInformation"};
LateBound<os::PFN_NetGetJoinInformation> NetGetJoinInformation{kNetapi32, "NetGetJoinInformation"};
LateBound<os::PFN_NetApiBufferFree> NetApiBufferFree{kNetapi32, "NetApiBufferFree"};
LateBound<os::PFN_NetUserGetInfo> NetUserGetInfo{kNetapi32, "NetUserGetInfo"};
LateBound<os::PFN_WTSQueryUserToken> WTSQueryUserToken{"wtsapi32.dll", "WTSQueryUserToken"};
LateBound<os::PFN_CreateEnvironmentBlock> CreateEnvironmentBlock{"userenv.dll", "CreateEnvironmentBlock"};
LateBound<os::PFN_DestroyEnvironmentBlock> DestroyEnvironmentBlock{"userenv.dll", "DestroyEnvironmentBlock"};
LateBound<os::PFN_CreateBoundaryDescriptorW> CreateBoundaryDescriptorW{kKernel32, "CreateBoundaryDescriptorW"};
LateBound<os::PFN_AddSIDToBoundaryDescriptor> AddSIDToBoundaryDescriptor{kKernel32, "AddSIDToBoundaryDescriptor"};
LateBound<os::PFN_DeleteBoundaryDescriptor> DeleteBoundaryDescriptor{kKernel32, "DeleteBoundaryDescriptor"};
LateBound<os::PFN_CreatePrivateNamespaceW> CreatePrivateNamespaceW{kKernel32, "CreatePrivateNamespaceW"};
LateBound<os::PFN_ClosePrivateNamespace> ClosePrivateNamespace{kKernel32, "ClosePrivateNamespace"};
}  // namespace late

}  // namespace engine
