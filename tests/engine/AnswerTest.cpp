#include "SessionFixture.h"

namespace engine {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Answers played on a keyboard behind the Loopback service: every message
// goes through the device's own thread, the callback, the ring, the
// notification and mid_OnInput, as in the program.
class Answers : public SessionFixture {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        image.setOnChange([this] { ++repaints; });
        session = std::make_unique<TSheetMusic>(staff, progress, wait, messages, keyboard, targets,
                                                folder);
        ASSERT_EQ(session->midiInput().state(), midi::MidiInputState::Open);
    }

    void play(const Bytes& message)
    {
        ASSERT_TRUE(keyboard.send(0, message));
        keyboard.flush(0);
        targets.drain();
        EXPECT_EQ(session->midiInput().pendingEvents(), 0); // every event is taken
    }
    void press(int pitch) { play({0x90, static_cast<std::uint8_t>(pitch), 100}); }
    void releaseOn(int pitch) { play({0x90, static_cast<std::uint8_t>(pitch), 0}); }
    void releaseOff(int pitch) { play({0x80, static_cast<std::uint8_t>(pitch), 64}); }

    void ticks(int n)
    {
        for (int t = 0; t < n; ++t)
            session->Next();
    }
    // The sprite a question's mark shows, or -1 when it is hidden or gone.
    int markOf(int i) const
    {
        const MarkSlot& m = session->pointerMarkOf(i);
        if (!m.shown || !m.layer || !m.layer->visible())
            return -1;
        EXPECT_EQ(m.layer->bitmap().width(), staff.sprite(m.spriteIndex).width());
        // Set on the question's x; a tick leaves it one step behind.
        const float left = m.layer->location().left;
        EXPECT_TRUE(left == session->itemX(i) || left == session->itemX(i) - Step) << left;
        return m.spriteIndex;
    }
    // The pitches that answer question i.
    std::vector<int> pitchesOf(int i) const
    {
        notation::PitchSet all = item(1, i).pitchSet | item(2, i).pitchSet;
        std::vector<int> pitches;
        for (int p = 32; p <= 95; ++p)
            if (notation::containsPitch(all, p))
                pitches.push_back(p);
        return pitches;
    }
    const scores::ScoreRecord& current(int clefNo = 1) const
    {
        return session->scores()
            .currentScores()[static_cast<int>(session->mode())][session->runKey()][clefNo];
    }

    platform::midi::LoopbackMidiService keyboard{{{"Keys"}}};
};

TEST_F(Answers, ANoteNeedsItsExactPitchOnMidi)
{
    start(6, 0, 0, {}, {}, 0, 1); // C major scale: question 1 is C4
    press(72);                    // C5: the right letter, the wrong octave
    EXPECT_EQ(markOf(1), WrongSprite);
    EXPECT_EQ(current().wrongTotal, 1);
    EXPECT_EQ(current().noteStats[0].wrong, 1);
    releaseOn(72);
    EXPECT_EQ(session->askedQuestion(), -99); // question 1 was the newest on the staff
    ticks(8);
    EXPECT_EQ(session->askedQuestion(), 2);
    EXPECT_EQ(markOf(2), PointerSprite);
    press(62);
    EXPECT_EQ(markOf(2), RightSprite);
    EXPECT_EQ(current().rightTotal, 1);
}

TEST_F(Answers, AMouseAnswerIsJudgedAndMovesOnAtOnce)
{
    start(6, 0, 0, {}, {}, 0, 1);
    ticks(8); // questions 1 and 2 on the staff
    session->answerItem(1, true);
    EXPECT_EQ(markOf(1), RightSprite);
    EXPECT_EQ(session->askedQuestion(), 2);
    EXPECT_EQ(markOf(2), PointerSprite);
    EXPECT_EQ(session->lastAnsweredQuestion(), 1);
    EXPECT_EQ(current().noteStats[0].right, 1);
    session->answerItem(2, false);
    EXPECT_EQ(markOf(2), WrongSprite);
    EXPECT_EQ(session->askedQuestion(), -99);
}

TEST_F(Answers, AnIntervalWantsBothKeysAndMovesOnWhenBothAreUp)
{
    start(2, 0, 0, kinds({4}));
    ticks(11); // question 2 is in
    ASSERT_EQ(session->lastOnStaff(), 2);
    const auto pitches = pitchesOf(1);
    ASSERT_EQ(pitches.size(), 2u);
    press(pitches[0]);
    EXPECT_EQ(markOf(1), PointerSprite); // one key: nothing yet
    press(pitches[1]);
    EXPECT_EQ(markOf(1), RightSprite);
    EXPECT_EQ(markOf(2), EyeSprite); // wait for the keys to come up
    EXPECT_EQ(current().intervalStats[4].right, 1);
    releaseOn(pitches[0]);
    EXPECT_EQ(session->askedQuestion(), 1);
    releaseOn(pitches[1]);
    EXPECT_EQ(session->askedQuestion(), 2);
    EXPECT_EQ(markOf(2), PointerSprite);
    EXPECT_EQ(session->keysHeld().count(), 0u);
}

TEST_F(Answers, AWrongKeyDecidesAtOnceAndLaterKeysDoNotCount)
{
    start(2, 0, 0, kinds({4}));
    ticks(11);
    const auto pitches = pitchesOf(1);
    press(pitches[1] + 1);
    EXPECT_EQ(markOf(1), WrongSprite);
    EXPECT_EQ(markOf(2), EyeSprite);
    press(pitches[0]);
    press(pitches[1]);
    EXPECT_EQ(markOf(1), WrongSprite);
    EXPECT_EQ(current().rightTotal, 0);
    EXPECT_EQ(current().wrongTotal, 1);
    EXPECT_EQ(session->keysHeld().count(), 3u);
    releaseOff(pitches[0]);
    releaseOff(pitches[1]);
    EXPECT_EQ(session->askedQuestion(), 1);
    releaseOff(pitches[1] + 1);
    EXPECT_EQ(session->askedQuestion(), 2);
    EXPECT_EQ(markOf(2), PointerSprite);
    EXPECT_FALSE(session->wrongShown());
}

TEST_F(Answers, AReleaseWithNoKeyDownKeepsTheCountAtZero)
{
    start(6, 0, 0, {}, {}, 0, 1);
    releaseOff(60);
    releaseOn(61);
    EXPECT_EQ(session->keysHeld().count(), 0u);
    EXPECT_EQ(markOf(1), PointerSprite);
}

// Plays through a C major scale run until the last question is asked,
// answering `rightOnTheWay` of the 98 before it right on the piano picture
// and letting the others leave the staff unanswered.
class LastQuestion : public Answers {
protected:
    void reachTheLastQuestion(int rightOnTheWay = 98)
    {
        start(6, 0, 0, {}, {}, 0, 1);
        int answered = 0;
        while (session->askedQuestion() != 99) {
            if (session->askedQuestion() >= 1 && answered < rightOnTheWay &&
                session->verdictOf(session->askedQuestion()) == Verdict::None) {
                session->answerItem(session->askedQuestion(), true);
                ++answered;
            }
            ASSERT_TRUE(session->tick(clock.now()));
        }
        // The last question is asked 95 seconds into the run.
        clock.advanceMs(95'000);
        ASSERT_TRUE(session->tick(clock.now()));
        ASSERT_EQ(session->elapsedSeconds(), 95);
    }
};

TEST_F(LastQuestion, AfterTheLastAnswerFurtherKeysAreIgnored)
{
    reachTheLastQuestion();
    press(60);
    EXPECT_EQ(markOf(99), RightSprite);
    releaseOn(60);
    EXPECT_EQ(session->lastAnsweredQuestion(), 99);
    EXPECT_EQ(current().bestTime, 95);
    press(61); // ignored from now on
    releaseOn(61);
    EXPECT_EQ(current().rightTotal, 99);
    EXPECT_EQ(current().wrongTotal, 0);
    EXPECT_EQ(markOf(99), RightSprite);
}

// Keyboards release keys in three ways; each ends the run's answering and
// offers its time alike.
class EveryReleaseForm : public LastQuestion,
                         public ::testing::WithParamInterface<std::pair<const char*, Bytes>> {};

TEST_P(EveryReleaseForm, EndsTheAnsweringAndOffersTheTime)
{
    reachTheLastQuestion();
    press(60);
    play(GetParam().second);
    EXPECT_EQ(session->lastAnsweredQuestion(), 99);
    EXPECT_EQ(current().bestTime, 95);
    EXPECT_TRUE(session->keysHeld().none());
    session->Next(); // the rest of the run passes quickly
    EXPECT_EQ(session->tickInterval(), 50);
}

INSTANTIATE_TEST_SUITE_P(
    Releases, EveryReleaseForm,
    ::testing::Values(std::pair<const char*, Bytes>{"NoteOffWithReleaseVelocity", {0x80, 60, 64}},
                      std::pair<const char*, Bytes>{"NoteOffWithoutVelocity", {0x83, 60, 0}},
                      std::pair<const char*, Bytes>{"NoteOnWithVelocityZero", {0x90, 60, 0}}),
    [](const auto& row) { return std::string(row.param.first); });

TEST_F(Answers, AWholeRunOnAKeyboardWithNoteOffsKeepsItsBestTime)
{
    start(0);
    while (!session->finished()) {
        clock.advanceMs(1000); // one second a tick is enough here
        ASSERT_TRUE(session->tick(clock.now()));
        if (session->askedQuestion() < 1 || !session->takesAnswers())
            continue;
        const auto pitches = pitchesOf(session->askedQuestion());
        for (int p : pitches)
            press(p);
        for (int p : pitches)
            releaseOff(p);
    }
    const scores::ScoreRecord& kept = session->scores().storedScores()[1][0][1];
    EXPECT_EQ(kept.rightTotal, 100);
    EXPECT_EQ(kept.wrongTotal, 0);
    EXPECT_LT(kept.bestTime, 9999);
    EXPECT_GT(kept.bestTime, 0);
}

TEST_F(LastQuestion, AMouseAnswerOffersTheTimeAtOnce)
{
    reachTheLastQuestion();
    session->answerItem(99, true);
    EXPECT_EQ(session->lastAnsweredQuestion(), 99);
    EXPECT_EQ(current().bestTime, 95);
    EXPECT_EQ(markOf(99), RightSprite);
}

TEST_F(LastQuestion, ARunWithFewRightAnswersSetsNoBestTime)
{
    reachTheLastQuestion(10); // 11 of 99 right with the last one
    session->answerItem(99, true);
    EXPECT_EQ(current().rightTotal, 11);
    EXPECT_EQ(current().bestTime, 9999);
    ASSERT_GT(runToEnd(), 0);
    EXPECT_EQ(session->scores().storedBestTime(1, 0, 1), 9999);
}

TEST_F(LastQuestion, NinetyPercentRightIsEnoughForABestTime)
{
    reachTheLastQuestion(88); // 89 of 99 right: 89.9 %
    session->answerItem(99, true);
    EXPECT_EQ(current().bestTime, 9999);

    reachTheLastQuestion(89); // 90 of 99: 90.9 %
    session->answerItem(99, true);
    EXPECT_EQ(current().bestTime, 95);
}

TEST_F(Answers, BothStavesScoreEachVoiceWithTheCombinedClef)
{
    start(6, 2, 0, {}, {}, 0, 1); // C4 over C2
    ASSERT_EQ(item(1, 1).kind(), ItemKind::Note);
    ASSERT_EQ(item(2, 1).kind(), ItemKind::Note);
    press(48 - 12); // C2: the bass note alone does not finish the question
    press(60);
    EXPECT_EQ(markOf(1), RightSprite);
    const scores::ScoreRecord& both = current(3);
    EXPECT_EQ(both.noteStats[0].right, 2); // one count per voice
    EXPECT_EQ(both.rightTotal, 2);
    EXPECT_EQ(current(1).rightTotal, 0);
}

TEST_F(Answers, AProgressionQuestionNeedsEveryKeyOfChordAndBass)
{
    start(5, 0, 0, {}, {}, 3);
    const auto pitches = pitchesOf(1);
    const std::size_t needed =
        static_cast<std::size_t>(item(1, 1).keysNeeded + item(2, 1).keysNeeded);
    ASSERT_TRUE(needed == 5 || needed == 6);
    // An octave bass (or one sharing a pitch with the chord) has fewer
    // distinct pitches than keys; press what there is and then repeat one.
    for (std::size_t k = 0; k + 1 < needed; ++k)
        press(pitches[std::min(k, pitches.size() - 1)]);
    EXPECT_EQ(markOf(1), PointerSprite);
    press(pitches.back());
    EXPECT_EQ(markOf(1), RightSprite);
}

TEST_F(Answers, AnExtraWrongKeyInAChordDecidesItWrong)
{
    start(5, 0, 0, {}, {}, 3);
    const auto pitches = pitchesOf(1);
    press(pitches[0]);
    press(pitches[1]);
    press(95); // no progression reaches that high
    EXPECT_EQ(markOf(1), WrongSprite);
    EXPECT_EQ(current().chordStats[item(1, 1).chord()->getKind()].wrong, 1);
}

TEST_F(Answers, KeysOutsideARunAreFollowedButNotJudged)
{
    press(61); // idle, and never released: Start forgets it
    start(6, 0, 0, {}, {}, 0, 1);
    EXPECT_TRUE(session->keysHeld().none());
    session->pause();
    press(60);
    EXPECT_EQ(markOf(1), PointerSprite);
    EXPECT_EQ(current().rightTotal, 0);
    releaseOff(60); // released while paused: not held afterwards
    releaseOff(61); // the key from before the run changes nothing
    session->resume();
    EXPECT_TRUE(session->keysHeld().none());
    press(60);
    EXPECT_EQ(markOf(1), RightSprite);
    EXPECT_EQ(current().rightTotal, 1);
}

TEST_F(Answers, ALostReleaseDoesNotOutliveTheRun)
{
    start(6, 0, 0, {}, {}, 0, 1);
    press(61); // wrong, and its release never comes
    EXPECT_EQ(markOf(1), WrongSprite);
    session->abandonRun(); // Reset
    start(6, 0, 0, {}, {}, 0, 1);
    press(60);
    EXPECT_EQ(markOf(1), RightSprite);
    EXPECT_EQ(current().rightTotal, 1);
    EXPECT_EQ(current().wrongTotal, 0);
}

TEST_F(Answers, AKeyPressedTwiceCountsOnceAndAStrayReleaseChangesNothing)
{
    start(2, 0, 0, kinds({4}));
    ticks(11);
    const auto pitches = pitchesOf(1);
    press(pitches[0]);
    press(pitches[0]); // the same key again: still one key of two
    EXPECT_EQ(markOf(1), PointerSprite);
    releaseOff(pitches[1]); // never pressed
    EXPECT_EQ(session->keysHeld().count(), 1u);
    press(pitches[1]);
    EXPECT_EQ(markOf(1), RightSprite);
    EXPECT_EQ(current().rightTotal, 1);
}

// "All Notes Off" and "All Sound Off" let go of every key: a question judged
// while keys were down hands the pointer on.
class AllOff : public Answers, public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(AllOff, ReleasesEveryKey)
{
    start(2, 0, 0, kinds({4}));
    ticks(11);
    const auto pitches = pitchesOf(1);
    press(pitches[1] + 1); // wrong; then its release is lost
    press(pitches[0]);
    EXPECT_EQ(markOf(1), WrongSprite);
    play({0xB3, GetParam(), 0});
    EXPECT_TRUE(session->keysHeld().none());
    EXPECT_FALSE(session->wrongShown());
    EXPECT_EQ(session->askedQuestion(), 2);
    EXPECT_EQ(markOf(2), PointerSprite);
    for (int p : pitchesOf(2))
        press(p);
    EXPECT_EQ(markOf(2), RightSprite);
}

INSTANTIATE_TEST_SUITE_P(Controllers, AllOff, ::testing::Values(123, 120), [](const auto& row) {
    return row.param == 123 ? std::string("AllNotesOff") : std::string("AllSoundOff");
});

TEST_F(Answers, ResetForgetsTheAbandonedRunsAnswers)
{
    start(0);
    for (int q = 0; q < 6; ++q) {
        while (session->askedQuestion() < 1)
            session->Next();
        session->answerItem(session->askedQuestion(), q % 2 == 0);
    }
    EXPECT_EQ(current().rightTotal + current().wrongTotal, 6);
    session->abandonRun();
    EXPECT_EQ(progress.text(), "0%");

    // The next run, played to its end: nine right, the rest left to pass.
    start(0);
    EXPECT_EQ(progress.text(), "0%");
    for (int q = 0; q < 9; ++q) {
        while (session->askedQuestion() < 1)
            session->Next();
        session->answerItem(session->askedQuestion(), true);
    }
    EXPECT_EQ(progress.text(), "100%");
    ASSERT_GT(runToEnd(), 0);
    const scores::ScoreRecord& kept = session->scores().storedScores()[1][0][1];
    EXPECT_EQ(kept.rightTotal, 9);
    EXPECT_EQ(kept.wrongTotal, 91);
}

TEST_F(Answers, AChordPlayedKeyByKeyIsScoredOnce)
{
    start(3, 0, 0, {}, kinds({1}));
    const auto pitches = pitchesOf(1);
    ASSERT_EQ(pitches.size(), 3u);
    for (int p : pitches)
        press(p);
    EXPECT_EQ(markOf(1), RightSprite);
    press(pitches.back() + 1); // one key more after the right chord
    EXPECT_EQ(markOf(1), RightSprite);
    EXPECT_EQ(current().rightTotal, 1);
    EXPECT_EQ(current().wrongTotal, 0);
}

TEST_F(Answers, KeysHeldAsTheirQuestionLeavesDoNotScoreItAgain)
{
    start(2, 0, 0, kinds({4}));
    const auto pitches = pitchesOf(1);
    press(pitches[0]);
    press(pitches[1]);
    ASSERT_EQ(markOf(1), RightSprite);
    while (session->firstOnStaff() == 1)
        session->Next(); // question 1 leaves with its keys still down
    EXPECT_EQ(current().rightTotal, 1);
    EXPECT_EQ(current().wrongTotal, 0);
    ASSERT_EQ(session->askedQuestion(), 2);
    EXPECT_EQ(markOf(2), PointerSprite);
    releaseOn(pitches[0]);
    releaseOn(pitches[1]);
    EXPECT_EQ(session->askedQuestion(), 2) << "question 2 is still to answer";
    for (int p : pitchesOf(2))
        press(p);
    EXPECT_EQ(markOf(2), RightSprite);
}

TEST_F(Answers, AKeyDownAClickAndKeyUpOnTheNewestQuestionKeepTheRunGoing)
{
    start(0);
    ASSERT_EQ(session->lastOnStaff(), 1);
    const int pitch = pitchesOf(1).front();
    press(pitch);
    session->answerItem(1, false); // the piano picture, after MIDI judged
    releaseOn(pitch);
    EXPECT_EQ(session->askedQuestion(), -99);
    EXPECT_EQ(current().rightTotal, 1);
    EXPECT_EQ(current().wrongTotal, 0);

    // Every later question is asked with its pointer, and answered once.
    int answered = 1;
    while (!session->finished()) {
        session->Next();
        if (session->askedQuestion() >= 1 && session->takesAnswers()) {
            EXPECT_EQ(markOf(session->askedQuestion()), PointerSprite) << session->askedQuestion();
            session->answerItem(session->askedQuestion(), true);
            ++answered;
        }
    }
    EXPECT_EQ(answered, 100);
    const scores::ScoreRecord& kept = session->scores().storedScores()[1][0][1];
    EXPECT_EQ(kept.rightTotal, 100);
    EXPECT_EQ(kept.wrongTotal, 0);
}

TEST_F(Answers, AClickThenAKeyJudgeTwoQuestions)
{
    start(6, 0, 0, {}, {}, 0, 1);
    ticks(8);
    ASSERT_EQ(session->lastOnStaff(), 2);
    session->answerItem(1, true);
    press(62); // question 2
    EXPECT_EQ(markOf(2), RightSprite);
    session->answerItem(2, false); // too late: MIDI has judged it
    releaseOn(62);
    EXPECT_EQ(current().rightTotal, 2);
    EXPECT_EQ(current().wrongTotal, 0);
    EXPECT_EQ(session->askedQuestion(), -99);
}

TEST_F(Answers, AReleaseLostToAFullRingDoesNotKeepTheKeyHeld)
{
    start(0);
    ASSERT_EQ(session->askedQuestion(), 1);
    const int right = pitchesOf(1).front();
    // A wrong key, then more than the ring holds, then the key's release:
    // the release is lost.
    ASSERT_TRUE(keyboard.send(0, {0x90, static_cast<std::uint8_t>(right + 1), 100}));
    for (int i = 0; i < session->midiInput().Capacity() + 50; ++i)
        ASSERT_TRUE(keyboard.send(0, {0xB0, 7, static_cast<std::uint8_t>(i % 128)}));
    ASSERT_TRUE(keyboard.send(0, {0x80, static_cast<std::uint8_t>(right + 1), 0}));
    keyboard.flush(0);
    targets.drain();
    while (session->midiInput().pendingEvents() > 0) // what the ring kept
        targets.drain();

    EXPECT_EQ(session->keysHeld().count(), 0u);
    EXPECT_EQ(markOf(1), WrongSprite);
    EXPECT_EQ(current().wrongTotal, 1);
    // The pointer went on as after a release, and the keyboard answers again.
    ticks(8);
    ASSERT_EQ(session->askedQuestion(), 2);
    press(pitchesOf(2).front());
    EXPECT_EQ(markOf(2), RightSprite);
    EXPECT_EQ(current().rightTotal, 1);
}

TEST_F(Answers, AVoiceLeftEmptyDoesNotAnswerWithAnEarlierRunsPitch)
{
    // A bass run fills voice 2 of every slot; a treble run after it leaves
    // voice 2 empty, and the pitch voice 2 held must not answer now.
    start(1, 1);
    const notation::PitchSet bass = item(2, 2).pitchSet;
    session->abandonRun(); // Reset
    start(1, 0);
    ticks(8);
    ASSERT_EQ(session->lastOnStaff(), 2);
    session->answerItem(1, true);
    ASSERT_EQ(session->askedQuestion(), 2);
    int stale = -1;
    for (int p = 32; p <= 95 && stale < 0; ++p)
        if (notation::containsPitch(bass, p) && !notation::containsPitch(item(1, 2).pitchSet, p))
            stale = p;
    ASSERT_GE(stale, 0);
    EXPECT_FALSE(session->EvaluateInput(2, static_cast<std::uint32_t>(stale)));
    press(stale);
    EXPECT_EQ(markOf(2), WrongSprite);
    EXPECT_EQ(current().rightTotal, 1);
    EXPECT_EQ(current().wrongTotal, 1);
}

} // namespace
} // namespace engine
