#include "resources/uBmp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace resources {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& b, std::uint32_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A BMP with a plain 40-byte info header, `rows` already laid out and padded.
Bytes handMadeBmp(int width, int height, int bpp, const Bytes& rows, const Bytes& palette = {},
                  std::uint32_t compression = 0, const Bytes& masks = {})
{
    Bytes b{'B', 'M'};
    const auto offset = static_cast<std::uint32_t>(14 + 40 + masks.size() + palette.size());
    put32(b, offset + static_cast<std::uint32_t>(rows.size()));
    put32(b, 0);
    put32(b, offset);
    put32(b, 40);
    put32(b, static_cast<std::uint32_t>(width));
    put32(b, static_cast<std::uint32_t>(height));
    put16(b, 1);
    put16(b, static_cast<std::uint32_t>(bpp));
    put32(b, compression);
    put32(b, static_cast<std::uint32_t>(rows.size()));
    put32(b, 0);
    put32(b, 0);
    put32(b, static_cast<std::uint32_t>(palette.size() / 4));
    put32(b, 0);
    b.insert(b.end(), masks.begin(), masks.end());
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

TEST(Bmp, TwentyFourBitRowsAreBottomUpAndOpaque)
{
    // 2 × 2: bottom row blue, red; top row green, white; rows padded to 8 bytes.
    const Bytes rows{255, 0, 0, 0, 0, 255, 0, 0, 0, 255, 0, 255, 255, 255, 0, 0};
    const gfx::TBitmap32 b = decodeBmp(handMadeBmp(2, 2, 24, rows));
    EXPECT_EQ(b.pixel(0, 1), gfx::color32(0, 0, 255));
    EXPECT_EQ(b.pixel(1, 1), gfx::color32(255, 0, 0));
    EXPECT_EQ(b.pixel(0, 0), gfx::color32(0, 255, 0));
    EXPECT_EQ(b.pixel(1, 0), gfx::color32(255, 255, 255));
}

TEST(Bmp, ThirtyTwoBitKeepsItsAlphaEvenWhenAllZero)
{
    // Negative height: top-down rows.
    const Bytes rows{10, 20, 30, 0, 1, 2, 3, 128};
    const gfx::TBitmap32 b = decodeBmp(handMadeBmp(1, -2, 32, rows));
    EXPECT_EQ(b.pixel(0, 0), gfx::color32(30, 20, 10, 0));
    EXPECT_EQ(b.pixel(0, 1), gfx::color32(3, 2, 1, 128));
}

TEST(Bmp, BitfieldsWithoutAlphaMaskAreOpaque)
{
    Bytes masks;
    put32(masks, 0x00FF0000);
    put32(masks, 0x0000FF00);
    put32(masks, 0x000000FF);
    const Bytes rows{10, 20, 30, 0};
    const gfx::TBitmap32 b = decodeBmp(handMadeBmp(1, 1, 32, rows, {}, 3, masks));
    EXPECT_EQ(b.pixel(0, 0), gfx::color32(30, 20, 10, 255));
}

TEST(Bmp, PalettedImagesLookUpTheirColours)
{
    const Bytes palette{0, 0, 0, 0, 255, 255, 255, 0}; // black, white
    // 1 bit per pixel, 3 pixels: white, black, white -> 0b101..., padded to 4 bytes.
    const gfx::TBitmap32 b = decodeBmp(handMadeBmp(3, 1, 1, {0xA0, 0, 0, 0}, palette));
    EXPECT_EQ(b.pixel(0, 0), gfx::color32(255, 255, 255));
    EXPECT_EQ(b.pixel(1, 0), gfx::color32(0, 0, 0));
    EXPECT_EQ(b.pixel(2, 0), gfx::color32(255, 255, 255));
}

TEST(Bmp, WrittenFilesReadBackExactly)
{
    gfx::TBitmap32 b(3, 2);
    b.setPixel(0, 0, gfx::color32(1, 2, 3, 4));
    b.setPixel(2, 1, gfx::color32(250, 128, 7, 0));
    b.setPixel(1, 1, gfx::color32(9, 9, 9, 255));
    EXPECT_EQ(decodeBmp(encodeBmp(b, 32)), b);

    gfx::TBitmap32 opaque = b;
    for (auto& c : opaque.bits())
        c |= 0xFF000000u;
    EXPECT_EQ(decodeBmp(encodeBmp(b, 24)), opaque);
}

struct BadBmp {
    const char* name;
    Bytes bytes;
    std::string message;
};

void PrintTo(const BadBmp& row, std::ostream* os) { *os << row.name; }

class BadBmps : public ::testing::TestWithParam<BadBmp> {};

TEST_P(BadBmps, GiveAClearError)
{
    try {
        (void)decodeBmp(GetParam().bytes);
        FAIL() << "decoded";
    } catch (const EBmpError& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().message);
    }
}

Bytes truncated(Bytes b, std::size_t n)
{
    b.resize(n);
    return b;
}

Bytes patched(Bytes b, std::size_t at, std::uint8_t v)
{
    b[at] = v;
    return b;
}

const Bytes ok24 = handMadeBmp(2, 2, 24, Bytes(16, 0));

INSTANTIATE_TEST_SUITE_P(
    Bmp, BadBmps,
    ::testing::Values(
        BadBmp{"Empty", {}, "Not a BMP file"},
        BadBmp{"NotBM", patched(handMadeBmp(1, 1, 24, Bytes(4, 0)), 0, 'X'), "Not a BMP file"},
        BadBmp{"PixelsCutShort", truncated(ok24, ok24.size() - 1), "Truncated BMP file"},
        BadBmp{"HeaderCutShort", truncated(ok24, 30), "Truncated BMP file"},
        BadBmp{"SixteenBits", handMadeBmp(1, 1, 16, Bytes(4, 0)),
               "Unsupported BMP: 16 bits per pixel"},
        BadBmp{"RunLengthCompressed", handMadeBmp(1, 1, 8, Bytes(4, 0), Bytes(8, 0), 1),
               "Unsupported BMP compression 1"},
        BadBmp{"ZeroWidth", handMadeBmp(0, 1, 24, {}), "Unsupported BMP size 0 x 1"},
        BadBmp{"HugeSides", handMadeBmp(100000, 100000, 24, Bytes(4, 0)),
               "Unsupported BMP size 100000 x 100000"},
        BadBmp{"PaletteIndexBeyondPalette", handMadeBmp(1, 1, 8, {5, 0, 0, 0}, Bytes(8, 0)),
               "Invalid BMP palette index"}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace resources
