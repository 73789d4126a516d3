// The main window refreshes once for a burst of change notifications, soon
// after it ends, and within a bounded time during a stream of them.
#include "ui/RefreshSchedule.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using ui::TRefreshSchedule;

TEST(RefreshScheduleTest, OneRefreshPerBurstAndNoneWhileNothingChanges) {
    TRefreshSchedule schedule;
    const TRefreshSchedule::Clock::time_point start;
    EXPECT_FALSE(schedule.Due(start)) << "a timer that fires with nothing pending refreshes nothing";

    // Five notifications 50 ms apart: due 250 ms after the last one, not before.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(schedule.Changed(start + i * 50ms), TRefreshSchedule::kQuiet);
    EXPECT_FALSE(schedule.Due(start + 300ms));
    EXPECT_EQ(schedule.Remaining(start + 300ms), 150ms);
    EXPECT_TRUE(schedule.Due(start + 450ms));
    EXPECT_FALSE(schedule.Pending());
    EXPECT_FALSE(schedule.Due(start + 900ms));

    // A stream that never pauses still refreshes a second after it began, then starts anew.
    const auto stream = start + 10s;
    TRefreshSchedule::Delay wait{};
    for (int i = 0; i <= 9; ++i) wait = schedule.Changed(stream + i * 100ms);
    EXPECT_EQ(wait, 100ms);
    EXPECT_TRUE(schedule.Due(stream + 1000ms));
    EXPECT_EQ(schedule.Changed(stream + 1050ms), TRefreshSchedule::kQuiet) << "a new burst";
    EXPECT_EQ(schedule.Changed(stream + 1900ms), 150ms) << "due a second after the burst began";
    EXPECT_EQ(schedule.Changed(stream + 2100ms), 1ms) << "overdue: at once, never with a timer of 0 ms";

    EXPECT_FALSE(schedule.RefreshOnActivation());
    schedule.WatchFailed();
    EXPECT_TRUE(schedule.RefreshOnActivation());
}
