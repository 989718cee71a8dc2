// Filling a run with questions: notes, intervals, chords, a mix of them,
// chord progressions over a bass interval, and scales; then the hidden
// pointer marks and degree labels.

#include "engine/uSheetMusic.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace engine {

namespace {

using notation::BassClef;
using notation::TrebleClef;

constexpr std::array<int, 14> MajorOneOctave{0, 2, 4, 5, 7, 9, 11, 12, 11, 9, 7, 5, 4, 2};
constexpr std::array<int, 28> MajorTwoOctaves{0,  2,  4,  5,  7,  9,  11, 12, 14, 16,
                                              17, 19, 21, 23, 24, 23, 21, 19, 17, 16,
                                              14, 12, 11, 9,  7,  5,  4,  2};
constexpr std::array<int, 14> MinorOneOctave{0, 2, 3, 5, 7, 8, 10, 12, 10, 8, 7, 5, 3, 2};
constexpr std::array<int, 28> MinorTwoOctaves{0,  2,  3,  5,  7,  8,  10, 12, 14, 15,
                                              17, 19, 20, 22, 24, 22, 20, 19, 17, 15,
                                              14, 12, 10, 8,  7,  5,  3,  2};

constexpr int trebleTonic(int t) { return 60 + t; }    // TrebleTonics
constexpr int lowTrebleTonic(int t) { return 48 + t; } // LowTrebleTonics
constexpr int bassTonic(int t) { return 36 + t; }      // BassTonics

constexpr std::array<int, 5> PrimaryChords{0, 1, 7, 9, 13};    // degrees I, IV, V
constexpr std::array<int, 5> SecondaryChords{0, 2, 8, 12, 14}; // degrees II, III, VI

// The interval kinds a bass may take under each chord kind.
constexpr std::array<std::array<int, 3>, 15> BassIntervals{{{},
                                                            {4, 8, 15},
                                                            {3, 8, 15},
                                                            {4, 9, 15},
                                                            {3, 7, 15},
                                                            {8, 15},
                                                            {8, 15},
                                                            {4, 8},
                                                            {3, 8},
                                                            {4, 8},
                                                            {3, 7},
                                                            {3, 7, 15},
                                                            {3, 8},
                                                            {4, 8},
                                                            {3, 8}}};
constexpr std::array<int, 15> BassIntervalCounts{0, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 3, 2, 2, 2};

int keysNeededFor(int chordKind) { return chordKind >= 7 ? 4 : 3; }

} // namespace

int TSheetMusic::chooseVoice(ClefSetting clef)
{
    if (clef == ClefSetting::Treble)
        return 1;
    if (clef == ClefSetting::Bass)
        return 2;
    return staff.randomBetween(1, 2);
}

void TSheetMusic::reportProgress(std::int32_t i)
{
    // Preparing takes well under a frame; the label speaks only when it
    // ever takes long enough for a player to wonder.
    constexpr std::int64_t DayMs = 86'400'000;
    const std::int64_t elapsed = (staff.clock().timeOfDayMs() - preparingSinceMs_ + DayMs) % DayMs;
    if (elapsed < 100)
        return;
    // Nearest whole percent, halves up.
    const auto percent = (200 * static_cast<std::int64_t>(i) + itemCount) / (2 * itemCount);
    waitLabel.setText(std::to_string(percent) + "%");
    waitLabel.repaintNow();
}

void TSheetMusic::storeNote(int voice, int i, int staffClef, int pitch, bool inKeyOnly)
{
    SheetItem& s = items[static_cast<std::size_t>(voice)][static_cast<std::size_t>(i)];
    s.release();
    auto made = std::make_unique<notation::TNote>(staff, key, staffClef, pitch, inKeyOnly);
    notation::TNote& item = *made;
    s.item = std::move(made);
    item.DrawNote(staff, false);
    s.pitchSet = item.getPitchSet();
    s.keysNeeded = 1;
}

void TSheetMusic::storeInterval(int voice, int i, int staffClef, int kind, int root)
{
    SheetItem& s = items[static_cast<std::size_t>(voice)][static_cast<std::size_t>(i)];
    s.release();
    auto made = std::make_unique<notation::TInterval>(staff, key, staffClef, kind, root);
    notation::TInterval& item = *made;
    s.item = std::move(made);
    item.DrawInterval(staff, false);
    s.pitchSet = item.getPitchSet();
    s.keysNeeded = 2;
}

void TSheetMusic::storeChord(int voice, int i, int staffClef, int kind, int inversion, int degree)
{
    SheetItem& s = items[static_cast<std::size_t>(voice)][static_cast<std::size_t>(i)];
    s.release();
    auto made = std::make_unique<notation::TChord>(staff, key, staffClef, kind, inversion, degree);
    notation::TChord& item = *made;
    s.item = std::move(made);
    item.DrawChord(staff, false);
    s.pitchSet = item.getPitchSet();
    s.keysNeeded = keysNeededFor(kind);
}

void TSheetMusic::generateNotes(ClefSetting setting, std::uint8_t option)
{
    staff.reseedFromClock();
    for (std::int32_t i = 1; i <= static_cast<std::int32_t>(itemCount); ++i) {
        const int voice = chooseVoice(setting);
        storeNote(voice, i, voice, -1, option != 0);
        reportProgress(i);
    }
}

std::vector<std::int32_t> TSheetMusic::drillCandidates(std::int32_t inKey,
                                                       ClefSetting onStaves) const
{
    std::vector<std::int32_t> pitches;
    if (inKey < 0 || inKey >= notation::SignatureCount)
        return pitches;
    const auto inScale = [&](int p) {
        return (notation::ScaleMasks[static_cast<std::size_t>(inKey)] >> (p % 12) & 1u) != 0;
    };
    const int low = onStaves == ClefSetting::Treble ? staff.trebleLow : staff.bassLow;
    const int high = onStaves == ClefSetting::Bass ? staff.bassHigh : staff.trebleHigh;
    for (int p = low; p <= high; ++p) {
        const bool onTreble = p >= staff.trebleLow && p <= staff.trebleHigh;
        const bool onBass = p >= staff.bassLow && p <= staff.bassHigh;
        const bool onStaff = onStaves == ClefSetting::Treble ? onTreble
                             : onStaves == ClefSetting::Bass ? onBass
                                                             : onTreble || onBass;
        if (onStaff && inScale(p))
            pitches.push_back(p);
    }
    return pitches;
}

void TSheetMusic::generateDrill(const std::vector<std::int32_t>& pitches)
{
    for (std::int32_t i = 1; i <= static_cast<std::int32_t>(itemCount); ++i) {
        const int p = pitches[static_cast<std::size_t>(i - 1)];
        // On both staves, middle C and up go on the treble staff, where a
        // pianist reads them.
        const bool treble =
            clefSetting == ClefSetting::Treble || (clefSetting == ClefSetting::Both && p >= 60);
        const int voice = treble ? 1 : 2;
        storeNote(voice, i, voice, p, true);
        reportProgress(i);
    }
}

void TSheetMusic::generateIntervals(ClefSetting setting)
{
    staff.reseedFromClock();
    for (std::int32_t i = 1; i <= static_cast<std::int32_t>(itemCount); ++i) {
        const int voice = chooseVoice(setting);
        int kind = 0;
        do
            kind = staff.randomBetween(1, 15);
        while (!intervalFilter.test(static_cast<std::size_t>(kind)));
        storeInterval(voice, i, voice, kind, -1);
        reportProgress(i);
    }
}

namespace {

struct ChordChoice {
    int kind;
    int inversion;
};

ChordChoice drawChord(notation::TMusicalStaff& staff, const KindFilter& filter)
{
    ChordChoice c{};
    do {
        c.kind = staff.randomBetween(1, 14);
        c.inversion = c.kind >= 7 ? staff.randomBetween(0, 3) : staff.randomBetween(0, 2);
    } while (!filter.test(static_cast<std::size_t>(c.kind)));
    return c;
}

} // namespace

void TSheetMusic::generateChords(ClefSetting setting)
{
    staff.reseedFromClock();
    for (std::int32_t i = 1; i <= static_cast<std::int32_t>(itemCount); ++i) {
        const int voice = chooseVoice(setting);
        const ChordChoice c = drawChord(staff, chordFilter);
        storeChord(voice, i, voice, c.kind, c.inversion, -1);
        reportProgress(i);
    }
}

void TSheetMusic::generateMixed(ClefSetting setting)
{
    staff.reseedFromClock();
    for (std::int32_t i = 1; i <= static_cast<std::int32_t>(itemCount); ++i) {
        const int voice = chooseVoice(setting);
        switch (staff.randomBetween(1, 3)) {
        case 1:
            storeNote(voice, i, voice, -1, false);
            break;
        case 2: {
            int kind = 0;
            do
                kind = staff.randomBetween(1, 15);
            while (!intervalFilter.test(static_cast<std::size_t>(kind)));
            storeInterval(voice, i, voice, kind, -1);
            break;
        }
        default: {
            const ChordChoice c = drawChord(staff, chordFilter);
            storeChord(voice, i, voice, c.kind, c.inversion, -1);
            break;
        }
        }
        reportProgress(i);
    }
}

std::int32_t TSheetMusic::progressionDegree(std::int32_t i) const
{
    const auto row = static_cast<std::size_t>(subKind);
    const int n = ProgressionLengths[row];
    return Progressions[row][static_cast<std::size_t>((i - 1) % n)];
}

void TSheetMusic::generateProgression(std::int32_t variant)
{
    subKind = variant;
    staff.reseedFromClock();
    for (std::int32_t i = 1; i <= static_cast<std::int32_t>(itemCount); ++i) {
        const int d = progressionDegree(i);
        const int r = staff.randomBetween(1, 4);
        int kind = 1;
        if (d == 1 || d == 4 || d == 5)
            kind = PrimaryChords[static_cast<std::size_t>(r)];
        else if (d == 2 || d == 3 || d == 6)
            kind = SecondaryChords[static_cast<std::size_t>(r)];
        const int inversion = kind >= 7 ? staff.randomBetween(0, 3) : staff.randomBetween(0, 2);
        storeChord(1, i, TrebleClef, kind, inversion, d);

        // The bass interval stands on the chord's root, in the highest
        // octave where it fits on the bass staff entirely below the chord.
        const notation::TChord& chord = *items[1][static_cast<std::size_t>(i)].chord();
        const auto& row = BassIntervals[static_cast<std::size_t>(kind)];
        const int rowLength = BassIntervalCounts[static_cast<std::size_t>(kind)];
        int b = row[static_cast<std::size_t>(staff.randomBetween(1, rowLength) - 1)];
        int e = chord.getRoot();
        // Every bass row has a kind that fits below any chord the tables
        // make; the bound only guards against a table edited into one
        // that never fits.
        for (int tries = 0;; ++tries) {
            if (tries > 10000)
                throw std::logic_error("No bass interval fits below the chord");
            const int s = notation::IntervalKinds[static_cast<std::size_t>(b)].semitones;
            if (e + s < staff.bassHigh && e + s < chord.getBass())
                break;
            e -= 12;
            if (e < staff.bassLow) {
                b = row[static_cast<std::size_t>(staff.randomBetween(1, rowLength) - 1)];
                e = chord.getRoot();
            }
        }
        storeInterval(2, i, BassClef, b, e);

        if (debugMode && debugValue < 2) {
            messages_.showMessage(chord.debugInfo() + "\r\n" + "*************" + "\r\n" +
                                  items[2][static_cast<std::size_t>(i)].interval()->debugInfo());
            return; // only question 1 exists then
        }
        reportProgress(i);
    }
}

void TSheetMusic::generateScales(bool minor, std::int32_t key_, ClefSetting setting,
                                 std::int32_t countVariant)
{
    const std::span<const int> table =
        minor ? (countVariant == 1 ? std::span<const int>(MinorOneOctave)
                                   : std::span<const int>(MinorTwoOctaves))
              : (countVariant == 1 ? std::span<const int>(MajorOneOctave)
                                   : std::span<const int>(MajorTwoOctaves));
    const int t = minor ? (key_ + 9) % 12 : key_;
    const bool oneOctave = countVariant == 1;
    const bool inKeyOnly = noteOption != 0;
    for (std::int32_t i = 1; i <= static_cast<std::int32_t>(itemCount); ++i) {
        const int step = table[static_cast<std::size_t>(i - 1) % table.size()];
        const int treblePitch = (oneOctave ? trebleTonic(t) : lowTrebleTonic(t)) + step;
        const int bassPitch = bassTonic(t) + step;
        switch (setting) {
        case ClefSetting::Treble:
            storeNote(1, i, treblePitch < staff.trebleLow ? BassClef : TrebleClef, treblePitch,
                      inKeyOnly);
            break;
        case ClefSetting::Bass:
            storeNote(2, i, bassPitch > staff.bassHigh ? TrebleClef : BassClef, bassPitch,
                      inKeyOnly);
            break;
        case ClefSetting::Both:
            if (treblePitch < staff.trebleLow) {
                storeInterval(2, i, BassClef, 15, bassPitch);
            } else if (bassPitch > staff.bassHigh) {
                storeInterval(1, i, TrebleClef, 15, bassPitch);
            } else {
                storeNote(1, i, TrebleClef, treblePitch, inKeyOnly);
                storeNote(2, i, BassClef, bassPitch, inKeyOnly);
            }
            break;
        }
    }
}

void TSheetMusic::createPointerMarks()
{
    gfx::UpdateBracket bracket(staff.image());
    const gfx::TBitmap32& pointer = staff.picture(PointerSprite);
    for (std::uint32_t i = 1; i <= itemCount; ++i) {
        MarkSlot& m = pointerMarks[i];
        gfx::TBitmapLayer& layer = staff.image().addLayer();
        m.layer = gfx::OwnedLayer(layer);
        gfx::setSprite(layer, pointer, staff.noteLeft, 0, false);
        m.spriteIndex = PointerSprite;
        m.left = staff.noteLeft;
        m.top = 0;
        m.shown = false;
    }
}

void TSheetMusic::createDegreeLabels()
{
    gfx::UpdateBracket bracket(staff.image());
    for (std::uint32_t i = 1; i <= itemCount; ++i) {
        const int sprite = FirstNumeralSprite - 1 + progressionDegree(static_cast<std::int32_t>(i));
        MarkSlot& m = degreeLabels[i];
        gfx::TBitmapLayer& layer = staff.image().addLayer();
        m.layer = gfx::OwnedLayer(layer);
        gfx::setSprite(layer, staff.picture(sprite), staff.noteLeft - 10, 255, false);
        m.spriteIndex = sprite;
        m.left = staff.noteLeft - 10;
        m.top = 255;
        m.shown = false;
    }
}

} // namespace engine
