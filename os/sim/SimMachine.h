#pragma once
// A small simulated Windows for tests: a registry with typed values, the LSA
// private-data store, power schemes and the global power policy, the screen
// saver parameter, the Windows version, accounts with their logon outcomes,
// token groups, the DLL exports that GetProcAddress finds and the system text
// of error codes. It logs every call, counts the handles that are open, and
// lets a test make any function fail with a chosen code.
//
// A new SimMachine is a Windows 10 workstation in a workgroup, on mains power
// and without Modern Standby, where the user "alice" of computer
// "GATEWISE-PC" is an administrator, with three power schemes that lock the
// console on wake, and BitLocker with no protector on its Windows drive.

#include "os/Text.h"
#include "os/WinApi.h"
#include "os/sim/SimGdi.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace os::sim {

struct CaseInsensitiveLess {
    bool operator()(const WString& a, const WString& b) const;
};

struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegistryKey {
    std::map<WString, RegistryValue, CaseInsensitiveLess> values;
    std::map<WString, std::unique_ptr<RegistryKey>, CaseInsensitiveLess> subkeys;
    bool readOnly = false;  // opening it for anything but reading is refused
};

struct PowerScheme {
    GUID guid{};
    DWORD lockOnWakeAc = 1;  // value index of the console-lock-on-wake setting on mains
    DWORD lockOnWakeDc = 1;  // ... on battery
    WString name;            // its friendly name, as Power Options shows it
};

struct Account {
    WString user;
    WString domain;
    WString password;
    DWORD logonError = 0;  // when not 0, every logon of this account fails with it
    // The Microsoft account that this local account is connected to, as
    // NetUserGetInfo level 24 names it; empty for an account of its own.
    WString microsoftAccount = {};
};

struct SidValue {
    BYTE authority[6] = {0, 0, 0, 0, 0, 5};
    std::vector<DWORD> subAuthorities;
    bool operator==(const SidValue&) const = default;
};

// An access-allowed ACE of a simulated security descriptor.
struct AllowedAce {
    SidValue sid;
    DWORD access;
};

struct TokenGroup {
    SidValue sid;
    DWORD attributes = SE_GROUP_ENABLED;
};

SidValue AdministratorsSid();  // S-1-5-32-544
SidValue UsersSid();           // S-1-5-32-545
SidValue LocalSystemSid();     // S-1-5-18
SidValue AliceSid();           // S-1-5-21-...-1001, the machine's own user
WString SidText(const SidValue& sid);

// A user signed in to a session, with the session's own screen saver setting.
struct SessionUser {
    SidValue sid;
    WString user;
    WString domain;
    BOOL screenSaverSecure = TRUE;
    bool locked = false;  // their session's screen is locked
};

// The account that LookupAccountSidW finds for a SID.
struct SidAccount {
    SidValue sid;
    WString user;
    WString domain;
    SID_NAME_USE use = SidTypeUser;
};

class SimMachine : public WinApi {
public:
    SimMachine();
    ~SimMachine() override;
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    // ---- The machine's state, for tests to arrange and inspect.
    DWORD majorVersion = 10;
    DWORD minorVersion = 0;
    DWORD buildNumber = 19045;
    DWORD platformId = VER_PLATFORM_WIN32_NT;

    WString computerName = WSTR("GATEWISE-PC");
    WString samAccountName = WSTR("GATEWISE-PC\\alice");  // what GetUserNameExW(NameSamCompatible) answers
    std::vector<Account> accounts;

    // The process's token: its user and groups. A program run by a management
    // agent has LocalSystemSid() here, and runs in session 0, whose screen
    // saver setting is screenSaverSecure.
    SidValue processUser = AliceSid();
    std::vector<TokenGroup> processGroups;
    std::optional<std::vector<TokenGroup>> threadGroups;  // set while the thread impersonates

    std::vector<PowerScheme> powerSchemes;
    std::size_t activeScheme = 0;  // index into powerSchemes
    GLOBAL_POWER_POLICY globalPowerPolicy{};
    UINT activePwrSchemeIndex = 0;
    SYSTEM_POWER_STATUS powerStatus{};
    bool modernStandby = false;  // what CallNtPowerInformation reports as AoAc
    BOOL screenSaverSecure = TRUE;
    bool sessionLocked = false;  // the running session's screen is locked (or in power saving)
    // Whether the power functions keep a scheme's written values where
    // Windows keeps them (os::PowerValueKeyPath); false models a Windows whose
    // API and store disagree.
    bool powerValuesReachRegistry = true;
    NETSETUP_JOIN_STATUS joinStatus = NetSetupWorkgroupName;
    WString windowsDirectory = WSTR("C:\\Windows");
    // The key protector types of the Windows drive's encryptable volume;
    // nullopt: a Windows without BitLocker, whose WMI namespace is missing.
    std::optional<std::vector<ULONG>> bitLockerProtectors = std::vector<ULONG>{};
    BOOL highContrast = FALSE;  // SPI_GETHIGHCONTRAST's HCF_HIGHCONTRASTON; the colours are gdi.sysColors
    SimGdi gdi;  // device contexts, fonts, brushes and the record of drawing

    // The session at the physical console (0xFFFFFFFF: none attached) and the
    // user signed in there (nullopt: the sign-in screen). A user's hive is
    // loaded while HKEY_USERS holds a key named after their SID.
    DWORD consoleSession = 1;
    std::optional<SessionUser> consoleUser;
    std::vector<SidAccount> sidAccounts;
    // The program's own file, as GetModuleFileNameW(nullptr) answers.
    WString programPath = WSTR("C:\\Program Files\\Gatewise\\gatewisecmd.exe");
    // What a process started with CreateProcessAsUserW runs: called with its
    // command line inside the console user's session (processUser and
    // screenSaverSecure are theirs meanwhile), it returns the exit code.
    // Unset: the program file cannot be started. With userProgramHangs the
    // process never ends, until it is terminated.
    std::function<DWORD(const WString& commandLine)> userProgram;
    bool userProgramHangs = false;
    // False when the console user may not read the program's file (a cache
    // that only LocalSystem can read).
    bool userMayRunProgram = true;

    std::map<WString, std::vector<BYTE>> lsaSecrets;  // private data by key name
    bool lsaBuffersWipedBeforeFree = true;            // false once a freed buffer still held its secret
    std::map<DWORD, WString> errorTexts;              // system text of error codes, "\r\n" ended
    // The program's string table, which LoadStringW reads from the module
    // that GetModuleHandleA(nullptr) answers.
    std::map<UINT, WString> strings;

    // The DLL search: the system folder, where LoadLibraryExA finds a DLL by
    // its full path; what SetDefaultDllDirectories and SetDllDirectoryW set.
    // LOAD_LIBRARY_SEARCH_SYSTEM32 works only while kernel32 exports
    // SetDefaultDllDirectories, as on Windows 7 and Vista without the update
    // that brought both.
    std::string systemDirectory = "C:\\Windows\\system32";
    DWORD defaultDllDirectories = 0;
    std::optional<WString> dllDirectory;
    // The program's own image, laid out as the loader maps it (an offset is
    // its address relative to the start), whose address GetModuleHandleA(nullptr)
    // answers. A new machine's is blank: no headers, no load configuration.
    std::vector<BYTE> programImage = std::vector<BYTE>(64);

    // The event log: every event that ReportEventW wrote, oldest first, with
    // the source its handle was registered for.
    struct LoggedEvent {
        WString source;
        WORD type = 0;
        WORD category = 0;
        DWORD id = 0;
        std::vector<WString> strings;
    };
    std::vector<LoggedEvent> eventLog;

    // Registry helpers; paths are relative to a root key such as HKEY_LOCAL_MACHINE.
    RegistryKey& Key(HKEY root, WStringView path);  // created when missing
    bool HasKey(HKEY root, WStringView path) const;
    void SetString(HKEY root, WStringView path, WStringView name, WStringView text, DWORD type = REG_SZ);
    void SetDword(HKEY root, WStringView path, WStringView name, DWORD value);
    void SetRaw(HKEY root, WStringView path, WStringView name, DWORD type, std::vector<BYTE> data);
    const RegistryValue* Value(HKEY root, WStringView path, WStringView name) const;
    std::optional<WString> String(HKEY root, WStringView path, WStringView name) const;  // REG_SZ text, unterminated

    // DLLs and exports. A library that was removed cannot be loaded; a removed
    // export is not found.
    void RemoveLibrary(const std::string& library);
    void RemoveExport(const std::string& library, const std::string& function);
    bool IsLoaded(const std::string& library) const;

    // ---- Failure injection: the next calls of `function` fail with `code`
    // after `skip` successful ones, `times` times (-1: for good). The code is
    // returned, set as last error, or returned as NTSTATUS, as the function
    // reports failures. Functions that cannot fail on Windows (GetVersion,
    // GetCurrentProcess, GetLastError, LsaNtStatusToWinError) take none.
    static constexpr int kAlways = -1;
    void Fail(const std::string& function, DWORD code, int skip = 0, int times = kAlways);

    // ---- Observation.
    struct Call {
        std::string function;
        std::string args;
    };
    const std::vector<Call>& Calls() const { return calls_; }
    std::vector<std::string> CallsTo(const std::string& function) const;  // their argument texts
    int CountCalls(const std::string& function) const;
    void ClearCalls() { calls_.clear(); }
    // Registry keys, LSA policies, tokens, SIDs, LocalAlloc / LsaFreeMemory
    // buffers, event sources, GDI objects and DCs that are open now.
    int OpenHandles() const;

    // ---- Processes and their kernel objects. Every call is made by the
    // process `currentProcess`: a mutex is owned, and a private namespace
    // created, by the process that was current. A test acts as another
    // process of the machine (the program started once more) with AsProcess;
    // when that process ends, what it left open is closed and the mutexes it
    // owned are abandoned, as when a Windows process ends.
    DWORD currentProcess = 1;
    void AsProcess(DWORD process, const std::function<void()>& action);
    void EndProcess(DWORD process);
    // Runs before each call to the machine is carried out, with the name of
    // the function: a test puts another process's step here, to interleave
    // the two. Calls made meanwhile do not run it again.
    std::function<void(const std::string& function)> beforeCall;
    // What GetTickCount answers; Sleep, and a wait that times out, move it on.
    DWORD tickCount = 0;
    // The process that owns the named mutex now; 0 when nobody does or it does not exist.
    DWORD MutexOwner(WStringView name) const;
    // The prefixes of the private namespaces that exist now.
    std::vector<WString> PrivateNamespaces() const;

    // ---- WinApi
    LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                            REGSAM desired, const SECURITY_ATTRIBUTES* security, PHKEY result,
                            LPDWORD disposition) override;
    LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result) override;
    LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD dataSize) override;
    LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD dataSize) override;
    LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) override;
    LSTATUS RegCloseKey(HKEY key) override;
    HMODULE GetModuleHandleA(LPCSTR moduleName) override;
    HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE reserved, DWORD flags) override;
    FARPROC GetProcAddress(HMODULE module, LPCSTR procName) override;
    UINT GetSystemDirectoryA(LPSTR buffer, UINT size) override;
    int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) override;
    DWORD GetLastError() override;
    void SetLastError(DWORD code) override;
    DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                         DWORD size, void* arguments) override;
    BOOL GetVersionExW(LPOSVERSIONINFOW info) override;
    BOOL GetSystemPowerStatus(LPSYSTEM_POWER_STATUS status) override;
    BOOL SystemParametersInfoW(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) override;
    BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) override;
    UINT GetSystemWindowsDirectoryW(LPWSTR buffer, UINT size) override;
    HRESULT IsKeyProtectorAvailable(LPCWSTR driveLetter, ULONG keyProtectorType, BOOL* available) override;
    HANDLE LocalFree(HANDLE memory) override;
    BOOL CloseHandle(HANDLE object) override;
    HANDLE RegisterEventSourceW(LPCWSTR serverName, LPCWSTR sourceName) override;
    BOOL ReportEventW(HANDLE handle, WORD type, WORD category, DWORD eventId, PSID userSid, WORD stringCount,
                      DWORD dataSize, LPCWSTR* strings, LPVOID rawData) override;
    BOOL DeregisterEventSource(HANDLE handle) override;
    BOOL LogonUserW(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logonType, DWORD provider,
                    PHANDLE token) override;
    BOOL LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameSize, LPWSTR domain,
                           LPDWORD domainSize, PSID_NAME_USE use) override;
    DWORD WTSGetActiveConsoleSessionId() override;
    BOOL CreateProcessAsUserW(HANDLE token, LPCWSTR applicationName, LPWSTR commandLine,
                              LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes,
                              BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                              LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                              LPPROCESS_INFORMATION processInformation) override;
    DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) override;
    BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) override;
    BOOL TerminateProcess(HANDLE process, UINT exitCode) override;
    DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) override;
    // ---- WinApi: synchronization (defined in SimKernelObjects.cpp)
    HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name) override;
    BOOL ReleaseMutex(HANDLE mutex) override;
    HANDLE OpenMutexW(DWORD access, BOOL inheritHandle, LPCWSTR name) override;
    DWORD GetSecurityInfo(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID* owner, PSID* group,
                          PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) override;
    HRESULT CoCreateGuid(GUID* guid) override;
    void Sleep(DWORD milliseconds) override;
    DWORD GetTickCount() override;
    BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR text, DWORD revision,
                                                              PSECURITY_DESCRIPTOR* descriptor, PULONG size) override;

    // ---- WinApi: GDI (defined in SimGdi.cpp)
    HDC CreateCompatibleDC(HDC dc) override;
    BOOL DeleteDC(HDC dc) override;
    HGDIOBJ GetCurrentObject(HDC dc, UINT type) override;
    int GetObjectW(HANDLE object, int size, LPVOID buffer) override;
    HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) override;
    BOOL DeleteObject(HGDIOBJ object) override;
    HFONT CreateFontIndirectW(const LOGFONTW* font) override;
    HBRUSH CreateSolidBrush(COLORREF color) override;
    COLORREF GetTextColor(HDC dc) override;
    COLORREF SetTextColor(HDC dc, COLORREF color) override;
    int SetBkMode(HDC dc, int mode) override;
    int SetMapMode(HDC dc, int mode) override;
    int GetDeviceCaps(HDC dc, int index) override;
    BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics) override;
    BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) override;
    BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT extents,
                               LPSIZE size) override;
    BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                     const INT* advances) override;
    int FillRect(HDC dc, const RECT* rect, HBRUSH brush) override;
    DWORD GetSysColor(int index) override;
    int MulDiv(int number, int numerator, int denominator) override;
    // ---- end of GDI

    // ---- Late-bound functions, exported through GetProcAddress.
    BOOL SetDefaultDllDirectories(DWORD flags);
    BOOL SetDllDirectoryW(LPCWSTR folder);
    DWORD GetVersion();
    HANDLE GetCurrentProcess();
    HANDLE GetCurrentThread();
    BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
    BOOL OpenThreadToken(HANDLE thread, DWORD access, BOOL openAsSelf, PHANDLE token);
    BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info, DWORD length,
                             PDWORD returnLength);
    BOOL EqualSid(PSID a, PSID b);
    BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD s0, DWORD s1, DWORD s2,
                                  DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7, PSID* sid);
    PVOID FreeSid(PSID sid);
    BOOL CheckTokenMembership(HANDLE token, PSID sid, PBOOL isMember);
    NTSTATUS LsaOpenPolicy(PLSA_UNICODE_STRING system, PLSA_OBJECT_ATTRIBUTES attributes, ACCESS_MASK access,
                           PLSA_HANDLE policy);
    NTSTATUS LsaStorePrivateData(LSA_HANDLE policy, PLSA_UNICODE_STRING key, PLSA_UNICODE_STRING data);
    NTSTATUS LsaRetrievePrivateData(LSA_HANDLE policy, PLSA_UNICODE_STRING key, PLSA_UNICODE_STRING* data);
    NTSTATUS LsaFreeMemory(PVOID buffer);
    NTSTATUS LsaClose(LSA_HANDLE policy);
    ULONG LsaNtStatusToWinError(NTSTATUS status);
    BOOLEAN GetUserNameExW(EXTENDED_NAME_FORMAT format, LPWSTR buffer, PULONG size);
    BOOLEAN ReadGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy);
    BOOLEAN WriteGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy);
    BOOLEAN GetActivePwrScheme(PUINT index);
    BOOLEAN SetActivePwrScheme(UINT index, PGLOBAL_POWER_POLICY global, PPOWER_POLICY policy);
    DWORD PowerGetActiveScheme(HKEY root, GUID** scheme);
    DWORD PowerSetActiveScheme(HKEY root, const GUID* scheme);
    // The copy gets a GUID of its own and the source's values; it is not activated.
    DWORD PowerDuplicateScheme(HKEY root, const GUID* source, GUID** copy);
    // The active scheme cannot be deleted (ERROR_ACCESS_DENIED).
    DWORD PowerDeleteScheme(HKEY root, const GUID* scheme);
    DWORD PowerReadFriendlyName(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting, PUCHAR buffer,
                                LPDWORD bufferSize);
    DWORD PowerEnumerate(HKEY root, const GUID* scheme, const GUID* subgroup, POWER_DATA_ACCESSOR flags,
                         ULONG index, UCHAR* buffer, DWORD* size);
    DWORD PowerReadACValueIndex(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                LPDWORD value);
    DWORD PowerReadDCValueIndex(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                LPDWORD value);
    DWORD PowerWriteACValueIndex(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                 DWORD value);
    DWORD PowerWriteDCValueIndex(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                 DWORD value);
    NTSTATUS CallNtPowerInformation(POWER_INFORMATION_LEVEL level, PVOID input, ULONG inputLength, PVOID output,
                                    ULONG outputLength);
    NET_API_STATUS NetGetJoinInformation(LPCWSTR server, LPWSTR* name, PNETSETUP_JOIN_STATUS status);
    NET_API_STATUS NetApiBufferFree(LPVOID buffer);
    // Needs LocalSystem; ERROR_NO_TOKEN for a session with nobody signed in,
    // ERROR_CTX_WINSTATION_NOT_FOUND for one that does not exist.
    BOOL WTSQueryUserToken(ULONG session, PHANDLE token);
    // The environment of the token's user, as a Unicode block.
    BOOL CreateEnvironmentBlock(LPVOID* environment, HANDLE token, BOOL inherit);
    BOOL DestroyEnvironmentBlock(LPVOID environment);
    // Level 24 of a local account; the buffer goes back with NetApiBufferFree.
    NET_API_STATUS NetUserGetInfo(LPCWSTR server, LPCWSTR user, DWORD level, LPBYTE* buffer);
    // Plays nothing; the call log keeps the sound's name and the flags.
    BOOL PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);
    // Private namespaces (defined in SimKernelObjects.cpp).
    HANDLE CreateBoundaryDescriptorW(LPCWSTR name, ULONG flags);
    BOOL AddSIDToBoundaryDescriptor(HANDLE* boundary, PSID sid);
    void DeleteBoundaryDescriptor(HANDLE boundary);
    HANDLE CreatePrivateNamespaceW(LPSECURITY_ATTRIBUTES attributes, LPVOID boundary, LPCWSTR prefix);
    BOOLEAN ClosePrivateNamespace(HANDLE handle, ULONG flags);

private:
    struct OpenKey {
        RegistryKey* key;
        REGSAM access;
    };
    struct Failure {
        DWORD code;
        int skip;
        int times;
    };
    struct Token {
        const std::vector<TokenGroup>* groups;
        SidValue user;
    };
    struct Module {
        std::string name;
        std::map<std::string, FARPROC> exports;
        bool loaded = false;
    };

    void Log(const std::string& function, std::string args = {});
    std::optional<DWORD> Injected(const std::string& function);
    BOOL FailWithLastError(DWORD code);
    RegistryKey* Root(HKEY root);
    const RegistryKey* Root(HKEY root) const;
    RegistryKey* Resolve(HKEY key);
    LSTATUS OpenPath(HKEY key, LPCWSTR subKey, REGSAM desired, bool create, PHKEY result, LPDWORD disposition);
    HANDLE NewHandle();
    PowerScheme* FindScheme(const GUID* guid);
    DWORD CheckPowerSetting(const GUID* scheme, const GUID* subgroup, const GUID* setting);
    DWORD ReadIndex(const char* function, const GUID* scheme, const GUID* subgroup, const GUID* setting, bool ac,
                    LPDWORD value);
    DWORD WriteIndex(const char* function, const GUID* scheme, const GUID* subgroup, const GUID* setting, bool ac,
                     DWORD value);
    const std::vector<TokenGroup>& EffectiveGroups() const;
    Module* FindModule(const std::string& name);
    void RegisterExports();
    // Kernel objects (SimKernelObjects.cpp).
    struct Mutex {
        DWORD owner = 0;  // the owning process; 0: none
        DWORD count = 0;  // acquisitions not yet released
        bool abandoned = false;
        std::optional<std::vector<AllowedAce>> allowed;  // who may open it for what; nullopt: anybody for anything
        int handles = 0;
        SidValue objectOwner;  // the owner in its security descriptor
    };
    struct MutexHandle {
        WString name;
        DWORD process;
        DWORD access;  // granted when the handle was opened
    };
    struct Boundary {
        std::vector<SidValue> sids;
        DWORD process;
    };
    struct PrivateNamespace {
        WString prefix;
        std::vector<SidValue> boundary;
        DWORD process;
    };
    struct SecurityDescriptor {
        std::optional<SidValue> owner;  // nullopt: the creator's default
        std::vector<AllowedAce> allowed;
        DWORD process;
    };
    bool CloseKernelObject(HANDLE object);
    // The result of waiting for `object` when it is a mutex; nullopt otherwise.
    std::optional<DWORD> WaitForMutex(HANDLE object, DWORD milliseconds);
    bool FreeSecurityDescriptor(HANDLE memory);
    int OpenKernelObjects() const;
    bool MayOpen(const Mutex& mutex, DWORD access) const;
    bool InToken(const SidValue& sid) const;

    std::unique_ptr<RegistryKey> localMachine_;
    std::unique_ptr<RegistryKey> currentUser_;
    std::unique_ptr<RegistryKey> users_;
    std::map<HKEY, OpenKey> openKeys_;
    std::map<HANDLE, ACCESS_MASK> policies_;  // with the access each was opened for
    std::map<HANDLE, Token> tokens_;
    std::vector<TokenGroup> sessionUserGroups_;
    std::map<HANDLE, DWORD> processes_;  // exit codes, STILL_ACTIVE while running
    std::set<HANDLE> threads_;
    std::set<HANDLE> logonTokens_;
    std::set<PSID> sids_;
    std::set<void*> localBuffers_;
    std::set<void*> lsaBuffers_;
    std::set<void*> netBuffers_;  // BYTE arrays
    std::set<void*> environmentBlocks_;  // WCHAR arrays
    std::map<HANDLE, WString> eventSources_;
    std::map<std::string, Module> modules_;
    std::map<std::string, Failure> failures_;
    std::vector<Call> calls_;
    bool inBeforeCall_ = false;
    std::map<WString, Mutex> mutexes_;  // CreateMutexW: names compare case-sensitively
    std::map<HANDLE, MutexHandle> mutexHandles_;
    std::map<HANDLE, Boundary> boundaries_;
    std::map<HANDLE, PrivateNamespace> namespaces_;
    std::map<HANDLE, SecurityDescriptor> securityDescriptors_;
    std::map<PSECURITY_DESCRIPTOR, std::vector<BYTE>> ownerDescriptors_;  // GetSecurityInfo: the owner's SID
    ULONG nextGuid_ = 0x6A7E0000;  // CoCreateGuid
    uintptr_t nextHandle_ = 0x1000;
    ULONG nextSchemeNumber_ = 0xC0FF0000;
};

// The simulated machine in use (os::Api() must be a SimMachine).
SimMachine& Current();

}  // namespace os::sim
