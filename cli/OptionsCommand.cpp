#include "cli/OptionsCommand.h"

#include "cli/CommandText.h"
#include "engine/ChangeLock.h"
#include "engine/ConsoleUser.h"
#include "engine/NTSecurity.h"

#include <algorithm>
#include <optional>

namespace cli {
namespace {

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
                                            "AutochangeScreenSaver, ModifyAllPowerProfiles, "
                                            "ForgetPasswordInSecureMode and VerifyPassword.");
    if (!os::EqualsIgnoringCase(value, "True") && !os::EqualsIgnoringCase(value, "False"))
        throw CommandFailure(kBadUsage, position + ": the value of " + property->name + " must be True or False.");
    const bool on = os::EqualsIgnoringCase(value, "True");
    // Turning the prompt off is the user's own choice, made where they proved
    // they know the password; turning it back on needs no such proof.
    if (options.SetByPolicy(property->name))
        throw CommandFailure(kForbiddenByPolicy, property->name + " is set by your organization (policy under " +
                                                     settings::kPolicyKeyText + "). Nothing was changed.");
    if (property->name == "VerifyPassword" && !on)
        throw CommandFailure(kBadUsage, "VerifyPassword is turned off only by the password verification of the main "
                                        "window (\"Don't show this prompt again\"); gatewisecmd can only turn it "
                                        "on.");
    return {&*property, on};
}

// Saves only the options named, so that a command run at the same time that
// changes others does not lose its change, and reads each back: the options
// key may refuse writes, which the persistence layer skips silently.
void SaveOptions(settings::TOptions& options, const std::vector<std::string>& names) {
    options.SaveOnly(names);
    std::string lost;
    for (const std::string& name : names)
        if (!options.IsSaved(name)) lost += (lost.empty() ? "" : ", ") + name;
    if (!lost.empty())
        throw CommandFailure(kSystemError, "Not saved, as the registry did not keep the new value: " + lost +
                                               " (under " + UserRootName() + "\\" + os::ToUtf8(options.KeyPath()) +
                                               ").");
}

// Makes the changes on top of the options as stored now, under the lock, and
// saves those options alone.
void SaveChanges(Session& session, settings::TOptions& options, const std::vector<settings::TOptionChange>& changes) {
    audit::TOptionsChange change(options, audit::orCommandLine);
    // As in the options dialog, where OK stays disabled once the last feature is unchecked.
    if (!settings::ApplyOptionChanges(options, changes))
        throw CommandFailure(kBadUsage, "At least one of AutochangeStartup, AutochangeStandby and "
                                        "AutochangeScreenSaver must stay True. Nothing was saved.");
    std::vector<std::string> names;
    for (const auto& [name, value] : changes)
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    Session::AuditWarnings logged(session);
    try {
        SaveOptions(options, names);
    } catch (const CommandFailure& failure) {
        change.Report(logged.list, failure.what());
        throw;
    }
    change.Report(logged.list);
}

}  // namespace

int Options(Session& session, const std::vector<CommandArgument>& assignments) {
    if (engine::PerUserSettingsOutOfReach())
        throw CommandFailure(kNoConsoleUser, std::string(kNoUserLeft) +
                                                 ", and the options are theirs: nothing was shown or saved.");
    settings::TOptions& options = session.ProgramOptions();
    std::vector<settings::TOptionChange> changes;
    for (const CommandArgument& argument : assignments) {
        const Assignment assignment = ParseAssignment(options, argument);
        const std::string& name = assignment.property->name;
        if (assignment.value && (name == "AutochangeStartup" || name == "AutochangeStandby") &&
            !engine::IsAdministrator())
            throw CommandFailure(kNeedsAdministrator,
                                 name + " can be switched on only with administrator rights. Nothing was changed.");
        changes.emplace_back(name, assignment.value);
    }
    std::optional<engine::TChangeLock> lock;
    if (!changes.empty()) lock.emplace(engine::TChangeLock::lpPerUser);
    options.AdoptStoredChanges();
    const std::vector<std::pair<std::string, bool>> before = settings::OptionValues(options);
    if (!changes.empty()) SaveChanges(session, options, changes);
    lock.reset();
    if (session.WantsJson()) {
        Json changed = Json::array();
        const std::vector<std::pair<std::string, bool>> after = settings::OptionValues(options);
        for (std::size_t i = 0; i < after.size(); ++i)
            if (before[i].second != after[i].second)
                changed.push_back(Change(after[i].first, before[i].second, after[i].second));
        WriteJson(session.Out(),
                  Json{{"options", OptionsJson(options)}, {"changes", changed}, {"warnings", session.Warnings()}});
    } else {
        ShowOptions(session.Out(), options);
    }
    return kDone;
}

}  // namespace cli
