#pragma once

// The sprite pack: every picture the program draws, read once from
// keyresources.dat into an ordered list of 32-bit bitmaps, and the builder
// that makes the pack from the BMP images under Resources/Images/.

#include "gfx/Bitmap32List.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace resources {

// Errors of reading the pack; what() is the text shown to the user.
class EPackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// "Cannot open file %s".
class EFOpenError : public EPackError {
public:
    using EPackError::EPackError;
};
// "Invalid stream format", "Stream read error", "Error reading %s%s%s: %s".
class EReadError : public EPackError {
public:
    using EPackError::EPackError;
};

constexpr std::string_view PackFileName = "keyresources.dat";
constexpr std::string_view ImagesFolder = "Resources/Images";
constexpr int SpriteCount = 59;

// The denser packs drawn for high-density screens: the same sprites in the
// same order and format, every one exactly `scale` times as wide and high.
constexpr int MaxPackScale = 3;
// "keyresources@2x.dat" for 2; the seed pack's name for 1.
std::string packFileNameFor(int scale);
// Reads `folder`/keyresources@<scale>x.dat and checks it against the 1x
// sprites `base`: as many sprites, each `scale` times the size. Returns an
// empty list when the file is missing, unreadable or does not match, so the
// caller falls back to `base` without a word.
gfx::TBitmap32List readDensePack(const std::filesystem::path& folder, int scale,
                                 const gfx::TBitmap32List& base);

// One row of the sprite index table: the image file's name without ".bmp";
// sprites with a mask take their alpha from "<name>-neg.bmp".
struct SpriteFile {
    std::string_view name;
    bool masked;
};

// clang-format off
constexpr std::array<SpriteFile, SpriteCount> SpriteFiles{{
    {"cmajor_treble", false}, {"desmajor_treble", false}, {"dmajor_treble", false},
    {"esmajor_treble", false}, {"emajor_treble", false}, {"fmajor_treble", false},
    {"gesmajor_treble", false}, {"gmajor_treble", false}, {"asmajor_treble", false},
    {"amajor_treble", false}, {"besmajor_treble", false}, {"bmajor_treble", false},
    {"cmajor_bass", false}, {"desmajor_bass", false}, {"dmajor_bass", false},
    {"esmajor_bass", false}, {"emajor_bass", false}, {"fmajor_bass", false},
    {"gesmajor_bass", false}, {"gmajor_bass", false}, {"asmajor_bass", false},
    {"amajor_bass", false}, {"besmajor_bass", false}, {"bmajor_bass", false},
    {"4thnote", true}, {"4thnoteflip", true}, {"4thnote-down", true},
    {"4thnoteflip-down-1", true}, {"4thnoteflip-down-2", true},
    {"flat", true}, {"sharp", true}, {"natural", true}, {"doubleflat", true},
    {"tripleflat", true}, {"doublesharp", true},
    {"ledgerlines1", true}, {"ledgerlines2", true}, {"ledgerlines3", true},
    {"pointer", false}, {"right", false}, {"wrong", false}, {"eye", false},
    {"clefs", false}, {"intervalbars", false},
    {"blackkey", true}, {"white-c", true}, {"white-d", true}, {"white-e", true},
    {"white-f", true}, {"white-g", true}, {"white-a", true}, {"white-b", true},
    {"I", false}, {"II", false}, {"III", false}, {"IV", false}, {"V", false},
    {"VI", false}, {"VII", false},
}};
// clang-format on

// Gives `colour` the mask's size and, at every pixel, alpha = the mask's
// intensity (R × 61 + G × 174 + B × 21) >> 8, keeping its own red, green and
// blue (its colours are lost when the sizes differ).
void alphaFromMask(gfx::TBitmap32& colour, const gfx::TBitmap32& mask);

// Reads a whole pack into `list` (emptied first when the pack holds an item).
// Throws EReadError with the reader's texts.
void readPack(std::span<const std::uint8_t> pack, gfx::TBitmap32List& list);
// Header and object stream of `list`, as loadImages writes them.
std::vector<std::uint8_t> writePack(const gfx::TBitmap32List& list);

class TKeyResources {
public:
    // Reads `folder`/keyresources.dat (by default from the current working
    // directory). Throws EFOpenError or EReadError; the message names the
    // file and the problem.
    explicit TKeyResources(const std::filesystem::path& folder = std::filesystem::current_path());

    // An empty sprite list bound to `folder`, for building a pack there.
    static TKeyResources unloaded(const std::filesystem::path& folder);

    // Appends the 59 sprites built from `folder`/Resources/Images/ and writes
    // the pack to `folder`/keyresources.dat. Stops at the first image that
    // cannot be loaded, keeping the sprites appended so far, and writes the
    // pack only when every image loaded. Returns whether the pack was
    // written; `why` receives the reason when it was not.
    bool loadImages(std::string* why = nullptr);

    const std::filesystem::path& packPath() const { return packPath_; }

    gfx::TBitmap32List imgVorlanta;

private:
    struct NoLoad {};
    TKeyResources(const std::filesystem::path& folder, NoLoad);

    std::filesystem::path folder_;
    std::filesystem::path packPath_;
};

} // namespace resources
