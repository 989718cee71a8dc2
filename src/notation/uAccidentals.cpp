#include "notation/uAccidentals.h"

#include "notation/uNoteElement.h"

#include <cmath>

namespace notation {

namespace {

// Natural pitch classes of the letters C..B.
constexpr std::array<int, 7> LetterPitchClasses{0, 2, 4, 5, 7, 9, 11};

constexpr int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

bool bitOf(int s, int pc)
{
    return (ScaleMasks[static_cast<std::size_t>(s)] >> pitchClassOf(pc) & 1u) != 0;
}
bool alteredIn(int s, int pc)
{
    return KeyTable[static_cast<std::size_t>(s)]
               .altered[static_cast<std::size_t>(pitchClassOf(pc))] == 1;
}
bool black(int pc) { return BlackKeys[static_cast<std::size_t>(pitchClassOf(pc))] == 1; }

// Semitones a sign alters its letter by.
int signAlteration(int sprite)
{
    switch (sprite) {
    case FlatSprite:
        return -1;
    case SharpSprite:
        return 1;
    case DoubleFlatSprite:
        return -2;
    case TripleFlatSprite:
        return -3;
    case DoubleSharpSprite:
        return 2;
    default:
        return 0; // natural
    }
}

int signFor(int alteration)
{
    switch (alteration) {
    case -3:
        return TripleFlatSprite;
    case -2:
        return DoubleFlatSprite;
    case -1:
        return FlatSprite;
    case 0:
        return NaturalSprite;
    case 1:
        return SharpSprite;
    case 2:
        return DoubleSharpSprite;
    default:
        return -1;
    }
}

// Diatonic steps above middle C of a head, and what the signature does to
// that letter.
struct WrittenHead {
    int naturalPitch;
    int signatureAlteration;
};

WrittenHead writtenHead(int s, int clef, float headTop, bool upsideDown)
{
    const float top = headTop - (upsideDown ? StemDownDrop : 0);
    const float middleC = clef == TrebleClef ? TrebleMiddleC : BassMiddleC;
    const int steps = static_cast<int>(std::lround((middleC - top) / 5));
    const int octave = 4 + floorDiv(steps, 7);
    const int pc = LetterPitchClasses[static_cast<std::size_t>(steps - 7 * floorDiv(steps, 7))];
    int signature = 0;
    if (SharpKeys[static_cast<std::size_t>(s)] == 1) {
        if (alteredIn(s, pc + 1))
            signature = 1;
    } else if (alteredIn(s, pc - 1)) {
        signature = -1;
    }
    return {12 * (octave + 1) + pc, signature};
}

} // namespace

int letterAt(int clef, float top, bool upsideDown)
{
    const float stemUpTop = std::trunc(upsideDown ? top - StemDownDrop : top);
    const auto& positions = clef == TrebleClef ? TrebleLetterPositions : BassLetterPositions;
    for (std::size_t letter = 0; letter < positions.size(); ++letter)
        if (positions[letter].contains(stemUpTop))
            return static_cast<int>(letter) + 1;
    return -1;
}

int letterOfPitchClass(int s, int pitchClass)
{
    const auto pc = static_cast<std::size_t>(pitchClassOf(pitchClass));
    return SharpKeys[static_cast<std::size_t>(s)] == 1 ? SharpLetters[pc] : FlatLetters[pc];
}

int accidentalByRules(int s, int clef, int pitch, int alteration, float headTop, bool upsideDown)
{
    const int c = pitchClassOf(pitch);
    const int below = c - 1;
    const int above = c + 1;
    const bool sharpSide = SharpKeys[static_cast<std::size_t>(s)] == 1;
    const bool inScale = bitOf(s, c);

    switch (alteration) {
    case 0:
        if (inScale)
            return -1;
        if (!sharpSide)
            return alteredIn(s, below) ? NaturalSprite : SharpSprite;
        if (alteredIn(s, above))
            return black(c) || black(below) ? DoubleSharpSprite : SharpSprite;
        return alteredIn(s, below) ? NaturalSprite : SharpSprite;

    case -1:
        if (!sharpSide) {
            if (inScale && bitOf(s, above)) {
                if (!black(c) && !black(above))
                    return FlatSprite;
                return alteredIn(s, above) ? DoubleFlatSprite : -1;
            }
            if (inScale)
                return -1;
            return alteredIn(s, above) ? DoubleFlatSprite : FlatSprite;
        }
        if (inScale) {
            if (letterAt(clef, headTop, upsideDown) == letterOfPitchClass(s, c))
                return -1;
            return alteredIn(s, c) ? FlatSprite : -1;
        }
        return alteredIn(s, above) ? NaturalSprite : FlatSprite;

    case 1:
        if (!sharpSide)
            return alteredIn(s, below) ? NaturalSprite : SharpSprite;
        return alteredIn(s, below) ? DoubleSharpSprite : SharpSprite;

    case -2:
        if (!sharpSide) {
            switch (c) {
            case 1:
            case 4:
            case 6:
            case 11:
                return FlatSprite;
            case 8:
                return s == GFlatMajor ? TripleFlatSprite : FlatSprite;
            default:
                return DoubleFlatSprite;
            }
        }
        switch (c) {
        case 2:
        case 9:
            return DoubleFlatSprite;
        case 0:
        case 5:
        case 7:
            return NaturalSprite;
        default:
            return FlatSprite;
        }

    default:
        return -1;
    }
}

int soundingPitch(int s, int clef, float headTop, bool upsideDown, int accidental)
{
    const WrittenHead head = writtenHead(s, clef, headTop, upsideDown);
    return head.naturalPitch +
           (accidental == -1 ? head.signatureAlteration : signAlteration(accidental));
}

int accidentalForPitch(int s, int clef, int pitch, float headTop, bool upsideDown)
{
    const WrittenHead head = writtenHead(s, clef, headTop, upsideDown);
    const int needed = pitch - head.naturalPitch;
    if (needed == head.signatureAlteration)
        return -1;
    return signFor(needed);
}

bool canWrite(int s, int clef, int pitch, float headTop, bool upsideDown)
{
    const int sign = accidentalForPitch(s, clef, pitch, headTop, upsideDown);
    return soundingPitch(s, clef, headTop, upsideDown, sign) == pitch;
}

int spellAccidental(int s, int clef, int pitch, int alteration, float headTop, bool upsideDown)
{
    const int byRules = accidentalByRules(s, clef, pitch, alteration, headTop, upsideDown);
    if (soundingPitch(s, clef, headTop, upsideDown, byRules) == pitch)
        return byRules;
    const int mended = accidentalForPitch(s, clef, pitch, headTop, upsideDown);
    // A head more than three semitones off its pitch cannot be written with
    // one sign; keep what the rules gave.
    if (mended == -1 && soundingPitch(s, clef, headTop, upsideDown, -1) != pitch)
        return byRules;
    return mended;
}

} // namespace notation
