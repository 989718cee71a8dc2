#include "history/Progress.h"
#include "TempFolder.h"
#include "platform/testing/Recorders.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace history {
namespace {

constexpr std::int64_t Hour = 3'600'000;
constexpr std::int64_t Day = 24 * Hour;
// 2026-03-04, the day the tests call today; now is 10:00 on it.
constexpr std::int64_t Today = 20'516;
constexpr std::int64_t Now = Today * Day + 10 * Hour;

constexpr std::int64_t at(std::int64_t day, std::int64_t msInDay) { return day * Day + msInDay; }

struct Asked {
    std::int64_t whenMs;
    std::vector<int> pitches;
    std::int32_t kind = 0;
    Outcome outcome = Outcome::Right;
    std::int32_t responseMs = 1000;
};

class Progress : public testsupport::TempFolder {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        store = std::make_unique<HistoryStore>(folder / HistoryFileName, messages, "2026-03-04");
    }
    void TearDown() override
    {
        store.reset();
        TempFolder::TearDown();
    }

    void add(const Asked& a, const std::string& exercise = "notes-in-key", std::int32_t key = 2,
             const std::string& staff = "treble")
    {
        AnswerRow r;
        r.whenMs = a.whenMs;
        r.exercise = exercise;
        r.key = key;
        r.staff = staff;
        r.questionPitches = a.pitches;
        r.questionKind = a.kind;
        r.outcome = a.outcome;
        r.responseMs = a.outcome == Outcome::Unanswered ? -1 : a.responseMs;
        if (a.outcome != Outcome::Unanswered)
            r.answerPitches = a.pitches;
        store->record(r);
    }
    void flush() { ASSERT_TRUE(store->flush()); }

    ProgressFigures figures(ProgressRange range = ProgressRange::Days30,
                            const ProgressScope& scope = {"notes-in-key", 2, "treble"})
    {
        return progressOf(*store, scope, range, Now);
    }

    platform::testing::RecordingMessageBoxes messages;
    std::unique_ptr<HistoryStore> store;
};

TEST_F(Progress, DaysSplitAtLocalMidnight)
{
    add({at(Today - 1, Day - 1), {64}});
    add({at(Today - 1, 0), {64}, 0, Outcome::Wrong});
    add({at(Today, 0), {65}});
    flush();
    const ProgressFigures f = figures();
    ASSERT_EQ(f.days.size(), 2u);
    EXPECT_EQ(f.days[0].day, Today - 1);
    EXPECT_EQ(f.days[0].figures.asked, 2);
    EXPECT_EQ(f.days[0].figures.right, 1);
    EXPECT_EQ(f.days[1].day, Today);
    EXPECT_EQ(f.days[1].figures.asked, 1);
    EXPECT_EQ(f.total.asked, 3);
}

struct MedianCase {
    const char* name;
    std::vector<std::pair<Outcome, std::int32_t>> answers;
    int asked;
    int right;
    int timed;
    double medianMs; // -1: none
};

class DayFiguresOf : public ::testing::TestWithParam<MedianCase> {};

// One day's answers through the tally: what is asked, right, timed, and the
// median of the times of the answered ones.
TEST_P(DayFiguresOf, CountsAndMedian)
{
    const MedianCase& c = GetParam();
    std::vector<ProgressAnswer> answers;
    for (const auto& [outcome, ms] : c.answers)
        answers.push_back({at(Today, 5 * Hour), 64, 1, 0, outcome, ms});
    ProgressFigures f;
    tally(answers, "notes-in-key", f);
    ASSERT_EQ(f.days.size(), c.answers.empty() ? 0u : 1u);
    const Figures& day = c.answers.empty() ? f.total : f.days[0].figures;
    EXPECT_EQ(day.asked, c.asked);
    EXPECT_EQ(day.right, c.right);
    EXPECT_EQ(day.timed, c.timed);
    EXPECT_DOUBLE_EQ(day.medianMs, c.medianMs);
    EXPECT_DOUBLE_EQ(day.accuracy(), c.asked > 0 ? static_cast<double>(c.right) / c.asked : 0.0);
    // The heat-map cell of the pitch holds the same.
    if (!c.answers.empty()) {
        EXPECT_EQ(f.pitches.at(64).asked, c.asked);
        EXPECT_DOUBLE_EQ(f.pitches.at(64).medianMs, c.medianMs);
    }
}

constexpr auto R = Outcome::Right;
constexpr auto W = Outcome::Wrong;
constexpr auto U = Outcome::Unanswered;

INSTANTIATE_TEST_SUITE_P(
    Progress, DayFiguresOf,
    ::testing::Values(
        MedianCase{"Nothing", {}, 0, 0, 0, -1}, MedianCase{"OneAnswer", {{R, 1200}}, 1, 1, 1, 1200},
        MedianCase{"OddCountTakesTheMiddle", {{R, 3000}, {W, 1000}, {R, 2000}}, 3, 2, 3, 2000},
        MedianCase{"EvenCountTakesTheMeanOfTheTwoMiddle",
                   {{R, 4000}, {R, 1000}, {W, 3000}, {R, 2000}},
                   4,
                   3,
                   4,
                   2500},
        MedianCase{"UnansweredIsAskedButNotTimed",
                   {{R, 1000}, {U, -1}, {U, -1}, {W, 3000}},
                   4,
                   1,
                   2,
                   2000},
        MedianCase{"OnlyUnansweredHasNoMedian", {{U, -1}, {U, -1}}, 2, 0, 0, -1}),
    [](const auto& row) { return std::string(row.param.name); });

struct StreakCase {
    const char* name;
    std::vector<std::int64_t> daysAgo; // one answer on each, at 09:00
    int streak;
};

class StreakOf : public Progress, public ::testing::WithParamInterface<StreakCase> {};

TEST_P(StreakOf, PracticeDays)
{
    for (const std::int64_t ago : GetParam().daysAgo)
        add({at(Today - ago, 9 * Hour), {62}});
    // Another scope practised every day never bridges a gap.
    for (std::int64_t ago = 0; ago < 10; ++ago)
        add({at(Today - ago, 9 * Hour), {62}}, "notes-in-key", 3);
    flush();
    EXPECT_EQ(currentStreak(*store, {"notes-in-key", 2, "treble"}, Now), GetParam().streak);
    EXPECT_EQ(figures(ProgressRange::Days7).streakDays, GetParam().streak);
}

INSTANTIATE_TEST_SUITE_P(
    Progress, StreakOf,
    ::testing::Values(StreakCase{"NoAnswers", {}, 0}, StreakCase{"TodayOnly", {0}, 1},
                      StreakCase{"ThreeDaysUpToToday", {0, 1, 2}, 3},
                      StreakCase{"SeveralAnswersADayCountOnce", {0, 0, 1, 1, 1}, 2},
                      StreakCase{"UpToYesterdayWhileTodayHasNothingYet", {1, 2, 3, 4}, 4},
                      StreakCase{"AGapEndsIt", {0, 1, 3, 4, 5}, 2},
                      StreakCase{"TwoDaysAgoIsOver", {2, 3}, 0},
                      StreakCase{"LongerThanTheRange", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 11},
                      StreakCase{"AGapJustBeforeTheRange", {0, 1, 2, 3, 4, 5, 6, 8, 9}, 7},
                      StreakCase{"FromYesterdayPastTheRange", {1, 2, 3, 4, 5, 6, 7, 8}, 8},
                      StreakCase{"NothingInTheRangeButEarlier", {9, 10}, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Progress, HeatMapCellsPerPitchAndPerKind)
{
    const std::string mixed = "mixed";
    // E4 three times (right, wrong, unanswered), G4 once.
    add({at(Today, 1 * Hour), {64}, 0, R, 900}, mixed);
    add({at(Today, 2 * Hour), {64}, 0, W, 2100}, mixed);
    add({at(Today, 3 * Hour), {64}, 0, U}, mixed);
    add({at(Today - 3, 3 * Hour), {67}, 0, R, 700}, mixed);
    // Kind 3 as an interval (two notes) and as a chord (three): not mixed up.
    add({at(Today, 4 * Hour), {60, 63}, 3, R, 1500}, mixed);
    add({at(Today, 5 * Hour), {60, 64}, 3, W, 2500}, mixed);
    add({at(Today, 6 * Hour), {60, 64, 68}, 3, R, 4000}, mixed);
    add({at(Today, 7 * Hour), {60, 64, 67}, 1, R, 3000}, mixed);
    flush();

    const ProgressFigures f = figures(ProgressRange::Days7, {mixed, 2, "treble"});
    ASSERT_EQ(f.pitches.size(), 2u);
    const Figures& e4 = f.pitches.at(64);
    EXPECT_EQ(e4.asked, 3);
    EXPECT_EQ(e4.right, 1);
    EXPECT_EQ(e4.timed, 2);
    EXPECT_DOUBLE_EQ(e4.medianMs, 1500);
    EXPECT_EQ(f.pitches.at(67).asked, 1);
    EXPECT_DOUBLE_EQ(f.pitches.at(67).medianMs, 700);

    ASSERT_EQ(f.intervals.size(), 1u);
    EXPECT_EQ(f.intervals.at(3).asked, 2);
    EXPECT_EQ(f.intervals.at(3).right, 1);
    EXPECT_DOUBLE_EQ(f.intervals.at(3).medianMs, 2000);
    ASSERT_EQ(f.chords.size(), 2u);
    EXPECT_EQ(f.chords.at(3).asked, 1);
    EXPECT_DOUBLE_EQ(f.chords.at(3).medianMs, 4000);
    EXPECT_EQ(f.chords.at(1).right, 1);
    EXPECT_EQ(f.total.asked, 8);
}

TEST_F(Progress, TheIntervalAndChordExercisesAskOnlyTheirOwn)
{
    // A progression asks chords over a bass: whatever the size, a chord.
    add({at(Today, Hour), {48, 60, 64, 67}, 1}, "progressions");
    add({at(Today, Hour), {60, 67}, 8}, "intervals");
    flush();
    const ProgressFigures p = figures(ProgressRange::Days7, {"progressions", 2, "treble"});
    EXPECT_EQ(p.chords.at(1).asked, 1);
    EXPECT_TRUE(p.intervals.empty());
    EXPECT_TRUE(p.pitches.empty());
    const ProgressFigures i = figures(ProgressRange::Days7, {"intervals", 2, "treble"});
    EXPECT_EQ(i.intervals.at(8).asked, 1);
    EXPECT_TRUE(i.chords.empty());
}

TEST_F(Progress, RangesEndTodayAndCountWholeLocalDays)
{
    add({at(Today - 7, Day - 1), {60}}); // the eighth day back
    add({at(Today - 6, 0), {62}});       // the first of seven
    add({at(Today - 29, 0), {64}});      // the first of thirty
    add({at(Today - 30, 12 * Hour), {65}});
    add({at(Today, Day - 1), {67}}); // later today than now
    add({at(Today + 1, 0), {69}});   // tomorrow: a clock set back
    flush();

    const ProgressFigures week = figures(ProgressRange::Days7);
    EXPECT_EQ(week.firstDay, Today - 6);
    EXPECT_EQ(week.lastDay, Today);
    EXPECT_EQ(week.total.asked, 2);
    EXPECT_EQ(week.pitches.count(60), 0u);
    EXPECT_EQ(week.pitches.count(62), 1u);
    EXPECT_EQ(week.pitches.count(69), 0u);

    EXPECT_EQ(figures(ProgressRange::Days30).total.asked, 4);
    EXPECT_EQ(figures(ProgressRange::Days30).firstDay, Today - 29);

    const ProgressFigures year = figures(ProgressRange::Days365);
    EXPECT_EQ(year.firstDay, Today - 364);
    EXPECT_EQ(year.total.asked, 5);

    const ProgressFigures all = figures(ProgressRange::All);
    EXPECT_EQ(all.firstDay, Today - 30);
    EXPECT_EQ(all.total.asked, 5);
    ASSERT_FALSE(all.days.empty());
    EXPECT_EQ(all.days.front().day, Today - 30);
}

TEST_F(Progress, OtherScopesAreNotMixedIn)
{
    add({at(Today, Hour), {64}});
    add({at(Today, Hour), {64}, 0, W}, "notes-in-c", 2, "treble");
    add({at(Today, Hour), {64}, 0, W}, "notes-in-key", 5, "treble");
    add({at(Today, Hour), {64}, 0, W}, "notes-in-key", 2, "both");
    add({at(Today - 1, Hour), {64}, 0, W}, "notes-in-key", 2, "bass");
    flush();
    const ProgressFigures f = figures(ProgressRange::All);
    EXPECT_EQ(f.total.asked, 1);
    EXPECT_EQ(f.pitches.at(64).right, 1);
    EXPECT_EQ(f.firstDay, Today);
    EXPECT_EQ(f.streakDays, 1);
}

TEST_F(Progress, AnEmptyHistoryHasEmptyFigures)
{
    for (const ProgressRange range : {ProgressRange::Days7, ProgressRange::All}) {
        const ProgressFigures f = figures(range);
        EXPECT_TRUE(f.days.empty());
        EXPECT_EQ(f.total.asked, 0);
        EXPECT_FALSE(f.total.hasMedian());
        EXPECT_EQ(f.total.accuracy(), 0.0);
        EXPECT_EQ(f.streakDays, 0);
        EXPECT_EQ(f.lastDay, Today);
    }
    EXPECT_EQ(figures(ProgressRange::All).firstDay, Today);
}

TEST_F(Progress, ProgressAnswersReadWhatTheFullRowsHold)
{
    add({at(Today, Hour), {64}, 0, R, 800});
    add({at(Today, 2 * Hour), {60, 64, 67}, 2, W, 1800});
    add({at(Today, 3 * Hour), {}, 0, U});
    flush();
    AnswerFilter all;
    const std::vector<AnswerRow> rows = store->answers(all);
    std::vector<ProgressAnswer> read;
    store->visitProgressAnswers(all, [&](const ProgressAnswer& a) { read.push_back(a); });
    ASSERT_EQ(read.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(read[i].whenMs, rows[i].whenMs);
        EXPECT_EQ(read[i].pitchCount, static_cast<std::int32_t>(rows[i].questionPitches.size()));
        EXPECT_EQ(read[i].pitch,
                  rows[i].questionPitches.size() == 1 ? rows[i].questionPitches[0] : -1);
        EXPECT_EQ(read[i].kind, rows[i].questionKind);
        EXPECT_EQ(read[i].outcome, rows[i].outcome);
        EXPECT_EQ(read[i].responseMs, rows[i].responseMs);
    }
    EXPECT_EQ(store->earliestAnswer(all), at(Today, Hour));
    EXPECT_EQ(store->latestAnswer(all), at(Today, 3 * Hour));
    AnswerFilter none;
    none.exercise = "chords";
    EXPECT_EQ(store->latestAnswer(none), std::nullopt);
}

} // namespace
} // namespace history
