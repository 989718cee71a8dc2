#include "gfx/Bitmap32.h"
#include "gfx/Bitmap32List.h"

#include <gtest/gtest.h>

#include <string>

namespace gfx {
namespace {

TEST(Bitmap32, ResizingDropsPixelsButSameSizeKeepsThem)
{
    TBitmap32 b(3, 2, color32(1, 2, 3));
    b.setSize(3, 2);
    EXPECT_EQ(b.pixel(2, 1), color32(1, 2, 3));
    b.setSize(2, 3);
    EXPECT_EQ(b.width(), 2);
    EXPECT_EQ(b.height(), 3);
    for (Color32 c : b.bits())
        EXPECT_EQ(c, 0u);
}

TEST(Bitmap32, RowsAreStoredTopFirst)
{
    TBitmap32 b(2, 2);
    b.setPixel(1, 0, 0xAABBCCDD);
    b.setPixel(0, 1, 0x11223344);
    EXPECT_EQ(b.bits()[1], 0xAABBCCDDu);
    EXPECT_EQ(b.bits()[2], 0x11223344u);
    EXPECT_EQ(b.scanLine(1)[0], 0x11223344u);
}

TEST(Bitmap32, CopyTakesSizePixelsAndDrawSettings)
{
    TBitmap32 src(2, 1, color32(9, 8, 7, 6));
    src.setDrawMode(DrawMode::Blend);
    src.setMasterAlpha(100);
    TBitmap32 dst(5, 5);
    dst.assign(src);
    EXPECT_EQ(dst, src);
    EXPECT_EQ(dst.drawMode(), DrawMode::Blend);
    EXPECT_EQ(dst.masterAlpha(), 100u);
}

TEST(Bitmap32, NegativeSizeIsRejected)
{
    TBitmap32 b;
    EXPECT_THROW(b.setSize(-1, 4), std::invalid_argument);
    EXPECT_THROW(b.setSize(4, -1), std::invalid_argument);
}

TEST(Bitmap32, ZeroSidedBitmapIsEmptyAndDrawsNothing)
{
    TBitmap32 target(2, 2, color32(0, 0, 0));
    TBitmap32 sprite(0, 5);
    EXPECT_TRUE(sprite.empty());
    sprite.drawTo(target, 0, 0);
    EXPECT_EQ(target.pixel(0, 0), color32(0, 0, 0));
}

TEST(Bitmap32, DrawingIsClippedAtEveryEdge)
{
    TBitmap32 target(4, 4, color32(0, 0, 0));
    TBitmap32 sprite(3, 3, color32(255, 255, 255));
    sprite.drawTo(target, -2, -2); // only its bottom-right pixel lands, at (0, 0)
    sprite.drawTo(target, 3, 3);   // only its top-left pixel lands, at (3, 3)
    sprite.drawTo(target, 10, 0);  // entirely outside
    sprite.drawTo(target, 0, -10);
    int white = 0;
    for (Color32 c : target.bits())
        white += c == color32(255, 255, 255) ? 1 : 0;
    EXPECT_EQ(white, 2);
    EXPECT_EQ(target.pixel(0, 0), color32(255, 255, 255));
    EXPECT_EQ(target.pixel(3, 3), color32(255, 255, 255));
}

TEST(Bitmap32List, ReadsItemsByPositionAndKeepsTheirAddresses)
{
    TBitmap32List list;
    TBitmap32& first = list.add();
    first.setSize(1, 1);
    for (int i = 0; i < 100; ++i)
        list.add();
    EXPECT_EQ(list.count(), 101);
    EXPECT_EQ(&list.bitmap(0), &first);
}

TEST(Bitmap32List, BadPositionNamesTheIndex)
{
    TBitmap32List list;
    list.add();
    list.add();
    for (int bad : {2, 59, -1}) {
        try {
            (void)list.bitmap(bad);
            ADD_FAILURE() << "no error for " << bad;
        } catch (const EListError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "List index out of bounds (" + std::to_string(bad) + ")");
            EXPECT_EQ(e.index(), bad);
        }
    }
}

} // namespace
} // namespace gfx
