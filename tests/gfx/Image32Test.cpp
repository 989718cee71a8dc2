#include "gfx/Image32.h"
#include "gfx/Bitmap32List.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

namespace gfx {
namespace {

TBitmap32 solid(int w, int h, Color32 c, DrawMode mode = DrawMode::Blend, unsigned master = 255)
{
    TBitmap32 b(w, h, c);
    b.setDrawMode(mode);
    b.setMasterAlpha(master);
    return b;
}

TBitmapLayer& addSprite(TImage32& image, const TBitmap32& sprite, float left, float top,
                        bool visible = true)
{
    TBitmapLayer& layer = image.addLayer();
    layer.setBitmap(sprite);
    layer.setLocation({left, top, left + static_cast<float>(sprite.width()),
                       top + static_cast<float>(sprite.height())});
    layer.setVisible(visible);
    return layer;
}

TBitmap32 composed(const TImage32& image)
{
    TBitmap32 out;
    image.compose(out);
    return out;
}

// --- Blending ---------------------------------------------------------------

struct BlendCase {
    const char* name;
    Color32 background;
    Color32 sprite;
    DrawMode mode;
    unsigned master;
    Color32 expected;
};
// Rows print as their names in test listings.
void PrintTo(const BlendCase& row, std::ostream* os) { *os << row.name; }

class Blending : public ::testing::TestWithParam<BlendCase> {};

TEST_P(Blending, OneLayerOverOnePixel)
{
    const BlendCase& c = GetParam();
    TImage32 image;
    image.bitmap().assign(TBitmap32(1, 1, c.background));
    addSprite(image, solid(1, 1, c.sprite, c.mode, c.master), 0, 0);
    EXPECT_EQ(composed(image).pixel(0, 0), c.expected)
        << std::hex << "got 0x" << composed(image).pixel(0, 0) << " want 0x" << c.expected;
}

INSTANTIATE_TEST_SUITE_P(
    Image32, Blending,
    ::testing::Values(
        BlendCase{"OpaqueModeCopiesEvenTransparentPixels", color32(100, 50, 200),
                  color32(10, 20, 30, 0), DrawMode::Opaque, 255, color32(10, 20, 30, 0)},
        BlendCase{"OpaqueSpriteCovers", color32(100, 50, 200), color32(1, 2, 3), DrawMode::Blend,
                  255, color32(1, 2, 3)},
        BlendCase{"HalfTransparentWhiteOverBlack", color32(0, 0, 0), color32(255, 255, 255, 128),
                  DrawMode::Blend, 255, color32(128, 128, 128)},
        BlendCase{"HalfMasterAlphaOverBlack", color32(0, 0, 0), color32(255, 255, 255),
                  DrawMode::Blend, 128, color32(128, 128, 128)},
        BlendCase{"PixelAlphaTimesMasterAlpha", color32(0, 0, 0), color32(255, 255, 255, 128),
                  DrawMode::Blend, 128, color32(64, 64, 64)},
        BlendCase{"TwentyPercentMixesEachChannel", color32(100, 50, 200), color32(200, 100, 0, 51),
                  DrawMode::Blend, 255, color32(120, 60, 160)},
        BlendCase{"TransparentPixelLeavesBackground", color32(100, 50, 200), color32(255, 0, 0, 0),
                  DrawMode::Blend, 255, color32(100, 50, 200)},
        BlendCase{"ZeroMasterAlphaLeavesBackground", color32(100, 50, 200), color32(255, 0, 0),
                  DrawMode::Blend, 0, color32(100, 50, 200)},
        BlendCase{"CoverageAddsUpOverTransparentBackground", color32(0, 0, 0, 0),
                  color32(255, 255, 255, 128), DrawMode::Blend, 255, color32(128, 128, 128, 128)}),
    [](const auto& row) { return std::string(row.param.name); });

// --- Composition ------------------------------------------------------------

class Composing : public ::testing::Test {
protected:
    void SetUp() override { image.bitmap().assign(TBitmap32(8, 4, black)); }

    static constexpr Color32 black = color32(0, 0, 0);
    static constexpr Color32 red = color32(255, 0, 0);
    static constexpr Color32 blue = color32(0, 0, 255);
    TImage32 image;
};

TEST_F(Composing, BackgroundAloneIsCopied)
{
    image.bitmap().setPixel(3, 2, red);
    EXPECT_EQ(composed(image), image.bitmap());
}

TEST_F(Composing, HiddenLayersAreIgnored)
{
    addSprite(image, solid(8, 4, red), 0, 0, false);
    EXPECT_EQ(composed(image).pixel(4, 2), black);
}

TEST_F(Composing, LaterLayersAreDrawnOverEarlierOnes)
{
    TBitmapLayer& lower = addSprite(image, solid(2, 2, red), 0, 0);
    addSprite(image, solid(2, 2, blue), 1, 0);
    const TBitmap32 out = composed(image);
    EXPECT_EQ(out.pixel(0, 0), red);
    EXPECT_EQ(out.pixel(1, 0), blue); // overlap: the later layer wins
    EXPECT_EQ(out.pixel(2, 1), blue);

    lower.setVisible(false);
    EXPECT_EQ(composed(image).pixel(0, 0), black);
}

// Freeing a layer moves the later ones up; hiding or showing one of those
// afterwards must still act on that layer and no other.
TEST_F(Composing, VisibilityFollowsLayersMovedUpByAFree)
{
    TBitmapLayer& first = addSprite(image, solid(1, 1, red), 0, 0);
    TBitmapLayer& second = addSprite(image, solid(1, 1, blue), 1, 0, false);
    TBitmapLayer& third = addSprite(image, solid(1, 1, red), 2, 0);
    image.freeLayer(first);
    second.setVisible(true);
    third.setVisible(false);
    const TBitmap32 out = composed(image);
    EXPECT_EQ(out.pixel(0, 0), black);
    EXPECT_EQ(out.pixel(1, 0), blue);
    EXPECT_EQ(out.pixel(2, 0), black);
    EXPECT_EQ(third.index(), 1);
    EXPECT_EQ(image.indexOf(third), 1);
}

TEST_F(Composing, FloatLocationsRoundToTheNearestPixel)
{
    struct Case {
        float left;
        float top;
        int x;
        int y;
    };
    for (const Case c : {Case{2.4f, 0.f, 2, 0}, Case{2.6f, 1.49f, 3, 1}, Case{5.5f, 2.5f, 6, 3},
                         Case{-0.4f, 0.f, 0, 0}}) {
        TImage32 img;
        img.bitmap().assign(TBitmap32(8, 4, black));
        addSprite(img, solid(1, 1, red), c.left, c.top);
        const TBitmap32 out = composed(img);
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                EXPECT_EQ(out.pixel(x, y), (x == c.x && y == c.y) ? red : black)
                    << "layer at " << c.left << ", " << c.top << " pixel " << x << ", " << y;
    }
}

TEST_F(Composing, ADenserImagePlacesLayersAtTheirLogicalLocations)
{
    // Density 2: the background and the sprites have two pixels per logical
    // one; a layer at logical 2.4 starts at device pixel 5 (4.8 rounded).
    TImage32 img;
    img.bitmap().assign(TBitmap32(16, 8, black));
    img.setDensity(2);
    TBitmapLayer& layer = img.addLayer();
    setSprite(layer, solid(2, 2, red), 2.4f, 1.25f, true);
    EXPECT_EQ(layer.location(), (FloatRect{2.4f, 1.25f, 3.4f, 2.25f})) << "a logical size";
    const TBitmap32 out = composed(img);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            EXPECT_EQ(out.pixel(x, y), (x >= 5 && x < 7 && y >= 3 && y < 5) ? red : black)
                << "pixel " << x << ", " << y;

    int changes = 0;
    img.setOnChange([&] { ++changes; });
    img.setDensity(2);
    EXPECT_EQ(changes, 0) << "the same density is no change";
    img.setDensity(3);
    EXPECT_EQ(changes, 1);
    for (int bad : {0, 4, -1})
        EXPECT_THROW(img.setDensity(bad), std::invalid_argument) << bad;
    EXPECT_EQ(img.density(), 3);
}

TEST_F(Composing, LayersAreDrawnAtTheirOwnSize)
{
    TBitmapLayer& layer = addSprite(image, solid(2, 2, red), 0, 0);
    layer.setLocation({0, 0, 8, 4}); // a larger rectangle does not stretch it
    const TBitmap32 out = composed(image);
    EXPECT_EQ(out.pixel(1, 1), red);
    EXPECT_EQ(out.pixel(2, 1), black);
    EXPECT_EQ(out.pixel(1, 2), black);
}

TEST_F(Composing, LayersPartlyOffThePictureAreClipped)
{
    addSprite(image, solid(4, 4, red), -3, -3);
    addSprite(image, solid(4, 4, blue), 7, 3);
    const TBitmap32 out = composed(image);
    EXPECT_EQ(out.pixel(0, 0), red);
    EXPECT_EQ(out.pixel(1, 0), black);
    EXPECT_EQ(out.pixel(7, 3), blue);
    EXPECT_EQ(out.pixel(6, 3), black);
}

TEST_F(Composing, FarOffOrUndefinedLocationsDrawNothing)
{
    const float far = 3e9f;
    for (const float pos : {far, -far, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity()}) {
        TImage32 img;
        img.bitmap().assign(TBitmap32(8, 4, black));
        addSprite(img, solid(4, 4, red), pos, pos);
        EXPECT_EQ(composed(img), img.bitmap()) << "at " << pos;
    }
}

// --- Change notifications ------------------------------------------------------

class Notifying : public ::testing::Test {
protected:
    void SetUp() override
    {
        image.setOnChange([this] { ++notifications; });
    }

    TImage32 image;
    int notifications = 0;
};

TEST_F(Notifying, AWholeBracketGivesOneNotification)
{
    image.BeginUpdate();
    TBitmapLayer& a = addSprite(image, solid(2, 2, 1), 0, 0);
    TBitmapLayer& b = addSprite(image, solid(2, 2, 1), 1, 1, false);
    a.setVisible(false);
    b.setLocation({3, 3, 5, 5});
    image.freeLayer(a);
    image.Changed();
    image.EndUpdate();
    EXPECT_EQ(notifications, 0);
    image.Changed();
    EXPECT_EQ(notifications, 1);
}

TEST_F(Notifying, NestedBracketsGiveOneNotification)
{
    {
        UpdateBracket outer(image);
        addSprite(image, solid(1, 1, 1), 0, 0);
        {
            UpdateBracket inner(image);
            addSprite(image, solid(1, 1, 1), 0, 0);
        }
        EXPECT_EQ(notifications, 0);
    }
    EXPECT_EQ(notifications, 1);
}

TEST_F(Notifying, ChangesOutsideABracketAreAnnouncedAtOnce)
{
    TBitmapLayer& layer = image.addLayer();
    layer.setVisible(false);
    layer.setLocation({1, 1, 2, 2});
    image.freeLayer(layer);
    EXPECT_EQ(notifications, 4);
}

TEST_F(Notifying, EndUpdateWithoutBeginIsAnError)
{
    EXPECT_THROW(image.EndUpdate(), std::logic_error);
}

// --- The layer list ----------------------------------------------------------------

TEST(LayerList, NewLayerIsVisibleEmptyAndLast)
{
    TImage32 image;
    image.addLayer();
    TBitmapLayer& layer = image.addLayer();
    EXPECT_TRUE(layer.visible());
    EXPECT_TRUE(layer.bitmap().empty());
    EXPECT_EQ(layer.location(), FloatRect{});
    EXPECT_EQ(layer.index(), 1);
    EXPECT_EQ(&image.layer(1), &layer);
}

TEST(LayerList, FreeingALayerKeepsThePositionsOfEarlierLayers)
{
    TImage32 image;
    TBitmapLayer& treble = image.addLayer();
    TBitmapLayer& bass = image.addLayer();
    TBitmapLayer* later[3] = {&image.addLayer(), &image.addLayer(), &image.addLayer()};

    image.freeLayer(*later[1]);
    EXPECT_EQ(&image.layer(0), &treble);
    EXPECT_EQ(&image.layer(1), &bass);
    EXPECT_EQ(later[2]->index(), 3);
    EXPECT_EQ(image.layerCount(), 4);

    image.freeLayer(*later[0]);
    image.freeLayer(*later[2]);
    image.addLayer();
    EXPECT_EQ(bass.index(), 1);
    EXPECT_EQ(image.layerCount(), 3);
}

TEST(LayerList, BadPositionNamesTheIndex)
{
    TImage32 image;
    image.addLayer();
    EXPECT_THROW((void)image.layer(1), EListError);
    EXPECT_THROW((void)image.layer(-1), EListError);
}

TEST(LayerList, FreeingAForeignLayerIsRejected)
{
    TImage32 one;
    TImage32 other;
    TBitmapLayer& layer = other.addLayer();
    EXPECT_THROW(one.freeLayer(layer), std::invalid_argument);
    EXPECT_EQ(other.layerCount(), 1);
}

// --- Owned layers --------------------------------------------------------------

TEST(OwnedLayer, ResetRemovesTheLayerOnceOnly)
{
    TImage32 image;
    image.addLayer();
    OwnedLayer owned(image.addLayer());
    owned.reset();
    EXPECT_FALSE(owned);
    EXPECT_EQ(image.layerCount(), 1);
    owned.reset();
    EXPECT_EQ(image.layerCount(), 1);
}

TEST(OwnedLayer, DestructionRemovesTheLayer)
{
    TImage32 image;
    {
        OwnedLayer owned(image.addLayer());
        EXPECT_EQ(image.layerCount(), 1);
    }
    EXPECT_EQ(image.layerCount(), 0);
}

TEST(OwnedLayer, MovingHandsOverOwnership)
{
    TImage32 image;
    OwnedLayer first(image.addLayer());
    TBitmapLayer* layer = first.get();
    OwnedLayer second(std::move(first));
    EXPECT_FALSE(first); // NOLINT(bugprone-use-after-move): moved-from is empty by contract
    EXPECT_EQ(second.get(), layer);

    OwnedLayer third(image.addLayer());
    third = std::move(second); // frees the layer third held before
    EXPECT_EQ(third.get(), layer);
    EXPECT_EQ(image.layerCount(), 1);
}

TEST(OwnedLayer, LayerFreedByItsImageEmptiesTheHandle)
{
    TImage32 image;
    OwnedLayer owned(image.addLayer());
    image.freeLayer(*owned);
    EXPECT_FALSE(owned);
    image.addLayer();
    owned.reset(); // must not free the unrelated new layer
    EXPECT_EQ(image.layerCount(), 1);
}

TEST(OwnedLayer, OutlivingTheImageIsSafe)
{
    auto image = std::make_unique<TImage32>();
    OwnedLayer owned(image->addLayer());
    image->clearLayers();
    EXPECT_FALSE(owned);

    OwnedLayer later(image->addLayer());
    image.reset();
    EXPECT_FALSE(later);
}

TEST(OwnedLayer, ALayerHasOneOwner)
{
    TImage32 image;
    TBitmapLayer& layer = image.addLayer();
    OwnedLayer owned(layer);
    EXPECT_THROW(OwnedLayer{layer}, std::logic_error);
}

} // namespace
} // namespace gfx
