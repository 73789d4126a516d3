#include "cli/Password.h"

namespace cli {
namespace {

// The longest line read: the password, then a byte order mark and a carriage
// return, which do not count.
constexpr std::size_t kMaxLineBytes = kMaxPasswordLength + 3 + 1;

// Holds text that may be a password; reserved once so that it never leaves an
// unwiped copy behind when it grows, and wiped when it goes.
template <typename Char>
class WipedText {
public:
    explicit WipedText(std::size_t capacity) { text_.reserve(capacity); }
    ~WipedText() { os::SecureWipe(text_); }
    WipedText(const WipedText&) = delete;
    WipedText& operator=(const WipedText&) = delete;

    std::basic_string<Char>& text() { return text_; }

private:
    std::basic_string<Char> text_;
};

const char kNotUtf8[] =
    "is not UTF-8 text. Save or pipe it in UTF-8 (in PowerShell, set $OutputEncoding to UTF-8 first).";

[[noreturn]] void Refuse(const char* fault) {
    throw CommandFailure(kBadUsage, std::string("The password on standard input ") + fault);
}

// Strict UTF-8 (RFC 3629): an invalid or cut-off sequence, an overlong form, an
// encoded surrogate and NUL are refused rather than stored as another password.
// The message says what is wrong, never where or with which bytes.
os::SecretString DecodePassword(std::string_view bytes) {
    WipedText<WCHAR> text(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xC0 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 0;
        if (length == 0 || i + length > bytes.size()) Refuse(kNotUtf8);
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) Refuse(kNotUtf8);
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kShortest[length]) Refuse("holds an overlong UTF-8 sequence, which is not valid UTF-8.");
        if (code >= 0xD800 && code < 0xE000) Refuse("holds an encoded UTF-16 surrogate, which is not valid UTF-8.");
        if (code > 0x10FFFF) Refuse("holds a character beyond Unicode, which is not valid UTF-8.");
        if (code == 0) Refuse("holds a NUL character, which a Windows password cannot contain.");
        if (code < 0x10000) {
            text.text() += static_cast<WCHAR>(code);
        } else {
            text.text() += static_cast<WCHAR>(0xD800 + ((code - 0x10000) >> 10));
            text.text() += static_cast<WCHAR>(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
        i += length;
    }
    return os::SecretString(text.text());
}

os::SecretString ReadPasswordLine(PasswordInput& in) {
    WipedText<char> line(kMaxLineBytes);
    std::string& bytes = line.text();
    char c = 0;
    bool anything = false;
    bool tooLong = false;
    while (in.Read(&c, 1) == 1) {
        anything = true;
        if (c == '\n') break;
        tooLong = bytes.size() == kMaxLineBytes;
        if (tooLong) break;
        bytes += c;
    }
    os::SecureWipe(&c, 1);
    if (!anything) throw CommandFailure(kBadUsage, "Standard input holds no password line.");

    if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    if (tooLong || bytes.size() > kMaxPasswordLength)
        throw CommandFailure(kBadUsage, "The password on standard input is longer than " +
                                            std::to_string(kMaxPasswordLength) + " bytes.");
    return DecodePassword(bytes);
}

}  // namespace

os::SecretString ReadPassword(PasswordInput& in, bool confirm) {
    if (!in.IsConsole()) return ReadPasswordLine(in);
    os::SecretString password = in.ReadHidden("Password: ");
    if (password.view().find(WCHAR(0)) != os::WStringView::npos)
        throw CommandFailure(kBadUsage, "The password holds a NUL character, which a Windows password cannot contain.");
    if (confirm) {
        os::SecretString again = in.ReadHidden("Confirm password: ");
        if (again != password)
            throw CommandFailure(kPasswordRejected, "The two passwords differ. Nothing was changed.");
    }
    return password;
}

}  // namespace cli
