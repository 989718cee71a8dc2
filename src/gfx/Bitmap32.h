#pragma once

#include "gfx/Color32.h"

#include <cstdint>
#include <span>
#include <vector>

namespace gfx {

// How a bitmap is put onto another one.
enum class DrawMode {
    Opaque, // copy the pixels as they are
    Blend,  // source-over by per-pixel alpha times master alpha
};

// A 32-bit bitmap with per-pixel alpha: width × height pixels, top row first,
// each row left to right. Copying a bitmap copies its size, pixels and draw
// settings.
class TBitmap32 {
public:
    TBitmap32() = default;
    TBitmap32(int width, int height, Color32 fill = 0);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }

    // Gives the bitmap a new size. The pixels are kept only when the size is
    // unchanged; otherwise every pixel becomes 0 (transparent black).
    // Throws std::invalid_argument for a negative size.
    void setSize(int width, int height);
    void assign(const TBitmap32& other) { *this = other; }
    void fill(Color32 c);

    Color32 pixel(int x, int y) const { return bits_[index(x, y)]; }
    void setPixel(int x, int y, Color32 c) { bits_[index(x, y)] = c; }
    std::span<Color32> bits() { return bits_; }
    std::span<const Color32> bits() const { return bits_; }
    std::span<Color32> scanLine(int y);
    std::span<const Color32> scanLine(int y) const;

    DrawMode drawMode() const { return drawMode_; }
    void setDrawMode(DrawMode mode) { drawMode_ = mode; }
    unsigned masterAlpha() const { return masterAlpha_; }
    void setMasterAlpha(unsigned alpha) { masterAlpha_ = alpha > 255 ? 255 : alpha; }

    // Draws this bitmap onto `target` with its top-left corner at (x, y), by
    // this bitmap's draw mode and master alpha; whatever falls outside
    // `target` is clipped.
    void drawTo(TBitmap32& target, int x, int y) const;

    friend bool operator==(const TBitmap32&, const TBitmap32&) = default;

private:
    std::size_t index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<Color32> bits_;
    DrawMode drawMode_ = DrawMode::Opaque;
    unsigned masterAlpha_ = 255;
};

} // namespace gfx
