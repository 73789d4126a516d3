#pragma once
// Account names as people typed them: what Windows accepts as one, and how a
// name is shown where a character could forge a line or reverse the text
// around it (an event, a console, a log).

#include "os/Text.h"

#include <optional>
#include <string>
#include <string_view>

namespace engine {

// Longest names Windows accepts, in UTF-16 units: a user (SAM account) name,
// a user principal name (name@domain, also of a Microsoft account), and a
// domain (a DNS name; a NetBIOS name is shorter).
inline constexpr std::size_t kMaxUserName = 20;
inline constexpr std::size_t kMaxUserPrincipalName = 1024;
inline constexpr std::size_t kMaxDomainName = 255;

// Whether `c` is a control character (C0, DEL, C1), a line or paragraph
// separator, or a Unicode format character (such as the bidirectional
// overrides that show "gpj.exe" as "exe.jpg").
bool IsUnsafeCharacter(char32_t c);

// Why `user` and `domain` cannot name an account, as a sentence; nullopt
// when they can. A user name holding "@" is a user principal name.
std::optional<std::string> AccountNameProblem(os::WStringView user, os::WStringView domain);

// `text` (UTF-8) with every unsafe character escaped as JSON escapes it
// ("\n", "\u202e"), so that it shows as one plain line.
std::string EscapedText(std::string_view text);

}  // namespace engine
