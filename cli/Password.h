#pragma once
// Reading a password from standard input: typed without echo on a console,
// otherwise one line of strict UTF-8 (a line end of CR LF or LF and a leading
// byte order mark dropped before its length is counted). Every buffer that
// held it is wiped.

#include "cli/Console.h"

namespace cli {

// The longest password accepted: bytes of UTF-8 on standard input, characters
// on a console.
inline constexpr std::size_t kMaxPasswordLength = 1024;

// `confirm` asks a console user to type it twice. Raises CommandFailure:
// kBadUsage when standard input has ended, or its line is too long, is no
// valid UTF-8 or holds NUL; kPasswordRejected when the two typed passwords differ.
os::SecretString ReadPassword(PasswordInput& in, bool confirm);

}  // namespace cli
