#include "engine/Registry.h"

#include "engine/ConsoleUser.h"
#include "engine/Exception.h"
#include "engine/OsError.h"
#include "engine/WindowsVersion.h"
#include "os/WinApi.h"

#include <cstring>

namespace engine {
namespace {

std::string Quoted(const WCHAR* name) { return "'" + os::ToUtf8(name ? name : WSTR("")) + "'"; }

[[noreturn]] void InvalidDataType(const WCHAR* name) {
    throw ERegistryException("Invalid data type for " + Quoted(name));
}

void Write(HKEY key, const WCHAR* name, DWORD type, const void* data, DWORD size) {
    if (os::Api().RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
        throw ERegistryException("Failed to set data for " + Quoted(name));
}

}  // namespace

void RegKeyTraits::Close(HKEY key) { os::Api().RegCloseKey(key); }

REGSAM SettingsKeyAccess() { return KEY_ALL_ACCESS | (IsWindows6OrLater() ? KEY_WOW64_64KEY : 0); }
REGSAM SettingsReadAccess() { return KEY_READ | (IsWindows6OrLater() ? KEY_WOW64_64KEY : 0); }

namespace {

// Where HKEY_CURRENT_USER\<path> is for the per-user target in place: the
// console user's hive, or, with nobody's settings in reach, nowhere.
struct UserLocation {
    bool reachable = true;
    HKEY root;
    os::WString path;
};

UserLocation Locate(HKEY root, const WCHAR* path) {
    UserLocation location{true, root, path ? os::WString(path) : os::WString()};
    if (root != HKEY_CURRENT_USER) return location;
    if (PerUserSettingsOutOfReach()) location.reachable = false;
    if (const ConsoleUser* user = TargetConsoleUser()) {
        location.root = HKEY_USERS;
        location.path = location.path.empty() ? user->sid : user->sid + WSTR("\\") + location.path;
    }
    return location;
}

}  // namespace

LSTATUS CreateKey(HKEY root, const WCHAR* path, REGSAM access, RegKey& key) {
    const UserLocation location = Locate(root, path);
    key = RegKey();
    if (!location.reachable) return ERROR_FILE_NOT_FOUND;
    HKEY handle = nullptr;
    LSTATUS status = os::Api().RegCreateKeyExW(location.root, location.path.c_str(), 0, nullptr,
                                               REG_OPTION_NON_VOLATILE, access, nullptr, &handle, nullptr);
    key = RegKey(status == ERROR_SUCCESS ? handle : nullptr);
    return status;
}

LSTATUS OpenKey(HKEY root, const WCHAR* path, REGSAM access, RegKey& key) {
    const UserLocation location = Locate(root, path);
    key = RegKey();
    if (!location.reachable) return ERROR_FILE_NOT_FOUND;
    HKEY handle = nullptr;
    LSTATUS status = os::Api().RegOpenKeyExW(location.root, location.path.c_str(), 0, access, &handle);
    key = RegKey(status == ERROR_SUCCESS ? handle : nullptr);
    return status;
}

std::optional<RawValue> ReadRawValue(HKEY key, const WCHAR* name) {
    os::WinApi& api = os::Api();
    RawValue value;
    DWORD size = 0;
    // The value may grow between the two calls; ask again until it fits.
    for (;;) {
        LSTATUS status = api.RegQueryValueExW(key, name, nullptr, &value.type,
                                              value.data.empty() ? nullptr : value.data.data(), &size);
        if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
        if (status == ERROR_SUCCESS && (value.data.size() >= size || size == 0)) break;
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
            throw ERegistryException("Failed to get data for " + Quoted(name));
        value.data.assign(size, 0);
    }
    value.data.resize(size);
    return value;
}

std::optional<os::WString> ReadString(HKEY key, const WCHAR* name) {
    std::optional<RawValue> value = ReadRawValue(key, name);
    if (!value) return std::nullopt;
    if (value->data.empty()) return os::WString();
    if (value->type != REG_SZ && value->type != REG_EXPAND_SZ) {
        os::SecureWipe(value->data.data(), value->data.size());
        InvalidDataType(name);
    }
    os::WString text(value->data.size() / sizeof(WCHAR), 0);
    std::memcpy(text.data(), value->data.data(), text.size() * sizeof(WCHAR));
    os::SecureWipe(value->data.data(), value->data.size());
    // Stored text usually ends with its terminator, but need not.
    const auto end = text.find(WCHAR(0));
    if (end != os::WString::npos) text.resize(end);
    return text;
}

std::optional<DWORD> ReadDword(HKEY key, const WCHAR* name) {
    std::optional<RawValue> value = ReadRawValue(key, name);
    if (!value) return std::nullopt;
    if (value->type != REG_DWORD || value->data.size() != sizeof(DWORD)) InvalidDataType(name);
    DWORD result;
    std::memcpy(&result, value->data.data(), sizeof result);
    return result;
}

void WriteString(HKEY key, const WCHAR* name, os::WStringView text) {
    // The text with its terminator. It may be a password: its copy is wiped
    // also when the write fails and raises.
    const os::SecretString terminated(text);
    Write(key, name, REG_SZ, terminated.c_str(), static_cast<DWORD>((terminated.size() + 1) * sizeof(WCHAR)));
}

void WriteDword(HKEY key, const WCHAR* name, DWORD value) { Write(key, name, REG_DWORD, &value, sizeof value); }

void WriteBinary(HKEY key, const WCHAR* name, const void* data, DWORD size) {
    Write(key, name, REG_BINARY, data, size);
}

LSTATUS DeleteValue(HKEY key, const WCHAR* name) {
    LSTATUS status = os::Api().RegDeleteValueW(key, name);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

RegKey OpenSettingForReading(HKEY root, const WCHAR* path) {
    RegKey key;
    LSTATUS status = OpenKey(root, path, SettingsReadAccess(), key);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) RaiseOsError(static_cast<DWORD>(status));
    return key;
}

std::optional<RawValue> ReadSettingValue(const SettingValue& setting) {
    RegKey key = OpenSettingForReading(setting.root, setting.path);
    if (!key) return std::nullopt;
    return ReadRawValue(key.get(), setting.name);
}

void PutBackSettingValue(const SettingValue& setting, const std::optional<RawValue>& value) {
    RegKey key;
    LSTATUS status = CreateKey(setting.root, setting.path, SettingsKeyAccess(), key);
    if (status == ERROR_SUCCESS && !value) status = DeleteValue(key.get(), setting.name);
    if (status != ERROR_SUCCESS) RaiseOsError(static_cast<DWORD>(status));
    if (value) Write(key.get(), setting.name, value->type, value->data.data(), static_cast<DWORD>(value->data.size()));
}

}  // namespace engine
