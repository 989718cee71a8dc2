#include "resources/uBmp.h"

#include <array>
#include <bit>
#include <fstream>
#include <iterator>

namespace resources {

namespace {

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::uint32_t BI_ALPHABITFIELDS = 6;
constexpr std::size_t FileHeaderSize = 14;

std::uint32_t u16(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8;
}

std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at)
{
    return u16(b, at) | u16(b, at + 2) << 16;
}

std::int32_t i32(std::span<const std::uint8_t> b, std::size_t at)
{
    return static_cast<std::int32_t>(u32(b, at));
}

[[noreturn]] void fail(const std::string& why) { throw EBmpError(why); }

// One channel read through a bit mask, scaled to 0..255.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit Channel(std::uint32_t m = 0)
        : mask(m)
    {
        if (m != 0) {
            shift = std::countr_zero(m);
            max = m >> shift;
            if ((max & (max + 1)) != 0)
                fail("Unsupported bitmap: colour masks must be contiguous");
        }
    }
    unsigned read(std::uint32_t px, unsigned absent) const
    {
        if (mask == 0)
            return absent;
        const std::uint32_t v = (px & mask) >> shift;
        return max == 255 ? v : static_cast<unsigned>((v * 255u + max / 2) / max);
    }
};

void put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    put16(out, v & 0xFFFFu);
    put16(out, v >> 16);
}

} // namespace

gfx::TBitmap32 decodeBmp(std::span<const std::uint8_t> file)
{
    if (file.size() < FileHeaderSize + 12 || file[0] != 'B' || file[1] != 'M')
        fail("Not a BMP file");
    const std::uint32_t dataOffset = u32(file, 10);
    const std::uint32_t headerSize = u32(file, FileHeaderSize);
    if (headerSize != 12 && headerSize < 40)
        fail("Unsupported BMP header size " + std::to_string(headerSize));
    if (file.size() < FileHeaderSize + headerSize)
        fail("Truncated BMP file");

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t planes = 0;
    std::uint32_t bpp = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t coloursUsed = 0;
    std::size_t paletteEntrySize = 4;
    if (headerSize == 12) {
        width = u16(file, 18);
        height = static_cast<std::int16_t>(u16(file, 20));
        planes = u16(file, 22);
        bpp = u16(file, 24);
        paletteEntrySize = 3;
    } else {
        width = i32(file, 18);
        height = i32(file, 22);
        planes = u16(file, 26);
        bpp = u16(file, 28);
        compression = u32(file, 30);
        coloursUsed = u32(file, 46);
    }
    const bool topDown = height < 0;
    height = height < 0 ? -height : height;
    if (planes != 1)
        fail("Not a BMP file");
    if (width <= 0 || height <= 0 || width > MaxBmpSide || height > MaxBmpSide)
        fail("Unsupported BMP size " + std::to_string(width) + " x " + std::to_string(height));

    const bool bitfields = compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS;
    if (compression != BI_RGB && !(bitfields && bpp == 32))
        fail("Unsupported BMP compression " + std::to_string(compression));
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        fail("Unsupported BMP: " + std::to_string(bpp) + " bits per pixel");

    // Colour masks of a 32-bit image; BI_RGB is B, G, R and the alpha byte.
    std::array<Channel, 4> channels{Channel(0x00FF0000), Channel(0x0000FF00), Channel(0x000000FF),
                                    Channel(0xFF000000)};
    if (bitfields) {
        // A plain info header is followed by the masks; later headers hold them.
        const std::size_t at = FileHeaderSize + 40;
        const bool withAlpha = compression == BI_ALPHABITFIELDS || headerSize >= 56;
        if (file.size() < at + (withAlpha ? 16 : 12))
            fail("Truncated BMP file");
        channels = {Channel(u32(file, at)), Channel(u32(file, at + 4)), Channel(u32(file, at + 8)),
                    Channel(withAlpha ? u32(file, at + 12) : 0)};
    }

    std::vector<gfx::Color32> palette;
    if (bpp <= 8) {
        const std::size_t maxColours = std::size_t{1} << bpp;
        const std::size_t count = coloursUsed == 0 ? maxColours : coloursUsed;
        if (count > maxColours)
            fail("Invalid BMP palette");
        const std::size_t at = FileHeaderSize + headerSize;
        if (file.size() < at + count * paletteEntrySize)
            fail("Truncated BMP file");
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t e = at + i * paletteEntrySize;
            palette.push_back(gfx::color32(file[e + 2], file[e + 1], file[e]));
        }
    }

    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    const std::size_t stride = (w * bpp + 31) / 32 * 4;
    if (dataOffset > file.size() || (file.size() - dataOffset) / stride < h)
        fail("Truncated BMP file");

    gfx::TBitmap32 bitmap(static_cast<int>(width), static_cast<int>(height));
    for (std::size_t row = 0; row < h; ++row) {
        const auto src = file.subspan(dataOffset + row * stride, stride);
        const std::size_t y = topDown ? row : h - 1 - row;
        auto dst = bitmap.scanLine(static_cast<int>(y));
        for (std::size_t x = 0; x < w; ++x) {
            gfx::Color32 c = 0;
            if (bpp == 32) {
                const std::uint32_t px = u32(src, x * 4);
                c = gfx::color32(channels[0].read(px, 0), channels[1].read(px, 0),
                                 channels[2].read(px, 0), channels[3].read(px, 255));
            } else if (bpp == 24) {
                c = gfx::color32(src[x * 3 + 2], src[x * 3 + 1], src[x * 3]);
            } else {
                const std::size_t bit = x * bpp;
                const unsigned shift = static_cast<unsigned>(8 - bpp - bit % 8);
                const std::size_t index = (src[bit / 8] >> shift) & ((1u << bpp) - 1u);
                if (index >= palette.size())
                    fail("Invalid BMP palette index");
                c = palette[index];
            }
            dst[x] = c;
        }
    }
    return bitmap;
}

gfx::TBitmap32 loadBmp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        fail("Cannot open file " + path.string());
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (in.bad())
        fail("Cannot read file " + path.string());
    try {
        return decodeBmp(bytes);
    } catch (const EBmpError& e) {
        fail(path.string() + ": " + e.what());
    }
}

std::vector<std::uint8_t> encodeBmp(const gfx::TBitmap32& bitmap, int bitsPerPixel)
{
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        fail("BMP files are written with 24 or 32 bits per pixel");
    if (bitmap.empty())
        fail("An empty bitmap cannot be written as BMP");
    const bool alpha = bitsPerPixel == 32;
    const auto w = static_cast<std::uint32_t>(bitmap.width());
    const auto h = static_cast<std::uint32_t>(bitmap.height());
    const std::uint32_t stride = (w * static_cast<std::uint32_t>(bitsPerPixel) + 31) / 32 * 4;
    const std::uint32_t headerSize = alpha ? 108 : 40;
    const std::uint32_t dataOffset = static_cast<std::uint32_t>(FileHeaderSize) + headerSize;

    std::vector<std::uint8_t> out;
    out.reserve(dataOffset + stride * h);
    out.push_back('B');
    out.push_back('M');
    put32(out, dataOffset + stride * h);
    put32(out, 0);
    put32(out, dataOffset);
    put32(out, headerSize);
    put32(out, w);
    put32(out, h); // bottom-up
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(bitsPerPixel));
    put32(out, alpha ? BI_BITFIELDS : BI_RGB);
    put32(out, stride * h);
    put32(out, 2835); // 72 dpi
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    if (alpha) {
        put32(out, 0x00FF0000);
        put32(out, 0x0000FF00);
        put32(out, 0x000000FF);
        put32(out, 0xFF000000);
        put32(out, 0x73524742);            // 'sRGB'
        out.insert(out.end(), 36 + 12, 0); // endpoints and gamma, unused for sRGB
    }
    for (std::uint32_t row = 0; row < h; ++row) {
        const auto line = bitmap.scanLine(static_cast<int>(h - 1 - row));
        for (gfx::Color32 c : line) {
            out.push_back(static_cast<std::uint8_t>(gfx::blueOf(c)));
            out.push_back(static_cast<std::uint8_t>(gfx::greenOf(c)));
            out.push_back(static_cast<std::uint8_t>(gfx::redOf(c)));
            if (alpha)
                out.push_back(static_cast<std::uint8_t>(gfx::alphaOf(c)));
        }
        out.insert(out.end(), stride - w * static_cast<std::uint32_t>(bitsPerPixel / 8), 0);
    }
    return out;
}

void saveBmp(const gfx::TBitmap32& bitmap, const std::filesystem::path& path, int bitsPerPixel)
{
    const std::vector<std::uint8_t> bytes = encodeBmp(bitmap, bitsPerPixel);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        fail("Cannot write file " + path.string());
}

} // namespace resources
