// Scoring questions and drawing the marks that tell how they went.

#include "engine/uSheetMusic.h"

namespace engine {

void TSheetMusic::scoreItem(std::int32_t i, bool right)
{
    const auto hand = [&](int voice, std::int32_t clefNo) {
        const SheetItem& s = items[static_cast<std::size_t>(voice)][static_cast<std::size_t>(i)];
        if (!s.onScreen)
            return;
        switch (s.itemKind) {
        case NoteItem:
            scoreStore.updateCurrentScore(scoreMode, key, clefNo, 1, s.note->getPitchClass(),
                                          right);
            break;
        case IntervalItem:
            scoreStore.updateCurrentScore(scoreMode, key, clefNo, 2, s.interval->getKind(), right);
            break;
        case ChordItem:
            scoreStore.updateCurrentScore(scoreMode, key, clefNo, 3, s.chord->getKind(), right);
            break;
        default:
            break;
        }
    };
    switch (clefSetting) {
    case 0:
        hand(1, 1);
        break;
    case 1:
        hand(2, 2);
        break;
    case 2:
        hand(1, 3);
        hand(2, 3);
        break;
    default:
        break;
    }
}

void TSheetMusic::setPointerMark(std::int32_t i, std::int32_t sprite)
{
    if (i == -99 || i < 1)
        return;
    gfx::UpdateBracket bracket(staff.image());
    if (i <= last)
        placeMark(pointerMarks[static_cast<std::size_t>(i)], sprite, itemX(i));
    if (i + 1 <= last && static_cast<std::size_t>(i + 1) < pointerMarks.size()) {
        MarkSlot& next = pointerMarks[static_cast<std::size_t>(i + 1)];
        if (heldKeys > 0) {
            // The next question waits for the keys to be released.
            placeMark(next, EyeSprite, itemX(i + 1));
        } else if (next.shown) {
            if (next.layer)
                next.layer->setVisible(false);
            next.shown = false;
        }
    }
}

void TSheetMusic::recordBestTime(std::int32_t seconds)
{
    if (clefSetting > 2)
        return;
    const std::int32_t clefNo = clefSetting + 1;
    if (seconds < scoreStore.storedBestTime(scoreMode, key, clefNo))
        scoreStore.setCurrentBestTime(scoreMode, key, clefNo, seconds);
}

} // namespace engine
