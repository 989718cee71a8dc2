#include "gfx/Bitmap32.h"

#include "gfx/BlendRow.h"

#include <algorithm>
#include <stdexcept>

namespace gfx {

TBitmap32::TBitmap32(int width, int height, Color32 fill)
{
    setSize(width, height);
    this->fill(fill);
}

void TBitmap32::setSize(int width, int height)
{
    if (width < 0 || height < 0)
        throw std::invalid_argument("Bitmap size must not be negative");
    if (width == width_ && height == height_)
        return;
    // Either side 0 makes the bitmap empty; keep both sizes so that callers can
    // read back what they set.
    bits_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    width_ = width;
    height_ = height;
}

void TBitmap32::fill(Color32 c) { std::fill(bits_.begin(), bits_.end(), c); }

std::span<Color32> TBitmap32::scanLine(int y)
{
    return std::span<Color32>(bits_).subspan(index(0, y), static_cast<std::size_t>(width_));
}

std::span<const Color32> TBitmap32::scanLine(int y) const
{
    return std::span<const Color32>(bits_).subspan(index(0, y), static_cast<std::size_t>(width_));
}

void TBitmap32::drawTo(TBitmap32& target, int x, int y) const
{
    if (empty() || (drawMode_ == DrawMode::Blend && masterAlpha_ == 0))
        return;
    // 64-bit edges: a bitmap placed far off the target must not overflow.
    const auto x0 = static_cast<int>(std::max<std::int64_t>(x, 0));
    const auto y0 = static_cast<int>(std::max<std::int64_t>(y, 0));
    const auto x1 =
        static_cast<int>(std::min<std::int64_t>(std::int64_t{x} + width_, target.width()));
    const auto y1 =
        static_cast<int>(std::min<std::int64_t>(std::int64_t{y} + height_, target.height()));
    if (x0 >= x1 || y0 >= y1)
        return;
    const auto count = static_cast<std::size_t>(x1 - x0);
    if (drawMode_ == DrawMode::Opaque) {
        for (int ty = y0; ty < y1; ++ty) {
            const auto src = scanLine(ty - y).subspan(static_cast<std::size_t>(x0 - x), count);
            std::copy(src.begin(), src.end(), target.scanLine(ty).begin() + x0);
        }
        return;
    }
    blendRowsOver(&bits_[index(x0 - x, y0 - y)], static_cast<std::size_t>(width_),
                  &target.bits_[target.index(x0, y0)], static_cast<std::size_t>(target.width_),
                  count, static_cast<std::size_t>(y1 - y0), masterAlpha_);
}

} // namespace gfx
