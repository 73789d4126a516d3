#pragma once
// gatewisecmd secure, relaxed and undo: the switch of the mode, and its undo.

#include "cli/Session.h"
#include "settings/Options.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct SwitchOptions {
    bool verify = false;  // secure mode only; the password comes from standard input
    bool once = false;    // relaxed mode only, with automatic logon for the next start only
    std::optional<settings::TSettingSet> only;  // --only: these settings, whatever the options say
};

// The settings --only names ("startup", "resume", "screensaver", in any
// case); nullopt for none. A name it does not know raises CommandFailure.
std::optional<settings::TSettingSet> OnlySettings(const std::vector<std::string>& names);
int Switch(Session& session, settings::TPromptMode mode, const SwitchOptions& options);
// Undoes the last switch; `force` also when the settings changed since.
int Undo(Session& session, bool force);

}  // namespace cli
