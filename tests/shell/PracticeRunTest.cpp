// Every exercise chosen on the practice panel, played to its end with the
// mouse and the computer keyboard, right and wrong, and found in the score
// file under its mode, key and staff (the weak-spot drill in the history
// alone).

#include "MainWindowFixture.h"
#include "shell/PracticePanel.h"
#include "shell/uStatistics.h"

#include <QPlainTextEdit>

#include <QComboBox>
#include <QLabel>
#include <QListWidget>

#include <bit>
#include <cstring>

namespace shell::testing {
namespace {

// The lower row of the computer keyboard, by pitch class.
constexpr std::array<Qt::Key, 12> LowerRow{Qt::Key_Z, Qt::Key_S, Qt::Key_X, Qt::Key_D,
                                           Qt::Key_C, Qt::Key_V, Qt::Key_G, Qt::Key_B,
                                           Qt::Key_H, Qt::Key_N, Qt::Key_J, Qt::Key_M};

std::vector<int> classesOf(std::uint16_t mask)
{
    std::vector<int> out;
    for (int pc = 0; pc < 12; ++pc)
        if ((mask >> pc) & 1u)
            out.push_back(pc);
    return out;
}

class PracticeRun : public MainWindow, public ::testing::WithParamInterface<engine::ExerciseKind> {
protected:
    // The asked question's pitch classes, or one of them a semitone off.
    std::vector<int> answerFor(bool right)
    {
        std::vector<int> classes = classesOf(sheet().askedPitchClasses());
        if (!right) {
            const std::uint16_t mask = sheet().askedPitchClasses();
            int off = (classes.back() + 1) % 12;
            while ((mask >> off) & 1u)
                off = (off + 1) % 12;
            classes.back() = off;
        }
        return classes;
    }
    void answerWithTheMouse(bool right)
    {
        for (const int pc : answerFor(right)) {
            const QPoint at = keyFor(pc);
            QTest::mousePress(window->imgPiano, Qt::LeftButton, {}, at);
            QTest::mouseRelease(window->imgPiano, Qt::LeftButton, {}, at);
        }
    }
    void answerWithTheKeyboard(bool right)
    {
        const std::vector<int> classes = answerFor(right);
        for (const int pc : classes)
            QTest::keyPress(window.get(), LowerRow[static_cast<std::size_t>(pc)]);
        for (const int pc : classes)
            QTest::keyRelease(window.get(), LowerRow[static_cast<std::size_t>(pc)]);
    }
};

TEST_P(PracticeRun, ChosenOnThePanelAndAnsweredByMouseAndKeyboardIsScoredWhereItBelongs)
{
    const engine::ExerciseKind kind = GetParam();
    TfMain& w = open();
    PracticePanel& panel = *w.practicePanel;
    panel.exercise->setCurrentIndex(static_cast<int>(kind));
    if (panel.key->isEnabled())
        panel.key->setCurrentIndex(2); // D major
    // Both staves; scales on the bass staff, as on both they score each
    // staff's note apart.
    if (panel.staff->isEnabled())
        panel.staff->setCurrentIndex(panel.octaves->isVisible() ? 1 : 2);
    if (panel.octaves->isVisible())
        panel.octaves->setCurrentIndex(1);
    const engine::PracticeChoice choice = w.vars.practice;
    ASSERT_EQ(choice.kind, kind);
    const engine::RunSettings run = choice.runSettings();
    EXPECT_EQ(w.lCurrentNote->text(), QStringLiteral("0 / %1").arg(engine::questionCountOf(run)));

    const fs::path scoreFile = folder / "keyscore.dat";
    const std::vector<std::uint8_t> scoresBefore =
        fs::exists(scoreFile) ? readBytes(scoreFile) : std::vector<std::uint8_t>{};
    click(w.bStart);
    ASSERT_FALSE(panel.isEnabled()) << "the panel is locked during a run";
    int right = 0;
    int wrong = 0;
    int lastAsked = -1;
    for (int t = 0; t < 20'000 && caption() != "Start"; ++t) {
        tick();
        const int asked = sheet().askedQuestion();
        if (!sheet().running() || asked < 1 || asked == lastAsked)
            continue;
        lastAsked = asked;
        const bool isRight = asked % 3 != 0;
        if (asked % 2 == 0)
            answerWithTheKeyboard(isRight);
        else
            answerWithTheMouse(isRight);
        ASSERT_NE(sheet().verdictOf(asked), engine::Verdict::None) << "question " << asked;
        EXPECT_EQ(sheet().verdictOf(asked) == engine::Verdict::Right, isRight) << asked;
        (isRight ? right : wrong) += 1;
    }
    ASSERT_EQ(caption(), "Start");
    EXPECT_TRUE(panel.isEnabled());
    EXPECT_EQ(static_cast<std::uint32_t>(right + wrong), engine::questionCountOf(run));

    if (!engine::keepsScores(kind)) {
        // The drill's answers live in the practice history only.
        const std::vector<std::uint8_t> scoresAfter =
            fs::exists(scoreFile) ? readBytes(scoreFile) : std::vector<std::uint8_t>{};
        EXPECT_EQ(scoresAfter, scoresBefore);
        // Nor wait in memory for the next run's end to write them.
        const scores::ScoreTable& current = sheet().scores().currentScores();
        const scores::ScoreTable untouched{};
        EXPECT_EQ(std::memcmp(&current, &untouched, sizeof current), 0);
        EXPECT_EQ(w.vars.history->answers().size(), engine::questionCountOf(run));
        return;
    }
    const scores::ScoreTable table = storedFile();
    const scores::ScoreRecord& record =
        table[static_cast<int>(engine::scoreModeOf(kind))][run.key][static_cast<int>(run.clef) + 1];
    EXPECT_EQ(record.rightTotal, right);
    EXPECT_EQ(record.wrongTotal, wrong);
}

INSTANTIATE_TEST_SUITE_P(Practice, PracticeRun, ::testing::ValuesIn(engine::AllExercises),
                         [](const auto& row) {
                             std::string name(engine::exerciseId(row.param));
                             std::erase(name, '-');
                             return name;
                         });

TEST_F(PracticeRun, StatisticsOpenOnThePracticeAndBrowseAndResetWhatTheyShow)
{
    TfMain& w = open();
    w.practicePanel->exercise->setCurrentIndex(static_cast<int>(engine::ExerciseKind::Chords));
    w.practicePanel->key->setCurrentIndex(2);   // D
    w.practicePanel->staff->setCurrentIndex(1); // bass
    click(w.bStart);
    for (int t = 0, lastAsked = -1; t < 20'000 && caption() != "Start"; ++t) {
        tick();
        const int asked = sheet().askedQuestion();
        if (sheet().running() && asked >= 1 && asked != lastAsked) {
            lastAsked = asked;
            answerWithTheMouse(true);
        }
    }
    ASSERT_EQ(caption(), "Start");

    click(w.bStats);
    TfStats& stats = *w.fStats;
    EXPECT_EQ(stats.cMode->currentIndex(), 0);
    EXPECT_EQ(stats.cKey->currentIndex(), 2);
    EXPECT_EQ(stats.cStaff->currentIndex(), 1);
    EXPECT_EQ(stats.cTable->currentText(), QStringLiteral("Chords"));
    EXPECT_EQ(stats.Label1->text(), QStringLiteral("D Major"));
    std::string chords;
    sheet().scores().chordStatInfo(1, 2, 2, chords);
    std::erase(chords, '\r');
    EXPECT_EQ(stats.mNoteStats->toPlainText().toStdString(), chords);
    EXPECT_EQ(stats.mNoteStats->toPlainText().indexOf(QStringLiteral("No scores yet")), -1);

    stats.cKey->setCurrentIndex(3); // E flat: nothing played there
    EXPECT_EQ(stats.Label1->text(), QStringLiteral("Eb Major"));
    EXPECT_NE(stats.mNoteStats->toPlainText().indexOf(QStringLiteral("No scores yet")), -1);
    stats.cMode->setCurrentIndex(1);
    EXPECT_EQ(stats.Label1->text(), QStringLiteral("C Minor")) << "minor scales by their key";
    EXPECT_EQ(stats.cKey->currentText(), QStringLiteral("Eb Major / C Minor"));

    stats.cMode->setCurrentIndex(0);
    stats.cKey->setCurrentIndex(2);
    messages.queueAnswer(true);
    click(stats.bResetNotes);
    EXPECT_EQ(messages.questions().back(), "Reset chord statistics for this key and clef?");
    const scores::ScoreTable table = storedFile();
    for (int k = 1; k <= 14; ++k)
        EXPECT_EQ(table[1][2][2].chordStats[k].asked, 0) << k;
    EXPECT_GT(table[1][2][2].rightTotal, 0) << "the time and score stay";
}

TEST_F(MainWindow, NothingToAskDisablesStartWithItsReason)
{
    TfMain& w = open();
    w.practicePanel->exercise->setCurrentIndex(static_cast<int>(engine::ExerciseKind::Intervals));
    click(w.practicePanel->intervalsNone);
    EXPECT_FALSE(w.bStart->isEnabled());
    EXPECT_EQ(w.lStartReason->text(), QStringLiteral("Tick at least one interval."));
    QTest::keyClick(&w, Qt::Key_Space); // Space starts nothing either
    EXPECT_EQ(caption(), "Start");
    EXPECT_FALSE(sheet().running());

    w.practicePanel->intervals->item(4)->setCheckState(Qt::Checked); // perfect fourth
    EXPECT_TRUE(w.bStart->isEnabled());
    EXPECT_EQ(w.lStartReason->text(), QString());
    QTest::keyClick(&w, Qt::Key_Space);
    EXPECT_TRUE(sheet().running());
    QTest::keyClick(&w, Qt::Key_Space);
    EXPECT_TRUE(sheet().paused());
    QTest::keyClick(&w, Qt::Key_Space);
    EXPECT_FALSE(sheet().paused());
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(sheet().running());
    EXPECT_EQ(caption(), "Start");
}

TEST_F(MainWindow, TheChoiceIsRememberedAndTheStaffShowsItsKey)
{
    {
        TfMain& w = open();
        w.practicePanel->exercise->setCurrentIndex(
            static_cast<int>(engine::ExerciseKind::MinorScales));
        w.practicePanel->key->setCurrentIndex(4); // E major / C# minor
        EXPECT_EQ(w.practicePanel->key->currentText(), QStringLiteral("E Major / C# Minor"));
        EXPECT_EQ(w.vars.keySignature->getCurrentKey(), 4);
        w.close();
        window.reset();
    }
    TfMain& again = open();
    EXPECT_EQ(again.vars.practice.kind, engine::ExerciseKind::MinorScales);
    EXPECT_EQ(again.vars.practice.key, 4);
    EXPECT_EQ(again.practicePanel->exercise->currentIndex(),
              static_cast<int>(engine::ExerciseKind::MinorScales));
    EXPECT_EQ(again.vars.keySignature->getCurrentKey(), 4);
    EXPECT_EQ(again.lQuestion->text(), QStringLiteral("Which note of the scale is this?"));
}

TEST_F(MainWindow, AutoRepeatAndKeysHeldOnPlayNoSecondAnswer)
{
    TfMain& w = open();
    click(w.bStart);
    for (int t = 0; t < 200 && sheet().askedQuestion() < 1; ++t)
        tick();
    const int first = sheet().askedQuestion();
    ASSERT_GE(first, 1);
    const int pc = std::countr_zero(sheet().askedPitchClasses());
    const Qt::Key key = LowerRow[static_cast<std::size_t>(pc)];
    QTest::keyPress(&w, key);
    EXPECT_EQ(sheet().verdictOf(first), engine::Verdict::Right);
    EXPECT_EQ(w.piano->highlightCount(), 1) << "the key held is shown";
    for (int t = 0; t < 200 && sheet().askedQuestion() <= first; ++t)
        tick();
    const int next = sheet().askedQuestion();
    ASSERT_GT(next, first);
    QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(&w, &repeat);
    QTest::keyPress(&w, Qt::Key_X); // D, with the first key still down
    EXPECT_EQ(sheet().verdictOf(next), engine::Verdict::None)
        << "nothing counts until every key is up";
    QTest::keyRelease(&w, Qt::Key_X);
    QTest::keyRelease(&w, key);
    EXPECT_EQ(w.piano->highlightCount(), 0);
}

} // namespace
} // namespace shell::testing
