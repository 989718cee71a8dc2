#pragma once

#include "gfx/Color32.h"

#include <cstddef>
#include <span>

namespace gfx {

// Blends `src` over `dst` pixel by pixel, exactly as blendOver does for each
// pair, over min(src.size(), dst.size()) pixels. Several pixels are handled
// at a time where the processor allows; groups that are wholly transparent
// are skipped and wholly opaque ones copied.
void blendRowOver(std::span<const Color32> src, std::span<Color32> dst, unsigned masterAlpha);

// blendRowOver over `rows` rows: row r of the source starts at
// src + r * srcStride and row r of the target at dst + r * dstStride, each
// `width` pixels long.
void blendRowsOver(const Color32* src, std::size_t srcStride, Color32* dst, std::size_t dstStride,
                   std::size_t width, std::size_t rows, unsigned masterAlpha);

// The same, one pixel at a time with no vector instructions: the reference
// the fast row is checked against, and the fallback for other processors.
void blendRowOverScalar(std::span<const Color32> src, std::span<Color32> dst, unsigned masterAlpha);

// Writes premultiplied(src[i]) to dst[i] over min(src.size(), dst.size())
// pixels; groups of wholly opaque pixels are copied as they are.
void premultiplyRow(std::span<const Color32> src, std::span<Color32> dst);

} // namespace gfx
