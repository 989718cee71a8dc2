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
    // Half way through, nothing is on disk yet.
    int answered = 0;
    int lastAsked = -1;
    for (int t = 0; t < 20'000 && caption() != "Start"; ++t) {
        tick();
        if (sheet().running() && sheet().askedQuestion() > 0 &&
            sheet().askedQuestion() != lastAsked) {
            lastAsked = sheet().askedQuestion();
            answerAsked(lastAsked % 4 != 0); // every fourth one wrong
            ++answered;
            if (answered == 50) {
                platform::testing::RecordingMessageBoxes quiet;
                history::HistoryStore reader(folder / history::HistoryFileName, quiet,
                                             "2026-03-04");
                EXPECT_TRUE(reader.answers().empty()) << "written during the run";
            }
        }
    }
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
