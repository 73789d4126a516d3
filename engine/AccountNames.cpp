#include "engine/AccountNames.h"

#include <cstdio>

namespace engine {
namespace {

// The Unicode format characters (general category Cf).
bool IsFormatCharacter(char32_t c) {
    static constexpr char32_t ranges[][2] = {
        {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},
        {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x202A, 0x202E},
        {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
        {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
        {0xE0020, 0xE007F}};
    for (const auto& range : ranges)
        if (c >= range[0] && c <= range[1]) return true;
    return false;
}

// The code point at `at` of UTF-16 text, moving `at` past it; a lone
// surrogate is taken as itself.
char32_t NextCodePoint(os::WStringView text, std::size_t& at) {
    const char32_t first = text[at++];
    if (first >= 0xD800 && first <= 0xDBFF && at < text.size() && text[at] >= 0xDC00 && text[at] <= 0xDFFF)
        return 0x10000 + ((first - 0xD800) << 10) + (text[at++] - 0xDC00);
    return first;
}

bool HasUnsafeCharacter(os::WStringView text) {
    for (std::size_t at = 0; at < text.size();)
        if (IsUnsafeCharacter(NextCodePoint(text, at))) return true;
    return false;
}

const char* ShortEscape(char32_t c) {
    switch (c) {
    case '\b': return "\\b";
    case '\f': return "\\f";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
    }
}

void AppendEscape(std::string& text, unsigned unit) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
    text += escaped;
}

}  // namespace

bool IsUnsafeCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || IsFormatCharacter(c);
}

std::optional<std::string> AccountNameProblem(os::WStringView user, os::WStringView domain) {
    if (HasUnsafeCharacter(user) || HasUnsafeCharacter(domain))
        return "The account name holds a control or format character, which no Windows account name has.";
    const bool principal = user.find(WCHAR('@')) != os::WStringView::npos;
    if (user.size() > (principal ? kMaxUserPrincipalName : kMaxUserName))
        return principal ? "The user name is longer than Windows allows for a user principal name (1024 characters)."
                         : "The user name is longer than Windows allows (20 characters).";
    if (domain.size() > kMaxDomainName) return "The domain name is longer than Windows allows (255 characters).";
    return std::nullopt;
}

std::string EscapedText(std::string_view text) {
    const os::WString wide = os::FromUtf8(text);
    std::string escaped;
    for (std::size_t at = 0; at < wide.size();) {
        const std::size_t start = at;
        const char32_t c = NextCodePoint(wide, at);
        if (!IsUnsafeCharacter(c)) {
            escaped += os::ToUtf8(os::WStringView(wide).substr(start, at - start));
        } else if (const char* shortEscape = ShortEscape(c)) {
            escaped += shortEscape;
        } else {
            for (std::size_t unit = start; unit < at; ++unit) AppendEscape(escaped, wide[unit]);
        }
    }
    return escaped;
}

}  // namespace engine
