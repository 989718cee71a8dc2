#include "notation/uNoteElement.h"

#include <array>
#include <charconv>
#include <string>

namespace notation {

void drawSlot(const TMusicalStaff& staff, SpriteSlot& slot, bool visible)
{
    if (!slot.filled())
        return;
    gfx::TBitmapLayer& layer = staff.image().addLayer();
    slot.layer = gfx::OwnedLayer(layer);
    gfx::setSprite(layer, staff.sprite(slot.spriteIndex), slot.left, slot.top, visible);
}

void moveSlot(SpriteSlot& slot, float dx)
{
    if (!slot.filled())
        return;
    slot.left -= dx;
    if (!slot.layer)
        return;
    const gfx::FloatRect r = slot.layer->location();
    const auto& bitmap = slot.layer->bitmap();
    slot.layer->setLocation({slot.left, r.top, slot.left + static_cast<float>(bitmap.width()),
                             r.top + static_cast<float>(bitmap.height())});
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

} // namespace notation
