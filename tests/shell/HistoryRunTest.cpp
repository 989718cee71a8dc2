// The window keeps every scored answer of a run in history.sqlite, written
// when the run ends, not while it goes on.

#include "MainWindowFixture.h"
#include "history/History.h"

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

} // namespace
} // namespace shell::testing
