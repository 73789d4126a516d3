#pragma once
// The automatic-logon account as the logon service will use it, and where its
// password is kept, read without changing anything and without needing
// administrator rights (the protected store then cannot be read).

#include "os/Text.h"

#include <string>

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
};

// "DOMAIN\user", or "user" without a domain; UTF-8.
std::string AccountDisplayName(const os::WString& user, const os::WString& domain);

// Raises EOSError when the logon service's key exists but cannot be read, and
// ERegistryException for an account value that is not text.
AutologonState ReadAutologonState();

}  // namespace diagnostics
