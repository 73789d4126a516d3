#include "diagnostics/SettingsReader.h"

#include "engine/Registry.h"

namespace diagnostics {

std::optional<os::WString> ReadSettingString(HKEY root, const WCHAR* path, const WCHAR* name) {
    engine::RegKey key = engine::OpenSettingForReading(root, path);
    if (!key) return std::nullopt;
    return engine::ReadString(key.get(), name);
}

std::optional<DWORD> ReadSettingDword(HKEY root, const WCHAR* path, const WCHAR* name) {
    engine::RegKey key = engine::OpenSettingForReading(root, path);
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
