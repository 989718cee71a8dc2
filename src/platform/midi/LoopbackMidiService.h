#pragma once

// In-process virtual MIDI input devices, for tests, benchmarks and demos.
// Each open device has a producer thread of its own that delivers what
// send() queued for it, so the callback runs on a thread that is not the
// caller's, as with a real driver. It can also act out the failures of a
// real service: a device held by another program, header preparation that
// runs out of memory, and a device unplugged while it is open.

#include "platform/midi/BasicMidiInService.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::midi {

struct LoopbackDevice {
    std::string name;
    std::uint16_t manufacturerId = 0xFFFF; // unmapped, as the platform says of unknown makers
    std::uint16_t productId = 0xFFFF;
    std::uint32_t driverVersion = 0x0100;
};

class LoopbackMidiService final : public BasicMidiInService {
public:
    explicit LoopbackMidiService(std::vector<LoopbackDevice> devices = {},
                                 InputOptions options = {});

    // The device number send(), flush() and unplug() take for the program's
    // own port, once setVirtualPorts(true) offers one ("Loopback").
    static constexpr std::uint32_t VirtualPort = 0xFFFF'FFFFu;
    ~LoopbackMidiService() override;

    std::uint32_t midiInGetNumDevs() override;
    MMRESULT midiInGetDevCaps(std::uint32_t deviceId, MIDIINCAPS& caps) override;
    MMRESULT midiInOpen(HMIDIIN& device, std::uint32_t deviceId, MidiInCallback callback,
                        std::uintptr_t dwInstance) override;
    // On an unplugged handle: MMSYSERR_NODRIVER, yet the handle and all it
    // held are let go. The queued headers leave the queue (MHDR_DONE set,
    // MHDR_INQUEUE cleared) but do not come back through the callback, and
    // there is no MIM_CLOSE.
    MMRESULT midiInClose(HMIDIIN device) override;
    // These fail with MMSYSERR_NODRIVER on an unplugged handle.
    MMRESULT midiInStart(HMIDIIN device) override;
    MMRESULT midiInStop(HMIDIIN device) override;
    MMRESULT midiInReset(HMIDIIN device) override;
    // Also fails as failHeaderPreparation says, before anything else is
    // checked but unplugging.
    MMRESULT midiInPrepareHeader(HMIDIIN device, MIDIHDR* header) override;
    MMRESULT midiInUnprepareHeader(HMIDIIN device, MIDIHDR* header) override;
    MMRESULT midiInAddBuffer(HMIDIIN device, MIDIHDR* header) override;
    std::vector<std::string> virtualPortDrivers() override;
    MMRESULT midiInOpenVirtual(HMIDIIN& device, std::uint32_t driver, const std::string& portName,
                               MidiInCallback callback, std::uintptr_t dwInstance) override;

    // The rest are for the test, on the thread that makes the service calls.

    // Replaces the device list; devices already open keep running.
    void setDevices(std::vector<LoopbackDevice> devices);
    // Offers a virtual port driver, or stops offering it; a port open stays.
    void setVirtualPorts(bool offered);
    // The name the virtual port was opened with; empty while none is open.
    std::string virtualPortName() const;
    // While held, opening the device fails with MMSYSERR_ALLOCATED.
    void setHeldElsewhere(std::uint32_t deviceId, bool held);
    // After `successes` more successful preparations, every
    // midiInPrepareHeader fails with `error`; MMSYSERR_NOERROR stops that.
    void failHeaderPreparation(MMRESULT error, std::uint32_t successes = 0);
    // The open device goes away, as a keyboard pulled out of its socket: what
    // was sent to it and not yet delivered is lost, the callback is not run
    // again (not even for MIM_CLOSE), send() to it fails, and every call on
    // its handle fails with MMSYSERR_NODRIVER, as the RtMidi backend says of
    // a port that is gone. Closing the handle still frees the device number,
    // which stays listed and can be opened again. Returns when the producer
    // thread will not run the callback again. Nothing happens when the
    // device is not open.
    void unplug(std::uint32_t deviceId);

    // Queues bytes for the device's producer thread, which delivers them in
    // order as one piece. False (and nothing queued) when the device is not
    // open or was unplugged.
    bool send(std::uint32_t deviceId, std::vector<std::uint8_t> bytes);
    // Returns when the device's producer thread has delivered everything
    // sent so far (at once when the device is not open).
    void flush(std::uint32_t deviceId);

protected:
    MMRESULT deviceKey(std::uint32_t deviceId, std::string& key) override;
    MMRESULT openPort(std::uint32_t deviceId, MidiInDevice& device,
                      std::unique_ptr<Port>& port) override;
    MMRESULT openVirtualPort(std::uint32_t driver, const std::string& portName,
                             MidiInDevice& device, std::unique_ptr<Port>& port) override;

private:
    class Producer;
    struct Route;
    struct Shared;
    static void routeCallback(HMIDIIN device, std::uint32_t message, std::uintptr_t dwInstance,
                              std::uintptr_t dwParam1, std::uintptr_t dwParam2);
    bool unplugged(HMIDIIN device) const;
    // Opens through `open`, which is handed the route's instance data, and
    // keeps the route of a device that opened.
    MMRESULT openRouted(HMIDIIN& device, std::uint32_t deviceId, MidiInCallback callback,
                        std::uintptr_t dwInstance,
                        const std::function<MMRESULT(std::uintptr_t)>& open);

    std::shared_ptr<Shared> shared_;
};

} // namespace platform::midi
