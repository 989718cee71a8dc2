#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A date and time as a count of days since 1899-12-30 00:00; the fraction is
// the time of day. Differences of two values give whole days plus a
// time-of-day part, which is how run times are measured.
using DateTime = double;

constexpr std::int64_t MsPerDay = 86'400'000;

// The year of a date-time, in four digits.
int yearOf(DateTime when);
// The date of a date-time as "2026-03-04".
std::string isoDate(DateTime when);
// Whole seconds from `from` to `to`: whole days times 86400 plus the
// milliseconds of the time-of-day part divided by 1000. A clock set back
// gives 0, not a negative time.
std::int32_t wholeSecondsBetween(DateTime from, DateTime to);

// The clock and pause seam. The program uses SystemClock; tests use
// platform::testing::FakeClock, whose sleepMs advances it instead of waiting.
class Clock {
public:
    virtual ~Clock() = default;
    // The current local date and time.
    virtual DateTime now() const = 0;
    // Milliseconds since midnight UTC, 0..86'399'999 (the seed of the random
    // generator).
    virtual std::int64_t timeOfDayMs() const = 0;
    // Pauses the calling thread.
    virtual void sleepMs(int ms) = 0;
};

class SystemClock final : public Clock {
public:
    DateTime now() const override;
    std::int64_t timeOfDayMs() const override;
    void sleepMs(int ms) override;
};

} // namespace platform
