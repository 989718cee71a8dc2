#include "MainWindowFixture.h"
#include "shell/Controls.h"

#include <QCloseEvent>
#include <QSpontaneKeyEvent>

#include <chrono>
#include <thread>

namespace shell {
namespace {

using namespace shell::testing;
namespace fs = std::filesystem;

// --- The window as designed -----------------------------------------------------

TEST_F(MainWindow, ControlsStandWhereTheDesignPutsThem)
{
    TfMain& w = open();
    EXPECT_EQ(w.windowTitle(), "Tessaly - Notes");
    EXPECT_EQ(w.size(), QSize(700, 625));
    EXPECT_EQ(w.minimumSize(), QSize(700, 625));
    EXPECT_EQ(w.maximumSize(), QSize(700, 625));

    struct Place {
        QWidget* control;
        QWidget* parent;
        QRect rect;
        const char* text; // null: not a text control
    };
    const std::vector<Place> places = {
        {w.imageContainer, &w, {8, 80, 313, 300}, nullptr},
        {w.imgPiano, &w, {8, 386, 560, 71}, nullptr},
        // Widened to the left for Progress beside Statistics.
        {w.Panel1, &w, {255, 2, 426, 35}, nullptr},
        {w.bInfo, w.Panel1, {8, 5, 75, 25}, "Info"},
        {w.bStats, w.Panel1, {91, 5, 75, 25}, "Statistics"},
        {w.bProgress, w.Panel1, {174, 5, 75, 25}, "Progress"},
        {w.bSupport, w.Panel1, {257, 5, 75, 25}, "Support"},
        {w.bSkin, w.Panel1, {340, 5, 75, 25}, "Change skin"},
        {w.sPanel2, &w, {335, 45, 71, 34}, nullptr},
        {w.sPanel3, &w, {408, 45, 83, 34}, nullptr},
        {w.sPanel1, &w, {495, 45, 90, 34}, nullptr},
        {w.sPanel4, &w, {1, 488, 575, 31}, nullptr},
        {w.bReset, &w, {1, 525, 43, 25}, "Reset"},
        {w.bStart, &w, {52, 525, 75, 25}, "Start"},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(p.control->objectName().toStdString() + " " +
                     (p.text != nullptr ? p.text : ""));
        EXPECT_EQ(p.control->parentWidget(), p.parent);
        EXPECT_EQ(p.control->geometry(), p.rect);
        if (p.text != nullptr) {
            EXPECT_EQ(qobject_cast<QPushButton*>(p.control)->text(), p.text);
        }
    }
    // Labels keep their top-left corner and may be wider than designed.
    struct LabelPlace {
        QLabel* label;
        QWidget* parent;
        QPoint at;
        const char* text;
        double points; // on a desktop whose body font is the smallest allowed
        bool bold, italic;
    };
    const std::vector<LabelPlace> labels = {
        // Idle, before the first run of the chosen practice (notes: 100).
        {w.lProgress, w.sPanel2, {12, 7}, "0%", 12, true, false},
        {w.lTime, w.sPanel3, {5, 6}, "0 sec.", 12, true, false},
        {w.lCurrentNote, w.sPanel1, {5, 7}, "0 / 100", 12, true, false},
        {w.Label3,
         w.sPanel4,
         {12, 9},
         "TIP: Say the answers out loud when the question is presented to you. ",
         9,
         false,
         false},
        {w.lQuestion, &w, {159, 529}, "What note is this?", 11, true, false},
        {w.lExplanation,
         &w,
         {162, 552},
         "Click on any corresponding note name on the piano.",
         10,
         false,
         true},
    };
    // A desktop with a larger body font makes them all larger by as much.
    const double scale = bodyFont().pointSizeF() / MinimumPoints;
    for (const LabelPlace& l : labels) {
        SCOPED_TRACE(l.text);
        EXPECT_EQ(l.label->parentWidget(), l.parent);
        EXPECT_EQ(l.label->pos(), l.at);
        EXPECT_EQ(l.label->text(), l.text);
        EXPECT_DOUBLE_EQ(l.label->font().pointSizeF(), l.points * scale);
        EXPECT_EQ(l.label->font().bold(), l.bold);
        EXPECT_EQ(l.label->font().italic(), l.italic);
        EXPECT_GE(l.label->width(), l.label->fontMetrics().horizontalAdvance(l.label->text()))
            << "text cut off";
    }
    EXPECT_EQ(w.font(), bodyFont());

    // Every panel in the panel colour; the piano picture and the staff shown.
    for (QFrame* panel : {w.Panel1, w.sPanel1, w.sPanel2, w.sPanel3, w.sPanel4})
        EXPECT_EQ(panel->palette().color(QPalette::Window), QColor(231, 233, 245));
    EXPECT_EQ(w.imgPiano->picture().size(), QSize(561, 71));
    EXPECT_EQ(w.staffImage.layerCount(), 2); // the key signature's layers

    // Tab order through the buttons.
    std::vector<QWidget*> tabbed;
    for (QWidget* next = w.bInfo; tabbed.size() < 7; next = next->nextInFocusChain())
        if ((next->focusPolicy() & Qt::TabFocus) != 0)
            tabbed.push_back(next);
    EXPECT_EQ(tabbed, (std::vector<QWidget*>{w.bInfo, w.bStats, w.bProgress, w.bSkin, w.bSupport,
                                             w.bReset, w.bStart}));
}

TEST_F(MainWindow, ASecondShowingKeepsTheObjects)
{
    TfMain& w = open();
    const engine::TSheetMusic* first = w.vars.sheetMusic.get();
    const resources::TKeyResources* pack = w.vars.keyResources.get();
    w.hide();
    w.show();
    EXPECT_EQ(w.vars.sheetMusic.get(), first);
    EXPECT_EQ(w.vars.keyResources.get(), pack);
    EXPECT_EQ(w.staffImage.layerCount(), 2);
}

// --- Start, pause, resume, reset ---------------------------------------------------------

TEST_F(MainWindow, StartGeneratesThenPlays)
{
    TfMain& w = open();
    EXPECT_TRUE(w.bReset->isEnabled()); // before the first run, as designed
    w.lCurrentNote->setText("7 / 9");
    PaintedCaptions painted(*w.bStart);

    click(w.bStart);
    // "Wait..." is painted while generating, before "Playing".
    const auto wait = std::find(painted.captions.begin(), painted.captions.end(), "Wait...");
    ASSERT_NE(wait, painted.captions.end());
    EXPECT_NE(std::find(wait, painted.captions.end(), "Playing"), painted.captions.end());
    EXPECT_EQ(caption(), "Playing");
    EXPECT_TRUE(sheet().running());
    EXPECT_TRUE(w.ThreadedTimer.Enabled());
    EXPECT_EQ(w.ThreadedTimer.Interval(), static_cast<unsigned>(sheet().tickInterval()));
    EXPECT_EQ(w.lTime->text(), "0 sec.");
    EXPECT_EQ(w.lCurrentNote->text(), "7 / 9"); // until the first tick
    EXPECT_TRUE(buttonsOfARun());
    EXPECT_EQ(sheet().startTime(), clock.now());

    tick();
    EXPECT_EQ(w.lCurrentNote->text(), QString("%1 / 100").arg(sheet().lastOnStaff()));
    EXPECT_EQ(w.lTime->text(), "1 sec.");
}

TEST_F(MainWindow, TheRealTimerMovesTheRun)
{
    TfMain& w = open();
    click(w.bStart);
    const float x = sheet().itemX(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sheet().itemX(1) < x; }, 5000));
    EXPECT_FALSE(w.lCurrentNote->text().isEmpty());
}

TEST_F(MainWindow, StartWhileRunningPausesAndAgainResumes)
{
    TfMain& w = open();
    click(w.bStart);
    for (int t = 0; t < 30; ++t)
        tick();
    const unsigned interval = w.ThreadedTimer.Interval();
    const int newest = sheet().lastOnStaff();
    const float x = sheet().itemX(newest);
    const int asked = sheet().askedQuestion();

    click(w.bStart);
    EXPECT_EQ(caption(), "Paused");
    EXPECT_TRUE(sheet().paused());
    EXPECT_FALSE(w.ThreadedTimer.Enabled());
    QTest::qWait(3 * static_cast<int>(interval)); // no tick comes
    EXPECT_EQ(sheet().itemX(newest), x);
    EXPECT_EQ(sheet().askedQuestion(), asked);
    EXPECT_TRUE(buttonsOfARun());

    clock.advanceMs(60'000); // a minute's pause
    click(w.bStart);
    EXPECT_EQ(caption(), "Playing");
    EXPECT_FALSE(sheet().paused());
    EXPECT_TRUE(w.ThreadedTimer.Enabled());
    EXPECT_EQ(w.ThreadedTimer.Interval(), interval);
    EXPECT_EQ(sheet().itemX(newest), x);

    tick();
    EXPECT_EQ(w.lTime->text(), "91 sec."); // the pause counts
    EXPECT_EQ(sheet().itemX(newest), x - 5);
}

TEST_F(MainWindow, ResetWhilePausedEmptiesTheStaffAndStartsAfresh)
{
    TfMain& w = open();
    click(w.bStart);
    for (int t = 0; t < 30; ++t)
        tick();
    QTest::mousePress(w.imgPiano, Qt::LeftButton, {}, keyFor(0));
    click(w.bStart); // pause, with a key held
    ASSERT_EQ(w.pianoImage.layerCount(), 1);

    click(w.bReset);
    EXPECT_EQ(caption(), "Start");
    EXPECT_FALSE(w.ThreadedTimer.Enabled());
    EXPECT_FALSE(sheet().running());
    EXPECT_FALSE(sheet().paused());
    EXPECT_EQ(visibleLayers(w.staffImage), 2); // only the key signature
    EXPECT_EQ(w.pianoImage.layerCount(), 0);
    EXPECT_TRUE(buttonsOfIdle());

    click(w.bStart);
    EXPECT_EQ(caption(), "Playing");
    EXPECT_EQ(sheet().firstOnStaff(), 1);
    tick();
    EXPECT_EQ(w.lCurrentNote->text(), QString("%1 / 100").arg(sheet().lastOnStaff()));
}

TEST_F(MainWindow, ClosingWithTicksInFlightNeitherBlocksNorTicksAgain)
{
    for (int round = 0; round < 20; ++round) {
        TfMain& w = open();
        click(w.bStart);
        w.ThreadedTimer.setInterval(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 4)); // a tick may be queued
        w.close();
        EXPECT_FALSE(w.ThreadedTimer.Enabled());
        window.reset();
        QTest::qWait(5); // a queued tick would run here, on a destroyed window
    }
}

// --- Closing during a run ---------------------------------------------------------------

// The user closes the window with its close button: the window system's
// close reaches the window as Qt delivers it, a spontaneous close event.
void closeAsTheUser(TfMain& w)
{
    ASSERT_NE(w.windowHandle(), nullptr);
    QCloseEvent close;
    QSpontaneKeyEvent::setSpontaneous(&close);
    QApplication::instance()->notify(w.windowHandle(), &close);
}

const std::vector<platform::DefaultButton> NoByDefault(1, platform::DefaultButton::No);

TEST_F(MainWindow, ClosingARunningRunAsksAndNoLetsItGoOn)
{
    TfMain& w = open();
    click(w.bStart);
    for (int t = 0; t < 30; ++t)
        tick();
    const int newest = sheet().lastOnStaff();
    const float x = sheet().itemX(newest);

    messages.queueAnswer(false);
    closeAsTheUser(w);
    EXPECT_EQ(messages.questions(), std::vector<std::string>{"A run is in progress. Quit anyway?"});
    EXPECT_EQ(messages.defaultButtons(), NoByDefault);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(caption(), "Playing");
    EXPECT_TRUE(sheet().running());
    EXPECT_FALSE(sheet().paused());
    EXPECT_TRUE(w.ThreadedTimer.Enabled());
    EXPECT_EQ(sheet().itemX(newest), x);
    EXPECT_FALSE(fs::exists(folder / "vorlanta.ini")); // nothing of closing happened
    tick();
    EXPECT_EQ(sheet().itemX(newest), x - 5);

    messages.queueAnswer(true);
    closeAsTheUser(w);
    EXPECT_EQ(messages.questions().size(), 2u);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.ThreadedTimer.Enabled());
    EXPECT_TRUE(fs::exists(folder / "vorlanta.ini"));
}

TEST_F(MainWindow, ClosingAPausedRunAsksAndNoKeepsItPaused)
{
    TfMain& w = open();
    click(w.bStart);
    for (int t = 0; t < 30; ++t)
        tick();
    click(w.bStart);
    ASSERT_EQ(caption(), "Paused");
    const int asked = sheet().askedQuestion();

    messages.queueAnswer(false);
    closeAsTheUser(w);
    EXPECT_EQ(messages.questions(), std::vector<std::string>{"A run is in progress. Quit anyway?"});
    EXPECT_EQ(messages.defaultButtons(), NoByDefault);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(caption(), "Paused");
    EXPECT_TRUE(sheet().paused());
    EXPECT_FALSE(w.ThreadedTimer.Enabled());
    EXPECT_EQ(sheet().askedQuestion(), asked);

    click(w.bStart); // and it resumes as ever
    EXPECT_EQ(caption(), "Playing");
    EXPECT_TRUE(w.ThreadedTimer.Enabled());

    messages.queueAnswer(true);
    closeAsTheUser(w);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(MainWindow, ClosingWithNoRunGoingAsksNothing)
{
    {
        TfMain& w = open(); // before any run
        closeAsTheUser(w);
        EXPECT_FALSE(w.isVisible());
    }
    {
        TfMain& w = open(); // after a run that ended by itself
        click(w.bStart);
        playWholeRun(true);
        ASSERT_EQ(caption(), "Start");
        closeAsTheUser(w);
        EXPECT_FALSE(w.isVisible());
    }
    {
        TfMain& w = open(); // after Reset
        click(w.bStart);
        tick();
        click(w.bReset);
        closeAsTheUser(w);
        EXPECT_FALSE(w.isVisible());
    }
    EXPECT_TRUE(messages.questions().empty());
}

// --- Whole runs -----------------------------------------------------------------------

class WholeRun : public MainWindow, public ::testing::WithParamInterface<bool> {};

TEST_P(WholeRun, AnsweredOnThePianoEndsByItselfAndIsSaved)
{
    const bool right = GetParam();
    TfMain& w = open();
    click(w.bStart);
    EXPECT_EQ(playWholeRun(right), 100);

    EXPECT_EQ(caption(), "Start");
    EXPECT_FALSE(w.ThreadedTimer.Enabled());
    EXPECT_TRUE(buttonsOfIdle());
    EXPECT_EQ(w.lCurrentNote->text(), "100 / 100");
    EXPECT_EQ(w.pianoImage.layerCount(), 0);
    EXPECT_EQ(w.staffImage.layerCount(), 2);
    EXPECT_FALSE(sheet().running());
    EXPECT_TRUE(messages.messages().empty());

    const scores::ScoreTable stored = storedFile();
    const scores::ScoreRecord& record = stored[1][0][1]; // notes, C major, treble
    EXPECT_EQ(record.rightTotal, right ? 100 : 0);
    EXPECT_EQ(record.wrongTotal, right ? 0 : 100);
    EXPECT_EQ(w.lProgress->text(), right ? "100%" : "0%");
}

INSTANTIATE_TEST_SUITE_P(MainWindow, WholeRun, ::testing::Bool(),
                         [](const auto& row) { return row.param ? "Right" : "Wrong"; });

TEST_F(MainWindow, AFailedScoreSaveIsToldOnceAndTheProgramGoesOn)
{
    // A folder in the score file's place cannot be replaced by the file.
    fs::create_directory(folder / "keyscore.dat");
    writeBytes(folder / "keyscore.dat" / "keep", {1, 2, 3});
    TfMain& w = open();
    click(w.bStart);
    playWholeRun(true);

    EXPECT_EQ(caption(), "Start");
    EXPECT_TRUE(buttonsOfIdle());
    ASSERT_EQ(messages.messages().size(), 1u);
    const std::string& text = messages.messages().front();
    EXPECT_NE(text.find("keyscore.dat"), std::string::npos) << text;
    EXPECT_NE(text.find("Stream write error"), std::string::npos) << text;
    EXPECT_EQ(readBytes(folder / "keyscore.dat" / "keep"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(sheet().scores().storedScores()[1][0][1].rightTotal, 100); // kept in memory

    click(w.bStart); // and another run can begin
    EXPECT_EQ(caption(), "Playing");
}

// --- Piano ---------------------------------------------------------------------------

TEST_F(MainWindow, APressOnThePictureHighlightsTheKeyUntilTheRelease)
{
    TfMain& w = open();
    QTest::mousePress(w.imgPiano, Qt::LeftButton, {}, keyFor(0));
    EXPECT_EQ(w.pianoImage.layerCount(), 0); // nothing asked yet
    QTest::mouseRelease(w.imgPiano, Qt::LeftButton, {}, keyFor(0));

    click(w.bStart);
    while (sheet().askedQuestion() < 1)
        tick();
    const QImage before = w.imgPiano->picture();
    QTest::mousePress(w.imgPiano, Qt::LeftButton, {}, keyFor(6)); // F sharp
    ASSERT_EQ(w.pianoImage.layerCount(), 1);
    EXPECT_EQ(w.pianoImage.layer(0).location().left, 140 + 71);
    EXPECT_NE(w.imgPiano->picture(), before);
    QTest::mouseRelease(w.imgPiano, Qt::LeftButton, {}, keyFor(6));
    EXPECT_EQ(w.pianoImage.layerCount(), 0);
    EXPECT_EQ(w.imgPiano->picture(), before);
}

// --- Start-up failures ---------------------------------------------------------------------

struct BrokenPack {
    const char* name;
    int keepBytes; // -1: no file at all
    const char* says;
};
void PrintTo(const BrokenPack& row, std::ostream* os) { *os << row.name; }

class StartupTest : public MainWindow, public ::testing::WithParamInterface<BrokenPack> {};

TEST_P(StartupTest, ABrokenSpritePackIsNamedAndNoWindowIsMade)
{
    const BrokenPack& c = GetParam();
    const fs::path pack = folder / "keyresources.dat";
    if (c.keepBytes < 0) {
        fs::remove(pack);
    } else {
        std::vector<std::uint8_t> bytes = readBytes(pack);
        bytes.resize(static_cast<std::size_t>(c.keepBytes));
        writeBytes(pack, bytes);
    }
    EXPECT_EQ(createMainWindow(services(), startupMessages), nullptr);
    ASSERT_EQ(startupMessages.messages().size(), 1u);
    const std::string& text = startupMessages.messages().front();
    EXPECT_NE(text.find(pack.string()), std::string::npos) << text;
    EXPECT_NE(text.find(c.says), std::string::npos) << text;
    EXPECT_TRUE(messages.messages().empty());
    // The last line tells how to get the shipped pack back. The test program
    // is not installed: the source folder holds the shipped pack.
    const std::string restore = text.substr(text.rfind('\n') + 1);
    EXPECT_EQ(restore, "To get the shipped sprite pack back, start Tessaly Notes with scripts/run "
                       "in its source folder, which puts keyresources.dat back when it is "
                       "missing, empty or not a file, or copy data/keyresources.dat from the "
                       "source folder into " +
                           folder.string() + ".");
}

INSTANTIATE_TEST_SUITE_P(MainWindow, StartupTest,
                         ::testing::Values(BrokenPack{"Missing", -1, "Cannot open file"},
                                           BrokenPack{"Empty", 0, "Error reading"},
                                           BrokenPack{"Truncated", 5000, "Error reading"}),
                         [](const auto& row) { return std::string(row.param.name); });

// --- Run time -------------------------------------------------------------------------

TEST(WholeSecondsBetween, CountsDaysAndTruncatesTheRest)
{
    constexpr double Day = 1.0;
    constexpr double Ms = 1.0 / 86'400'000.0;
    const double start = 46'023.0 + 23.0 / 24.0; // late in the evening
    struct Case {
        double span;
        std::int32_t seconds;
    };
    for (const Case& c :
         {Case{0, 0}, Case{999 * Ms, 0}, Case{1000 * Ms, 1}, Case{61'500 * Ms, 61},
          Case{Day + 1500 * Ms, 86'401}, Case{2 * Day, 172'800}, Case{-5000 * Ms, 0}}) {
        EXPECT_EQ(wholeSecondsBetween(start, start + c.span), c.seconds) << c.span;
    }
}

} // namespace
} // namespace shell
