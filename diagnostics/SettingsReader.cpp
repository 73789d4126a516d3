#include "diagnostics/SettingsReader.h"

#include "engine/OsError.h"
#include "engine/Registry.h"

namespace diagnostics {
namespace {

// Empty when the key does not exist.
engine::RegKey OpenForReading(HKEY root, const WCHAR* path) {
    engine::RegKey key;
    LSTATUS status = engine::OpenKey(root, path, engine::SettingsReadAccess(), key);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) engine::RaiseOsError(static_cast<DWORD>(status));
    return key;
}

}  // namespace

std::optional<os::WString> ReadSettingString(HKEY root, const WCHAR* path, const WCHAR* name) {
    engine::RegKey key = OpenForReading(root, path);
    if (!key) return std::nullopt;
    return engine::ReadString(key.get(), name);
}

std::optional<DWORD> ReadSettingDword(HKEY root, const WCHAR* path, const WCHAR* name) {
    engine::RegKey key = OpenForReading(root, path);
    if (!key) return std::nullopt;
    return engine::ReadDword(key.get(), name);
}

bool SettingHasText(HKEY root, const WCHAR* path, const WCHAR* name) {
    std::optional<os::WString> text = ReadSettingString(root, path, name);
    if (!text) return false;
    const bool hasText = !text->empty();
    os::SecureWipe(*text);
    return hasText;
}

}  // namespace diagnostics
