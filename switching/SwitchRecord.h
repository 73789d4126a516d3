#pragma once
// A mode switch as one step: before it writes anything it records the value
// of every setting it will change, and when a write fails it puts back what
// had changed before it reports. The record holds previous values only, never
// a password; it is plain data that compares equal for equal settings, so that
// it can be kept and held against the machine later.

#include "engine/Exception.h"
#include "engine/Registry.h"
#include "engine/VistaPower.h"
#include "settings/Options.h"
#include "switching/Coverage.h"

#include <optional>
#include <string>
#include <vector>

namespace switching {

struct TSwitchRecord {
    settings::TPromptMode mode = settings::pmCustom;  // what the switch writes; pmCustom: nothing
    // The settings it covers (switching/Coverage.h).
    bool startup = false;
    bool resume = false;
    bool screenSaver = false;
    bool allSchemes = false;  // the resume setting of every power scheme, not the active one's only

    // Start-up: "AutoAdminLogon" under Winlogon; nullopt when it was missing.
    std::optional<engine::RawValue> autoAdminLogon;
    // Start-up, relaxed mode for the next start only: AutoLogonCount 1, which
    // Windows counts down at that logon. Every other switch of the start-up
    // setting removes AutoLogonCount.
    bool once = false;
    // Start-up: "AutoLogonCount" as it was (nullopt: missing). A record of an
    // earlier version does not cover it.
    bool autoLogonCountCovered = false;
    std::optional<engine::RawValue> autoLogonCount;
    // A switch to secure mode that also removes the stored auto-logon
    // password (ForgetPasswordInSecureMode). The password is never recorded:
    // undo leaves the start-up setting asking.
    bool forgetsPassword = false;
    // Resume, Windows 6 and later: the console-lock-on-wake indexes of the
    // schemes the switch writes.
    std::vector<engine::SchemeLockOnWake> lockOnWake;
    // Resume before Windows 6: the password flag of the global power policy.
    std::optional<bool> passwordOnResumeFlag;
    // Resume on a Modern Standby PC: the user's "DelayLockInterval" as well.
    bool modernStandby = false;
    std::optional<engine::RawValue> delayLockInterval;
    // Screen saver: the user's "ScreenSaverIsSecure" (nullopt when it was
    // missing) and, from Windows 6 on, the running session's setting.
    std::optional<engine::RawValue> screenSaverIsSecure;
    std::optional<bool> screenSaverParameter;

    bool operator==(const TSwitchRecord&) const = default;
};

// A switch that did not happen. Cause is the message of the error that
// stopped it, CauseCode its Windows error code (0 for none: not an
// operating-system error); LeftChanged names the settings that could not be
// put back (empty: nothing was changed). The message says both.
class ESwitchFailed : public engine::Exception {
public:
    ESwitchFailed(const std::string& cause, std::vector<std::string> leftChanged, DWORD causeCode = 0);
    std::string Cause;
    std::vector<std::string> LeftChanged;
    DWORD CauseCode;
};

// What a switch to `mode` covering `coverage` changes, with the values the
// machine holds now; `once` limits relaxed mode to the next start. The
// options say only whether a switch to secure mode forgets the stored
// password. Only reads; a setting that cannot be read raises.
TSwitchRecord RecordSwitch(settings::TOptions& options, const TCoverage& coverage, settings::TPromptMode mode,
                           bool once = false);

// Writes the record's mode into the settings it covers, then AutoLogonCount
// and, for a record that forgets it, removes the stored password. When a write fails, puts back what had changed and raises
// ESwitchFailed. The session's screen saver setting is not put back when the
// failure was its own write refused (a locked session, which changed nothing)
// or its session gone (the user signed out).
void ApplySwitch(const TSwitchRecord& record);

// Puts back, in the reverse order of a switch, every covered setting that no
// longer holds its recorded value. Returns the names of those that could not
// be put back.
std::vector<std::string> RestoreSwitch(const TSwitchRecord& record);
// The same, all or nothing: when a setting cannot be put back, the settings
// are made to hold `current` again (the same settings as they are now) and
// ESwitchFailed is raised.
void RestoreSwitchOrRaise(const TSwitchRecord& record, const TSwitchRecord& current);

// The settings that `record` covers (the same power schemes, too), with the
// values the machine holds now. Only reads; a setting that cannot be read raises.
TSwitchRecord ReadRecordedSettings(const TSwitchRecord& record);
// The names of the settings whose values in `now` differ from `expected`,
// both read by ReadRecordedSettings for the same record; a power scheme
// missing from `now` differs.
std::vector<std::string> DifferentSettings(const TSwitchRecord& expected, const TSwitchRecord& now);
// A name that DifferentSettings gives, in words for the user, a power scheme
// by the name Power Options shows: "automatic logon", "the password on wake
// in the power plan Balanced". Only reads; never raises.
std::string SettingInWords(const std::string& name);

}  // namespace switching
