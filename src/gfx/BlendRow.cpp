#include "gfx/BlendRow.h"

#include <algorithm>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gfx {

void blendRowOverScalar(std::span<const Color32> src, std::span<Color32> dst, unsigned masterAlpha)
{
    const std::size_t n = std::min(src.size(), dst.size());
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = blendOver(src[i], dst[i], masterAlpha);
}

#if defined(__SSE2__)

namespace {

// x / 255 rounded down, for 16-bit lanes holding at most 65279: the
// division-free form (x + 1 + (x >> 8)) >> 8, exact over that range.
inline __m128i div255(__m128i x)
{
    const __m128i one = _mm_set1_epi16(1);
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
}

// Four pixels of blendOver at once, given each pixel's effective alpha `a`
// (0..255 in the low 16 bits of its 32-bit lane).
//
// Every channel, alpha included, is (s * a + d * (255 - a) + 127) / 255,
// with the source's alpha byte taken as 255: for the alpha channel that is
// a + (da * (255 - a) + 127) / 255, the union of both coverages. With a = 0
// this gives dst and with a = 255 it gives src, so the shortcuts of
// blendOver need no special case here. Each sum is at most 65152 and fits a
// 16-bit lane.
inline __m128i blend4(__m128i src, __m128i dst, __m128i a)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i c127 = _mm_set1_epi16(127);
    const __m128i c255 = _mm_set1_epi16(255);
    const __m128i s = _mm_or_si128(src, _mm_set1_epi32(static_cast<int>(0xFF000000u)));

    // Each pixel's alpha repeated over its four 16-bit channel lanes.
    const __m128i a2 = _mm_or_si128(a, _mm_slli_epi32(a, 16));
    const __m128i aLo = _mm_unpacklo_epi32(a2, a2);
    const __m128i aHi = _mm_unpackhi_epi32(a2, a2);

    const auto mix = [&](__m128i s16, __m128i d16, __m128i a16) {
        const __m128i na16 = _mm_sub_epi16(c255, a16);
        const __m128i t = _mm_add_epi16(
            _mm_add_epi16(_mm_mullo_epi16(s16, a16), _mm_mullo_epi16(d16, na16)), c127);
        return div255(t);
    };
    const __m128i lo = mix(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(dst, zero), aLo);
    const __m128i hi = mix(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(dst, zero), aHi);
    return _mm_packus_epi16(lo, hi);
}

// One group of four pixels: returns the group's new target pixels. With
// Master, each pixel's alpha is scaled by masterAlpha (below 255).
template <bool Master> inline __m128i blendGroup(__m128i sv, __m128i dv, unsigned masterAlpha)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i a = _mm_srli_epi32(sv, 24);
    if constexpr (Master) // (a * master + 127) / 255; the products fit 16 bits
        a = div255(_mm_add_epi32(_mm_mullo_epi16(a, _mm_set1_epi32(static_cast<int>(masterAlpha))),
                                 _mm_set1_epi32(127)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, zero)) == 0xFFFF)
        return dv; // nothing of the source shows
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_set1_epi32(255))) == 0xFFFF)
        return sv;
    return blend4(sv, dv, a);
}

// Loads and stores of the last one to three pixels of a row; the lanes past
// the row read as transparent black, which leaves the target as it is.
inline __m128i loadPart(const Color32* p, std::size_t count)
{
    const auto one = [](const Color32* q) { return _mm_cvtsi32_si128(static_cast<int>(*q)); };
    switch (count) {
    case 1:
        return one(p);
    case 2:
        return _mm_unpacklo_epi32(one(p), one(p + 1));
    default:
        return _mm_unpacklo_epi64(_mm_unpacklo_epi32(one(p), one(p + 1)), one(p + 2));
    }
}

inline void storePart(Color32* p, std::size_t count, __m128i v)
{
    for (std::size_t k = 0; k < count; ++k) {
        p[k] = static_cast<Color32>(_mm_cvtsi128_si32(v));
        v = _mm_srli_si128(v, 4);
    }
}

template <bool Master>
void blendRow(const Color32* s, Color32* d, std::size_t n, unsigned masterAlpha)
{
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i),
                         blendGroup<Master>(sv, dv, masterAlpha));
    }
    if (i < n)
        storePart(d + i, n - i,
                  blendGroup<Master>(loadPart(s + i, n - i), loadPart(d + i, n - i), masterAlpha));
}

template <bool Master>
void blendRows(const Color32* src, std::size_t srcStride, Color32* dst, std::size_t dstStride,
               std::size_t width, std::size_t rows, unsigned masterAlpha)
{
    for (std::size_t r = 0; r < rows; ++r, src += srcStride, dst += dstStride)
        blendRow<Master>(src, dst, width, masterAlpha);
}

} // namespace

void blendRowsOver(const Color32* src, std::size_t srcStride, Color32* dst, std::size_t dstStride,
                   std::size_t width, std::size_t rows, unsigned masterAlpha)
{
    if (masterAlpha >= 255)
        blendRows<false>(src, srcStride, dst, dstStride, width, rows, 255);
    else
        blendRows<true>(src, srcStride, dst, dstStride, width, rows, masterAlpha);
}

void premultiplyRow(std::span<const Color32> src, std::span<Color32> dst)
{
    const std::size_t n = std::min(src.size(), dst.size());
    const Color32* s = src.data();
    Color32* d = dst.data();
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(sv, opaque), opaque)) == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), sv);
            continue;
        }
        for (std::size_t k = i; k < i + 4; ++k)
            d[k] = premultiplied(s[k]);
    }
    for (; i < n; ++i)
        d[i] = premultiplied(s[i]);
}

#else

void premultiplyRow(std::span<const Color32> src, std::span<Color32> dst)
{
    const std::size_t n = std::min(src.size(), dst.size());
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = premultiplied(src[i]);
}

void blendRowsOver(const Color32* src, std::size_t srcStride, Color32* dst, std::size_t dstStride,
                   std::size_t width, std::size_t rows, unsigned masterAlpha)
{
    for (std::size_t r = 0; r < rows; ++r, src += srcStride, dst += dstStride)
        blendRowOverScalar({src, width}, {dst, width}, masterAlpha);
}

#endif

void blendRowOver(std::span<const Color32> src, std::span<Color32> dst, unsigned masterAlpha)
{
    blendRowsOver(src.data(), 0, dst.data(), 0, std::min(src.size(), dst.size()), 1, masterAlpha);
}

} // namespace gfx
