#include "skin/SkinManager.h"
#include "MirrorWindow.h"
#include "Rendering.h"

#include <QFontInfo>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>

namespace skin {
namespace {

constexpr std::array<const char*, SkinCount> ExpectedNames = {
    "Beijing (internal)",        "TheFrog (internal)",    "HeroesStyle (internal)",
    "Sand (internal)",           "Winter2003 (internal)", "BlueIce (internal)",
    "UnderWater (internal)",     "Ubuntu (internal)",     "Snow Leopard (internal)",
    "LikeOperaStyle (internal)", "Retro (internal)",      "Ledenets (internal)"};

TEST(SkinNames, EveryBuiltInSkinHasItsNameAndIndex)
{
    QWidget target;
    const TSkinManager manager(target);
    EXPECT_EQ(manager.count(), 12);
    for (int i = 0; i < SkinCount; ++i) {
        SCOPED_TRACE(i);
        const std::string name = ExpectedNames[static_cast<std::size_t>(i)];
        EXPECT_EQ(builtInSkinName(i), name);
        EXPECT_EQ(manager.nameOf(i), name);
        EXPECT_EQ(manager.indexOf(name), i);
        EXPECT_FALSE(TSkinManager::styleSheet(i).isEmpty());
    }
}

TEST(SkinNames, OutsideTheListThereIsNoNameIndexOrSheet)
{
    QWidget target;
    const TSkinManager manager(target);
    for (const char* name :
         {"", "Beijing", "beijing (internal)", "Beijing (internal) ", "Winter2003 (internal)x"})
        EXPECT_EQ(manager.indexOf(name), -1) << '"' << name << '"';
    for (int index : {-1, 12, 1000}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(manager.nameOf(index), "");
        EXPECT_EQ(builtInSkinName(index), "");
        EXPECT_TRUE(TSkinManager::styleSheet(index).isEmpty());
    }
}

// --- Switching skins on and off ------------------------------------------------------

class Activation : public ::testing::Test {
protected:
    skintest::MirrorWindow mirror;
    TSkinManager manager{mirror.window};

    QString sheet() const { return mirror.window.styleSheet(); }
};

TEST_F(Activation, StartsInactiveWithTheFirstSkinNamed)
{
    EXPECT_FALSE(manager.Active());
    EXPECT_EQ(manager.SkinName(), "Beijing (internal)");
    EXPECT_TRUE(sheet().isEmpty());
}

TEST_F(Activation, ActivatingPutsTheNamedSkinOnAndDeactivatingTakesItOff)
{
    manager.setActive(true);
    EXPECT_TRUE(manager.Active());
    EXPECT_EQ(sheet(), TSkinManager::styleSheet(0));

    manager.setActive(false);
    EXPECT_FALSE(manager.Active());
    EXPECT_TRUE(sheet().isEmpty());
    EXPECT_EQ(manager.SkinName(), "Beijing (internal)");
}

TEST_F(Activation, ANameTakesEffectAtOnceOnlyWhileActive)
{
    manager.setSkinName("Retro (internal)");
    EXPECT_EQ(manager.SkinName(), "Retro (internal)");
    EXPECT_TRUE(sheet().isEmpty());

    manager.setActive(true);
    EXPECT_EQ(sheet(), TSkinManager::styleSheet(10));
    manager.setSkinName("TheFrog (internal)");
    EXPECT_EQ(sheet(), TSkinManager::styleSheet(1));
}

TEST_F(Activation, AnUnknownNameIsKeptAndShowsThePlainLook)
{
    manager.setActive(true);
    manager.setSkinName("Purple Haze");
    EXPECT_EQ(manager.SkinName(), "Purple Haze");
    EXPECT_TRUE(manager.Active());
    EXPECT_TRUE(sheet().isEmpty());

    manager.setSkinName("Sand (internal)");
    EXPECT_EQ(sheet(), TSkinManager::styleSheet(3));
}

// The window colours its panels when it shows, after the skin came in at
// its creation, and most controls take their font from the window. On a
// change of sheet Qt hands a widget back the palette and font it had when
// the sheet was polished in, and an inherited font falls back to the
// application's; neither may reach what the user sees.
class ThroughChanges : public Activation {
protected:
    void SetUp() override
    {
        manager.setActive(true);
        ASSERT_TRUE(mirror.show());
    }

    // Every kind of change, with a check after each.
    template <typename Check> void changeSkins(Check check)
    {
        check("first skin");
        manager.setSkinName("UnderWater (internal)");
        check("second skin");
        manager.setSkinName("nothing known");
        check("unknown skin");
        manager.setSkinName("Retro (internal)");
        manager.setActive(false);
        check("inactive");
        manager.setActive(true);
        check("active again");
    }
};

TEST_F(ThroughChanges, PanelsKeepTheColourTheWindowGaveThem)
{
    changeSkins([&](const char* when) {
        for (QFrame* panel : {mirror.sPanel1, mirror.Panel1}) {
            const QColor shown = skintest::mostCommonColour(skintest::shownImage(*panel));
            EXPECT_EQ(shown, skintest::PanelColour)
                << when << ": " << panel->objectName().toStdString() << " shows "
                << shown.name().toStdString();
        }
    });
}

TEST_F(ThroughChanges, ControlsKeepTheirFontSizes)
{
    const std::pair<QWidget*, int> fonts[] = {
        {mirror.bSkin, 11},        // from the window, through a panel
        {mirror.bStart, 11},       // from the window
        {mirror.bResetNotes, 11},  // from the window, through the Statistics window
        {mirror.lCurrentNote, 16}, // its own
        {mirror.mNoteStats, 11},   // its own
    };
    changeSkins([&](const char* when) {
        for (const auto& [control, pixels] : fonts)
            EXPECT_EQ(QFontInfo(control->font()).pixelSize(), pixels)
                << when << ": " << skintest::textOf(*control).toStdString();
    });
}

} // namespace
} // namespace skin
