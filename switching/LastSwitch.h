#pragma once
// The last switch, kept so that it can be undone: the settings as they were
// before it (what undo puts back) and as it left them (what undo expects to
// find), with its time, stored under the options key as the value
// "LastSwitch": REG_SZ text, a versioned JSON object that holds no password.
// The record is stored before the switch writes anything and completed once
// the switch is done. A value that is damaged, of another type or of another
// version counts as no record, and says why.

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
};
TStoredSwitch ReadLastSwitch(const settings::TPersistentOptions& options);
// Removes the record; false when it is still there.
bool ForgetLastSwitch(const settings::TPersistentOptions& options);

// The record of one switch. Made before the switch writes anything, it stores
// the record (when the options key takes it); destroyed without Complete, as
// when the switch failed, it puts back the value that was there before, so
// that the switch before stays the one to undo.
class TSwitchJournal {
public:
    TSwitchJournal(const settings::TPersistentOptions& options, const TSwitchRecord& record);
    ~TSwitchJournal();
    TSwitchJournal(const TSwitchJournal&) = delete;
    TSwitchJournal& operator=(const TSwitchJournal&) = delete;

    // The switch is done: the record gets the settings as it left them. False
    // when the record could not be stored, and then there is none.
    bool Complete();

private:
    const settings::TPersistentOptions& options_;
    std::optional<engine::RawValue> previous_;
    TLastSwitch last_;
    bool stored_ = false;
    bool completed_ = false;
};

// The switch's time on the user's clock, "2024-05-01 10:32".
std::string LocalTimeText(std::int64_t time);
// In UTC, ISO 8601: "2024-05-01T10:32:05Z".
std::string UtcTimeText(std::int64_t time);

}  // namespace switching
