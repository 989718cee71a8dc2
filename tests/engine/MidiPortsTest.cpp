#include "SessionFixture.h"

#include "platform/IniFile.h"

#include <fstream>

namespace engine {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::midi::LoopbackMidiService;

// Keyboards that come and go behind the Loopback service, as the main
// window's poll sees them.
class Ports : public SessionFixture {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        keyboards.setVirtualPorts(true);
    }
    void make()
    {
        session = std::make_unique<TSheetMusic>(staff, progress, wait, messages, keyboards, targets,
                                                folder);
    }
    MidiPorts& ports() { return session->midi(); }

    // Plays on `device` and lets the session take what arrived.
    bool play(std::uint32_t device, const Bytes& message)
    {
        if (!keyboards.send(device, message))
            return false;
        keyboards.flush(device);
        targets.drain();
        return true;
    }
    int answers() const
    {
        const scores::ScoreRecord& r = session->scores().currentScores()[1][0][1];
        return r.rightTotal + r.wrongTotal;
    }
    std::uint8_t askedPitch() const
    {
        return static_cast<std::uint8_t>(item(1, session->askedQuestion()).note()->getPitch());
    }
    void startNotes()
    {
        start(0);
        for (int t = 0; t < 40 && !session->takesAnswers(); ++t)
            session->Next();
        ASSERT_TRUE(session->takesAnswers());
    }

    LoopbackMidiService keyboards;
};

TEST_F(Ports, TheRememberedKeyboardIsFollowedThroughUnplugAndReplugDuringARun)
{
    make();
    ports().choose(MidiChoice::named("Keys"));
    EXPECT_EQ(ports().status(), MidiStatus::Disconnected);
    EXPECT_EQ(ports().statusPort(), "Keys");
    ASSERT_NO_FATAL_FAILURE(startNotes());

    // Plugged in: opened without a click.
    keyboards.setDevices({{"Other"}, {"Keys"}});
    EXPECT_TRUE(ports().poll());
    ASSERT_EQ(ports().status(), MidiStatus::Connected);
    EXPECT_EQ(session->midiInput().DeviceID(), 1);
    const std::uint8_t pitch = askedPitch();
    ASSERT_TRUE(play(1, {0x90, pitch, 100}));
    EXPECT_EQ(answers(), 1);
    EXPECT_TRUE(session->keysHeld().test(pitch));

    // Pulled out with the key still down: shown disconnected, the key let
    // go, the run going on, no message.
    keyboards.unplug(1);
    keyboards.setDevices({{"Other"}});
    EXPECT_TRUE(ports().poll());
    EXPECT_EQ(ports().status(), MidiStatus::Disconnected);
    EXPECT_EQ(ports().statusPort(), "Keys");
    EXPECT_TRUE(session->keysHeld().none());
    EXPECT_EQ(session->midiInput().state(), midi::MidiInputState::Closed);
    session->Next();
    EXPECT_TRUE(session->running());
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_FALSE(ports().poll()) << "nothing changed since";

    // Back, at another place in the list: reconnected, judged again.
    keyboards.setDevices({{"Keys"}, {"Other"}});
    EXPECT_TRUE(ports().poll());
    ASSERT_EQ(ports().status(), MidiStatus::Connected);
    EXPECT_EQ(session->midiInput().DeviceID(), 0);
    for (int t = 0; t < 40 && session->askedQuestion() < 2; ++t)
        session->Next();
    const int before = answers();
    ASSERT_TRUE(play(0, {0x90, askedPitch(), 100}));
    EXPECT_EQ(answers(), before + 1);
}

TEST_F(Ports, TheChoiceSurvivesARestartByNameWhenItsPlaceInTheListChanged)
{
    keyboards.setDevices({{"Keys One"}, {"Keys Two"}});
    make();
    EXPECT_EQ(session->midiInput().ProductName(), "Keys One") << "the first, with nothing chosen";
    platform::IniFile settings(folder / "vorlanta.ini");
    EXPECT_EQ(readMidiChoice(settings), MidiChoice::automatic());
    ports().choose(MidiChoice::named("Keys Two"));
    writeMidiChoice(settings, ports().choice());
    settings.UpdateFile();
    session.reset();

    // Next start: a new keyboard came first.
    keyboards.setDevices({{"New Keys"}, {"Keys Two"}, {"Keys One"}});
    make();
    const platform::IniFile reread(folder / "vorlanta.ini");
    ports().choose(readMidiChoice(reread));
    EXPECT_EQ(ports().status(), MidiStatus::Connected);
    EXPECT_EQ(session->midiInput().ProductName(), "Keys Two");
    EXPECT_EQ(session->midiInput().DeviceID(), 1);
}

TEST_F(Ports, TheSettingsValueNamesAPortNoneOrNothing)
{
    struct Case {
        const char* file;
        MidiChoice choice;
    };
    const Case cases[] = {
        {"[Tessaly - Notes]\nSkin=3\n", MidiChoice::automatic()},
        {"[Tessaly - Notes]\nMidiInput=\n", MidiChoice::none()},
        {"[Tessaly - Notes]\nMidiInput=USB Keys:USB Keys MIDI 1\n",
         MidiChoice::named("USB Keys:USB Keys MIDI 1")},
        {"[Other]\nMidiInput=Keys\n", MidiChoice::automatic()},
    };
    for (const Case& c : cases) {
        std::ofstream(folder / "vorlanta.ini") << c.file;
        const platform::IniFile file(folder / "vorlanta.ini");
        EXPECT_EQ(readMidiChoice(file), c.choice) << c.file;
    }
    for (const MidiChoice& choice : {MidiChoice::none(), MidiChoice::named("Keys")}) {
        platform::IniFile file(folder / "written.ini");
        writeMidiChoice(file, choice);
        file.UpdateFile();
        EXPECT_EQ(readMidiChoice(platform::IniFile(folder / "written.ini")), choice);
    }
}

TEST_F(Ports, WithNothingChosenTheFirstKeyboardIsOpenedNotTheKernelsLoop)
{
    keyboards.setDevices({{"Midi Through Port-0"}});
    make();
    EXPECT_EQ(ports().status(), MidiStatus::NoPorts);
    EXPECT_EQ(session->midiInput().state(), midi::MidiInputState::Closed);
    keyboards.setDevices({{"Midi Through Port-0"}, {"Keys"}});
    EXPECT_TRUE(ports().poll());
    EXPECT_EQ(ports().status(), MidiStatus::Connected);
    EXPECT_EQ(ports().statusPort(), "Keys");
    // Chosen by name, the loop opens like any port.
    ports().choose(MidiChoice::named("Midi Through Port-0"));
    EXPECT_EQ(session->midiInput().ProductName(), "Midi Through Port-0");
}

TEST_F(Ports, NoneLeavesOnlyTheProgramsOwnPortListening)
{
    keyboards.setDevices({{"Keys"}});
    make();
    EXPECT_EQ(keyboards.virtualPortName(), VirtualPortName);
    EXPECT_EQ(ports().virtualPorts(), std::vector<std::string>{"Loopback"});
    ports().choose(MidiChoice::none());
    EXPECT_EQ(ports().status(), MidiStatus::NotListening);
    EXPECT_EQ(session->midiInput().state(), midi::MidiInputState::Closed);
    EXPECT_FALSE(ports().poll()) << "None stays none while the keyboard is there";
    EXPECT_EQ(session->midiInput().state(), midi::MidiInputState::Closed);

    ASSERT_NO_FATAL_FAILURE(startNotes());
    ASSERT_TRUE(play(LoopbackMidiService::VirtualPort, {0x90, askedPitch(), 80}));
    EXPECT_EQ(answers(), 1);
    EXPECT_EQ(session->scores().currentScores()[1][0][1].rightTotal, 1);
    ASSERT_EQ(ports().monitor().size(), 1u);
    EXPECT_EQ(ports().monitor().back().port, "Tessaly Notes (Loopback)");

    // The driver goes (a JACK server stopped): so does its port.
    keyboards.setVirtualPorts(false);
    EXPECT_TRUE(ports().poll());
    EXPECT_TRUE(ports().virtualPorts().empty());
    EXPECT_EQ(keyboards.virtualPortName(), "");
    EXPECT_FALSE(keyboards.send(LoopbackMidiService::VirtualPort, {0x90, 60, 80}));
}

TEST_F(Ports, AKeyboardHeldByAnotherProgramFailsAndIsTriedAgainLater)
{
    keyboards.setDevices({{"Keys"}});
    keyboards.setHeldElsewhere(0, true);
    make();
    EXPECT_EQ(ports().status(), MidiStatus::Failed);
    EXPECT_EQ(ports().statusPort(), "Keys");
    EXPECT_FALSE(ports().errorText().empty());
    keyboards.setHeldElsewhere(0, false);
    int polls = 0;
    while (ports().status() != MidiStatus::Connected && polls < 10) {
        ports().poll();
        ++polls;
    }
    EXPECT_EQ(ports().status(), MidiStatus::Connected);
    EXPECT_GT(polls, 1) << "a failing port is not tried on every poll";
}

TEST_F(Ports, TheMonitorKeepsTheNewestMessagesAndCountsThemAll)
{
    keyboards.setDevices({{"Keys"}});
    make();
    for (std::size_t n = 0; n < MidiPorts::MonitorLines + 20; ++n)
        keyboards.send(0, {0x90, static_cast<std::uint8_t>(n % 128), 1});
    keyboards.flush(0);
    targets.drain();
    EXPECT_EQ(ports().messageCount(), MidiPorts::MonitorLines + 20);
    ASSERT_EQ(ports().monitor().size(), MidiPorts::MonitorLines);
    EXPECT_EQ(ports().monitor().front().detail, midiNoteName(20));
    EXPECT_EQ(ports().monitor().back().port, "Keys");
}

TEST(MidiMonitor, DecodesEachKindOfMessage)
{
    struct Case {
        midi::TMyMidiEvent event;
        int channel;
        const char* message;
        const char* detail;
        int velocity;
    };
    const auto ev = [](std::uint8_t s, std::uint8_t a = 0, std::uint8_t b = 0) {
        midi::TMyMidiEvent e;
        e.statusByte = s;
        e.dataByte1 = a;
        e.dataByte2 = b;
        return e;
    };
    midi::TMyMidiEvent sysex = ev(0xF0);
    sysex.sysexByteCount = 6;
    const Case cases[] = {
        {ev(0x90, 60, 100), 1, "Note on", "C4", 100},
        {ev(0x9F, 61, 0), 16, "Note off", "C#4", 0}, // how most keyboards release
        {ev(0x83, 21, 64), 4, "Note off", "A0", 64},
        {ev(0xB0, 64, 127), 1, "Control change", "Sustain pedal (64) = 127", -1},
        {ev(0xB2, 123, 0), 3, "Control change", "All notes off (123) = 0", -1},
        {ev(0xB0, 20, 5), 1, "Control change", "Controller (20) = 5", -1},
        {ev(0xC0, 0), 1, "Program change", "1", -1},
        {ev(0xE0, 0, 64), 1, "Pitch bend", "0", -1},
        {ev(0xE0, 0, 0), 1, "Pitch bend", "-8192", -1},
        {ev(0xA0, 42, 5), 1, "Key pressure", "F#2 = 5", -1},
        {ev(0xD0, 9), 1, "Channel pressure", "9", -1},
        {sysex, 0, "System exclusive", "6 bytes", -1},
        {ev(0xF8), 0, "Clock", "", -1},
        {ev(0xFE), 0, "Active sensing", "", -1},
    };
    for (const Case& c : cases) {
        const MidiMonitorLine line = describeMidiEvent(c.event);
        EXPECT_EQ(line.channel, c.channel) << c.message;
        EXPECT_EQ(line.message, c.message);
        EXPECT_EQ(line.detail, c.detail) << c.message;
        EXPECT_EQ(line.velocity, c.velocity) << c.message;
    }
    EXPECT_TRUE(describeMidiEvent(ev(0xFE)).realTime);
    EXPECT_FALSE(describeMidiEvent(ev(0xF0)).realTime);
    EXPECT_EQ(midiNoteName(127), "G9");
    EXPECT_EQ(midiNoteName(0), "C-1");

    // One line in columns.
    MidiMonitorLine line = describeMidiEvent(ev(0x90, 60, 100));
    line.timeMs = 1234;
    line.port = "Keys";
    EXPECT_EQ(line.text(),
              "   1.234  Keys              ch 1    Note on           C4    velocity 100");
    line = describeMidiEvent(ev(0xF8));
    line.timeMs = 61'002;
    line.port = "Tessaly Notes (JACK)";
    EXPECT_EQ(line.text(), "  61.002  Tessaly Notes (JACK)  system  Clock");
}

} // namespace
} // namespace engine
