#pragma once

// The MIDI inputs of a session: the keyboard the player chose (or, with
// nothing chosen, the first one found), followed as devices come and go, and
// the program's own port "Tessaly Notes" that other programs play into. What
// arrives on any of them is kept, decoded, for the MIDI monitor.
//
// Threads: every member on the GUI thread.

#include "midi/MidiIn.h"
#include "platform/IniFile.h"
#include "platform/NotifyTarget.h"
#include "platform/midi/MidiService.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace engine {

// The name of the program's own input port.
inline constexpr const char* VirtualPortName = "Tessaly Notes";

// Which keyboard to listen to.
struct MidiChoice {
    enum class Kind : std::uint8_t {
        Automatic, // the first keyboard found (nothing chosen yet)
        None,      // no device; the program's own port still listens
        Port,      // this port, by name, whenever it is there
    };
    Kind kind = Kind::Automatic;
    std::string port;

    static MidiChoice automatic() { return {}; }
    static MidiChoice none() { return {Kind::None, {}}; }
    static MidiChoice named(std::string port) { return {Kind::Port, std::move(port)}; }
    friend bool operator==(const MidiChoice&, const MidiChoice&) = default;
};

enum class MidiStatus : std::uint8_t {
    Connected,    // the device is open and listened to
    Disconnected, // the device went away (or the chosen one is not there yet)
    NoPorts,      // nothing chosen and no keyboard found
    NotListening, // "None" chosen
    Failed,       // the device is listed but would not open (errorText says why)
};

// One message as the monitor shows it.
struct MidiMonitorLine {
    // Milliseconds since the session began listening, by the port's own
    // time stamp (so that every port counts from the same moment).
    std::uint32_t timeMs = 0;
    std::string port;
    int channel = 0;     // 1..16; 0 for system messages
    std::string message; // "Note on", "Control change", "Clock", ...
    std::string detail;  // "C4", "Sustain pedal (64) = 127", "6 bytes", ...
    int velocity = -1;   // note messages only
    // System real-time messages (clock, active sensing, ...), which some
    // devices send many times a second.
    bool realTime = false;

    // "  12.345  Keys One          ch 1    Note on           C4    velocity 100"
    std::string text() const;
};

// The settings file's "MidiInput" key: missing for the first keyboard found,
// empty for none, otherwise the port's name.
MidiChoice readMidiChoice(const platform::IniFile& file);
// Sets the key in memory (nothing for Automatic); the caller writes the file.
void writeMidiChoice(platform::IniFile& file, const MidiChoice& choice);

// Decodes one event as the monitor shows it (without time and port).
MidiMonitorLine describeMidiEvent(const midi::TMyMidiEvent& event);
// "C4" for 60, "F#2" for 42: scientific pitch names, sharps for black keys.
std::string midiNoteName(int note);

class MidiPorts {
public:
    using Handler = midi::TMidiInput::Handler;

    // The most lines the monitor keeps; older ones go.
    static constexpr std::size_t MonitorLines = 500;

    // Lists the devices, opens the first keyboard and the program's own
    // port where the service offers one. Both arguments must outlive this.
    MidiPorts(platform::midi::MidiInService& service, platform::NotifyTargetFactory& targets);
    ~MidiPorts();
    MidiPorts(const MidiPorts&) = delete;
    MidiPorts& operator=(const MidiPorts&) = delete;

    // The handlers every input calls (the chosen device and each of the
    // program's own ports).
    void setHandlers(Handler onInput, Handler onOverflow);
    // Called when an open device is closed (gone, or another chosen): keys
    // held on it will never be released.
    void setOnDeviceClosed(std::function<void()> handler) { onDeviceClosed_ = std::move(handler); }
    // Called after each message recorded for the monitor.
    void setOnRecorded(std::function<void(const MidiMonitorLine&)> handler)
    {
        onRecorded_ = std::move(handler);
    }

    // Reads the port list again and opens or closes what the choice asks
    // for; about once a second. Never stops a run and never shows a
    // message. True when the list, the status or the open port changed.
    bool poll();
    // Listens to `choice` from now on (opening or closing at once).
    void choose(MidiChoice choice);

    const MidiChoice& choice() const { return choice_; }
    // The device ports by name, as last listed.
    const std::vector<std::string>& ports() const { return ports_; }
    MidiStatus status() const { return status_; }
    // The port the status is about: the open one, the one gone away, the
    // one that failed; empty otherwise.
    const std::string& statusPort() const { return statusPort_; }
    // Why the device would not open (Failed).
    const std::string& errorText() const { return errorText_; }
    // The drivers whose "Tessaly Notes" port is open ("ALSA", "JACK").
    std::vector<std::string> virtualPorts() const;

    // The chosen device's input.
    midi::TMidiInput& deviceInput() { return device_; }
    const midi::TMidiInput& deviceInput() const { return device_; }

    // Keeps an event the session took from `sender` for the monitor.
    void record(const midi::TMidiInput& sender, const midi::TMyMidiEvent& event);
    // The newest last.
    const std::deque<MidiMonitorLine>& monitor() const { return monitor_; }
    // Every message recorded so far; the activity light blinks when it grows.
    std::uint64_t messageCount() const { return messageCount_; }
    void clearMonitor() { monitor_.clear(); }
    // The port of the last message recorded; empty before the first.
    const std::string& lastPort() const { return lastPort_; }

private:
    struct VirtualInput {
        std::string driver;
        std::unique_ptr<midi::TMidiInput> input;
        std::uint32_t startedMs = 0;
    };

    // Milliseconds since this object was made.
    std::uint32_t sinceCreated() const;

    void listDevices();
    void followVirtualPorts();
    void settle(bool listChanged);
    // The port the choice wants open now; empty for none.
    std::string wanted() const;
    void closeDevice();
    void openDevice(const std::string& name);
    void wire(midi::TMidiInput& input);
    void updateStatus();

    platform::midi::MidiInService& service_;
    platform::NotifyTargetFactory& targets_;
    midi::TMidiInput device_;
    std::vector<VirtualInput> virtual_;
    std::vector<std::string> drivers_;
    Handler onInput_;
    Handler onOverflow_;
    std::function<void()> onDeviceClosed_;
    std::function<void(const MidiMonitorLine&)> onRecorded_;

    MidiChoice choice_;
    std::vector<std::string> ports_;
    std::string open_;     // the device port open now
    std::string lastOpen_; // the last one open, to prefer when it returns
    std::string failed_;   // a port that would not open
    int pollsSinceFailure_ = 0;
    MidiStatus status_ = MidiStatus::NoPorts;
    std::string statusPort_;
    std::string errorText_;

    std::chrono::steady_clock::time_point created_ = std::chrono::steady_clock::now();
    std::uint32_t deviceStartedMs_ = 0;
    std::deque<MidiMonitorLine> monitor_;
    std::uint64_t messageCount_ = 0;
    std::string lastPort_;
};

} // namespace engine
