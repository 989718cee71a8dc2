#include "midi/MidiCallback.h"

#include "midi/Circbuf.h"
#include "midi/Midicons.h"

namespace midi {

namespace {

// Real-time bytes a keyboard may send many times a second; nobody reads them.
constexpr std::uintptr_t ActiveSensing = 0xFE;
constexpr std::uintptr_t TimingClock = 0xF8;

// The service passes addresses as integers: the context we gave midiInOpen
// and the headers we queued.
template <typename T> T* addressIn(std::uintptr_t value) noexcept
{
    return reinterpret_cast<T*>(value);
}

} // namespace

void midiInputCallback(platform::midi::HMIDIIN /*device*/, std::uint32_t message,
                       std::uintptr_t dwInstance, std::uintptr_t dwParam1,
                       std::uintptr_t dwParam2) noexcept
{
    using namespace platform::midi;
    const bool shortData = message == MIM_DATA;
    if (!shortData && message != MIM_LONGDATA && message != MIM_LONGERROR)
        return;
    if (dwParam1 == ActiveSensing || dwParam1 == TimingClock)
        return;
    CallbackContext* const context = addressIn<CallbackContext>(dwInstance);
    if (context == nullptr || context->ring == nullptr)
        return;
    if (shortData && context->sysexOnly.load(std::memory_order_relaxed))
        return;

    MidiEventItem item;
    // The service's time stamps are 32-bit milliseconds; the parameter is only
    // wider because it also carries addresses.
    item.timeStamp = static_cast<std::uint32_t>(dwParam2);
    if (shortData)
        item.shortMessage = static_cast<std::uint32_t>(dwParam1);
    else
        item.sysexHeader = addressIn<MIDIHDR>(dwParam1);

    const bool stored = context->ring->put(item);
    if (context->target != nullptr)
        context->target->post(stored ? mim_Data : mim_Overflow);
}

} // namespace midi
