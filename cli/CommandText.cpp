#include "cli/CommandText.h"

#include "engine/AccountNames.h"
#include "engine/ConsoleUser.h"
#include "engine/Utilities.h"

namespace cli {
namespace {

SettingState ReadSetting(bool managed, bool (*asksPassword)()) {
    if (!managed) return SettingState::NotManaged;
    return asksPassword() ? SettingState::Asks : SettingState::DoesNotAsk;
}

}  // namespace

std::string Printable(std::string_view text) { return engine::EscapedText(text); }

std::string PrintableAccount(const os::WString& user, const os::WString& domain) {
    return Printable(diagnostics::AccountDisplayName(user, domain));
}

const char* ModeName(settings::TPromptMode mode) {
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

SettingStates ReadSettings(settings::TOptions& options) { return ReadSettings(options.Enabled()); }

SettingStates ReadSettings(const settings::TSettingSet& managed) {
    return {ReadSetting(managed.startup, engine::GetAskPasswordOnStartup),
            ReadSetting(managed.resume, engine::GetAskPasswordOnResume),
            engine::PerUserSettingsOutOfReach() ? SettingState::NoUser
                                                : ReadSetting(managed.screenSaver, engine::GetAskPasswordOnScreenSaver)};
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

const char* PasswordText(diagnostics::PasswordStore store) {
    switch (store) {
    case diagnostics::PasswordStore::None:
        return "no password stored";
    case diagnostics::PasswordStore::Protected:
        return "password in the protected store";
    case diagnostics::PasswordStore::Plain:
        return "password in a plain registry value";
    case diagnostics::PasswordStore::Both:
        return "password in the protected store and in a plain registry value";
    case diagnostics::PasswordStore::Unknown:
        break;
    }
    return "whether a password is stored could not be read";
}

Json OptionsJson(settings::TOptions& options) {
    Json json = Json::object();
    for (const auto& [name, value] : settings::OptionValues(options)) json[name] = value;
    return json;
}

Json AccountJson(const diagnostics::AutologonState& account) {
    return Json{{"user", os::ToUtf8(account.user)},
                {"domain", os::ToUtf8(account.domain)},
                {"password", diagnostics::PasswordStoreName(account.password)}};
}

Json OrNull(const std::optional<std::string>& text) { return text ? Json(*text) : Json(nullptr); }

void ShowOptions(std::ostream& out, settings::TOptions& options) {
    for (const auto& [name, value] : settings::OptionValues(options))
        out << "  " << name << '=' << (value ? "True" : "False")
            << (options.SetByPolicy(name) ? "  (set by your organization)" : "") << '\n';
}

Json PoliciesJson(const settings::TPolicies& policies) {
    Json json = Json::object();
    for (const settings::TPolicyValue& policy : policies.InForce()) json[policy.name] = policy.value;
    return json;
}

}  // namespace cli
