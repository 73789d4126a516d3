#pragma once
// Undoing the last switch: the settings it covered get back their values
// from before it, exactly, as its record (switching/LastSwitch.h) holds them.

#include "settings/RegOpts.h"
#include "switching/LastSwitch.h"

#include <optional>
#include <string>
#include <vector>

namespace switching {

enum class TUndoResult {
    Done,                // the settings are back as they were before the switch
    NothingToUndo,       // no record (or one that was not taken: problem says why)
    ChangedSince,        // the settings no longer hold what the switch wrote; nothing was changed
    NeedsAdministrator,  // the switch covered the start-up or resume setting; nothing was changed
};

struct TUndoOutcome {
    TUndoResult result = TUndoResult::NothingToUndo;
    std::optional<TLastSwitch> last;   // the switch concerned
    std::vector<std::string> changed;  // the settings that changed since, by name
    std::string problem;
};

// Undoes the last switch: every setting it covered gets its value from
// before it, exactly, and the record is forgotten. It refuses, changing
// nothing, when the settings changed since the switch (or the switch did not
// finish, so that this cannot be told) unless `force`, and when the switch
// covered a setting that only an administrator may change and this process
// is none. All or nothing: a write that fails puts back what the undo had
// changed and raises ESwitchFailed; the record stays.
TUndoOutcome UndoLastSwitch(const settings::TPersistentOptions& options, bool force);

}  // namespace switching
