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

    // Modules (kernel32). A null result sets the last error. A null name
    // answers the program's own image, mapped as the loader maps it.
    virtual HMODULE GetModuleHandleA(LPCSTR moduleName) = 0;
    virtual HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE reserved, DWORD flags) = 0;
    virtual FARPROC GetProcAddress(HMODULE module, LPCSTR procName) = 0;
    // The number of characters written, without the terminator; when the
    // buffer is too small, the size it needs; 0 on failure.
    virtual UINT GetSystemDirectoryA(LPSTR buffer, UINT size) = 0;

    // The string `id` of the module's string table (user32), copied into
    // `buffer` cut to size - 1 characters and terminated; with a size of 0,
    // *(LPCWSTR*)buffer receives a read-only pointer to the unterminated text
    // instead. Returns its length, 0 for a string the table does not hold.
    virtual int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) = 0;

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
    // The number of characters written, 0 on failure; more than `size` when
    // the buffer is too small.
    virtual UINT GetSystemWindowsDirectoryW(LPWSTR buffer, UINT size) = 0;

    // WMI, namespace root\CIMV2\Security\MicrosoftVolumeEncryption: the method
    // IsKeyProtectorAvailable of the Win32_EncryptableVolume whose DriveLetter
    // is `driveLetter` ("C:"). S_OK with *available FALSE for a drive that is
    // no encryptable volume; a failure of WMI or of the method is returned.
    virtual HRESULT IsKeyProtectorAvailable(LPCWSTR driveLetter, ULONG keyProtectorType, BOOL* available) = 0;

    // Memory and handles.
    virtual HANDLE LocalFree(HANDLE memory) = 0;
    virtual BOOL CloseHandle(HANDLE object) = 0;

    // Event logging (advapi32). A source that is not registered writes to the
    // Application log all the same; the events then show their inserted texts
    // without a description.
    virtual HANDLE RegisterEventSourceW(LPCWSTR serverName, LPCWSTR sourceName) = 0;
    virtual BOOL ReportEventW(HANDLE eventLog, WORD type, WORD category, DWORD eventId, PSID userSid,
                              WORD stringCount, DWORD dataSize, LPCWSTR* strings, LPVOID rawData) = 0;
    virtual BOOL DeregisterEventSource(HANDLE eventLog) = 0;

    // Logon (advapi32).
    virtual BOOL LogonUserW(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logonType, DWORD provider,
                            PHANDLE token) = 0;
    // The account of a SID (advapi32). Sizes in characters; when a buffer is
    // too small, both sizes receive what is needed (with the terminator) and
    // the last error is ERROR_INSUFFICIENT_BUFFER.
    virtual BOOL LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameSize, LPWSTR domain,
                                   LPDWORD domainSize, PSID_NAME_USE use) = 0;

    // Sessions and processes (kernel32, advapi32).
    // The session attached to the physical console; 0xFFFFFFFF while none is.
    virtual DWORD WTSGetActiveConsoleSessionId() = 0;
    // Starts a process in the session and with the rights of `token` (a
    // primary token); lpCommandLine must be writable.
    virtual BOOL CreateProcessAsUserW(HANDLE token, LPCWSTR applicationName, LPWSTR commandLine,
                                      LPSECURITY_ATTRIBUTES processAttributes,
                                      LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                                      DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                                      LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInformation) = 0;
    // WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED with the last error set; for
    // a mutex whose owner ended without releasing it, WAIT_ABANDONED, and the
    // caller owns it.
    virtual DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) = 0;
    virtual BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) = 0;
    virtual BOOL TerminateProcess(HANDLE process, UINT exitCode) = 0;
    // A mutex not owned by its creator; one of that name that exists already is
    // opened (with the access its security allows), and the last error is then
    // ERROR_ALREADY_EXISTS. Null on failure.
    virtual HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name) = 0;
    // Fails with ERROR_NOT_OWNER unless the calling thread owns the mutex.
    virtual BOOL ReleaseMutex(HANDLE mutex) = 0;
    // An existing named mutex, with `access`, which its security must grant
    // the caller (ERROR_ACCESS_DENIED); ERROR_FILE_NOT_FOUND when there is
    // none of that name. Null on failure.
    virtual HANDLE OpenMutexW(DWORD access, BOOL inheritHandle, LPCWSTR name) = 0;
    // The parts `what` of the security of a kernel object (advapi32), which
    // for OWNER_SECURITY_INFORMATION needs READ_CONTROL on the handle;
    // *descriptor, which *owner points into, is freed with LocalFree. A system
    // error code.
    virtual DWORD GetSecurityInfo(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID* owner,
                                  PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) = 0;
    // A fresh GUID (ole32), random on Windows 2000 and later.
    virtual HRESULT CoCreateGuid(GUID* guid) = 0;
    virtual void Sleep(DWORD milliseconds) = 0;
    // Milliseconds since Windows started; wraps around after 49.7 days.
    virtual DWORD GetTickCount() = 0;
    // A security descriptor from its SDDL text (advapi32), of revision
    // SDDL_REVISION_1; *descriptor is freed with LocalFree. `size` may be null.
    virtual BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR text, DWORD revision,
                                                                      PSECURITY_DESCRIPTOR* descriptor,
                                                                      PULONG size) = 0;
    // The full path of a module's file (null: the program's); the number of
    // characters written, `size` when the path was cut short, 0 on failure.
    virtual DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) = 0;

    // GDI (gdi32, user32): what the markup renderer measures and draws with,
    // and the memory DCs that tests and off-screen measuring use.
    virtual HDC CreateCompatibleDC(HDC dc) = 0;
    virtual BOOL DeleteDC(HDC dc) = 0;
    virtual HGDIOBJ GetCurrentObject(HDC dc, UINT type) = 0;
    virtual int GetObjectW(HANDLE object, int size, LPVOID buffer) = 0;
    virtual HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) = 0;
    virtual BOOL DeleteObject(HGDIOBJ object) = 0;
    virtual HFONT CreateFontIndirectW(const LOGFONTW* font) = 0;
    virtual HBRUSH CreateSolidBrush(COLORREF color) = 0;
    virtual COLORREF GetTextColor(HDC dc) = 0;
    virtual COLORREF SetTextColor(HDC dc, COLORREF color) = 0;
    virtual int SetBkMode(HDC dc, int mode) = 0;
    virtual int SetMapMode(HDC dc, int mode) = 0;
    virtual int GetDeviceCaps(HDC dc, int index) = 0;
    virtual BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics) = 0;
    virtual BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) = 0;
    // fit and extents may be null; extents receives one cumulative width per character.
    virtual BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT extents,
                                       LPSIZE size) = 0;
    virtual BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                             const INT* advances) = 0;
    virtual int FillRect(HDC dc, const RECT* rect, HBRUSH brush) = 0;
    virtual DWORD GetSysColor(int index) = 0;
    // kernel32; rounds half away from zero, -1 on overflow or a zero divisor.
    virtual int MulDiv(int number, int numerator, int denominator) = 0;
    // ---- end of GDI
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
