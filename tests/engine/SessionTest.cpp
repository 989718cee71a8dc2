#include "SessionFixture.h"

namespace engine {
namespace {

class Session : public SessionFixture {};

TEST_F(Session, StartsIdle)
{
    const TSheetMusic& s = *session;
    EXPECT_EQ(s.tickInterval(), 125);
    EXPECT_EQ(s.askedQuestion(), -1);
    EXPECT_EQ(s.firstOnStaff(), -1);
    EXPECT_EQ(s.questionCount(), 250u);
    EXPECT_FALSE(s.hasMidiDevice());
    EXPECT_FALSE(s.running());
    EXPECT_EQ(wait.text(), "");
    session->ClearScreen(); // nothing to clear
    EXPECT_EQ(image.layerCount(), 0);
}

TEST_F(Session, ListsTheMidiDevicesAndOpensTheFirst)
{
    platform::midi::LoopbackMidiService keyboards({{"Keys One"}, {"Keys Two"}});
    TSheetMusic s(staff, progress, wait, messages, keyboards, targets, folder);
    EXPECT_TRUE(s.hasMidiDevice());
    EXPECT_EQ(s.midiDevices(), (std::vector<std::string>{"Keys One", "Keys Two"}));
    EXPECT_TRUE(s.midiOpen());
    EXPECT_EQ(s.midiInput().state(), midi::MidiInputState::Open);
    EXPECT_EQ(s.midiInput().DeviceID(), 0);
}

TEST_F(Session, AMidiDeviceThatWillNotOpenLeavesTheSessionWorking)
{
    platform::midi::LoopbackMidiService keyboards({{"Keys One"}});
    keyboards.setHeldElsewhere(0, true);
    TSheetMusic s(staff, progress, wait, messages, keyboards, targets, folder);
    EXPECT_EQ(s.midiInput().state(), midi::MidiInputState::Closed);
    EXPECT_NE(s.midiInput().Error(), 0);
    s.prepareRun(engine::RunSettings{.kind = engine::ExerciseKind::MajorScales,
                                     .key = 0,
                                     .clef = engine::ClefSetting::Treble,
                                     .scaleVariant = 1});
    s.Go();
    s.Next();
    EXPECT_TRUE(s.running());
}

TEST_F(Session, AHundredNoteRunFromStartToEnd)
{
    start(0);
    TSheetMusic& s = *session;
    EXPECT_TRUE(s.running());
    EXPECT_EQ(s.firstOnStaff(), 1);
    EXPECT_EQ(s.lastOnStaff(), 1);
    EXPECT_TRUE(item(1, 1).onScreen);
    EXPECT_TRUE(s.pointerMarkOf(1).shown);
    EXPECT_TRUE(s.pointerMarkOf(1).layer->visible());
    EXPECT_EQ(progress.text(), "0%");

    // A new question every 8 ticks.
    for (int t = 1; t <= 7; ++t)
        s.Next();
    EXPECT_EQ(s.lastOnStaff(), 1);
    s.Next();
    EXPECT_EQ(s.lastOnStaff(), 2);
    EXPECT_TRUE(item(1, 2).onScreen);
    EXPECT_FALSE(s.pointerMarkOf(2).shown); // only the asked question has its pointer

    // The first question leaves after 31 ticks, unanswered: scored wrong,
    // and the pointer jumps to the next one.
    for (int t = 9; t <= 30; ++t)
        s.Next();
    EXPECT_EQ(s.firstOnStaff(), 1);
    EXPECT_EQ(s.askedQuestion(), 1);
    s.Next();
    EXPECT_EQ(s.firstOnStaff(), 2);
    EXPECT_EQ(s.askedQuestion(), 2);
    EXPECT_FALSE(item(1, 1).onScreen);
    EXPECT_FALSE(item(1, 1).note());
    EXPECT_EQ(s.scores().currentScores()[1][0][1].wrongTotal, 1);
    const MarkSlot& pointer = s.pointerMarkOf(2);
    EXPECT_TRUE(pointer.shown);
    EXPECT_EQ(pointer.spriteIndex, PointerSprite);
    EXPECT_EQ(pointer.layer->location().left, s.itemX(2));
    EXPECT_EQ(progress.text(), "0%");

    // Question 100 enters after 99 × 8 ticks and passes x 125 31 ticks later.
    const int ticks = runToEnd();
    EXPECT_EQ(31 + ticks, 99 * 8 + 31);
    EXPECT_TRUE(s.finished());
    EXPECT_FALSE(s.running());
    // Every question, the last too, was scored wrong when it left; the store
    // was folded and written once.
    const scores::ScoreRecord& stored = s.scores().storedScores()[1][0][1];
    EXPECT_EQ(stored.wrongTotal, 100);
    EXPECT_EQ(stored.rightTotal, 0);
    EXPECT_EQ(std::filesystem::file_size(folder / "keyscore.dat"), 36288u);
    EXPECT_EQ(image.layerCount(), 0); // every item and mark is gone

    s.resetRun();
    EXPECT_EQ(s.firstOnStaff(), -1);
    EXPECT_EQ(s.questionCount(), 250u);
    EXPECT_EQ(s.tickInterval(), 125);
}

TEST_F(Session, TheLastQuestionLeavingUnansweredIsScoredWrongOnce)
{
    start(0);
    TSheetMusic& s = *session;
    while (s.askedQuestion() < 100 && !s.finished())
        s.Next();
    ASSERT_EQ(s.askedQuestion(), 100);
    const auto wrongBefore = s.scores().currentScores()[1][0][1].wrongTotal;
    EXPECT_EQ(wrongBefore, 99);
    runToEnd();
    EXPECT_EQ(s.scores().storedScores()[1][0][1].wrongTotal, 100);
}

TEST_F(Session, EachTickIsOneRepaint)
{
    start(0);
    for (int t = 0; t < 40; ++t) {
        repaints = 0;
        session->Next();
        EXPECT_EQ(repaints, 1) << "tick " << t;
    }
}

TEST_F(Session, ResetTakesEverythingOffAndNothingIsScored)
{
    start(2, 0, 0, kinds({3, 4}));
    TSheetMusic& s = *session;
    for (int t = 0; t < 25; ++t) // three questions on the staff, none gone yet
        s.Next();
    ASSERT_EQ(s.lastOnStaff(), 3);
    s.abandonRun();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_FALSE(item(1, i).onScreen);
        EXPECT_FALSE(s.pointerMarkOf(i).shown);
    }
    EXPECT_EQ(s.scores().currentScores()[1][0][1].wrongTotal, 0);
    EXPECT_EQ(s.scores().storedScores()[1][0][1].wrongTotal, 0);
}

// --- Speed -----------------------------------------------------------------------------

struct SpeedCase {
    const char* name;
    std::uint8_t kind;
    bool wide;
    float travelled; // how far the asked question has moved from the entry x
    std::int32_t expected;
};
void PrintTo(const SpeedCase& row, std::ostream* os) { *os << row.name; }

class Speeds : public SessionFixture, public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(Speeds, FollowHowFarTheAskedQuestionHasDrifted)
{
    const SpeedCase& c = GetParam();
    gfx::TImage32 wideImage;
    notation::TMusicalStaff wideStaff{wideImage, testsupport::shippedSprites(), clock, 1, 2};
    TSheetMusic wideSession(wideStaff, progress, wait, messages, midi, targets, folder);
    TSheetMusic& s = c.wide ? wideSession : *session;
    notation::TMusicalStaff& st = c.wide ? wideStaff : staff;

    SheetItem& slot = SessionProbe::slot(s, 1, 1);
    slot.item = std::make_unique<notation::TNote>(st, 0, 1, 60, false);
    slot.note()->DrawNote(st, true);
    slot.note()->MoveNote(st, c.travelled);
    slot.onScreen = true;
    SessionProbe::exerciseKind(s) = static_cast<ExerciseKind>(c.kind);
    SessionProbe::itemCount(s) = 100;
    SessionProbe::asked(s) = 1;
    SessionProbe::adjustSpeed(s);
    EXPECT_EQ(s.tickInterval(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Session, Speeds,
    ::testing::Values(
        SpeedCase{"NarrowAtEntry", 0, false, 0, 250}, SpeedCase{"NarrowAt30", 0, false, 30, 250},
        SpeedCase{"NarrowPast30", 0, false, 35, 310}, SpeedCase{"NarrowPast90", 0, false, 95, 440},
        SpeedCase{"NarrowAt120", 0, false, 120, 440},
        SpeedCase{"NarrowPast120", 0, false, 125, 500}, SpeedCase{"ScalesFirst", 6, false, 50, 15},
        SpeedCase{"ScalesPast50", 7, false, 55, 30}, SpeedCase{"ScalesPast400", 6, false, 405, 250},
        SpeedCase{"WideFirst", 2, true, 50, 50}, SpeedCase{"WidePast150", 3, true, 155, 125},
        SpeedCase{"WidePast400", 1, true, 405, 250},
        SpeedCase{"WideScalesUseTheScaleSteps", 6, true, 105, 45}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Session, SpeedAfterTheLastAnswerAndWhileWaiting)
{
    start(0);
    TSheetMusic& s = *session;
    SessionProbe::lastAnswered(s) = 100;
    SessionProbe::adjustSpeed(s);
    EXPECT_EQ(s.tickInterval(), 50);

    SessionProbe::lastAnswered(s) = 3;
    SessionProbe::interval(s) = 310;
    SessionProbe::asked(s) = -99; // waiting for the next question
    SessionProbe::adjustSpeed(s);
    EXPECT_EQ(s.tickInterval(), 310);
}

TEST_F(Session, AnAnsweredNewestQuestionHandsThePointerToTheNextArrival)
{
    start(0);
    TSheetMusic& s = *session;
    SessionProbe::asked(s) = -99; // as answering the newest question does
    for (int t = 0; t < 8; ++t)
        s.Next();
    EXPECT_EQ(s.lastOnStaff(), 2);
    EXPECT_EQ(s.askedQuestion(), 2);
    EXPECT_TRUE(s.pointerMarkOf(2).shown);
}

// --- Preparing runs -------------------------------------------------------------------

struct BadSetup {
    const char* name;
    std::int32_t key;
    std::uint8_t clef, kind;
    std::vector<int> intervals, chords;
    std::int32_t subKind, countVariant;
};
void PrintTo(const BadSetup& row, std::ostream* os) { *os << row.name; }

class BadSetups : public SessionFixture, public ::testing::WithParamInterface<BadSetup> {};

TEST_P(BadSetups, AreRefusedBeforeAnythingChanges)
{
    start(6, 0, 0, {}, {}, 0, 1); // a run already on the staff
    const int layers = image.layerCount();
    const BadSetup& c = GetParam();
    KindFilter intervals, chords;
    for (int k : c.intervals)
        intervals.set(static_cast<std::size_t>(k));
    for (int k : c.chords)
        chords.set(static_cast<std::size_t>(k));
    EXPECT_THROW(
        session->prepareRun(engine::RunSettings{.kind = static_cast<engine::ExerciseKind>(c.kind),
                                                .key = c.key,
                                                .clef = static_cast<engine::ClefSetting>(c.clef),
                                                .intervalFilter = intervals,
                                                .chordFilter = chords,
                                                .progression = c.subKind,
                                                .scaleVariant = c.countVariant}),
        ERunSetupError);
    EXPECT_EQ(image.layerCount(), layers);
    EXPECT_EQ(session->questionCount(), 99u);
    EXPECT_TRUE(item(1, 1).note());
}

INSTANTIATE_TEST_SUITE_P(
    Session, BadSetups,
    ::testing::Values(BadSetup{"UnknownKind", 0, 0, 8, {}, {}, 0, 0},
                      BadSetup{"KeyOutOfRange", 12, 0, 1, {}, {}, 0, 0},
                      BadSetup{"ClefOutOfRange", 0, 3, 1, {}, {}, 0, 0},
                      BadSetup{"NoIntervalKind", 0, 0, 2, {}, {1, 2}, 0, 0},
                      BadSetup{"IntervalKindsOnlyOutOfRange", 0, 0, 2, {0, 16, 103}, {}, 0, 0},
                      BadSetup{"MixedWithoutChords", 0, 0, 4, {3}, {15}, 0, 0},
                      BadSetup{"NoChordKind", 0, 0, 3, {1}, {}, 0, 0},
                      BadSetup{"ProgressionZero", 0, 0, 5, {}, {}, 0, 0},
                      BadSetup{"ProgressionNine", 0, 0, 5, {}, {}, 9, 0},
                      BadSetup{"ScaleLengthZero", 0, 0, 6, {}, {}, 0, 0},
                      BadSetup{"MinorScaleLengthThree", 0, 0, 7, {}, {}, 0, 3}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Session, RunAfterRunLeavesNothingBehind)
{
    // Prepare, play a little, stop with Reset, prepare again: questions
    // never reached and their hidden marks must not pile up. The C major
    // scale makes the same questions every time.
    start(6, 0, 0, {}, {}, 0, 1);
    const int layers = image.layerCount();
    for (int run = 0; run < 1000; ++run) {
        for (int t = 0; t < 20 + run % 7; ++t)
            session->Next();
        session->abandonRun();
        start(6, 0, 0, {}, {}, 0, 1);
        ASSERT_EQ(image.layerCount(), layers) << "run " << run;
    }
}

TEST_F(Session, ARunAfterAStoppedMinorScaleRunCountsInTheFirstMode)
{
    start(7, 0, 0, {}, {}, 0, 1);
    EXPECT_EQ(session->mode(), ScoreMode::MinorScales);
    session->abandonRun(); // Reset
    start(0);
    EXPECT_EQ(session->mode(), ScoreMode::Main);
}

TEST_F(Session, ASessionTakesItsQuestionsAlongWhenDestroyed)
{
    start(4, 2, 3, kinds({1, 8}), kinds({2, 11}));
    for (int t = 0; t < 30; ++t)
        session->Next();
    EXPECT_GT(image.layerCount(), 0);
    session.reset();
    EXPECT_EQ(image.layerCount(), 0);
}

} // namespace
} // namespace engine
