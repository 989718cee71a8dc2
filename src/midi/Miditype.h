#pragma once

// The event the MIDI component hands to its owner.

#include <cstdint>
#include <vector>

namespace midi {

// One MIDI message as taken out of the ring: a short message, or a
// system-exclusive message with a copy of its bytes. The taker owns it.
struct TMyMidiEvent {
    std::uint8_t statusByte = 0; // channel in the low four bits; 0xF0 for system exclusive
    std::uint8_t dataByte1 = 0;  // key number of a note message
    std::uint8_t dataByte2 = 0;  // velocity of a note message
    std::uint32_t timeStamp = 0; // milliseconds since the device was started
    std::uint16_t sysexByteCount = 0;
    std::vector<std::uint8_t> sysexBytes; // empty for short messages
};

} // namespace midi
