#include "shell/ImageView.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace shell {
namespace {

constexpr gfx::Color32 white = gfx::color32(255, 255, 255);
constexpr gfx::Color32 red = gfx::color32(255, 0, 0);

class ImageViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        image.bitmap().assign(gfx::TBitmap32(40, 30, white));
        view.resize(40, 30);
        view.setImage(&image);
    }

    gfx::Color32 shown(int x, int y) const { return view.picture().pixel(x, y); }

    gfx::TImage32 image;
    ImageView view;
};

TEST_F(ImageViewTest, ShowsTheComposedPicture)
{
    {
        gfx::UpdateBracket bracket(image);
        gfx::TBitmapLayer& layer = image.addLayer();
        gfx::TBitmap32 dot(2, 2, red);
        dot.setDrawMode(gfx::DrawMode::Blend);
        layer.setBitmap(dot);
        layer.setLocation({10, 5, 12, 7});
    }
    EXPECT_EQ(view.picture().size(), QSize(40, 30));
    EXPECT_EQ(shown(10, 5), red);
    EXPECT_EQ(shown(11, 6), red);
    EXPECT_EQ(shown(12, 6), white);
}

TEST_F(ImageViewTest, RecomposesOnlyWhenTheImageAnnouncesAChange)
{
    image.BeginUpdate();
    gfx::TBitmapLayer& layer = image.addLayer();
    layer.setBitmap(gfx::TBitmap32(1, 1, red));
    layer.setLocation({3, 3, 4, 4});
    image.EndUpdate();
    EXPECT_EQ(shown(3, 3), white); // bracket closed, change not yet announced

    image.Changed();
    EXPECT_EQ(shown(3, 3), red);

    image.bitmap().setPixel(0, 0, red); // edited without an announcement
    EXPECT_EQ(shown(0, 0), white);
}

// The picture is kept premultiplied, so painting it needs no conversion;
// read back as a colour, a partly covered pixel is what was composed.
TEST_F(ImageViewTest, ThePictureIsPremultiplied)
{
    image.bitmap().setPixel(1, 1, gfx::color32(0, 0, 0, 0));
    image.bitmap().setPixel(2, 1, gfx::color32(255, 0, 0, 128));
    image.Changed();
    const QImage& picture = view.picture();
    ASSERT_EQ(picture.format(), QImage::Format_ARGB32_Premultiplied);
    const auto* row = reinterpret_cast<const gfx::Color32*>(picture.constScanLine(1));
    EXPECT_EQ(row[0], white);
    EXPECT_EQ(row[1], 0u);
    EXPECT_EQ(row[2], gfx::color32(128, 0, 0, 128));
    EXPECT_EQ(picture.pixelColor(2, 1).rgba(), gfx::color32(255, 0, 0, 128));
}

TEST_F(ImageViewTest, ReportsMousePressAndReleaseInPicturePixels)
{
    QSignalSpy downs(&view, &ImageView::mouseDown);
    QSignalSpy ups(&view, &ImageView::mouseUp);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(12, 25));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(13, 26));
    ASSERT_EQ(downs.count(), 1);
    ASSERT_EQ(ups.count(), 1);
    EXPECT_EQ(downs[0][0].value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_EQ(downs[0][1].toInt(), 12);
    EXPECT_EQ(downs[0][2].toInt(), 25);
    EXPECT_EQ(ups[0][1].toInt(), 13);
    EXPECT_EQ(ups[0][2].toInt(), 26);
}

TEST(ImageViewLifetime, ADestroyedViewNoLongerListens)
{
    gfx::TImage32 image;
    image.bitmap().assign(gfx::TBitmap32(4, 4, white));
    {
        ImageView view;
        view.setImage(&image);
    }
    gfx::UpdateBracket bracket(image);
    image.addLayer();
}

} // namespace
} // namespace shell
