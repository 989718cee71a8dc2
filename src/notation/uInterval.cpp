#include "notation/uInterval.h"

#include "notation/uAccidentals.h"

#include <stdexcept>

namespace notation {

namespace {

bool inScale(int signature, int pitch)
{
    return (ScaleMasks[static_cast<std::size_t>(signature)] >> pitchClassOf(pitch) & 1u) != 0;
}

// The upper note stands on the letter the interval number names above the
// root's. An augmented sixth on A sharp would need F triple sharp, which no
// sign writes: such a root is not used.
bool upperWritable(const TMusicalStaff& staff, int signature, int clef, int kind, int root)
{
    const IntervalKind& k = IntervalKinds[static_cast<std::size_t>(kind)];
    const float top = staff.getRootPosition(signature, clef, root) -
                      StepOffsets[static_cast<std::size_t>(k.number)];
    return canWrite(signature, clef, root + k.semitones, top, false);
}

// The stem points down from the staff's middle line up (C5, E flat 3).
bool stemsDown(int clef, int root) { return clef == TrebleClef ? root > 71 : root > 50; }

} // namespace

TInterval::TInterval(TMusicalStaff& staff, int signature, int clef, int kind, int root)
{
    if (signature < 0 || signature >= SignatureCount)
        throw std::out_of_range("Key signature index out of range: " + std::to_string(signature));
    if (clef != TrebleClef && clef != BassClef)
        throw std::out_of_range("Staff clef out of range: " + std::to_string(clef));
    if (kind < 1 || kind > IntervalKindCount)
        throw std::out_of_range("Interval kind out of range: " + std::to_string(kind));

    interval.root = root;
    interval.kind = kind;
    interval.number = IntervalKinds[static_cast<std::size_t>(kind)].number;
    interval.signature = signature;
    interval.clef = clef;
    for (NoteElement& e : interval.elements)
        for (SpriteSlot* slot : {&e.head, &e.accidental, &e.extra})
            slot->left = staff.noteLeft;

    if (root != -1) {
        // A given root is tried unchanged in every attempt: one the attempts
        // can never accept would keep them going forever.
        const int low = clef == TrebleClef ? staff.trebleLow : staff.bassLow;
        const int high = clef == TrebleClef ? staff.trebleHigh : staff.bassHigh;
        const int upper = root + IntervalKinds[static_cast<std::size_t>(kind)].semitones;
        if (!inScale(signature, root) || root < low || upper > high ||
            !upperWritable(staff, signature, clef, kind, root))
            throw std::invalid_argument("Interval root " + std::to_string(root) +
                                        " cannot carry a " +
                                        std::string(IntervalNames[static_cast<std::size_t>(kind)]) +
                                        " in this key and staff");
    }

    choosePitches(staff);
    chooseHeads();
    placeHeads(staff);
    chooseAccidentals();
    placeAccidentals(staff);
    nudgeAccidentals();
    placeLedger(staff);
}

void TInterval::choosePitches(TMusicalStaff& staff)
{
    const bool treble = interval.clef == TrebleClef;
    const int low = treble ? staff.trebleLow : staff.bassLow;
    const int high = treble ? staff.trebleHigh : staff.bassHigh;
    const int semitones = IntervalKinds[static_cast<std::size_t>(interval.kind)].semitones;
    auto& [e0, e1] = interval.elements;
    for (;;) {
        interval.pitchSet = 0;
        e0.degree = -1;
        e1.degree = -1;
        const int r = interval.root != -1 ? interval.root : staff.randomBetween(low, high);
        interval.upsideDown = stemsDown(interval.clef, r);
        if (!inScale(interval.signature, r) ||
            !upperWritable(staff, interval.signature, interval.clef, interval.kind, r))
            continue;
        e0.pitch = r;
        e0.degree = 1;
        e1.pitch = r + semitones;
        e1.degree = interval.number;
        includePitch(interval.pitchSet, e0.pitch);
        includePitch(interval.pitchSet, e1.pitch);
        if (e0.pitch >= low && e0.pitch <= high && e1.pitch >= low && e1.pitch <= high) {
            interval.root = r;
            return;
        }
    }
}

void TInterval::chooseHeads()
{
    auto& [e0, e1] = interval.elements;
    const bool second = interval.number == 2;
    if (!interval.upsideDown) {
        // A second puts the upper head right of the stem.
        e0.head.spriteIndex = NoteUpSprite;
        e1.head.spriteIndex = second ? NoteUpShiftedSprite : NoteUpSprite;
        e1.shifted = second;
    } else {
        // Stems down, the lower head goes left of the stem.
        e0.head.spriteIndex = second ? NoteDownShiftedSprite : NoteDownSprite;
        e0.shifted = second;
        e1.head.spriteIndex = NoteDownSprite;
    }
}

void TInterval::placeHeads(const TMusicalStaff& staff)
{
    auto& [e0, e1] = interval.elements;
    e0.head.top = staff.getRootPosition(interval.signature, interval.clef, e0.pitch);
    // The upper note stands on the letter the interval number names; its
    // accidental makes that letter sound the pitch.
    e1.head.top = e0.head.top - StepOffsets[static_cast<std::size_t>(interval.number)];
    for (NoteElement& e : interval.elements) {
        if (e.shifted)
            e.head.left = interval.upsideDown ? staff.shiftedNoteLeftDown : staff.shiftedNoteLeftUp;
        if (interval.upsideDown)
            e.head.top += StemDownDrop;
    }
}

void TInterval::chooseAccidentals()
{
    const int semitones = IntervalKinds[static_cast<std::size_t>(interval.kind)].semitones;
    for (NoteElement& e : interval.elements) {
        const int alteration = e.degree == 1 ? 0 : alterationOf(semitones, e.degree);
        e.accidental.spriteIndex = spellAccidental(interval.signature, interval.clef, e.pitch,
                                                   alteration, e.head.top, interval.upsideDown);
    }
}

void TInterval::placeAccidentals(const TMusicalStaff& staff)
{
    for (NoteElement& e : interval.elements)
        placeAccidental(staff, e.head, e.shifted, interval.upsideDown, e.accidental);
}

void TInterval::nudgeAccidentals()
{
    if (!interval.upsideDown)
        return;
    auto& [e0, e1] = interval.elements;
    const float d = e0.head.top - e1.head.top;
    // In a stem-down second the root's head sits left of the stem: the upper
    // note's accidental moves further left to clear it.
    if (e1.accidental.top > 0 && e0.shifted && d <= 10)
        e1.accidental.left -= 9;
    if (e0.accidental.top > 0 && e1.shifted && d <= 10)
        e0.accidental.left -= 9;
}

void TInterval::placeLedger(const TMusicalStaff& staff)
{
    // The root is never above the upper note.
    const float drop = interval.upsideDown ? StemDownDrop : 0;
    notation::placeLedger(staff, interval.clef, interval.elements[1].head.top - drop,
                          interval.elements[0].head.top - drop, interval.ledger);
}

void TInterval::DrawInterval(TMusicalStaff& staff, bool visible)
{
    drawItem(staff, interval.elements, interval.ledger, visible);
}

void TInterval::setVisible(TMusicalStaff& staff)
{
    showItem(staff, interval.elements, interval.ledger);
}

void TInterval::MoveInterval(TMusicalStaff& staff, float dx)
{
    moveItem(staff, interval.elements, interval.ledger, dx);
}

void TInterval::clearInterval() { clearItem(interval.elements, interval.ledger); }

std::string TInterval::debugInfo() const
{
    std::string text = "Clef: " + std::to_string(interval.clef) + "\r\n";
    text +=
        "Interval: " + std::string(IntervalNames[static_cast<std::size_t>(interval.kind)]) + "\r\n";
    text += std::string("Upside down: ") + (interval.upsideDown ? "yes" : "no") + "\r\n";
    text += elementLines(interval.signature, interval.elements);
    text += ledgerLines(interval.ledger);
    return text;
}

} // namespace notation
