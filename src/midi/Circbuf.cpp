#include "midi/Circbuf.h"

#include <new>

namespace midi {

std::unique_ptr<MidiEventRing> MidiEventRing::create(std::size_t capacity) noexcept
{
    if (capacity == 0 || capacity > MaxCapacity)
        return nullptr;
    // Value-initialised: every place starts zeroed.
    std::unique_ptr<MidiEventItem[]> items(new (std::nothrow) MidiEventItem[capacity]());
    if (!items)
        return nullptr;
    return std::unique_ptr<MidiEventRing>(
        new (std::nothrow) MidiEventRing(std::move(items), static_cast<std::uint16_t>(capacity)));
}

MidiEventRing::MidiEventRing(std::unique_ptr<MidiEventItem[]> items,
                             std::uint16_t capacity) noexcept
    : items_(std::move(items)),
      firstPlace_(items_.get()),
      limit_(items_.get() + capacity),
      capacity_(capacity),
      nextPut_(items_.get()),
      nextGet_(items_.get())
{
}

bool MidiEventRing::put(const MidiEventItem& item) noexcept
{
    if (!closing_.load(std::memory_order_relaxed))
        producer_.claim("MidiEventRing::put", "the MIDI callback thread");
    // Acquire pairs with drop's release: the GUI thread has finished reading
    // the place we are about to overwrite.
    if (count_.load(std::memory_order_acquire) >= capacity_)
        return false;
    *nextPut_ = item;
    if (++nextPut_ == limit_)
        nextPut_ = firstPlace_;
    count_.fetch_add(1, std::memory_order_release);
    return true;
}

bool MidiEventRing::peek(MidiEventItem& item) const noexcept
{
    if (count_.load(std::memory_order_acquire) == 0)
        return false;
    item = *nextGet_;
    return true;
}

bool MidiEventRing::drop() noexcept
{
    if (count_.load(std::memory_order_acquire) == 0)
        return false;
    count_.fetch_sub(1, std::memory_order_release);
    if (++nextGet_ == limit_)
        nextGet_ = firstPlace_;
    return true;
}

} // namespace midi
