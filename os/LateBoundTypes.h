#pragma once
// Signatures of the functions that Gatewise binds late, exactly as Windows
// exports them. The real system and the simulated one provide functions of
// these types through GetProcAddress.

#include "os/WinTypes.h"

namespace os {

// Function pointers pass through FARPROC; the detour through void(*)() is the
// conversion that compilers accept without a warning.
template <typename Function>
FARPROC ToFarProc(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

template <typename Function>
Function FromFarProc(FARPROC address) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// kernel32
using PFN_GetProcAddress = FARPROC(WINAPI*)(HMODULE, LPCSTR);
using PFN_GetVersion = DWORD(WINAPI*)();
using PFN_GetCurrentProcess = HANDLE(WINAPI*)();
using PFN_GetCurrentThread = HANDLE(WINAPI*)();
using PFN_GetLastError = DWORD(WINAPI*)();
using PFN_CloseHandle = BOOL(WINAPI*)(HANDLE);
using PFN_GetModuleHandleA = HMODULE(WINAPI*)(LPCSTR);
using PFN_SetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
using PFN_SetDllDirectoryW = BOOL(WINAPI*)(LPCWSTR);

// advapi32: tokens and security identifiers
using PFN_OpenProcessToken = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
using PFN_OpenThreadToken = BOOL(WINAPI*)(HANDLE, DWORD, BOOL, PHANDLE);
using PFN_GetTokenInformation = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
using PFN_EqualSid = BOOL(WINAPI*)(PSID, PSID);
using PFN_AllocateAndInitializeSid = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD,
                                                   DWORD, DWORD, DWORD, DWORD, PSID*);
using PFN_FreeSid = PVOID(WINAPI*)(PSID);
using PFN_CheckTokenMembership = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);
using PFN_LogonUserW = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, DWORD, PHANDLE);

// advapi32: local security authority
using PFN_LsaOpenPolicy = NTSTATUS(WINAPI*)(PLSA_UNICODE_STRING, PLSA_OBJECT_ATTRIBUTES, ACCESS_MASK,
                                            PLSA_HANDLE);
using PFN_LsaStorePrivateData = NTSTATUS(WINAPI*)(LSA_HANDLE, PLSA_UNICODE_STRING, PLSA_UNICODE_STRING);
using PFN_LsaRetrievePrivateData = NTSTATUS(WINAPI*)(LSA_HANDLE, PLSA_UNICODE_STRING, PLSA_UNICODE_STRING*);
using PFN_LsaFreeMemory = NTSTATUS(WINAPI*)(PVOID);
using PFN_LsaClose = NTSTATUS(WINAPI*)(LSA_HANDLE);
using PFN_LsaNtStatusToWinError = ULONG(WINAPI*)(NTSTATUS);

// secur32
using PFN_GetUserNameExW = BOOLEAN(WINAPI*)(EXTENDED_NAME_FORMAT, LPWSTR, PULONG);

// powrprof, before Windows 6
using PFN_ReadGlobalPwrPolicy = BOOLEAN(WINAPI*)(PGLOBAL_POWER_POLICY);
using PFN_WriteGlobalPwrPolicy = BOOLEAN(WINAPI*)(PGLOBAL_POWER_POLICY);
using PFN_GetActivePwrScheme = BOOLEAN(WINAPI*)(PUINT);
using PFN_SetActivePwrScheme = BOOLEAN(WINAPI*)(UINT, PGLOBAL_POWER_POLICY, PPOWER_POLICY);

// powrprof, Windows 6 and later
using PFN_PowerReadValueIndex = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, LPDWORD);
using PFN_PowerWriteValueIndex = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, DWORD);
using PFN_PowerGetActiveScheme = DWORD(WINAPI*)(HKEY, GUID**);
using PFN_PowerSetActiveScheme = DWORD(WINAPI*)(HKEY, const GUID*);
using PFN_PowerDuplicateScheme = DWORD(WINAPI*)(HKEY, const GUID*, GUID**);
using PFN_PowerDeleteScheme = DWORD(WINAPI*)(HKEY, const GUID*);
using PFN_PowerReadFriendlyName = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, PUCHAR, LPDWORD);
using PFN_PowerEnumerate = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, POWER_DATA_ACCESSOR, ULONG, UCHAR*,
                                          DWORD*);

using PFN_CallNtPowerInformation = NTSTATUS(WINAPI*)(POWER_INFORMATION_LEVEL, PVOID, ULONG, PVOID, ULONG);

// netapi32
using PFN_NetGetJoinInformation = NET_API_STATUS(WINAPI*)(LPCWSTR, LPWSTR*, PNETSETUP_JOIN_STATUS);
using PFN_NetApiBufferFree = NET_API_STATUS(WINAPI*)(LPVOID);
using PFN_NetUserGetInfo = NET_API_STATUS(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, LPBYTE*);

// kernel32, Windows Vista and later: private namespaces.
using PFN_CreateBoundaryDescriptorW = HANDLE(WINAPI*)(LPCWSTR, ULONG);
using PFN_AddSIDToBoundaryDescriptor = BOOL(WINAPI*)(HANDLE*, PSID);
using PFN_DeleteBoundaryDescriptor = void(WINAPI*)(HANDLE);
using PFN_CreatePrivateNamespaceW = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
using PFN_ClosePrivateNamespace = BOOLEAN(WINAPI*)(HANDLE, ULONG);

// wtsapi32
using PFN_WTSQueryUserToken = BOOL(WINAPI*)(ULONG, PHANDLE);

// userenv
using PFN_CreateEnvironmentBlock = BOOL(WINAPI*)(LPVOID*, HANDLE, BOOL);
using PFN_DestroyEnvironmentBlock = BOOL(WINAPI*)(LPVOID);

// winmm
using PFN_PlaySoundA = BOOL(WINAPI*)(LPCSTR, HMODULE, DWORD);

}  // namespace os
