#pragma once
// The automatic-logon account as the logon service will use it, and where its
// password is kept, read without changing anything and without needing
// administrator rights (the protected store then cannot be read).

#include "engine/Utilities.h"
#include "os/Text.h"

#include <string>
#include <vector>

namespace diagnostics {

enum class PasswordStore {
    None,       // no password anywhere
    Protected,  // the local security authority's private data
    Plain,      // the plain registry value "DefaultPassword"
    Both,       // both: the plain value is still readable by others
    Unknown,    // no plain value, and the protected store could not be read
};

// "none", "protected-store", "plain-value", "both", "unknown".
const char* PasswordStoreName(PasswordStore store);

struct AutologonState {
    os::WString user;
    os::WString domain;
    PasswordStore password = PasswordStore::None;
    std::vector<std::string> unreadable;  // names of account values that are not text, read as missing
};

// "DOMAIN\user", or "user" without a domain; UTF-8.
std::string AccountDisplayName(const os::WString& user, const os::WString& domain);

// Raises EOSError when the logon service's key exists but cannot be read. An
// account value that is not text counts as missing and is named in `unreadable`.
AutologonState ReadAutologonState();

// The outcome of trying the stored auto-logon password once.
struct StoredPasswordTry {
    os::WString user;
    os::WString domain;
    PasswordStore tried = PasswordStore::None;  // Protected or Plain; None: nothing to try
    engine::TPasswordCheck result = engine::pcCannotVerify;
};

// Asks Windows once whether the stored account and password are still valid
// (a changed password is the commonest reason automatic logon stops), with
// the password that automatic logon uses: the protected one when there is
// one, else the plain value. A wrong password counts toward the account's
// lockout: callers ask the user first and never retry. Needs administrator
// rights to read the protected password; raises when the account or its
// password cannot be read. Nothing is tried without an account and password.
StoredPasswordTry TryStoredPassword();

}  // namespace diagnostics
