#pragma once

// Notification numbers the MIDI callback posts to the component's target.

#include <cstdint>

namespace midi {

constexpr std::uint32_t mim_Data = 963;      // events are waiting in the ring
constexpr std::uint32_t mim_Overflow = 1024; // the ring was full; an event was lost

} // namespace midi
