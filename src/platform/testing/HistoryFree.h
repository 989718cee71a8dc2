#pragma once

// Stand-ins for long runs (the soak, the benchmarks). Unlike the recorders
// of the unit tests they keep no history (every pause or text ever seen),
// which over a long run would grow by itself and hide or fake a leak.

#include "platform/Clock.h"
#include "platform/TextLabel.h"

#include <cstdint>
#include <string>

namespace platform::testing {

// Stands still until moved; a pause moves it instead of waiting. Starts at
// 2026-01-01 09:30, local time and UTC alike.
class SteppingClock final : public Clock {
public:
    DateTime now() const override
    {
        return static_cast<double>(ms_) / static_cast<double>(MsPerDay);
    }
    std::int64_t timeOfDayMs() const override { return ms_ % MsPerDay; }
    void sleepMs(int ms) override
    {
        if (ms > 0)
            ms_ += ms;
    }
    void advanceMs(std::int64_t ms) { ms_ += ms; }

private:
    std::int64_t ms_ = 46'023 * MsPerDay + 9 * 3'600'000 + 1'800'000;
};

// Keeps the current text only.
class CurrentTextLabel final : public TextLabel {
public:
    void setText(const std::string& text) override { text_ = text; }
    std::string text() const override { return text_; }
    void repaintNow() override {}

private:
    std::string text_;
};

} // namespace platform::testing
