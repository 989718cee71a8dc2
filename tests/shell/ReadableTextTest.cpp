#include "MainWindowFixture.h"
#include "shell/Controls.h"
#include "shell/MidiPanel.h"
#include "shell/PracticePanel.h"
#include "shell/uInfo.h"
#include "shell/uStatistics.h"

#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolTip>

#include <optional>

namespace shell {
namespace {

using namespace shell::testing;

double pointsOf(const QFont& font) { return QFontInfo(font).pointSizeF(); }
double pointsOf(const QWidget* widget) { return pointsOf(widget->font()); }

QString textOf(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    if (const auto* box = qobject_cast<const QPlainTextEdit*>(widget))
        return box->toPlainText();
    if (const auto* list = qobject_cast<const QListWidget*>(widget))
        return list->count() > 0 ? list->item(0)->text() : QString();
    return {};
}

std::string nameOf(const QWidget* widget)
{
    return widget->objectName().toStdString() + " \"" + textOf(widget).left(40).toStdString() +
           "\"";
}

// The controls of `root` that show the player text, as they stand now.
std::vector<QWidget*> textControls(QWidget& root)
{
    std::vector<QWidget*> found;
    for (QWidget* widget : root.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&root) || textOf(widget).isEmpty())
            continue;
        found.push_back(widget);
    }
    return found;
}

// One line of text as a label or button shows it, and the room it has.
struct Line {
    QString whole;
    FittedText shown;
    QRect room;
};

std::optional<Line> lineOf(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->wordWrap())
            return std::nullopt;
        const auto* fit = dynamic_cast<FitLabel*>(label);
        return Line{label->text(),
                    fit != nullptr ? fit->shown() : FittedText{label->text(), label->font(), true},
                    label->contentsRect()};
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect inside =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const auto* fit = dynamic_cast<FitButton*>(button);
        return Line{button->text(),
                    fit != nullptr ? fit->shown()
                                   : FittedText{button->text(), button->font(), true},
                    inside};
    }
    return std::nullopt;
}

// What a tool tip asked of `widget` now shows; empty when none shows.
QString toolTipShown(QWidget& widget)
{
    QToolTip::hideText();
    const QPoint at = widget.rect().center();
    QHelpEvent ask(QEvent::ToolTip, at, widget.mapToGlobal(at));
    QApplication::sendEvent(&widget, &ask);
    // A widget without a tip to show ignores the question.
    const QString shown = ask.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return shown;
}

// The main window opened on a desktop whose body font has the point size
// of the parameter, with the Statistics and Info windows looked at too.
class DesktopFont : public MainWindow, public ::testing::WithParamInterface<double> {
protected:
    void SetUp() override
    {
        MainWindow::SetUp();
        desktop_ = QApplication::font();
        QFont font = desktop_;
        font.setPointSizeF(GetParam());
        QApplication::setFont(font);

        // Scores to show: C major, treble, note naming, played.
        scores::ScoreTable table{};
        scores::ScoreRecord& r = table[1][0][1];
        r.rightTotal = 30;
        r.wrongTotal = 10;
        r.bestTime = 95;
        for (int p = 0; p < 12; ++p)
            r.noteStats.items[static_cast<std::size_t>(p)] = {7, 1, 8};
        writeBytes(folder / "keyscore.dat", scores::encodeScores(table));
    }
    void TearDown() override
    {
        MainWindow::TearDown();
        QApplication::setFont(desktop_);
    }

    // Every text control of the main window (panels included) and of the
    // Statistics and Info windows, each window shown in turn.
    template <typename Check> void forEachTextControl(TfMain& w, Check check)
    {
        for (QWidget* control : textControls(w))
            if (!w.fStats->isAncestorOf(control) && !w.fInfo->isAncestorOf(control))
                check(control);
        // The practice panel shows other controls for other exercises.
        const engine::PracticeChoice shown = w.practicePanel->choice();
        for (const engine::ExerciseKind kind : engine::AllExercises) {
            engine::PracticeChoice choice = shown;
            choice.kind = kind;
            w.practicePanel->setChoice(choice);
            for (QWidget* control : textControls(*w.practicePanel))
                check(control);
        }
        w.practicePanel->setChoice(shown);
        click(w.bStats);
        EXPECT_TRUE(w.fStats->isVisible());
        for (QWidget* control : textControls(*w.fStats))
            check(control);
        click(w.fStats->bClose);
        click(w.bInfo);
        EXPECT_TRUE(w.fInfo->isVisible());
        for (QWidget* control : textControls(*w.fInfo))
            check(control);
        click(w.fInfo->bClose);
    }

private:
    QFont desktop_;
};

TEST_P(DesktopFont, NoTextIsSmallerThanNinePoints)
{
    TfMain& w = open();
    int seen = 0;
    forEachTextControl(w, [&](QWidget* control) {
        ++seen;
        EXPECT_GE(pointsOf(control), MinimumPoints) << nameOf(control);
        if (const auto line = lineOf(control)) {
            EXPECT_GE(pointsOf(line->shown.font), MinimumPoints) << nameOf(control);
        }
    });
    EXPECT_GT(seen, 30); // the windows were looked at, not an empty list
}

TEST_P(DesktopFont, EveryLineFitsItsRoomOrIsElidedWithTheWholeTextAsToolTip)
{
    TfMain& w = open();
    forEachTextControl(w, [&](QWidget* control) {
        const auto line = lineOf(control);
        if (!line)
            return;
        SCOPED_TRACE(nameOf(control));
        const QFontMetrics shown(line->shown.font);
        EXPECT_LE(shown.horizontalAdvance(line->shown.text), line->room.width());
        EXPECT_LE(shown.height(), line->room.height()) << "a line high";
        if (qobject_cast<QLabel*>(control) != nullptr) {
            EXPECT_LE(control->geometry().bottom(),
                      control->parentWidget()->contentsRect().bottom())
                << "cut off by what holds it";
        }
        if (GetParam() <= MinimumPoints) {
            // The design's texts all show whole on a usual desktop.
            EXPECT_TRUE(line->shown.whole) << line->shown.text.toStdString();
        } else if (!line->shown.whole) {
            EXPECT_TRUE(line->shown.text.endsWith(QChar(0x2026)));
            if (control->toolTip().isEmpty())
                EXPECT_EQ(toolTipShown(*control), line->whole);
            else
                EXPECT_TRUE(control->toolTip().contains(line->whole));
        }
    });
}

TEST_P(DesktopFont, HeadingsStayLargerThanTheBodyText)
{
    TfMain& w = open();
    const double body = pointsOf(w.Label3);
    EXPECT_DOUBLE_EQ(body, std::max(GetParam(), MinimumPoints));
    for (QLabel* big : {w.lProgress, w.lTime, w.lCurrentNote, w.lQuestion, w.fStats->Label1})
        EXPECT_GT(pointsOf(big), body) << nameOf(big);
    EXPECT_GT(pointsOf(w.fStats->Label1), pointsOf(w.lProgress));
}

// Statistics and Info speak in the desktop's body font, in full: what does
// not fit a box is scrolled to.
TEST_P(DesktopFont, StatisticsAndInfoTextIsTheBodyFontAndReachable)
{
    TfMain& w = open();
    click(w.bStats);
    click(w.fStats->bClose);
    click(w.bInfo);
    click(w.fInfo->bClose);
    for (QPlainTextEdit* box :
         {w.fStats->mTimeScore, w.fStats->mNoteStats, w.fInfo->mUsage, w.fInfo->mInfo}) {
        SCOPED_TRACE(box->objectName().toStdString());
        EXPECT_FALSE(box->toPlainText().isEmpty());
        EXPECT_EQ(QFontInfo(box->font()).family(), QFontInfo(QApplication::font()).family());
        EXPECT_FALSE(box->font().bold());
        EXPECT_DOUBLE_EQ(pointsOf(box), std::max(GetParam(), MinimumPoints));
        EXPECT_NE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        EXPECT_NE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    }
    for (QWidget* shown : {static_cast<QWidget*>(w.fStats), static_cast<QWidget*>(w.fInfo)})
        EXPECT_EQ(QFontInfo(shown->font()).family(), QFontInfo(QApplication::font()).family());
}

INSTANTIATE_TEST_SUITE_P(Points, DesktopFont, ::testing::Values(6.0, 9.0, 12.0),
                         [](const auto& row) {
                             return "At" + std::to_string(static_cast<int>(row.param)) + "pt";
                         });

// On a usual desktop the Info texts and the time-and-score lines show whole
// without scrolling.
TEST_F(MainWindow, InfoAndTimeScoreShowWholeWithoutScrolling)
{
    TfMain& w = open();
    const auto expectWhole = [](QPlainTextEdit* box) {
        SCOPED_TRACE(box->objectName().toStdString());
        ASSERT_TRUE(box->isVisible());
        QApplication::processEvents(); // the scroll bars as the player sees them
        EXPECT_EQ(box->horizontalScrollBar()->maximum(), 0);
        EXPECT_EQ(box->verticalScrollBar()->maximum(), 0);
    };
    click(w.bInfo);
    expectWhole(w.fInfo->mUsage);
    expectWhole(w.fInfo->mInfo);
    click(w.fInfo->bClose);
    click(w.bStats);
    expectWhole(w.fStats->mTimeScore);
}

// The longest texts the program puts in later show whole on a usual desktop.
TEST_F(MainWindow, TextsPutInLaterShowWhole)
{
    TfMain& w = open();
    const std::vector<std::pair<QLabel*, QString>> texts = {
        {w.lWait, QStringLiteral("100%")},
        {w.lCurrentNote, QStringLiteral("100 / 100")},
        {w.lTime, QStringLiteral("999 sec.")},
        {w.midiPanel->status, QStringLiteral("Disconnected: waiting for it")},
        {w.midiPanel->status, QStringLiteral("Not listening to a keyboard")},
    };
    for (const auto& [label, text] : texts) {
        SCOPED_TRACE(text.toStdString());
        label->setText(text);
        const auto* fit = dynamic_cast<FitLabel*>(label);
        ASSERT_NE(fit, nullptr);
        EXPECT_TRUE(fit->shown().whole);
        EXPECT_LE(QFontMetrics(fit->shown().font).horizontalAdvance(text),
                  label->contentsRect().width());
    }
}

// --- The fitting label and button ------------------------------------------------

class Fitting : public ::testing::Test {
protected:
    QWidget holder;
    FitLabel* label = new FitLabel(&holder);
    void SetUp() override
    {
        holder.resize(400, 100);
        label->setFont(uiFont(9));
        label->setGeometry(0, 0, 120, 20);
        holder.show();
    }
    int advance(const FittedText& line) const
    {
        return QFontMetrics(line.font).horizontalAdvance(line.text);
    }
};

// The score table with interval names, as the Statistics window fills it:
// the box grows to its widest line instead of scrolling sideways, and only
// as far as it may.
TEST_F(Fitting, ATextBoxGrowsToItsWidestTabbedLine)
{
    QPlainTextEdit* box = makeTextBox(&holder, "box", 10, 0, 159, 90, bodyFont());
    holder.resize(600, 100);
    box->show();
    const auto sideways = [&] {
        QApplication::processEvents();
        return box->horizontalScrollBar()->maximum();
    };
    box->setPlainText(QStringLiteral("NOTES\n\nC\t: 33.33%\nD\t: 0.00%"));
    widenToText(*box, 159, 580);
    EXPECT_EQ(box->width(), 159) << "short lines keep the designed width";
    EXPECT_EQ(sideways(), 0);

    const QString intervals = QStringLiteral(
        "INTERVALS\n\nMinor Second\t: 50.00%\nAugmented Fourth\t: 100.00%\nDiminished "
        "Fifth\t: 12.50%\nMajor Seventh\t: 0.00%\nPerfect Octave\t: 87.50%\nMinor Sixth\t: "
        "25.00%\nMajor Sixth\t: 75.00%");
    box->setPlainText(intervals);
    ASSERT_GT(sideways(), 0) << "the designed box is too narrow for these names";
    widenToText(*box, 159, 580);
    EXPECT_GT(box->width(), 159);
    EXPECT_EQ(sideways(), 0) << "widened to " << box->width();

    widenToText(*box, 159, 170);
    EXPECT_EQ(box->width(), 170) << "never past the room it has";
}

TEST_F(Fitting, ALongTextIsElidedWithTheWholeTextAsToolTip)
{
    const QString whole = QStringLiteral("A translation much longer than the label it goes in");
    label->setText(whole);
    const FittedText shown = label->shown();
    EXPECT_FALSE(shown.whole);
    EXPECT_TRUE(shown.text.endsWith(QChar(0x2026))) << shown.text.toStdString();
    EXPECT_TRUE(whole.startsWith(shown.text.chopped(1)));
    EXPECT_LE(advance(shown), label->width());
    EXPECT_GE(pointsOf(shown.font), MinimumPoints);
    EXPECT_EQ(label->text(), whole); // what the program put in stays
    EXPECT_EQ(toolTipShown(*label), whole);

    // A tool tip of its own wins.
    label->setToolTip(QStringLiteral("Own tip"));
    EXPECT_EQ(toolTipShown(*label), QStringLiteral("Own tip"));
    label->setToolTip(QString());

    // Given room, the same text shows whole and needs no tool tip.
    label->resize(QFontMetrics(label->font()).horizontalAdvance(whole) + 2, 20);
    EXPECT_TRUE(label->shown().whole);
    EXPECT_EQ(label->shown().text, whole);
    EXPECT_EQ(toolTipShown(*label), QString());
}

TEST_F(Fitting, ATextALittleTooWideIsNarrowedNotCut)
{
    const QString text = QStringLiteral("Change skin");
    const int full = QFontMetrics(label->font()).horizontalAdvance(text);
    label->setText(text);
    label->resize(full - 3, 20);
    const FittedText shown = label->shown();
    EXPECT_TRUE(shown.whole);
    EXPECT_EQ(shown.text, text);
    EXPECT_LE(advance(shown), label->width());
    EXPECT_DOUBLE_EQ(pointsOf(shown.font), pointsOf(label->font())); // narrower, not smaller
}

// The label draws what shown() says: the same pixels as a plain label given
// the elided text.
TEST_F(Fitting, TheLabelDrawsTheFittedText)
{
    label->setText(QStringLiteral("A translation much longer than the label it goes in"));
    QLabel plain(label->shown().text, &holder);
    plain.setFont(label->font());
    plain.setAlignment(label->alignment());
    plain.setGeometry(0, 40, label->width(), label->height());
    plain.show();
    EXPECT_EQ(label->grab().toImage(), plain.grab().toImage());
}

TEST_F(Fitting, AButtonCaptionTooWideForItsInsideShowsWholeInTheToolTip)
{
    FitButton button(QStringLiteral("A caption far too long for it"), &holder);
    button.setFont(uiFont(9));
    button.setGeometry(0, 40, 75, 25);
    button.show();
    const FittedText shown = button.shown();
    EXPECT_FALSE(shown.whole);
    EXPECT_LE(advance(shown), 75);
    EXPECT_EQ(toolTipShown(button), button.text());
}

} // namespace
} // namespace shell
