#pragma once

// The MIDI input service on real hardware, through RtMidi: the ALSA
// sequencer's ports and, while a JACK server runs, JACK's MIDI outputs.
// Where neither can be reached (no /dev/snd/seq, no JACK server, a driver
// error) it lists no devices, and the program goes on with mouse answers.
//
// Device numbers name the entries of the port list read by the last
// midiInGetNumDevs, not the driver's current order: a port that appears
// later does not move the others, and opening a port that has gone away
// fails with MMSYSERR_NODRIVER instead of opening its neighbour.
//
// Threads: all calls on the GUI thread; the callback runs on RtMidi's
// thread for the device (the ALSA input thread or the JACK process thread).

#include "platform/midi/BasicMidiInService.h"
#include "platform/midi/MidiPortList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::midi {

class RtMidiService final : public BasicMidiInService {
public:
    explicit RtMidiService(InputOptions options = {});
    ~RtMidiService() override;

    // Reads the port list again.
    std::uint32_t midiInGetNumDevs() override;
    MMRESULT midiInGetDevCaps(std::uint32_t deviceId, MIDIINCAPS& caps) override;
    // "ALSA" while the sequencer is there, "JACK" while a server runs.
    std::vector<std::string> virtualPortDrivers() override;

protected:
    MMRESULT deviceKey(std::uint32_t deviceId, std::string& key) override;
    MMRESULT openPort(std::uint32_t deviceId, MidiInDevice& device,
                      std::unique_ptr<Port>& port) override;
    MMRESULT openVirtualPort(std::uint32_t driver, const std::string& portName,
                             MidiInDevice& device, std::unique_ptr<Port>& port) override;

private:
    class AlsaLister;
    class JackLister;

    const std::vector<PortEntry>& ports();

    std::vector<PortEntry> ports_;
    bool listed_ = false;
    // What the last virtualPortDrivers offered.
    std::vector<PortApi> virtualApis_;
    // Read the port lists through one client each, kept open.
    std::unique_ptr<AlsaLister> alsa_;
    std::unique_ptr<JackLister> jack_;
};

} // namespace platform::midi
