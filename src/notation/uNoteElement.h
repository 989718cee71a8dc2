#pragma once

// The records every drawable question is built from (a note, an interval, a
// chord) and the operations they share on them: drawing, moving, showing and
// clearing sprite slots, and the ledger-line rule.

#include "gfx/Image32.h"
#include "notation/uMusicalStaff.h"

#include <span>
#include <string>

namespace notation {

// Sprites the items draw.
constexpr int NoteUpSprite = 24;          // 4thnote
constexpr int NoteUpShiftedSprite = 25;   // 4thnoteflip: right of a stem-up neighbour
constexpr int NoteDownSprite = 26;        // 4thnote-down
constexpr int NoteDownShiftedSprite = 28; // 4thnoteflip-down-2: left of a stem-down neighbour
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

// A whole item (its elements and its one ledger picture), each as one update
// bracket with one change notification. Drawing stacks the elements in order
// (head, then accidental) and the ledger last. clearItem frees every layer
// the item still has and empties the ledger slot.
void drawItem(const TMusicalStaff& staff, std::span<NoteElement> elements, SpriteSlot& ledger,
              bool visible);
void showItem(const TMusicalStaff& staff, std::span<NoteElement> elements, SpriteSlot& ledger);
void moveItem(const TMusicalStaff& staff, std::span<NoteElement> elements, SpriteSlot& ledger,
              float dx);
void clearItem(std::span<NoteElement> elements, SpriteSlot& ledger);

// Ledger lines for an item on staff `clef` whose highest head stands at root
// position `highest` and lowest at `lowest`: fills `ledger` (sprite 35..37,
// top from LedgerTops, x = ledgerLeft) or leaves it empty when the item
// stays within the staff.
void placeLedger(const TMusicalStaff& staff, int clef, float highest, float lowest,
                 SpriteSlot& ledger);

// Accidental sprites beyond flat, sharp and natural.
constexpr int DoubleFlatSprite = 32;
constexpr int TripleFlatSprite = 33;
constexpr int DoubleSharpSprite = 34;

// Places an accidental beside its head: below the head's top by the sign's
// drop (stem-up terms), in the accidental column of the stem direction and
// head side; a double flat 5 px and a triple flat 10 px further left.
void placeAccidental(const TMusicalStaff& staff, const SpriteSlot& head, bool shifted,
                     bool upsideDown, SpriteSlot& accidental);

// Writes " [value] " the way the diagnostic texts list values; floats in
// their shortest form (95, 262.5).
std::string bracketed(int value);
std::string bracketed(float value);

// The diagnostic lines every item shares: "Notes: ", "Names: " (spelled in
// signature index s), "Images: ", "Position: " and "Left: " with one
// bracketed value per element; then the three ledger lines when the item
// has ledger lines. Each line ends in "\r\n".
std::string elementLines(int s, std::span<const NoteElement> elements);
std::string ledgerLines(const SpriteSlot& ledger);

} // namespace notation
