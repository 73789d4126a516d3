#pragma once
// The one seam between Gatewise and Windows: the Windows functions that the
// portable layers call, bound when the program loads, with their Windows names,
// signatures and contracts. Functions that the program binds late are found
// through GetModuleHandleA / LoadLibraryExA / GetProcAddress of this interface
// and called through a typed pointer (engine/LateBinding.h).
//
// Windows() forwards to the real system (Windows build only); os/sim holds a
// simulated machine for tests. Api() is the machine in use.

#include "os/WinTypes.h"

namespace os {

class WinApi {
public:
    virtual ~WinApi() = default;

    // Registry (advapi32). Results are Windows error codes.
    virtual LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                    REGSAM desired, const SECURITY_ATTRIBUTES* security, PHKEY result,
                                    LPDWORD disposition) = 0;
    virtual LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result) = 0;
    // data may be null to ask for the type and size; *dataSize is in bytes.
    virtual LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                     LPDWORD dataSize) = 0;
    virtual LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                                   DWORD dataSize) = 0;
    virtual LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) = 0;
    virtual LSTATUS RegCloseKey(HKEY key) = 0;

    // Modules (kernel32). A null result sets the last error.
    virtual HMODULE GetModuleHandleA(LPCSTR moduleName) = 0;
    virtual HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE reserved, DWORD flags) = 0;
    virtual FARPROC GetProcAddress(HMODULE module, LPCSTR procName) = 0;

    // Errors (kernel32).
    virtual DWORD GetLastError() = 0;
    virtual void SetLastError(DWORD code) = 0;
    // Writes into the caller's buffer (FORMAT_MESSAGE_ALLOCATE_BUFFER is not
    // supported here); returns the number of characters written, 0 on failure.
    virtual DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                                 DWORD size, void* arguments) = 0;

    // System information.
    virtual BOOL GetVersionExW(LPOSVERSIONINFOW info) = 0;
    virtual BOOL GetSystemPowerStatus(LPSYSTEM_POWER_STATUS status) = 0;
    virtual BOOL SystemParametersInfoW(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) = 0;
    virtual BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) = 0;

    // Memory and handles.
    virtual HANDLE LocalFree(HANDLE memory) = 0;
    virtual BOOL CloseHandle(HANDLE object) = 0;

    // Logon (advapi32).
    virtual BOOL LogonUserW(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logonType, DWORD provider,
                            PHANDLE token) = 0;
};

// The machine in use.
WinApi& Api();

// Counts machine changes. Anything cached from a machine (late-bound
// addresses, the Windows version) is stale when this number moved on.
unsigned MachineGeneration();

#ifdef _WIN32
// The real system.
WinApi& Windows();
#endif

// Puts a machine in place for one scope (tests), then restores the previous one.
class ScopedMachine {
public:
    explicit ScopedMachine(WinApi& machine);
    ~ScopedMachine();
    ScopedMachine(const ScopedMachine&) = delete;
    ScopedMachine& operator=(const ScopedMachine&) = delete;

private:
    WinApi* previous_;
};

}  // namespace os
