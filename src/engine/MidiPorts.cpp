#include "engine/MidiPorts.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace engine {

namespace pm = platform::midi;

namespace {

// ALSA's loop of the kernel is no keyboard: it is opened only when chosen.
bool isKeyboard(const std::string& port) { return !port.starts_with("Midi Through"); }

// Retrying a port that would not open (another program holds it) costs a
// driver client; once every few polls is enough.
constexpr int PollsBetweenRetries = 5;

std::string controllerName(int controller)
{
    switch (controller) {
    case 0:
        return "Bank select";
    case 1:
        return "Modulation";
    case 7:
        return "Volume";
    case 10:
        return "Pan";
    case 11:
        return "Expression";
    case 64:
        return "Sustain pedal";
    case 66:
        return "Sostenuto pedal";
    case 67:
        return "Soft pedal";
    case 120:
        return "All sound off";
    case 121:
        return "Reset all controllers";
    case 123:
        return "All notes off";
    default:
        return "Controller";
    }
}

std::string systemMessageName(std::uint8_t status)
{
    switch (status) {
    case 0xF0:
        return "System exclusive";
    case 0xF1:
        return "Time code";
    case 0xF2:
        return "Song position";
    case 0xF3:
        return "Song select";
    case 0xF6:
        return "Tune request";
    case 0xF8:
        return "Clock";
    case 0xFA:
        return "Start";
    case 0xFB:
        return "Continue";
    case 0xFC:
        return "Stop";
    case 0xFE:
        return "Active sensing";
    case 0xFF:
        return "Reset";
    default:
        return "Undefined system message";
    }
}

} // namespace

namespace {
constexpr std::string_view SettingsSection = "Tessaly - Notes";
constexpr std::string_view MidiInputKey = "MidiInput";
// No value holds a line break.
constexpr std::string_view Missing = "\n";
} // namespace

MidiChoice readMidiChoice(const platform::IniFile& file)
{
    const std::string value = file.ReadString(SettingsSection, MidiInputKey, Missing);
    if (value == Missing)
        return MidiChoice::automatic();
    if (value.empty())
        return MidiChoice::none();
    return MidiChoice::named(value);
}

void writeMidiChoice(platform::IniFile& file, const MidiChoice& choice)
{
    switch (choice.kind) {
    case MidiChoice::Kind::Automatic:
        return;
    case MidiChoice::Kind::None:
        file.WriteString(SettingsSection, MidiInputKey, "");
        return;
    case MidiChoice::Kind::Port:
        file.WriteString(SettingsSection, MidiInputKey, choice.port);
        return;
    }
}

std::string midiNoteName(int note)
{
    static constexpr std::array<const char*, 12> Names{"C",  "C#", "D",  "D#", "E",  "F",
                                                       "F#", "G",  "G#", "A",  "A#", "B"};
    if (note < 0 || note > 127)
        return "?";
    return std::string(Names[static_cast<std::size_t>(note % 12)]) + std::to_string(note / 12 - 1);
}

MidiMonitorLine describeMidiEvent(const midi::TMyMidiEvent& event)
{
    MidiMonitorLine line;
    line.timeMs = event.timeStamp;
    const std::uint8_t status = event.statusByte;
    const int d1 = event.dataByte1 & 0x7F;
    const int d2 = event.dataByte2 & 0x7F;
    if (status < 0x80) {
        line.message = "Data without status";
        return line;
    }
    if (status >= 0xF0) {
        line.message = systemMessageName(status);
        line.realTime = status >= 0xF8;
        if (status == 0xF0)
            line.detail = std::to_string(event.sysexByteCount) + " bytes";
        else if (status == 0xF2)
            line.detail = std::to_string(d1 | d2 << 7);
        else if (status == 0xF3)
            line.detail = std::to_string(d1);
        return line;
    }
    line.channel = (status & 0x0F) + 1;
    switch (status & 0xF0) {
    case 0x80:
        line.message = "Note off";
        line.detail = midiNoteName(d1);
        line.velocity = d2;
        break;
    case 0x90:
        // A note-on of velocity 0 is how most keyboards release a key.
        line.message = d2 == 0 ? "Note off" : "Note on";
        line.detail = midiNoteName(d1);
        line.velocity = d2;
        break;
    case 0xA0:
        line.message = "Key pressure";
        line.detail = midiNoteName(d1) + " = " + std::to_string(d2);
        break;
    case 0xB0:
        line.message = "Control change";
        line.detail = controllerName(d1) + " (" + std::to_string(d1) + ") = " + std::to_string(d2);
        break;
    case 0xC0:
        line.message = "Program change";
        line.detail = std::to_string(d1 + 1);
        break;
    case 0xD0:
        line.message = "Channel pressure";
        line.detail = std::to_string(d1);
        break;
    default:
        line.message = "Pitch bend";
        line.detail = std::to_string((d1 | d2 << 7) - 8192);
        break;
    }
    return line;
}

std::string MidiMonitorLine::text() const
{
    // Columns line up in a fixed-width font while the names are short.
    const auto padded = [](std::string s, std::size_t width) {
        if (s.size() < width)
            s.resize(width, ' ');
        return s;
    };
    char time[32];
    std::snprintf(time, sizeof time, "%4u.%03u", timeMs / 1000, timeMs % 1000);
    std::string text = std::string(time) + "  " + padded(port, 16) + "  ";
    text += padded(channel > 0 ? "ch " + std::to_string(channel) : std::string("system"), 6);
    text += "  " + (detail.empty() && velocity < 0 ? message : padded(message, 16));
    if (!detail.empty())
        text += "  " + (velocity < 0 ? detail : padded(detail, 4));
    if (velocity >= 0)
        text += "  velocity " + std::to_string(velocity);
    return text;
}

MidiPorts::MidiPorts(pm::MidiInService& service, platform::NotifyTargetFactory& targets)
    : service_(service),
      targets_(targets),
      device_(service, targets)
{
    wire(device_);
    listDevices();
    followVirtualPorts();
    settle(true);
}

MidiPorts::~MidiPorts()
{
    // No notification may reach an owner that is going.
    device_.setOnMidiInput(nullptr);
    device_.setOnOverflow(nullptr);
    for (VirtualInput& v : virtual_) {
        v.input->setOnMidiInput(nullptr);
        v.input->setOnOverflow(nullptr);
    }
}

void MidiPorts::setHandlers(Handler onInput, Handler onOverflow)
{
    onInput_ = std::move(onInput);
    onOverflow_ = std::move(onOverflow);
    wire(device_);
    for (VirtualInput& v : virtual_)
        wire(*v.input);
}

void MidiPorts::wire(midi::TMidiInput& input)
{
    input.setOnMidiInput(onInput_);
    input.setOnOverflow(onOverflow_);
}

bool MidiPorts::poll()
{
    const std::vector<std::string> portsBefore = ports_;
    const MidiStatus statusBefore = status_;
    const std::string statusPortBefore = statusPort_;
    const std::vector<std::string> virtualBefore = virtualPorts();
    listDevices();
    followVirtualPorts();
    const bool listChanged = ports_ != portsBefore;
    settle(listChanged);
    return listChanged || status_ != statusBefore || statusPort_ != statusPortBefore ||
           virtualPorts() != virtualBefore;
}

void MidiPorts::choose(MidiChoice choice)
{
    choice_ = std::move(choice);
    // A port chosen again is tried again at once.
    failed_.clear();
    settle(true);
}

std::vector<std::string> MidiPorts::virtualPorts() const
{
    std::vector<std::string> drivers;
    for (const VirtualInput& v : virtual_)
        drivers.push_back(v.driver);
    return drivers;
}

void MidiPorts::listDevices()
{
    try {
        device_.refreshDevices();
        ports_.clear();
        for (std::uint32_t i = 0; i < device_.deviceCount(); ++i) {
            pm::MIDIINCAPS caps;
            if (service_.midiInGetDevCaps(i, caps) == pm::MMSYSERR_NOERROR)
                ports_.push_back(caps.szPname);
        }
    } catch (const std::exception&) {
        // A driver that fails to list lists nothing; the run goes on.
        ports_.clear();
    }
}

void MidiPorts::followVirtualPorts()
{
    drivers_ = service_.virtualPortDrivers();
    // A driver gone (the JACK server stopped): its port goes with it.
    std::erase_if(virtual_, [this](const VirtualInput& v) {
        if (std::find(drivers_.begin(), drivers_.end(), v.driver) != drivers_.end())
            return false;
        v.input->setOnMidiInput(nullptr);
        v.input->setOnOverflow(nullptr);
        try {
            v.input->stopInput();
            v.input->closeDevice();
        } catch (const std::exception&) {
        }
        return true;
    });
    for (std::uint32_t d = 0; d < drivers_.size(); ++d) {
        const bool open = std::any_of(virtual_.begin(), virtual_.end(), [&](const VirtualInput& v) {
            return v.driver == drivers_[d];
        });
        if (open)
            continue;
        auto input = std::make_unique<midi::TMidiInput>(service_, targets_);
        try {
            input->setVirtualPort(d, VirtualPortName);
            input->openDevice();
            if (input->state() != midi::MidiInputState::Open)
                continue; // tried again at the next poll
            input->startInput();
        } catch (const std::exception&) {
            continue;
        }
        wire(*input);
        virtual_.push_back({drivers_[d], std::move(input), sinceCreated()});
    }
}

std::string MidiPorts::wanted() const
{
    const auto listed = [this](const std::string& name) {
        return std::find(ports_.begin(), ports_.end(), name) != ports_.end();
    };
    switch (choice_.kind) {
    case MidiChoice::Kind::None:
        return {};
    case MidiChoice::Kind::Port:
        return listed(choice_.port) ? choice_.port : std::string();
    case MidiChoice::Kind::Automatic:
        if (!open_.empty() && listed(open_))
            return open_;
        if (!lastOpen_.empty() && listed(lastOpen_))
            return lastOpen_;
        for (const std::string& port : ports_)
            if (isKeyboard(port))
                return port;
        return {};
    }
    return {};
}

void MidiPorts::settle(bool listChanged)
{
    const std::string want = wanted();
    // Gone from the list, or no longer the one wanted.
    if (!open_.empty() && open_ != want)
        closeDevice();
    if (listChanged || ++pollsSinceFailure_ >= PollsBetweenRetries)
        failed_.clear();
    if (open_.empty() && !want.empty() && want != failed_)
        openDevice(want);
    updateStatus();
}

void MidiPorts::closeDevice()
{
    try {
        device_.stopInput();
    } catch (const std::exception&) {
        // A device that went away fails every call; it is closed all the same.
    }
    try {
        device_.closeDevice();
    } catch (const std::exception&) {
    }
    lastOpen_ = open_;
    open_.clear();
    if (onDeviceClosed_)
        onDeviceClosed_();
}

void MidiPorts::openDevice(const std::string& name)
{
    try {
        device_.setProductName(name);
        device_.openDevice();
        if (device_.state() == midi::MidiInputState::Open) {
            device_.startInput();
            deviceStartedMs_ = sinceCreated();
            open_ = name;
            errorText_.clear();
            return;
        }
        errorText_ = device_.deviceErrorText(device_.Error());
    } catch (const std::exception& error) {
        errorText_ = error.what();
        if (device_.state() == midi::MidiInputState::Open) {
            try {
                device_.closeDevice();
            } catch (const std::exception&) {
            }
        }
    }
    failed_ = name;
    pollsSinceFailure_ = 0;
}

void MidiPorts::updateStatus()
{
    if (!open_.empty()) {
        status_ = MidiStatus::Connected;
        statusPort_ = open_;
    } else if (choice_.kind == MidiChoice::Kind::None) {
        status_ = MidiStatus::NotListening;
        statusPort_.clear();
    } else if (!failed_.empty()) {
        status_ = MidiStatus::Failed;
        statusPort_ = failed_;
    } else if (choice_.kind == MidiChoice::Kind::Port) {
        status_ = MidiStatus::Disconnected;
        statusPort_ = choice_.port;
    } else if (!lastOpen_.empty()) {
        status_ = MidiStatus::Disconnected;
        statusPort_ = lastOpen_;
    } else {
        status_ = MidiStatus::NoPorts;
        statusPort_.clear();
    }
}

std::uint32_t MidiPorts::sinceCreated() const
{
    // The monitor's clock: when each port started, so that their time stamps
    // line up. Only shown, never judged.
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - created_)
                                          .count());
}

void MidiPorts::record(const midi::TMidiInput& sender, const midi::TMyMidiEvent& event)
{
    MidiMonitorLine line = describeMidiEvent(event);
    if (&sender == &device_) {
        line.port = open_;
        line.timeMs += deviceStartedMs_;
    } else {
        line.port = VirtualPortName;
        for (const VirtualInput& v : virtual_) {
            if (v.input.get() == &sender) {
                line.port += " (" + v.driver + ")";
                line.timeMs += v.startedMs;
            }
        }
    }
    ++messageCount_;
    lastPort_ = line.port;
    monitor_.push_back(std::move(line));
    if (monitor_.size() > MonitorLines)
        monitor_.pop_front();
    if (onRecorded_)
        onRecorded_(monitor_.back());
}

} // namespace engine
