// Scoring questions and drawing the marks that tell how they went.

#include "engine/uSheetMusic.h"

namespace engine {

bool TSheetMusic::EvaluateInput(std::int32_t i, std::uint32_t pitch) const
{
    if (i < 1 || i > MaxItems || pitch < 32 || pitch > 95)
        return false;
    notation::PitchSet all = 0;
    for (int v = 1; v <= 2; ++v) {
        const SheetItem& s = items[static_cast<std::size_t>(v)][static_cast<std::size_t>(i)];
        if (s.onScreen)
            all |= s.pitchSet;
    }
    return notation::containsPitch(all, static_cast<int>(pitch));
}

bool TSheetMusic::takesAnswers() const
{
    return running && !paused &&
           (lastAnswered < 0 || static_cast<std::uint32_t>(lastAnswered) < itemCount);
}

void TSheetMusic::mid_OnInput(midi::TMidiInput& sender)
{
    while (sender.pendingEvents() > 0) {
        std::unique_ptr<midi::TMyMidiEvent> event;
        try {
            event = sender.takeEvent();
        } catch (const midi::EMidiInputError&) {
            // A system-exclusive buffer the device would not take back:
            // nothing to judge, and the event stays waiting; try again at
            // the next notification rather than spin here.
            break;
        }
        if (!event)
            break;
        if (takesAnswers())
            handleMidiEvent(*event);
    }
}

void TSheetMusic::mid_OnOverflow(midi::TMidiInput& /*sender*/)
{
    // Messages were lost, perhaps a key's release among them. Counting that
    // key as held would keep the keyboard from answering for the rest of
    // the run, so every key counts as released now, as one release would.
    if (heldKeys == 0)
        return;
    if (takesAnswers()) {
        heldKeys = 1;
        midi::TMyMidiEvent release;
        release.statusByte = 0x80;
        handleMidiEvent(release);
    }
    heldKeys = 0;
    wrongLatched = false;
}

void TSheetMusic::movePointerOn()
{
    if (asked == last)
        asked = -99;
    else
        ++asked;
}

void TSheetMusic::handleMidiEvent(const midi::TMyMidiEvent& event)
{
    const std::uint8_t s = event.statusByte;
    const std::uint8_t n = event.dataByte1;
    const std::uint8_t v = event.dataByte2;
    const bool noteOff = s >= 128 && s <= 143;
    const bool noteOn = s >= 144 && s <= 159;

    if (v == 0 && (noteOff || noteOn)) {
        // A release: note-off, or note-on with velocity 0.
        if (heldKeys > 0 && --heldKeys > 0)
            return;
        lastAnswered = asked;
        wrongLatched = false;
        if (asked >= 1 && static_cast<std::uint32_t>(asked) == itemCount) {
            recordBestTime(elapsedSeconds);
            return;
        }
        if (answered) {
            movePointerOn();
            answered = false;
        }
        setPointerMark(asked, PointerSprite);
        return;
    }
    if (v > 0 && noteOff) {
        // A note-off with a release velocity: the pointer moves the same
        // way, but the run's end is not seen from here.
        if (heldKeys > 0 && --heldKeys > 0)
            return;
        wrongLatched = false;
        if (answered) {
            movePointerOn();
            answered = false;
        }
        setPointerMark(asked, PointerSprite);
        return;
    }
    if (v > 0 && noteOn) {
        ++heldKeys;
        if (wrongLatched)
            return; // after a wrong key nothing counts until every key is up
        if (asked < 1)
            return; // the next question has not come in yet
        if (EvaluateInput(asked, n)) {
            const auto slot = static_cast<std::size_t>(asked);
            const std::int64_t needed =
                std::int64_t{items[1][slot].keysNeeded} + items[2][slot].keysNeeded;
            if (needed == static_cast<std::int64_t>(heldKeys)) {
                answered = true;
                scoreItem(asked, true);
                setPointerMark(asked, RightSprite);
            }
            return;
        }
        scoreItem(asked, false);
        setPointerMark(asked, WrongSprite);
        wrongLatched = true;
        answered = true;
    }
}

void TSheetMusic::answerItem(std::int32_t i, bool right, bool scored)
{
    lastAnswered = i;
    if (right) {
        if (scored)
            scoreItem(i, true);
        setPointerMark(i, RightSprite);
    } else {
        if (scored)
            scoreItem(i, false);
        setPointerMark(i, WrongSprite);
    }
    if (i >= 1 && static_cast<std::uint32_t>(i) != itemCount) {
        if (asked == last) {
            asked = -99;
        } else {
            ++asked;
            setPointerMark(asked, PointerSprite);
        }
    }
    if (i >= 1 && static_cast<std::uint32_t>(i) == itemCount && scored)
        recordBestTime(elapsedSeconds);
}

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
