#include "midi/Circbuf.h"

#include <new>

namespace midi {

std::unique_ptr<MidiEventRing> MidiEventRing::create(std::size_t capacity) noexcept
{
    if (capacity == 0 || capacity > MaxCapacity)
        return nullptr;
    // Value-initialised: every place starts zeroed. One more than the
    // capacity, kept free to tell full from empty.
    std::unique_ptr<MidiEventItem[]> items(new (std::nothrow) MidiEventItem[capacity + 1]());
    if (!items)
        return nullptr;
    return std::unique_ptr<MidiEventRing>(
        new (std::nothrow) MidiEventRing(std::move(items), static_cast<std::uint16_t>(capacity)));
}

MidiEventRing::MidiEventRing(std::unique_ptr<MidiEventItem[]> items,
                             std::uint16_t capacity) noexcept
    : items_(std::move(items)),
      places_(std::size_t{capacity} + 1),
      capacity_(capacity),
      putItems_(items_.get()),
      putPlaces_(places_),
      getItems_(items_.get()),
      getPlaces_(places_)
{
}

std::uint16_t MidiEventRing::count() const noexcept
{
    // Read from either side or a third thread; each index is read once, so
    // the difference is at most the capacity.
    const std::size_t get = getAt_.load(std::memory_order_acquire);
    const std::size_t put = putAt_.load(std::memory_order_acquire);
    return static_cast<std::uint16_t>(put >= get ? put - get : put + places_ - get);
}

} // namespace midi
