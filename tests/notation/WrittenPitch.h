#pragma once

// What a written head sounds, worked out the way a reader of the staff does:
// the line or space gives the letter and octave, the key signature or the
// accidental in front of it the alteration. Kept apart from the program's
// own spelling code so that tests can check it.

#include <cmath>
#include <string_view>

namespace notation::testing {

// Letters each major key's signature alters, by signature index.
struct Signature {
    std::string_view letters;
    int alteration; // +1 sharps, -1 flats
};
constexpr Signature Signatures[12] = {{"", 0},      {"BEADG", -1}, {"FC", 1},      {"BEA", -1},
                                      {"FCGD", 1},  {"B", -1},     {"BEADGC", -1}, {"F", 1},
                                      {"BEAD", -1}, {"FCG", 1},    {"BE", -1},     {"FCGDA", 1}};

// Alteration of accidental sprites 29..34 (flat, sharp, natural, double
// flat, triple flat, double sharp).
inline int accidentalAlteration(int sprite)
{
    switch (sprite) {
    case 29:
        return -1;
    case 30:
        return 1;
    case 31:
        return 0;
    case 32:
        return -2;
    case 33:
        return -3;
    case 34:
        return 2;
    default:
        return 99;
    }
}

// The pitch a head sounds whose stem-up top is `top` on the treble (1) or
// bass (2) staff, in the key of signature s, with accidental sprite
// `accidental` (-1: none).
inline int writtenPitch(int clef, float top, int s, int accidental)
{
    const float middleC = clef == 1 ? 95 : 135;
    const int steps = static_cast<int>(std::lround((middleC - top) / 5)); // above C4
    const int octave = steps >= 0 ? steps / 7 : -((-steps + 6) / 7);
    const int letter = steps - 7 * octave; // 0 = C .. 6 = B
    constexpr int Naturals[7] = {0, 2, 4, 5, 7, 9, 11};
    constexpr char Letters[] = "CDEFGAB";
    int alteration = 0;
    if (accidental != -1)
        alteration = accidentalAlteration(accidental);
    else if (Signatures[s].letters.find(Letters[letter]) != std::string_view::npos)
        alteration = Signatures[s].alteration;
    return 60 + 12 * octave + Naturals[letter] + alteration;
}

} // namespace notation::testing
