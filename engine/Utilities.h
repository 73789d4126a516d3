#pragma once
// The machine's password settings and the account operations: the start-up
// setting (automatic logon) with its account and protected password, the
// resume setting (power policy), the screen saver setting, the current account
// and password verification. Every failure raises; nothing returns an error code.

#include "engine/Exception.h"
#include "engine/Registry.h"
#include "os/Text.h"

#include <cstdint>
#include <optional>

namespace engine {

// Start-up: true unless automatic logon is on for a named account, and
// AutoLogonCount (when there is one) allows another automatic logon. Never
// raises for a bad value (it answers true); raises EOSError when the key
// cannot be opened.
bool GetAskPasswordOnStartup();
// Switches automatic logon off (true) or on (false); the account is not touched.
void SetAskPasswordOnStartup(bool ask);

// "AutoLogonCount" under Winlogon: while it is there, Windows logs on
// automatically only that many times more, counting down, and at 0 turns
// automatic logon off and removes it and the plain password value. Writes it
// as REG_DWORD, or deletes it for nullopt; failures raise.
void SetAutoLogonCount(std::optional<DWORD> count);

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
// `requireProtected` forbids the plain value: when the protected store
// refuses the password, EPasswordNotProtected is raised before anything
// else is written.
TPasswordStore SetAutologonAccount(const os::WString& user, const os::WString& domain,
                                   const os::SecretString& password, bool requireProtected = false);

// The protected store refused a password that may not go to the plain value.
class EPasswordNotProtected : public Exception {
public:
    using Exception::Exception;
};

// Whether an automatic-logon password is stored, protected or plain; one
// that cannot be read counts as stored.
bool AutologonPasswordStored();

// Removes the stored automatic-logon password, the protected one and the
// plain value, and keeps the account's name. All or nothing: when the plain
// value cannot be deleted, the protected password is stored again. Failures
// raise; the password is never written anywhere else.
void ForgetAutologonPassword();

// Resume from standby or hibernation. `allSchemes` writes every power scheme
// instead of the active one (Windows 6 and later). On a Modern Standby PC the
// setting also covers the current user's wake sign-in delay: it asks when the
// power setting asks or when the delay is anything but "never", and a switch
// writes the delay too (0 to ask, kSignInNever not to).
bool GetAskPasswordOnResume();
void SetAskPasswordOnResume(bool ask, bool allSchemes);
// Whether the resume setting covers the wake sign-in delay: on a Modern
// Standby PC, while the per-user settings are in reach.
bool WakeSignInDelayCovered();

// The current user's "DelayLockInterval" under Control Panel\Desktop, which
// Settings shows as "If you've been away, when should Windows require you to
// sign in again?": seconds between the screen turning off and the password
// being asked for on wake. Missing means every time. Windows follows it on
// Modern Standby PCs only.
inline constexpr DWORD kSignInEveryTime = 0;
inline constexpr DWORD kSignInNever = 0xFFFFFFFF;
// nullopt when missing. A value of another type raises ERegistryException, a
// key that cannot be read EOSError.
std::optional<DWORD> GetWakeSignInDelay();
// Writes it as REG_DWORD; failures raise.
void SetWakeSignInDelay(DWORD seconds);

// Where the values that a switch writes are stored.
extern const SettingValue kAutoAdminLogonValue;       // start-up, under Winlogon
extern const SettingValue kAutoLogonCountValue;       // start-up, under Winlogon
extern const SettingValue kDelayLockIntervalValue;    // resume on Modern Standby PCs
extern const SettingValue kScreenSaverIsSecureValue;  // screen saver

// Leaving the screen saver. For the console user (engine/ConsoleUser.h), the
// system parameter is that of their session.
bool GetAskPasswordOnScreenSaver();
void SetAskPasswordOnScreenSaver(bool ask);
// The running session's screen saver setting alone (Windows 6 and later); a
// failure raises EOSError, and ESessionLocked while the session is locked.
void SetScreenSaverParameter(bool ask);

// SystemParametersInfo refused the screen saver setting with
// ERROR_OPERATION_IN_PROGRESS: the session is locked (or in power saving).
// Nothing was changed.
class ESessionLocked : public EOSError {
public:
    ESessionLocked();
};

// The logged-on account, split from its SAM-compatible name "DOMAIN\user".
struct UserAccount {
    os::WString user;
    os::WString domain;
};
UserAccount GetCurrentUserAccount();

// pcLockedOut: Windows refuses the account for a while after too many wrong
// passwords (ERROR_ACCOUNT_LOCKED_OUT); nothing was checked.
enum TPasswordCheck : std::uint8_t { pcCannotVerify = 0, pcRejected = 1, pcAccepted = 2, pcLockedOut = 3 };
// Asks Windows to log the account on and discards the logon at once. An empty
// user or domain is taken from the current account, except that a user
// principal name ("name@domain") is checked without a domain, as Windows
// requires for such names. Every wrong password counts toward the account's
// lockout threshold: callers never retry on their own. Only a logon that
// succeeds, or ERROR_ACCOUNT_RESTRICTION with an empty password (an account
// without one, where blank passwords may not log on), is accepted.
TPasswordCheck VerifyAccountPassword(os::WString user, os::WString domain, const os::SecretString& password);

// The Microsoft account ("name@example.com") that a local account of this
// computer is connected to (NetUserGetInfo level 24); nullopt for an account
// of its own, one that is not local, or when it cannot be told.
std::optional<os::WString> ConnectedMicrosoftAccount(const os::WString& localUser);

// Whether automatic logon of this account signs in a Microsoft account: its
// domain is "MicrosoftAccount" (or its name begins "MicrosoftAccount\"), or
// it is a local account of this computer (no domain, or the computer's name)
// connected to one.
bool IsMicrosoftAccount(const os::WString& user, const os::WString& domain);

// The computer's name; empty when it cannot be read.
os::WString LocalComputerName();

// The account that a SID in its text form ("S-1-5-21-...") names
// (LookupAccountSidW); nullopt for text that is no SID, or a SID that Windows
// finds no account for.
std::optional<UserAccount> AccountOfSid(os::WStringView sidText);

// The account as Windows takes it for LogonUserW and automatic logon. A
// Microsoft account given by its e-mail address ("name@example.com" with no
// domain, or with the domain "MicrosoftAccount") becomes the local account
// connected to it (its name and this computer) when that is the current user
// (or the console user, for a program run as LocalSystem); any other
// "name@domain" with no domain stays a user principal name; the rest is
// returned as given.
UserAccount WindowsAccountName(const os::WString& user, const os::WString& domain);

}  // namespace engine
