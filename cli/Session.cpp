#include "cli/Session.h"

#include "audit/Audit.h"
#include "cli/JsonOutput.h"
#include "cli/Password.h"
#include "diagnostics/AutologonState.h"
#include "diagnostics/Diagnostics.h"
#include "diagnostics/SelfTest.h"
#include "engine/Exception.h"
#include "engine/NTSecurity.h"
#include "engine/Utilities.h"
#include "engine/VistaPower.h"
#include "switching/Switch.h"
#include "switching/Undo.h"

#include <algorithm>
#include <cstdio>

namespace cli {
namespace {

const char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
using diagnostics::PasswordStore;
using settings::TPromptMode;

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
enum class SettingState { Asks, DoesNotAsk, NotManaged, NoUser };

SettingState ReadSetting(bool managed, bool (*asksPassword)()) {
    if (!managed) return SettingState::NotManaged;
    return asksPassword() ? SettingState::Asks : SettingState::DoesNotAsk;
}

struct SettingStates {
    SettingState startup;
    SettingState resume;
    SettingState screenSaver;
};

// The three settings, those that the options leave alone as not managed.
SettingStates ReadSettings(settings::TOptions& options) {
    return {ReadSetting(options.AutochangeStartup(), engine::GetAskPasswordOnStartup),
            ReadSetting(options.AutochangeStandby(), engine::GetAskPasswordOnResume),
            engine::PerUserSettingsOutOfReach()
                ? SettingState::NoUser
                : ReadSetting(options.AutochangeScreenSaver(), engine::GetAskPasswordOnScreenSaver)};
}

const char* SettingKey(SettingState state) {
    switch (state) {
    case SettingState::Asks:
        return "asks";
    case SettingState::DoesNotAsk:
        return "does-not-ask";
    case SettingState::NoUser:
        return "no-user";
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
    case SettingState::NoUser:
        return "not shown: no user is signed in at the console";
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

Json OptionsJson(settings::TOptions& options) {
    Json json = Json::object();
    for (const auto& [name, value] : settings::OptionValues(options)) json[name] = value;
    return json;
}

// The account as status shows it: user, domain and where its password is.
Json AccountJson(const diagnostics::AutologonState& account) {
    return Json{{"user", os::ToUtf8(account.user)},
                {"domain", os::ToUtf8(account.domain)},
                {"password", diagnostics::PasswordStoreName(account.password)}};
}

// What changed in the account; the password counts as changed when a new one
// was stored, even where the old one was.
Json AccountChanges(const diagnostics::AutologonState& before, const diagnostics::AutologonState& after,
                    bool newPassword) {
    Json changes = Json::array();
    if (before.user != after.user) changes.push_back(Change("user", os::ToUtf8(before.user), os::ToUtf8(after.user)));
    if (before.domain != after.domain)
        changes.push_back(Change("domain", os::ToUtf8(before.domain), os::ToUtf8(after.domain)));
    if (newPassword || before.password != after.password)
        changes.push_back(Change("password", diagnostics::PasswordStoreName(before.password),
                                 diagnostics::PasswordStoreName(after.password)));
    return changes;
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
                                            "AutochangeScreenSaver, ModifyAllPowerProfiles and VerifyPassword.");
    if (!os::EqualsIgnoringCase(value, "True") && !os::EqualsIgnoringCase(value, "False"))
        throw CommandFailure(kBadUsage, position + ": the value of " + property->name + " must be True or False.");
    const bool on = os::EqualsIgnoringCase(value, "True");
    // Turning the prompt off is the user's own choice, made where they proved
    // they know the password; turning it back on needs no such proof.
    if (property->name == "VerifyPassword" && !on)
        throw CommandFailure(kBadUsage, "VerifyPassword is turned off only by the password verification of the main "
                                        "window (\"Don't show this prompt again\"); gatewisecmd can only turn it "
                                        "on.");
    return {&*property, on};
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

engine::PerUserTarget TargetOf(bool localSystem) {
    if (!localSystem) return {};
    std::optional<engine::ConsoleUser> user;
    try {
        user = engine::FindConsoleUser();
    } catch (const engine::Exception& error) {
        throw CommandFailure(kSystemError, std::string(error.what()) + " Nothing was changed.");
    }
    if (!user) return {engine::PerUserTarget::Nobody, {}};
    return {engine::PerUserTarget::Console, *user};
}

const char kNoUserLeft[] = "No user is signed in at the console";

os::WString CurrentDomain() {
    try {
        return engine::GetCurrentUserAccount().domain;
    } catch (const engine::Exception&) {
        return {};
    }
}

// The account that account set names. "DOMAIN\name" carries its domain; a
// user principal name "name@domain" is passed whole and with no domain, as
// Windows expects for such names.
engine::UserAccount NamedAccount(const std::string& user, const std::string& domain) {
    const os::WString name = os::FromUtf8(user);
    const os::WString givenDomain = os::FromUtf8(domain);
    const auto backslash = name.find(WCHAR('\\'));
    if (backslash != os::WString::npos && backslash > 0) {
        const os::WString named = name.substr(0, backslash);
        if (!givenDomain.empty() && !os::EqualsIgnoringCase(givenDomain, named))
            throw CommandFailure(kBadUsage, "The option --user names a domain before its backslash, and --domain "
                                            "names another. Nothing was changed.");
        return {name.substr(backslash + 1), named};
    }
    const os::WString bare = backslash == 0 ? name.substr(1) : name;  // "\name": no domain named
    if (bare.find(WCHAR('@')) != os::WString::npos) {
        if (!givenDomain.empty())
            throw CommandFailure(kBadUsage, "A user name of the form name@domain names its domain itself: leave out "
                                            "--domain. Nothing was changed.");
        return {bare, {}};
    }
    return {bare, givenDomain.empty() ? CurrentDomain() : givenDomain};
}

Json OrNull(const std::optional<std::string>& text) { return text ? Json(*text) : Json(nullptr); }

// Where the per-user settings are, as messages name it.
std::string UserRootName() {
    if (const engine::ConsoleUser* user = engine::TargetConsoleUser()) return "HKEY_USERS\\" + os::ToUtf8(user->sid);
    return "HKEY_CURRENT_USER";
}

const char* VerificationName(std::optional<engine::TPasswordCheck> check) {
    if (!check) return "skipped";
    return *check == engine::pcAccepted ? "accepted" : "could-not-verify";
}

}  // namespace

Session::Session(Console& console, const os::WString& optionsKey, bool json)
    : console_(console),
      json_(json),
      localSystem_(engine::RunsAsLocalSystem()),
      target_(TargetOf(localSystem_)),
      options_(settings::Create<settings::TOptions>(false, optionsKey)) {
    // The commands save only when they change an option.
    options_->SetSaveOnDestroy(false);
}

// The audit trail's warnings about one change's event, which become the
// command's warnings once the change is over, whether it went through or not.
class Session::AuditWarnings {
public:
    explicit AuditWarnings(Session& session) : session_(session) {}
    ~AuditWarnings() {
        for (const std::string& warning : list) session_.Warn("Warning: " + warning);
    }
    AuditWarnings(const AuditWarnings&) = delete;
    AuditWarnings& operator=(const AuditWarnings&) = delete;

    audit::Warnings list;

private:
    Session& session_;
};

void Session::Warn(const std::string& message) {
    console_.err << message << '\n';
    warnings_.push_back(message);
}

std::optional<std::string> Session::SettingsOwner() const {
    const engine::PerUserTarget& target = engine::CurrentPerUserTarget();
    switch (target.kind) {
    case engine::PerUserTarget::Console:
        return os::ToUtf8(target.user.account);
    case engine::PerUserTarget::Nobody:
        return std::nullopt;
    case engine::PerUserTarget::OwnUser:
        break;
    }
    try {
        const engine::UserAccount own = engine::GetCurrentUserAccount();
        return diagnostics::AccountDisplayName(own.user, own.domain);
    } catch (const engine::Exception&) {
        return std::nullopt;
    }
}

std::string Session::SettingsOwnerLine() const {
    if (!localSystem_) return {};
    const std::optional<std::string> owner = SettingsOwner();
    if (!owner)
        return std::string(kNoUserLeft) +
               ", so the per-user settings (screen saver, wake sign-in, options) are not shown.\n";
    return "Per-user settings of " + Printable(*owner) + ", signed in at the console (gatewisecmd runs as SYSTEM).\n";
}

// ---------------------------------------------------------------- status

int Session::Status() {
    settings::TOptions& options = *options_;
    const SettingStates settings = ReadSettings(options);
    const TPromptMode mode = options.GetCurrentMode();
    const diagnostics::AutologonState account = diagnostics::ReadAutologonState();
    const bool elevated = engine::IsAdministrator();

    for (const std::string& value : account.unreadable)
        Warn("Warning: the registry value " + value + " under HKEY_LOCAL_MACHINE\\" + kWinlogonKey +
             " is not text; it is shown as missing.");

    // With nobody signed in, the options are no one's: what a switch would use are their defaults.
    const bool noUser = engine::PerUserSettingsOutOfReach();
    std::ostream& out = console_.out;
    if (json_) {
        WriteJson(out, Json{{"mode", ModeName(mode)},
                            {"settings",
                             {{"startup", SettingKey(settings.startup)},
                              {"resume", SettingKey(settings.resume)},
                              {"screenSaver", SettingKey(settings.screenSaver)}}},
                            {"account", AccountJson(account)},
                            {"options", noUser ? Json(nullptr) : OptionsJson(options)},
                            {"elevated", elevated},
                            {"modernStandby", engine::HasModernStandby()},
                            {"wakeSignInDelay", WakeSignInDelayJson()},
                            {"settingsOf", OrNull(SettingsOwner())},
                            {"warnings", warnings_}});
        return kDone;
    }
    out << SettingsOwnerLine() << "Mode:          " << ModeName(mode) << '\n'
        << "Start-up:      " << SettingText(settings.startup) << '\n'
        << "Resume:        " << SettingText(settings.resume) << '\n'
        << "Screen saver:  " << SettingText(settings.screenSaver) << '\n'
        << "Auto-logon:    "
        << (account.user.empty() ? std::string("no account") : PrintableAccount(account.user, account.domain))
        << ", " << PasswordText(account.password) << '\n'
        << "Elevated:      " << (elevated ? "yes" : "no") << '\n';
    if (noUser) {
        out << "Options:       not shown: they belong to the user\n";
        return kDone;
    }
    out << "Options:\n";
    ShowOptions();
    return kDone;
}

void Session::ShowOptions() {
    for (const auto& [name, value] : settings::OptionValues(*options_))
        console_.out << "  " << name << '=' << (value ? "True" : "False") << '\n';
}

// ---------------------------------------------------------------- secure, relaxed

int Session::Switch(TPromptMode mode, bool verify) {
    settings::TOptions& options = *options_;
    if (verify && localSystem_)
        throw CommandFailure(kBadUsage, "Run as SYSTEM, gatewisecmd has no account of its own whose password --verify "
                                        "could check: leave it out. Nothing was changed.");
    options.AdoptStoredChanges();  // as the switch will take them
    const bool administrator = engine::IsAdministrator();
    const bool noUser = engine::PerUserSettingsOutOfReach();
    if (noUser && !options.AutochangeStartup() && !options.AutochangeStandby())
        throw CommandFailure(kNoConsoleUser, std::string(kNoUserLeft) +
                                                 ", and the options enable only the screen saver setting, which is "
                                                 "theirs. Nothing was switched.");
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
    const SettingStates before = ReadSettings(options);
    const TPromptMode previous = options.GetCurrentMode();
    switching::TSwitchResult result;
    {
        AuditWarnings logged(*this);
        result = audit::SwitchMode(options, mode, audit::orCommandLine, logged.list);
    }
    const switching::TSwitchRecord& record = result.record;
    if (!result.undoAvailable)
        Warn("Warning: undo will not be available: the settings before the switch could not be stored under " +
             UserRootName() + "\\" + os::ToUtf8(options.KeyPath()) + ".");

    const SettingState now = mode == settings::pmSecure ? SettingState::Asks : SettingState::DoesNotAsk;
    Json changes = Json::array();
    for (const auto& [name, covered, was] : {std::tuple{"startup", record.startup, before.startup},
                                             std::tuple{"resume", record.resume, before.resume},
                                             std::tuple{"screenSaver", record.screenSaver, before.screenSaver}})
        if (covered && was != now) changes.push_back(Change(name, SettingKey(was), SettingKey(now)));
    const char* leftOutNote = "Left out, as they need administrator rights: the start-up and resume settings.";
    Json leftOut = administrator ? Json::array() : Json::array({"startup", "resume"});
    std::string noUserNote;
    if (noUser) {
        const bool delay = engine::HasModernStandby();
        leftOut.push_back("screenSaver");
        if (delay) leftOut.push_back("wakeSignInDelay");
        noUserNote = std::string(kNoUserLeft) + ": only the machine-wide settings were switched. Left, as they are "
                     "the user's: the screen saver setting" + (delay ? " and the wake sign-in delay." : ".");
    }

    if (json_) {
        if (!administrator) warnings_.push_back(leftOutNote);
        if (noUser) Warn(noUserNote);
        WriteJson(console_.out, Json{{"mode", ModeName(mode)},
                                     {"previousMode", ModeName(previous)},
                                     {"changes", changes},
                                     {"leftOut", leftOut},
                                     {"settingsOf", OrNull(SettingsOwner())},
                                     {"warnings", warnings_}});
    } else {
        console_.out << SettingsOwnerLine() << "Switched to " << ModeName(mode) << " mode.\n";
        if (!administrator) console_.out << leftOutNote << '\n';
        if (noUser) console_.out << noUserNote << '\n';
    }
    return noUser ? kNoConsoleUser : kDone;
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
    if (localSystem_ && domain.empty() && user.find('\\') == std::string::npos && user.find('@') == std::string::npos)
        throw CommandFailure(kBadUsage, "Run as SYSTEM, gatewisecmd cannot take the domain from its own account: "
                                        "give --domain (the computer's name for a local account) or --user "
                                        "DOMAIN\\NAME. Nothing was changed.");
    const engine::UserAccount account = NamedAccount(user, domain);
    if (account.user.empty())
        throw CommandFailure(kBadUsage, "The user name is empty; to remove the account, use gatewisecmd account "
                                        "clear.");
    const os::SecretString password = ReadPassword(console_.in, true);
    std::optional<engine::TPasswordCheck> check;
    if (verify) {
        check = engine::VerifyAccountPassword(account.user, account.domain, password);
        if (check == engine::pcRejected)
            throw CommandFailure(kPasswordRejected,
                                 "The user name and password are not valid on this computer. Nothing was changed.");
        if (check == engine::pcCannotVerify) Warn("The password could not be verified; it is stored as given.");
    }
    const diagnostics::AutologonState before = diagnostics::ReadAutologonState();
    engine::TPasswordStore store;
    {
        AuditWarnings logged(*this);
        store = audit::SetAutologonAccount(account.user, account.domain, password, audit::orCommandLine, logged.list);
    }
    if (engine::IsPlainValue(store))
        Warn("Windows did not accept the password into its protected store: it is kept in the registry value "
             "DefaultPassword, where other users of this computer may be able to read it.");
    if (store == engine::psPlainValueBehindProtected)
        Warn("An older password in the protected store could not be removed, and Windows may log on with it instead "
             "of the new one.");

    const diagnostics::AutologonState stored = diagnostics::ReadAutologonState();
    if (json_) {
        WriteJson(console_.out, Json{{"account", AccountJson(stored)},
                                     {"changes", AccountChanges(before, stored, true)},
                                     {"verification", VerificationName(check)},
                                     {"warnings", warnings_}});
    } else {
        console_.out << "Auto-logon account set to " << PrintableAccount(stored.user, stored.domain) << ", "
                     << PasswordText(stored.password) << ".\n";
    }
    return kDone;
}

int Session::ClearAccount() {
    RequireAdministrator("Clearing the auto-logon account");
    const diagnostics::AutologonState before = diagnostics::ReadAutologonState();
    {
        AuditWarnings logged(*this);
        audit::SetAutologonAccount({}, {}, os::SecretString(), audit::orCommandLine, logged.list);
    }
    if (json_) {
        const diagnostics::AutologonState cleared = diagnostics::ReadAutologonState();
        WriteJson(console_.out, Json{{"account", AccountJson(cleared)},
                                     {"changes", AccountChanges(before, cleared, false)},
                                     {"warnings", warnings_}});
    } else {
        console_.out << "Auto-logon account and password cleared.\n";
    }
    return kDone;
}

// ---------------------------------------------------------------- options

int Session::Options(const std::vector<CommandArgument>& assignments) {
    if (engine::PerUserSettingsOutOfReach())
        throw CommandFailure(kNoConsoleUser, std::string(kNoUserLeft) +
                                                 ", and the options are theirs: nothing was shown or saved.");
    settings::TOptions& options = *options_;
    std::vector<Assignment> assigned;
    for (const CommandArgument& argument : assignments) assigned.push_back(ParseAssignment(options, argument));

    bool featureChanged = false;
    for (const Assignment& assignment : assigned) {
        if (assignment.value && IsAdministratorOption(assignment.property->name) && !engine::IsAdministrator())
            throw CommandFailure(kNeedsAdministrator, assignment.property->name +
                                                          " can be switched on only with administrator rights. "
                                                          "Nothing was changed.");
        featureChanged = featureChanged || IsFeatureOption(assignment.property->name);
    }
    const std::vector<std::pair<std::string, bool>> before = settings::OptionValues(options);
    if (!assigned.empty()) {
        audit::TOptionsChange change(options, audit::orCommandLine);
        std::vector<std::string> names;
        for (const Assignment& assignment : assigned) {
            assignment.property->write(options, std::int64_t{assignment.value});
            if (std::find(names.begin(), names.end(), assignment.property->name) == names.end())
                names.push_back(assignment.property->name);
        }
        // As in the options dialog, where OK stays disabled once the last feature is unchecked.
        if (featureChanged && !options.AutochangeStartup() && !options.AutochangeStandby() &&
            !options.AutochangeScreenSaver())
            throw CommandFailure(kBadUsage, "At least one of AutochangeStartup, AutochangeStandby and "
                                            "AutochangeScreenSaver must stay True. Nothing was saved.");
        AuditWarnings logged(*this);
        try {
            SaveOptions(names);
        } catch (const CommandFailure& failure) {
            change.Report(logged.list, failure.what());
            throw;
        }
        change.Report(logged.list);
    }
    if (json_) {
        Json changes = Json::array();
        const std::vector<std::pair<std::string, bool>> after = settings::OptionValues(options);
        for (std::size_t i = 0; i < after.size(); ++i)
            if (before[i].second != after[i].second)
                changes.push_back(Change(after[i].first, before[i].second, after[i].second));
        WriteJson(console_.out,
                  Json{{"options", OptionsJson(options)}, {"changes", changes}, {"warnings", warnings_}});
    } else {
        ShowOptions();
    }
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
                                               " (under " + UserRootName() + "\\" +
                                               os::ToUtf8(options_->KeyPath()) + ").");
}

// ---------------------------------------------------------------- undo

int Session::Undo(bool force) {
    switching::TUndoOutcome outcome;
    {
        AuditWarnings logged(*this);
        outcome = audit::UndoLastSwitch(*options_, force, audit::orCommandLine, logged.list);
    }
    if (!outcome.problem.empty()) Warn(outcome.problem);
    const std::optional<switching::TLastSwitch>& last = outcome.last;
    const std::string described =
        last ? std::string("the switch to ") + ModeName(last->before.mode) + " mode of " +
                   switching::LocalTimeText(last->time)
             : std::string();
    std::string refusal;
    int code = kDone;
    switch (outcome.result) {
    case switching::TUndoResult::NeedsAdministrator:
        throw CommandFailure(kNeedsAdministrator, "Undoing " + described +
                                                      " needs administrator rights, as it changed the start-up or "
                                                      "resume setting: run gatewisecmd from an elevated command "
                                                      "prompt. Nothing was changed.");
    case switching::TUndoResult::NothingToUndo:
        refusal = "There is no switch to undo.";
        code = kNothingToUndo;
        break;
    case switching::TUndoResult::ChangedSince: {
        std::string names;
        for (const std::string& name : outcome.changed) names += (names.empty() ? "" : ", ") + name;
        refusal = (last->after ? "The settings changed since " + described + ": " + Printable(names) + "."
                               : "It cannot be told whether the settings changed since " + described +
                                     ", as that switch did not finish.") +
                  " Nothing was changed; gatewisecmd undo --force undoes the switch anyway.";
        code = kChangedSinceSwitch;
        break;
    }
    case switching::TUndoResult::Done:
        break;
    }
    if (!refusal.empty()) console_.err << refusal << '\n';
    if (!json_) {
        if (code == kDone) console_.out << "Undid " << described << ": the settings are as they were before it.\n";
        return code;
    }
    Json changed = Json::array();
    for (const std::string& name : outcome.changed) changed.push_back(name);
    Json object{{"result", code == kDone ? "undone" : code == kChangedSinceSwitch ? "changed-since" : "nothing-to-undo"},
                {"switch", last ? Json{{"mode", ModeName(last->before.mode)},
                                       {"time", switching::UtcTimeText(last->time)},
                                       {"finished", last->after.has_value()}}
                                : Json(nullptr)},
                {"changedSince", changed},
                {"mode", ModeName(options_->GetCurrentMode())},
                {"warnings", warnings_}};
    // A refusal carries what a failed command's object holds as well.
    if (code != kDone) object.update(FailureJson(refusal, code));
    WriteJson(console_.out, object);
    return code;
}

// ---------------------------------------------------------------- diagnose

int Session::Diagnose(TPromptMode target) {
    std::vector<diagnostics::CheckResult> results = diagnostics::RunDiagnostics(*options_, target);
    const auto count = [&](diagnostics::Verdict verdict) {
        return std::count_if(results.begin(), results.end(), [&](const auto& r) { return r.verdict == verdict; });
    };
    const auto problems = count(diagnostics::Verdict::Problem);
    const auto warnings = count(diagnostics::Verdict::Warning);

    std::ostream& out = console_.out;
    if (json_) {
        Json checks = Json::array();
        for (const diagnostics::CheckResult& result : results)
            checks.push_back({{"id", result.id},
                              {"verdict", diagnostics::VerdictName(result.verdict)},
                              {"finding", result.finding},
                              {"fix", result.fix}});
        WriteJson(out, Json{{"problems", problems},
                            {"warnings", warnings},
                            {"checks", checks},
                            {"for", target == settings::pmCustom ? Json(nullptr) : Json(ModeName(target))},
                            {"settingsOf", OrNull(SettingsOwner())}});
    } else {
        out << SettingsOwnerLine();
        diagnostics::SortBySeverity(results);
        for (const diagnostics::CheckResult& result : results) {
            std::string verdict = diagnostics::VerdictName(result.verdict);
            verdict.resize(9, ' ');
            out << verdict << result.id << "\n         " << Printable(result.finding) << '\n';
            if (!result.fix.empty()) out << "         Fix: " << Printable(result.fix) << '\n';
        }
        out << problems << (problems == 1 ? " problem, " : " problems, ") << warnings
            << (warnings == 1 ? " warning" : " warnings")
            << (target == settings::pmCustom ? "" : std::string(" for ") + ModeName(target) + " mode") << ".\n";
    }
    return problems > 0 ? kProblemFound : kDone;
}

// ---------------------------------------------------------------- selftest

int Session::SelfTest() {
    const std::vector<diagnostics::SelfTestResult> results = diagnostics::RunSelfTest();
    const auto count = [&](diagnostics::SelfTestOutcome outcome) {
        return std::count_if(results.begin(), results.end(), [&](const auto& r) { return r.outcome == outcome; });
    };
    const auto failed = count(diagnostics::SelfTestOutcome::Failed);

    std::ostream& out = console_.out;
    if (json_) {
        Json checks = Json::array();
        for (const diagnostics::SelfTestResult& result : results)
            checks.push_back({{"id", result.id},
                              {"result", diagnostics::SelfTestOutcomeName(result.outcome)},
                              {"detail", result.detail}});
        WriteJson(out, Json{{"passed", count(diagnostics::SelfTestOutcome::Passed)},
                            {"failed", failed},
                            {"skipped", count(diagnostics::SelfTestOutcome::Skipped)},
                            {"checks", checks}});
    } else {
        for (const diagnostics::SelfTestResult& result : results) {
            std::string outcome = diagnostics::SelfTestOutcomeName(result.outcome);
            outcome.resize(9, ' ');
            out << outcome << result.id << "\n         " << Printable(result.detail) << '\n';
        }
        out << count(diagnostics::SelfTestOutcome::Passed) << " passed, " << failed << " failed, "
            << count(diagnostics::SelfTestOutcome::Skipped) << " skipped.\n";
    }
    return failed > 0 ? kSelfTestFailed : kDone;
}

}  // namespace cli
