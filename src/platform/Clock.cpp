#include "platform/Clock.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <thread>

namespace platform {

namespace {

// Days from 1899-12-30, the origin of DateTime, to 1970-01-01.
constexpr std::int64_t UnixEpochDays = 25'569;

std::tm localTime(std::time_t t)
{
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return local;
}

} // namespace

int yearOf(DateTime when)
{
    using namespace std::chrono;
    const auto days = static_cast<std::int64_t>(std::floor(when)) - UnixEpochDays;
    const year_month_day date{sys_days{std::chrono::days{days}}};
    return static_cast<int>(date.year());
}

std::string isoDate(DateTime when)
{
    using namespace std::chrono;
    const auto days = static_cast<std::int64_t>(std::floor(when)) - UnixEpochDays;
    const year_month_day date{sys_days{std::chrono::days{days}}};
    char text[16] = {};
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

std::int32_t wholeSecondsBetween(DateTime from, DateTime to)
{
    const double difference = to - from;
    if (!(difference > 0))
        return 0;
    const double days = std::floor(difference);
    const auto timeOfDayMs =
        static_cast<std::int64_t>(std::llround((difference - days) * 86'400'000.0));
    const double seconds = days * 86'400.0 + static_cast<double>(timeOfDayMs / 1000);
    if (seconds >= 2'147'483'647.0)
        return INT32_MAX;
    return static_cast<std::int32_t>(seconds);
}

DateTime SystemClock::now() const
{
    using namespace std::chrono;
    const auto stamp = system_clock::now();
    const auto ms = duration_cast<milliseconds>(stamp.time_since_epoch()).count() % 1000;
    const std::tm local = localTime(system_clock::to_time_t(stamp));
    const sys_days date{year{local.tm_year + 1900} /
                        month{static_cast<unsigned>(local.tm_mon + 1)} /
                        day{static_cast<unsigned>(local.tm_mday)}};
    const std::int64_t dayMs =
        ((local.tm_hour * 60LL + local.tm_min) * 60LL + local.tm_sec) * 1000LL + ms;
    return static_cast<double>(date.time_since_epoch().count() + UnixEpochDays) +
           static_cast<double>(dayMs) / static_cast<double>(MsPerDay);
}

std::int64_t SystemClock::timeOfDayMs() const
{
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return ((ms % MsPerDay) + MsPerDay) % MsPerDay;
}

void SystemClock::sleepMs(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace platform
