#include "midi/Circbuf.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <new>

namespace midi {

std::unique_ptr<MidiEventRing> MidiEventRing::create(std::size_t capacity) noexcept
{
    if (capacity == 0 || capacity > MaxCapacity)
        return nullptr;
    // The places start on a line of their own and end with a line to spare,
    // so no other object's data shares a line with them and moves between
    // the two threads' cores with them.
    const std::size_t places = std::bit_ceil(capacity);
    const std::size_t bytes =
        (places * sizeof(MidiEventItem) + CacheLine - 1) / CacheLine * CacheLine + CacheLine;
    void* storage = ::operator new (bytes, std::align_val_t{CacheLine}, std::nothrow);
    if (storage == nullptr)
        return nullptr;
    // Value-initialised: every place starts zeroed.
    Places items(
        std::uninitialized_value_construct_n(static_cast<MidiEventItem*>(storage), places) -
        places);
    return std::unique_ptr<MidiEventRing>(
        new (std::nothrow) MidiEventRing(std::move(items), static_cast<std::uint16_t>(capacity)));
}

MidiEventRing::MidiEventRing(Places items, std::uint16_t capacity) noexcept
    : items_(std::move(items)),
      mask_(std::bit_ceil(std::size_t{capacity}) - 1),
      capacity_(capacity),
      putItems_(items_.get()),
      putMask_(mask_),
      putCapacity_(capacity),
      getItems_(items_.get()),
      getMask_(mask_)
{
}

std::uint16_t MidiEventRing::count() const noexcept
{
    // Read from either side or a third thread. The consumer's index is read
    // first, so it is never ahead of the producer's; items taken and put
    // between the two reads can make the difference exceed the capacity.
    const std::size_t get = getAt_.load(std::memory_order_acquire);
    const std::size_t put = putAt_.load(std::memory_order_acquire);
    return static_cast<std::uint16_t>(std::min<std::size_t>(put - get, capacity_));
}

void MidiEventRing::FreePlaces::operator()(MidiEventItem* items) const noexcept
{
    ::operator delete (items, std::align_val_t{CacheLine});
}

} // namespace midi
