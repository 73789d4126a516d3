#pragma once
// The last switch, kept so that it can be undone: the settings as they were
// before it (what undo puts back) and as it left them (what undo expects to
// find), with its time, stored under the options key as the value
// "LastSwitch": REG_SZ text, a versioned JSON object that holds no password.
// The record is stored before the switch writes anything and completed once
// the switch is done. A value that is damaged, of another type or of another
// version counts as no record, and says why.
//
// The options key under HKEY_CURRENT_USER is its user's to write. So a record
// there that covers a machine-wide setting (automatic logon, the power
// schemes) is also written, the same text, to the same value under
// HKEY_LOCAL_MACHINE, where only administrators write; its machine-wide
// values count only while both are the same record.

#include "settings/RegOpts.h"
#include "switching/SwitchRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace switching {

inline constexpr char kLastSwitchValue[] = "LastSwitch";

struct TLastSwitch {
    TSwitchRecord before;
    // The same settings as the switch left them; nullopt when it did not
    // finish (the program ended during it).
    std::optional<TSwitchRecord> after;
    std::int64_t time = 0;  // seconds since 1970-01-01 UTC
    bool operator==(const TLastSwitch&) const = default;
};

// The stored form, and back: nullopt for a text that is not a whole record of
// this version.
std::string LastSwitchText(const TLastSwitch& last);
std::optional<TLastSwitch> ParseLastSwitch(const std::string& text);

struct TStoredSwitch {
    std::optional<TLastSwitch> last;
    std::string problem;  // a value that is there but was not taken: why
    // The copy under HKEY_LOCAL_MACHINE holds this record, or none is needed.
    // False for a copy that is missing (as for a record of an earlier
    // version) or of another switch: the machine-wide values are not taken.
    bool machineWideConfirmed = true;
};
// Whether `record` covers a machine-wide setting: the start-up setting, or
// the resume setting's power schemes or global power policy.
bool CoversMachineWideSettings(const TSwitchRecord& record);
TStoredSwitch ReadLastSwitch(const settings::TPersistentOptions& options);
// Removes the record when it is still that of `last`, and only then; false
// when it could not be removed.
bool ForgetLastSwitch(const settings::TPersistentOptions& options, const TLastSwitch& last);

// The record of one switch. Made before the switch writes anything, it stores
// the record (when the options key takes it). Each way of ending touches the
// stored value only while it is still this journal's own record: one that
// another process stored meanwhile is never overwritten or removed.
// Destroyed without an end, as when the switch failed and put everything
// back, it withdraws its record.
class TSwitchJournal {
public:
    TSwitchJournal(const settings::TPersistentOptions& options, const TSwitchRecord& record);
    ~TSwitchJournal();
    TSwitchJournal(const TSwitchJournal&) = delete;
    TSwitchJournal& operator=(const TSwitchJournal&) = delete;

    // The switch changed settings: the record gets `after`, the settings as
    // the switch left them. False when the record could not be stored, and
    // then there is none of this switch.
    bool Complete(const TSwitchRecord& after);
    // The switch changed nothing, or nothing is left of it: the value that was
    // there before is put back, so that the switch before stays the one to undo.
    void Withdraw();
    // The record stays as it is: unfinished, so that undo cannot tell what
    // the switch left, and asks to be forced.
    void Keep() { ended_ = true; }

private:
    bool StillOwnRecord() const;
    // Writes the record's place, and its copy when it is kept twice (nullopt removes).
    void Write(const std::optional<engine::RawValue>& value);
    void Write(const std::optional<engine::RawValue>& value, const std::optional<engine::RawValue>& machineCopy);

    const settings::TPersistentOptions& options_;
    std::optional<engine::RawValue> previous_;
    std::optional<engine::RawValue> previousMachineCopy_;
    engine::RawValue written_;
    TLastSwitch last_;
    bool twice_;
    bool stored_ = false;
    bool ended_ = false;
};

// Whether the last switch was to relaxed mode for the next start only and
// Windows has not used that logon yet: AutoAdminLogon and AutoLogonCount still
// hold what the switch left.
bool OneTimeLogonPending(const settings::TPersistentOptions& options);
// The same for a record already read.
bool OneTimeLogonPending(const std::optional<TLastSwitch>& last);

// The switch's time on the user's clock, "2024-05-01 10:32".
std::string LocalTimeText(std::int64_t time);
// In UTC, ISO 8601: "2024-05-01T10:32:05Z".
std::string UtcTimeText(std::int64_t time);

}  // namespace switching
