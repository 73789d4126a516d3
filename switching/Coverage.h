#pragma once
// What a switch covers: which of the three settings it writes, decided once,
// for the window and gatewisecmd alike. The rules come first and always hold:
// only an administrator switches the start-up and resume settings, and a
// user's screen saver setting is switched only while that user's settings
// are in reach. Within them the administrator's policy decides each setting
// it sets (and the power schemes, when it sets ModifyAllPowerProfiles);
// for the rest the first rung of this order that chooses decides: the
// settings the caller names (gatewisecmd --only); run as SYSTEM, all three
// settings in every power scheme; the user's options.

#include "settings/Options.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace switching {

enum class TSetting : std::uint8_t { Startup, Resume, ScreenSaver };

// Why a switch leaves a setting out.
enum class TLeftOutReason : std::uint8_t {
    NeedsAdministrator,  // start-up and resume, for a process without administrator rights
    NoConsoleUser,       // the screen saver, with nobody signed in at the console (run as SYSTEM)
    Policy,              // the administrator's policy turns it off (settings/Policies.h)
    NotRequested,        // the caller named only other settings (--only)
    OptionsOff,          // the user's options leave it alone
};

struct TLeftOut {
    TSetting setting;
    TLeftOutReason reason;
    bool operator==(const TLeftOut&) const = default;
};

// What the caller asks for beyond the options.
struct TCoverageRequest {
    std::optional<settings::TSettingSet> only;  // these settings only, as far as the rules allow
};

struct TCoverage {
    settings::TSettingSet settings;
    bool allSchemes = false;        // the resume setting of every power scheme, not the active one's only
    std::vector<TLeftOut> leftOut;  // every setting not covered, in the order start-up, resume, screen saver
};

// Reads the options' accessors, so the caller takes the options stored now first.
TCoverage DecideCoverage(settings::TOptions& options, const TCoverageRequest& request = {});

// "startup", "resume", "screenSaver": the names gatewisecmd's JSON uses.
const char* SettingKey(TSetting setting);
// "the start-up setting", "the start-up and resume settings", ...
std::string SettingsText(const std::vector<TSetting>& settings);
// The settings left out for `reason`, in order.
std::vector<TSetting> LeftOutFor(const TCoverage& coverage, TLeftOutReason reason);
// Why a coverage holds nothing: "the start-up and resume settings need
// administrator rights, and the options leave the screen saver setting alone".
std::string WhyNothingIsCovered(const TCoverage& coverage);

}  // namespace switching
