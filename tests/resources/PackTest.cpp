#include "resources/uResources.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace resources {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Builds object streams byte by byte, so that each malformed pack below
// shows exactly what is wrong with it.
class Stream {
public:
    Stream& byte(std::uint8_t b)
    {
        bytes.push_back(b);
        return *this;
    }
    Stream& u16(std::uint32_t v)
    {
        return byte(static_cast<std::uint8_t>(v)).byte(static_cast<std::uint8_t>(v >> 8));
    }
    Stream& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Stream& chars(std::string_view s)
    {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    Stream& str(std::string_view s) { return byte(static_cast<std::uint8_t>(s.size())).chars(s); }

    Stream& header(std::string_view name = "TBITMAP32LIST")
    {
        return byte(0xFF).u16(10).chars(name).byte(0).u16(0x1030).u32(0);
    }
    Stream& root(std::string_view rootName = "")
    {
        return chars("TPF0").str("TBitmap32List").str(rootName);
    }
    Stream& bitmaps() { return str("Bitmaps").byte(0x0E); }
    // Bitmap.Data of a w × h sprite whose pixels are 0, 1, 2, ...; `extra`
    // surplus bytes in the block; `length` overrides the block length.
    Stream& data(std::int32_t w, std::int32_t h, std::uint32_t extra = 0, std::int64_t length = -1)
    {
        const auto count = static_cast<std::uint32_t>(w > 0 && h > 0 ? w * h : 0);
        str("Bitmap.Data").byte(0x0A);
        u32(length >= 0 ? static_cast<std::uint32_t>(length) : 8 + 4 * count + extra);
        u32(static_cast<std::uint32_t>(w)).u32(static_cast<std::uint32_t>(h));
        for (std::uint32_t i = 0; i < count; ++i)
            u32(i);
        for (std::uint32_t i = 0; i < extra; ++i)
            byte(0xEE);
        return *this;
    }
    Stream& item(std::int32_t w, std::int32_t h) { return byte(0x01).data(w, h).byte(0); }
    Stream& end() { return byte(0).byte(0).byte(0); } // collection, properties, children

    Bytes bytes;
};

gfx::TBitmap32 numbered(int w, int h)
{
    gfx::TBitmap32 b(w, h);
    for (std::size_t i = 0; i < b.bits().size(); ++i)
        b.bits()[i] = static_cast<gfx::Color32>(i);
    return b;
}

gfx::TBitmap32List read(const Bytes& pack)
{
    gfx::TBitmap32List list;
    readPack(pack, list);
    return list;
}

// --- Masks --------------------------------------------------------------------------

TEST(AlphaFromMask, IntensityOfTheMaskBecomesAlpha)
{
    struct Case {
        gfx::Color32 mask;
        unsigned alpha;
    };
    const Case cases[] = {{gfx::color32(255, 255, 255), 255}, {gfx::color32(0, 0, 0), 0},
                          {gfx::color32(128, 128, 128), 128}, {gfx::color32(255, 0, 0), 60},
                          {gfx::color32(0, 255, 0), 173},     {gfx::color32(0, 0, 255), 20}};
    for (const Case& c : cases) {
        gfx::TBitmap32 colour(1, 1, gfx::color32(10, 20, 30, 99));
        alphaFromMask(colour, gfx::TBitmap32(1, 1, c.mask));
        EXPECT_EQ(colour.pixel(0, 0), gfx::color32(10, 20, 30, c.alpha)) << std::hex << c.mask;
    }
}

TEST(AlphaFromMask, ColourTakesTheMasksSize)
{
    gfx::TBitmap32 colour(2, 2, gfx::color32(10, 20, 30));
    alphaFromMask(colour, gfx::TBitmap32(3, 1, gfx::color32(255, 255, 255)));
    EXPECT_EQ(colour.width(), 3);
    EXPECT_EQ(colour.height(), 1);
    EXPECT_EQ(gfx::alphaOf(colour.pixel(2, 0)), 255u);
}

// --- Writing ------------------------------------------------------------------------

TEST(PackWriter, WritesHeaderStreamAndFilledInLength)
{
    gfx::TBitmap32List list;
    list.add().assign(numbered(2, 1));
    list.add(); // empty: no Bitmap.Data
    const Bytes pack = writePack(list);

    const Bytes expected = Stream{}
                               .header()
                               .root()
                               .bitmaps()
                               .byte(0x01)
                               .str("Bitmap.ResamplerClassName")
                               .byte(0x06)
                               .str("TNearestResampler")
                               .data(2, 1)
                               .byte(0)
                               .byte(0x01)
                               .str("Bitmap.ResamplerClassName")
                               .byte(0x06)
                               .str("TNearestResampler")
                               .byte(0)
                               .end()
                               .bytes;
    ASSERT_EQ(pack.size(), expected.size());
    const std::uint32_t length = pack[19] | pack[20] << 8 | pack[21] << 16 | pack[22] << 24;
    EXPECT_EQ(length, pack.size() - 23);
    EXPECT_TRUE(std::equal(pack.begin(), pack.begin() + 19, expected.begin()));
    EXPECT_TRUE(std::equal(pack.begin() + 23, pack.end(), expected.begin() + 23));
}

TEST(PackWriter, RoundTripKeepsEveryPixelAndEmptySprites)
{
    gfx::TBitmap32List list;
    list.add().assign(numbered(3, 2));
    list.add().setSize(0, 7); // written without data: reads back 0 × 0
    list.add().assign(gfx::TBitmap32(1, 1, gfx::color32(1, 2, 3, 0)));
    const gfx::TBitmap32List back = read(writePack(list));
    ASSERT_EQ(back.count(), 3);
    EXPECT_EQ(back.bitmap(0), numbered(3, 2));
    EXPECT_EQ(back.bitmap(1).width(), 0);
    EXPECT_EQ(back.bitmap(1).height(), 0);
    EXPECT_EQ(back.bitmap(2).pixel(0, 0), gfx::color32(1, 2, 3, 0));
}

// --- Reading what others may write ---------------------------------------------------

struct GoodPack {
    const char* name;
    Bytes bytes;
    int count;
};

void PrintTo(const GoodPack& row, std::ostream* os) { *os << row.name; }

class GoodPacks : public ::testing::TestWithParam<GoodPack> {};

TEST_P(GoodPacks, Load)
{
    const gfx::TBitmap32List list = read(GetParam().bytes);
    ASSERT_EQ(list.count(), GetParam().count);
    EXPECT_EQ(list.bitmap(0), numbered(2, 2));
}

Stream twoSprites(Stream s) { return s.bitmaps().item(2, 2).item(1, 1).end(); }

Stream manyItems(int n)
{
    Stream s;
    s.header().root().bitmaps().item(2, 2);
    for (int i = 1; i < n; ++i)
        s.item(1, 1);
    return s.end();
}

INSTANTIATE_TEST_SUITE_P(
    Pack, GoodPacks,
    ::testing::Values(
        GoodPack{"Plain", twoSprites(Stream{}.header().root()).bytes, 2},
        GoodPack{"AnyResourceName", twoSprites(Stream{}.header("X").root()).bytes, 2},
        GoodPack{"PrefixWithInteger",
                 twoSprites(Stream{}
                                .header()
                                .chars("TPF0")
                                .byte(0xF2)
                                .byte(0x03)
                                .u16(7)
                                .str("TBitmap32List")
                                .str(""))
                     .bytes,
                 2},
        GoodPack{
            "PrefixWithoutInteger",
            twoSprites(Stream{}.header().chars("TPF0").byte(0xF1).str("Whatever").str("")).bytes,
            2},
        GoodPack{"ItemsPrecededByIntegers",
                 Stream{}
                     .header()
                     .root()
                     .bitmaps()
                     .byte(0x02)
                     .byte(0)
                     .item(2, 2)
                     .byte(0x04)
                     .u32(1)
                     .item(1, 1)
                     .end()
                     .bytes,
                 2},
        GoodPack{"SurplusBytesInTheDataBlock",
                 Stream{}.header().root().bitmaps().byte(0x01).data(2, 2, 13).byte(0).end().bytes,
                 1},
        GoodPack{"DrawingSettingsAreDropped",
                 Stream{}
                     .header()
                     .root()
                     .bitmaps()
                     .byte(0x01)
                     .str("Bitmap.DrawMode")
                     .byte(0x07)
                     .str("dmBlend")
                     .str("Bitmap.MasterAlpha")
                     .byte(0x03)
                     .u16(128)
                     .str("Bitmap.Outer")
                     .byte(0x01)
                     .byte(0x09)
                     .byte(0x01)
                     .byte(0x08)
                     .byte(0)
                     .byte(0)
                     .str("Bitmap.Flags")
                     .byte(0x0B)
                     .str("a")
                     .str("b")
                     .str("")
                     .str("Bitmap.Name")
                     .byte(0x0C)
                     .u32(3)
                     .chars("abc")
                     .data(2, 2)
                     .byte(0)
                     .end()
                     .bytes,
                 1},
        GoodPack{"MoreThanTheProgramDraws", manyItems(70).bytes, 70},
        GoodPack{"FewerThanTheProgramDraws", manyItems(3).bytes, 3}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Pack, ItemWithoutDataIsAnEmptySprite)
{
    const gfx::TBitmap32List list =
        read(Stream{}.header().root().bitmaps().byte(0x01).byte(0).item(1, 1).end().bytes);
    ASSERT_EQ(list.count(), 2);
    EXPECT_TRUE(list.bitmap(0).empty());
    EXPECT_EQ(list.bitmap(1).width(), 1);
}

TEST(Pack, ItemsReplaceWhatTheListHeldButAnEmptyCollectionKeepsIt)
{
    gfx::TBitmap32List list;
    list.add().setSize(9, 9);
    readPack(Stream{}.header().root().bitmaps().end().bytes, list);
    ASSERT_EQ(list.count(), 1);
    readPack(Stream{}.header().root().bitmaps().item(2, 2).end().bytes, list);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.bitmap(0), numbered(2, 2));
}

TEST(Pack, AMissingSpriteFailsWhenItIsDrawn)
{
    const gfx::TBitmap32List list = read(manyItems(3).bytes);
    try {
        (void)list.bitmap(43);
        FAIL() << "no error";
    } catch (const gfx::EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (43)");
    }
}

// --- Malformed packs ------------------------------------------------------------

struct BadPack {
    const char* name;
    Bytes bytes;
    std::string message;
};

void PrintTo(const BadPack& row, std::ostream* os) { *os << row.name; }

class BadPacks : public ::testing::TestWithParam<BadPack> {};

TEST_P(BadPacks, FailWithTheirText)
{
    gfx::TBitmap32List list;
    try {
        readPack(GetParam().bytes, list);
        FAIL() << "loaded";
    } catch (const EReadError& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().message);
    }
}

const std::string formatError = "Invalid stream format";
const std::string readError = "Stream read error";

Stream oneItem(Stream s) { return s.byte(0x01); }
Bytes withLastByte(Bytes b, std::uint8_t v)
{
    b.back() = v;
    return b;
}
Bytes nested(int depth)
{
    Stream s;
    s.header().root().bitmaps().byte(0x01).str("Bitmap.Deep");
    for (int i = 0; i < depth; ++i)
        s.byte(0x01);
    return s.bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Pack, BadPacks,
    ::testing::Values(
        BadPack{"EmptyFile", {}, readError},
        BadPack{"ResourceTypeNotANumber", Stream{}.byte(0x00).u16(10).bytes, formatError},
        BadPack{"NotRawData", Stream{}.byte(0xFF).u16(11).byte(0).u16(0).u32(0).bytes, formatError},
        BadPack{"ResourceNameTooLong",
                Stream{}.header(std::string(64, 'N')).root().bitmaps().end().bytes, formatError},
        BadPack{"ResourceNameUnterminated", Stream{}.byte(0xFF).u16(10).chars("TBITMAP").bytes,
                readError},
        BadPack{"WrongSignature",
                twoSprites(Stream{}.header().chars("TPF1").str("TBitmap32List").str("")).bytes,
                formatError},
        BadPack{"GarbageAfterTheHeader", Stream{}.header().chars("\x13\x37garbage").bytes,
                formatError},
        BadPack{"PrefixIntegerOfWrongType",
                Stream{}.header().chars("TPF0").byte(0xF2).byte(0x06).str("x").bytes, formatError},
        BadPack{"UnknownRootProperty",
                Stream{}.header().root().str("Colours").byte(0x0E).end().bytes,
                "Error reading TBitmap32List.Colours: Property does not exist"},
        BadPack{"UnknownPropertyNamesTheRootName",
                Stream{}.header().root("Sprites").str("Colours").bytes,
                "Error reading Sprites.Colours: Property does not exist"},
        BadPack{"UnknownItemProperty",
                oneItem(Stream{}.header().root().bitmaps())
                    .str("Palette")
                    .byte(0x08)
                    .byte(0)
                    .end()
                    .bytes,
                "Error reading TBitmap32List.Palette: Property does not exist"},
        BadPack{"BitmapsNotACollection",
                Stream{}.header().root().str("Bitmaps").byte(0x06).str("x").end().bytes,
                formatError},
        BadPack{"ItemNotAList", Stream{}.header().root().bitmaps().byte(0x06).str("x").end().bytes,
                formatError},
        BadPack{"DataNotBinary",
                oneItem(Stream{}.header().root().bitmaps())
                    .str("Bitmap.Data")
                    .byte(0x06)
                    .str("x")
                    .bytes,
                formatError},
        BadPack{"UnknownValueType",
                oneItem(Stream{}.header().root().bitmaps()).str("Bitmap.X").byte(0x99).bytes,
                formatError},
        BadPack{"ValuesNestedTooDeep", nested(10000), formatError},
        BadPack{"BlockShorterThanItsPixels",
                oneItem(Stream{}.header().root().bitmaps()).data(2, 2, 0, 8 + 4 * 4 - 1).bytes,
                readError},
        BadPack{"BlockShorterThanTheSize",
                oneItem(Stream{}.header().root().bitmaps())
                    .str("Bitmap.Data")
                    .byte(0x0A)
                    .u32(4)
                    .u32(1)
                    .bytes,
                readError},
        BadPack{"NegativeWidth",
                oneItem(Stream{}.header().root().bitmaps()).data(-2, 2, 0, 8).byte(0).end().bytes,
                formatError},
        BadPack{"HugeSizeInASmallBlock",
                oneItem(Stream{}.header().root().bitmaps())
                    .str("Bitmap.Data")
                    .byte(0x0A)
                    .u32(16)
                    .u32(0x7FFFFFFF)
                    .u32(0x7FFFFFFF)
                    .u32(0)
                    .u32(0)
                    .byte(0)
                    .end()
                    .bytes,
                readError},
        BadPack{"BlockLongerThanTheFile",
                oneItem(Stream{}.header().root().bitmaps())
                    .str("Bitmap.Data")
                    .byte(0x0A)
                    .u32(0xFFFFFFF0)
                    .u32(1)
                    .u32(1)
                    .bytes,
                readError},
        BadPack{"ChildObjectsAfterTheList",
                withLastByte(twoSprites(Stream{}.header().root()).bytes, 0x07), formatError}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Pack, EveryTruncationIsAReadError)
{
    const Bytes whole = twoSprites(Stream{}.header().root()).bytes;
    for (std::size_t n = 0; n < whole.size(); ++n) {
        gfx::TBitmap32List list;
        try {
            readPack(std::span(whole).first(n), list);
            ADD_FAILURE() << "loaded when cut to " << n << " bytes";
        } catch (const EReadError& e) {
            EXPECT_EQ(std::string(e.what()), readError) << "cut to " << n << " bytes";
        }
    }
}

} // namespace
} // namespace resources
