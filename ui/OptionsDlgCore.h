#pragma once
// The options dialog's rules and its save, which need no window.

#include "settings/Options.h"

#include <vector>

namespace ui {

// A switch must change at least one of the three password prompts: with none
// of them enabled the warning line shows and OK is disabled. The power-scheme
// option does not count.
bool AnyPromptEnabled(bool startup, bool standby, bool screenSaver);

// The dialog's six check boxes.
struct TOptionBoxes {
    bool startup = false;
    bool standby = false;
    bool screenSaver = false;
    bool allPowerProfiles = false;
    bool forgetPassword = false;
    bool verifyPassword = false;
};

// What OK saves: the options whose box the user changed since the dialog
// showed `shown`, and no other.
std::vector<settings::TOptionChange> ChangedOptions(const TOptionBoxes& shown, const TOptionBoxes& now);

// OK's save, under the change lock: `changes` go on top of the options as
// stored now, which another program may have changed since the dialog
// opened, and only those options are saved and reported to the event log.
// False, with nothing changed, when the result would enable none of the three
// prompts. Raises engine::EChangeInProgress when another change holds the lock.
bool SaveOptionChanges(settings::TOptions& options, const std::vector<settings::TOptionChange>& changes);

}  // namespace ui
