#include "engine/Utilities.h"

#include "engine/ConsoleUser.h"
#include "engine/Exception.h"
#include "engine/LateBinding.h"
#include "engine/OsError.h"
#include "engine/ProtectedPassword.h"
#include "engine/Registry.h"
#include "engine/VistaPower.h"
#include "engine/WindowsVersion.h"
#include "os/WinApi.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace engine {
namespace {

const WCHAR kWinlogonKey[] = WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");
const WCHAR kAutoAdminLogon[] = WSTR("AutoAdminLogon");
const WCHAR kDefaultUserName[] = WSTR("DefaultUserName");
const WCHAR kDefaultDomainName[] = WSTR("DefaultDomainName");
const WCHAR kDefaultPassword[] = WSTR("DefaultPassword");
const WCHAR kAutoLogonCount[] = WSTR("AutoLogonCount");

const WCHAR kDesktopKey[] = WSTR("Control Panel\\Desktop");
const WCHAR kScreenSaverIsSecure[] = WSTR("ScreenSaverIsSecure");
const WCHAR kDelayLockInterval[] = WSTR("DelayLockInterval");

// Full access only to write: a standard user's process may read the machine's
// keys but gets no more, and the command line runs with the caller's rights.
enum class KeyUse { Read, Write };

RegKey OpenSettingsKey(HKEY root, const WCHAR* path, KeyUse use) {
    RegKey key;
    LSTATUS status = CreateKey(root, path, use == KeyUse::Read ? SettingsReadAccess() : SettingsKeyAccess(), key);
    if (status != ERROR_SUCCESS) RaiseOsError(static_cast<DWORD>(status));
    return key;
}

RegKey OpenWinlogonKey(KeyUse use) { return OpenSettingsKey(HKEY_LOCAL_MACHINE, kWinlogonKey, use); }

// A missing value is fine; any other failure raises with the registry's code.
void DeleteOrRaise(HKEY key, const WCHAR* name) {
    const LSTATUS status = DeleteValue(key, name);
    if (status != ERROR_SUCCESS) RaiseOsError(static_cast<DWORD>(status));
}

// Anything but a readable "never" asks, as Windows does with a missing value.
bool WakeSignInAsks() {
    try {
        return GetWakeSignInDelay() != kSignInNever;
    } catch (const Exception&) {
        return true;
    }
}

}  // namespace

const SettingValue kAutoAdminLogonValue{HKEY_LOCAL_MACHINE, kWinlogonKey, kAutoAdminLogon};
const SettingValue kAutoLogonCountValue{HKEY_LOCAL_MACHINE, kWinlogonKey, kAutoLogonCount};
const SettingValue kDelayLockIntervalValue{HKEY_CURRENT_USER, kDesktopKey, kDelayLockInterval};
const SettingValue kScreenSaverIsSecureValue{HKEY_CURRENT_USER, kDesktopKey, kScreenSaverIsSecure};

// ---------------------------------------------------------------- start-up

bool GetAskPasswordOnStartup() {
    RegKey key = OpenWinlogonKey(KeyUse::Read);
    try {
        std::optional<os::WString> autoLogon = ReadString(key.get(), kAutoAdminLogon);
        if (autoLogon != os::WString(WSTR("1"))) return true;
        std::optional<os::WString> user = ReadString(key.get(), kDefaultUserName);
        if (!user || user->empty()) return true;
        // At 0 Windows logs nobody on automatically.
        return ReadDword(key.get(), kAutoLogonCount) == DWORD{0};
    } catch (const ERegistryException&) {
        return true;
    }
}

void SetAskPasswordOnStartup(bool ask) {
    RegKey key = OpenWinlogonKey(KeyUse::Write);
    WriteString(key.get(), kAutoAdminLogon, ask ? WSTR("0") : WSTR("1"));
}

void SetAutoLogonCount(std::optional<DWORD> count) {
    RegKey key = OpenWinlogonKey(KeyUse::Write);
    if (count) WriteDword(key.get(), kAutoLogonCount, *count);
    else DeleteOrRaise(key.get(), kAutoLogonCount);
}

bool AutologonPasswordStored() {
    try {
        if (!RetrievePasswordSecret().empty()) return true;
        const std::optional<RawValue> plain =
            ReadSettingValue({HKEY_LOCAL_MACHINE, kWinlogonKey, kDefaultPassword});
        return plain && plain->data.size() > sizeof(WCHAR);
    } catch (const Exception&) {
        return true;
    }
}

void ForgetAutologonPassword() {
    RegKey key = OpenWinlogonKey(KeyUse::Write);
    const os::SecretString stored = RetrievePasswordSecret();
    StorePasswordSecret(os::SecretString());
    try {
        DeleteOrRaise(key.get(), kDefaultPassword);
    } catch (const Exception&) {
        if (!stored.empty()) StorePasswordSecret(stored);
        throw;
    }
}

AutologonAccount GetAutologonAccount() {
    RegKey key = OpenWinlogonKey(KeyUse::Read);
    AutologonAccount account;
    account.user = ReadString(key.get(), kDefaultUserName).value_or(os::WString());
    account.domain = ReadString(key.get(), kDefaultDomainName).value_or(os::WString());
    std::optional<os::WString> plain = ReadString(key.get(), kDefaultPassword);
    account.hasPassword = plain && !plain->empty();
    if (plain) os::SecureWipe(*plain);
    if (!account.hasPassword) {
        try {
            account.hasPassword = !RetrievePasswordSecret().empty();
        } catch (const Exception&) {
            account.hasPassword = false;
        }
    }
    return account;
}

TPasswordStore SetAutologonAccount(const os::WString& user, const os::WString& domain,
                                   const os::SecretString& password, bool requireProtected) {
    RegKey key = OpenWinlogonKey(KeyUse::Write);
    const bool protectedFirst = requireProtected && !password.empty();
    if (protectedFirst) {
        try {
            StorePasswordSecret(password);
        } catch (const Exception& error) {
            throw EPasswordNotProtected(std::string("Windows did not accept the password into its protected store (") +
                                        error.what() + "), and the plain registry value is not allowed.");
        }
    }
    if (!user.empty()) {
        WriteString(key.get(), kDefaultUserName, user);
        WriteString(key.get(), kDefaultDomainName, domain);
    } else {
        DeleteOrRaise(key.get(), kDefaultUserName);
        DeleteOrRaise(key.get(), kDefaultDomainName);
    }
    DeleteOrRaise(key.get(), kDefaultPassword);

    if (password.empty()) {
        StorePasswordSecret(password);
        return psNone;
    }
    if (protectedFirst) return psProtected;
    try {
        StorePasswordSecret(password);
        return psProtected;
    } catch (const Exception&) {
        // The protected store refused it: the logon service also reads the plain value.
    }
    WriteString(key.get(), kDefaultPassword, password.view());
    // An earlier protected password would still be used instead of the new
    // one. The password is stored in plain text by now, which the caller must
    // hear of whether or not the old one goes.
    try {
        StorePasswordSecret(os::SecretString());
    } catch (const Exception&) {
        return psPlainValueBehindProtected;
    }
    return psPlainValue;
}

// ---------------------------------------------------------------- resume

bool WakeSignInDelayCovered() { return HasModernStandby() && !PerUserSettingsOutOfReach(); }

bool GetAskPasswordOnResume() {
    if (IsWindows6OrLater()) return VistaGetAskPasswordOnResume() || (WakeSignInDelayCovered() && WakeSignInAsks());
    GLOBAL_POWER_POLICY policy{};
    if (!late::ReadGlobalPwrPolicy(&policy)) RaiseOsError();
    return (policy.user.GlobalFlags & os::kEnablePasswordLogon) != 0;
}

void SetAskPasswordOnResume(bool ask, bool allSchemes) {
    if (IsWindows6OrLater()) {
        VistaSetAskPasswordOnResume(ask, allSchemes);
        if (WakeSignInDelayCovered()) SetWakeSignInDelay(ask ? kSignInEveryTime : kSignInNever);
        return;
    }
    GLOBAL_POWER_POLICY policy{};
    if (!late::ReadGlobalPwrPolicy(&policy)) RaiseOsError();
    if (ask)
        policy.user.GlobalFlags |= os::kEnablePasswordLogon;
    else
        policy.user.GlobalFlags &= ~os::kEnablePasswordLogon;
    if (!late::WriteGlobalPwrPolicy(&policy)) RaiseOsError();
    UINT active = 0;
    if (!late::GetActivePwrScheme(&active)) RaiseOsError();
    if (!late::SetActivePwrScheme(active, nullptr, nullptr)) RaiseOsError();
}

std::optional<DWORD> GetWakeSignInDelay() {
    RegKey key = OpenSettingForReading(HKEY_CURRENT_USER, kDesktopKey);
    if (!key) return std::nullopt;
    return ReadDword(key.get(), kDelayLockInterval);
}

void SetWakeSignInDelay(DWORD seconds) {
    RegKey key = OpenSettingsKey(HKEY_CURRENT_USER, kDesktopKey, KeyUse::Write);
    WriteDword(key.get(), kDelayLockInterval, seconds);
}

// ---------------------------------------------------------------- screen saver

bool GetAskPasswordOnScreenSaver() {
    if (IsWindows6OrLater()) {
        if (const ConsoleUser* user = TargetConsoleUser()) return RunScreenSaverPartInSession(*user, std::nullopt);
        BOOL secure = FALSE;
        if (!os::Api().SystemParametersInfoW(SPI_GETSCREENSAVESECURE, 0, &secure, 0)) RaiseOsError();
        return secure != FALSE;
    }
    RegKey key = OpenSettingForReading(HKEY_CURRENT_USER, kDesktopKey);
    if (!key) return false;
    try {
        return ReadString(key.get(), kScreenSaverIsSecure) == os::WString(WSTR("1"));
    } catch (const ERegistryException&) {
        return false;
    }
}

void SetAskPasswordOnScreenSaver(bool ask) {
    {
        RegKey key;
        LSTATUS status = CreateKey(HKEY_CURRENT_USER, kDesktopKey, SettingsKeyAccess(), key);
        if (status == ERROR_SUCCESS)
            WriteString(key.get(), kScreenSaverIsSecure, ask ? WSTR("1") : WSTR("0"));
        else if (!IsWindows6OrLater())
            RaiseOsError(static_cast<DWORD>(status));
    }
    if (IsWindows6OrLater()) SetScreenSaverParameter(ask);
}

ESessionLocked::ESessionLocked()
    : EOSError("The screen saver setting of the session cannot change while the computer is locked.",
               ERROR_OPERATION_IN_PROGRESS) {}

void SetScreenSaverParameter(bool ask) {
    if (const ConsoleUser* user = TargetConsoleUser()) {
        RunScreenSaverPartInSession(*user, ask);
        return;
    }
    if (os::Api().SystemParametersInfoW(SPI_SETSCREENSAVESECURE, ask ? 1 : 0, nullptr, SPIF_SENDCHANGE)) return;
    const DWORD error = os::Api().GetLastError();
    if (error == ERROR_OPERATION_IN_PROGRESS) throw ESessionLocked();
    RaiseOsError(error);
}

// ---------------------------------------------------------------- accounts

UserAccount GetCurrentUserAccount() {
    WCHAR buffer[256];
    ULONG size = 255;
    if (!late::GetUserNameExW(NameSamCompatible, buffer, &size)) RaiseOsError();
    const os::WString name(buffer, size);
    const auto backslash = name.find(WCHAR('\\'));
    if (backslash == os::WString::npos) return UserAccount{name, os::WString()};
    return UserAccount{name.substr(backslash + 1), name.substr(0, backslash)};
}

TPasswordCheck VerifyAccountPassword(os::WString user, os::WString domain, const os::SecretString& password) {
    const bool principalName = domain.empty() && user.find(WCHAR('@')) != os::WString::npos;
    if (!principalName && (user.empty() || domain.empty())) {
        UserAccount current = GetCurrentUserAccount();
        domain = current.domain;
        if (user.empty()) user = current.user;
    }
    os::WinApi& api = os::Api();
    HANDLE token = nullptr;
    if (api.LogonUserW(user.c_str(), principalName ? nullptr : domain.c_str(), password.c_str(),
                       LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_DEFAULT, &token)) {
        api.CloseHandle(token);
        return pcAccepted;
    }
    switch (api.GetLastError()) {
    case ERROR_ACCOUNT_RESTRICTION:
        return password.empty() ? pcAccepted : pcCannotVerify;
    case ERROR_LOGON_FAILURE:
        return pcRejected;
    case ERROR_ACCOUNT_LOCKED_OUT:
        return pcLockedOut;
    default:
        return pcCannotVerify;
    }
}

std::optional<os::WString> ConnectedMicrosoftAccount(const os::WString& localUser) {
    LPBYTE buffer = nullptr;
    NET_API_STATUS status;
    try {
        status = late::NetUserGetInfo(nullptr, localUser.c_str(), 24, &buffer);
    } catch (const EJwaError&) {
        return std::nullopt;  // no such function: a Windows without Microsoft accounts
    }
    if (status != NERR_Success || !buffer) return std::nullopt;
    std::optional<os::WString> name;
    const auto* info = reinterpret_cast<const USER_INFO_24*>(buffer);
    if (info->usri24_internet_identity && info->usri24_internet_principal_name &&
        *info->usri24_internet_principal_name)
        name = os::WString(info->usri24_internet_principal_name);
    late::NetApiBufferFree(buffer);
    return name;
}

bool IsMicrosoftAccount(const os::WString& user, const os::WString& domain) {
    const os::WStringView provider = WSTR("MicrosoftAccount");
    const os::WStringView prefixed = WSTR("MicrosoftAccount\\");
    if (os::EqualsIgnoringCase(domain, provider)) return true;
    if (user.size() > prefixed.size() && os::EqualsIgnoringCase(os::WStringView(user).substr(0, prefixed.size()), prefixed))
        return true;
    const bool local = domain.empty() || os::EqualsIgnoringCase(domain, LocalComputerName());
    return local && ConnectedMicrosoftAccount(user).has_value();
}

os::WString LocalComputerName() {
    WCHAR name[256] = {};
    DWORD size = 255;
    if (!os::Api().GetComputerNameW(name, &size)) return {};
    return os::WString(name, size);
}

namespace {

// The binary SID of "S-1-<authority>-<sub>-<sub>...", in a buffer aligned for
// it; nullopt for anything else. Up to 15 sub-authorities, as SID_MAX_SUB_AUTHORITIES.
std::optional<std::vector<ULONG_PTR>> ParseSid(os::WStringView text) {
    const std::string utf8 = os::ToUtf8(text);
    if (utf8.rfind("S-1-", 0) != 0) return std::nullopt;
    std::vector<unsigned long long> parts;
    std::size_t at = 4;
    while (true) {
        const std::size_t end = std::min(utf8.find('-', at), utf8.size());
        if (end == at || end - at > 10 || utf8.find_first_not_of("0123456789", at) < end) return std::nullopt;
        parts.push_back(std::stoull(utf8.substr(at, end - at)));
        if (end == utf8.size()) break;
        at = end + 1;
    }
    const std::size_t count = parts.size() - 1;
    if (count == 0 || count > 15 || parts[0] > 0xFFFFFFFFFFFFull) return std::nullopt;
    std::vector<BYTE> bytes{1, static_cast<BYTE>(count)};
    for (int shift = 40; shift >= 0; shift -= 8) bytes.push_back(static_cast<BYTE>(parts[0] >> shift));
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i] > 0xFFFFFFFFull) return std::nullopt;
        const DWORD sub = static_cast<DWORD>(parts[i]);
        const BYTE* raw = reinterpret_cast<const BYTE*>(&sub);
        bytes.insert(bytes.end(), raw, raw + sizeof sub);
    }
    std::vector<ULONG_PTR> sid(bytes.size() / sizeof(ULONG_PTR) + 1);
    std::memcpy(sid.data(), bytes.data(), bytes.size());
    return sid;
}

}  // namespace

std::optional<UserAccount> AccountOfSid(os::WStringView sidText) {
    std::optional<std::vector<ULONG_PTR>> sid = ParseSid(sidText);
    if (!sid) return std::nullopt;
    WCHAR name[256];
    WCHAR domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use = SidTypeUser;
    if (!os::Api().LookupAccountSidW(nullptr, sid->data(), name, &nameSize, domain, &domainSize, &use))
        return std::nullopt;
    return UserAccount{os::WString(name, nameSize), os::WString(domain, domainSize)};
}

UserAccount WindowsAccountName(const os::WString& user, const os::WString& domain) {
    const bool microsoftDomain = os::EqualsIgnoringCase(domain, WSTR("MicrosoftAccount"));
    if (user.find(WCHAR('@')) == os::WString::npos || (!domain.empty() && !microsoftDomain)) return {user, domain};
    std::optional<UserAccount> candidate;
    if (const ConsoleUser* console = TargetConsoleUser()) {
        const auto backslash = console->account.find(WCHAR('\\'));
        if (backslash != os::WString::npos)
            candidate = UserAccount{console->account.substr(backslash + 1), console->account.substr(0, backslash)};
    } else {
        try {
            candidate = GetCurrentUserAccount();
        } catch (const Exception&) {
            // Nobody to compare with: the name stays as given.
        }
    }
    if (candidate) {
        const std::optional<os::WString> connected = ConnectedMicrosoftAccount(candidate->user);
        if (connected && os::EqualsIgnoringCase(*connected, user)) return *candidate;
    }
    return {user, microsoftDomain ? domain : os::WString()};
}

}  // namespace engine
