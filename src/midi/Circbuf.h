#pragma once

// The fixed-size ring between the MIDI callback and the GUI thread.
//
// One producer, one consumer: put() runs only on the MIDI service's callback
// thread, peek() and drop() only on the GUI thread. Each side writes only its
// own position; the two share the count of waiting items. The producer writes
// an item completely before it increments the count (release), and the
// consumer reads the count (acquire) before it reads the item, so the GUI
// thread never sees a place that is still being filled. The consumer's
// decrement (release) is likewise read by the producer (acquire) before it
// reuses a place.
//
// put(), peek() and drop() are wait-free: no lock, no allocation, no loop,
// one atomic add or subtract at most.

#include "platform/ThreadCheck.h"
#include "platform/midi/MidiService.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace midi {

// One ring place: a short message, or a system-exclusive buffer the device
// handed back.
struct MidiEventItem {
    std::uint32_t timeStamp = 0;                    // milliseconds since the device was started
    std::uint32_t shortMessage = 0;                 // status in bits 0..7, data in 8..15 and 16..23
    platform::midi::MIDIHDR* sysexHeader = nullptr; // none for short messages

    friend bool operator==(const MidiEventItem&, const MidiEventItem&) = default;
};

class MidiEventRing {
public:
    // The most places whose storage, at 12 bytes a place, a 16-bit size can
    // describe: the range the component's Capacity setting has always had.
    // Anything larger is refused rather than cut down.
    static constexpr std::size_t MaxCapacity = 5461;

    // GUI thread, before the device opens. All memory the ring will ever use
    // is taken here, zero-filled. None for a capacity outside 1..MaxCapacity
    // or when the memory cannot be had; never throws.
    static std::unique_ptr<MidiEventRing> create(std::size_t capacity) noexcept;

    // The device holds the ring's address through the callback context.
    MidiEventRing(const MidiEventRing&) = delete;
    MidiEventRing& operator=(const MidiEventRing&) = delete;
    ~MidiEventRing() = default;

    // Callback thread only: the first thread to put owns the ring's producer
    // side, and a put from any other aborts in a Debug build, until
    // closing() is called. Wait-free. Stores a copy of the item; false when
    // the ring is full, and then nothing is stored.
    bool put(const MidiEventItem& item) noexcept;

    // GUI thread, before the device is reset and closed: resetting gives the
    // queued system-exclusive buffers back through the callback on the
    // closing thread, so from now on any thread may put (the service still
    // runs one callback at a time).
    void closing() noexcept { closing_.store(true, std::memory_order_relaxed); }

    // GUI thread, once the thread that has been putting will put no more
    // (joined): the next thread to put owns the producer side. A device
    // reopened gets a ring of its own and needs none of this.
    void producerGone() noexcept { producer_.release(); }

    // GUI thread only. Wait-free. Copies the oldest waiting item without
    // removing it; false when the ring is empty, and then `item` is untouched.
    bool peek(MidiEventItem& item) const noexcept;

    // GUI thread only. Wait-free. Removes the oldest waiting item; false when
    // the ring is empty.
    bool drop() noexcept;

    // Any thread. Items waiting at the moment of the call.
    std::uint16_t count() const noexcept { return count_.load(std::memory_order_acquire); }
    // Any thread.
    std::uint16_t capacity() const noexcept { return capacity_; }

private:
    MidiEventRing(std::unique_ptr<MidiEventItem[]> items, std::uint16_t capacity) noexcept;

    // What each thread writes sits on a cache line of its own, so a put does
    // not evict the GUI thread's position and the other way round.
    static constexpr std::size_t CacheLine = 64;

    // Set at creation, read by both sides.
    std::unique_ptr<MidiEventItem[]> items_;
    MidiEventItem* const firstPlace_;
    MidiEventItem* const limit_; // just past the last place
    const std::uint16_t capacity_;

    alignas(CacheLine) MidiEventItem* nextPut_; // producer only
    platform::ThreadOwner producer_{platform::ThreadOwner::Unowned{}};
    std::atomic<bool> closing_{false};
    alignas(CacheLine) MidiEventItem* nextGet_; // consumer only
    alignas(CacheLine) std::atomic<std::uint16_t> count_{0};

    static_assert(std::atomic<std::uint16_t>::is_always_lock_free,
                  "the callback must never wait on a lock inside the count");
};

} // namespace midi
