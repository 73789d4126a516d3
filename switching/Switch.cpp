#include "switching/Switch.h"

#include "engine/Utilities.h"
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

// Ends the journal of a switch whose writes went through. `removedMore`: it
// also removed what its record does not hold (a password, an account).
TSwitchResult Finish(TSwitchJournal& journal, const TCoverage& coverage, const TSwitchRecord& record, bool removedMore) {
    const std::optional<TSwitchRecord> after = SettingsAfter(record);
    if (!after) {
        journal.Keep();
        return {coverage, record, false, false};
    }
    if (DifferentSettings(record, *after).empty() && !removedMore) {
        journal.Withdraw();
        return {coverage, record, false, true};
    }
    return {coverage, record, journal.Complete(*after), false};
}

// The start-up setting as a switch to secure mode that forgets the password records it.
TSwitchRecord StartupRecord() {
    TSwitchRecord record;
    record.mode = settings::pmSecure;
    record.startup = true;
    record.autoLogonCountCovered = true;
    record.autoAdminLogon = engine::ReadSettingValue(engine::kAutoAdminLogonValue);
    record.autoLogonCount = engine::ReadSettingValue(engine::kAutoLogonCountValue);
    record.forgetsPassword = true;
    return record;
}

bool AccountStored() {
    const engine::AutologonAccount account = engine::GetAutologonAccount();
    return !account.user.empty() || !account.domain.empty() || engine::AutologonPasswordStored();
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
    // Removing the stored password is a change of its own.
    return Finish(journal, coverage, record, record.forgetsPassword);
}

TSwitchResult RemoveAutologonAccount(settings::TOptions& options, engine::TChangeLock& lock) {
    options.AdoptStoredChanges();
    lock.TakeMachineWide();
    TSwitchRecord record;
    bool stored = false;
    try {
        record = StartupRecord();
        stored = AccountStored();
    } catch (const std::exception& error) {
        throw ESwitchFailed(error.what(), {});
    }
    TSwitchJournal journal(options, record);
    try {
        engine::SetAskPasswordOnStartup(true);
        engine::SetAutoLogonCount(std::nullopt);
        engine::ForgetAutologonPassword();
    } catch (const std::exception& error) {
        throw ESwitchFailed(error.what(), RestoreSwitch(record));
    }
    try {
        engine::SetAutologonAccount({}, {}, os::SecretString());
    } catch (const std::exception& error) {
        std::vector<std::string> left = RestoreSwitch(record);
        left.insert(left.begin(), "the stored auto-logon password (removed)");
        throw ESwitchFailed(error.what(), std::move(left));
    }
    TCoverage coverage;
    coverage.settings.startup = true;
    return Finish(journal, coverage, record, stored);
}

}  // namespace switching
