// The DLLs of the simulated machine and the functions they export: each export
// is a plain function with the Windows signature that works on the machine in use.
#include "os/LateBoundTypes.h"
#include "os/sim/SimMachine.h"

namespace os::sim {
namespace {

template <auto Method, typename R, typename... A>
R WINAPI Forward(A... args) {
    return (Current().*Method)(args...);
}

template <auto Method, typename R, typename... A>
FARPROC ExportOf(R (SimMachine::*)(A...)) {
    return ToFarProc(&Forward<Method, R, A...>);
}

#define GATEWISE_SIM_EXPORT(name) {#name, ExportOf<&SimMachine::name>(&SimMachine::name)}

}  // namespace

void SimMachine::RegisterExports() {
    modules_["kernel32.dll"] = Module{"kernel32.dll",
                                      {
                                          GATEWISE_SIM_EXPORT(GetProcAddress),
                                          GATEWISE_SIM_EXPORT(GetVersion),
                                          GATEWISE_SIM_EXPORT(GetCurrentProcess),
                                          GATEWISE_SIM_EXPORT(GetCurrentThread),
                                          GATEWISE_SIM_EXPORT(GetLastError),
                                          GATEWISE_SIM_EXPORT(CloseHandle),
                                          GATEWISE_SIM_EXPORT(GetModuleHandleA),
                                          GATEWISE_SIM_EXPORT(SetDefaultDllDirectories),
                                          GATEWISE_SIM_EXPORT(SetDllDirectoryW),
                                          GATEWISE_SIM_EXPORT(CreateBoundaryDescriptorW),
                                          GATEWISE_SIM_EXPORT(AddSIDToBoundaryDescriptor),
                                          GATEWISE_SIM_EXPORT(DeleteBoundaryDescriptor),
                                          GATEWISE_SIM_EXPORT(CreatePrivateNamespaceW),
                                          GATEWISE_SIM_EXPORT(ClosePrivateNamespace),
                                      },
                                      true};
    modules_["advapi32.dll"] = Module{"advapi32.dll",
                                      {
                                          GATEWISE_SIM_EXPORT(OpenProcessToken),
                                          GATEWISE_SIM_EXPORT(OpenThreadToken),
                                          GATEWISE_SIM_EXPORT(GetTokenInformation),
                                          GATEWISE_SIM_EXPORT(EqualSid),
                                          GATEWISE_SIM_EXPORT(AllocateAndInitializeSid),
                                          GATEWISE_SIM_EXPORT(FreeSid),
                                          GATEWISE_SIM_EXPORT(CheckTokenMembership),
                                          GATEWISE_SIM_EXPORT(LsaOpenPolicy),
                                          GATEWISE_SIM_EXPORT(LsaStorePrivateData),
                                          GATEWISE_SIM_EXPORT(LsaRetrievePrivateData),
                                          GATEWISE_SIM_EXPORT(LsaFreeMemory),
                                          GATEWISE_SIM_EXPORT(LsaClose),
                                          GATEWISE_SIM_EXPORT(LsaNtStatusToWinError),
                                          GATEWISE_SIM_EXPORT(LogonUserW),
                                      },
                                      true};
    modules_["user32.dll"] = Module{"user32.dll", {}, true};
    modules_["secur32.dll"] = Module{"secur32.dll", {GATEWISE_SIM_EXPORT(GetUserNameExW)}, false};
    modules_["powrprof.dll"] = Module{"powrprof.dll",
                                      {
                                          GATEWISE_SIM_EXPORT(ReadGlobalPwrPolicy),
                                          GATEWISE_SIM_EXPORT(WriteGlobalPwrPolicy),
                                          GATEWISE_SIM_EXPORT(GetActivePwrScheme),
                                          GATEWISE_SIM_EXPORT(SetActivePwrScheme),
                                          GATEWISE_SIM_EXPORT(PowerGetActiveScheme),
                                          GATEWISE_SIM_EXPORT(PowerSetActiveScheme),
                                          GATEWISE_SIM_EXPORT(PowerEnumerate),
                                          GATEWISE_SIM_EXPORT(PowerDuplicateScheme),
                                          GATEWISE_SIM_EXPORT(PowerDeleteScheme),
                                          GATEWISE_SIM_EXPORT(PowerReadFriendlyName),
                                          GATEWISE_SIM_EXPORT(PowerReadACValueIndex),
                                          GATEWISE_SIM_EXPORT(PowerReadDCValueIndex),
                                          GATEWISE_SIM_EXPORT(PowerWriteACValueIndex),
                                          GATEWISE_SIM_EXPORT(PowerWriteDCValueIndex),
                                          GATEWISE_SIM_EXPORT(CallNtPowerInformation),
                                      },
                                      false};
    modules_["netapi32.dll"] = Module{
        "netapi32.dll", {GATEWISE_SIM_EXPORT(NetGetJoinInformation), GATEWISE_SIM_EXPORT(NetApiBufferFree),
                                GATEWISE_SIM_EXPORT(NetUserGetInfo)}, false};
    modules_["wtsapi32.dll"] = Module{"wtsapi32.dll", {GATEWISE_SIM_EXPORT(WTSQueryUserToken)}, false};
    modules_["userenv.dll"] = Module{
        "userenv.dll", {GATEWISE_SIM_EXPORT(CreateEnvironmentBlock), GATEWISE_SIM_EXPORT(DestroyEnvironmentBlock)}, false};
    modules_["winmm.dll"] = Module{"winmm.dll", {GATEWISE_SIM_EXPORT(PlaySoundA)}, false};
}

}  // namespace os::sim
