#pragma once

// How intervals and chords spell their notes: the alteration of an element
// against the major or perfect interval of its degree, the accidental rules
// by key side and alteration, and the check that a written head sounds the
// pitch it stands for.

#include "notation/uMusicalStaff.h"

#include <array>

namespace notation {

// Semitones of the major or perfect interval of each interval number 2..7;
// read by interval number.
constexpr std::array<int, 9> AlterationReference{0, 0, 2, 4, 5, 7, 9, 11, 0};

// Semitones above the major or perfect interval of `degree`: -1 minor or
// diminished, 0 major or perfect, +1 augmented, -2 for a diminished seventh.
// The root (degree 1) and the octave (degree 8) are never altered.
constexpr int alterationOf(int semitones, int degree)
{
    if (degree < 2 || degree > 7)
        return 0;
    return semitones - AlterationReference[static_cast<std::size_t>(degree)];
}

// The letter 1..7 (C..B) a head at `top` stands on, looked up in the
// staff's letter positions with the top taken as a stem-up top and
// truncated; -1 off the table.
int letterAt(int clef, float top, bool upsideDown);

// The letter 1..7 of a pitch class in the spelling of signature index s.
int letterOfPitchClass(int s, int pitchClass);

// The accidental sprite (29 flat, 30 sharp, 31 natural, 32 double flat,
// 33 triple flat, 34 double sharp) or -1 that the rules give an element of
// `pitch` and `alteration` whose head stands at `headTop`. The rules know
// alterations -2..+1; any other alteration gives -1.
int accidentalByRules(int s, int clef, int pitch, int alteration, float headTop, bool upsideDown);

// The pitch a head at `headTop` sounds on staff `clef` in the key of
// signature index s with accidental sprite `accidental` (-1: the letter as
// the signature alters it).
int soundingPitch(int s, int clef, float headTop, bool upsideDown, int accidental);

// The accidental that makes a head at `headTop` sound `pitch`, against the
// signature: -1 where the signature already does, else natural, flat,
// sharp, double flat, double sharp or triple flat. -1 also when no single
// sign reaches the pitch (more than three semitones away).
int accidentalForPitch(int s, int clef, int pitch, float headTop, bool upsideDown);

// True when one sign (or none) makes a head at `headTop` sound `pitch`.
bool canWrite(int s, int clef, int pitch, float headTop, bool upsideDown);

// The rules' accidental, unless the head would then sound another pitch than
// `pitch`: then the accidental that writes the pitch on that head.
int spellAccidental(int s, int clef, int pitch, int alteration, float headTop, bool upsideDown);

} // namespace notation
