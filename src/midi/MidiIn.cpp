#include "midi/MidiIn.h"

#include "midi/Midicons.h"

#include <algorithm>
#include <new>

namespace midi {

namespace pm = platform::midi;

namespace {

// What the component itself reports when a failure comes from no service
// call (a ring it cannot have, memory it cannot get).
constexpr pm::MMRESULT BadCapacity = pm::MMSYSERR_INVALPARAM;
constexpr pm::MMRESULT NoMemory = pm::MMSYSERR_NOMEM;

} // namespace

TMidiInput::TMidiInput(pm::MidiInService& service, platform::NotifyTargetFactory& targets)
    : service_(service)
{
    state_ = MidiInputState::Creating;
    sysexOnly_ = false;
    deviceCount_ = static_cast<std::uint16_t>(service_.midiInGetNumDevs());
    setDeviceID(0);
    capacity_ = 1024;
    sysexBufferSize_ = 4096;
    sysexBufferCount_ = 16;
    notifyWindow = targets.create([this](std::uint32_t message) { handleNotification(message); });
    state_ = MidiInputState::Closed;
}

TMidiInput::~TMidiInput()
{
    teardown();
    state_ = MidiInputState::Closed;
    callbackContext.reset();
    notifyWindow.reset();
}

std::string TMidiInput::deviceErrorText(pm::MMRESULT code) const
{
    std::string text;
    if (service_.midiInGetErrorText(code, text) != pm::MMSYSERR_NOERROR)
        return "Specified error number is out of range";
    if (text.size() > 127) // the text has always come through a 128-character buffer
        text.resize(127);
    return text;
}

void TMidiInput::check(pm::MMRESULT result)
{
    error_ = static_cast<std::uint16_t>(result);
    if (result != pm::MMSYSERR_NOERROR)
        throw EMidiInputError(deviceErrorText(result));
}

void TMidiInput::setDeviceID(std::uint16_t value)
{
    if (state_ == MidiInputState::Open)
        throw EMidiInputError("Change to DeviceID while device was open");
    if (value >= service_.midiInGetNumDevs())
        return;
    deviceId_ = value;
    pm::MIDIINCAPS caps;
    check(service_.midiInGetDevCaps(value, caps));
    productName_ = caps.szPname;
    driverVersion_ = caps.vDriverVersion;
    manufacturerId_ = caps.wMid;
    productId_ = caps.wPid;
}

void TMidiInput::setProductName(const std::string& value)
{
    if (state_ == MidiInputState::Open)
        throw EMidiInputError("Change to ProductName while device was open");
    // Device 0 is always asked, so that with no device at all the service's
    // own complaint is what the caller sees.
    const std::uint32_t count = std::max<std::uint32_t>(service_.midiInGetNumDevs(), 1);
    std::uint32_t found = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        pm::MIDIINCAPS caps;
        check(service_.midiInGetDevCaps(i, caps));
        if (caps.szPname == value) {
            productName_ = value;
            found = i;
            break;
        }
    }
    if (productName_ != value)
        throw EMidiInputError("MIDI Input Device " + value + " not installed ");
    setDeviceID(static_cast<std::uint16_t>(found));
}

void TMidiInput::setSysexBufferSize(std::uint16_t value)
{
    if (state_ == MidiInputState::Open)
        throw EMidiInputError("Change to SysexBufferSize while device was open");
    sysexBufferSize_ = value;
}

void TMidiInput::setSysexBufferCount(std::uint16_t value)
{
    if (state_ == MidiInputState::Open)
        throw EMidiInputError("Change to SysexBuffercount while device was open");
    sysexBufferCount_ = value;
}

void TMidiInput::setSysexOnly(bool value)
{
    sysexOnly_ = value;
    if (callbackContext)
        callbackContext->sysexOnly.store(value, std::memory_order_relaxed);
}

void TMidiInput::openDevice()
{
    if (state_ == MidiInputState::Open)
        return; // opening the same device twice would fail and take it down
    try {
        if (!eventRing) {
            eventRing = MidiEventRing::create(capacity_);
            if (!eventRing) {
                // A capacity the ring cannot take is refused like any other
                // failure; otherwise the memory was not there.
                const bool capacityOk = capacity_ >= 1 && capacity_ <= MidiEventRing::MaxCapacity;
                error_ = static_cast<std::uint16_t>(capacityOk ? NoMemory : BadCapacity);
                throw EMidiInputError(deviceErrorText(error_));
            }
        }
        if (!callbackContext)
            callbackContext = std::make_unique<CallbackContext>();
        callbackContext->ring = eventRing.get();
        callbackContext->target = notifyWindow.get();
        callbackContext->sysexOnly.store(sysexOnly_, std::memory_order_relaxed);

        check(service_.midiInOpen(deviceHandle, deviceId_, &midiInputCallback,
                                  reinterpret_cast<std::uintptr_t>(callbackContext.get())));

        if (sysexBufferCount_ > 0 && sysexBufferSize_ > 0 && deviceHandle != 0) {
            for (int i = 0; i < sysexBufferCount_; ++i) {
                auto hdr = std::make_unique<TMyMidiHdr>(sysexBufferSize_);
                hdr->header().dwUser = reinterpret_cast<std::uintptr_t>(hdr.get());
                sysexHeaders.push_back(std::move(hdr));
                check(service_.midiInPrepareHeader(deviceHandle, &sysexHeaders.back()->header()));
            }
        }
        for (auto& hdr : sysexHeaders)
            check(service_.midiInAddBuffer(deviceHandle, &hdr->header()));
        state_ = MidiInputState::Open;
    } catch (const std::bad_alloc&) {
        error_ = static_cast<std::uint16_t>(NoMemory);
        teardown();
        callbackContext.reset();
    } catch (const EMidiInputError&) {
        // Error() tells what failed (another program holding the device,
        // for one). The device must not keep a context it could call into.
        teardown();
        callbackContext.reset();
    }
}

void TMidiInput::teardown() noexcept
{
    if (deviceHandle != 0) {
        service_.midiInReset(deviceHandle);
        for (auto& hdr : sysexHeaders)
            service_.midiInUnprepareHeader(deviceHandle, &hdr->header());
        service_.midiInClose(deviceHandle);
        deviceHandle = 0;
    }
    sysexHeaders.clear();
    eventRing.reset();
    if (callbackContext)
        callbackContext->ring = nullptr;
}

void TMidiInput::closeDevice()
{
    if (state_ != MidiInputState::Open)
        return;
    state_ = MidiInputState::Closed; // notifications from here on are ignored
    check(service_.midiInReset(deviceHandle));
    while (!sysexHeaders.empty()) {
        check(service_.midiInUnprepareHeader(deviceHandle, &sysexHeaders.front()->header()));
        sysexHeaders.erase(sysexHeaders.begin());
    }
    check(service_.midiInClose(deviceHandle));
    deviceHandle = 0;
    eventRing.reset();
    callbackContext->ring = nullptr;
}

void TMidiInput::startInput()
{
    if (state_ == MidiInputState::Open)
        check(service_.midiInStart(deviceHandle));
}

void TMidiInput::stopInput()
{
    if (state_ == MidiInputState::Open)
        check(service_.midiInStop(deviceHandle));
}

std::uint16_t TMidiInput::pendingEvents() const
{
    return state_ == MidiInputState::Open && eventRing ? eventRing->count() : 0;
}

std::unique_ptr<TMyMidiEvent> TMidiInput::takeEvent()
{
    MidiEventItem item;
    if (state_ != MidiInputState::Open || !eventRing || !eventRing->peek(item))
        return nullptr;
    auto event = std::make_unique<TMyMidiEvent>();
    event->timeStamp = item.timeStamp;
    if (item.sysexHeader == nullptr) {
        event->statusByte = static_cast<std::uint8_t>(item.shortMessage & 0xFF);
        event->dataByte1 = static_cast<std::uint8_t>(item.shortMessage >> 8 & 0xFF);
        event->dataByte2 = static_cast<std::uint8_t>(item.shortMessage >> 16 & 0xFF);
    } else {
        pm::MIDIHDR& header = *item.sysexHeader;
        event->statusByte = 0xF0;
        event->sysexByteCount = static_cast<std::uint16_t>(header.dwBytesRecorded & 0xFFFF);
        // Never copy beyond the buffer, whatever the count claims.
        const std::uint32_t bytes =
            std::min<std::uint32_t>(event->sysexByteCount, header.dwBufferLength);
        if (bytes > 0 && header.lpData != nullptr)
            event->sysexBytes.assign(header.lpData, header.lpData + bytes);
        // Give the buffer back to the device.
        pm::MMRESULT result = service_.midiInPrepareHeader(deviceHandle, &header);
        if (result == pm::MMSYSERR_NOERROR)
            result = service_.midiInAddBuffer(deviceHandle, &header);
        check(result);
    }
    eventRing->drop();
    return event;
}

void TMidiInput::handleNotification(std::uint32_t message)
{
    if (message == mim_Data) {
        if (onMidiInput_ && state_ == MidiInputState::Open && pendingEvents() > 0)
            onMidiInput_(*this);
    } else if (message == mim_Overflow) {
        if (onOverflow_ && state_ == MidiInputState::Open)
            onOverflow_(*this);
    }
}

} // namespace midi
