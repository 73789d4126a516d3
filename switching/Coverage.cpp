#include "switching/Coverage.h"

#include "engine/ConsoleUser.h"
#include "engine/NTSecurity.h"


namespace switching {
namespace {

constexpr TSetting kSettings[] = {TSetting::Startup, TSetting::Resume, TSetting::ScreenSaver};

bool& Member(settings::TSettingSet& set, TSetting setting) {
    switch (setting) {
    case TSetting::Startup:
        return set.startup;
    case TSetting::Resume:
        return set.resume;
    case TSetting::ScreenSaver:
        break;
    }
    return set.screenSaver;
}

bool Contains(settings::TSettingSet set, TSetting setting) { return Member(set, setting); }

// What one rung of the order chooses, and why it leaves the other settings out.
struct TChoice {
    settings::TSettingSet settings;
    bool allSchemes = false;
    TLeftOutReason othersLeftOut = TLeftOutReason::OptionsOff;
};

// The user's options, which a run as SYSTEM never follows for a machine-wide choice.
bool AllSchemes(settings::TOptions& options) { return engine::RunsAsLocalSystem() || options.ModifyAllPowerProfiles(); }

std::optional<TChoice> NamedByTheCaller(settings::TOptions& options, const TCoverageRequest& request) {
    if (!request.only) return std::nullopt;
    return TChoice{*request.only, AllSchemes(options), TLeftOutReason::NotRequested};
}

std::optional<TChoice> EverythingAsSystem(settings::TOptions&, const TCoverageRequest&) {
    if (!engine::RunsAsLocalSystem()) return std::nullopt;
    return TChoice{{true, true, true}, true, TLeftOutReason::OptionsOff};
}

std::optional<TChoice> ChosenByTheOptions(settings::TOptions& options, const TCoverageRequest&) {
    return TChoice{options.Enabled(), options.ModifyAllPowerProfiles(), TLeftOutReason::OptionsOff};
}

// The order, highest first; the last rung always chooses.
using TRung = std::optional<TChoice> (*)(settings::TOptions&, const TCoverageRequest&);
constexpr TRung kOrder[] = {NamedByTheCaller, EverythingAsSystem, ChosenByTheOptions};

TChoice FirstChoice(settings::TOptions& options, const TCoverageRequest& request) {
    for (const TRung rung : kOrder)
        if (std::optional<TChoice> choice = rung(options, request)) return *choice;
    return {};
}

constexpr const char* kPolicyNames[] = {"AutochangeStartup", "AutochangeStandby", "AutochangeScreenSaver"};

// The policy's value for `setting`, which stands above every rung.
std::optional<bool> PolicyFor(const settings::TPolicies& policies, TSetting setting) {
    return policies.Value(kPolicyNames[static_cast<std::size_t>(setting)]);
}

// The rules, which hold whatever a rung chose; nullopt where the setting may be switched.
std::optional<TLeftOutReason> RuleLeavingOut(TSetting setting, bool administrator, bool userInReach) {
    if (setting == TSetting::ScreenSaver) {
        if (!userInReach) return TLeftOutReason::NoConsoleUser;
    } else if (!administrator) {
        return TLeftOutReason::NeedsAdministrator;
    }
    return std::nullopt;
}

const char* ReasonText(TLeftOutReason reason, bool several) {
    switch (reason) {
    case TLeftOutReason::NeedsAdministrator:
        return several ? " need administrator rights" : " needs administrator rights";
    case TLeftOutReason::NoConsoleUser:
        return several ? " belong to the user at the console, and nobody is signed in there"
                       : " belongs to the user at the console, and nobody is signed in there";
    case TLeftOutReason::Policy:
        return " turned off by your organization's policy";
    case TLeftOutReason::NotRequested:
        return " not named by --only";
    case TLeftOutReason::OptionsOff:
        break;
    }
    return " left alone by the options";
}

}  // namespace

TCoverage DecideCoverage(settings::TOptions& options, const TCoverageRequest& request) {
    const TChoice choice = FirstChoice(options, request);
    const bool administrator = engine::IsAdministrator();
    const bool userInReach = !engine::PerUserSettingsOutOfReach();
    const settings::TPolicies& policies = options.Policies();
    TCoverage coverage{{}, policies.Value("ModifyAllPowerProfiles").value_or(choice.allSchemes), {}};
    for (const TSetting setting : kSettings) {
        const std::optional<bool> policy = PolicyFor(policies, setting);
        if (const std::optional<TLeftOutReason> rule = RuleLeavingOut(setting, administrator, userInReach))
            coverage.leftOut.push_back({setting, *rule});
        else if (policy && !*policy)
            coverage.leftOut.push_back({setting, TLeftOutReason::Policy});
        else if (!policy && !Contains(choice.settings, setting))
            coverage.leftOut.push_back({setting, choice.othersLeftOut});
        else
            Member(coverage.settings, setting) = true;
    }
    return coverage;
}

const char* SettingKey(TSetting setting) {
    switch (setting) {
    case TSetting::Startup:
        return "startup";
    case TSetting::Resume:
        return "resume";
    case TSetting::ScreenSaver:
        break;
    }
    return "screenSaver";
}

std::string SettingsText(const std::vector<TSetting>& settings) {
    static const char* const names[] = {"start-up", "resume", "screen saver"};
    std::string text = "the ";
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (i > 0) text += i + 1 == settings.size() ? " and " : ", ";
        text += names[static_cast<std::size_t>(settings[i])];
    }
    return text + (settings.size() > 1 ? " settings" : " setting");
}

std::vector<TSetting> LeftOutFor(const TCoverage& coverage, TLeftOutReason reason) {
    std::vector<TSetting> settings;
    for (const TLeftOut& left : coverage.leftOut)
        if (left.reason == reason) settings.push_back(left.setting);
    return settings;
}

std::string WhyNothingIsCovered(const TCoverage& coverage) {
    std::string text;
    for (const TLeftOutReason reason : {TLeftOutReason::NeedsAdministrator, TLeftOutReason::NoConsoleUser,
                                        TLeftOutReason::Policy, TLeftOutReason::NotRequested,
                                        TLeftOutReason::OptionsOff}) {
        const std::vector<TSetting> settings = LeftOutFor(coverage, reason);
        if (settings.empty()) continue;
        if (!text.empty()) text += "; ";
        const bool several = settings.size() > 1;
        text += SettingsText(settings) + (reason == TLeftOutReason::NotRequested || reason == TLeftOutReason::OptionsOff ||
                                                  reason == TLeftOutReason::Policy
                                              ? (several ? " are" : " is")
                                              : "") +
                ReasonText(reason, several);
    }
    return text;
}

}  // namespace switching
