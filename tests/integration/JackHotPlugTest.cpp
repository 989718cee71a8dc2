// Keyboards that come and go behind a running JACK server, as the main
// window's poll sees them: JACK clients the test starts and stops stand in
// for keyboards plugged in and pulled out while a run goes on, and one plays
// into the program's own port. Skipped when no server runs.

#include "JackMidiSender.h"
#include "JackTest.h"
#include "ShippedSprites.h"
#include "engine/uSheetMusic.h"
#include "gfx/Image32.h"
#include "platform/midi/RtMidiService.h"
#include "platform/qt/QtNotifyTarget.h"
#include "platform/testing/FakeClock.h"
#include "platform/testing/Recorders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>

namespace engine {
namespace {

using namespace std::chrono_literals;
using tessaly::integration::JackMidiSender;

class JackHotPlug : public tessaly::integration::JackTest {
protected:
    void SetUp() override
    {
        JackTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        folder = std::filesystem::temp_directory_path() /
                 ("tessaly-JackHotPlug-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder);
        session.emplace(staff, progress, wait, messages, service, targets, folder);
    }
    void TearDown() override
    {
        session.reset();
        std::error_code ignored;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ignored);
    }

    bool listed(const std::string& port) const
    {
        const auto& ports = session->midi().ports();
        return std::find(ports.begin(), ports.end(), port) != ports.end();
    }

    // Polls as the window's timer does, until `done` or ten seconds.
    template <class Done> bool pollUntil(Done done)
    {
        return runUntil([&] {
            session->midi().poll();
            return done();
        });
    }

    // A notes run in C major, started, with its first question asked.
    void startRun()
    {
        session->prepareRun(
            RunSettings{.kind = ExerciseKind::NotesInC, .key = 0, .clef = ClefSetting::Treble});
        session->start(clock.now());
        for (int t = 0; t < 400 && !session->takesAnswers(); ++t) {
            clock.advanceMs(session->tickInterval());
            session->tick(clock.now());
        }
        ASSERT_TRUE(session->takesAnswers());
    }

    int answers() const
    {
        const scores::ScoreRecord& r = session->scores().currentScores()[1][0][1];
        return r.rightTotal + r.wrongTotal;
    }

    // Plays the asked question's key on `keyboard` and waits for its verdict.
    bool playsTheAskedNote(JackMidiSender& keyboard)
    {
        const SheetItem& item = session->slot(1, session->askedQuestion());
        const auto pitch = static_cast<std::uint8_t>(item.note()->getPitch());
        const int before = answers();
        keyboard.send(std::vector<std::uint8_t>{0x90, pitch, 90});
        const bool judged = runUntil([&] { return answers() == before + 1; });
        keyboard.send(std::vector<std::uint8_t>{0x80, pitch, 0});
        runUntil([&] { return session->keysHeld().none(); });
        return judged;
    }

    std::filesystem::path folder;
    platform::midi::RtMidiService service;
    platform::qt::QtNotifyTargets targets;
    platform::testing::FakeClock clock;
    gfx::TImage32 image;
    notation::TMusicalStaff staff{image, testsupport::shippedSprites(), clock, 2, 2};
    platform::testing::RecordingTextLabel progress;
    platform::testing::RecordingTextLabel wait;
    platform::testing::RecordingMessageBoxes messages;
    std::optional<TSheetMusic> session;
};

TEST_F(JackHotPlug, TheRememberedKeyboardIsFollowedThroughUnplugAndReplugWhileARunGoesOn)
{
    const std::string name = "tessaly-hotplug:out";
    session->midi().choose(MidiChoice::named(name));
    EXPECT_EQ(session->midi().status(), MidiStatus::Disconnected) << "not there yet";
    ASSERT_NO_FATAL_FAILURE(startRun());

    // Plugged in after start: listed and opened without a click.
    auto keyboard = std::make_unique<JackMidiSender>("tessaly-hotplug");
    ASSERT_TRUE(pollUntil([&] { return session->midi().status() == MidiStatus::Connected; }));
    EXPECT_TRUE(listed(name));
    EXPECT_EQ(session->midiInput().ProductName(), name);
    ASSERT_TRUE(keyboard->waitUntilConnected(10s));
    EXPECT_TRUE(playsTheAskedNote(*keyboard));

    // Pulled out: marked disconnected, and the run goes on.
    keyboard.reset();
    ASSERT_TRUE(pollUntil([&] { return session->midi().status() == MidiStatus::Disconnected; }));
    EXPECT_EQ(session->midi().statusPort(), name);
    EXPECT_FALSE(listed(name));
    for (int t = 0; t < 20; ++t) {
        clock.advanceMs(session->tickInterval());
        ASSERT_TRUE(session->tick(clock.now()));
    }
    EXPECT_TRUE(session->running());
    EXPECT_TRUE(messages.messages().empty()) << "no dialog for a device change";

    // Plugged in again: reconnected, and its notes are judged again.
    keyboard = std::make_unique<JackMidiSender>("tessaly-hotplug");
    ASSERT_TRUE(pollUntil([&] { return session->midi().status() == MidiStatus::Connected; }));
    ASSERT_TRUE(keyboard->waitUntilConnected(10s));
    ASSERT_TRUE(runUntil([&] { return session->takesAnswers(); }) || session->takesAnswers());
    EXPECT_TRUE(playsTheAskedNote(*keyboard));
}

TEST_F(JackHotPlug, WithNothingChosenTheFirstKeyboardToAppearIsOpened)
{
    // Whatever the server already offers (another test's leftovers, a
    // sequencer) counts as a keyboard too; only a new one is watched here.
    if (session->midi().status() == MidiStatus::Connected)
        GTEST_SKIP() << "the server already offers a MIDI output: " << session->midi().statusPort();
    EXPECT_EQ(session->midi().status(), MidiStatus::NoPorts);
    JackMidiSender keyboard("tessaly-first");
    ASSERT_TRUE(pollUntil([&] { return session->midi().status() == MidiStatus::Connected; }));
    EXPECT_EQ(session->midi().statusPort(), "tessaly-first:out");
}

TEST_F(JackHotPlug, AProgramPlayingIntoTheProgramsOwnPortIsJudged)
{
    const auto own = session->midi().virtualPorts();
    ASSERT_NE(std::find(own.begin(), own.end(), "JACK"), own.end())
        << "the program's own port is not open on JACK";
    session->midi().choose(MidiChoice::none());
    ASSERT_NO_FATAL_FAILURE(startRun());
    JackMidiSender player("tessaly-player");
    ASSERT_GE(player.connectTo("^Tessaly Notes(-[0-9]+)?:Tessaly Notes$"), 1);
    ASSERT_TRUE(player.waitUntilConnected(10s));
    EXPECT_TRUE(playsTheAskedNote(player));
    // The monitor names the port it came in on.
    ASSERT_FALSE(session->midi().monitor().empty());
    EXPECT_EQ(session->midi().monitor().front().port, "Tessaly Notes (JACK)");
    EXPECT_EQ(session->midi().monitor().front().message, "Note on");
}

} // namespace
} // namespace engine
