#include "notation/uChord.h"

#include "notation/uAccidentals.h"

#include <stdexcept>

namespace notation {

namespace {

// Semitones above the tonic of each scale degree 1..7.
constexpr std::array<int, 8> DegreeSteps{-1, 0, 2, 4, 5, 7, 9, 11};

bool inScale(int signature, int pitch)
{
    return (ScaleMasks[static_cast<std::size_t>(signature)] >> pitchClassOf(pitch) & 1u) != 0;
}

// Distance of the root above the key's tonic, 0..11.
int stepAboveTonic(int signature, int root) { return pitchClassOf(root - signature); }

// The pitch of each element on root r (-1 for an element not in use).
std::array<int, 4> pitchesFor(int kind, int inversion, int r)
{
    const ChordKind& k = ChordKinds[static_cast<std::size_t>(kind)];
    std::array<int, 4> p{-1, -1, -1, -1};
    for (std::size_t i = 0; i < static_cast<std::size_t>(k.count); ++i)
        p[i] = r + k.semitones[i];
    switch (inversion) {
    case 1:
        p[0] += 12;
        break;
    case 2:
        p[2] -= 12;
        if (k.count == 4)
            p[3] -= 12;
        break;
    case 3:
        p[3] -= 12;
        break;
    default:
        break;
    }
    return p;
}

bool allInRange(const std::array<int, 4>& pitches, int low, int high)
{
    for (int p : pitches)
        if (p != -1 && (p < low || p > high))
            return false;
    return true;
}

// Which head sits on the other side of the stem: the degree of the shifted
// head with stems up and with stems down (0: none), by kind group and
// inversion.
struct ShiftedHead {
    int up;
    int down;
};
constexpr std::array<ShiftedHead, 4> NoShift{{{0, 0}, {0, 0}, {0, 0}, {0, 0}}};
constexpr std::array<ShiftedHead, 4> Sus2Shift{{{2, 2}, {0, 0}, {2, 1}, {0, 0}}};
constexpr std::array<ShiftedHead, 4> Sus4Shift{{{4, 4}, {5, 5}, {0, 0}, {0, 0}}};
constexpr std::array<ShiftedHead, 4> SixthShift{{{5, 5}, {5, 6}, {6, 6}, {0, 0}}};
constexpr std::array<ShiftedHead, 4> SeventhShift{{{0, 0}, {7, 7}, {7, 7}, {1, 7}}};

const std::array<ShiftedHead, 4>& shiftsOf(int kind)
{
    if (kind == 5)
        return Sus2Shift;
    if (kind == 6)
        return Sus4Shift;
    if (kind == 7 || kind == 8)
        return SixthShift;
    if (kind >= 9)
        return SeventhShift;
    return NoShift;
}

} // namespace

TChord::TChord(TMusicalStaff& staff, int signature, int clef, int kind, int inversion,
               int degreeFilter)
{
    if (signature < 0 || signature >= SignatureCount)
        throw std::out_of_range("Key signature index out of range: " + std::to_string(signature));
    if (clef != TrebleClef && clef != BassClef)
        throw std::out_of_range("Staff clef out of range: " + std::to_string(clef));
    if (kind < 1 || kind > ChordKindCount)
        throw std::out_of_range("Chord kind out of range: " + std::to_string(kind));
    if (inversion < 0 || inversion > 3)
        throw std::out_of_range("Chord inversion out of range: " + std::to_string(inversion));
    if (degreeFilter != -1 && (degreeFilter < 1 || degreeFilter > 7))
        throw std::out_of_range("Scale degree out of range: " + std::to_string(degreeFilter));
    const std::string name(ChordNames[static_cast<std::size_t>(kind)]);
    if (inversion == 3 && ChordKinds[static_cast<std::size_t>(kind)].count == 3)
        throw std::invalid_argument("A " + name + " chord has no third inversion");
    if (degreeFilter != -1 &&
        !chordAllowed(DegreeSteps[static_cast<std::size_t>(degreeFilter)], kind))
        throw std::invalid_argument("No " + name + " chord is built on scale degree " +
                                    std::to_string(degreeFilter));

    chord.kind = kind;
    chord.signature = signature;
    chord.clef = clef;
    chord.inversion = inversion;
    chord.degreeFilter = degreeFilter;
    chord.count = ChordKinds[static_cast<std::size_t>(kind)].count;
    for (NoteElement& e : chord.elements)
        for (SpriteSlot* slot : {&e.head, &e.accidental, &e.extra})
            slot->left = staff.noteLeft;

    choosePitches(staff);
    chooseHeads();
    placeHeads(staff);
    chooseAccidentals();
    placeAccidentals(staff);
    staggerAccidentals(staff);
    placeLedger(staff);
}

void TChord::choosePitches(TMusicalStaff& staff)
{
    const bool treble = chord.clef == TrebleClef;
    const int low = treble ? staff.trebleLow : staff.bassLow;
    const int high = treble ? staff.trebleHigh : staff.bassHigh;
    const ChordKind& k = ChordKinds[static_cast<std::size_t>(chord.kind)];

    const auto passesRootTests = [&](int r) {
        const int g = stepAboveTonic(chord.signature, r);
        return inScale(chord.signature, r) &&
               (chord.degreeFilter == -1 ||
                WhiteKeyNumbers[static_cast<std::size_t>(g)] == chord.degreeFilter) &&
               chordAllowed(g, chord.kind);
    };
    // The attempts below only end on an acceptable root; make sure there is
    // one on this staff before starting them.
    bool possible = false;
    for (int r = low; r <= high && !possible; ++r)
        possible =
            passesRootTests(r) && allInRange(pitchesFor(chord.kind, chord.inversion, r), low, high);
    if (!possible)
        throw std::invalid_argument("No " +
                                    std::string(ChordNames[static_cast<std::size_t>(chord.kind)]) +
                                    " chord in this inversion fits this key and staff");

    for (;;) {
        chord.pitchSet = 0;
        for (NoteElement& e : chord.elements) {
            e.pitch = -1;
            e.degree = -1;
        }
        const int r = staff.randomBetween(low, high);
        chord.root = r;
        if (!passesRootTests(r))
            continue;
        const std::array<int, 4> pitches = pitchesFor(chord.kind, chord.inversion, r);
        for (std::size_t i = 0; i < static_cast<std::size_t>(k.count); ++i) {
            chord.elements[i].pitch = pitches[i];
            chord.elements[i].degree = k.degrees[i];
            includePitch(chord.pitchSet, pitches[i]);
        }
        chord.bass = chord.elements[static_cast<std::size_t>(chord.inversion)].pitch;
        // The stems follow the lowest note.
        chord.upsideDown = treble ? chord.bass > 71 : chord.bass > 50;
        if (allInRange(pitches, low, high))
            return;
    }
}

void TChord::chooseHeads()
{
    const ShiftedHead shift = shiftsOf(chord.kind)[static_cast<std::size_t>(chord.inversion)];
    const int shiftedDegree = chord.upsideDown ? shift.down : shift.up;
    for (NoteElement& e : used()) {
        e.shifted = shiftedDegree != 0 && e.degree == shiftedDegree;
        if (chord.upsideDown)
            e.head.spriteIndex = e.shifted ? NoteDownShiftedSprite : NoteDownSprite;
        else
            e.head.spriteIndex = e.shifted ? NoteUpShiftedSprite : NoteUpSprite;
    }
}

void TChord::placeHeads(const TMusicalStaff& staff)
{
    // Every head is placed from the root's position by its degree, so each
    // stands on its chord letter; the accidentals then make it sound.
    const int rootPitch = chord.elements[0].pitch - (chord.inversion == 1 ? 12 : 0);
    const float y0 = staff.getRootPosition(chord.signature, chord.clef, rootPitch);
    auto& e = chord.elements;
    for (NoteElement& element : used()) {
        element.head.top = y0 - StepOffsets[static_cast<std::size_t>(element.degree)];
        if (element.shifted)
            element.head.left =
                chord.upsideDown ? staff.shiftedNoteLeftDown : staff.shiftedNoteLeftUp;
    }
    constexpr float Octave = 35;
    switch (chord.inversion) {
    case 1:
        e[0].head.top = y0 - Octave;
        break;
    case 2:
        e[2].head.top += Octave;
        if (chord.count == 4)
            e[3].head.top += Octave;
        break;
    case 3:
        e[3].head.top += Octave;
        break;
    default:
        break;
    }
    if (chord.upsideDown)
        for (NoteElement& element : used())
            element.head.top += StemDownDrop;
}

void TChord::chooseAccidentals()
{
    const ChordKind& k = ChordKinds[static_cast<std::size_t>(chord.kind)];
    for (std::size_t i = 0; i < static_cast<std::size_t>(chord.count); ++i) {
        NoteElement& e = chord.elements[i];
        const int alteration = alterationOf(k.semitones[i], k.degrees[i]);
        e.accidental.spriteIndex = spellAccidental(chord.signature, chord.clef, e.pitch, alteration,
                                                   e.head.top, chord.upsideDown);
    }
}

void TChord::placeAccidentals(const TMusicalStaff& staff)
{
    for (NoteElement& e : used())
        placeAccidental(staff, e.head, e.shifted, chord.upsideDown, e.accidental);
}

std::array<int, 4> TChord::order() const
{
    const auto i = static_cast<std::size_t>(chord.inversion);
    return chord.count == 4 ? ChordOrder4[i] : ChordOrder3[i];
}

bool accidentalsOverlap(const TMusicalStaff& staff, const SpriteSlot& lower,
                        const SpriteSlot& upper)
{
    const gfx::TBitmap32& a = staff.sprite(lower.spriteIndex);
    const gfx::TBitmap32& b = staff.sprite(upper.spriteIndex);
    if (upper.top + static_cast<float>(b.height()) <= lower.top)
        return false;
    if (lower.left > upper.left)
        return upper.left + static_cast<float>(b.width()) > lower.left;
    return lower.left + static_cast<float>(a.width()) > upper.left;
}

void TChord::staggerAccidentals(const TMusicalStaff& staff)
{
    const std::array<int, 4> ordered = order();
    const auto at = [&](int i) -> NoteElement& {
        return chord.elements[static_cast<std::size_t>(ordered[static_cast<std::size_t>(i)])];
    };
    const auto hasAccidental = [](const NoteElement& e) { return e.accidental.top > 0; };
    const int n = chord.count;

    if (chord.upsideDown) {
        // A stem-down head left of the stem would sit on the accidental of
        // the note a second above it (or be sat on by its own).
        for (int i = 0; i + 1 < n; ++i) {
            NoteElement& low = at(i);
            NoteElement& high = at(i + 1);
            if (hasAccidental(high) && low.shifted && low.head.top - high.head.top <= 10)
                high.accidental.left -= 9;
        }
        for (int i = 0; i + 1 < n; ++i) {
            NoteElement& low = at(i);
            NoteElement& high = at(i + 1);
            if (hasAccidental(low) && high.shifted && low.head.top - high.head.top <= 10)
                low.accidental.left -= 9;
        }
    }

    constexpr std::array<std::pair<int, int>, 5> Pairs{{{0, 1}, {1, 2}, {0, 2}, {2, 3}, {1, 3}}};
    for (std::size_t p = 0; p < (n == 4 ? 5u : 3u); ++p) {
        NoteElement& low = at(Pairs[p].first);
        NoteElement& high = at(Pairs[p].second);
        if (!hasAccidental(low) || !hasAccidental(high))
            continue;
        while (accidentalsOverlap(staff, low.accidental, high.accidental))
            high.accidental.left -= 2;
    }
}

void TChord::placeLedger(const TMusicalStaff& staff)
{
    const NoteElement* lowest = nullptr;
    const NoteElement* highest = nullptr;
    for (const NoteElement& e : used()) {
        if (lowest == nullptr || e.pitch < lowest->pitch)
            lowest = &e;
        if (highest == nullptr || e.pitch > highest->pitch)
            highest = &e;
    }
    const float drop = chord.upsideDown ? StemDownDrop : 0;
    notation::placeLedger(staff, chord.clef, highest->head.top - drop, lowest->head.top - drop,
                          chord.ledger);
}

void TChord::DrawChord(TMusicalStaff& staff, bool visible)
{
    drawItem(staff, used(), chord.ledger, visible);
}

void TChord::setVisible(TMusicalStaff& staff) { showItem(staff, used(), chord.ledger); }

void TChord::MoveChord(TMusicalStaff& staff, float dx)
{
    moveItem(staff, used(), chord.ledger, dx);
}

void TChord::clearChord() { clearItem(used(), chord.ledger); }

std::string TChord::debugInfo() const
{
    std::string text = "Clef: " + std::to_string(chord.clef) + "\r\n";
    text += "Chord: " + std::string(ChordNames[static_cast<std::size_t>(chord.kind)]) + "\r\n";
    text += "Inversion: " + std::to_string(chord.inversion) + "\r\n";
    text += std::string("Upside down: ") + (chord.upsideDown ? "yes" : "no") + "\r\n";
    text += elementLines(chord.signature, used());
    text += ledgerLines(chord.ledger);
    return text;
}

} // namespace notation
