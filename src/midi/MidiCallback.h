#pragma once

// What runs on the MIDI service's callback thread: it files each message into
// the event ring and tells the GUI thread that something is waiting.

#include "platform/NotifyTarget.h"
#include "platform/midi/MidiService.h"

#include <atomic>
#include <cstdint>

namespace midi {

class MidiEventRing;

// Handed to the service as the callback's instance data, so its address must
// stay put while a device is open with it (hence neither copyable nor
// movable: the atomic member sees to that).
struct CallbackContext {
    // Written by the GUI thread only while no device is open with this
    // context; the service's open and close order those writes against the
    // callback.
    MidiEventRing* ring = nullptr;
    platform::NotifyTarget* target = nullptr;
    // Written by the GUI thread at any time, read by the callback; a lone
    // flag, so relaxed loads and stores are enough.
    std::atomic<bool> sysexOnly{false};
};

// The platform's MIDI input callback; dwInstance is a CallbackContext*.
// Callback thread only. Keeps short data (MIM_DATA) and returned
// system-exclusive buffers (MIM_LONGDATA, MIM_LONGERROR) in the context's
// ring and posts mim_Data for each stored item, mim_Overflow for each one lost
// to a full ring. Drops active sensing and timing clock, short data while
// sysexOnly is set, every other message, and everything when there is no
// context or no ring. Never allocates, locks or blocks itself; only the
// target's post may.
void midiInputCallback(platform::midi::HMIDIIN device, std::uint32_t message,
                       std::uintptr_t dwInstance, std::uintptr_t dwParam1,
                       std::uintptr_t dwParam2) noexcept;

} // namespace midi
