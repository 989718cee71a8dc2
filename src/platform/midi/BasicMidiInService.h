#pragma once

// What the backends of the MIDI input service share: handles, the open
// devices (MidiInDevice each), the error texts, and the calls that act on an
// open device. A backend lists its devices and connects one to a
// MidiInDevice; everything else is here.

#include "platform/midi/MidiInDevice.h"
#include "platform/midi/MidiService.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace platform::midi {

class BasicMidiInService : public MidiInService {
public:
    // Closes the devices still open, without MIM_CLOSE.
    ~BasicMidiInService() override;

    MMRESULT midiInGetErrorText(MMRESULT code, std::string& text) override;

    MMRESULT midiInOpen(HMIDIIN& device, std::uint32_t deviceId, MidiInCallback callback,
                        std::uintptr_t dwInstance) override;
    MMRESULT midiInClose(HMIDIIN device) override;
    MMRESULT midiInStart(HMIDIIN device) override;
    MMRESULT midiInStop(HMIDIIN device) override;
    MMRESULT midiInReset(HMIDIIN device) override;
    MMRESULT midiInPrepareHeader(HMIDIIN device, MIDIHDR* header) override;
    MMRESULT midiInUnprepareHeader(HMIDIIN device, MIDIHDR* header) override;
    MMRESULT midiInAddBuffer(HMIDIIN device, MIDIHDR* header) override;
    MMRESULT midiInOpenVirtual(HMIDIIN& device, std::uint32_t driver, const std::string& portName,
                               MidiInCallback callback, std::uintptr_t dwInstance) override;

    // The backend's side of an open device: it hands the device's bytes to
    // MidiInDevice::receive from a thread of its own, and its destructor
    // returns only when that thread will not call receive again. A port must
    // not refer to the service: the last ones die in its destructor.
    class Port {
    public:
        virtual ~Port() = default;
    };

protected:
    explicit BasicMidiInService(InputOptions options);

    // Names the device behind a number so that two numbers naming the same
    // device give the same key: MMSYSERR_BADDEVICEID for a number the
    // backend does not list.
    virtual MMRESULT deviceKey(std::uint32_t deviceId, std::string& key) = 0;
    // Connects the device to `device`; nothing reaches it before it is
    // started.
    virtual MMRESULT openPort(std::uint32_t deviceId, MidiInDevice& device,
                              std::unique_ptr<Port>& port) = 0;
    // Makes the program's own port `portName` with driver `driver` and
    // connects it to `device`, as openPort does. MMSYSERR_BADDEVICEID for
    // a driver not offered (the default: none is).
    virtual MMRESULT openVirtualPort(std::uint32_t driver, const std::string& portName,
                                     MidiInDevice& device, std::unique_ptr<Port>& port);

    // True when `device` is an open handle of this service.
    bool isOpen(HMIDIIN device) const;

private:
    struct OpenDevice {
        std::string key;
        std::unique_ptr<MidiInDevice> device;
        std::unique_ptr<Port> port;
    };

    MidiInDevice* find(HMIDIIN device) const;
    // midiInOpen and midiInOpenVirtual: `key` names what is opened, `open`
    // connects it.
    template <typename Open>
    MMRESULT openKeyed(HMIDIIN& device, const std::string& key, MidiInCallback callback,
                       std::uintptr_t dwInstance, Open open);

    const InputOptions options_;
    mutable std::mutex mutex_;
    std::map<HMIDIIN, OpenDevice> open_;
    std::set<std::string> openKeys_;
    HMIDIIN nextHandle_ = 1;
};

} // namespace platform::midi
