#include "ui/OptionsDlgCore.h"

#include "audit/Audit.h"
#include "engine/ChangeLock.h"

#include <string>

namespace ui {

bool AnyPromptEnabled(bool startup, bool standby, bool screenSaver) { return startup || standby || screenSaver; }

std::vector<settings::TOptionChange> ChangedOptions(const TOptionBoxes& shown, const TOptionBoxes& now) {
    std::vector<settings::TOptionChange> changes;
    const auto compare = [&](const char* name, bool before, bool after) {
        if (before != after) changes.emplace_back(name, after);
    };
    compare("AutochangeStartup", shown.startup, now.startup);
    compare("AutochangeStandby", shown.standby, now.standby);
    compare("AutochangeScreenSaver", shown.screenSaver, now.screenSaver);
    compare("ModifyAllPowerProfiles", shown.allPowerProfiles, now.allPowerProfiles);
    compare("ForgetPasswordInSecureMode", shown.forgetPassword, now.forgetPassword);
    compare("VerifyPassword", shown.verifyPassword, now.verifyPassword);
    return changes;
}

bool SaveOptionChanges(settings::TOptions& options, const std::vector<settings::TOptionChange>& changes) {
    if (changes.empty()) return true;
    const engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
    options.AdoptStoredChanges();
    audit::TOptionsChange change(options, audit::orWindow);
    if (!settings::ApplyOptionChanges(options, changes)) return false;
    std::vector<std::string> names;
    for (const auto& [name, value] : changes) names.push_back(name);
    options.SaveOnly(names);
    audit::Warnings ignored;  // as for a switch in the main window
    change.Report(ignored);
    return true;
}

}  // namespace ui
