#pragma once
// Reads single values of the machine's settings without ever creating a key
// or asking for write access, so that it works without administrator rights
// and leaves the registry exactly as it was.

#include "os/Text.h"
#include "os/WinTypes.h"

#include <optional>

namespace diagnostics {

// nullopt when the key or the value does not exist. A key that exists but
// cannot be opened raises EOSError; a value of another type raises
// ERegistryException "Invalid data type for '<name>'".
std::optional<os::WString> ReadSettingString(HKEY root, const WCHAR* path, const WCHAR* name);
std::optional<DWORD> ReadSettingDword(HKEY root, const WCHAR* path, const WCHAR* name);

// Whether a string value holds any text. The text is wiped once looked at
// (it may be a password).
bool SettingHasText(HKEY root, const WCHAR* path, const WCHAR* name);

}  // namespace diagnostics
