#pragma once

// One open input device as every backend has it: the caller's callback and
// instance data, the queue of system-exclusive headers, and the reading of
// the incoming byte stream into short messages and filled headers.

#include "platform/midi/MidiService.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

namespace platform::midi {

// A monotonic clock in milliseconds. Called on the backends' threads.
using MillisecondClock = std::function<std::int64_t()>;

// The longest system-exclusive message a device accepts unless told
// otherwise, F0 and F7 included. A sender that never ends its message would
// otherwise keep every queued buffer busy for ever.
constexpr std::size_t DefaultSysexLimit = std::size_t{1} << 20;

struct InputOptions {
    // Past this many bytes a system-exclusive message is reported with
    // MIM_LONGERROR and the rest of it is dropped. At least 2.
    std::size_t sysexLimit = DefaultSysexLimit;
    // Empty: std::chrono::steady_clock.
    MillisecondClock clock;
};

class MidiInDevice {
public:
    MidiInDevice(HMIDIIN handle, MidiInCallback callback, std::uintptr_t instance,
                 const InputOptions& options);
    MidiInDevice(const MidiInDevice&) = delete;
    MidiInDevice& operator=(const MidiInDevice&) = delete;

    // Backend thread: bytes as they came from the device, in order, in
    // pieces of any size. Dropped while the device is stopped or closed.
    // Runs the callback for what they complete, holding the device's lock.
    void receive(std::span<const std::uint8_t> bytes);

    // GUI thread. Each takes the device's lock, so it waits while the
    // callback runs on the backend's thread.
    void opened();
    MMRESULT start();
    MMRESULT stop();
    MMRESULT reset();
    MMRESULT prepare(MIDIHDR* header);
    MMRESULT unprepare(MIDIHDR* header);
    MMRESULT addBuffer(MIDIHDR* header);
    // MIDIERR_STILLPLAYING while a header is queued; otherwise MIM_CLOSE,
    // and from then on receive() drops everything.
    MMRESULT close();
    // Drops everything from now on, without MIM_CLOSE (the service is going
    // away with the device still open).
    void abandon();

private:
    void take(std::uint8_t byte, std::uint32_t stamp);
    void beginShort(std::uint8_t status, std::uint32_t stamp);
    void takeData(std::uint8_t byte, std::uint32_t stamp);
    void storeSysex(std::uint8_t byte, std::uint32_t stamp);
    void endSysex();
    void failSysex(std::uint32_t stamp);
    void giveBack(MIDIHDR* header, std::uint32_t message, std::uint32_t stamp);
    MIDIHDR* takeQueued();
    void clearInput();
    std::uint32_t timeStamp() const;
    void call(std::uint32_t message, std::uintptr_t param1, std::uintptr_t param2);

    const HMIDIIN handle_;
    const MidiInCallback callback_;
    const std::uintptr_t instance_;
    const std::size_t sysexLimit_;
    const MillisecondClock clock_;

    // Guards everything below and serialises the callback.
    std::mutex mutex_;
    bool started_ = false;
    bool closed_ = false;
    std::int64_t startMs_ = 0;

    // Headers waiting for data, linked through lpNext.
    MIDIHDR* queueHead_ = nullptr;
    MIDIHDR* queueTail_ = nullptr;

    // The short message being read; status 0 while there is none, so stray
    // data bytes are dropped.
    std::uint8_t status_ = 0;
    std::uint8_t needed_ = 0;
    std::uint8_t count_ = 0;
    std::uint8_t data_[2] = {};

    // The system-exclusive message being read.
    bool inSysex_ = false;
    // The rest of the message goes nowhere: it was too long, or no header
    // was queued when it needed one.
    bool droppingSysex_ = false;
    // A full header of this message went back without its end; if the
    // message breaks, the receiver must hear of it.
    bool partGivenBack_ = false;
    std::size_t sysexLength_ = 0;
    MIDIHDR* current_ = nullptr;
};

} // namespace platform::midi
