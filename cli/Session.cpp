#include "cli/Session.h"

#include "cli/Password.h"
#include "diagnostics/AutologonState.h"
#include "diagnostics/Diagnostics.h"
#include "engine/Exception.h"
#include "engine/NTSecurity.h"
#include "engine/Utilities.h"
#include "engine/VistaPower.h"
#include "settings/LastSwitch.h"
#include "settings/SwitchRecord.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace cli {
namespace {

using Json = nlohmann::ordered_json;

const char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
using diagnostics::PasswordStore;
using settings::TPromptMode;

void WriteJson(std::ostream& out, const Json& json) {
    out << json.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

// JSON's short escape of a control character, or null.
const char* ShortEscape(unsigned code) {
    switch (code) {
    case '\b': return "\\b";
    case '\f': return "\\f";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
    }
}

// UTF-8 text for a terminal, with its control characters (C0, DEL and C1)
// escaped as JSON escapes them: a name from the registry must not move the
// cursor, change colours or forge a line of the output.
std::string Printable(std::string_view text) {
    std::string printable;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned code = static_cast<unsigned char>(text[i]);
        const bool c1 = code == 0xC2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
        if (c1) code = static_cast<unsigned char>(text[++i]);
        if (!c1 && code >= 0x20 && code != 0x7F) {
            printable += text[i];
        } else if (const char* escape = ShortEscape(code)) {
            printable += escape;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
            printable += escaped;
        }
    }
    return printable;
}

std::string PrintableAccount(const os::WString& user, const os::WString& domain) {
    return Printable(diagnostics::AccountDisplayName(user, domain));
}

const char* ModeName(TPromptMode mode) {
    switch (mode) {
    case settings::pmSecure:
        return "secure";
    case settings::pmRelaxed:
        return "relaxed";
    case settings::pmCustom:
        break;
    }
    return "custom";
}

// One of the three settings as status reports it.
enum class SettingState { Asks, DoesNotAsk, NotManaged };

SettingState ReadSetting(bool managed, bool (*asksPassword)()) {
    if (!managed) return SettingState::NotManaged;
    return asksPassword() ? SettingState::Asks : SettingState::DoesNotAsk;
}

const char* SettingKey(SettingState state) {
    switch (state) {
    case SettingState::Asks:
        return "asks";
    case SettingState::DoesNotAsk:
        return "does-not-ask";
    case SettingState::NotManaged:
        break;
    }
    return "not-managed";
}

const char* SettingText(SettingState state) {
    switch (state) {
    case SettingState::Asks:
        return "asks for the password";
    case SettingState::DoesNotAsk:
        return "does not ask for the password";
    case SettingState::NotManaged:
        break;
    }
    return "not managed by the options";
}

const char* PasswordText(PasswordStore store) {
    switch (store) {
    case PasswordStore::None:
        return "no password stored";
    case PasswordStore::Protected:
        return "password in the protected store";
    case PasswordStore::Plain:
        return "password in a plain registry value";
    case PasswordStore::Both:
        return "password in the protected store and in a plain registry value";
    case PasswordStore::Unknown:
        break;
    }
    return "whether a password is stored could not be read";
}

// The five options in their declared order, as their accessors answer.
std::vector<std::pair<std::string, bool>> OptionValues(settings::TOptions& options) {
    std::vector<std::pair<std::string, bool>> values;
    for (const settings::PublishedProperty& property : options.Properties())
        values.emplace_back(property.name, std::get<std::int64_t>(property.read(options)) != 0);
    return values;
}

Json OptionsJson(settings::TOptions& options) {
    Json json = Json::object();
    for (const auto& [name, value] : OptionValues(options)) json[name] = value;
    return json;
}

bool IsFeatureOption(const std::string& name) {
    return name == "AutochangeStartup" || name == "AutochangeStandby" || name == "AutochangeScreenSaver";
}
bool IsAdministratorOption(const std::string& name) {
    return name == "AutochangeStartup" || name == "AutochangeStandby";
}

struct Assignment {
    const settings::PublishedProperty* property;
    bool value;
};

Assignment ParseAssignment(settings::TOptions& options, const CommandArgument& argument) {
    const std::string& text = argument.text;
    const std::string position = "Argument " + std::to_string(argument.position);
    const auto equals = text.find('=');
    if (equals == std::string::npos)
        throw CommandFailure(kBadUsage, position + " is not of the form NAME=True or NAME=False.");
    const std::string name = text.substr(0, equals);
    const std::string value = text.substr(equals + 1);

    const auto& properties = options.Properties();
    const auto property = std::find_if(properties.begin(), properties.end(), [&](const auto& p) {
        return os::EqualsIgnoringCase(p.name, name);
    });
    if (property == properties.end())
        throw CommandFailure(kBadUsage, position +
                                            " names no option. The options are AutochangeStartup, AutochangeStandby, "
                                            "AutochangeScreenSaver and ModifyAllPowerProfiles.");
    if (property->name == "VerifyPassword")
        throw CommandFailure(kBadUsage, "VerifyPassword is changed only by the password verification of the main "
                                        "window (\"Don't show this prompt again\").");
    if (!os::EqualsIgnoringCase(value, "True") && !os::EqualsIgnoringCase(value, "False"))
        throw CommandFailure(kBadUsage, position + ": the value of " + property->name + " must be True or False.");
    return {&*property, os::EqualsIgnoringCase(value, "True")};
}

// The wake sign-in delay in seconds; null when it is missing or its key cannot
// be read, 0 (every time, as it then counts) for a value of another type.
Json WakeSignInDelayJson() {
    try {
        const std::optional<DWORD> delay = engine::GetWakeSignInDelay();
        return delay ? Json(*delay) : Json(nullptr);
    } catch (const engine::ERegistryException&) {
        return engine::kSignInEveryTime;
    } catch (const engine::EOSError&) {
        return nullptr;
    }
}

os::WString CurrentDomain() {
    try {
        return engine::GetCurrentUserAccount().domain;
    } catch (const engine::Exception&) {
        return {};
    }
}

}  // namespace

Session::Session(Console& console, const os::WString& optionsKey)
    : console_(console), options_(settings::Create<settings::TOptions>(false, optionsKey)) {
    // The commands save only when they change an option.
    options_->SetSaveOnDestroy(false);
}

// ---------------------------------------------------------------- status

int Session::Status(bool json) {
    settings::TOptions& options = *options_;
    const SettingState startup = ReadSetting(options.AutochangeStartup(), engine::GetAskPasswordOnStartup);
    const SettingState resume = ReadSetting(options.AutochangeStandby(), engine::GetAskPasswordOnResume);
    const SettingState screenSaver =
        ReadSetting(options.AutochangeScreenSaver(), engine::GetAskPasswordOnScreenSaver);
    const TPromptMode mode = options.GetCurrentMode();
    const diagnostics::AutologonState account = diagnostics::ReadAutologonState();
    const bool elevated = engine::IsAdministrator();

    for (const std::string& value : account.unreadable)
        console_.err << "Warning: the registry value " << value << " under HKEY_LOCAL_MACHINE\\" << kWinlogonKey
                     << " is not text; it is shown as missing.\n";

    std::ostream& out = console_.out;
    if (json) {
        WriteJson(out, Json{{"mode", ModeName(mode)},
                            {"settings",
                             {{"startup", SettingKey(startup)},
                              {"resume", SettingKey(resume)},
                              {"screenSaver", SettingKey(screenSaver)}}},
                            {"account",
                             {{"user", os::ToUtf8(account.user)},
                              {"domain", os::ToUtf8(account.domain)},
                              {"password", diagnostics::PasswordStoreName(account.password)}}},
                            {"options", OptionsJson(options)},
                            {"elevated", elevated},
                            {"modernStandby", engine::HasModernStandby()},
                            {"wakeSignInDelay", WakeSignInDelayJson()}});
        return kDone;
    }
    out << "Mode:          " << ModeName(mode) << '\n'
        << "Start-up:      " << SettingText(startup) << '\n'
        << "Resume:        " << SettingText(resume) << '\n'
        << "Screen saver:  " << SettingText(screenSaver) << '\n'
        << "Auto-logon:    "
        << (account.user.empty() ? std::string("no account") : PrintableAccount(account.user, account.domain))
        << ", " << PasswordText(account.password) << '\n'
        << "Elevated:      " << (elevated ? "yes" : "no") << '\n'
        << "Options:\n";
    ShowOptions();
    return kDone;
}

void Session::ShowOptions() {
    for (const auto& [name, value] : OptionValues(*options_))
        console_.out << "  " << name << '=' << (value ? "True" : "False") << '\n';
}

// ---------------------------------------------------------------- secure, relaxed

int Session::Switch(TPromptMode mode, bool verify) {
    settings::TOptions& options = *options_;
    const bool administrator = engine::IsAdministrator();
    if (!options.AutochangeStartup() && !options.AutochangeStandby() && !options.AutochangeScreenSaver()) {
        if (!administrator)
            throw CommandFailure(kNeedsAdministrator,
                                 "Nothing was switched: without administrator rights only the screen saver setting "
                                 "can be, and the options leave it alone.");
        throw CommandFailure(kBadUsage,
                             "Nothing was switched: the options enable none of the three settings (see "
                             "gatewisecmd options).");
    }
    if (mode == settings::pmSecure && verify) VerifyCurrentPassword();
    if (mode == settings::pmRelaxed && options.AutochangeStartup()) {
        const engine::AutologonAccount account = engine::GetAutologonAccount();
        if (account.user.empty() || !account.hasPassword)
            throw CommandFailure(kNoAutologonAccount,
                                 "Relaxed mode needs an auto-logon account with its password: set it with "
                                 "gatewisecmd account set --user NAME. Nothing was changed.");
    }
    const settings::TSwitchResult result = settings::SwitchMode(options, mode);
    console_.out << "Switched to " << ModeName(mode) << " mode.\n";
    if (!administrator)
        console_.out << "Left out, as they need administrator rights: the start-up and resume settings.\n";
    if (!result.undoAvailable)
        console_.err << "Warning: undo will not be available: the settings before the switch could not be stored "
                        "under HKEY_CURRENT_USER\\"
                     << os::ToUtf8(options.KeyPath()) << ".\n";
    return kDone;
}

void Session::VerifyCurrentPassword() {
    const os::SecretString password = ReadPassword(console_.in, false);
    switch (engine::VerifyAccountPassword({}, {}, password)) {
    case engine::pcAccepted:
        if (password.empty())
            throw CommandFailure(kPasswordRejected,
                                 "Your user account is not password protected, so secure mode cannot be enabled. "
                                 "Set a password first.");
        return;
    case engine::pcRejected:
        throw CommandFailure(kPasswordRejected,
                             "The password does not match your Windows password, so secure mode was not enabled.");
    case engine::pcCannotVerify:
        break;
    }
    throw CommandFailure(kSystemError,
                         "Your Windows password cannot be verified, so secure mode was not enabled. Leave out "
                         "--verify to switch anyway.");
}

// ---------------------------------------------------------------- account

void Session::RequireAdministrator(const char* what) {
    if (!engine::IsAdministrator())
        throw CommandFailure(kNeedsAdministrator, std::string(what) +
                                                      " needs administrator rights: run gatewisecmd from an "
                                                      "elevated command prompt. Nothing was changed.");
}

int Session::SetAccount(const std::string& user, const std::string& domain, bool verify) {
    RequireAdministrator("Setting the auto-logon account");
    const os::WString userName = os::FromUtf8(user);
    if (userName.empty()) throw CommandFailure(kBadUsage, "The user name is empty; to remove the account, use "
                                                          "gatewisecmd account clear.");
    const os::WString domainName = domain.empty() ? CurrentDomain() : os::FromUtf8(domain);
    const os::SecretString password = ReadPassword(console_.in, true);
    if (verify) {
        const engine::TPasswordCheck check = engine::VerifyAccountPassword(userName, domainName, password);
        if (check == engine::pcRejected)
            throw CommandFailure(kPasswordRejected,
                                 "The user name and password are not valid on this computer. Nothing was changed.");
        if (check == engine::pcCannotVerify)
            console_.err << "The password could not be verified; it is stored as given.\n";
    }
    const engine::TPasswordStore store = engine::SetAutologonAccount(userName, domainName, password);
    if (engine::IsPlainValue(store))
        console_.err << "Windows did not accept the password into its protected store: it is kept in the registry "
                        "value DefaultPassword, where other users of this computer may be able to read it.\n";
    if (store == engine::psPlainValueBehindProtected)
        console_.err << "An older password in the protected store could not be removed, and Windows may log on with "
                        "it instead of the new one.\n";

    const diagnostics::AutologonState stored = diagnostics::ReadAutologonState();
    console_.out << "Auto-logon account set to " << PrintableAccount(stored.user, stored.domain)
                 << ", " << PasswordText(stored.password) << ".\n";
    return kDone;
}

int Session::ClearAccount() {
    RequireAdministrator("Clearing the auto-logon account");
    engine::SetAutologonAccount({}, {}, os::SecretString());
    console_.out << "Auto-logon account and password cleared.\n";
    return kDone;
}

// ---------------------------------------------------------------- options

int Session::Options(const std::vector<CommandArgument>& assignments) {
    settings::TOptions& options = *options_;
    std::vector<Assignment> changes;
    for (const CommandArgument& argument : assignments) changes.push_back(ParseAssignment(options, argument));

    bool featureChanged = false;
    for (const Assignment& change : changes) {
        if (change.value && IsAdministratorOption(change.property->name) && !engine::IsAdministrator())
            throw CommandFailure(kNeedsAdministrator, change.property->name +
                                                          " can be switched on only with administrator rights. "
                                                          "Nothing was changed.");
        featureChanged = featureChanged || IsFeatureOption(change.property->name);
    }
    if (!changes.empty()) {
        std::vector<std::string> names;
        for (const Assignment& change : changes) {
            change.property->write(options, std::int64_t{change.value});
            if (std::find(names.begin(), names.end(), change.property->name) == names.end())
                names.push_back(change.property->name);
        }
        // As in the options dialog, where OK stays disabled once the last feature is unchecked.
        if (featureChanged && !options.AutochangeStartup() && !options.AutochangeStandby() &&
            !options.AutochangeScreenSaver())
            throw CommandFailure(kBadUsage, "At least one of AutochangeStartup, AutochangeStandby and "
                                            "AutochangeScreenSaver must stay True. Nothing was saved.");
        SaveOptions(names);
    }
    ShowOptions();
    return kDone;
}

// Saves only the options named, so that a command run at the same time that
// changes others does not lose its change, and reads each back: the options
// key may refuse writes, which the persistence layer skips silently.
void Session::SaveOptions(const std::vector<std::string>& names) {
    std::string lost;
    for (const std::string& name : names) {
        options_->Save(name);
        if (!options_->IsSaved(name)) lost += (lost.empty() ? "" : ", ") + name;
    }
    if (!lost.empty())
        throw CommandFailure(kSystemError, "Not saved, as the registry did not keep the new value: " + lost +
                                               " (under HKEY_CURRENT_USER\\" + os::ToUtf8(options_->KeyPath()) +
                                               ").");
}

// ---------------------------------------------------------------- undo

int Session::Undo(bool force, bool json) {
    const settings::TUndoOutcome outcome = settings::UndoLastSwitch(*options_, force);
    if (!outcome.problem.empty()) console_.err << outcome.problem << '\n';
    const std::optional<settings::TLastSwitch>& last = outcome.last;
    const std::string described =
        last ? std::string("the switch to ") + ModeName(last->before.mode) + " mode of " +
                   settings::LocalTimeText(last->time)
             : std::string();
    switch (outcome.result) {
    case settings::TUndoResult::NeedsAdministrator:
        throw CommandFailure(kNeedsAdministrator, "Undoing " + described +
                                                      " needs administrator rights, as it changed the start-up or "
                                                      "resume setting: run gatewisecmd from an elevated command "
                                                      "prompt. Nothing was changed.");
    case settings::TUndoResult::NothingToUndo:
        console_.err << "There is no switch to undo.\n";
        break;
    case settings::TUndoResult::ChangedSince: {
        std::string names;
        for (const std::string& name : outcome.changed) names += (names.empty() ? "" : ", ") + name;
        console_.err << (last->after ? "The settings changed since " + described + ": " + Printable(names) + "."
                                     : "It cannot be told whether the settings changed since " + described +
                                           ", as that switch did not finish.")
                     << " Nothing was changed; gatewisecmd undo --force undoes the switch anyway.\n";
        break;
    }
    case settings::TUndoResult::Done:
        if (!json) console_.out << "Undid " << described << ": the settings are as they were before it.\n";
        break;
    }
    if (json) {
        Json changed = Json::array();
        for (const std::string& name : outcome.changed) changed.push_back(name);
        const char* result = outcome.result == settings::TUndoResult::Done          ? "undone"
                             : outcome.result == settings::TUndoResult::ChangedSince ? "changed-since"
                                                                                    : "nothing-to-undo";
        WriteJson(console_.out,
                  Json{{"result", result},
                       {"switch", last ? Json{{"mode", ModeName(last->before.mode)},
                                              {"time", settings::UtcTimeText(last->time)},
                                              {"finished", last->after.has_value()}}
                                       : Json(nullptr)},
                       {"changedSince", changed},
                       {"mode", ModeName(options_->GetCurrentMode())}});
    }
    switch (outcome.result) {
    case settings::TUndoResult::NothingToUndo:
        return kNothingToUndo;
    case settings::TUndoResult::ChangedSince:
        return kChangedSinceSwitch;
    default:
        return kDone;
    }
}

// ---------------------------------------------------------------- diagnose

int Session::Diagnose(bool json) {
    std::vector<diagnostics::CheckResult> results = diagnostics::RunDiagnostics(*options_);
    const auto count = [&](diagnostics::Verdict verdict) {
        return std::count_if(results.begin(), results.end(), [&](const auto& r) { return r.verdict == verdict; });
    };
    const auto problems = count(diagnostics::Verdict::Problem);
    const auto warnings = count(diagnostics::Verdict::Warning);

    std::ostream& out = console_.out;
    if (json) {
        Json checks = Json::array();
        for (const diagnostics::CheckResult& result : results)
            checks.push_back({{"id", result.id},
                              {"verdict", diagnostics::VerdictName(result.verdict)},
                              {"finding", result.finding},
                              {"fix", result.fix}});
        WriteJson(out, Json{{"problems", problems}, {"warnings", warnings}, {"checks", checks}});
    } else {
        diagnostics::SortBySeverity(results);
        for (const diagnostics::CheckResult& result : results) {
            std::string verdict = diagnostics::VerdictName(result.verdict);
            verdict.resize(9, ' ');
            out << verdict << result.id << "\n         " << Printable(result.finding) << '\n';
            if (!result.fix.empty()) out << "         Fix: " << Printable(result.fix) << '\n';
        }
        out << problems << (problems == 1 ? " problem, " : " problems, ") << warnings
            << (warnings == 1 ? " warning.\n" : " warnings.\n");
    }
    return problems > 0 ? kProblemFound : kDone;
}

}  // namespace cli
