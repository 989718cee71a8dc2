#include "platform/testing/FakeClock.h"

#include <cmath>
#include <numeric>

namespace platform::testing {

FakeClock::FakeClock(DateTime start)
    : msSinceOrigin_(static_cast<std::int64_t>(std::llround(start * static_cast<double>(MsPerDay))))
{
}

DateTime FakeClock::now() const
{
    return static_cast<double>(msSinceOrigin_) / static_cast<double>(MsPerDay);
}

std::int64_t FakeClock::timeOfDayMs() const
{
    return ((msSinceOrigin_ % MsPerDay) + MsPerDay) % MsPerDay;
}

void FakeClock::sleepMs(int ms)
{
    sleeps_.push_back(ms);
    if (ms > 0)
        msSinceOrigin_ += ms;
}

std::int64_t FakeClock::totalSleptMs() const
{
    return std::accumulate(sleeps_.begin(), sleeps_.end(), std::int64_t{0});
}

} // namespace platform::testing
