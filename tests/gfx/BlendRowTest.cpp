#include "gfx/BlendRow.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace gfx {
namespace {

// Index of the first pixel where the fast row differs from blendOver, or -1.
long firstDifference(const std::vector<Color32>& src, const std::vector<Color32>& dst,
                     unsigned master)
{
    std::vector<Color32> fast = dst;
    blendRowOver(src, fast, master);
    for (std::size_t i = 0; i < src.size(); ++i)
        if (fast[i] != blendOver(src[i], dst[i], master))
            return static_cast<long>(i);
    return -1;
}

// Every source alpha against every pair of channel values, each channel
// taking the pairs in a different order, so a mixed-up channel or a rounding
// slip anywhere in 0..255 shows.
TEST(BlendRow, MatchesBlendOverForEveryAlphaAndChannelPair)
{
    std::vector<Color32> src(256 * 256);
    std::vector<Color32> dst(256 * 256);
    for (unsigned alpha = 0; alpha < 256; ++alpha) {
        for (unsigned s = 0; s < 256; ++s)
            for (unsigned d = 0; d < 256; ++d) {
                src[s * 256 + d] = color32(s, 255 - s, s ^ 0x5Au, alpha);
                dst[s * 256 + d] = color32(d, d ^ 0xA5u, 255 - d, d);
            }
        const long at = firstDifference(src, dst, 255);
        ASSERT_EQ(at, -1) << "source alpha " << alpha << std::hex << " source 0x"
                          << src[static_cast<std::size_t>(at)] << " target 0x"
                          << dst[static_cast<std::size_t>(at)];
    }
}

TEST(BlendRow, MatchesBlendOverForEveryMasterAlpha)
{
    const Color32 targets[] = {color32(0, 0, 0), color32(200, 100, 50, 0),
                               color32(17, 240, 129, 77)};
    std::vector<Color32> src(256);
    std::vector<Color32> dst(256);
    for (unsigned master = 0; master < 256; ++master)
        for (const Color32 target : targets) {
            for (unsigned alpha = 0; alpha < 256; ++alpha) {
                src[alpha] = color32(255 - alpha, alpha, 99, alpha);
                dst[alpha] = target;
            }
            ASSERT_EQ(firstDifference(src, dst, master), -1) << "master alpha " << master;
        }
}

// Rows of every short length, mixing transparent, opaque and partly covered
// pixels, so that groups of every kind meet the row's end; pixels past the
// shorter span are left alone.
TEST(BlendRow, ShortRowsAndUnequalSpansStopAtTheShorter)
{
    std::mt19937 random(7);
    const Color32 kinds[] = {color32(1, 2, 3, 0), color32(9, 8, 7), color32(200, 30, 90, 140)};
    for (std::size_t n = 0; n <= 11; ++n) {
        for (int trial = 0; trial < 50; ++trial) {
            std::vector<Color32> src(n);
            std::vector<Color32> dst(n + 3, color32(40, 50, 60, 70));
            for (auto& p : src)
                p = kinds[random() % 3] ^ (random() & 0x00FFFFFFu);
            std::vector<Color32> want = dst;
            for (std::size_t i = 0; i < n; ++i)
                want[i] = blendOver(src[i], dst[i], 200);
            std::vector<Color32> got = dst;
            blendRowOver(src, got, 200);
            ASSERT_EQ(got, want) << "row of " << n;

            // The target shorter than the source: only its pixels change.
            std::vector<Color32> shortTarget(dst.begin(), dst.begin() + static_cast<long>(n / 2));
            blendRowOver(src, shortTarget, 200);
            ASSERT_EQ(shortTarget,
                      std::vector<Color32>(want.begin(), want.begin() + static_cast<long>(n / 2)));
        }
    }
}

TEST(BlendRow, ScalarRowIsBlendOver)
{
    const std::vector<Color32> src = {color32(255, 0, 0, 128), color32(0, 0, 0, 0),
                                      color32(1, 2, 3)};
    std::vector<Color32> dst = {color32(0, 0, 255), color32(4, 5, 6), color32(7, 8, 9)};
    blendRowOverScalar(src, dst, 255);
    EXPECT_EQ(dst,
              (std::vector<Color32>{color32(128, 0, 127), color32(4, 5, 6), color32(1, 2, 3)}));
}

TEST(Premultiply, ScalesEachChannelByAlphaRoundedToNearest)
{
    EXPECT_EQ(premultiplied(color32(255, 128, 1, 128)), color32(128, 64, 1, 128));
    EXPECT_EQ(premultiplied(color32(10, 20, 30, 0)), 0u);
    EXPECT_EQ(premultiplied(color32(10, 20, 30)), color32(10, 20, 30));
}

// Rows of every length up to 9 mixing opaque and other pixels, so groups of
// four of both kinds and the row's end meet.
TEST(Premultiply, RowMatchesThePixelForm)
{
    std::mt19937 random(11);
    for (std::size_t n = 0; n <= 9; ++n)
        for (int trial = 0; trial < 40; ++trial) {
            std::vector<Color32> src(n);
            for (auto& p : src)
                p = (random() % 3 == 0 ? 0xFF000000u : random() & 0xFF000000u) |
                    (random() & 0x00FFFFFFu);
            std::vector<Color32> want(n + 2, 0x12345678u);
            std::vector<Color32> got = want;
            for (std::size_t i = 0; i < n; ++i)
                want[i] = premultiplied(src[i]);
            premultiplyRow(src, got);
            ASSERT_EQ(got, want) << "row of " << n;
        }
}

} // namespace
} // namespace gfx
