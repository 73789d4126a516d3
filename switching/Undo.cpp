#include "switching/Undo.h"

#include "engine/NTSecurity.h"
#include "switching/SwitchRecord.h"

namespace switching {

TUndoOutcome UndoLastSwitch(const settings::TPersistentOptions& options, bool force, engine::TChangeLock& lock,
                            const TLastSwitch* named) {
    TStoredSwitch stored = ReadLastSwitch(options);
    TUndoOutcome outcome;
    outcome.problem = std::move(stored.problem);
    outcome.last = std::move(stored.last);
    if (named && outcome.last != *named) {
        outcome.result = TUndoResult::RecordChanged;
        return outcome;
    }
    if (!outcome.last) return outcome;
    const TLastSwitch& last = *outcome.last;
    // Undoing a switch to secure mode puts back settings that did not ask.
    if (last.before.mode == settings::pmSecure) settings::RequireRelaxedModeAllowed(settings::TPolicies::Read());
    if (last.before.startup || last.before.resume) {
        if (!engine::IsAdministrator()) {
            outcome.result = TUndoResult::NeedsAdministrator;
            return outcome;
        }
        lock.TakeMachineWide();
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
    TSwitchRecord target = last.before;
    if (target.forgetsPassword) {
        target.autoAdminLogon = now.autoAdminLogon;
        target.autoLogonCount = now.autoLogonCount;
        outcome.startupLeftAsking = true;
    }
    RestoreSwitchOrRaise(target, now);
    ForgetLastSwitch(options, last);
    outcome.result = TUndoResult::Done;
    return outcome;
}

}  // namespace switching
