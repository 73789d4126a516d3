#include "switching/Switch.h"

#include "switching/LastSwitch.h"

namespace switching {

TSwitchResult SwitchMode(settings::TOptions& options, settings::TPromptMode mode) {
    if (mode != settings::pmSecure && mode != settings::pmRelaxed) return {};
    options.AdoptStoredChanges();
    TSwitchRecord record;
    try {
        record = RecordSwitch(options, mode);
    } catch (const std::exception& error) {
        throw ESwitchFailed(error.what(), {});
    }
    TSwitchJournal journal(options, record);
    ApplySwitch(options, record);
    return {record, journal.Complete()};
}

}  // namespace switching
