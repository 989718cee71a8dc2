#pragma once

// In-process virtual MIDI input devices, for tests, benchmarks and demos.
// Each open device has a producer thread of its own that delivers what
// send() queued for it, so the callback runs on a thread that is not the
// caller's, as with a real driver. It can also act out the failures of a
// real service: a device held by another program, and header preparation
// that runs out of memory.

#include "platform/midi/BasicMidiInService.h"

#include <cstdint>
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
    ~LoopbackMidiService() override;

    std::uint32_t midiInGetNumDevs() override;
    MMRESULT midiInGetDevCaps(std::uint32_t deviceId, MIDIINCAPS& caps) override;
    // Fails as failHeaderPreparation says, before anything else is checked.
    MMRESULT midiInPrepareHeader(HMIDIIN device, MIDIHDR* header) override;

    // The rest are for the test, on the thread that makes the service calls.

    // Replaces the device list; devices already open keep running.
    void setDevices(std::vector<LoopbackDevice> devices);
    // While held, opening the device fails with MMSYSERR_ALLOCATED.
    void setHeldElsewhere(std::uint32_t deviceId, bool held);
    // After `successes` more successful preparations, every
    // midiInPrepareHeader fails with `error`; MMSYSERR_NOERROR stops that.
    void failHeaderPreparation(MMRESULT error, std::uint32_t successes = 0);

    // Queues bytes for the device's producer thread, which delivers them in
    // order as one piece. False (and nothing queued) when the device is not
    // open.
    bool send(std::uint32_t deviceId, std::vector<std::uint8_t> bytes);
    // Returns when the device's producer thread has delivered everything
    // sent so far (at once when the device is not open).
    void flush(std::uint32_t deviceId);

protected:
    MMRESULT deviceKey(std::uint32_t deviceId, std::string& key) override;
    MMRESULT openPort(std::uint32_t deviceId, MidiInDevice& device,
                      std::unique_ptr<Port>& port) override;

private:
    class Producer;
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace platform::midi
