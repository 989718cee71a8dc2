#pragma once

// A system-exclusive receive buffer for the MIDI service.

#include "platform/midi/MidiService.h"

#include <cstdint>
#include <memory>
#include <span>

namespace midi {

// A zero-filled platform header and the data buffer it describes. The device
// holds the header's address from prepare to unprepare, so the object neither
// copies nor moves. GUI thread; while the header is queued the device writes
// the data, dwBytesRecorded and dwFlags.
class TMyMidiHdr {
public:
    // A buffer of `size` zeroed bytes; with 0 nothing is allocated and the
    // header has no data. Throws std::bad_alloc when the memory cannot be had.
    explicit TMyMidiHdr(std::uint32_t size);

    TMyMidiHdr(const TMyMidiHdr&) = delete;
    TMyMidiHdr& operator=(const TMyMidiHdr&) = delete;
    ~TMyMidiHdr() = default;

    platform::midi::MIDIHDR& header() noexcept { return header_; }
    const platform::midi::MIDIHDR& header() const noexcept { return header_; }
    std::span<std::uint8_t> data() noexcept { return {data_.get(), size_}; }
    std::span<const std::uint8_t> data() const noexcept { return {data_.get(), size_}; }

private:
    platform::midi::MIDIHDR header_{};
    std::unique_ptr<std::uint8_t[]> data_;
    std::uint32_t size_ = 0; // the header's fields are the device's to touch; this is ours
};

} // namespace midi
