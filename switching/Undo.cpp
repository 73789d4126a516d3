#include "switching/Undo.h"

#include "engine/NTSecurity.h"
#include "switching/SwitchRecord.h"

#include "engine/VistaPower.h"

#include <algorithm>

namespace switching {
namespace {

// Leaves out of `record` the power schemes that are not among `existing`;
// returns them.
std::vector<GUID> LeaveOutSchemes(TSwitchRecord& record, const std::vector<engine::SchemeLockOnWake>& existing) {
    std::vector<GUID> gone;
    std::erase_if(record.lockOnWake, [&](const engine::SchemeLockOnWake& scheme) {
        const bool exists = std::any_of(existing.begin(), existing.end(),
                                        [&](const auto& other) { return other.scheme == scheme.scheme; });
        if (!exists) gone.push_back(scheme.scheme);
        return !exists;
    });
    return gone;
}

// The switch as it can be undone on this PC now: without the power schemes
// that were deleted since, which it names.
TLastSwitch WithoutSchemesGone(TLastSwitch last, std::vector<std::string>& named) {
    if (last.before.lockOnWake.empty()) return last;
    const std::vector<engine::SchemeLockOnWake> existing = engine::VistaReadLockOnWake(true);
    for (const GUID& scheme : LeaveOutSchemes(last.before, existing)) named.push_back(os::GuidText(scheme));
    if (last.after) LeaveOutSchemes(*last.after, existing);
    return last;
}

// The record less its machine-wide settings, which undo leaves as they are.
TSwitchRecord WithoutMachineWide(TSwitchRecord record) {
    record.startup = false;
    record.lockOnWake.clear();
    record.passwordOnResumeFlag.reset();
    return record;
}

bool CoversAnything(const TSwitchRecord& record) {
    return CoversMachineWideSettings(record) || record.screenSaver || (record.resume && record.modernStandby);
}

}  // namespace

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
    const TLastSwitch& recorded = *outcome.last;
    TLastSwitch undoable = recorded;
    if (!stored.machineWideConfirmed) {
        outcome.machineWideLeft = true;
        outcome.problem = "The record of the last switch covers the start-up or resume setting, but its copy under "
                          "HKEY_LOCAL_MACHINE\\" + os::ToUtf8(options.KeyPath()) +
                          ", where only administrators write, is missing (as for a record of an earlier version) or "
                          "of another switch, so those settings were left as they are.";
        undoable.before = WithoutMachineWide(recorded.before);
        if (recorded.after) undoable.after = WithoutMachineWide(*recorded.after);
        if (!CoversAnything(undoable.before)) return outcome;
    }
    // Undoing a switch to secure mode puts back settings that did not ask.
    if (recorded.before.mode == settings::pmSecure) settings::RequireRelaxedModeAllowed(settings::TPolicies::Read());
    if (CoversMachineWideSettings(undoable.before)) {
        if (!engine::IsAdministrator()) {
            outcome.result = TUndoResult::NeedsAdministrator;
            return outcome;
        }
        lock.TakeMachineWide();
    }
    TLastSwitch last;
    TSwitchRecord now;
    try {
        last = WithoutSchemesGone(undoable, outcome.schemesGone);
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
    ForgetLastSwitch(options, recorded);
    outcome.result = TUndoResult::Done;
    return outcome;
}

}  // namespace switching
