#pragma once
// A whole switch of the mode: recorded, stored for undo, written, and put
// back when a write fails.

#include "settings/Options.h"
#include "switching/SwitchRecord.h"

namespace switching {

struct TSwitchResult {
    TSwitchRecord record;         // the settings as they were before
    bool undoAvailable = false;   // its record is stored for undo
};

// The options that another process stored since are taken first, then the
// settings are recorded, the record is stored for undo (switching/LastSwitch.h),
// and the settings are written. A switch whose record cannot be stored still
// happens. Every failure raises ESwitchFailed, and the record of the switch
// before stays the one to undo.
TSwitchResult SwitchMode(settings::TOptions& options, settings::TPromptMode mode);

}  // namespace switching
