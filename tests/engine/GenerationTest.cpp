#include "SessionFixture.h"

#include <algorithm>
#include <set>

namespace engine {
namespace {

// A clock whose every reading is `stepMs` later than the last: preparing a
// run on it takes as long as it reads the time.
class SlowClock final : public platform::Clock {
public:
    explicit SlowClock(std::int64_t stepMs)
        : stepMs_(stepMs)
    {
    }
    platform::DateTime now() const override { return 46'023.0; }
    std::int64_t timeOfDayMs() const override { return ms_ += stepMs_; }
    void sleepMs(int ms) override { ms_ += ms; }

private:
    std::int64_t stepMs_;
    mutable std::int64_t ms_ = 86'400'000 - 250; // crosses midnight on the way
};

class Generation : public SessionFixture {
protected:
    // The pitch of the note in `voice` of question i.
    int pitchAt(int voice, int i) const { return item(voice, i).note()->getPitch(); }
};

TEST_F(Generation, TheWaitLabelSpeaksOnlyWhenPreparingTakesLong)
{
    prepare(1, 2, 3);
    for (const std::string& text : wait.history())
        EXPECT_EQ(text, "") << "a quick run shows no progress";

    // Every reading of the time 5 ms later: the label starts once 100 ms
    // have passed, counts up to 100% and is cleared when the run is ready.
    SlowClock slow(5);
    gfx::TImage32 slowImage;
    notation::TMusicalStaff slowStaff{slowImage, testsupport::shippedSprites(), slow, 2, 2};
    platform::testing::RecordingTextLabel slowWait;
    TSheetMusic s(slowStaff, progress, slowWait, messages, midi, targets, folder);
    s.prepareRun(RunSettings{.kind = ExerciseKind::NotesInKey, .key = 3});
    const auto& history = slowWait.history();
    ASSERT_GE(history.size(), 3u);
    EXPECT_NE(history.front(), "1%") << "nothing in the first 100 ms";
    EXPECT_EQ(history[history.size() - 2], "100%");
    EXPECT_EQ(slowWait.text(), "");
    EXPECT_GE(slowWait.repaints(), static_cast<int>(history.size()) - 2);
}

TEST_F(Generation, WhiteKeyNotesOnTheTrebleStaff)
{
    prepare(0, 0, 7); // kind 0 is always C major
    EXPECT_EQ(session->runKey(), 0);
    EXPECT_EQ(session->questionCount(), 100u);
    for (int i = 1; i <= 100; ++i) {
        const SheetItem& s = item(1, i);
        ASSERT_EQ(s.kind(), ItemKind::Note) << i;
        EXPECT_EQ(s.keysNeeded, 1);
        EXPECT_FALSE(s.onScreen);
        const int p = s.note()->getPitch();
        EXPECT_GE(p, 53);
        EXPECT_LE(p, 88);
        EXPECT_EQ(notation::BlackKeys[static_cast<std::size_t>(p % 12)], 0) << p;
        EXPECT_EQ(s.pitchSet, notation::pitchBit(p));
        EXPECT_EQ(item(2, i).kind(), ItemKind::None);
    }
    EXPECT_TRUE(clock.sleeps().empty()) << "preparing never pauses";
    // Every question has its hidden pointer at the entry x.
    for (int i = 1; i <= 100; ++i) {
        const MarkSlot& m = session->pointerMarkOf(i);
        ASSERT_TRUE(m.layer);
        EXPECT_FALSE(m.layer->visible());
        EXPECT_EQ(m.layer->location().left, staff.noteLeft);
        EXPECT_EQ(m.layer->location().top, 0);
    }
}

TEST_F(Generation, BothStavesPutEachQuestionInOneVoiceOnItsOwnStaff)
{
    prepare(1, 2, 4);
    std::set<int> voices;
    for (int i = 1; i <= 100; ++i) {
        const SheetItem& treble = item(1, i);
        const SheetItem& bass = item(2, i);
        ASSERT_NE(treble.kind() == ItemKind::Note, bass.kind() == ItemKind::Note) << i;
        const int voice = treble.kind() == ItemKind::Note ? 1 : 2;
        voices.insert(voice);
        EXPECT_EQ(item(voice, i).note()->record().clef, voice);
    }
    EXPECT_EQ(voices.size(), 2u);
}

TEST_F(Generation, TheDrillMayAskEveryNoteOfTheKeyOnItsStavesAndNoOther)
{
    struct Row {
        std::int32_t key;
        ClefSetting clef;
        std::size_t count;
        int low;
        int high;
        int foreign; // a pitch of the range outside the key
    };
    // The session's treble staff reaches E6 (88); the bass staff is C2..G4.
    for (const Row& r :
         {Row{0, ClefSetting::Treble, 21, 53, 88, 54}, Row{2, ClefSetting::Bass, 19, 37, 67, 65},
          Row{0, ClefSetting::Both, 31, 36, 88, 61}}) {
        const std::vector<std::int32_t> c = session->drillCandidates(r.key, r.clef);
        ASSERT_EQ(c.size(), r.count) << r.key;
        EXPECT_EQ(c.front(), r.low);
        EXPECT_EQ(c.back(), r.high);
        EXPECT_TRUE(std::is_sorted(c.begin(), c.end()));
        EXPECT_EQ(std::count(c.begin(), c.end(), r.foreign), 0) << r.foreign;
    }
}

TEST_F(Generation, TheDrillAsksItsNotesInOrderEachOnTheStaffThatReadsIt)
{
    const std::vector<std::int32_t> notes{59, 60, 40, 84};
    RunSettings run{.kind = ExerciseKind::WeakSpots, .key = 0, .clef = ClefSetting::Both};
    for (int i = 0; i < 100; ++i)
        run.drillPitches.push_back(notes[static_cast<std::size_t>(i) % notes.size()]);
    session->prepareRun(run);
    ASSERT_EQ(session->questionCount(), 100u);
    for (int i = 1; i <= 100; ++i) {
        const int pitch = notes[static_cast<std::size_t>(i - 1) % notes.size()];
        const int voice = pitch >= 60 ? 1 : 2; // middle C and up on the treble staff
        ASSERT_EQ(item(voice, i).kind(), ItemKind::Note) << i;
        EXPECT_EQ(item(3 - voice, i).kind(), ItemKind::None) << i;
        EXPECT_EQ(pitchAt(voice, i), pitch);
        EXPECT_EQ(item(voice, i).note()->record().clef, voice);
    }

    // A note outside the key, or a drill of the wrong length, is refused
    // before anything of the prepared run is touched.
    RunSettings foreign = run;
    foreign.drillPitches[7] = 61;
    EXPECT_THROW(session->prepareRun(foreign), ERunSetupError);
    RunSettings beyond = run;
    beyond.clef = ClefSetting::Treble;
    EXPECT_THROW(session->prepareRun(beyond), ERunSetupError) << "40 is below the treble staff";
    RunSettings shortRun = run;
    shortRun.drillPitches.pop_back();
    EXPECT_THROW(session->prepareRun(shortRun), ERunSetupError);
    EXPECT_EQ(pitchAt(1, 2), 60);
}

TEST_F(Generation, AnIntervalFilterOfOneKindGivesOnlyThatKind)
{
    for (const std::uint8_t clef : {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{2}}) {
        prepare(2, clef, 9, kinds({8}));
        for (int i = 1; i <= 100; ++i) {
            const SheetItem& s = item(1, i).kind() == ItemKind::Interval ? item(1, i) : item(2, i);
            ASSERT_EQ(s.kind(), ItemKind::Interval);
            EXPECT_EQ(s.interval()->getKind(), 8);
            EXPECT_EQ(s.keysNeeded, 2);
        }
    }
}

TEST_F(Generation, SeventhChordsUseEveryInversionAndNeedFourKeys)
{
    prepare(3, 0, 2, {}, kinds({9}));
    std::set<int> inversions;
    for (int i = 1; i <= 100; ++i) {
        const SheetItem& s = item(1, i);
        ASSERT_EQ(s.kind(), ItemKind::Chord);
        EXPECT_EQ(s.chord()->getKind(), 9);
        EXPECT_EQ(s.chord()->record().count, 4);
        EXPECT_EQ(s.keysNeeded, 4);
        inversions.insert(s.chord()->record().inversion);
    }
    EXPECT_EQ(inversions, (std::set<int>{0, 1, 2, 3}));
}

TEST_F(Generation, MixedRunsHoldNotesIntervalsAndChords)
{
    prepare(4, 1, 0, kinds({4}), kinds({1}));
    std::set<ItemKind> kindsSeen;
    for (int i = 1; i <= 100; ++i) {
        ASSERT_NE(item(2, i).kind(), ItemKind::None);
        kindsSeen.insert(item(2, i).kind());
    }
    EXPECT_EQ(kindsSeen, (std::set<ItemKind>{ItemKind::Note, ItemKind::Interval, ItemKind::Chord}));
}

struct ScaleCase {
    const char* name;
    std::uint8_t kind;
    std::int32_t key, countVariant;
    std::uint32_t count;
    std::vector<int> firstPitches;
    int lastPitch;
};
void PrintTo(const ScaleCase& row, std::ostream* os) { *os << row.name; }

class Scales : public Generation, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(Scales, WalkTheTableAndEndOnTheTonic)
{
    const ScaleCase& c = GetParam();
    prepare(c.kind, 0, c.key, {}, {}, 0, c.countVariant);
    ASSERT_EQ(session->questionCount(), c.count);
    for (std::size_t i = 0; i < c.firstPitches.size(); ++i)
        EXPECT_EQ(pitchAt(1, static_cast<int>(i) + 1), c.firstPitches[i]) << "question " << i + 1;
    EXPECT_EQ(pitchAt(1, static_cast<int>(c.count)), c.lastPitch);
    EXPECT_EQ(session->mode(), c.kind == 7 ? ScoreMode::MinorScales : ScoreMode::Main);
}

INSTANTIATE_TEST_SUITE_P(
    Generation, Scales,
    ::testing::Values(ScaleCase{"CMajorOneOctave",
                                6,
                                0,
                                1,
                                99,
                                {60, 62, 64, 65, 67, 69, 71, 72, 71, 69, 67, 65, 64, 62, 60},
                                60},
                      ScaleCase{
                          "AMinorOneOctave", 7, 0, 1, 99, {69, 71, 72, 74, 76, 77, 79, 81, 79}, 69},
                      ScaleCase{"CMajorTwoOctaves", 6, 0, 2, 85, {48, 50, 52, 53, 55}, 48}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Generation, LowScaleNotesGoToTheBassStaffInTheTrebleVoice)
{
    prepare(6, 0, 0, {}, {}, 0, 2);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(item(1, i).note()->record().clef, notation::BassClef) << i;
    EXPECT_EQ(item(1, 4).note()->record().clef, notation::TrebleClef);
    for (int i = 1; i <= 85; ++i)
        EXPECT_EQ(item(2, i).kind(), ItemKind::None);
}

TEST_F(Generation, ScalesOnBothStavesTurnIntoOctavesWhereANoteWouldLeaveItsStaff)
{
    prepare(6, 2, 9, {}, {}, 0, 2); // A major, two octaves
    int octaves = 0;
    for (int i = 1; i <= 85; ++i) {
        const int step = std::array{0,  2,  4,  5,  7,  9,  11, 12, 14, 16, 17, 19, 21, 23,
                                    24, 23, 21, 19, 17, 16, 14, 12, 11, 9,  7,  5,  4,  2}
            [static_cast<std::size_t>(i - 1) % 28];
        const int bass = 45 + step;
        if (bass > 67) {
            ++octaves;
            ASSERT_EQ(item(1, i).kind(), ItemKind::Interval) << i;
            EXPECT_EQ(item(1, i).interval()->getKind(), 15);
            EXPECT_EQ(item(1, i).interval()->record().clef, notation::TrebleClef);
            EXPECT_EQ(item(1, i).interval()->record().root, bass);
            EXPECT_EQ(item(2, i).kind(), ItemKind::None);
        } else {
            ASSERT_EQ(item(1, i).kind(), ItemKind::Note) << i;
            ASSERT_EQ(item(2, i).kind(), ItemKind::Note) << i;
            EXPECT_EQ(pitchAt(1, i), 57 + step);
            EXPECT_EQ(pitchAt(2, i), bass);
        }
    }
    EXPECT_GT(octaves, 0);
}

TEST_F(Generation, ProgressionTwoFiveOneWithLabelsAndBassBelowTheChord)
{
    prepare(5, 0, 0, {}, {}, 3);
    ASSERT_EQ(session->questionCount(), 51u);
    constexpr int Degrees[] = {2, 5, 1};
    for (int i = 1; i <= 51; ++i) {
        const int degree = Degrees[(i - 1) % 3];
        const SheetItem& chord = item(1, i);
        const SheetItem& bass = item(2, i);
        ASSERT_EQ(chord.kind(), ItemKind::Chord) << i;
        ASSERT_EQ(bass.kind(), ItemKind::Interval) << i;
        EXPECT_EQ(notation::WhiteKeyNumbers[static_cast<std::size_t>(
                      notation::pitchClassOf(chord.chord()->getRoot()))],
                  degree);
        EXPECT_EQ(chord.chord()->record().clef, notation::TrebleClef);
        const auto& r = bass.interval()->record();
        EXPECT_EQ(r.clef, notation::BassClef);
        EXPECT_EQ(notation::pitchClassOf(r.root), notation::pitchClassOf(chord.chord()->getRoot()));
        const int upper = r.elements[1].pitch;
        EXPECT_LT(upper, 67);
        EXPECT_LT(upper, chord.chord()->getBass());
        const MarkSlot& label = session->degreeLabelOf(i);
        EXPECT_EQ(label.spriteIndex, 51 + degree);
        ASSERT_TRUE(label.layer);
        EXPECT_EQ(label.layer->location().top, 255);
        EXPECT_EQ(label.layer->location().left, staff.noteLeft - 10);
        EXPECT_FALSE(label.layer->visible());
    }
}

TEST_F(Generation, ADebugProgressionStopsAfterItsFirstQuestionWithADiagnostic)
{
    session->Debug(1);
    prepare(5, 0, 0, {}, {}, 1);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_NE(messages.messages()[0].find("*************"), std::string::npos);
    EXPECT_EQ(item(1, 1).kind(), ItemKind::Chord);
    EXPECT_EQ(item(1, 2).kind(), ItemKind::None);
}

} // namespace
} // namespace engine
