#pragma once

#include "platform/Clock.h"

#include <vector>

namespace platform::testing {

// A clock that stands still until told to move. sleepMs advances it by the
// pause instead of waiting, and remembers every pause asked for, so code that
// pauses runs instantly and deterministically under test. The fake treats its
// time as both local and UTC.
class FakeClock final : public Clock {
public:
    // Starts at the given date-time (default 2026-01-01 09:30:00.000).
    explicit FakeClock(DateTime start = 46'023.0 + 9.5 / 24.0);

    DateTime now() const override;
    std::int64_t timeOfDayMs() const override;
    void sleepMs(int ms) override;

    void advanceMs(std::int64_t ms) { msSinceOrigin_ += ms; }
    const std::vector<int>& sleeps() const { return sleeps_; }
    std::int64_t totalSleptMs() const;

private:
    std::int64_t msSinceOrigin_;
    std::vector<int> sleeps_;
};

} // namespace platform::testing
