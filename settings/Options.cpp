#include "settings/Options.h"

#include "engine/ConsoleUser.h"
#include "engine/NTSecurity.h"
#include "engine/Utilities.h"

#include <stdexcept>

namespace settings {
namespace {

OptionsPtr<TOptions>& Global() {
    static OptionsPtr<TOptions> options;
    return options;
}

}  // namespace

TOptions::TOptions(bool localMachine, os::WString keyPath) : TPersistentOptions(localMachine, std::move(keyPath)) {}

const std::vector<PublishedProperty>& TOptions::Properties() const {
    static const std::vector<PublishedProperty> properties = {
        BooleanProperty("AutochangeStartup", &TOptions::OwnAutochangeStartup, &TOptions::SetAutochangeStartup),
        BooleanProperty("AutochangeStandby", &TOptions::OwnAutochangeStandby, &TOptions::SetAutochangeStandby),
        BooleanProperty("AutochangeScreenSaver", &TOptions::OwnAutochangeScreenSaver,
                        &TOptions::SetAutochangeScreenSaver),
        BooleanProperty("VerifyPassword", &TOptions::OwnVerifyPassword, &TOptions::SetVerifyPassword),
        BooleanProperty("ModifyAllPowerProfiles", &TOptions::OwnModifyAllPowerProfiles,
                        &TOptions::SetModifyAllPowerProfiles),
        BooleanProperty("ForgetPasswordInSecureMode", &TOptions::OwnForgetPasswordInSecureMode,
                        &TOptions::SetForgetPasswordInSecureMode),
    };
    return properties;
}

std::vector<std::pair<std::string, bool>> OptionValues(TOptions& options) {
    using Accessor = bool (TOptions::*)();
    static const std::pair<const char*, Accessor> accessors[] = {
        {"AutochangeStartup", &TOptions::AutochangeStartup},
        {"AutochangeStandby", &TOptions::AutochangeStandby},
        {"AutochangeScreenSaver", &TOptions::AutochangeScreenSaver},
        {"VerifyPassword", &TOptions::VerifyPassword},
        {"ModifyAllPowerProfiles", &TOptions::ModifyAllPowerProfiles},
        {"ForgetPasswordInSecureMode", &TOptions::ForgetPasswordInSecureMode},
    };
    std::vector<std::pair<std::string, bool>> values;
    for (const auto& [name, accessor] : accessors) values.emplace_back(name, (options.*accessor)());
    return values;
}

bool ApplyOptionChanges(TOptions& options, const std::vector<TOptionChange>& changes) {
    std::vector<std::pair<std::string, bool>> before;
    for (const PublishedProperty& property : options.Properties())
        before.emplace_back(property.name, std::get<std::int64_t>(property.read(options)) != 0);
    const auto write = [&](const std::string& name, bool value) {
        for (const PublishedProperty& property : options.Properties())
            if (os::EqualsIgnoringCase(property.name, name)) property.write(options, std::int64_t{value});
    };
    bool featureOff = false;
    for (const auto& [name, value] : changes) {
        write(name, value);
        featureOff = featureOff || (!value && (os::EqualsIgnoringCase(name, "AutochangeStartup") ||
                                               os::EqualsIgnoringCase(name, "AutochangeStandby") ||
                                               os::EqualsIgnoringCase(name, "AutochangeScreenSaver")));
    }
    if (!featureOff || options.AutochangeStartup() || options.AutochangeStandby() || options.AutochangeScreenSaver())
        return true;
    for (const auto& [name, value] : before) write(name, value);
    return false;
}

void TOptions::SetDefaults() {
    autochangeStartup_ = engine::IsAdministrator();
    autochangeStandby_ = engine::IsAdministrator();
    autochangeScreenSaver_ = true;
    verifyPassword_ = true;
    modifyAllPowerProfiles_ = false;
    forgetPasswordInSecureMode_ = false;
}

bool TOptions::Load() {
    policies_ = TPolicies::Read();
    return TPersistentOptions::Load();
}

bool TOptions::OwnAutochangeStartup() {
    if (!engine::IsAdministrator()) autochangeStartup_ = false;
    return autochangeStartup_;
}

bool TOptions::OwnAutochangeStandby() {
    if (!engine::IsAdministrator()) autochangeStandby_ = false;
    return autochangeStandby_;
}

bool TOptions::OwnAutochangeScreenSaver() { return autochangeScreenSaver_ && !engine::PerUserSettingsOutOfReach(); }

// A policy never lifts the administrator rule.
bool TOptions::AutochangeStartup() {
    if (!engine::IsAdministrator()) return autochangeStartup_ = false;
    return InForce("AutochangeStartup", autochangeStartup_);
}

bool TOptions::AutochangeStandby() {
    if (!engine::IsAdministrator()) return autochangeStandby_ = false;
    return InForce("AutochangeStandby", autochangeStandby_);
}

bool TOptions::AutochangeScreenSaver() {
    return InForce("AutochangeScreenSaver", autochangeScreenSaver_) && !engine::PerUserSettingsOutOfReach();
}

TPromptMode TOptions::GetCurrentMode() {
    int relaxed = 0;
    int secure = 0;
    auto count = [&](bool asks) { ++(asks ? secure : relaxed); };
    if (AutochangeStartup()) count(engine::GetAskPasswordOnStartup());
    if (AutochangeStandby()) count(engine::GetAskPasswordOnResume());
    if (AutochangeScreenSaver()) count(engine::GetAskPasswordOnScreenSaver());
    if (relaxed == 0 && secure > 0) return pmSecure;
    if (relaxed > 0 && secure == 0) return pmRelaxed;
    return pmCustom;
}

TSettingSet TOptions::Enabled() { return {AutochangeStartup(), AutochangeStandby(), AutochangeScreenSaver()}; }

void TOptions::ApplyMode(TPromptMode mode) {
    if (mode == pmSecure || mode == pmRelaxed) WriteMode(mode, Enabled(), ModifyAllPowerProfiles());
}

void WriteMode(TPromptMode mode, const TSettingSet& settings, bool allSchemes) {
    if (mode != pmSecure && mode != pmRelaxed) return;
    const bool ask = mode == pmSecure;
    if (settings.startup) engine::SetAskPasswordOnStartup(ask);
    if (settings.resume) engine::SetAskPasswordOnResume(ask, allSchemes);
    if (settings.screenSaver) engine::SetAskPasswordOnScreenSaver(ask);
}

TOptions& GlobalOptions() {
    if (!Global()) throw std::logic_error("GlobalOptions used before CreateGlobalOptions");
    return *Global();
}

void CreateGlobalOptions(const os::WString& keyPath) {
    Global() = Create<TOptions>(false, keyPath);
    Global()->SetSaveOnDestroy(false);
    // Every option exists in the key from the first start on, in canonical form.
    Global()->Save();
}

void FreeGlobalOptions() { Global().reset(); }

}  // namespace settings
