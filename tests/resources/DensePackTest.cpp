// The denser sprite packs and piano pictures for high-density screens, as
// shipped in data/, against the 1x ones they stand in for: the same pictures
// with k times the pixels across and down, drawn at that density rather than
// enlarged, and the fallback to the 1x sprites when a dense pack is unusable.

#include "TempFolder.h"

#include "resources/uBmp.h"
#include "resources/uResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using gfx::TBitmap32;

const std::filesystem::path DataFolder = TESSALY_DATA_DIR;
constexpr int Scales[] = {2, 3};

gfx::TBitmap32List seedSprites()
{
    resources::TKeyResources seed(DataFolder);
    return std::move(seed.imgVorlanta);
}

unsigned luminance(gfx::Color32 c)
{
    return (gfx::redOf(c) * 61 + gfx::greenOf(c) * 174 + gfx::blueOf(c) * 21) >> 8;
}

bool isOpaque(const TBitmap32& b)
{
    for (const gfx::Color32 c : b.bits())
        if (gfx::alphaOf(c) != 255)
            return false;
    return true;
}

// How much ink covers each pixel, 0..255: the alpha of a sprite laid over
// the staff, the darkness of an opaque picture (the staff with its clefs).
std::vector<double> coverage(const TBitmap32& b)
{
    const bool opaque = isOpaque(b);
    std::vector<double> out;
    out.reserve(b.bits().size());
    for (const gfx::Color32 c : b.bits())
        out.push_back(opaque ? 255.0 - luminance(c) : gfx::alphaOf(c));
    return out;
}

// The mean over each k x k block, as a k-dense picture looks when shown at
// 1x.
std::vector<double> boxDown(const std::vector<double>& dense, int width, int height, int k)
{
    std::vector<double> out(static_cast<std::size_t>(width * height), 0.0);
    for (int y = 0; y < height * k; ++y)
        for (int x = 0; x < width * k; ++x)
            out[static_cast<std::size_t>((y / k) * width + x / k)] +=
                dense[static_cast<std::size_t>(y * width * k + x)] / (k * k);
    return out;
}

// Mean absolute difference over the pixels where either picture has ink.
double inkDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    double sum = 0;
    int count = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == 0 && b[i] == 0)
            continue;
        sum += std::abs(a[i] - b[i]);
        ++count;
    }
    return count == 0 ? 0 : sum / count;
}

// The share of the inked pixels that are only partly covered: the blurred
// rim of every outline. Enlarging keeps the share; drawing k times as dense
// makes the rim a k-th as wide relative to the ink.
double rimShare(const std::vector<double>& cover)
{
    int ink = 0, partial = 0;
    for (const double c : cover) {
        if (c == 0)
            continue;
        ++ink;
        if (c < 255)
            ++partial;
    }
    return ink == 0 ? 0 : static_cast<double>(partial) / ink;
}

TBitmap32 enlarged(const TBitmap32& b, int k)
{
    TBitmap32 out(b.width() * k, b.height() * k);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            out.setPixel(x, y, b.pixel(x / k, y / k));
    return out;
}

// Sprites made of whole-pixel rectangles: the ledger lines, the piano
// highlights and the empty C major signatures. Dense, every pixel of theirs
// becomes a k x k block.
bool isPixelSnapped(int index)
{
    return index == 0 || index == 12 || (index >= 35 && index <= 37) ||
           (index >= 44 && index <= 51);
}

TEST(DensePack, HoldsEverySpriteAtExactlyScaleTimesTheSeedSize)
{
    const gfx::TBitmap32List seed = seedSprites();
    ASSERT_EQ(seed.count(), resources::SpriteCount);
    for (const int k : Scales) {
        SCOPED_TRACE("scale " + std::to_string(k));
        const gfx::TBitmap32List dense = resources::readDensePack(DataFolder, k, seed);
        ASSERT_EQ(dense.count(), resources::SpriteCount);
        for (int i = 0; i < dense.count(); ++i) {
            EXPECT_EQ(dense.bitmap(i).width(), k * seed.bitmap(i).width()) << "sprite " << i;
            EXPECT_EQ(dense.bitmap(i).height(), k * seed.bitmap(i).height()) << "sprite " << i;
        }
    }
}

TEST(DensePack, SpritesAreTheSeedPicturesDrawnDenserNotEnlarged)
{
    const gfx::TBitmap32List seed = seedSprites();
    for (const int k : Scales) {
        const gfx::TBitmap32List dense = resources::readDensePack(DataFolder, k, seed);
        ASSERT_EQ(dense.count(), resources::SpriteCount) << "scale " << k;
        for (int i = 0; i < resources::SpriteCount; ++i) {
            SCOPED_TRACE("scale " + std::to_string(k) + ", sprite " + std::to_string(i) + " (" +
                         std::string(resources::SpriteFiles[static_cast<std::size_t>(i)].name) +
                         ")");
            const TBitmap32& one = seed.bitmap(i);
            const TBitmap32& many = dense.bitmap(i);
            ASSERT_EQ(many.width(), k * one.width());
            ASSERT_EQ(many.height(), k * one.height());
            if (isPixelSnapped(i)) {
                EXPECT_TRUE(many == enlarged(one, k));
                continue;
            }
            EXPECT_FALSE(many == enlarged(one, k));
            // Shown at 1x the dense sprite is the seed sprite: the same
            // places, sizes and coverage, the alpha of masked sprites
            // included.
            const std::vector<double> cover = coverage(one);
            const std::vector<double> denseCover = coverage(many);
            EXPECT_LT(inkDifference(boxDown(denseCover, one.width(), one.height(), k), cover),
                      12.0);
            // Its outlines have sharp edges: a narrower rim of part-covered
            // pixels than the seed sprite, which an enlargement would keep.
            EXPECT_LT(rimShare(denseCover), 0.9 * rimShare(cover));
        }
    }
}

TBitmap32 piano(int scale)
{
    const std::string name = scale == 1 ? "piano.bmp" : "piano@" + std::to_string(scale) + "x.bmp";
    return resources::loadBmp(DataFolder / name);
}

TEST(DensePiano, IsTheSeedKeyboardAtScaleTimesThePixels)
{
    const TBitmap32 one = piano(1);
    ASSERT_EQ(one.width(), 561);
    ASSERT_EQ(one.height(), 71);
    for (const int k : Scales) {
        SCOPED_TRACE("scale " + std::to_string(k));
        const TBitmap32 many = piano(k);
        ASSERT_EQ(many.width(), k * one.width());
        ASSERT_EQ(many.height(), k * one.height());
        // The shading runs over the finer rows, not in k-row steps.
        EXPECT_FALSE(many == enlarged(one, k));

        // Every channel, shown at 1x, as the seed picture: key lines, black
        // keys and shading in the same places.
        double worst = 0;
        for (const int shift : {0, 8, 16, 24}) {
            std::vector<double> channel, denseChannel;
            for (const gfx::Color32 c : one.bits())
                channel.push_back((c >> shift) & 0xFF);
            for (const gfx::Color32 c : many.bits())
                denseChannel.push_back((c >> shift) & 0xFF);
            const std::vector<double> down = boxDown(denseChannel, one.width(), one.height(), k);
            double sum = 0;
            for (std::size_t i = 0; i < down.size(); ++i) {
                sum += std::abs(down[i] - channel[i]);
                worst = std::max(worst, std::abs(down[i] - channel[i]));
            }
            EXPECT_LT(sum / static_cast<double>(down.size()), 1.0) << "channel at bit " << shift;
        }
        EXPECT_LT(worst, 4.0);

        // Inside a key, away from its edges, the dense pixels have exactly
        // the key's colour: the keys are not shifted or blurred.
        int checked = 0;
        for (int y = 1; y + 1 < one.height(); ++y) {
            for (int x = 1; x + 1 < one.width(); ++x) {
                const gfx::Color32 c = one.pixel(x, y);
                bool uniform = true;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        uniform = uniform && one.pixel(x + dx, y + dy) == c;
                if (!uniform)
                    continue;
                ++checked;
                for (int j = 0; j < k * k; ++j)
                    ASSERT_EQ(many.pixel(k * x + j % k, k * y + j / k), c)
                        << "at 1x pixel " << x << ", " << y;
            }
        }
        EXPECT_GT(checked, one.width() * one.height() / 3);
    }
}

class DensePackFallback : public testsupport::TempFolder {};

TEST_F(DensePackFallback, AnUnusablePackGivesAnEmptyList)
{
    const gfx::TBitmap32List seed = seedSprites();
    const auto shipped = readBytes(DataFolder / resources::packFileNameFor(2));
    ASSERT_FALSE(shipped.empty());
    const auto repacked = [&](const std::function<void(gfx::TBitmap32List&)>& change) {
        gfx::TBitmap32List list;
        resources::readPack(shipped, list);
        change(list);
        return resources::writePack(list);
    };

    struct Case {
        const char* what;
        std::function<std::vector<std::uint8_t>()> bytes; // none: no file
        bool usable;
    };
    const std::vector<Case> cases = {
        {"the shipped pack, copied", [&] { return shipped; }, true},
        {"no file", nullptr, false},
        {"a truncated file",
         [&] {
             return std::vector<std::uint8_t>(shipped.begin(),
                                              shipped.begin() +
                                                  static_cast<std::ptrdiff_t>(shipped.size() / 2));
         },
         false},
        {"one sprite a pixel too narrow",
         [&] {
             return repacked([](gfx::TBitmap32List& list) {
                 TBitmap32& b = list.bitmap(30);
                 b.setSize(b.width() - 1, b.height());
             });
         },
         false},
        {"one sprite at 1x size",
         [&] {
             return repacked(
                 [&](gfx::TBitmap32List& list) { list.bitmap(24).assign(seed.bitmap(24)); });
         },
         false},
        {"a sprite short",
         [&] {
             return repacked([&](gfx::TBitmap32List& list) {
                 gfx::TBitmap32List shorter;
                 for (int i = 0; i + 1 < list.count(); ++i)
                     shorter.add().assign(list.bitmap(i));
                 list.clear();
                 for (int i = 0; i < shorter.count(); ++i)
                     list.add().assign(shorter.bitmap(i));
             });
         },
         false},
    };
    const std::filesystem::path file = folder / resources::packFileNameFor(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(file);
        if (c.bytes)
            writeBytes(file, c.bytes());
        const gfx::TBitmap32List dense = resources::readDensePack(folder, 2, seed);
        EXPECT_EQ(dense.count(), c.usable ? resources::SpriteCount : 0);
    }
}

} // namespace
