#include "switching/Undo.h"

#include "engine/NTSecurity.h"
#include "switching/SwitchRecord.h"

namespace switching {

TUndoOutcome UndoLastSwitch(const settings::TPersistentOptions& options, bool force) {
    TStoredSwitch stored = ReadLastSwitch(options);
    TUndoOutcome outcome;
    outcome.problem = std::move(stored.problem);
    if (!stored.last) return outcome;
    outcome.last = std::move(stored.last);
    const TLastSwitch& last = *outcome.last;
    if ((last.before.startup || last.before.resume) && !engine::IsAdministrator()) {
        outcome.result = TUndoResult::NeedsAdministrator;
        return outcome;
    }
    TSwitchRecord now;
    try {
        now = ReadRecordedSettings(last.before);
    } catch (const std::exception& error) {
        throw ESwitchFailed(error.what(), {});
    }
    if (last.after) outcome.changed = DifferentSettings(*last.after, now);
    if ((!last.after || !outcome.changed.empty()) && !force) {
        outcome.result = TUndoResult::ChangedSince;
        return outcome;
    }
    RestoreSwitchOrRaise(last.before, now);
    ForgetLastSwitch(options);
    outcome.result = TUndoResult::Done;
    return outcome;
}

}  // namespace switching
