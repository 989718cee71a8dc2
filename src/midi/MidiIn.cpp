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

pm::MMRESULT OpenMidiDevice::open(pm::MidiInService& service, std::uint32_t id,
                                  pm::MidiInCallback callback, std::uintptr_t instance)
{
    close();
    service_ = &service;
    return service.midiInOpen(handle_, id, callback, instance);
}

pm::MMRESULT OpenMidiDevice::openVirtual(pm::MidiInService& service, std::uint32_t driver,
                                         const std::string& portName, pm::MidiInCallback callback,
                                         std::uintptr_t instance)
{
    close();
    service_ = &service;
    return service.midiInOpenVirtual(handle_, driver, portName, callback, instance);
}

pm::MMRESULT OpenMidiDevice::prepare(std::unique_ptr<TMyMidiHdr> header)
{
    // Kept first: a header the service half took is given back on closing.
    headers_.push_back(std::move(header));
    return service_->midiInPrepareHeader(handle_, &headers_.back()->header());
}

pm::MMRESULT OpenMidiDevice::addBuffers()
{
    for (auto& header : headers_) {
        const pm::MMRESULT result = service_->midiInAddBuffer(handle_, &header->header());
        if (result != pm::MMSYSERR_NOERROR)
            return result;
    }
    return pm::MMSYSERR_NOERROR;
}

pm::MMRESULT OpenMidiDevice::close() noexcept
{
    pm::MMRESULT first = pm::MMSYSERR_NOERROR;
    const auto keep = [&first](pm::MMRESULT result) {
        if (first == pm::MMSYSERR_NOERROR)
            first = result;
    };
    if (handle_ != 0) {
        keep(service_->midiInReset(handle_));
        for (auto& header : headers_)
            keep(service_->midiInUnprepareHeader(handle_, &header->header()));
        keep(service_->midiInClose(handle_));
        handle_ = 0;
    }
    headers_.clear();
    return first;
}

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
    onGuiThread("TMidiInput::~TMidiInput");
    teardown();
    state_ = MidiInputState::Closed;
    callbackContext.reset();
    notifyWindow.reset();
}

std::string TMidiInput::deviceErrorText(pm::MMRESULT code) const
{
    onGuiThread("TMidiInput::deviceErrorText");
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
    onGuiThread("TMidiInput::setDeviceID");
    if (state_ == MidiInputState::Open)
        throw EMidiInputError("Change to DeviceID while device was open");
    if (value >= service_.midiInGetNumDevs())
        return;
    virtual_ = false;
    deviceId_ = value;
    pm::MIDIINCAPS caps;
    check(service_.midiInGetDevCaps(value, caps));
    productName_ = caps.szPname;
    driverVersion_ = caps.vDriverVersion;
    manufacturerId_ = caps.wMid;
    productId_ = caps.wPid;
}

void TMidiInput::refreshDevices()
{
    onGuiThread("TMidiInput::refreshDevices");
    deviceCount_ = static_cast<std::uint16_t>(service_.midiInGetNumDevs());
}

void TMidiInput::setVirtualPort(std::uint32_t driver, std::string name)
{
    onGuiThread("TMidiInput::setVirtualPort");
    if (state_ == MidiInputState::Open)
        throw EMidiInputError("Change to the virtual port while device was open");
    virtual_ = true;
    virtualDriver_ = driver;
    productName_ = std::move(name);
    driverVersion_ = 0;
    manufacturerId_ = 0xFFFF;
    productId_ = 0xFFFF;
}

void TMidiInput::setProductName(const std::string& value)
{
    onGuiThread("TMidiInput::setProductName");
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
    onGuiThread("TMidiInput::setSysexBufferSize");
    if (state_ == MidiInputState::Open)
        throw EMidiInputError("Change to SysexBufferSize while device was open");
    sysexBufferSize_ = value;
}

void TMidiInput::setSysexBufferCount(std::uint16_t value)
{
    onGuiThread("TMidiInput::setSysexBufferCount");
    if (state_ == MidiInputState::Open)
        throw EMidiInputError("Change to SysexBuffercount while device was open");
    sysexBufferCount_ = value;
}

void TMidiInput::setSysexOnly(bool value)
{
    onGuiThread("TMidiInput::setSysexOnly");
    sysexOnly_ = value;
    if (callbackContext)
        callbackContext->sysexOnly.store(value, std::memory_order_relaxed);
}

void TMidiInput::openDevice()
{
    onGuiThread("TMidiInput::openDevice");
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

        const auto instance = reinterpret_cast<std::uintptr_t>(callbackContext.get());
        check(virtual_ ? device_.openVirtual(service_, virtualDriver_, productName_,
                                             &midiInputCallback, instance)
                       : device_.open(service_, deviceId_, &midiInputCallback, instance));

        if (sysexBufferCount_ > 0 && sysexBufferSize_ > 0 && device_.isOpen()) {
            for (int i = 0; i < sysexBufferCount_; ++i) {
                auto hdr = std::make_unique<TMyMidiHdr>(sysexBufferSize_);
                hdr->header().dwUser = reinterpret_cast<std::uintptr_t>(hdr.get());
                check(device_.prepare(std::move(hdr)));
            }
        }
        check(device_.addBuffers());
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
    if (eventRing)
        eventRing->closing();
    device_.close();
    eventRing.reset();
    if (callbackContext)
        callbackContext->ring = nullptr;
}

void TMidiInput::closeDevice()
{
    onGuiThread("TMidiInput::closeDevice");
    if (state_ != MidiInputState::Open)
        return;
    state_ = MidiInputState::Closed; // notifications from here on are ignored
    // Closed whatever fails on the way; the first failure is reported.
    if (eventRing)
        eventRing->closing();
    const pm::MMRESULT result = device_.close();
    eventRing.reset();
    callbackContext->ring = nullptr;
    check(result);
}

void TMidiInput::startInput()
{
    onGuiThread("TMidiInput::startInput");
    if (state_ == MidiInputState::Open)
        check(service_.midiInStart(device_.handle()));
}

void TMidiInput::stopInput()
{
    onGuiThread("TMidiInput::stopInput");
    if (state_ == MidiInputState::Open)
        check(service_.midiInStop(device_.handle()));
}

std::uint16_t TMidiInput::pendingEvents() const
{
    onGuiThread("TMidiInput::pendingEvents");
    return state_ == MidiInputState::Open && eventRing ? eventRing->count() : 0;
}

std::unique_ptr<TMyMidiEvent> TMidiInput::takeEvent()
{
    onGuiThread("TMidiInput::takeEvent");
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
        pm::MMRESULT result = service_.midiInPrepareHeader(device_.handle(), &header);
        if (result == pm::MMSYSERR_NOERROR)
            result = service_.midiInAddBuffer(device_.handle(), &header);
        check(result);
    }
    eventRing->drop();
    return event;
}

void TMidiInput::handleNotification(std::uint32_t message)
{
    onGuiThread("TMidiInput::handleNotification");
    if (message == mim_Data) {
        if (onMidiInput_ && state_ == MidiInputState::Open && pendingEvents() > 0)
            onMidiInput_(*this);
    } else if (message == mim_Overflow) {
        if (onOverflow_ && state_ == MidiInputState::Open)
            onOverflow_(*this);
    }
}

} // namespace midi
