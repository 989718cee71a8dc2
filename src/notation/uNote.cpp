#include "notation/uNote.h"

#include <stdexcept>
#include <string>

namespace notation {

TNote::TNote(TMusicalStaff& staff, int key, int clef, int pitch, bool inKeyOnly_)
    : inKeyOnly(inKeyOnly_)
{
    if (key < 0 || key >= SignatureCount)
        throw std::out_of_range("Key signature index out of range: " + std::to_string(key));
    if (clef != TrebleClef && clef != BassClef)
        throw std::out_of_range("Staff clef out of range: " + std::to_string(clef));
    note.key = key;
    note.clef = clef;
    note.element.pitch = pitch;
    for (SpriteSlot* slot : {&note.element.head, &note.element.accidental, &note.element.extra})
        slot->left = staff.noteLeft;

    pickPitch(staff);

    SpriteSlot& head = note.element.head;
    head.spriteIndex = note.upsideDown ? NoteDownSprite : NoteUpSprite;
    head.top = staff.getRootPosition(key, clef, note.element.pitch);
    if (note.element.shifted)
        head.left = note.upsideDown ? staff.shiftedNoteLeftDown : staff.shiftedNoteLeftUp;
    if (note.upsideDown)
        head.top += StemDownDrop;

    chooseAccidental();
    placeAccidental(staff, head, note.element.shifted, note.upsideDown, note.element.accidental);

    const float root = note.upsideDown ? head.top - StemDownDrop : head.top;
    placeLedger(staff, clef, root, root, note.ledger);
}

void TNote::pickPitch(TMusicalStaff& staff)
{
    const bool treble = note.clef == TrebleClef;
    const int low = treble ? staff.trebleLow : staff.bassLow;
    const int high = treble ? staff.trebleHigh : staff.bassHigh;
    const int given = note.element.pitch;
    for (;;) {
        note.pitchSet = 0;
        note.element.degree = -1;
        const int p = given != -1 ? given : staff.randomBetween(low, high);
        // The stem points down above the staff's middle line (B4, D3).
        note.upsideDown = treble ? p >= 72 : p > 50;
        const bool inScale =
            (ScaleMasks[static_cast<std::size_t>(note.key)] >> pitchClassOf(p) & 1u) != 0;
        // A given pitch would fail the same test forever: take it as it is.
        if (inKeyOnly && !inScale && given == -1)
            continue;
        includePitch(note.pitchSet, p);
        note.element.degree = 1;
        note.element.pitch = p;
        return;
    }
}

void TNote::chooseAccidental()
{
    const int pc = pitchClassOf(note.element.pitch);
    const auto s = static_cast<std::size_t>(note.key);
    SpriteSlot& accidental = note.element.accidental;
    if ((ScaleMasks[s] >> pc & 1u) != 0) {
        accidental.spriteIndex = -1;
        return;
    }
    // A flat key writes a foreign pitch as the flat of the letter above, a
    // sharp key as the sharp of the letter below; if the signature already
    // alters that letter, a natural sign is what is needed.
    const bool sharps = SharpKeys[s] == 1;
    const int neighbour = pitchClassOf(sharps ? pc + 1 : pc - 1);
    if (KeyTable[s].altered[static_cast<std::size_t>(neighbour)] == 1)
        accidental.spriteIndex = NaturalSprite;
    else
        accidental.spriteIndex = sharps ? SharpSprite : FlatSprite;
}

void TNote::DrawNote(TMusicalStaff& staff, bool visible)
{
    drawItem(staff, std::span(&note.element, 1), note.ledger, visible);
}

void TNote::setVisible(TMusicalStaff& staff)
{
    showItem(staff, std::span(&note.element, 1), note.ledger);
}

void TNote::MoveNote(TMusicalStaff& staff, float dx)
{
    moveItem(staff, std::span(&note.element, 1), note.ledger, dx);
}

void TNote::clearNote() { clearItem(std::span(&note.element, 1), note.ledger); }

void TNote::debugInfo(std::string& text) const
{
    text = "Clef: " + std::to_string(note.clef) + "\r\n";
    text += std::string("Upside down: ") + (note.upsideDown ? "yes" : "no") + "\r\n";
    text += elementLines(note.key, std::span(&note.element, 1));
    text += ledgerLines(note.ledger);
}

} // namespace notation
