#pragma once

#include "ShippedSprites.h"
#include "gfx/Image32.h"
#include "notation/uMusicalStaff.h"
#include "platform/testing/FakeClock.h"

#include <gtest/gtest.h>

namespace notation {

// The main window's staff (layout 2, treble up to E6) on an in-memory image
// with the shipped sprites, a fake clock, and a count of repaint
// notifications.
class StaffFixture : public ::testing::Test {
protected:
    StaffFixture()
    {
        image.setOnChange([this] { ++repaints; });
    }

    const gfx::TBitmap32& sprite(int index) const { return staff.sprite(index); }

    // The layer shows a copy of `index` as a blended sprite at (left, top).
    void expectSpriteAt(const gfx::TBitmapLayer& layer, int index, float left, float top) const
    {
        const gfx::TBitmap32& s = sprite(index);
        EXPECT_EQ(layer.bitmap(),
                  [&] {
                      gfx::TBitmap32 b = s;
                      b.setDrawMode(gfx::DrawMode::Blend);
                      b.setMasterAlpha(255);
                      return b;
                  }())
            << "sprite " << index;
        EXPECT_EQ(layer.location(), (gfx::FloatRect{left, top, left + static_cast<float>(s.width()),
                                                    top + static_cast<float>(s.height())}))
            << "sprite " << index;
    }

    platform::testing::FakeClock clock;
    gfx::TImage32 image;
    TMusicalStaff staff{image, testsupport::shippedSprites(), clock, 2, 2};
    int repaints = 0;
};

} // namespace notation
