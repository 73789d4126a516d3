#include "diagnostics/Fixes.h"

#include "engine/ChangeLock.h"
#include "engine/NTSecurity.h"
#include "engine/OsError.h"
#include "engine/Registry.h"
#include "engine/Utilities.h"
#include "os/WinApi.h"

#include <optional>
#include <stdexcept>

namespace diagnostics {
namespace {

const WCHAR kPasswordLessKey[] = WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\PasswordLess\\Device");
const WCHAR kWinlogonKey[] = WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");
const WCHAR kPasswordLessValue[] = WSTR("DevicePasswordLessBuildVersion");
const WCHAR kAutoLogonCountValue[] = WSTR("AutoLogonCount");

std::string Where(const WCHAR* name, const WCHAR* path) {
    return os::ToUtf8(name) + " under HKEY_LOCAL_MACHINE\\" + os::ToUtf8(path);
}

// The key of the value to fix, open for writing; empty when it does not exist.
engine::RegKey OpenForFix(const WCHAR* path) {
    engine::RegKey key;
    const LSTATUS status = engine::OpenKey(HKEY_LOCAL_MACHINE, path, engine::SettingsKeyAccess(), key);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        throw engine::EOSError("The key of the setting cannot be opened for writing: " +
                                   engine::SysErrorMessage(static_cast<DWORD>(status)) + " Nothing was changed.",
                               static_cast<DWORD>(status));
    return key;
}

// The value as a number; a value of another type is left alone.
std::optional<DWORD> ReadNumber(HKEY key, const WCHAR* name, const WCHAR* path) {
    try {
        return engine::ReadDword(key, name);
    } catch (const engine::ERegistryException&) {
        throw EFixRefused(Where(name, path) + " is not a number, as Windows stores it, so Gatewise leaves it alone. "
                                              "Nothing was changed.");
    }
}

FixOutcome FixPasswordLessSignIn() {
    const engine::RegKey key = OpenForFix(kPasswordLessKey);
    const std::optional<DWORD> version = key ? ReadNumber(key.get(), kPasswordLessValue, kPasswordLessKey) : std::nullopt;
    if (version != DWORD{2})
        return {false, "Windows Hello sign-in is not required for Microsoft accounts: nothing to fix.", {}};
    try {
        engine::WriteDword(key.get(), kPasswordLessValue, 0);
    } catch (const engine::ERegistryException& refused) {
        throw engine::ERegistryException(std::string(refused.what()) + ". Nothing was changed.");
    }
    return {true,
            Where(kPasswordLessValue, kPasswordLessKey) +
                " set from 2 to 0: Windows no longer requires Windows Hello sign-in for Microsoft accounts.",
            "set " + Where(kPasswordLessValue, kPasswordLessKey) +
                " back to 2 (REG_DWORD), or turn the requirement back on in Settings, Accounts, Sign-in options."};
}

FixOutcome FixAutologonCount() {
    const engine::RegKey key = OpenForFix(kWinlogonKey);
    const std::optional<DWORD> count = key ? ReadNumber(key.get(), kAutoLogonCountValue, kWinlogonKey) : std::nullopt;
    if (!count) return {false, "AutoLogonCount is not set: nothing to fix.", {}};
    const LSTATUS status = engine::DeleteValue(key.get(), kAutoLogonCountValue);
    if (status != ERROR_SUCCESS)
        throw engine::ERegistryException("AutoLogonCount could not be deleted: " +
                                         engine::SysErrorMessage(static_cast<DWORD>(status)) + " Nothing was changed.");
    return {true,
            Where(kAutoLogonCountValue, kWinlogonKey) + " (" + std::to_string(*count) +
                ") deleted: automatic logon no longer switches itself off.",
            "create " + Where(kAutoLogonCountValue, kWinlogonKey) + " again as REG_DWORD " + std::to_string(*count) +
                "."};
}

}  // namespace

const std::vector<std::string>& FixIds() {
    static const std::vector<std::string> ids{"autologon-count", "password-less-sign-in"};
    return ids;
}

FixOutcome ApplyFix(std::string_view id) {
    const bool known = id == "password-less-sign-in" || id == "autologon-count";
    if (!known) throw std::invalid_argument("No fix for " + std::string(id) + ".");
    if (!engine::IsAdministrator())
        throw EFixNeedsAdministrator("Fixing " + std::string(id) +
                                     " needs administrator rights, as it changes a setting of the whole computer. "
                                     "Nothing was changed.");
    const engine::TChangeLock lock(engine::TChangeLock::lpMachineWide);
    return id == "password-less-sign-in" ? FixPasswordLessSignIn() : FixAutologonCount();
}

}  // namespace diagnostics
