#pragma once
// UTF-16 text as Windows keeps it, in both builds, and the few conversions the
// portable layers need.

#include "os/WinTypes.h"

#include <cstddef>
#include <string>
#include <string_view>

// A UTF-16 literal of WCHAR: L"..." on Windows, u"..." elsewhere.
#ifdef _WIN32
#define WSTR(s) L##s
#else
#define WSTR(s) u##s
#endif

namespace os {

using WString = std::basic_string<WCHAR>;
using WStringView = std::basic_string_view<WCHAR>;

std::string ToUtf8(WStringView text);
WString FromUtf8(std::string_view text);

// Overwrites memory in a way the compiler cannot drop (passwords).
void SecureWipe(void* data, std::size_t size);

template <typename Char>
void SecureWipe(std::basic_string<Char>& text) {
    SecureWipe(text.data(), text.capacity() * sizeof(Char));
    text.clear();
}

// A password. Its characters live in a heap block of its own, never inside
// the object: an object on the stack holds only the pointer, so no stack
// memory (which the exception reporter copies at every raise) and no
// moved-from string ever holds them. The block is wiped before it is freed.
class SecretString {
public:
    SecretString() = default;
    SecretString(const WCHAR* text, std::size_t length);
    explicit SecretString(WStringView text) : SecretString(text.data(), text.size()) {}
    explicit SecretString(const WCHAR* text) : SecretString(WStringView(text)) {}
    // The argument is wiped once copied.
    explicit SecretString(WString&& text);
    SecretString(const SecretString& other) : SecretString(other.data_, other.size_) {}
    SecretString(SecretString&& other) noexcept;
    SecretString& operator=(const SecretString& other);
    SecretString& operator=(SecretString&& other) noexcept;
    ~SecretString();

    WStringView view() const { return {c_str(), size_}; }
    // Terminated; an empty text for an empty secret.
    const WCHAR* c_str() const;
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }

    friend bool operator==(const SecretString& a, const SecretString& b) { return a.view() == b.view(); }

private:
    void Release() noexcept;

    WCHAR* data_ = nullptr;  // size_ characters and a terminator, or null when empty
    std::size_t size_ = 0;
};

// `format` with its first "%s" replaced by `argument` and every "%%" by "%",
// as one-argument printf formatting of a message does.
WString Format(WStringView format, WStringView argument);

// "{0e796bdb-100d-47d6-a2d5-f7d2daa51f51}", as powercfg writes a GUID.
std::string GuidText(const GUID& guid);
// Where Windows keeps a power scheme's changed value of a setting, under
// HKEY_LOCAL_MACHINE: ...\PowerSchemes\<scheme>\<subgroup>\<setting>, the
// GUIDs in lower case without braces, with the DWORD values ACSettingIndex and
// DCSettingIndex.
WString PowerValueKeyPath(const GUID& scheme, const GUID& subgroup, const GUID& setting);

// Case-insensitive comparison of ASCII letters, as the registry and the option
// names need it.
bool EqualsIgnoringCase(WStringView a, WStringView b);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace os
