#pragma once
// Undoing the last switch: the settings it covered get back their values
// from before it, exactly, as its record (switching/LastSwitch.h) holds them.

#include "engine/ChangeLock.h"
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
    RecordChanged,       // the last switch is not the one named any more; nothing was changed
};

struct TUndoOutcome {
    TUndoResult result = TUndoResult::NothingToUndo;
    std::optional<TLastSwitch> last;   // the switch concerned; with RecordChanged, the last one now
    std::vector<std::string> changed;  // the settings that changed since, by name
    std::string problem;
    // The switch removed the stored password: the start-up setting was left
    // as it is, asking until a password is stored again.
    bool startupLeftAsking = false;
    // The power schemes the record names that no longer exist ("{guid}"):
    // left out, while the rest of the switch is undone.
    std::vector<std::string> schemesGone;
    // The record covers machine-wide settings, but its copy where only
    // administrators write is missing or another switch's
    // (switching/LastSwitch.h): they were left as they are. With nothing else
    // to undo, the result is NothingToUndo.
    bool machineWideLeft = false;
};

// Undoes the last switch under `lock`, whose per-user part the caller holds
// (the machine-wide part is added when the switch covered the start-up or
// resume setting): every setting it covered gets its value from before it,
// exactly, and its record is forgotten. It refuses, changing nothing, when
// the settings changed since the switch (or the switch did not finish, so
// that this cannot be told) unless `force`, and when the switch covered a
// setting that only an administrator may change and this process is none.
// With `named`, it undoes only that switch: when the last switch is another
// one now (as after a question to the user, while which another switch was
// made), it refuses with RecordChanged. A switch that removed the stored
// password (forgetsPassword) has every setting put back but the start-up
// setting, which keeps asking: no password is recorded. While the policy
// turns relaxed mode off, undoing a switch to secure mode raises
// settings::EForbiddenByPolicy, changing nothing. All or nothing: a
// write that fails puts back what the undo had changed and raises
// ESwitchFailed; the record stays.
TUndoOutcome UndoLastSwitch(const settings::TPersistentOptions& options, bool force, engine::TChangeLock& lock,
                            const TLastSwitch* named = nullptr);

}  // namespace switching
