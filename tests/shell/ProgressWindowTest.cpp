#include "shell/ProgressWindow.h"
#include "engine/Practice.h"

#include "TempFolder.h"
#include "platform/testing/Recorders.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineSeries>
#include <QTableWidget>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace shell {
namespace {

using history::AnswerRow;
using history::Outcome;

constexpr std::int64_t Hour = 3'600'000;
constexpr std::int64_t Day = 24 * Hour;
constexpr std::int64_t Today = 20'516; // 2026-03-04
constexpr std::int64_t Now = Today * Day + 18 * Hour;

class ProgressWindowTest : public testsupport::TempFolder {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        store = std::make_unique<history::HistoryStore>(folder / "history.sqlite", messages,
                                                        "2026-03-04");
    }
    void TearDown() override
    {
        window.reset();
        store.reset();
        TempFolder::TearDown();
    }

    void add(std::int64_t when, std::vector<int> pitches, Outcome outcome, std::int32_t ms,
             std::int32_t kind = 0, const std::string& exercise = "notes-in-key",
             std::int32_t key = 2, const std::string& staff = "treble")
    {
        AnswerRow r;
        r.whenMs = when;
        r.exercise = exercise;
        r.key = key;
        r.staff = staff;
        r.questionPitches = std::move(pitches);
        r.questionKind = kind;
        r.outcome = outcome;
        r.responseMs = outcome == Outcome::Unanswered ? -1 : ms;
        store->record(r);
    }

    ProgressWindow& open(const std::string& exercise = "notes-in-key", std::int32_t key = 2,
                         const std::string& staff = "treble")
    {
        EXPECT_TRUE(store->flush());
        window = std::make_unique<ProgressWindow>(nullptr, *store, messages, [] { return Now; });
        window->showScope(exercise, key, staff);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }

    // A seeded week in D major on the treble staff, and answers elsewhere.
    void seed()
    {
        // Two days ago: E4 right twice (1.0 s, 1.8 s), wrong once (3.0 s); F#4 right.
        add(at(-2, 9), {64}, Outcome::Right, 1000);
        add(at(-2, 9), {64}, Outcome::Right, 1800);
        add(at(-2, 9), {64}, Outcome::Wrong, 3000);
        add(at(-2, 10), {66}, Outcome::Right, 600);
        // Today: G4 wrong, and one left unanswered.
        add(at(0, 9), {67}, Outcome::Wrong, 2000);
        add(at(0, 9), {67}, Outcome::Unanswered, -1);
        // Twenty days ago: in the 30 days, not in the 7.
        add(at(-20, 9), {62}, Outcome::Right, 900);
        // Other scopes.
        add(at(0, 9), {64}, Outcome::Wrong, 500, 0, "notes-in-key", 3);
        add(at(0, 9), {64}, Outcome::Wrong, 500, 0, "notes-in-c", 2);
        add(at(-1, 9), {64}, Outcome::Wrong, 500, 0, "notes-in-key", 2, "bass");
    }
    static std::int64_t at(std::int64_t daysFromToday, std::int64_t hour)
    {
        return (Today + daysFromToday) * Day + hour * Hour;
    }

    static std::vector<double> ys(const QLineSeries* series)
    {
        std::vector<double> values;
        for (const QPointF& p : series->points())
            values.push_back(p.y());
        return values;
    }

    // The tooltip shown when the pointer rests at `at` on the heat map.
    QString hover(QPoint at)
    {
        NoteHeatMap* map = window->heatMap;
        QHelpEvent event(QEvent::ToolTip, at, map->mapToGlobal(at));
        QApplication::sendEvent(map, &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }

    static int csvLines(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        int lines = 0;
        for (std::size_t at = text.find("\r\n"); at != std::string::npos;
             at = text.find("\r\n", at + 2))
            ++lines;
        return lines;
    }

    platform::testing::RecordingMessageBoxes messages;
    std::unique_ptr<history::HistoryStore> store;
    std::unique_ptr<ProgressWindow> window;
};

TEST_F(ProgressWindowTest, ChartsShowTheScopesDaysOverTheRange)
{
    seed();
    ProgressWindow& w = open();
    w.rangeBox->setCurrentIndex(0); // 7 days
    EXPECT_EQ(w.windowTitle(), "Progress");
    EXPECT_EQ(w.rangeBox->currentText(), "7 days");
    EXPECT_EQ(ys(w.accuracySeries), (std::vector<double>{75, 0}));
    // Two days ago 1.0, 1.8, 3.0 and 0.6 s; today only the wrong answer's 2 s.
    EXPECT_EQ(ys(w.timeSeries), (std::vector<double>{1.4, 2.0}));
    EXPECT_EQ(ys(w.questionsSeries), (std::vector<double>{0, 0, 0, 0, 4, 0, 2}));
    EXPECT_EQ(w.streakLabel->text(), "Streak: 1 day");
    EXPECT_TRUE(w.emptyLabel->text().isEmpty());
    EXPECT_FALSE(w.kindsTable->isVisible()) << "notes have no kinds";

    w.rangeBox->setCurrentIndex(1); // 30 days
    EXPECT_EQ(ys(w.accuracySeries), (std::vector<double>{100, 75, 0}));
    EXPECT_EQ(w.questionsSeries->count(), 30);
    w.rangeBox->setCurrentIndex(3); // All: from the first answer
    EXPECT_EQ(w.questionsSeries->count(), 21);
    EXPECT_EQ(w.accuracySeries->count(), 3);
}

TEST_F(ProgressWindowTest, HoveringANoteOrItsKeyTellsItsFigures)
{
    seed();
    ProgressWindow& w = open();
    w.rangeBox->setCurrentIndex(0);
    NoteHeatMap* map = w.heatMap;
    struct Hover {
        int pitch;
        const char* text;
    };
    for (const Hover& h :
         {Hover{64, "E4: 2 of 3 right (67 %), median 1.8 s"},
          Hover{66, "F#4: 1 of 1 right (100 %), median 0.6 s"},
          Hover{67, "G4: 0 of 2 right (0 %), median 2.0 s"}, Hover{62, "D4: never asked"}}) {
        SCOPED_TRACE(h.text);
        const QRect head = map->headRect(h.pitch);
        ASSERT_FALSE(head.isEmpty());
        EXPECT_EQ(hover(head.center()), h.text);
        const QRect key = map->keyRect(h.pitch);
        ASSERT_FALSE(key.isEmpty());
        EXPECT_EQ(hover(key.center()), h.text);
    }
    EXPECT_EQ(map->toolTipAt(QPoint(1, 1)), "");

    // The colours drawn: green for all right, red for none, grey for never asked.
    const QImage picture = map->grab().toImage();
    const auto hueAt = [&](int pitch) { return picture.pixelColor(map->headRect(pitch).center()); };
    EXPECT_NEAR(hueAt(66).hueF(), 1.0 / 3, 0.02);
    EXPECT_NEAR(hueAt(67).hueF(), 0.0, 0.02);
    EXPECT_EQ(hueAt(62), NeverAskedColour);
    EXPECT_EQ(picture.pixelColor(map->keyRect(66).center()), hueAt(66));
    // D major writes no sign before its own notes; C natural is not in the scale.
    EXPECT_EQ(spellPitch(2, 66).sign, 0);
}

struct Spelling {
    std::int32_t key;
    int pitch;
    const char* name;
    int sign;
    int step;
};

class SpellPitch : public ::testing::TestWithParam<Spelling> {};

TEST_P(SpellPitch, AsTheTrainerWritesIt)
{
    const SpelledPitch s = spellPitch(GetParam().key, GetParam().pitch);
    EXPECT_EQ(s.name, GetParam().name);
    EXPECT_EQ(s.sign, GetParam().sign);
    EXPECT_EQ(s.step, GetParam().step);
}

INSTANTIATE_TEST_SUITE_P(
    ProgressWindow, SpellPitch,
    ::testing::Values(Spelling{0, 60, "C4", 0, 28}, Spelling{0, 61, "Db4", -1, 29},
                      Spelling{2, 66, "F#4", 0, 31}, Spelling{5, 71, "B4", 2, 34},
                      Spelling{7, 65, "F4", 2, 31}, Spelling{9, 63, "D#4", 1, 29},
                      Spelling{6, 71, "Cb5", 0, 35}, Spelling{0, 40, "E2", 0, 16}),
    [](const auto& row) {
        std::string name = row.param.name;
        for (char& c : name)
            c = c == '#' ? 's' : c;
        return name;
    });

TEST_F(ProgressWindowTest, AnEmptyHistoryShowsEmptyChartsAndSaysSo)
{
    ProgressWindow& w = open("chords", 0, "both");
    for (int range = 0; range < 4; ++range) {
        w.rangeBox->setCurrentIndex(range);
        EXPECT_EQ(w.accuracySeries->count(), 0);
        EXPECT_EQ(w.timeSeries->count(), 0);
        for (const double y : ys(w.questionsSeries))
            EXPECT_EQ(y, 0);
        EXPECT_EQ(w.emptyLabel->text(), "No answers yet for this exercise, key and staff.");
        EXPECT_EQ(w.streakLabel->text(), "Streak: 0 days");
    }
    ASSERT_TRUE(w.kindsTable->isVisible());
    EXPECT_EQ(w.kindsTable->rowCount(), 14);
    EXPECT_EQ(w.kindsTable->item(0, 2)->text(), "\u2014");
    EXPECT_FALSE(w.grab().isNull());
}

TEST_F(ProgressWindowTest, KindsTableHoldsEachKindsFigures)
{
    add(at(0, 9), {60, 64, 67}, Outcome::Right, 1200, 1, "mixed");
    add(at(0, 9), {60, 64, 67}, Outcome::Wrong, 2000, 1, "mixed");
    add(at(0, 9), {60, 63}, Outcome::Right, 900, 3, "mixed");
    ProgressWindow& w = open("mixed");
    ASSERT_EQ(w.kindsTable->rowCount(), 15 + 14);
    const auto row = [&](int r) {
        QStringList cells;
        for (int c = 0; c < 4; ++c)
            cells << w.kindsTable->item(r, c)->text();
        return cells.join('|');
    };
    EXPECT_EQ(row(2), "Minor Third|1|100 %|0.9 s");
    EXPECT_EQ(row(15), "Major|2|50 %|1.6 s");
    EXPECT_EQ(row(16), "Minor|0|\u2014|\u2014");
    EXPECT_EQ(w.kindsTable->item(15, 0)->background().color(),
              heatColour(w.figures().chords.at(1)));
}

TEST_F(ProgressWindowTest, EveryExerciseThatAsksIntervalsOrChordsHasTheKindsTable)
{
    ProgressWindow& w = open();
    for (const engine::ExerciseKind kind : engine::AllExercises) {
        engine::PracticeChoice c;
        c.kind = kind;
        const bool kinds =
            c.usesIntervals() || c.usesChords() || kind == engine::ExerciseKind::Progression;
        w.showScope(std::string(engine::exerciseId(kind)), 0, "treble");
        EXPECT_EQ(w.kindsTable->isVisible(), kinds) << engine::exerciseId(kind);
    }
}

TEST_F(ProgressWindowTest, ExportWritesTheWholeHistoryOrTheShownRange)
{
    seed();
    ProgressWindow& w = open();
    w.rangeBox->setCurrentIndex(0);
    std::filesystem::path chosen;
    w.chooseSaveFile = [&](const QString&) { return QString::fromStdString(chosen.string()); };

    chosen = folder / "whole.csv";
    w.exportWhole->trigger();
    EXPECT_EQ(csvLines(chosen), 1 + 10);
    chosen = folder / "range.csv";
    w.exportRange->trigger();
    EXPECT_EQ(csvLines(chosen), 1 + 6) << "this scope's answers of the last 7 days";
    w.rangeBox->setCurrentIndex(1);
    w.exportRange->trigger();
    EXPECT_EQ(csvLines(chosen), 1 + 7);
    EXPECT_TRUE(messages.messages().empty());

    // A cancelled dialog writes nothing.
    chosen.clear();
    w.exportWhole->trigger();
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(ProgressWindowTest, AFileThatCannotBeWrittenIsToldOnce)
{
    seed();
    ProgressWindow& w = open();
    const std::filesystem::path file = folder / "no such folder" / "history.csv";
    w.chooseSaveFile = [&](const QString&) { return QString::fromStdString(file.string()); };
    w.exportWhole->trigger();
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_NE(messages.messages()[0].find(file.string()), std::string::npos)
        << messages.messages()[0];
    EXPECT_FALSE(std::filesystem::exists(folder / "no such folder"));

    // The window goes on, and a good file still works.
    EXPECT_TRUE(w.exportCsv(folder / "good.csv", false));
    EXPECT_EQ(messages.messages().size(), 1u);
    w.refresh();
    EXPECT_EQ(w.accuracySeries->count(), 3);
}

} // namespace
} // namespace shell
