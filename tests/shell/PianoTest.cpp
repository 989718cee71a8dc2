#include "ShippedSprites.h"
#include "TempFolder.h"
#include "engine/testing/SessionProbe.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/testing/FakeClock.h"
#include "platform/testing/QueuedNotifyTarget.h"
#include "platform/testing/Recorders.h"
#include "shell/uPiano.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

namespace shell {
namespace {

// --- Hit test -------------------------------------------------------------------------

struct HitCase {
    const char* name;
    int x, y;
    int pitchClass, sprite, left;
};
void PrintTo(const HitCase& row, std::ostream* os) { *os << row.name; }

class HitTest : public ::testing::TestWithParam<HitCase> {};

TEST_P(HitTest, NamesTheKeyUnderThePoint)
{
    const HitCase& c = GetParam();
    const PianoKey key = pianoHitTest(c.x, c.y);
    EXPECT_EQ(key.pitchClass, c.pitchClass);
    EXPECT_EQ(key.bit, 1u << c.pitchClass);
    EXPECT_EQ(key.sprite, c.sprite);
    EXPECT_EQ(key.left, c.left);
}

INSTANTIATE_TEST_SUITE_P(
    Piano, HitTest,
    ::testing::Values(
        // Upper zone, first octave, both edges of every key.
        HitCase{"UpperC0", 0, 0, 0, 45, 0}, HitCase{"UpperC10", 10, 42, 0, 45, 0},
        HitCase{"UpperCSharp11", 11, 0, 1, 44, 11}, HitCase{"UpperCSharp23", 23, 42, 1, 44, 11},
        HitCase{"UpperD24", 24, 10, 2, 46, 21}, HitCase{"UpperD35", 35, 10, 2, 46, 21},
        HitCase{"UpperDSharp36", 36, 10, 3, 44, 36}, HitCase{"UpperDSharp48", 48, 10, 3, 44, 36},
        HitCase{"UpperE49", 49, 10, 4, 47, 41}, HitCase{"UpperE59", 59, 10, 4, 47, 41},
        HitCase{"UpperF60", 60, 10, 5, 48, 61}, HitCase{"UpperF70", 70, 10, 5, 48, 61},
        HitCase{"UpperFSharp71", 71, 10, 6, 44, 71}, HitCase{"UpperFSharp83", 83, 10, 6, 44, 71},
        HitCase{"UpperG84", 84, 10, 7, 49, 81}, HitCase{"UpperG93", 93, 10, 7, 49, 81},
        HitCase{"UpperGSharp94", 94, 10, 8, 44, 94}, HitCase{"UpperGSharp106", 106, 10, 8, 44, 94},
        HitCase{"UpperA107", 107, 10, 9, 50, 101}, HitCase{"UpperA116", 116, 10, 9, 50, 101},
        HitCase{"UpperASharp117", 117, 10, 10, 44, 117},
        HitCase{"UpperASharp128", 128, 10, 10, 44, 117}, HitCase{"UpperB129", 129, 10, 11, 51, 121},
        HitCase{"UpperB139", 139, 10, 11, 51, 121},
        // Lower zone: white keys only; the same x as C sharp above is C or D.
        HitCase{"LowerC11", 11, 43, 0, 45, 0}, HitCase{"LowerC20", 20, 70, 0, 45, 0},
        HitCase{"LowerD21", 21, 43, 2, 46, 21}, HitCase{"LowerD23", 23, 43, 2, 46, 21},
        HitCase{"LowerE41", 41, 50, 4, 47, 41}, HitCase{"LowerF61", 61, 50, 5, 48, 61},
        HitCase{"LowerG81", 81, 50, 7, 49, 81}, HitCase{"LowerA101", 101, 50, 9, 50, 101},
        HitCase{"LowerB121", 121, 50, 11, 51, 121}, HitCase{"LowerB139", 139, 70, 11, 51, 121},
        // Later octaves shift everything by 140.
        HitCase{"SecondOctaveC", 140, 60, 0, 45, 140},
        HitCase{"ThirdOctaveFSharp", 280 + 75, 20, 6, 44, 280 + 71},
        HitCase{"FourthOctaveB", 559, 70, 11, 51, 420 + 121},
        HitCase{"FourthOctaveASharp", 420 + 120, 0, 10, 44, 420 + 117}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PianoPoint, IsOnTheKeyOfItsPitchClass)
{
    for (int pc = 0; pc < 12; ++pc) {
        const PianoPoint p = pianoPointOf(pc);
        EXPECT_EQ(pianoHitTest(p.x, p.y).pitchClass, pc) << pc;
    }
}

// --- Answering ----------------------------------------------------------------------------

class Piano : public testsupport::TempFolder {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        session = std::make_unique<engine::TSheetMusic>(staff, progress, wait, messages, midi,
                                                        targets, folder);
    }
    void TearDown() override
    {
        session.reset();
        TempFolder::TearDown();
    }
    // A C major scale run (question 1 is C4) or, in D flat major, one whose
    // second question is D flat.
    void start(int key = 0)
    {
        session->prepareRun(engine::RunSettings{.kind = engine::ExerciseKind::MajorScales,
                                                .key = key,
                                                .clef = engine::ClefSetting::Treble,
                                                .scaleVariant = 1});
        session->Go();
    }
    void click(int x, int y)
    {
        piano.imgPianoMouseDown(*session, x, y);
        piano.imgPianoMouseUp(*session, x, y);
    }
    int markOf(int i) const
    {
        const auto& m = session->pointerMarkOf(i);
        return m.shown ? m.spriteIndex : -1;
    }
    const scores::ScoreRecord& current() const
    {
        return session->scores().currentScores()[1][session->runKey()][1];
    }

    platform::testing::FakeClock clock;
    gfx::TImage32 staffImage;
    notation::TMusicalStaff staff{staffImage, testsupport::shippedSprites(), clock, 2, 2};
    platform::testing::RecordingTextLabel progress, wait;
    platform::testing::RecordingMessageBoxes messages;
    platform::midi::LoopbackMidiService midi;
    platform::testing::QueuedNotifyTargets targets;
    std::unique_ptr<engine::TSheetMusic> session;
    gfx::TImage32 pianoImage;
    TPiano piano{pianoImage, testsupport::shippedSprites()};
};

TEST_F(Piano, AnyCIsRightForMiddleCAndCSharpIsNot)
{
    for (int octave = 0; octave < 4; ++octave) {
        start();
        click(octave * 140 + 5, 60);
        EXPECT_EQ(markOf(1), engine::RightSprite) << octave;
        EXPECT_EQ(current().rightTotal, octave + 1); // not folded between these runs
    }
    start();
    click(15, 10); // C sharp
    EXPECT_EQ(markOf(1), engine::WrongSprite);
    EXPECT_EQ(current().wrongTotal, 1);
    EXPECT_EQ(pianoImage.layerCount(), 0); // the highlight went with the release
}

TEST_F(Piano, TheBlackKeyAnswersItsFlatSpelling)
{
    start(1); // D flat major scale: D flat 4, E flat 4, ...
    ASSERT_EQ(session->slot(1, 1).note()->getPitch(), 61);
    click(15, 10);
    EXPECT_EQ(markOf(1), engine::RightSprite);
}

TEST_F(Piano, APressHighlightsTheKeyAndTheReleaseOfTheOneKeyNeededJudgesIt)
{
    start();
    piano.imgPianoMouseDown(*session, 38, 10); // D sharp
    ASSERT_EQ(pianoImage.layerCount(), 1);
    const gfx::TBitmapLayer& h = pianoImage.layer(0);
    EXPECT_EQ(h.location().left, 36);
    EXPECT_EQ(h.location().top, 0);
    EXPECT_EQ(h.bitmap().width(), testsupport::shippedSprites().bitmap(44).width());
    EXPECT_TRUE(h.visible());
    piano.imgPianoMouseUp(*session, 38, 10);
    EXPECT_EQ(markOf(1), engine::WrongSprite);
    EXPECT_EQ(pianoImage.layerCount(), 0);
    EXPECT_EQ(piano.collectedKeys, 0);
}

// A chord is answered key by key: each click collects a pitch class (in
// any octave), a second click on one takes it back, and the answer is
// judged once as many are collected as the chord has.
TEST_F(Piano, AChordIsCollectedKeyByKeyAndJudgedWhenComplete)
{
    engine::KindFilter majorOnly;
    majorOnly.set(1);
    session->prepareRun(engine::RunSettings{.kind = engine::ExerciseKind::Chords,
                                            .key = 0,
                                            .clef = engine::ClefSetting::Treble,
                                            .chordFilter = majorOnly});
    session->Go();
    const auto clickClass = [&](int pc, int octave = 0) {
        const PianoPoint p = pianoPointOf(pc);
        click(p.x + octave * 140, p.y);
    };
    const auto classesOf = [](std::uint16_t mask) {
        std::vector<int> out;
        for (int pc = 0; pc < 12; ++pc)
            if ((mask >> pc) & 1u)
                out.push_back(pc);
        return out;
    };
    std::vector<int> chord = classesOf(session->askedPitchClasses());
    ASSERT_EQ(chord.size(), 3u) << "a major triad";

    clickClass(chord[0]);
    clickClass(chord[0], 1); // the same pitch class an octave up: taken back
    EXPECT_EQ(piano.collectedKeys, 0);
    EXPECT_EQ(pianoImage.layerCount(), 0);
    clickClass(chord[0]);
    clickClass(chord[1], 2);
    EXPECT_EQ(piano.highlightCount(), 2);
    EXPECT_EQ(markOf(1), engine::PointerSprite) << "two of three keys: not judged yet";
    clickClass(chord[2]);
    EXPECT_EQ(markOf(1), engine::RightSprite);
    EXPECT_EQ(pianoImage.layerCount(), 0);
    EXPECT_EQ(current().rightTotal, 1);

    for (int t = 0; t < 40 && session->askedQuestion() != 2; ++t)
        session->Next();
    ASSERT_EQ(session->askedQuestion(), 2);
    chord = classesOf(session->askedPitchClasses());
    clickClass(chord[0]);
    clickClass(chord[1]);
    clickClass((chord[2] + 1) % 12); // one key wrong
    EXPECT_EQ(markOf(2), engine::WrongSprite);
}

TEST_F(Piano, AnAnswerCollectedForAQuestionThatLeftIsDropped)
{
    engine::KindFilter all;
    all.set();
    session->prepareRun(engine::RunSettings{.kind = engine::ExerciseKind::Intervals,
                                            .key = 0,
                                            .clef = engine::ClefSetting::Treble,
                                            .intervalFilter = all});
    session->Go();
    const std::uint16_t first = session->askedPitchClasses();
    const int pc = std::countr_zero(first);
    click(pianoPointOf(pc).x, pianoPointOf(pc).y);
    EXPECT_EQ(piano.collectedKeys, 1u << pc);
    engine::SessionProbe::asked(*session) = -99; // the question moved on
    piano.followQuestion(*session);
    EXPECT_EQ(piano.collectedKeys, 0);
    EXPECT_EQ(pianoImage.layerCount(), 0);
}

TEST_F(Piano, TheLastQuestionCountsOnce)
{
    start();
    const std::int32_t lastOne = static_cast<std::int32_t>(session->questionCount());
    for (int guard = 0; guard < 100'000 && session->askedQuestion() != lastOne; ++guard) {
        if (session->askedQuestion() > 0)
            session->answerItem(session->askedQuestion(), true);
        else
            session->Next();
    }
    ASSERT_EQ(session->askedQuestion(), lastOne);
    click(5, 60);
    const int counted = current().rightTotal + current().wrongTotal;
    click(5, 60); // again, on the same question
    click(15, 10);
    EXPECT_EQ(current().rightTotal + current().wrongTotal, counted);
    EXPECT_EQ(pianoImage.layerCount(), 0);
}

TEST_F(Piano, ClicksOutsideARunOrWhilePausedDoNothing)
{
    click(5, 60); // idle
    EXPECT_EQ(pianoImage.layerCount(), 0);
    start();
    session->pause();
    piano.imgPianoMouseDown(*session, 5, 60);
    EXPECT_EQ(pianoImage.layerCount(), 0);
    session->resume();
    engine::SessionProbe::asked(*session) = -99;
    click(5, 60);
    EXPECT_EQ(current().rightTotal + current().wrongTotal, 0);
}

} // namespace
} // namespace shell
