#pragma once
// A program that runs as LocalSystem (as management agents start it) works
// on the per-user settings of the user signed in at the console, not on
// LocalSystem's own: their hive under HKEY_USERS for the registry values, and
// their session for the screen saver parameter, which a process in another
// session cannot set. That part runs in their session: the program starts
// itself there with their token and an internal switch, and reads the answer
// from the exit code.

#include "engine/Exception.h"
#include "os/Text.h"
#include "os/WinTypes.h"

#include <optional>
#include <string_view>

namespace engine {

// Whether the process token's user is LocalSystem (S-1-5-18). A token that
// cannot be read raises EOSError.
bool RunsAsLocalSystem();

struct ConsoleUser {
    DWORD session = 0;
    os::WString sid;      // "S-1-5-21-..."
    os::WString account;  // "DOMAIN\name"; the SID when Windows finds no name for it
};

// The user signed in at the console, for a process that runs as LocalSystem:
// nullopt when nobody is (no session attached to the console, or its sign-in
// screen). A token that cannot be had otherwise raises EOSError; a user whose
// hive is not loaded raises EUserHiveNotLoaded.
std::optional<ConsoleUser> FindConsoleUser();

class EUserHiveNotLoaded : public Exception {
public:
    using Exception::Exception;
};

// Whose per-user settings the engine reads and writes: the process's own
// user's (HKEY_CURRENT_USER, the running session), the console user's, or
// nobody's. For the console user, every HKEY_CURRENT_USER key that the engine
// opens (engine/Registry.h) is HKEY_USERS\<sid>, and the screen saver
// parameter is that of their session. With nobody, HKEY_CURRENT_USER keys are
// not found and cannot be created, and a switch leaves the per-user settings.
struct PerUserTarget {
    enum Kind { OwnUser, Console, Nobody };
    Kind kind = OwnUser;
    ConsoleUser user;  // Console only
};

// Puts a target in place for one scope, then restores the previous one.
class PerUserTargetScope {
public:
    explicit PerUserTargetScope(PerUserTarget target);
    ~PerUserTargetScope();
    PerUserTargetScope(const PerUserTargetScope&) = delete;
    PerUserTargetScope& operator=(const PerUserTargetScope&) = delete;

private:
    PerUserTarget previous_;
};

const PerUserTarget& CurrentPerUserTarget();
// The SID of the user whose per-user settings are in reach ("S-1-5-21-..."):
// the console user's, or the process's own user's; nullopt with nobody. A
// token that cannot be read raises EOSError.
std::optional<os::WString> PerUserTargetSid();
// The console user in place, or null.
const ConsoleUser* TargetConsoleUser();
bool PerUserSettingsOutOfReach();

// The screen saver parameter of the console user's session: sets it to `ask`
// (nullopt: only reads it) through the program started in their session, with
// their environment and the system folder as its current folder, and returns
// its value afterwards. Whatever keeps that part from its answer raises, with
// a message that names the user: EConsoleUserLeft when they signed out
// meanwhile, ESessionLocked (engine/Utilities.h) while their screen is locked.
bool RunScreenSaverPartInSession(const ConsoleUser& user, std::optional<bool> ask);

// The console user signed out after the program found them; their session's
// setting was not changed.
class EConsoleUserLeft : public Exception {
public:
    using Exception::Exception;
};

// Whether WTSQueryUserToken failed because nobody is signed in to the session:
// its sign-in screen (ERROR_NO_TOKEN) or a session that no longer exists
// (ERROR_CTX_WINSTATION_NOT_FOUND; ERROR_FILE_NOT_FOUND on some versions).
bool IsNobodySignedIn(DWORD tokenQueryError);

// The internal switch of that part, followed by "read", "ask" or "no-ask"
// and the name of the voucher, and what the program started with it runs: it
// works on its own session's parameter and returns the exit code that answers.
inline constexpr char kSessionScreenSaverSwitch[] = "--session-screen-saver";
DWORD RunSessionScreenSaverPart(std::string_view action);
// Whether `voucher` names the mutex that a run as SYSTEM holds while the part
// it started runs: "Global\Gatewise.SessionPart." and a GUID, which this
// process may open and whose owner is LocalSystem. Nobody else can make an
// object owned by LocalSystem (that takes SE_RESTORE_NAME).
bool VouchedForBySystemRun(std::string_view voucher);

}  // namespace engine
