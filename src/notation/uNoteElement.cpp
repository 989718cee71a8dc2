#include "notation/uNoteElement.h"

#include <array>
#include <charconv>
#include <optional>
#include <string>

namespace notation {

void drawSlot(const TMusicalStaff& staff, SpriteSlot& slot, bool visible)
{
    if (!slot.filled())
        return;
    gfx::TBitmapLayer& layer = staff.image().addLayer();
    slot.layer = gfx::OwnedLayer(layer);
    gfx::setSprite(layer, staff.picture(slot.spriteIndex), slot.left, slot.top, visible);
}

void moveSlot(SpriteSlot& slot, float dx)
{
    if (!slot.filled())
        return;
    slot.left -= dx;
    if (!slot.layer)
        return;
    const gfx::FloatRect r = slot.layer->location();
    slot.layer->setLocation({slot.left, r.top, slot.left + (r.right - r.left), r.bottom});
}

void showSlot(SpriteSlot& slot)
{
    if (slot.filled() && slot.layer)
        slot.layer->setVisible(true);
}

void freeSlot(SpriteSlot& slot) { slot.layer.reset(); }

void drawElements(const TMusicalStaff& staff, std::span<NoteElement> elements, bool visible)
{
    for (NoteElement& e : elements) {
        drawSlot(staff, e.head, visible);
        drawSlot(staff, e.accidental, visible);
    }
}

void moveElements(std::span<NoteElement> elements, float dx)
{
    for (NoteElement& e : elements) {
        moveSlot(e.head, dx);
        moveSlot(e.accidental, dx);
        moveSlot(e.extra, dx);
    }
}

void showElements(std::span<NoteElement> elements)
{
    for (NoteElement& e : elements) {
        showSlot(e.head);
        showSlot(e.accidental);
    }
}

void freeElements(std::span<NoteElement> elements)
{
    for (NoteElement& e : elements) {
        freeSlot(e.head);
        freeSlot(e.accidental);
        freeSlot(e.extra);
    }
}

void drawItem(const TMusicalStaff& staff, std::span<NoteElement> elements, SpriteSlot& ledger,
              bool visible)
{
    gfx::UpdateBracket bracket(staff.image());
    drawElements(staff, elements, visible);
    drawSlot(staff, ledger, visible);
}

void showItem(const TMusicalStaff& staff, std::span<NoteElement> elements, SpriteSlot& ledger)
{
    gfx::UpdateBracket bracket(staff.image());
    showElements(elements);
    showSlot(ledger);
}

void moveItem(const TMusicalStaff& staff, std::span<NoteElement> elements, SpriteSlot& ledger,
              float dx)
{
    gfx::UpdateBracket bracket(staff.image());
    moveElements(elements, dx);
    moveSlot(ledger, dx);
}

void clearItem(std::span<NoteElement> elements, SpriteSlot& ledger)
{
    // One repaint for the whole item, when it has layers to remove. Every
    // element draws its head, so the first head tells whether it was drawn.
    std::optional<gfx::UpdateBracket> bracket;
    if (!elements.empty())
        if (gfx::TBitmapLayer* head = elements.front().head.layer.get())
            bracket.emplace(head->image());
    freeElements(elements);
    freeSlot(ledger);
    ledger.spriteIndex = -1;
}

void placeAccidental(const TMusicalStaff& staff, const SpriteSlot& head, bool shifted,
                     bool upsideDown, SpriteSlot& accidental)
{
    if (!accidental.filled())
        return;
    float drop = 22; // flat, double flat, triple flat
    switch (accidental.spriteIndex) {
    case SharpSprite:
        drop = 25;
        break;
    case NaturalSprite:
        drop = 26;
        break;
    case DoubleSharpSprite:
        drop = 31;
        break;
    default:
        break;
    }
    accidental.top = head.top + drop - (upsideDown ? StemDownDrop : 0);
    if (upsideDown)
        accidental.left = shifted ? staff.accidentalLeftDownShifted : staff.accidentalLeftDown;
    else
        accidental.left = shifted ? staff.accidentalLeftUpShifted : staff.accidentalLeftUp;
    if (accidental.spriteIndex == DoubleFlatSprite)
        accidental.left -= 5;
    else if (accidental.spriteIndex == TripleFlatSprite)
        accidental.left -= 10;
}

namespace {

struct LedgerRule {
    int clef;
    bool above; // tests the highest head, else the lowest
    float limit;
    int lines;
    int ledgerCase;
};

// Applied in order; a later rule that holds overrides an earlier one.
constexpr std::array<LedgerRule, 12> LedgerRules{{
    {TrebleClef, true, 35, 1, 3},
    {TrebleClef, true, 25, 2, 2},
    {TrebleClef, true, 15, 3, 1},
    {TrebleClef, false, 95, 1, 4},
    {TrebleClef, false, 105, 2, 5},
    {TrebleClef, false, 115, 3, 6},
    {BassClef, true, 135, 1, 9},
    {BassClef, true, 125, 2, 8},
    {BassClef, true, 115, 3, 7},
    {BassClef, false, 195, 1, 10},
    {BassClef, false, 205, 2, 11},
    {BassClef, false, 215, 3, 12},
}};

} // namespace

void placeLedger(const TMusicalStaff& staff, int clef, float highest, float lowest,
                 SpriteSlot& ledger)
{
    const LedgerRule* chosen = nullptr;
    for (const LedgerRule& rule : LedgerRules) {
        if (rule.clef != clef)
            continue;
        if (rule.above ? highest <= rule.limit : lowest >= rule.limit)
            chosen = &rule;
    }
    if (chosen == nullptr) {
        ledger.spriteIndex = -1;
        return;
    }
    ledger.spriteIndex = LedgerSpriteBase + chosen->lines;
    ledger.top = LedgerTops[static_cast<std::size_t>(chosen->ledgerCase)];
    ledger.left = staff.ledgerLeft;
}

std::string bracketed(int value) { return " [" + std::to_string(value) + "] "; }

std::string bracketed(float value)
{
    std::array<char, 32> buf{};
    const auto result = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    return " [" + std::string(buf.data(), result.ptr) + "] ";
}

std::string elementLines(int s, std::span<const NoteElement> elements)
{
    std::string notes = "Notes: ", names = "Names: ", images = "Images: ", position = "Position: ",
                left = "Left: ";
    for (const NoteElement& e : elements) {
        notes += bracketed(e.pitch);
        names += " [" + std::string(noteNameIn(s, pitchClassOf(e.pitch))) + "] ";
        images += bracketed(e.head.spriteIndex);
        position += bracketed(e.head.top);
        left += bracketed(e.head.left);
    }
    return notes + "\r\n" + names + "\r\n" + images + "\r\n" + position + "\r\n" + left + "\r\n";
}

std::string ledgerLines(const SpriteSlot& ledger)
{
    if (!ledger.filled())
        return {};
    return "Ledger Image: " + bracketed(ledger.spriteIndex) + "\r\n" +
           "Ledger Top: " + bracketed(ledger.top) + "\r\n" +
           "Ledger Left: " + bracketed(ledger.left) + "\r\n";
}

} // namespace notation
