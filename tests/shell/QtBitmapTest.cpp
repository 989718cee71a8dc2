#include "shell/QtBitmap.h"

#include <gtest/gtest.h>

namespace shell {
namespace {

TEST(QtBitmap, ConvertsBothWaysWithoutTouchingAlpha)
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixel(0, 0, qRgba(10, 20, 30, 40));
    image.setPixel(2, 1, qRgba(255, 0, 128, 255));

    const gfx::TBitmap32 bitmap = toBitmap32(image);
    EXPECT_EQ(bitmap.pixel(0, 0), gfx::color32(10, 20, 30, 40));
    EXPECT_EQ(bitmap.pixel(2, 1), gfx::color32(255, 0, 128, 255));
    EXPECT_EQ(bitmap.pixel(1, 0), 0u);
    EXPECT_EQ(toQImage(bitmap), image);

    // Other formats are converted first.
    QImage rgb(1, 1, QImage::Format_RGB888);
    rgb.setPixel(0, 0, qRgb(1, 2, 3));
    EXPECT_EQ(toBitmap32(rgb).pixel(0, 0), gfx::color32(1, 2, 3, 255));
}

} // namespace
} // namespace shell
