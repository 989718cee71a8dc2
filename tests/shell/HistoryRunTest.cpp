// The window keeps every scored answer of a run in history.sqlite, written
// when the run ends, not while it goes on; the weak-spot drill reads it.

#include "MainWindowFixture.h"
#include "history/History.h"
#include "shell/PracticePanel.h"
#include "shell/ProgressWindow.h"

#include <QComboBox>

#include <map>

namespace shell::testing {
namespace {

TEST_F(MainWindow, EveryAnswerOfARunIsInTheHistoryOnceItEnds)
{
    TfMain& w = open();
    click(w.bStart);
    const int answered = playWholeRun(
        [](int q) { return q % 4 != 0; }, // every fourth wrong
        [&](int n) {
            // Half way through, nothing is on disk yet.
            if (n != 50)
                return;
            platform::testing::RecordingMessageBoxes quiet;
            history::HistoryStore reader(folder / history::HistoryFileName, quiet, "2026-03-04");
            EXPECT_TRUE(reader.answers().empty()) << "written during the run";
        });
    ASSERT_EQ(caption(), "Start");
    ASSERT_EQ(answered, 100);
    platform::testing::RecordingMessageBoxes quiet;
    history::HistoryStore reader(folder / history::HistoryFileName, quiet, "2026-03-04");
    const std::vector<history::AnswerRow> rows = reader.answers();
    ASSERT_EQ(rows.size(), 100u);
    int right = 0;
    for (const history::AnswerRow& r : rows) {
        EXPECT_EQ(r.exercise, "notes-in-c");
        EXPECT_EQ(r.staff, "treble");
        EXPECT_EQ(r.input, history::Input::Mouse);
        EXPECT_EQ(r.questionPitches.size(), 1u);
        EXPECT_GE(r.responseMs, 0);
        right += r.outcome == history::Outcome::Right ? 1 : 0;
    }
    EXPECT_EQ(right, 75);
    // The score file tells the same.
    EXPECT_EQ(sheet().scores().storedScores()[1][0][1].rightTotal, 75);
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(MainWindow, TheWeakSpotDrillAsksTheNotesMissedInItsKeyAndStaff)
{
    TfMain& w = open();
    const std::int64_t now = sheet().nowMs();
    constexpr std::int64_t Day = 86'400'000;
    const auto answer = [&](int pitch, bool right, std::int64_t ago, std::int32_t key,
                            const char* staff) {
        history::AnswerRow r;
        r.whenMs = now - ago;
        r.exercise = "notes-in-key";
        r.key = key;
        r.staff = staff;
        r.questionPitches = {pitch};
        r.answerPitches = {right ? pitch : pitch + 1};
        r.outcome = right ? history::Outcome::Right : history::Outcome::Wrong;
        r.responseMs = 600;
        w.vars.history->record(r);
    };
    // Every note of C major on the treble staff known well yesterday but E4,
    // missed; G4 missed only in D major and on the bass staff, A4 only long
    // ago.
    for (const std::int32_t p : sheet().drillCandidates(0, engine::ClefSetting::Treble))
        for (int n = 0; n < 5; ++n)
            answer(p, p != 64, Day, 0, "treble");
    for (int n = 0; n < 10; ++n) {
        answer(67, false, Day, 2, "treble");
        answer(67, false, Day, 0, "bass");
        answer(69, false, 200 * Day, 0, "treble");
    }
    ASSERT_TRUE(w.vars.history->flush());

    w.practicePanel->exercise->setCurrentIndex(static_cast<int>(engine::ExerciseKind::WeakSpots));
    w.practicePanel->key->setCurrentIndex(0);
    w.practicePanel->staff->setCurrentIndex(0);
    click(w.bStart);
    ASSERT_TRUE(sheet().running());
    std::map<int, int> asked;
    for (int i = 1; i <= 100; ++i)
        ++asked[sheet().slot(1, i).note()->getPitch()];
    // E4 weighs 1.1 against 0.1 for each of the other twenty notes.
    EXPECT_GE(asked[64], 20);
    EXPECT_LE(asked[67], 12);
    EXPECT_LE(asked[69], 12);
    EXPECT_GE(asked.size(), 8u) << "the other notes still come";

    // The run's own score shows as in any run.
    while (sheet().askedQuestion() < 1)
        tick();
    answerAsked(true);
    EXPECT_EQ(w.lProgress->text(), QStringLiteral("100%"));
}

TEST_F(MainWindow, TheProgressWindowShowsWhatIsPractisedAndFollowsRunsAndChoices)
{
    TfMain& w = open();
    click(w.bStart);
    EXPECT_FALSE(w.bProgress->isEnabled()) << "a run holds the buttons";
    ASSERT_EQ(playWholeRun(std::function<bool(int)>([](int q) { return q % 2 == 0; })), 100);
    ASSERT_TRUE(w.bProgress->isEnabled());

    click(w.bProgress);
    ASSERT_NE(w.progressWindow, nullptr);
    ProgressWindow& progress = *w.progressWindow;
    EXPECT_TRUE(progress.isVisible());
    EXPECT_EQ(progress.scope().exercise, "notes-in-c");
    EXPECT_EQ(progress.scope().staff, "treble");
    EXPECT_EQ(progress.figures().total.asked, 100);
    EXPECT_EQ(progress.figures().total.right, 50);
    EXPECT_EQ(progress.figures().streakDays, 1);

    // A run played with the window open is in it when the run ends, a
    // Reset's answers too.
    click(w.bStart);
    ASSERT_EQ(playWholeRun(true), 100);
    EXPECT_EQ(progress.figures().total.asked, 200);
    EXPECT_EQ(progress.figures().total.right, 150);
    click(w.bStart);
    while (sheet().askedQuestion() < 2) {
        tick();
        if (sheet().askedQuestion() == 1 && sheet().verdictOf(1) == engine::Verdict::None)
            answerAsked(true);
    }
    click(w.bReset);
    EXPECT_EQ(progress.figures().total.asked, 201);

    // Another choice on the panel shows that one.
    w.practicePanel->staff->setCurrentIndex(1);
    EXPECT_EQ(progress.scope().staff, "bass");
    EXPECT_EQ(progress.figures().total.asked, 0);
    EXPECT_TRUE(messages.messages().empty());
}

} // namespace
} // namespace shell::testing
