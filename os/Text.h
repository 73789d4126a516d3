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

// A password: wiped from memory when it goes out of scope or is replaced. It
// copies and never moves: a moved-from short string keeps its characters in
// its inline buffer, where no destructor would wipe them.
class SecretString {
public:
    SecretString() = default;
    // The argument is wiped once copied.
    explicit SecretString(WString text) : text_(text) { SecureWipe(text); }
    SecretString(const WCHAR* text, std::size_t length) : text_(text, length) {}
    SecretString(const SecretString& other) : text_(other.text_) {}
    SecretString& operator=(const SecretString& other) {
        if (this != &other) {
            SecureWipe(text_);
            text_ = other.text_;
        }
        return *this;
    }
    ~SecretString() { SecureWipe(text_); }

    const WString& str() const { return text_; }
    const WCHAR* c_str() const { return text_.c_str(); }
    bool empty() const { return text_.empty(); }
    std::size_t size() const { return text_.size(); }

private:
    WString text_;
};

// `format` with its first "%s" replaced by `argument` and every "%%" by "%",
// as one-argument printf formatting of a message does.
WString Format(WStringView format, WStringView argument);

// Case-insensitive comparison of ASCII letters, as the registry and the option
// names need it.
bool EqualsIgnoringCase(WStringView a, WStringView b);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace os
