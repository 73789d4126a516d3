#pragma once
// A whole switch of the mode: recorded, stored for undo, written, and put
// back when a write fails; one at a time (engine/ChangeLock.h).

#include "engine/ChangeLock.h"
#include "settings/Options.h"
#include "switching/SwitchRecord.h"

namespace switching {

struct TSwitchResult {
    TCoverage coverage;            // what it covered, and what it left out and why
    TSwitchRecord record;          // the settings as they were before
    bool undoAvailable = false;    // its record is stored for undo
    bool changedNothing = false;   // every setting it covers held the mode already
};

// A switch refused because it would cover none of the three settings; the
// message says why.
class ENothingToSwitch : public ESwitchFailed {
public:
    explicit ENothingToSwitch(const TCoverage& coverage);
    TCoverage Coverage;
};

// Takes the options that another process stored since, decides what a switch
// covers (switching/Coverage.h) and, when that is the start-up or the resume
// setting, takes the machine-wide part of `lock` as well. Called under the
// per-user part, so that the options stay as read.
TCoverage LockForSwitch(settings::TOptions& options, engine::TChangeLock& lock, const TCoverageRequest& request = {});

// A switch under `lock` (LockForSwitch is applied first): the settings are
// recorded, the record is stored for undo (switching/LastSwitch.h), and the
// settings are written. A switch whose record cannot be stored still happens.
// One that changed nothing withdraws its record, so that the switch before
// stays the one to undo. Every failure raises ESwitchFailed; one that left
// settings changed (they could not be put back) keeps its record, so that
// undo can put them back later, and any other leaves the record before.
// `once` limits relaxed mode to the next start (switching/SwitchRecord.h);
// `request` is what the caller asks the switch to cover beyond the options.
// While the policy turns relaxed mode off, a switch to it raises
// settings::EForbiddenByPolicy before anything is read or written.
TSwitchResult SwitchMode(settings::TOptions& options, settings::TPromptMode mode, engine::TChangeLock& lock,
                         bool once = false, const TCoverageRequest& request = {});

// Removes the auto-logon account under `lock` (its machine-wide part is
// taken here): automatic logon off and AutoLogonCount removed, as a switch of
// the start-up setting alone, then the stored password (protected and plain)
// and the account's name. The record kept for undo is that of a switch to
// secure mode that forgets the password, so undo leaves start-up asking; it
// never holds the password or the name. A failure puts back what the record
// holds and raises ESwitchFailed. changedNothing: no account or password was
// stored and automatic logon was off already.
TSwitchResult RemoveAutologonAccount(settings::TOptions& options, engine::TChangeLock& lock);

}  // namespace switching
