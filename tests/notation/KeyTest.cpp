#include "StaffFixture.h"
#include "notation/uKey.h"

namespace notation {
namespace {

class KeyTest : public StaffFixture {};

TEST_F(KeyTest, StartsWithCMajorOnTheFirstTwoLayers)
{
    const TKey key(staff);
    ASSERT_EQ(image.layerCount(), 2);
    EXPECT_EQ(key.getTrebleLayerIndex(), 0);
    EXPECT_EQ(key.getBassLayerIndex(), 1);
    expectSpriteAt(image.layer(0), 0, 40, 70);
    expectSpriteAt(image.layer(1), 12, 40, 170);
    EXPECT_TRUE(image.layer(0).visible());
    EXPECT_TRUE(image.layer(1).visible());
    EXPECT_EQ(key.getCurrentKey(), 0);
}

TEST_F(KeyTest, DrawKeyShowsBothSignaturesInOneRepaint)
{
    TKey key(staff);
    repaints = 0;
    key.DrawKey(staff, 7);
    EXPECT_EQ(repaints, 1);
    expectSpriteAt(image.layer(0), 7, 40, 70);
    expectSpriteAt(image.layer(1), 19, 40, 170);
    EXPECT_EQ(key.getCurrentKey(), 7);
}

TEST_F(KeyTest, SetCurrentKeyDoesNotRedraw)
{
    TKey key(staff);
    key.DrawKey(staff, 7);
    repaints = 0;
    key.setCurrentKey(3);
    EXPECT_EQ(key.getCurrentKey(), 3);
    EXPECT_EQ(repaints, 0);
    expectSpriteAt(image.layer(0), 7, 40, 70);
}

TEST_F(KeyTest, LaterLayersComingAndGoingLeaveTheSignatureLayersInPlace)
{
    TKey key(staff);
    gfx::OwnedLayer a(image.addLayer());
    gfx::OwnedLayer b(image.addLayer());
    gfx::TBitmapLayer& c = image.addLayer();
    gfx::setSprite(c, sprite(24), 275, 95, true);
    a.reset();
    b.reset();
    key.DrawKey(staff, 11);
    expectSpriteAt(image.layer(0), 11, 40, 70);
    expectSpriteAt(image.layer(1), 23, 40, 170);
    expectSpriteAt(c, 24, 275, 95); // untouched
}

TEST_F(KeyTest, UnknownSignatureIsRejected)
{
    TKey key(staff);
    EXPECT_THROW(key.DrawKey(staff, 12), std::out_of_range);
    EXPECT_THROW(key.DrawKey(staff, -1), std::out_of_range);
    EXPECT_EQ(key.getCurrentKey(), 0);
}

} // namespace
} // namespace notation
