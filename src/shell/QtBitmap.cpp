#include "shell/QtBitmap.h"

#include <algorithm>

namespace shell {

gfx::TBitmap32 toBitmap32(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    gfx::TBitmap32 bitmap(argb.width(), argb.height());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const gfx::Color32*>(argb.constScanLine(y));
        std::copy(row, row + argb.width(), bitmap.scanLine(y).begin());
    }
    return bitmap;
}

QImage toQImage(const gfx::TBitmap32& bitmap)
{
    QImage image(bitmap.width(), bitmap.height(), QImage::Format_ARGB32);
    for (int y = 0; y < bitmap.height(); ++y) {
        const auto line = bitmap.scanLine(y);
        std::copy(line.begin(), line.end(), reinterpret_cast<gfx::Color32*>(image.scanLine(y)));
    }
    return image;
}

} // namespace shell
