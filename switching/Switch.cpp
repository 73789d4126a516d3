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

ENothingToSwitch::ENothingToSwitch(const TCoverage& coverage)
    : ESwitchFailed("There is nothing to switch: " + WhyNothingIsCovered(coverage) + ".", {}), Coverage(coverage) {}

TCoverage LockForSwitch(settings::TOptions& options, engine::TChangeLock& lock, const TCoverageRequest& request) {
    options.AdoptStoredChanges();
    TCoverage coverage = DecideCoverage(options, request);
    if (coverage.settings.startup || coverage.settings.resume) lock.TakeMachineWide();
    return coverage;
}

TSwitchResult SwitchMode(settings::TOptions& options, settings::TPromptMode mode, engine::TChangeLock& lock,
                         bool once, const TCoverageRequest& request) {
    if (mode != settings::pmSecure && mode != settings::pmRelaxed) return {};
    if (mode == settings::pmRelaxed) settings::RequireRelaxedModeAllowed(options.Policies());
    const TCoverage coverage = LockForSwitch(options, lock, request);
    if (coverage.settings.Empty()) throw ENothingToSwitch(coverage);
    TSwitchRecord record;
    try {
        record = RecordSwitch(options, coverage, mode, once);
    } catch (const std::exception& error) {
        throw ESwitchFailed(error.what(), {});
    }
    TSwitchJournal journal(options, record);
    try {
        ApplySwitch(record);
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
        return {coverage, record, false, false};
    }
    // Removing the stored password is a change of its own.
    if (DifferentSettings(record, *after).empty() && !record.forgetsPassword) {
        journal.Withdraw();
        return {coverage, record, false, true};
    }
    return {coverage, record, journal.Complete(*after), false};
}

}  // namespace switching
