// registry_acl.exe deny-write|allow KEY: gives the key KEY under
// HKEY_CURRENT_USER an access list that lets everyone read it but nobody set
// a value or create a subkey in it (deny-write), or one that allows everyone
// everything (allow). Wine checks these lists as Windows does, so a test can
// make a write fail honestly. Exit code 0 when the list was set.

#include <windows.h>
#include <aclapi.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 || (std::wcscmp(argv[1], L"deny-write") != 0 && std::wcscmp(argv[1], L"allow") != 0)) {
        std::fputs("usage: registry_acl.exe deny-write|allow KEY\n", stderr);
        return 2;
    }
    const bool denyWrite = std::wcscmp(argv[1], L"deny-write") == 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, argv[2], 0, READ_CONTROL | WRITE_DAC, &key) != ERROR_SUCCESS) return 1;

    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    EXPLICIT_ACCESSW entries[2] = {};
    ULONG count = 0;
    if (denyWrite) {
        entries[count].grfAccessPermissions = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
        entries[count].grfAccessMode = DENY_ACCESS;
        entries[count].Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entries[count].Trustee.ptstrName = static_cast<LPWSTR>(everyone);
        ++count;
    }
    entries[count].grfAccessPermissions = KEY_ALL_ACCESS;
    entries[count].grfAccessMode = SET_ACCESS;
    entries[count].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entries[count].Trustee.ptstrName = static_cast<LPWSTR>(everyone);
    ++count;

    PACL list = nullptr;
    DWORD result = SetEntriesInAclW(count, entries, nullptr, &list);
    if (result == ERROR_SUCCESS)
        result = SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, list, nullptr);
    LocalFree(list);
    FreeSid(everyone);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 0 : 1;
}
