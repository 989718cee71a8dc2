#pragma once

// TMidiInput: one MIDI input device of the platform's MIDI service, whose
// messages it collects on the service's callback thread and hands to its
// owner, one event at a time, on the GUI thread.
//
// Threads: every member is called on the GUI thread (the thread that makes
// the component; a Debug build aborts when an operation is called on
// another). The only code that runs on the service's callback thread is
// midiInputCallback, which touches the event ring and the notification
// target alone; OnMidiInput and OnOverflow run on the GUI thread when the
// target delivers its notification.

#include "midi/Circbuf.h"
#include "midi/MidiCallback.h"
#include "midi/Mididefs.h"
#include "midi/Miditype.h"
#include "platform/NotifyTarget.h"
#include "platform/ThreadCheck.h"
#include "platform/midi/MidiService.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace midi {

class EMidiInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class MidiInputState : std::uint8_t { Open, Closed, Creating };

// An open device of the MIDI service and the system-exclusive buffers
// queued with it. Closing, whether asked for or in tearing down, goes one
// way: reset, every buffer given back, close.
class OpenMidiDevice {
public:
    OpenMidiDevice() = default;
    ~OpenMidiDevice() { close(); }
    OpenMidiDevice(const OpenMidiDevice&) = delete;
    OpenMidiDevice& operator=(const OpenMidiDevice&) = delete;

    // Opens device `id` with the callback and its instance data; the
    // service's result. A handle the service gives, even with a failure, is
    // held and closed.
    platform::midi::MMRESULT open(platform::midi::MidiInService& service, std::uint32_t id,
                                  platform::midi::MidiInCallback callback, std::uintptr_t instance);
    // The same for the program's own port `portName` with `driver`.
    platform::midi::MMRESULT openVirtual(platform::midi::MidiInService& service,
                                         std::uint32_t driver, const std::string& portName,
                                         platform::midi::MidiInCallback callback,
                                         std::uintptr_t instance);
    bool isOpen() const { return handle_ != 0; }
    platform::midi::HMIDIIN handle() const { return handle_; }
    // Keeps `header` and prepares it with the device; the service's result.
    platform::midi::MMRESULT prepare(std::unique_ptr<TMyMidiHdr> header);
    // Queues every kept buffer with the device; the first failure, or success.
    platform::midi::MMRESULT addBuffers();
    // Resets, gives back every buffer and closes, whatever fails on the way;
    // the first failure's code, or success. Afterwards nothing is open and
    // no buffer is kept.
    platform::midi::MMRESULT close() noexcept;

private:
    platform::midi::MidiInService* service_ = nullptr;
    platform::midi::HMIDIIN handle_ = 0;
    std::vector<std::unique_ptr<TMyMidiHdr>> headers_;
};

class TMidiInput {
public:
    using Handler = std::function<void(TMidiInput& sender)>;

    // Reads the device count once and selects device 0 when there is one.
    // Throws EMidiInputError when device 0 cannot describe itself. Both
    // arguments must outlive the component.
    TMidiInput(platform::midi::MidiInService& service, platform::NotifyTargetFactory& targets);
    // Closes the device if it is open (errors are swallowed here) and stops
    // every notification.
    ~TMidiInput();
    TMidiInput(const TMidiInput&) = delete;
    TMidiInput& operator=(const TMidiInput&) = delete;

    // The selected device. Selecting a number at or beyond the device count
    // changes nothing; selecting while open throws.
    std::uint16_t DeviceID() const
    {
        onGuiThread("TMidiInput::DeviceID");
        return deviceId_;
    }
    void setDeviceID(std::uint16_t value);
    // Selects the device with exactly this name; throws "MIDI Input Device
    // <name> not installed " when there is none.
    const std::string& ProductName() const
    {
        onGuiThread("TMidiInput::ProductName");
        return productName_;
    }
    void setProductName(const std::string& value);

    // Ring places for the next opening; checked by openDevice (1..5461).
    std::uint16_t Capacity() const
    {
        onGuiThread("TMidiInput::Capacity");
        return capacity_;
    }
    void setCapacity(std::uint16_t value)
    {
        onGuiThread("TMidiInput::setCapacity");
        capacity_ = value;
    }
    // The result code of the last call to the service (0 = success).
    std::uint16_t Error() const
    {
        onGuiThread("TMidiInput::Error");
        return error_;
    }
    std::uint16_t SysexBufferSize() const
    {
        onGuiThread("TMidiInput::SysexBufferSize");
        return sysexBufferSize_;
    }
    void setSysexBufferSize(std::uint16_t value);
    std::uint16_t SysexBufferCount() const
    {
        onGuiThread("TMidiInput::SysexBufferCount");
        return sysexBufferCount_;
    }
    void setSysexBufferCount(std::uint16_t value);
    // Takes effect at once, also while open.
    bool SysexOnly() const
    {
        onGuiThread("TMidiInput::SysexOnly");
        return sysexOnly_;
    }
    void setSysexOnly(bool value);

    void setOnMidiInput(Handler handler)
    {
        onGuiThread("TMidiInput::setOnMidiInput");
        onMidiInput_ = std::move(handler);
    }
    void setOnOverflow(Handler handler)
    {
        onGuiThread("TMidiInput::setOnOverflow");
        onOverflow_ = std::move(handler);
    }

    std::uint16_t deviceCount() const
    {
        onGuiThread("TMidiInput::deviceCount");
        return deviceCount_;
    }
    // Reads the device count again: devices come and go.
    void refreshDevices();

    // Makes this component the program's own input port `name` with the
    // service's virtual port driver `driver`, instead of a listed device,
    // from the next openDevice on; throws while open.
    void setVirtualPort(std::uint32_t driver, std::string name);
    bool isVirtualPort() const
    {
        onGuiThread("TMidiInput::isVirtualPort");
        return virtual_;
    }
    std::uint32_t driverVersion() const
    {
        onGuiThread("TMidiInput::driverVersion");
        return driverVersion_;
    }
    std::uint16_t manufacturerId() const
    {
        onGuiThread("TMidiInput::manufacturerId");
        return manufacturerId_;
    }
    std::uint16_t productId() const
    {
        onGuiThread("TMidiInput::productId");
        return productId_;
    }
    MidiInputState state() const
    {
        onGuiThread("TMidiInput::state");
        return state_;
    }

    // Never throws: a failure leaves the component closed with the code in
    // Error(), and a device that did open is reset and closed again first.
    void openDevice();
    void closeDevice();
    void startInput();
    void stopInput();

    // Events waiting (0 while closed).
    std::uint16_t pendingEvents() const;
    // The oldest waiting event, or none. A system-exclusive buffer is copied
    // and queued with the device again; if that fails the event stays
    // waiting and EMidiInputError is thrown.
    std::unique_ptr<TMyMidiEvent> takeEvent();

    // The service's text for a result code.
    std::string deviceErrorText(platform::midi::MMRESULT code) const;

private:
    void onGuiThread(const char* operation) const { gui_.check(operation, "the GUI thread"); }
    void handleNotification(std::uint32_t message);
    // Stores the code; throws its text when it is not success.
    void check(platform::midi::MMRESULT result);
    // Closes the device if one is open and frees everything it could touch,
    // ignoring errors (a failed opening, the destructor).
    void teardown() noexcept;

    platform::ThreadOwner gui_;
    platform::midi::MidiInService& service_;
    std::unique_ptr<platform::NotifyTarget> notifyWindow;
    std::uint16_t deviceId_ = 0;
    MidiInputState state_ = MidiInputState::Creating;
    std::uint16_t error_ = 0;
    bool sysexOnly_ = false;
    std::uint32_t driverVersion_ = 0;
    std::string productName_;
    std::uint16_t manufacturerId_ = 0;
    std::uint16_t productId_ = 0;
    std::uint16_t capacity_ = 1024;
    std::unique_ptr<MidiEventRing> eventRing;
    std::uint16_t deviceCount_ = 0;
    bool virtual_ = false;
    std::uint32_t virtualDriver_ = 0;
    Handler onMidiInput_;
    Handler onOverflow_;
    std::uint16_t sysexBufferSize_ = 4096;
    std::uint16_t sysexBufferCount_ = 16;
    std::unique_ptr<CallbackContext> callbackContext;
    // Last, so that it closes before the ring and the context it calls into
    // go.
    OpenMidiDevice device_;
};

} // namespace midi
