#pragma once
// Registry access for the engine and the options: an owned key, and typed
// reads and writes of single values through the wide registry functions.

#include "os/Text.h"
#include "os/UniqueHandle.h"
#include "os/WinTypes.h"

#include <optional>
#include <vector>

namespace engine {

struct RegKeyTraits {
    using Handle = HKEY;
    static void Close(HKEY key);
};
using RegKey = os::UniqueHandle<RegKeyTraits>;

// The access that the engine asks for on the machine's settings keys:
// KEY_ALL_ACCESS, with the 64-bit view from Windows 6 on.
REGSAM SettingsKeyAccess();
// The access for reading them only: KEY_READ, with the 64-bit view from Windows 6 on.
REGSAM SettingsReadAccess();

// Create-or-open (non-volatile, no class, default security). On failure the
// key stays empty and the registry's error code is returned. A key under
// HKEY_CURRENT_USER is the per-user target's (engine/ConsoleUser.h).
LSTATUS CreateKey(HKEY root, const WCHAR* path, REGSAM access, RegKey& key);
LSTATUS OpenKey(HKEY root, const WCHAR* path, REGSAM access, RegKey& key);

// A value's raw form; nullopt when the value does not exist. A read that the
// registry refuses raises ERegistryException "Failed to get data for '<name>'".
struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const RawValue&) const = default;
};
std::optional<RawValue> ReadRawValue(HKEY key, const WCHAR* name);

// Text of a REG_SZ or REG_EXPAND_SZ value without its terminator; nullopt when
// the value does not exist. A value of zero bytes reads as empty whatever its
// type; any other type raises ERegistryException "Invalid data type for '<name>'".
std::optional<os::WString> ReadString(HKEY key, const WCHAR* name);
// A REG_DWORD value; nullopt when missing; another type raises as above.
std::optional<DWORD> ReadDword(HKEY key, const WCHAR* name);

// Writes raise ERegistryException "Failed to set data for '<name>'".
void WriteString(HKEY key, const WCHAR* name, os::WStringView text);
void WriteDword(HKEY key, const WCHAR* name, DWORD value);
void WriteBinary(HKEY key, const WCHAR* name, const void* data, DWORD size);

// Deletes a value; a missing value is not an error. Returns the registry's code.
LSTATUS DeleteValue(HKEY key, const WCHAR* name);

// One value of the machine's settings, by where it is stored.
struct SettingValue {
    HKEY root;
    const WCHAR* path;
    const WCHAR* name;
};

// Opens an existing key with SettingsReadAccess, never creating it. The key
// stays empty when it does not exist; any other failure raises EOSError.
RegKey OpenSettingForReading(HKEY root, const WCHAR* path);
// The value as it is stored now, read only; nullopt when it or its key is missing.
std::optional<RawValue> ReadSettingValue(const SettingValue& setting);
// Stores `value` exactly, type and data, or deletes the value for nullopt. The
// key is opened for writing (created when missing); failures raise.
void PutBackSettingValue(const SettingValue& setting, const std::optional<RawValue>& value);

}  // namespace engine
