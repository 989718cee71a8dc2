#pragma once

// The records every drawable question is built from (a note, an interval, a
// chord) and the operations they share on them: drawing, moving, showing and
// clearing sprite slots, and the ledger-line rule.

#include "gfx/Image32.h"
#include "notation/uMusicalStaff.h"

#include <span>

namespace notation {

// Sprites the items draw.
constexpr int NoteUpSprite = 24;   // 4thnote
constexpr int NoteDownSprite = 26; // 4thnote-down
constexpr int FlatSprite = 29;
constexpr int SharpSprite = 30;
constexpr int NaturalSprite = 31;
constexpr int LedgerSpriteBase = 34; // + number of lines (1..3)

// The stem-down sprite has its head at the top, the stem-up one at the
// bottom: a stem-down head is drawn this much lower than its root position.
constexpr float StemDownDrop = 30;

// One picture of an item on the staff. The item owns the layer from drawing
// until it clears the slot (or is destroyed).
struct SpriteSlot {
    int spriteIndex = -1; // -1: empty, nothing drawn
    gfx::OwnedLayer layer;
    float top = 0;
    float left = 0;

    bool filled() const { return spriteIndex != -1; }
};

// One notehead with the pictures that belong to it.
struct NoteElement {
    int pitch = -1;  // -1: still to be picked
    int degree = -1; // within its item; -1 until the pitch is picked
    SpriteSlot head;
    SpriteSlot accidental;
    SpriteSlot extra;
    bool shifted = false; // moved sideways to clear a neighbour a second away
};

// Creates the slot's layer with a copy of its sprite at (left, top).
// Empty slots are left alone. The caller brackets the update.
void drawSlot(const TMusicalStaff& staff, SpriteSlot& slot, bool visible);
// left -= dx, and the layer follows; its top stays where it is.
void moveSlot(SpriteSlot& slot, float dx);
void showSlot(SpriteSlot& slot);
// Frees the slot's layer (its sprite index is kept).
void freeSlot(SpriteSlot& slot);

// The three pictures of each element, in drawing order.
void drawElements(const TMusicalStaff& staff, std::span<NoteElement> elements, bool visible);
void moveElements(std::span<NoteElement> elements, float dx);
void showElements(std::span<NoteElement> elements);
void freeElements(std::span<NoteElement> elements);

// Ledger lines for an item on staff `clef` whose highest head stands at root
// position `highest` and lowest at `lowest`: fills `ledger` (sprite 35..37,
// top from LedgerTops, x = ledgerLeft) or leaves it empty when the item
// stays within the staff.
void placeLedger(const TMusicalStaff& staff, int clef, float highest, float lowest,
                 SpriteSlot& ledger);

// Writes " [value] " the way the diagnostic texts list values; floats in
// their shortest form (95, 262.5).
std::string bracketed(int value);
std::string bracketed(float value);

} // namespace notation
