#pragma once
// When the main window refreshes for changes that others make to the
// settings: once, shortly after the last of a burst of change notifications,
// and no later than kLongest after the first of them, so that a stream of
// changes still shows. Where a watch could not be set up, the window also
// refreshes whenever it is activated. Nothing is pending, and no timer needs
// to run, while nothing changes.

#include <chrono>

namespace ui {

class TRefreshSchedule {
public:
    using Clock = std::chrono::steady_clock;
    using Delay = std::chrono::milliseconds;
    static constexpr Delay kQuiet{250};
    static constexpr Delay kLongest{1000};

    // A change was notified at `now`. Returns when the timer should fire:
    // the time left until the refresh is due, at least 1 ms.
    Delay Changed(Clock::time_point now);
    // The timer fired at `now`: true when the refresh is due, which ends the
    // burst; otherwise the timer should fire again after Remaining(now).
    bool Due(Clock::time_point now);
    Delay Remaining(Clock::time_point now) const;
    bool Pending() const { return pending_; }

    void WatchFailed() { refreshOnActivation_ = true; }
    bool RefreshOnActivation() const { return refreshOnActivation_; }

private:
    bool pending_ = false;
    Clock::time_point first_;
    Clock::time_point due_;
    bool refreshOnActivation_ = false;
};

}  // namespace ui
