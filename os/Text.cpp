#include "os/Text.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace os {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf16(WString& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<WCHAR>(c);
    } else {
        c -= 0x10000;
        out += static_cast<WCHAR>(0xD800 + (c >> 10));
        out += static_cast<WCHAR>(0xDC00 + (c & 0x3FF));
    }
}

template <typename Char>
Char LowerAscii(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <typename Char>
bool EqualsIgnoringAsciiCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

}  // namespace

std::string ToUtf8(WStringView text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char16_t>(text[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            char32_t low = static_cast<char16_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                c = kReplacement;
            }
        } else if (c >= 0xD800 && c < 0xE000) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

WString FromUtf8(std::string_view text) {
    WString out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= text.size()) {
            AppendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            c = (c << 6) | (next & 0x3F);
        }
        if (!valid || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
            AppendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        AppendUtf16(out, c);
        i += extra + 1;
    }
    return out;
}

void SecureWipe(void* data, std::size_t size) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    while (size--) *p++ = 0;
}

SecretString::SecretString(const WCHAR* text, std::size_t length) : size_(length) {
    if (length == 0) return;
    data_ = new WCHAR[length + 1];
    std::memcpy(data_, text, length * sizeof(WCHAR));
    data_[length] = 0;
}

SecretString::SecretString(WString&& text) : SecretString(text.data(), text.size()) { SecureWipe(text); }

SecretString::SecretString(SecretString&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

SecretString& SecretString::operator=(const SecretString& other) {
    if (this != &other) *this = SecretString(other);
    return *this;
}

SecretString& SecretString::operator=(SecretString&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

SecretString::~SecretString() { Release(); }

const WCHAR* SecretString::c_str() const {
    static const WCHAR kEmpty[1] = {};
    return data_ ? data_ : kEmpty;
}

void SecretString::Release() noexcept {
    if (data_) SecureWipe(data_, (size_ + 1) * sizeof(WCHAR));
    delete[] data_;
    data_ = nullptr;
    size_ = 0;
}

std::string GuidText(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

WString PowerValueKeyPath(const GUID& scheme, const GUID& subgroup, const GUID& setting) {
    const auto bare = [](const GUID& guid) {
        const std::string text = GuidText(guid);
        return FromUtf8(text.substr(1, text.size() - 2));
    };
    return WSTR("SYSTEM\\CurrentControlSet\\Control\\Power\\User\\PowerSchemes\\") + bare(scheme) + WSTR("\\") +
           bare(subgroup) + WSTR("\\") + bare(setting);
}

bool EqualsIgnoringCase(WStringView a, WStringView b) { return EqualsIgnoringAsciiCase(a, b); }
bool EqualsIgnoringCase(std::string_view a, std::string_view b) { return EqualsIgnoringAsciiCase(a, b); }

WString Format(WStringView format, WStringView argument) {
    WString text;
    bool substituted = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const bool marker = format[i] == '%' && i + 1 < format.size();
        if (marker && format[i + 1] == '%') {
            text += '%';
            ++i;
        } else if (marker && format[i + 1] == 's' && !substituted) {
            text += argument;
            substituted = true;
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}

}  // namespace os
