#pragma once

#include "notation/uMusicalStaff.h"
#include "notation/uNoteElement.h"

#include <array>
#include <string>
#include <string_view>

namespace notation {

struct IntervalKind {
    int semitones; // of the upper note above the root
    int number;    // letters spanned, both ends counted: 2 second .. 8 octave
};

// Interval kinds 1..15 (index 0 is unused).
constexpr int IntervalKindCount = 15;
constexpr std::array<IntervalKind, 16> IntervalKinds{{{0, 0},
                                                      {1, 2},
                                                      {2, 2},
                                                      {3, 3},
                                                      {4, 3},
                                                      {5, 4},
                                                      {6, 4},
                                                      {6, 5},
                                                      {7, 5},
                                                      {8, 5},
                                                      {8, 6},
                                                      {9, 6},
                                                      {10, 6},
                                                      {10, 7},
                                                      {11, 7},
                                                      {12, 8}}};
constexpr std::array<std::string_view, 16> IntervalNames{"",
                                                         "Minor Second",
                                                         "Major Second",
                                                         "Minor Third",
                                                         "Major Third",
                                                         "Perfect Fourth",
                                                         "Augmented Fourth",
                                                         "Diminished Fifth",
                                                         "Perfect Fifth",
                                                         "Augmented Fifth",
                                                         "Minor Sixth",
                                                         "Major Sixth",
                                                         "Augmented Sixth",
                                                         "Minor Seventh",
                                                         "Major Seventh",
                                                         "Perfect Octave"};

// One question of the interval exercises: a root and the note a given
// interval above it on one staff, spelled in the key, with the ledger lines
// they need. Like TNote it owns the layers it draws until cleared or
// destroyed.
class TInterval {
public:
    // root -1 picks a random root within the staff's range whose pitch class
    // is in the key's scale and whose upper note stays in range. Throws
    // std::out_of_range for a signature, clef or kind out of range, and
    // std::invalid_argument for a given root that can never be accepted
    // (outside the scale, outside the range, its upper note out of range, or
    // an upper note no single sign can write on its letter). Random roots
    // skip the last kind as well.
    TInterval(TMusicalStaff& staff, int signature, int clef, int kind, int root);

    void DrawInterval(TMusicalStaff& staff, bool visible);
    void setVisible(TMusicalStaff& staff);
    // Moves every picture dx pixels to the left.
    void MoveInterval(TMusicalStaff& staff, float dx);
    void clearInterval();

    // Diagnostic text, one "\r\n"-ended line per field.
    std::string debugInfo() const;

    float getLeft() const { return interval.elements[0].head.left; }
    PitchSet getPitchSet() const { return interval.pitchSet; }
    int getKind() const { return interval.kind; }

    struct IntervalRecord {
        int root = -1;
        int number = 0;
        int kind = 0;
        int signature = 0;
        int clef = TrebleClef;
        std::array<NoteElement, 2> elements;
        PitchSet pitchSet = 0;
        SpriteSlot ledger;
        bool upsideDown = false;
    };
    const IntervalRecord& record() const { return interval; }

private:
    void choosePitches(TMusicalStaff& staff);
    void chooseHeads();
    void placeHeads(const TMusicalStaff& staff);
    void chooseAccidentals();
    void placeAccidentals(const TMusicalStaff& staff);
    void nudgeAccidentals();
    void placeLedger(const TMusicalStaff& staff);

    IntervalRecord interval;
};

} // namespace notation
