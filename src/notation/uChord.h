#pragma once

#include "notation/uMusicalStaff.h"
#include "notation/uNoteElement.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace notation {

struct ChordKind {
    int count;                    // elements in use, 3 or 4
    std::array<int, 4> semitones; // of each element above the root, in root position
    std::array<int, 4> degrees;   // interval number of each element above the root
};

// Chord kinds 1..14 (index 0 is unused).
constexpr int ChordKindCount = 14;
constexpr std::array<ChordKind, 15> ChordKinds{{
    {0, {0, 0, 0, 0}, {0, 0, 0, 0}},
    {3, {0, 4, 7, -1}, {1, 3, 5, -1}}, // Major
    {3, {0, 3, 7, -1}, {1, 3, 5, -1}}, // Minor
    {3, {0, 4, 8, -1}, {1, 3, 5, -1}}, // Augmented
    {3, {0, 3, 6, -1}, {1, 3, 5, -1}}, // Diminished
    {3, {0, 2, 7, -1}, {1, 2, 5, -1}}, // Sus2
    {3, {0, 5, 7, -1}, {1, 4, 5, -1}}, // Sus4
    {4, {0, 4, 7, 9}, {1, 3, 5, 6}},   // Sixth
    {4, {0, 3, 7, 9}, {1, 3, 5, 6}},   // Minor Sixth
    {4, {0, 4, 7, 10}, {1, 3, 5, 7}},  // Seventh
    {4, {0, 3, 6, 10}, {1, 3, 5, 7}},  // Half-Dim Seventh
    {4, {0, 3, 6, 9}, {1, 3, 5, 7}},   // Fully-Dim Seventh
    {4, {0, 3, 7, 10}, {1, 3, 5, 7}},  // Minor Seventh
    {4, {0, 4, 7, 11}, {1, 3, 5, 7}},  // Major Seventh
    {4, {0, 3, 7, 11}, {1, 3, 5, 7}},  // Minor Major Seventh
}};
constexpr std::array<std::string_view, 15> ChordNames{"",
                                                      "Major",
                                                      "Minor",
                                                      "Augmented",
                                                      "Diminished",
                                                      "Sus2",
                                                      "Sus4",
                                                      "Sixth",
                                                      "Minor Sixth",
                                                      "Seventh",
                                                      "Half-Dim Seventh",
                                                      "Fully-Dim Seventh",
                                                      "Minor Seventh",
                                                      "Major Seventh",
                                                      "Minor Major Seventh"};

// The chord kinds that may stand on a root g semitones above the tonic of
// the major key: bit k for kind k. Only the seven scale steps allow any.
constexpr std::uint16_t chordKindSet(std::initializer_list<int> kinds)
{
    std::uint16_t set = 0;
    for (int k : kinds)
        set = static_cast<std::uint16_t>(set | 1u << k);
    return set;
}
constexpr std::array<std::uint16_t, 12> AllowedChords{chordKindSet({1, 3, 4, 5, 6, 7, 9, 11, 13}),
                                                      0,
                                                      chordKindSet({2, 4, 5, 6, 8, 11, 12, 14}),
                                                      0,
                                                      chordKindSet({2, 4, 6, 8, 11, 12, 14}),
                                                      chordKindSet({1, 3, 4, 5, 7, 9, 11, 13}),
                                                      0,
                                                      chordKindSet({1, 3, 4, 5, 6, 7, 9, 11, 13}),
                                                      0,
                                                      chordKindSet({2, 4, 5, 6, 8, 11, 12, 14}),
                                                      0,
                                                      chordKindSet({4, 10, 11})};

constexpr bool chordAllowed(int g, int kind)
{
    return (AllowedChords[static_cast<std::size_t>(g)] >> kind & 1u) != 0;
}

// The elements from the lowest pitch to the highest, by inversion; the first
// table for three elements, the second for four.
constexpr std::array<std::array<int, 4>, 3> ChordOrder3{
    {{0, 1, 2, -1}, {1, 2, 0, -1}, {2, 0, 1, -1}}};
constexpr std::array<std::array<int, 4>, 4> ChordOrder4{
    {{0, 1, 2, 3}, {1, 2, 3, 0}, {2, 3, 0, 1}, {3, 0, 1, 2}}};

// One question of the chord exercises: three or four heads of a chord kind
// on a root of the key's scale whose degree allows that kind, in root
// position or an inversion, spelled in the key, with accidentals moved clear
// of each other and of heads across the stem. Owns the layers it draws until
// cleared or destroyed.
class TChord {
public:
    // degreeFilter -1 takes any scale degree, else the root's degree must be
    // 1..7. The root is always picked at random. Throws std::out_of_range
    // for a signature, clef, kind, inversion or degree filter out of range,
    // and std::invalid_argument for arguments no root can satisfy: inversion
    // 3 of a three-note chord, or a degree that does not carry the kind.
    TChord(TMusicalStaff& staff, int signature, int clef, int kind, int inversion,
           int degreeFilter);

    void DrawChord(TMusicalStaff& staff, bool visible);
    void setVisible(TMusicalStaff& staff);
    // Moves every picture dx pixels to the left.
    void MoveChord(TMusicalStaff& staff, float dx);
    void clearChord();

    // Diagnostic text, one "\r\n"-ended line per field.
    std::string debugInfo() const;

    float getLeft() const { return chord.elements[0].head.left; }
    PitchSet getPitchSet() const { return chord.pitchSet; }
    int getRoot() const { return chord.root; }
    int getBass() const { return chord.bass; }
    int getKind() const { return chord.kind; }

    struct ChordRecord {
        int bass = -1;
        int root = -1;
        int kind = 0;
        int signature = 0;
        int clef = TrebleClef;
        std::array<NoteElement, 4> elements;
        PitchSet pitchSet = 0;
        int count = 3;
        SpriteSlot ledger;
        int inversion = 0;
        bool upsideDown = false;
        int degreeFilter = -1;
    };
    const ChordRecord& record() const { return chord; }

    // The elements in use, lowest pitch first.
    std::array<int, 4> order() const;

private:
    std::span<NoteElement> used()
    {
        return std::span(chord.elements).first(static_cast<std::size_t>(chord.count));
    }
    std::span<const NoteElement> used() const
    {
        return std::span(chord.elements).first(static_cast<std::size_t>(chord.count));
    }
    void choosePitches(TMusicalStaff& staff);
    void chooseHeads();
    void placeHeads(const TMusicalStaff& staff);
    void chooseAccidentals();
    void placeAccidentals(const TMusicalStaff& staff);
    void staggerAccidentals(const TMusicalStaff& staff);
    void placeLedger(const TMusicalStaff& staff);

    ChordRecord chord;
};

// True when accidental `upper` (of the higher element) reaches down into
// accidental `lower` and the two overlap sideways, by their sprites' sizes.
bool accidentalsOverlap(const TMusicalStaff& staff, const SpriteSlot& lower,
                        const SpriteSlot& upper);

} // namespace notation
