#pragma once

#include <cstdint>

namespace gfx {

// One pixel: 0xAARRGGBB. Stored little-endian this is B, G, R, A in memory,
// the byte order of the sprite pack and of QImage::Format_ARGB32.
using Color32 = std::uint32_t;

constexpr Color32 color32(unsigned r, unsigned g, unsigned b, unsigned a = 255)
{
    return (Color32{a & 0xFFu} << 24) | (Color32{r & 0xFFu} << 16) | (Color32{g & 0xFFu} << 8) |
           Color32{b & 0xFFu};
}
constexpr unsigned alphaOf(Color32 c) { return c >> 24; }
constexpr unsigned redOf(Color32 c) { return (c >> 16) & 0xFFu; }
constexpr unsigned greenOf(Color32 c) { return (c >> 8) & 0xFFu; }
constexpr unsigned blueOf(Color32 c) { return c & 0xFFu; }

// x * y / 255 rounded to nearest, for x, y in 0..255.
constexpr unsigned mulDiv255(unsigned x, unsigned y) { return (x * y + 127u) / 255u; }

// Source-over blending of `src` onto `dst`. The source counts with its own
// alpha times `masterAlpha`; colour channels mix linearly, and the result's
// alpha is the union of both coverages, so an opaque background stays opaque.
constexpr Color32 blendOver(Color32 src, Color32 dst, unsigned masterAlpha)
{
    const unsigned a = mulDiv255(alphaOf(src), masterAlpha);
    if (a == 0)
        return dst;
    if (a == 255)
        return src;
    const unsigned na = 255u - a;
    const auto mix = [&](unsigned s, unsigned d) { return (s * a + d * na + 127u) / 255u; };
    return color32(mix(redOf(src), redOf(dst)), mix(greenOf(src), greenOf(dst)),
                   mix(blueOf(src), blueOf(dst)), a + mulDiv255(alphaOf(dst), na));
}

// The same colour with each channel scaled by its alpha, rounded to nearest
// (the premultiplied form that Qt's raster painter draws without converting).
constexpr Color32 premultiplied(Color32 c)
{
    const unsigned a = alphaOf(c);
    if (a == 255)
        return c;
    return color32(mulDiv255(redOf(c), a), mulDiv255(greenOf(c), a), mulDiv255(blueOf(c), a), a);
}

} // namespace gfx
