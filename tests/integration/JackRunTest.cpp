// A whole run answered on a keyboard behind a running JACK server: the
// session of the main window with the RtMidi service, the Qt event loop
// delivering the notifications, and a JACK client playing every question's
// key. Skipped when no server runs.

#include "JackMidiSender.h"
#include "JackTest.h"
#include "ShippedSprites.h"
#include "TempFolder.h"
#include "engine/uSheetMusic.h"
#include "gfx/Image32.h"
#include "platform/midi/RtMidiService.h"
#include "platform/qt/QtNotifyTarget.h"
#include "platform/testing/FakeClock.h"
#include "platform/testing/Recorders.h"
#include "scores/uHighscore.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <thread>

namespace engine {
namespace {

using namespace std::chrono_literals;
using tessaly::integration::JackMidiSender;

class JackRun : public tessaly::integration::JackTest {
protected:
    void SetUp() override
    {
        JackTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        folder = std::filesystem::temp_directory_path() /
                 ("tessaly-JackRun-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override
    {
        std::error_code ignored;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ignored);
    }

    // Opens the sender's port in the session, as choosing it would.
    static void listenTo(TSheetMusic& session, const std::string& portName)
    {
        const auto& names = session.midiDevices();
        const auto at = std::find(names.begin(), names.end(), portName);
        ASSERT_NE(at, names.end()) << portName << " is not listed";
        midi::TMidiInput& in = session.midiInput();
        if (in.state() == midi::MidiInputState::Open && in.ProductName() == portName)
            return;
        in.stopInput();
        in.closeDevice();
        in.setDeviceID(static_cast<std::uint16_t>(at - names.begin()));
        in.setProductName(portName);
        in.openDevice();
        ASSERT_EQ(in.state(), midi::MidiInputState::Open) << in.deviceErrorText(in.Error());
        in.startInput();
    }

    std::filesystem::path folder;
};

TEST_F(JackRun, NoteOffsWithAReleaseVelocityFinishTheRunAndKeepItsBestTime)
{
    // The port is there before the session lists the devices.
    JackMidiSender keyboard("tessaly-run");
    platform::midi::RtMidiService service;
    platform::qt::QtNotifyTargets targets;
    platform::testing::FakeClock clock;
    gfx::TImage32 image;
    notation::TMusicalStaff staff{image, testsupport::shippedSprites(), clock, 2, 2};
    platform::testing::RecordingTextLabel progress;
    platform::testing::RecordingTextLabel wait;
    platform::testing::RecordingMessageBoxes messages;
    TSheetMusic session(staff, progress, wait, messages, service, targets, folder);
    ASSERT_NO_FATAL_FAILURE(listenTo(session, keyboard.portName()));
    ASSERT_TRUE(keyboard.waitUntilConnected(10s));

    // The main window's run: 100 notes in C major on the treble staff.
    session.prepareRun(engine::RunSettings{
        .kind = engine::ExerciseKind::NotesInC, .key = 0, .clef = engine::ClefSetting::Treble});
    session.start(clock.now());
    const int n = static_cast<int>(session.questionCount());
    ASSERT_EQ(n, 100);
    const auto answers = [&] {
        const scores::ScoreRecord& r = session.scores().currentScores()[1][0][1];
        return r.rightTotal + r.wrongTotal;
    };

    // Ticks as the main window's timer gives them, on the fake clock; each
    // question is played as soon as it is asked: its key down, and up again
    // with a note-off carrying a release velocity, as many keyboards send.
    int played = 0;
    std::int32_t lastAnswerSeconds = -1;
    for (int tick = 0; tick < 5000 && !session.finished(); ++tick) {
        clock.advanceMs(session.tickInterval());
        ASSERT_TRUE(session.tick(clock.now()));
        if (session.finished() || !session.takesAnswers() || session.askedQuestion() != played + 1)
            continue;
        const int q = session.askedQuestion();
        const SheetItem& item = session.slot(1, q);
        ASSERT_EQ(item.kind(), ItemKind::Note) << q;
        const auto pitch = static_cast<std::uint8_t>(item.note()->getPitch());
        const int before = answers();
        keyboard.send(std::vector<std::uint8_t>{0x90, pitch, 96});
        ASSERT_TRUE(runUntil([&] { return answers() == before + 1; }))
            << "question " << q << " was not judged";
        ASSERT_EQ(session.scores().currentScores()[1][0][1].rightTotal, q);
        keyboard.send(std::vector<std::uint8_t>{0x80, pitch, 64});
        ASSERT_TRUE(runUntil([&] { return session.keysHeld().none(); }))
            << "the key of question " << q << " did not come up";
        ++played;
        lastAnswerSeconds = session.elapsedSeconds();
        if (q < n) {
            EXPECT_NE(session.askedQuestion(), q) << "the pointer stayed on question " << q;
        }
    }
    ASSERT_TRUE(session.finished());
    ASSERT_EQ(played, n);
    EXPECT_EQ(session.lastAnsweredQuestion(), n);

    const scores::ScoreRecord& stored = session.scores().storedScores()[1][0][1];
    EXPECT_EQ(stored.rightTotal, n);
    EXPECT_EQ(stored.wrongTotal, 0);
    EXPECT_LT(stored.bestTime, scores::NoBestTime);
    EXPECT_EQ(stored.bestTime, lastAnswerSeconds);

    // keyscore.dat holds the run and its time.
    const auto file = testsupport::TempFolder::readBytes(folder / scores::ScoreFileName);
    ASSERT_EQ(file.size(), scores::ScoreFileSize);
    const std::size_t at = scores::recordOffset(1, 0, 1) + 500; // the record's best time
    const auto bestInFile = static_cast<std::int32_t>(
        std::uint32_t{file[at]} | std::uint32_t{file[at + 1]} << 8 |
        std::uint32_t{file[at + 2]} << 16 | std::uint32_t{file[at + 3]} << 24);
    EXPECT_EQ(bestInFile, stored.bestTime);
    EXPECT_TRUE(messages.messages().empty());
}

} // namespace
} // namespace engine
