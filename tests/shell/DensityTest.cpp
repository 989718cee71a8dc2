// The window on a high-density screen: the staff and the piano drawn from the
// 2x pack with sharp edges, the same moment as at 1x in logical pixels, the
// piano answering every device pixel as its logical pixel, and a silent fall
// back to the 1x pack.

#include "MainWindowFixture.h"
#include "shell/QtBitmap.h"

#include "platform/IniFile.h"

#include <QComboBox>
#include <QMouseEvent>

#include <cmath>
#include <limits>

namespace shell::testing {
namespace {

TEST(PackScale, RoundsTheScreenRatioUpWithinTheShippedPacks)
{
    struct Case {
        double ratio;
        int scale;
    };
    for (const Case c :
         {Case{1.0, 1}, Case{1.0004, 1}, Case{1.25, 2}, Case{1.5, 2}, Case{2.0, 2},
          Case{2.0000001, 2}, Case{2.25, 3}, Case{3.0, 3}, Case{4.0, 3}, Case{0.5, 1}, Case{0.0, 1},
          Case{-2.0, 1}, Case{std::numeric_limits<double>::quiet_NaN(), 1}})
        EXPECT_EQ(packScaleFor(c.ratio), c.scale) << c.ratio;
}

// The share of partly transparent pixels among the drawn ones: the softness
// of the glyphs' edges. A sharp picture of the same glyphs at twice the
// pixels has half as many edge pixels per drawn pixel.
double partlyTransparentShare(const gfx::TBitmap32& picture)
{
    int drawn = 0;
    int partly = 0;
    for (const gfx::Color32 c : picture.bits()) {
        const unsigned alpha = c >> 24;
        drawn += alpha > 0 ? 1 : 0;
        partly += alpha > 0 && alpha < 255 ? 1 : 0;
    }
    return drawn == 0 ? 1.0 : static_cast<double>(partly) / drawn;
}

// The image's layers alone, over a transparent background.
gfx::TBitmap32 layersOf(gfx::TImage32& image)
{
    const gfx::TBitmap32 background = image.bitmap();
    image.bitmap().fill(0);
    gfx::TBitmap32 out;
    image.compose(out);
    image.bitmap() = background;
    return out;
}

class Density : public testsupport::TempFolder {
protected:
    void TearDown() override
    {
        windows.clear();
        TempFolder::TearDown();
    }

    // A window in a folder of its own holding the shipped packs, the 2x one
    // first handed to `spoil` when given; each window has its own clock.
    TfMain& openAt(int density, const std::function<void(const fs::path&)>& spoil = {})
    {
        const fs::path own = folder / std::to_string(windows.size());
        fs::create_directories(own);
        for (const char* name : {"keyresources.dat", "keyresources@2x.dat", "keyresources@3x.dat"})
            fs::copy_file(testsupport::dataFolder() / name, own / name);
        if (spoil)
            spoil(own / "keyresources@2x.dat");
        clocks.push_back(std::make_unique<platform::testing::FakeClock>());
        TfMainServices services{*clocks.back(), midi, targets, &messages, own, {}};
        services.pictureDensity = density;
        windows.push_back(createMainWindow(services, messages));
        EXPECT_NE(windows.back(), nullptr);
        return *windows.back();
    }

    // Starts a run of notes on both staves in the window opened `which`-th
    // and lets `ticks` seconds of its clock pass.
    void playTo(std::size_t which, int ticks)
    {
        TfMain& w = *windows.at(which);
        platform::testing::FakeClock& clock = *clocks.at(which);
        engine::PracticeChoice choice = w.vars.practice;
        choice.clef = engine::ClefSetting::Both;
        w.practiseForThisStart(choice);
        QTest::mouseClick(w.bStart, Qt::LeftButton);
        for (int t = 0; t < ticks; ++t) {
            clock.advanceMs(1000);
            w.ThreadedTimerTimer();
        }
    }

    platform::midi::LoopbackMidiService midi;
    platform::qt::QtNotifyTargets targets;
    platform::testing::RecordingMessageBoxes messages;
    std::vector<std::unique_ptr<platform::testing::FakeClock>> clocks;
    std::vector<std::unique_ptr<TfMain>> windows;
};

TEST_F(Density, TheStaffAt2xIsTheSameMomentWithSharperGlyphs)
{
    TfMain& one = openAt(1);
    TfMain& two = openAt(2);
    ASSERT_EQ(two.staffImage.density(), 2);
    playTo(0, 30);
    playTo(1, 30);

    // The same moment: every layer at the same logical place.
    ASSERT_EQ(one.staffImage.layerCount(), two.staffImage.layerCount());
    int shown = 0;
    for (int i = 0; i < one.staffImage.layerCount(); ++i) {
        const gfx::TBitmapLayer& a = one.staffImage.layer(i);
        const gfx::TBitmapLayer& b = two.staffImage.layer(i);
        ASSERT_EQ(a.visible(), b.visible()) << "layer " << i;
        EXPECT_EQ(a.location(), b.location()) << "layer " << i;
        EXPECT_EQ(b.bitmap().width(), 2 * a.bitmap().width()) << "layer " << i;
        shown += a.visible() && !a.bitmap().empty() ? 1 : 0;
    }
    ASSERT_GT(shown, 6) << "the key signature and some notes are on the staff";

    gfx::TBitmap32 whole1, whole2;
    one.staffImage.compose(whole1);
    two.staffImage.compose(whole2);
    EXPECT_EQ(whole2.width(), 2 * whole1.width());
    EXPECT_EQ(whole2.height(), 2 * whole1.height());
    EXPECT_EQ(one.imageContainer->size(), two.imageContainer->size()) << "the same logical size";
    EXPECT_EQ(two.imageContainer->picture().devicePixelRatio(), 2.0);

    const gfx::TBitmap32 glyphs1 = layersOf(one.staffImage);
    const gfx::TBitmap32 glyphs2 = layersOf(two.staffImage);
    const double share1 = partlyTransparentShare(glyphs1);
    const double share2 = partlyTransparentShare(glyphs2);
    EXPECT_GT(share1, 0.0) << "the 1x glyphs are anti-aliased";
    // Drawn at twice the pixels, an edge is as wide in device pixels as at
    // 1x while the glyph has four times the pixels: the share about halves.
    EXPECT_LT(share2, 0.75 * share1) << "the 2x glyphs' edges are sharper than the 1x ones'"
                                     << " (1x " << share1 << ", 2x " << share2 << ")";

    // What a 2x screen shows of the 1x picture fails the same check: Qt
    // enlarges it smoothly and its edges soften, and even copying every
    // pixel four times keeps the 1x share.
    const QImage smooth = toQImage(glyphs1).scaled(2 * glyphs1.width(), 2 * glyphs1.height(),
                                                   Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_GT(partlyTransparentShare(toBitmap32(smooth)), share1);
    const QImage copied = toQImage(glyphs1).scaled(2 * glyphs1.width(), 2 * glyphs1.height(),
                                                   Qt::IgnoreAspectRatio, Qt::FastTransformation);
    EXPECT_GE(partlyTransparentShare(toBitmap32(copied)), 0.75 * share1);
}

TEST_F(Density, EveryDevicePixelOfThePianoAnswersItsLogicalKey)
{
    TfMain& w = openAt(2);
    ASSERT_EQ(w.pianoImage.density(), 2);
    ASSERT_EQ(w.pianoImage.bitmap().width(), 2 * 561);
    ASSERT_EQ(w.pianoImage.bitmap().height(), 2 * 71);

    // On a screen of ratio 2 a device pixel arrives at a half logical pixel.
    ImageView view;
    view.resize(561, 71);
    QPoint reported;
    QObject::connect(&view, &ImageView::mouseDown, [&](Qt::MouseButton, int x, int y) {
        reported = {x, y};
    });
    int wrong = 0;
    for (int py = 0; py < w.pianoImage.bitmap().height(); ++py)
        for (int px = 0; px < w.pianoImage.bitmap().width(); ++px) {
            const QPointF at(px / 2.0, py / 2.0);
            QMouseEvent press(QEvent::MouseButtonPress, at, view.mapToGlobal(at), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&view, &press);
            const PianoKey atTwo = pianoHitTest(reported.x(), reported.y());
            const PianoKey atOne = pianoHitTest(px / 2, py / 2);
            if (atTwo.pitchClass != atOne.pitchClass || atTwo.left != atOne.left) {
                if (++wrong <= 5)
                    ADD_FAILURE() << "device pixel " << px << ", " << py << " names "
                                  << atTwo.pitchClass << ", not " << atOne.pitchClass;
            }
        }
    EXPECT_EQ(wrong, 0);
}

TEST_F(Density, APianoKeyClickedAt2xHighlightsOverItsKey)
{
    TfMain& w = openAt(2);
    playTo(0, 3);
    ASSERT_TRUE(w.vars.sheetMusic->questionAsked());
    const QPoint at = keyFor(4); // E, in the second octave
    QTest::mousePress(w.imgPiano, Qt::LeftButton, {}, at);
    ASSERT_EQ(w.piano->highlightCount(), 1);
    const PianoKey key = pianoHitTest(at.x(), at.y());
    const gfx::TBitmap32& logical = testsupport::shippedSprites().bitmap(key.sprite);
    const gfx::TBitmapLayer& h = w.pianoImage.layer(w.pianoImage.layerCount() - 1);
    EXPECT_EQ(h.location().left, static_cast<float>(key.left));
    EXPECT_EQ(h.location().right - h.location().left, static_cast<float>(logical.width()))
        << "the key's logical width";
    EXPECT_EQ(h.bitmap().width(), 2 * logical.width()) << "drawn at twice the pixels";
    EXPECT_EQ(h.bitmap().height(), 2 * logical.height());
    QTest::mouseRelease(w.imgPiano, Qt::LeftButton, {}, at);
}

TEST_F(Density, AMissingOrDamagedDensePackFallsBackToTheSeedWithoutAWord)
{
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> spoil;
    };
    const std::vector<Case> cases = {
        {"missing", [](const fs::path& f) { fs::remove(f); }},
        {"truncated", [](const fs::path& f) { fs::resize_file(f, fs::file_size(f) / 2); }},
        {"empty", [](const fs::path& f) { fs::resize_file(f, 0); }},
        {"the 3x pack under the 2x name",
         [](const fs::path& f) {
             fs::copy_file(f.parent_path() / "keyresources@3x.dat", f,
                           fs::copy_options::overwrite_existing);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TfMain& w = openAt(2, c.spoil);
        EXPECT_EQ(w.staffImage.density(), 1);
        EXPECT_EQ(w.pianoImage.density(), 1);
        EXPECT_EQ(w.staffImage.bitmap().width(), 313);
        EXPECT_EQ(w.pianoImage.bitmap().width(), 561);
        EXPECT_TRUE(messages.messages().empty()) << "no message for a missing denser pack";
    }
}

TEST_F(Density, ThreeTimesTheScreenTakesThe3xPack)
{
    TfMain& w = openAt(3);
    EXPECT_EQ(w.staffImage.density(), 3);
    EXPECT_EQ(w.staffImage.bitmap().width(), 3 * 313);
    EXPECT_EQ(w.pianoImage.bitmap().width(), 3 * 561);
    EXPECT_TRUE(messages.messages().empty());
}

TEST(SizeSetting, ValuesAndTheScaleFactorTheyGive)
{
    struct Read {
        const char* text;
        int percent;
    };
    for (const Read r : {Read{"100", 100}, Read{"125", 125}, Read{"150", 150}, Read{"200", 200},
                         Read{"", 100}, Read{"120", 100}, Read{"150 ", 100}, Read{"-150", 100},
                         Read{"1.5", 100}, Read{"big", 100}})
        EXPECT_EQ(sizePercentFrom(r.text), r.percent) << '"' << r.text << '"';

    struct Factor {
        const char* current;
        int percent;
        const char* factor;
    };
    for (const Factor f :
         {Factor{"", 100, ""}, Factor{"2", 100, ""}, Factor{"", 125, "1.25"}, Factor{"", 200, "2"},
          Factor{"2", 150, "3"}, Factor{"1.5", 200, "3"}, Factor{"abc", 150, "1.5"},
          Factor{"0", 150, "1.5"}, Factor{"-2", 200, "2"}, Factor{"1,5", 200, "2"}})
        EXPECT_EQ(scaleFactorFor(f.current, f.percent), f.factor)
            << f.current << " at " << f.percent << " %";
}

class WindowSize : public MainWindow {};

TEST_F(WindowSize, AChosenSizeIsRememberedAndTheRestartOffered)
{
    TfMain& w = open();
    ASSERT_EQ(w.cbSize->count(), 4);
    EXPECT_EQ(w.cbSize->currentData().toInt(), 100);

    // Declined: remembered for the next start, the window stays.
    w.sizeChosen(150);
    ASSERT_EQ(messages.questions().size(), 1u);
    EXPECT_NE(messages.questions()[0].find("Restart it now?"), std::string::npos);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.restartAsked());
    EXPECT_EQ(platform::IniFile(folder / "vorlanta.ini").ReadString("Tessaly - Notes", "Size", ""),
              "150");

    // The same size again asks nothing.
    w.sizeChosen(150);
    EXPECT_EQ(messages.questions().size(), 1u);

    // Accepted: the window closes for the restart, and the settings are kept.
    messages.queueAnswer(true);
    w.sizeChosen(200);
    EXPECT_EQ(messages.questions().size(), 2u);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.restartAsked());

    window.reset();
    TfMain& again = open();
    EXPECT_EQ(again.cbSize->currentData().toInt(), 200);
    EXPECT_FALSE(again.restartAsked());
}

TEST_F(WindowSize, ASizeThatCannotBeWrittenIsSaidAndNotShownAsChosen)
{
    const fs::path ini = folder / "vorlanta.ini";
    const std::string text = "[Tessaly - Notes]\nSkin=0\n";
    writeBytes(ini, {text.begin(), text.end()});
    fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    TfMain& w = open();
    for (int attempt = 1; attempt <= 2; ++attempt) {
        w.cbSize->setCurrentIndex(w.cbSize->findData(150));
        w.sizeChosen(150);
        ASSERT_EQ(messages.messages().size(), static_cast<std::size_t>(attempt));
        EXPECT_NE(messages.messages().back().find("could not be remembered"), std::string::npos);
        EXPECT_NE(messages.messages().back().find("read-only"), std::string::npos);
        EXPECT_EQ(w.cbSize->currentData().toInt(), 100) << "attempt " << attempt;
        EXPECT_TRUE(messages.questions().empty());
    }
}

TEST_F(WindowSize, TheSizeIsNotChangedDuringARun)
{
    TfMain& w = open();
    click(w.bStart);
    tick();
    EXPECT_FALSE(w.cbSize->isEnabled());
    click(w.bReset);
    EXPECT_TRUE(w.cbSize->isEnabled());
}

} // namespace
} // namespace shell::testing
