#pragma once

// The fixed-size ring between the MIDI callback and the GUI thread.
//
// One producer, one consumer: put() runs only on the MIDI service's callback
// thread, peek() and drop() only on the GUI thread. Each side owns one
// index and writes only that: the producer where the next item goes, the
// consumer where the oldest waits. The producer writes an item completely
// before it publishes its index (release), and the consumer reads that index
// (acquire) before it reads the item, so the GUI thread never sees a place
// that is still being filled; the consumer's index is published and read the
// same way before a place is reused. The indexes count items since the ring
// was made and never wrap in practice (64 bits); an item's place is its
// index masked to the places, which are a power of two. Equal indexes mean
// empty, indexes a capacity apart mean full.
//
// Each side keeps a copy of the other's index and reads the shared one only
// when its copy says full (producer) or empty (consumer): most calls touch no
// cache line the other thread writes.
//
// put(), peek() and drop() are wait-free: no lock, no allocation, no loop,
// one atomic load and one atomic store at most.

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

// Aligned as its sides are, so no other object shares their lines.
class alignas(128) MidiEventRing {
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
    std::uint16_t count() const noexcept;
    // Any thread.
    std::uint16_t capacity() const noexcept { return capacity_; }

private:
    struct FreePlaces {
        void operator()(MidiEventItem* items) const noexcept;
    };
    using Places = std::unique_ptr<MidiEventItem, FreePlaces>;

    MidiEventRing(Places items, std::uint16_t capacity) noexcept;

    // GUI thread: whether an item waits at the consumer's index `at`, from
    // the copy of the producer's index, read again only when it says empty.
    bool waitingAt(std::size_t at) const noexcept;

    // What each thread writes sits on 128 bytes of its own (two cache lines:
    // processors fetch lines in pairs), so a put does not evict the GUI
    // thread's position and the other way round.
    static constexpr std::size_t CacheLine = 128;

    // Set at creation, read by both sides.
    Places items_;
    const std::size_t mask_; // places - 1
    const std::uint16_t capacity_;

    // Each published index alone on its line: the other side reads it, and
    // nothing else should move with it.
    alignas(CacheLine) std::atomic<std::size_t> putAt_{0};
    alignas(CacheLine) std::atomic<std::size_t> getAt_{0};
    // Each side's private line: its copy of the other's index and of what it
    // needs to reach the places, so that it reads no line but its own, the
    // other's index when its copy runs out, and the places.
    alignas(CacheLine) std::size_t getAtSeen_ = 0;
    MidiEventItem* const putItems_;
    const std::size_t putMask_;
    const std::size_t putCapacity_;
    platform::ThreadOwner producer_{platform::ThreadOwner::Unowned{}};
    std::atomic<bool> closing_{false};
    alignas(CacheLine) mutable std::size_t putAtSeen_ = 0;
    MidiEventItem* const getItems_;
    const std::size_t getMask_;

    static_assert(std::atomic<std::size_t>::is_always_lock_free,
                  "the callback must never wait on a lock inside an index");
};

// The three calls of every event are here, to be inlined into the callback
// and the GUI thread's loop.

inline bool MidiEventRing::put(const MidiEventItem& item) noexcept
{
#ifndef NDEBUG
    if (!closing_.load(std::memory_order_relaxed))
        producer_.claim("MidiEventRing::put", "the MIDI callback thread");
#endif
    const std::size_t at = putAt_.load(std::memory_order_relaxed);
    if (at - getAtSeen_ == putCapacity_) {
        // Acquire pairs with drop's release: the GUI thread has finished
        // reading the place we are about to overwrite. A caller retrying on
        // a full ring stores nothing while it waits.
        const std::size_t seen = getAt_.load(std::memory_order_acquire);
        if (at - seen == putCapacity_)
            return false;
        getAtSeen_ = seen;
    }
    putItems_[at & putMask_] = item;
    putAt_.store(at + 1, std::memory_order_release);
    return true;
}

inline bool MidiEventRing::waitingAt(std::size_t at) const noexcept
{
    if (at != putAtSeen_)
        return true;
    // Acquire pairs with put's release: the item is whole. Nothing is stored
    // while the ring stays empty.
    const std::size_t seen = putAt_.load(std::memory_order_acquire);
    if (at == seen)
        return false;
    putAtSeen_ = seen;
    return true;
}

inline bool MidiEventRing::peek(MidiEventItem& item) const noexcept
{
    const std::size_t at = getAt_.load(std::memory_order_relaxed);
    if (!waitingAt(at))
        return false;
    item = getItems_[at & getMask_];
    return true;
}

inline bool MidiEventRing::drop() noexcept
{
    const std::size_t at = getAt_.load(std::memory_order_relaxed);
    if (!waitingAt(at))
        return false;
    getAt_.store(at + 1, std::memory_order_release);
    return true;
}

} // namespace midi
