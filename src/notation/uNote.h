#pragma once

#include "notation/uMusicalStaff.h"
#include "notation/uNoteElement.h"

#include <string>

namespace notation {

// One question of the note-naming exercises: a single note in a key on the
// treble or bass staff. Construction picks and spells the pitch and places
// every sprite; drawing puts them on the staff image as layers the note owns.
// Destroying a note removes whatever layers it still has.
class TNote {
public:
    // pitch -1 picks one at random within the staff's range (only from the
    // key's scale when inKeyOnly). A given pitch is taken as it is, even
    // outside the range or the scale.
    TNote(TMusicalStaff& staff, int key, int clef, int pitch, bool inKeyOnly);

    // Creates the layers of the head, the accidental and the ledger lines.
    void DrawNote(TMusicalStaff& staff, bool visible);
    void setVisible(TMusicalStaff& staff);
    // Moves every picture dx pixels to the left.
    void MoveNote(TMusicalStaff& staff, float dx);
    // Removes the note's layers from the staff image.
    void clearNote();

    // Diagnostic text, one "\r\n"-ended line per field.
    void debugInfo(std::string& text) const;

    float getLeft() const { return note.element.head.left; }
    PitchSet getPitchSet() const { return note.pitchSet; }
    int getPitchClass() const { return pitchClassOf(note.element.pitch); }
    int getPitch() const { return note.element.pitch; }

    // The record, for whoever needs to look inside (tests, diagnostics).
    struct NoteRecord {
        int key = 0;
        int clef = TrebleClef;
        NoteElement element;
        PitchSet pitchSet = 0;
        SpriteSlot ledger;
        bool upsideDown = false;
    };
    const NoteRecord& record() const { return note; }

private:
    void pickPitch(TMusicalStaff& staff);
    void chooseAccidental();

    NoteRecord note;
    bool inKeyOnly;
};

} // namespace notation
