#include "SessionFixture.h"

namespace engine {
namespace {

using platform::midi::LoopbackMidiService;

// What the session tells of each scored question, for the practice history:
// the question, the answer, how it came and how long it took on the clock.
class Scored : public SessionFixture {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        session = std::make_unique<TSheetMusic>(staff, progress, wait, messages, keyboard, targets,
                                                folder);
        session->setOnScored([this](const ScoredQuestion& q) { scored.push_back(q); });
    }
    // Ticks until question `q` is asked.
    void askUntil(int q)
    {
        for (int t = 0; t < 400 && session->askedQuestion() != q; ++t)
            session->Next();
        ASSERT_EQ(session->askedQuestion(), q);
    }
    int askedPitch() const { return item(1, session->askedQuestion()).note()->getPitch(); }

    LoopbackMidiService keyboard{{{"Keys"}}};
    std::vector<ScoredQuestion> scored;
};

TEST_F(Scored, EachAnswerComesWithItsInputItsPitchesAndItsTimeOnTheClock)
{
    start(0); // notes in C, treble
    askUntil(1);
    const int first = askedPitch();
    clock.advanceMs(700);
    ASSERT_TRUE(keyboard.send(0, {0x90, static_cast<std::uint8_t>(first), 90}));
    keyboard.flush(0);
    targets.drain();
    ASSERT_EQ(scored.size(), 1u);
    EXPECT_TRUE(scored[0].answered);
    EXPECT_TRUE(scored[0].right);
    EXPECT_EQ(scored[0].responseMs, 700);
    EXPECT_EQ(scored[0].input, AnswerInput::Midi);
    EXPECT_EQ(scored[0].port, "Keys");
    EXPECT_EQ(scored[0].questionPitches, std::vector<int>{first});
    EXPECT_EQ(scored[0].answerPitches, std::vector<int>{first});
    EXPECT_EQ(scored[0].exercise, ExerciseKind::NotesInC);
    EXPECT_EQ(scored[0].clef, ClefSetting::Treble);
    ASSERT_TRUE(keyboard.send(0, {0x80, static_cast<std::uint8_t>(first), 0}));
    keyboard.flush(0);
    targets.drain();

    // The next one on the computer keyboard, a wrong pitch class, 250 ms
    // after it reached the pointer.
    askUntil(2);
    clock.advanceMs(250);
    const int wrongClass = (askedPitch() + 1) % 12;
    session->answerPianoKeys(static_cast<std::uint16_t>(1u << wrongClass),
                             AnswerInput::ComputerKeyboard);
    ASSERT_EQ(scored.size(), 2u);
    EXPECT_FALSE(scored[1].right);
    EXPECT_EQ(scored[1].responseMs, 250);
    EXPECT_EQ(scored[1].input, AnswerInput::ComputerKeyboard);
    EXPECT_EQ(scored[1].answerPitches, std::vector<int>{60 + wrongClass});
    EXPECT_EQ(scored[1].port, "");

    // The third is let go: it leaves unanswered, once.
    askUntil(3);
    askUntil(4);
    ASSERT_EQ(scored.size(), 3u);
    EXPECT_FALSE(scored[2].answered);
    EXPECT_FALSE(scored[2].right);
    EXPECT_EQ(scored[2].responseMs, -1);
    EXPECT_TRUE(scored[2].answerPitches.empty());
    EXPECT_GT(scored[2].whenMs, scored[0].whenMs);
}

TEST_F(Scored, AChordTellsItsKindAndInversion)
{
    start(3, 0, 0, {}, kinds({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    askUntil(1);
    const notation::TChord& chord = *item(1, 1).chord();
    session->answerPianoKeys(session->askedPitchClasses());
    ASSERT_EQ(scored.size(), 1u);
    EXPECT_TRUE(scored[0].right);
    EXPECT_EQ(scored[0].exercise, ExerciseKind::Chords);
    EXPECT_EQ(scored[0].questionKind, chord.getKind());
    EXPECT_EQ(scored[0].inversion, chord.record().inversion);
    EXPECT_GE(scored[0].questionPitches.size(), 3u);
    EXPECT_EQ(scored[0].input, AnswerInput::Mouse);
}

} // namespace
} // namespace engine
