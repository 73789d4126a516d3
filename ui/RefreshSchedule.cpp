#include "ui/RefreshSchedule.h"

#include <algorithm>

namespace ui {

TRefreshSchedule::Delay TRefreshSchedule::Changed(Clock::time_point now) {
    if (!pending_) {
        pending_ = true;
        first_ = now;
    }
    due_ = std::min(now + kQuiet, first_ + kLongest);
    return Remaining(now);
}

bool TRefreshSchedule::Due(Clock::time_point now) {
    if (!pending_ || now < due_) return false;
    pending_ = false;
    return true;
}

TRefreshSchedule::Delay TRefreshSchedule::Remaining(Clock::time_point now) const {
    return std::max(Delay{1}, std::chrono::ceil<Delay>(due_ - now));
}

}  // namespace ui
