#include "platform/Clock.h"
#include "platform/testing/FakeClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

namespace platform {
namespace {

TEST(FakeClock, SleepingAdvancesDateTimeAndTimeOfDay)
{
    testing::FakeClock clock(46'023.0); // 2026-01-01 00:00
    EXPECT_EQ(clock.timeOfDayMs(), 0);
    clock.sleepMs(1500);
    clock.sleepMs(250);
    EXPECT_EQ(clock.timeOfDayMs(), 1750);
    EXPECT_DOUBLE_EQ(clock.now(), 46'023.0 + 1750.0 / 86'400'000.0);
    EXPECT_EQ(clock.sleeps(), (std::vector<int>{1500, 250}));
    EXPECT_EQ(clock.totalSleptMs(), 1750);
}

TEST(FakeClock, TimeOfDayWrapsAtMidnight)
{
    testing::FakeClock clock(46'023.0 + 1.0 - 1.0 / 86'400.0); // 23:59:59
    EXPECT_EQ(clock.timeOfDayMs(), 86'399'000);
    clock.advanceMs(1500);
    EXPECT_EQ(clock.timeOfDayMs(), 500);
    EXPECT_EQ(static_cast<int>(std::floor(clock.now())), 46'024);
}

TEST(SystemClock, DateTimeCountsDaysFrom1899)
{
    SystemClock clock;
    const DateTime now = clock.now();
    // Days since 1899-12-30 of the current UTC date; local time is at most a
    // day away from it.
    const double utcDays = 25'569.0 + static_cast<double>(std::time(nullptr)) / 86'400.0;
    EXPECT_NEAR(now, utcDays, 1.0);
    const auto ms = clock.timeOfDayMs();
    EXPECT_GE(ms, 0);
    EXPECT_LT(ms, MsPerDay);
}

TEST(YearOf, CountsFromTheDateTimeOrigin)
{
    EXPECT_EQ(yearOf(0.0), 1899);             // 1899-12-30
    EXPECT_EQ(yearOf(2.0), 1900);             // 1900-01-01
    EXPECT_EQ(yearOf(46'023.0 - 0.25), 2025); // 2025-12-31 18:00
    EXPECT_EQ(yearOf(46'023.0), 2026);        // 2026-01-01
}

TEST(IsoDate, PadsMonthAndDayAndIgnoresTheTimeOfDay)
{
    EXPECT_EQ(isoDate(0.0), "1899-12-30");
    EXPECT_EQ(isoDate(46'023.0 - 0.25), "2025-12-31");
    EXPECT_EQ(isoDate(46'023.0 + 0.99), "2026-01-01");
    EXPECT_EQ(isoDate(46'085.5), "2026-03-04");
}

} // namespace
} // namespace platform
