#pragma once
// The machine's password settings and the account operations: the start-up
// setting (automatic logon) with its account and protected password, the
// resume setting (power policy), the screen saver setting, the current account
// and password verification. Every failure raises; nothing returns an error code.

#include "os/Text.h"

#include <cstdint>

namespace engine {

// Start-up: true unless automatic logon is on for a named account. Never raises
// for a bad value (it answers true); raises EOSError when the key cannot be opened.
bool GetAskPasswordOnStartup();
// Switches automatic logon off (true) or on (false); the account is not touched.
void SetAskPasswordOnStartup(bool ask);

struct AutologonAccount {
    os::WString user;
    os::WString domain;
    bool hasPassword = false;
};
AutologonAccount GetAutologonAccount();

// Where the automatic-logon password is kept.
enum TPasswordStore : std::uint8_t {
    psNone = 0,        // no password is stored
    psProtected = 1,   // the local security authority's private data
    psPlainValue = 2,  // the plain "DefaultPassword" registry value, readable by local users
    // The plain value, while an older password in the protected store could
    // not be deleted: Windows may log on with that one instead.
    psPlainValueBehindProtected = 3,
};

// Whether the password went to the plain registry value.
inline bool IsPlainValue(TPasswordStore store) { return store == psPlainValue || store == psPlainValueBehindProtected; }

// Writes or clears the account and returns where its password now lives: the
// protected store, or the plain value when the store refuses it (psNone for an
// empty password). A value that cannot be written or deleted raises, and so
// does an earlier protected password that cannot be deleted when the new one
// is empty: the old password would otherwise stay usable for automatic logon.
// Once the new password is in the plain value, nothing raises: the outcome
// tells whether an older protected password is still in the way.
TPasswordStore SetAutologonAccount(const os::WString& user, const os::WString& domain,
                                   const os::SecretString& password);

// Resume from standby or hibernation. `allSchemes` writes every power scheme
// instead of the active one (Windows 6 and later).
bool GetAskPasswordOnResume();
void SetAskPasswordOnResume(bool ask, bool allSchemes);

// Leaving the screen saver.
bool GetAskPasswordOnScreenSaver();
void SetAskPasswordOnScreenSaver(bool ask);

// The logged-on account, split from its SAM-compatible name "DOMAIN\user".
struct UserAccount {
    os::WString user;
    os::WString domain;
};
UserAccount GetCurrentUserAccount();

enum TPasswordCheck : std::uint8_t { pcCannotVerify = 0, pcRejected = 1, pcAccepted = 2 };
// Asks Windows to log the account on and discards the logon at once. An empty
// user or domain is taken from the current account.
TPasswordCheck VerifyAccountPassword(os::WString user, os::WString domain, const os::SecretString& password);

}  // namespace engine
