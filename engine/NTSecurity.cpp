#include "engine/NTSecurity.h"

#include "engine/LateBinding.h"
#include "engine/OsError.h"
#include "engine/SecurityHandles.h"
#include "engine/WindowsVersion.h"

#include <vector>

namespace engine {
namespace {

// The token that decides: the thread's while it impersonates, else the process's.
HANDLE OpenEffectiveToken() {
    HANDLE token = nullptr;
    if (late::OpenThreadToken(late::GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return token;
    if (late::GetLastError() != ERROR_NO_TOKEN) return nullptr;
    if (late::OpenProcessToken(late::GetCurrentProcess(), TOKEN_QUERY, &token)) return token;
    return nullptr;
}

// Membership by walking the token's groups: the group must be enabled and not
// there for deny only.
bool TokenHasEnabledGroup(PSID group) {
    HANDLE handle = OpenEffectiveToken();
    if (!handle) return false;
    Token token(handle);

    DWORD size = 0;
    if (!late::GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size) &&
        late::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    std::vector<ULONG_PTR> buffer(size / sizeof(ULONG_PTR) + 1);
    if (!late::GetTokenInformation(token.get(), TokenGroups, buffer.data(),
                                   static_cast<DWORD>(buffer.size() * sizeof(ULONG_PTR)), &size))
        return false;

    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        const SID_AND_ATTRIBUTES& entry = groups->Groups[i];
        if (late::EqualSid(entry.Sid, group) &&
            (entry.Attributes & (SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY)) == SE_GROUP_ENABLED)
            return true;
    }
    return false;
}

}  // namespace

bool IsBuiltinGroupMember(DWORD rid) {
    if (WindowsPlatformId() != VER_PLATFORM_WIN32_NT) return true;

    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID sid = nullptr;
    if (!late::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, rid, 0, 0, 0, 0, 0, 0, &sid))
        return false;
    Sid group(sid);

    if ((late::GetVersion() & 0xFF) >= 5) {
        HMODULE advapi = late::GetModuleHandleA("advapi32.dll");
        FARPROC check = advapi ? late::GetProcAddress(advapi, "CheckTokenMembership") : nullptr;
        if (check) {
            BOOL member = FALSE;
            return os::FromFarProc<os::PFN_CheckTokenMembership>(check)(nullptr, group.get(), &member) &&
                   member != FALSE;
        }
    }
    return TokenHasEnabledGroup(group.get());
}

bool IsAdministrator() { return IsBuiltinGroupMember(DOMAIN_ALIAS_RID_ADMINS); }

bool IsDomainMember() {
    LPWSTR name = nullptr;
    NETSETUP_JOIN_STATUS status = NetSetupUnknownStatus;
    const NET_API_STATUS result = late::NetGetJoinInformation(nullptr, &name, &status);
    if (name) late::NetApiBufferFree(name);
    if (result != NERR_Success) RaiseOsError(result);
    return status == NetSetupDomainName;
}

}  // namespace engine
