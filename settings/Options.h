#pragma once
// The program's six options, stored under HKEY_CURRENT_USER, and the mode
// logic that derives the machine's password-prompt mode from the settings
// they enable and switches those settings. An option that the administrator's
// policy sets (settings/Policies.h) answers the policy's value; the user's own
// value stays stored, and is what the options key keeps.

#include "os/Text.h"
#include "settings/Policies.h"
#include "settings/RegOpts.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace settings {

// The machine's mode; derived from the machine each time, never stored.
enum TPromptMode : std::uint8_t { pmCustom = 0, pmSecure = 1, pmRelaxed = 2 };

// Some of the three settings.
struct TSettingSet {
    bool startup = false;
    bool resume = false;
    bool screenSaver = false;
    bool Empty() const { return !startup && !resume && !screenSaver; }
    bool operator==(const TSettingSet&) const = default;
};

// Writes `mode` into `settings`, in the order start-up, resume, screen saver;
// the resume setting of every power scheme with `allSchemes`, else of the
// active one. pmCustom writes nothing. Failures pass through unchanged and
// what was written before them stays.
void WriteMode(TPromptMode mode, const TSettingSet& settings, bool allSchemes);

class TOptions final : public TPersistentOptions {
public:
    TOptions(bool localMachine, os::WString keyPath);

    void SetDefaults() override;
    // Reads the administrator's policy as well.
    bool Load() override;
    const std::vector<PublishedProperty>& Properties() const override;

    const TPolicies& Policies() const { return policies_; }
    // Whether the policy fixes the option named `name`.
    bool SetByPolicy(std::string_view name) const { return policies_.Sets(name); }

    // Read only by an administrator: for any other process these clear the
    // stored value and answer false, whatever the policy says.
    bool AutochangeStartup();
    void SetAutochangeStartup(bool value) { autochangeStartup_ = value; }
    bool AutochangeStandby();
    void SetAutochangeStandby(bool value) { autochangeStandby_ = value; }

    // False, whatever is stored, while no user's per-user settings are in reach.
    bool AutochangeScreenSaver();
    void SetAutochangeScreenSaver(bool value) { autochangeScreenSaver_ = value; }
    bool VerifyPassword() { return InForce("VerifyPassword", verifyPassword_); }
    void SetVerifyPassword(bool value) { verifyPassword_ = value; }
    bool ModifyAllPowerProfiles() { return InForce("ModifyAllPowerProfiles", modifyAllPowerProfiles_); }
    void SetModifyAllPowerProfiles(bool value) { modifyAllPowerProfiles_ = value; }
    // A switch to secure mode that covers the start-up setting also removes
    // the stored auto-logon password, so that a lost disk holds none.
    bool ForgetPasswordInSecureMode() { return InForce("ForgetPasswordInSecureMode", forgetPasswordInSecureMode_); }
    void SetForgetPasswordInSecureMode(bool value) { forgetPasswordInSecureMode_ = value; }

    // Reads every enabled setting: pmSecure when all ask for the password,
    // pmRelaxed when none does, pmCustom otherwise (and with none enabled).
    TPromptMode GetCurrentMode();
    // The settings the options enable, as this process may switch them.
    TSettingSet Enabled();
    // WriteMode into every enabled setting: a switch of the mode is
    // SwitchMode (switching/Switch.h), which decides what it covers and puts
    // back what a failure left written.
    void ApplyMode(TPromptMode mode);

private:
    bool InForce(std::string_view name, bool own) const { return policies_.Value(name).value_or(own); }
    // The user's own values, as the options key stores them (the published properties).
    bool OwnAutochangeStartup();
    bool OwnAutochangeStandby();
    bool OwnAutochangeScreenSaver();
    bool OwnVerifyPassword() { return verifyPassword_; }
    bool OwnModifyAllPowerProfiles() { return modifyAllPowerProfiles_; }
    bool OwnForgetPasswordInSecureMode() { return forgetPasswordInSecureMode_; }

    TPolicies policies_;
    bool autochangeStartup_ = false;
    bool autochangeStandby_ = false;
    bool autochangeScreenSaver_ = true;
    bool verifyPassword_ = true;
    bool modifyAllPowerProfiles_ = false;
    bool forgetPasswordInSecureMode_ = false;
};

// The six options in their declared order, as their accessors answer: in
// force, a policy's value in place of the user's.
std::vector<std::pair<std::string, bool>> OptionValues(TOptions& options);

// One option's new value, by the option's name.
using TOptionChange = std::pair<std::string, bool>;
// Gives the options that `changes` name their new values: a change made on
// top of the values as stored now, which the caller takes first, under the
// change lock (AdoptStoredChanges), and saves afterwards with SaveOnly, so
// that an option nobody changed is never written. False, with nothing
// changed, when the result would enable none of the three settings although
// a change turned one of them off: a switch would have nothing left to do.
bool ApplyOptionChanges(TOptions& options, const std::vector<TOptionChange>& changes);

// The one options object of the process, between CreateGlobalOptions and
// FreeGlobalOptions.
TOptions& GlobalOptions();

// Start-up: creates GlobalOptions under HKEY_CURRENT_USER\<keyPath> with its
// defaults and the stored values, then writes all six values back at once.
// Nothing is saved when it is freed.
void CreateGlobalOptions(const os::WString& keyPath);
void FreeGlobalOptions();

}  // namespace settings
