#pragma once

// The musical vocabulary shared by the drawable items, the exercise engine
// and the statistics: pitch, clef and key numbering, the key and spelling
// tables, and the staff geometry (TMusicalStaff).

#include "gfx/Bitmap32List.h"
#include "gfx/Image32.h"
#include "platform/Clock.h"

#include <array>
#include <cstdint>
#include <random>
#include <string_view>

namespace notation {

// --- Pitch ----------------------------------------------------------------
// A pitch is a MIDI note number (60 = middle C, C4).

constexpr int pitchClassOf(int pitch) { return ((pitch % 12) + 12) % 12; }
constexpr int octaveOf(int pitch) { return (pitch >= 0 ? pitch / 12 : (pitch - 11) / 12) - 1; }

// The pitches an item shows: bit (pitch - 32) for pitches 32..95. Pitches
// outside that range are never entered.
using PitchSet = std::uint64_t;
constexpr int PitchSetLow = 32;
constexpr int PitchSetHigh = 95;

constexpr bool inPitchSetRange(int pitch) { return pitch >= PitchSetLow && pitch <= PitchSetHigh; }
constexpr PitchSet pitchBit(int pitch)
{
    return inPitchSetRange(pitch) ? PitchSet{1} << (pitch - PitchSetLow) : 0;
}
constexpr void includePitch(PitchSet& set, int pitch) { set |= pitchBit(pitch); }
constexpr bool containsPitch(PitchSet set, int pitch) { return (set & pitchBit(pitch)) != 0; }

// --- Clef -----------------------------------------------------------------

// Staff clef, as the staff and the items use it.
constexpr int TrebleClef = 1;
constexpr int BassClef = 2;

// Clef setting of an exercise: 0 treble only, 1 bass only, 2 both.
constexpr std::array<std::string_view, 3> ClefNames{"Treble clef", "Bass clef",
                                                    "Treble & Bass Clef"};

// --- Keys -----------------------------------------------------------------
// Signature index 0..11: the major keys by tonic in chromatic order from C.
// Key index 0..23: 12 + s is the relative minor of major key s.

constexpr int SignatureCount = 12;
constexpr int GFlatMajor = 6;

constexpr std::array<std::string_view, 12> MajorKeyNames{
    "C Major",  "Db Major", "D Major",  "Eb Major", "E Major",  "F Major",
    "Gb Major", "G Major",  "Ab Major", "A Major",  "Bb Major", "B Major"};
constexpr std::array<std::string_view, 12> MinorKeyNames{
    "A Minor",  "Bb Minor", "B Minor", "C Minor",  "C# Minor", "D Minor",
    "Eb Minor", "E Minor",  "F Minor", "F# Minor", "G Minor",  "G# Minor"};

// 1 if the key is spelled with sharps, 0 with flats (C counts as a flat key).
constexpr std::array<int, 12> SharpKeys{0, 0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1};

// Bit p set if pitch class p belongs to the key's major scale.
constexpr std::array<std::uint16_t, 12> ScaleMasks{0xab5, 0x56b, 0xad6, 0x5ad, 0xb5a, 0x6b5,
                                                   0xd6a, 0xad5, 0x5ab, 0xb56, 0x6ad, 0xd5a};

struct KeyRecord {
    std::string_view name;       // tonic of the major key
    std::array<int, 12> altered; // 1 where the signature alters the pitch class
};

// G flat major also marks pitch class 11: it is written C flat.
constexpr std::array<KeyRecord, 12> KeyTable{{
    {"C", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"Db", {0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0}},
    {"D", {0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}},
    {"Eb", {0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0}},
    {"E", {0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 0, 0}},
    {"F", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0}},
    {"Gb", {0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 1}},
    {"G", {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}},
    {"Ab", {0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0}},
    {"A", {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0}},
    {"Bb", {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0}},
    {"B", {0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0}},
}};

// --- Note names and letters, by pitch class ---------------------------------
// Letters: 1 = C, 2 = D, 3 = E, 4 = F, 5 = G, 6 = A, 7 = B.

constexpr std::array<std::string_view, 12> FlatNoteNames{"C",  "Db", "D",  "Eb", "E",  "F",
                                                         "Gb", "G",  "Ab", "A",  "Bb", "B"};
constexpr std::array<std::string_view, 12> SharpNoteNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                          "F#", "G",  "G#", "A",  "A#", "B"};
constexpr std::array<int, 12> FlatLetters{1, 2, 2, 3, 3, 4, 5, 5, 6, 6, 7, 7};
constexpr std::array<int, 12> SharpLetters{1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6, 7};
constexpr std::array<int, 12> BlackKeys{0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0};
constexpr std::array<int, 12> WhiteKeyNumbers{1, 0, 2, 0, 3, 4, 0, 5, 0, 6, 0, 7};

// The name of a pitch class in the spelling of signature index s.
constexpr std::string_view noteNameIn(int s, int pitchClass)
{
    return SharpKeys[static_cast<std::size_t>(s)] == 1
               ? SharpNoteNames[static_cast<std::size_t>(pitchClass)]
               : FlatNoteNames[static_cast<std::size_t>(pitchClass)];
}

// --- Vertical geometry ----------------------------------------------------
// Positions are y pixels of the staff picture. The root position of a pitch
// is the top edge of its stem-up notehead sprite; 5 px per diatonic step.

constexpr int TrebleTableLow = 53;  // F3
constexpr int TrebleTableHigh = 88; // E6
constexpr int BassTableLow = 36;    // C2
constexpr int BassTableHigh = 67;   // G4
constexpr float TrebleMiddleC = 95;
constexpr float BassMiddleC = 135;

// y = (95 or 135) - 5 * (7 * (octave - 4) + letter - 1), by the letter of the
// given spelling. Holds for any pitch; the tables below are this rule over
// the staff ranges.
constexpr float rootPositionByRule(int clef, bool sharpSpelling, int pitch)
{
    const int pc = pitchClassOf(pitch);
    const int letter = sharpSpelling ? SharpLetters[static_cast<std::size_t>(pc)]
                                     : FlatLetters[static_cast<std::size_t>(pc)];
    const float base = clef == TrebleClef ? TrebleMiddleC : BassMiddleC;
    return base - static_cast<float>(5 * (7 * (octaveOf(pitch) - 4) + letter - 1));
}

// A table of root positions over the pitches low..high; read it by pitch.
template <int Low, int High> struct RootPositionTable {
    std::array<float, High - Low + 1> y{};
    static constexpr int low = Low;
    static constexpr int high = High;
    constexpr float operator[](int pitch) const { return y[static_cast<std::size_t>(pitch - Low)]; }
};

template <int Low, int High>
constexpr RootPositionTable<Low, High> makeRootPositions(int clef, bool sharpSpelling)
{
    RootPositionTable<Low, High> t;
    for (int p = Low; p <= High; ++p)
        t.y[static_cast<std::size_t>(p - Low)] = rootPositionByRule(clef, sharpSpelling, p);
    return t;
}

using TreblePositions = RootPositionTable<TrebleTableLow, TrebleTableHigh>;
using BassPositions = RootPositionTable<BassTableLow, BassTableHigh>;

constexpr TreblePositions TrebleFlatPositions =
    makeRootPositions<TrebleTableLow, TrebleTableHigh>(TrebleClef, false);
constexpr TreblePositions TrebleSharpPositions =
    makeRootPositions<TrebleTableLow, TrebleTableHigh>(TrebleClef, true);
constexpr BassPositions BassFlatPositions =
    makeRootPositions<BassTableLow, BassTableHigh>(BassClef, false);
constexpr BassPositions BassSharpPositions =
    makeRootPositions<BassTableLow, BassTableHigh>(BassClef, true);

// A set of root positions, values 0..255.
class PositionSet {
public:
    constexpr PositionSet(std::initializer_list<int> values)
    {
        for (int v : values)
            words_[static_cast<std::size_t>(v >> 6)] |= std::uint64_t{1} << (v & 63);
    }
    constexpr bool contains(float y) const
    {
        const int v = static_cast<int>(y);
        if (static_cast<float>(v) != y || v < 0 || v > 255)
            return false;
        return (words_[static_cast<std::size_t>(v >> 6)] >> (v & 63) & 1u) != 0;
    }

private:
    std::array<std::uint64_t, 4> words_{};
};

// Root positions at which each letter (0 = C .. 6 = B) stands within the
// staff ranges.
constexpr std::array<PositionSet, 7> TrebleLetterPositions{{{25, 60, 95},
                                                            {20, 55, 90},
                                                            {15, 50, 85},
                                                            {45, 80, 115},
                                                            {40, 75, 110},
                                                            {35, 70, 105},
                                                            {30, 65, 100}}};
constexpr std::array<PositionSet, 7> BassLetterPositions{{{135, 170, 205},
                                                          {130, 165, 200},
                                                          {125, 160, 195},
                                                          {120, 155, 190},
                                                          {115, 150, 185},
                                                          {145, 180},
                                                          {140, 175}}};

// Vertical distance between two heads of interval number n (2 second ..
// 8 octave); read by n.
constexpr std::array<float, 9> StepOffsets{0, 0, 5, 10, 15, 20, 25, 30, 35};

// Top y of the ledger-line sprite, by ledger case 1..12 (1..3 above the
// treble staff, 4..6 below it, 7..9 above the bass staff, 10..12 below it).
constexpr std::array<float, 13> LedgerTops{0,   40,  50,  60,  120, 120, 120,
                                           140, 150, 160, 220, 220, 220};

// --- Sprites the staff uses -----------------------------------------------
constexpr int ClefsSprite = 42;        // whole staff, layout 1
constexpr int IntervalBarsSprite = 43; // whole staff, layout 2

// --- TMusicalStaff ----------------------------------------------------------

// The staff geometry bound to the staff image. Items receive it in every
// operation that draws; it also carries what they draw with (the sprite
// list) and the random generator every pitch picker shares.
class TMusicalStaff {
public:
    // layout 1 (wide, heads enter at x 545) or 2 (narrow, at x 275);
    // trebleRange 1 (up to C6) or 2 (up to E6). Sets sprite 42 (layout 1) or
    // 43 (layout 2) as the image's own bitmap. Throws std::invalid_argument
    // for another layout or range, and EListError if the sprite is missing.
    TMusicalStaff(gfx::TImage32& image, const gfx::TBitmap32List& sprites, platform::Clock& clock,
                  int layout, int trebleRange);
    // The same staff drawn with `pictures`, the sprites at `density` times
    // the pixels per side (1..3), for a high-density screen. Geometry still
    // comes from `sprites`; the image gets the density. Throws
    // std::invalid_argument when the two lists do not match.
    TMusicalStaff(gfx::TImage32& image, const gfx::TBitmap32List& sprites,
                  const gfx::TBitmap32List& pictures, int density, platform::Clock& clock,
                  int layout, int trebleRange);

    const bool narrow;
    const int trebleHigh;
    const int trebleLow = TrebleTableLow;
    const int bassHigh = BassTableHigh;
    const int bassLow = BassTableLow;
    const float noteLeft;
    const float accidentalLeftUp;
    const float accidentalLeftUpShifted;
    const float accidentalLeftDownShifted;
    const float accidentalLeftDown;
    const float ledgerLeft;
    const float shiftedNoteLeftUp;
    const float shiftedNoteLeftDown;

    gfx::TImage32& image() const { return image_; }
    // The sprites in logical pixels: their sizes are the staff's geometry.
    const gfx::TBitmap32List& sprites() const { return sprites_; }
    const gfx::TBitmap32& sprite(int index) const { return sprites_.bitmap(index); }
    // What a layer shows for sprite `index`: the sprite at the image's density.
    const gfx::TBitmap32& picture(int index) const { return pictures_.bitmap(index); }
    platform::Clock& clock() const { return clock_; }

    // The root position of the pitch on staff `clef` in the spelling of
    // signature index s. In G flat major pitch class 11 is written C flat, on
    // the C above. Outside the staff ranges the same rule is extended.
    // Throws std::out_of_range for s outside 0..11 or a clef other than 1, 2.
    float getRootPosition(int s, int clef, int pitch) const;

    // A uniform integer in low..high (either order), drawn at once from the
    // staff's generator.
    int randomBetween(int low, int high);
    // Reseeds the random generator from the time of day in milliseconds
    // (UTC): once per run, so a fake clock makes a run reproducible.
    void reseedFromClock();

private:
    gfx::TImage32& image_;
    const gfx::TBitmap32List& sprites_;
    const gfx::TBitmap32List& pictures_;
    platform::Clock& clock_;
    std::mt19937 random_;
};

} // namespace notation
