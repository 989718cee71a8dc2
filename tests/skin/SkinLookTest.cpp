// What each built-in skin shows, measured on a copy of the main window:
// readable text on every kind of control, whole captions, the panels' own
// colour, and twelve looks that differ.

#include "MirrorWindow.h"
#include "Rendering.h"
#include "skin/SkinManager.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionButton>
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

namespace skin {
namespace {

using skintest::inkOf;
using skintest::mostCommonColour;
using skintest::shownImage;
using skintest::textOf;

std::string caseName(int index)
{
    std::string name = builtInSkinName(index);
    name = name.substr(0, name.find(" (internal)"));
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

struct TextRow {
    const char* what;
    QWidget* control;
    double minimumContrast;
};

class SkinLook : public ::testing::TestWithParam<int> {
protected:
    // As the program does it: the skin comes in with the window.
    void SetUp() override
    {
        manager.setSkinName(builtInSkinName(GetParam()));
        manager.setActive(true);
        ASSERT_TRUE(mirror.show());
    }

    std::vector<TextRow> textRows()
    {
        return {
            {"Change skin button", mirror.bSkin, 4.5},
            {"Playing button", mirror.bStart, 4.5},
            {"small Reset button", mirror.bResetNotes, 4.5},
            {"disabled Statistics button", mirror.bStats, 2.0},
            {"question label", mirror.lQuestion, 4.5},
            {"italic explanation label", mirror.lExplanation, 4.5},
            {"label of the Statistics window", mirror.Label1, 4.5},
            {"label in a panel", mirror.lCurrentNote, 4.5},
            {"text box", mirror.mNoteStats, 4.5},
        };
    }

    skintest::MirrorWindow mirror;
    TSkinManager manager{mirror.window};
};

TEST_P(SkinLook, TextStandsOutFromItsBackgroundOnEveryControl)
{
    for (const TextRow& row : textRows()) {
        const skintest::Ink ink = inkOf(*row.control);
        EXPECT_GE(ink.ratio, row.minimumContrast)
            << row.what << ": text " << ink.text.name().toStdString() << " on "
            << ink.background.name().toStdString();
    }
}

TEST_P(SkinLook, ButtonCaptionsShowWholeWithRoomToSpare)
{
    // The same caption on a button with room to spare shows in full; a
    // caption wider or taller than a button's inside is cut there.
    QPushButton roomy(&mirror.window);
    roomy.setGeometry(350, 100, 200, 60);
    roomy.show();
    for (QPushButton* button : {mirror.bSkin, mirror.bStart, mirror.bResetNotes, mirror.bStats}) {
        const std::string caption = button->text().toStdString();
        roomy.setText(button->text());
        roomy.setFont(button->font());
        roomy.setEnabled(button->isEnabled());
        const QSize full = inkOf(roomy).extent.size();
        const QSize shown = inkOf(*button).extent.size();
        EXPECT_GE(shown.width(), full.width() - 1) << caption;
        EXPECT_GE(shown.height(), full.height() - 1) << caption;

        // And with a pixel to spare either side, for a desktop font a little
        // wider than this one.
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect inside =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        EXPECT_GE(inside.width(),
                  QFontMetrics(button->font()).horizontalAdvance(button->text()) + 2)
            << caption;
    }
}

TEST_P(SkinLook, ADisabledButtonLooksFainterThanAnEnabledOne)
{
    QPushButton& button = *mirror.bStats;
    const QImage disabled = shownImage(button);
    const double disabledRatio = inkOf(button).ratio;
    button.setEnabled(true);
    const QImage enabled = shownImage(button);
    const double enabledRatio = inkOf(button).ratio;
    button.setEnabled(false);

    EXPECT_NE(disabled, enabled);
    EXPECT_LT(disabledRatio, enabledRatio);
}

TEST_P(SkinLook, PanelsKeepTheirOwnColour)
{
    for (QFrame* panel : {mirror.Panel1, mirror.sPanel1}) {
        const QColor shown = mostCommonColour(shownImage(*panel));
        EXPECT_EQ(shown, skintest::PanelColour)
            << panel->objectName().toStdString() << " shows " << shown.name().toStdString();
    }
}

TEST_P(SkinLook, TheWindowsWearTheSkin)
{
    // Window background with no control on it, in the main window and in
    // the Statistics window.
    QWidget& main = mirror.window;
    const auto backgrounds = [&] {
        return std::array{main.grab(QRect(600, 100, 90, 300)).toImage(),
                          mirror.fStats->grab(QRect(220, 100, 90, 190)).toImage()};
    };
    const auto skinned = backgrounds();
    manager.setActive(false);
    const auto plain = backgrounds();
    manager.setActive(true);

    EXPECT_NE(skinned[0], plain[0]) << "main window";
    EXPECT_NE(skinned[1], plain[1]) << "Statistics window";
}

TEST_P(SkinLook, FontsStayAsTheWindowSetsThem)
{
    const std::vector<std::pair<QWidget*, int>> pixelSizes = {
        {mirror.bSkin, 11},  {mirror.lQuestion, 15},  {mirror.lCurrentNote, 16},
        {mirror.Label1, 32}, {mirror.mNoteStats, 11},
    };
    for (const auto& [control, pixels] : pixelSizes) {
        EXPECT_EQ(control->font().pixelSize(), pixels) << textOf(*control).toStdString();
        EXPECT_EQ(QFontInfo(control->font()).pixelSize(), pixels) << textOf(*control).toStdString();
    }
    EXPECT_TRUE(mirror.lCurrentNote->font().bold());
    EXPECT_TRUE(mirror.lExplanation->font().italic());
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, SkinLook, ::testing::Range(0, SkinCount),
                         [](const auto& row) { return caseName(row.param); });

TEST(SkinLooks, NoTwoSkinsDrawAButtonAlike)
{
    skintest::MirrorWindow mirror;
    TSkinManager manager(mirror.window);
    manager.setActive(true);
    ASSERT_TRUE(mirror.show());

    std::vector<QImage> buttons;
    for (int i = 0; i < SkinCount; ++i) {
        manager.setSkinName(builtInSkinName(i));
        buttons.push_back(shownImage(*mirror.bSkin));
    }
    for (int i = 0; i < SkinCount; ++i)
        for (int j = i + 1; j < SkinCount; ++j)
            EXPECT_NE(buttons[static_cast<std::size_t>(i)], buttons[static_cast<std::size_t>(j)])
                << builtInSkinName(i) << " and " << builtInSkinName(j);
}

} // namespace
} // namespace skin
