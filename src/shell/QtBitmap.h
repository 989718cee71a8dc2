#pragma once

#include "gfx/Bitmap32.h"

#include <QImage>

namespace shell {

// A copy of any QImage as a 32-bit bitmap (non-premultiplied 0xAARRGGBB).
gfx::TBitmap32 toBitmap32(const QImage& image);
// A copy of a bitmap as a Format_ARGB32 QImage.
QImage toQImage(const gfx::TBitmap32& bitmap);

} // namespace shell
