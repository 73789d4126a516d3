#include "switching/Switch.h"

#include "switching/LastSwitch.h"

#include <optional>

namespace switching {
namespace {

// The covered settings as the switch left them; nullopt when they cannot be read.
std::optional<TSwitchRecord> SettingsAfter(const TSwitchRecord& record) {
    try {
        return ReadRecordedSettings(record);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

ENothingToSwitch::ENothingToSwitch()
    : ESwitchFailed("There is nothing to switch: the options enable none of the three settings, or only those that "
                    "need administrator rights.",
                    {}) {}

void LockForSwitch(settings::TOptions& options, engine::TChangeLock& lock) {
    options.AdoptStoredChanges();
    if (options.AutochangeStartup() || options.AutochangeStandby()) lock.TakeMachineWide();
}

TSwitchResult SwitchMode(settings::TOptions& options, settings::TPromptMode mode, engine::TChangeLock& lock,
                         bool once) {
    if (mode != settings::pmSecure && mode != settings::pmRelaxed) return {};
    if (mode == settings::pmRelaxed) settings::RequireRelaxedModeAllowed(options.Policies());
    LockForSwitch(options, lock);
    TSwitchRecord record;
    try {
        record = RecordSwitch(options, mode, once);
    } catch (const std::exception& error) {
        throw ESwitchFailed(error.what(), {});
    }
    if (!record.startup && !record.resume && !record.screenSaver) throw ENothingToSwitch();
    TSwitchJournal journal(options, record);
    try {
        ApplySwitch(options, record);
    } catch (const ESwitchFailed& failure) {
        if (!failure.LeftChanged.empty()) {
            const std::optional<TSwitchRecord> left = SettingsAfter(record);
            if (!left || !journal.Complete(*left)) journal.Keep();
        }
        throw;
    }
    const std::optional<TSwitchRecord> after = SettingsAfter(record);
    if (!after) {
        journal.Keep();
        return {record, false, false};
    }
    // Removing the stored password is a change of its own.
    if (DifferentSettings(record, *after).empty() && !record.forgetsPassword) {
        journal.Withdraw();
        return {record, false, true};
    }
    return {record, journal.Complete(*after), false};
}

}  // namespace switching
