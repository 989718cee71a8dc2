#include "resources/uResources.h"

#include "platform/Files.h"
#include "resources/uBmp.h"

#include <array>
#include <fstream>
#include <system_error>

namespace resources {

namespace {

// --- The pack's framing -----------------------------------------------------

constexpr std::uint8_t ResourceTypeIsNumber = 0xFF;
constexpr std::uint16_t RawDataType = 10;
constexpr std::uint16_t ResourceFlags = 0x1030;
constexpr std::size_t MaxResourceName = 63;
constexpr std::string_view Signature = "TPF0";
constexpr std::string_view ListClass = "TBitmap32List";
constexpr std::string_view BitmapsProperty = "Bitmaps";
constexpr std::string_view DataProperty = "Bitmap.Data";
constexpr std::string_view ResamplerProperty = "Bitmap.ResamplerClassName";
constexpr std::string_view Resampler = "TNearestResampler";
constexpr std::string_view BitmapSettingPrefix = "Bitmap.";

// A pack larger than this is not one of ours; refusing it keeps a damaged
// or hostile file from exhausting memory.
constexpr std::uintmax_t MaxPackBytes = 64u << 20;
// Nesting of skipped values deeper than this is garbage, not a setting.
constexpr int MaxValueDepth = 16;

enum ValueType : std::uint8_t {
    vaNull = 0x00,
    vaList = 0x01,
    vaInt8 = 0x02,
    vaInt16 = 0x03,
    vaInt32 = 0x04,
    vaExtended = 0x05,
    vaString = 0x06,
    vaIdent = 0x07,
    vaFalse = 0x08,
    vaTrue = 0x09,
    vaBinary = 0x0A,
    vaSet = 0x0B,
    vaLString = 0x0C,
    vaNil = 0x0D,
    vaCollection = 0x0E,
    vaSingle = 0x0F,
    vaCurrency = 0x10,
    vaDate = 0x11,
    vaWString = 0x12,
    vaInt64 = 0x13,
    vaUTF8String = 0x14,
};

[[noreturn]] void invalidFormat() { throw EReadError("Invalid stream format"); }
[[noreturn]] void readError() { throw EReadError("Stream read error"); }

// Reads the little-endian values of the object stream; running past the end
// is "Stream read error".
class PackReader {
public:
    explicit PackReader(std::span<const std::uint8_t> bytes)
        : bytes_(bytes)
    {
    }

    std::size_t position() const { return pos_; }
    void seek(std::size_t pos)
    {
        if (pos > bytes_.size())
            readError();
        pos_ = pos;
    }

    std::span<const std::uint8_t> take(std::size_t n)
    {
        if (n > bytes_.size() - pos_)
            readError();
        const auto s = bytes_.subspan(pos_, n);
        pos_ += n;
        return s;
    }
    std::uint8_t byte() { return take(1)[0]; }
    std::uint8_t peek() const
    {
        if (pos_ >= bytes_.size())
            readError();
        return bytes_[pos_];
    }
    std::uint32_t u16()
    {
        const auto b = take(2);
        return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8;
    }
    std::uint32_t u32()
    {
        const auto b = take(4);
        return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
               std::uint32_t{b[3]} << 24;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::string shortString()
    {
        const auto n = byte();
        const auto s = take(n);
        return {s.begin(), s.end()};
    }

    // An integer value: its type byte, then 1, 2 or 4 bytes.
    std::int32_t integer()
    {
        switch (byte()) {
        case vaInt8:
            return static_cast<std::int8_t>(byte());
        case vaInt16:
            return static_cast<std::int16_t>(u16());
        case vaInt32:
            return i32();
        default:
            invalidFormat();
        }
    }
    bool nextIsInteger() const
    {
        const auto t = peek();
        return t == vaInt8 || t == vaInt16 || t == vaInt32;
    }

    // Reads past one value of any type the stream format knows.
    void skipValue(int depth = 0)
    {
        if (depth > MaxValueDepth)
            invalidFormat();
        switch (byte()) {
        case vaList:
            while (peek() != vaNull)
                skipValue(depth + 1);
            byte();
            break;
        case vaInt8:
            take(1);
            break;
        case vaInt16:
            take(2);
            break;
        case vaInt32:
        case vaSingle:
            take(4);
            break;
        case vaExtended:
            take(10);
            break;
        case vaCurrency:
        case vaDate:
        case vaInt64:
            take(8);
            break;
        case vaString:
        case vaIdent:
            take(byte());
            break;
        case vaFalse:
        case vaTrue:
        case vaNil:
            break;
        case vaBinary:
        case vaLString:
        case vaUTF8String:
            take(u32());
            break;
        case vaWString:
            take(std::size_t{u32()} * 2);
            break;
        case vaSet:
            while (!shortString().empty()) {
            }
            break;
        case vaCollection:
            while (peek() != vaNull) {
                if (nextIsInteger())
                    integer();
                if (byte() != vaList)
                    invalidFormat();
                while (peek() != vaNull) {
                    shortString();
                    skipValue(depth + 1);
                }
                byte();
            }
            byte();
            break;
        default:
            invalidFormat();
        }
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

[[noreturn]] void noSuchProperty(const std::string& object, const std::string& property)
{
    throw EReadError("Error reading " + object + "." + property + ": Property does not exist");
}

void readBitmapData(PackReader& in, gfx::TBitmap32& bitmap)
{
    if (in.byte() != vaBinary)
        invalidFormat();
    const std::size_t length = in.u32();
    const auto block = in.take(length); // the whole block, surplus included
    PackReader data(block);
    const std::int32_t width = data.i32();
    const std::int32_t height = data.i32();
    if (width < 0 || height < 0)
        invalidFormat();
    const auto count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (count > (length - 8) / 4)
        readError();
    const auto pixels = data.take(static_cast<std::size_t>(count) * 4);
    bitmap.setSize(width, height);
    auto bits = bitmap.bits();
    for (std::size_t i = 0; i < bits.size(); ++i)
        bits[i] = std::uint32_t{pixels[4 * i]} | std::uint32_t{pixels[4 * i + 1]} << 8 |
                  std::uint32_t{pixels[4 * i + 2]} << 16 | std::uint32_t{pixels[4 * i + 3]} << 24;
}

void readItems(PackReader& in, gfx::TBitmap32List& list, const std::string& owner)
{
    bool first = true;
    while (in.peek() != vaNull) {
        if (in.nextIsInteger())
            in.integer(); // the item's position, written by some writers
        if (in.byte() != vaList)
            invalidFormat();
        if (first)
            list.clear();
        first = false;
        gfx::TBitmap32& bitmap = list.add();
        while (in.peek() != vaNull) {
            const std::string name = in.shortString();
            if (name == DataProperty)
                readBitmapData(in, bitmap);
            else if (name.starts_with(BitmapSettingPrefix))
                in.skipValue(); // drawing settings: the drawing code sets its own
            else
                noSuchProperty(owner, name);
        }
        in.byte();
    }
    in.byte();
}

// --- Writing ------------------------------------------------------------------

class PackWriter {
public:
    void byte(std::uint8_t b) { out_.push_back(b); }
    void u16(std::uint32_t v)
    {
        byte(static_cast<std::uint8_t>(v));
        byte(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(v & 0xFFFFu);
        u16(v >> 16);
    }
    void chars(std::string_view s) { out_.insert(out_.end(), s.begin(), s.end()); }
    void shortString(std::string_view s)
    {
        byte(static_cast<std::uint8_t>(s.size()));
        chars(s);
    }
    void patchU32(std::size_t at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            out_[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    std::size_t size() const { return out_.size(); }
    std::vector<std::uint8_t> take() { return std::move(out_); }

private:
    std::vector<std::uint8_t> out_;
};

std::vector<std::uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EFOpenError("Cannot open file " + path.string());
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > MaxPackBytes)
        invalidFormat();
    std::vector<std::uint8_t> bytes;
    std::array<char, 1 << 16> chunk{};
    while (in) {
        in.read(chunk.data(), chunk.size());
        const auto got = static_cast<std::size_t>(in.gcount());
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
        if (bytes.size() > MaxPackBytes)
            invalidFormat();
    }
    if (in.bad())
        readError();
    return bytes;
}

} // namespace

// --- Masks ----------------------------------------------------------------------

void alphaFromMask(gfx::TBitmap32& colour, const gfx::TBitmap32& mask)
{
    colour.setSize(mask.width(), mask.height());
    const auto m = mask.bits();
    auto c = colour.bits();
    for (std::size_t i = 0; i < c.size(); ++i) {
        const unsigned intensity =
            (gfx::redOf(m[i]) * 61 + gfx::greenOf(m[i]) * 174 + gfx::blueOf(m[i]) * 21) >> 8;
        c[i] = (c[i] & 0x00FFFFFFu) | gfx::Color32{intensity} << 24;
    }
}

// --- Reading and writing the pack ---------------------------------------------

void readPack(std::span<const std::uint8_t> pack, gfx::TBitmap32List& list)
{
    PackReader in(pack);
    // Resource header: only the type is checked; the name, flags and length
    // are skipped.
    if (in.byte() != ResourceTypeIsNumber || in.u16() != RawDataType)
        invalidFormat();
    std::size_t nameLength = 0;
    while (in.byte() != 0)
        if (++nameLength > MaxResourceName)
            invalidFormat();
    in.take(2 + 4);

    const auto signature = in.take(Signature.size());
    if (!std::equal(signature.begin(), signature.end(), Signature.begin()))
        invalidFormat();
    if ((in.peek() & 0xF0) == 0xF0) {
        const unsigned flags = in.byte() & 0x0Fu;
        if ((flags & 2u) != 0)
            in.integer();
    }
    const std::string className = in.shortString();
    const std::string rootName = in.shortString();
    const std::string owner = rootName.empty() ? className : rootName;

    while (in.peek() != vaNull) {
        const std::string property = in.shortString();
        if (property != BitmapsProperty)
            noSuchProperty(owner, property);
        if (in.byte() != vaCollection)
            invalidFormat();
        readItems(in, list, owner);
    }
    in.byte();
    if (in.byte() != vaNull) // the list owns no child objects
        invalidFormat();
}

std::vector<std::uint8_t> writePack(const gfx::TBitmap32List& list)
{
    PackWriter out;
    out.byte(ResourceTypeIsNumber);
    out.u16(RawDataType);
    for (char ch : ListClass)
        out.byte(static_cast<std::uint8_t>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch));
    out.byte(0);
    out.u16(ResourceFlags);
    const std::size_t lengthField = out.size();
    out.u32(0);
    const std::size_t streamStart = out.size();

    out.chars(Signature);
    out.shortString(ListClass);
    out.shortString("");
    out.shortString(BitmapsProperty);
    out.byte(vaCollection);
    for (int i = 0; i < list.count(); ++i) {
        const gfx::TBitmap32& bitmap = list.bitmap(i);
        out.byte(vaList);
        out.shortString(ResamplerProperty);
        out.byte(vaString);
        out.shortString(Resampler);
        if (!bitmap.empty()) {
            out.shortString(DataProperty);
            out.byte(vaBinary);
            out.u32(static_cast<std::uint32_t>(8 + 4 * bitmap.bits().size()));
            out.u32(static_cast<std::uint32_t>(bitmap.width()));
            out.u32(static_cast<std::uint32_t>(bitmap.height()));
            for (gfx::Color32 c : bitmap.bits())
                out.u32(c);
        }
        out.byte(vaNull);
    }
    out.byte(vaNull); // end of the collection
    out.byte(vaNull); // end of the root's properties
    out.byte(vaNull); // end of its (empty) child list
    out.patchU32(lengthField, static_cast<std::uint32_t>(out.size() - streamStart));
    return out.take();
}

// --- TKeyResources ----------------------------------------------------------------

TKeyResources::TKeyResources(const std::filesystem::path& folder)
    : TKeyResources(folder, NoLoad{})
{
    readPack(readFile(packPath_), imgVorlanta);
}

TKeyResources::TKeyResources(const std::filesystem::path& folder, NoLoad)
    : folder_(folder),
      packPath_(folder / PackFileName)
{
}

TKeyResources TKeyResources::unloaded(const std::filesystem::path& folder)
{
    return TKeyResources(folder, NoLoad{});
}

bool TKeyResources::loadImages(std::string* why)
{
    const std::filesystem::path images = folder_ / ImagesFolder;
    const auto file = [&](std::string_view name, std::string_view suffix) {
        return images / (std::string(name) + std::string(suffix) + ".bmp");
    };
    try {
        for (const SpriteFile& sprite : SpriteFiles) {
            gfx::TBitmap32 colour = loadBmp(file(sprite.name, ""));
            if (sprite.masked)
                alphaFromMask(colour, loadBmp(file(sprite.name, "-neg")));
            imgVorlanta.add().assign(colour);
        }
        platform::replaceFile(packPath_, writePack(imgVorlanta));
        return true;
    } catch (const std::exception& e) {
        if (why != nullptr)
            *why = e.what();
        return false;
    }
}

} // namespace resources

// --- Dense packs -------------------------------------------------------------

namespace resources {

std::string packFileNameFor(int scale)
{
    if (scale <= 1)
        return std::string(PackFileName);
    return "keyresources@" + std::to_string(scale) + "x.dat";
}

gfx::TBitmap32List readDensePack(const std::filesystem::path& folder, int scale,
                                 const gfx::TBitmap32List& base)
{
    gfx::TBitmap32List list;
    if (scale < 2 || scale > MaxPackScale)
        return list;
    try {
        readPack(readFile(folder / packFileNameFor(scale)), list);
    } catch (const std::exception&) {
        list.clear();
        return list;
    }
    bool matches = list.count() == base.count();
    for (int i = 0; matches && i < list.count(); ++i)
        matches = list.bitmap(i).width() == scale * base.bitmap(i).width() &&
                  list.bitmap(i).height() == scale * base.bitmap(i).height();
    if (!matches)
        list.clear();
    return list;
}

} // namespace resources
