#include "cli/StatusCommand.h"

#include "cli/CommandText.h"
#include "diagnostics/AutologonState.h"
#include "diagnostics/Diagnostics.h"
#include "engine/ConsoleUser.h"
#include "engine/NTSecurity.h"
#include "engine/Registry.h"
#include "engine/Utilities.h"
#include "engine/VistaPower.h"
#include "switching/LastSwitch.h"

#include <cstring>

namespace cli {
namespace {

const char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

// The wake sign-in delay in seconds; null when it is missing or its key cannot
// be read, 0 (every time, as it then counts) for a value of another type.
// DelayLockInterval: null when it is missing; a value of another type is null
// too, with a warning (the resume setting counts it as asking).
Json WakeSignInDelayJson(Session& session) {
    try {
        const std::optional<DWORD> delay = engine::GetWakeSignInDelay();
        return delay ? Json(*delay) : Json(nullptr);
    } catch (const engine::ERegistryException&) {
        session.AddWarning("The registry value DelayLockInterval under " + UserRootName() +
                           "\\Control Panel\\Desktop is not a number; it is shown as null, and the resume setting "
                           "counts it as asking for the password.");
    } catch (const engine::EOSError&) {
        // A key that cannot be read: nothing to show.
    }
    return nullptr;
}

// AutoLogonCount: null when it is missing; a value of another type is null
// too, with a warning.
Json AutoLogonCountJson(Session& session) {
    try {
        const std::optional<engine::RawValue> count = engine::ReadSettingValue(engine::kAutoLogonCountValue);
        if (!count) return nullptr;
        if (count->type == REG_DWORD && count->data.size() == sizeof(DWORD)) {
            DWORD value = 0;
            std::memcpy(&value, count->data.data(), sizeof value);
            return value;
        }
        session.AddWarning(std::string("The registry value AutoLogonCount under HKEY_LOCAL_MACHINE\\") + kWinlogonKey +
                           " is not a number; it is shown as null.");
    } catch (const engine::Exception&) {
        // A key that cannot be read: nothing to show.
    }
    return nullptr;
}

Json CheckIds(const std::vector<diagnostics::CheckResult>& results) {
    Json ids = Json::array();
    for (const diagnostics::CheckResult& result : results) ids.push_back(result.id);
    return ids;
}

}  // namespace

int Status(Session& session) {
    settings::TOptions& options = session.ProgramOptions();
    const SettingStates states = ReadSettings(options);
    const settings::TPromptMode mode = options.GetCurrentMode();
    const std::vector<diagnostics::CheckResult> overriding = diagnostics::ChecksOverriding(options, mode);
    const diagnostics::AutologonState account = diagnostics::ReadAutologonState();
    const bool elevated = engine::IsAdministrator();

    for (const std::string& value : account.unreadable)
        session.Warn("Warning: the registry value " + value + " under HKEY_LOCAL_MACHINE\\" + kWinlogonKey +
                     " is not text; it is shown as missing.");

    // With nobody signed in, the options are no one's: what a switch would use are their defaults.
    const bool noUser = engine::PerUserSettingsOutOfReach();
    std::ostream& out = session.Out();
    if (session.WantsJson()) {
        WriteJson(out, Json{{"mode", ModeName(mode)},
                            {"overriddenBy", CheckIds(overriding)},
                            {"settings",
                             {{"startup", SettingKey(states.startup)},
                              {"resume", SettingKey(states.resume)},
                              {"screenSaver", SettingKey(states.screenSaver)}}},
                            {"account", AccountJson(account)},
                            {"autoLogonCount", AutoLogonCountJson(session)},
                            {"options", noUser ? Json(nullptr) : OptionsJson(options)},
                            {"policies", PoliciesJson(options.Policies())},
                            {"elevated", elevated},
                            {"modernStandby", engine::HasModernStandby()},
                            {"wakeSignInDelay", WakeSignInDelayJson(session)},
                            {"settingsOf", OrNull(session.SettingsOwner())},
                            {"warnings", session.Warnings()}});
        return kDone;
    }
    out << session.SettingsOwnerLine() << "Mode:          " << ModeName(mode) << '\n';
    for (std::size_t i = 0; i < overriding.size(); ++i)
        out << (i == 0 ? "Not in effect: " : "               ")
            << diagnostics::OverrideSummary(overriding[i].id, mode) << " (" << overriding[i].id << ")\n";
    if (!overriding.empty()) out << "               gatewisecmd diagnose says more.\n";
    out        << "Start-up:      " << SettingText(states.startup)
        << (switching::OneTimeLogonPending(options) ? ", for the next start-up only" : "") << '\n'
        << "Resume:        " << SettingText(states.resume) << '\n'
        << "Screen saver:  " << SettingText(states.screenSaver) << '\n'
        << "Auto-logon:    "
        << (account.user.empty() ? std::string("no account") : PrintableAccount(account.user, account.domain))
        << ", " << PasswordText(account.password) << '\n'
        << "Elevated:      " << (elevated ? "yes" : "no") << '\n';
    if (!options.Policies().InForce().empty()) {
        out << "Policies:     ";
        for (const settings::TPolicyValue& policy : options.Policies().InForce())
            out << ' ' << policy.name << '=' << (policy.value ? 1 : 0);
        out << '\n';
    }
    if (noUser) {
        out << "Options:       not shown: they belong to the user\n";
        return kDone;
    }
    out << "Options:\n";
    ShowOptions(out, options);
    return kDone;
}

}  // namespace cli
