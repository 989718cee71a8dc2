// Scoring questions and drawing the marks that tell how they went.

#include "engine/uSheetMusic.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace engine {

bool TSheetMusic::EvaluateInput(std::int32_t i, std::uint32_t pitch) const
{
    if (pitch < 32 || pitch > 95)
        return false;
    return notation::containsPitch(questionPitches(i), static_cast<int>(pitch));
}

bool TSheetMusic::takesAnswers() const
{
    return running_ && !paused_ &&
           (lastAnswered < 0 || static_cast<std::uint32_t>(lastAnswered) < itemCount);
}

void TSheetMusic::mid_OnInput(midi::TMidiInput& sender)
{
    onGuiThread("TSheetMusic::mid_OnInput");
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
        // Keys are followed also between runs and while paused, so that a
        // key released meanwhile is not taken for held afterwards; answers
        // are judged only while the run takes them.
        midiPorts.record(sender, *event);
        handleMidiEvent(*event);
    }
}

void TSheetMusic::mid_OnOverflow(midi::TMidiInput& /*sender*/)
{
    // Messages were lost, perhaps a key's release among them. Taking that
    // key for held would keep the keyboard from answering, so every key
    // counts as released now.
    releaseAllKeys();
}

void TSheetMusic::releaseAllKeys()
{
    onGuiThread("TSheetMusic::releaseAllKeys");
    const bool anyHeld = heldKeys.any();
    heldKeys.reset();
    if (anyHeld)
        allKeysUp();
}

void TSheetMusic::movePointerOn()
{
    if (asked < 1)
        return;
    if (asked == last) {
        asked = -99;
    } else {
        ++asked;
        noteAsked();
    }
}

std::int64_t TSheetMusic::nowMs() const
{
    // Days since 1899-12-30 to milliseconds since 1970-01-01.
    constexpr double UnixEpoch = 25569.0;
    return static_cast<std::int64_t>(
        std::llround((staff.clock().now() - UnixEpoch) * static_cast<double>(platform::MsPerDay)));
}

void TSheetMusic::noteAsked() { askedAtMs_ = nowMs(); }

void TSheetMusic::reportScored(std::int32_t i, bool answeredNow, bool right)
{
    if (!onScored_ || i < 1 || i > MaxItems)
        return;
    ScoredQuestion q;
    q.whenMs = nowMs();
    q.exercise = exerciseKind;
    q.key = key;
    q.clef = clefSetting;
    const notation::PitchSet pitches = questionPitches(i);
    for (int p = 0; p < 128; ++p)
        if (notation::containsPitch(pitches, p))
            q.questionPitches.push_back(p);
    for (int v = 1; v <= 2 && q.questionKind == 0; ++v) {
        const SheetItem& s = items[static_cast<std::size_t>(v)][static_cast<std::size_t>(i)];
        if (s.kind() == ItemKind::Interval) {
            q.questionKind = s.interval()->getKind();
        } else if (s.kind() == ItemKind::Chord) {
            q.questionKind = s.chord()->getKind();
            q.inversion = s.chord()->record().inversion;
        }
    }
    q.answered = answeredNow;
    q.right = right;
    if (answeredNow) {
        q.answerPitches = answerPitches_;
        q.responseMs = static_cast<std::int32_t>(std::max<std::int64_t>(0, q.whenMs - askedAtMs_));
        q.input = answerInput_;
        if (answerInput_ == AnswerInput::Midi)
            q.port = midiPorts.lastPort();
        // The next answer says how it came again.
        answerInput_ = AnswerInput::Mouse;
        answerPitches_.clear();
    }
    onScored_(q);
}

bool TSheetMusic::lastQuestionAnswered() const
{
    return lastAnswered >= 1 && static_cast<std::uint32_t>(lastAnswered) == itemCount;
}

void TSheetMusic::allKeysUp()
{
    wrongLatched = false;
    if (!running_ || lastQuestionAnswered())
        return;
    if (answered) {
        handOn();
        return;
    }
    setPointerMark(asked, PointerSprite);
}

void TSheetMusic::handOn()
{
    answered = false;
    lastAnswered = asked;
    if (lastQuestionAnswered()) {
        // The pointer stays on the last question, with its mark.
        recordBestTime(elapsedSeconds_);
        return;
    }
    movePointerOn();
    setPointerMark(asked, PointerSprite);
}

void TSheetMusic::judge(std::int32_t i, bool right)
{
    answered = true;
    const bool unjudged = verdicts[static_cast<std::size_t>(i)] == Verdict::None;
    scoreItem(i, right);
    if (unjudged)
        reportScored(i, true, right);
    setPointerMark(i, right ? RightSprite : WrongSprite);
}

void TSheetMusic::handleMidiEvent(const midi::TMyMidiEvent& event)
{
    onGuiThread("TSheetMusic::handleMidiEvent");
    const std::uint8_t s = event.statusByte;
    const std::uint8_t n = event.dataByte1;
    const std::uint8_t v = event.dataByte2;
    const bool noteOff = s >= 0x80 && s <= 0x8F;
    const bool noteOn = s >= 0x90 && s <= 0x9F;
    const bool control = s >= 0xB0 && s <= 0xBF;
    constexpr std::uint8_t AllSoundOff = 120;
    constexpr std::uint8_t AllNotesOff = 123;

    if (control && (n == AllNotesOff || n == AllSoundOff)) {
        releaseAllKeys();
        return;
    }
    if (!(noteOff || noteOn) || n >= heldKeys.size())
        return;
    // Every release form alike: note-off with or without a release
    // velocity, or note-on with velocity 0.
    if (noteOff || v == 0)
        releaseKey(n);
    else
        pressKey(n);
}

void TSheetMusic::releaseKey(std::uint8_t pitch)
{
    onGuiThread("TSheetMusic::releaseKey");
    // A key not held (its press came before the run, or was lost) changes
    // nothing.
    if (pitch >= heldKeys.size() || !heldKeys.test(pitch))
        return;
    heldKeys.reset(pitch);
    if (heldKeys.none())
        allKeysUp();
}

void TSheetMusic::pressKey(std::uint8_t pitch)
{
    onGuiThread("TSheetMusic::pressKey");
    if (pitch >= heldKeys.size() || heldKeys.test(pitch))
        return; // the same key again, without a release between
    heldKeys.set(pitch);
    if (!takesAnswers() || wrongLatched)
        return; // after a wrong key nothing counts until every key is up
    if (asked < 1)
        return; // the next question has not come in yet
    if (answered || verdicts[static_cast<std::size_t>(asked)] != Verdict::None)
        return; // already judged: the keys only count toward "all up"
    answerInput_ = AnswerInput::Midi;
    answerPitches_.clear();
    for (std::size_t p = 0; p < heldKeys.size(); ++p)
        if (heldKeys.test(p))
            answerPitches_.push_back(static_cast<int>(p));
    if (!EvaluateInput(asked, pitch)) {
        judge(asked, false);
        wrongLatched = true;
        return;
    }
    // Right once every pitch of the question is down and nothing else: a
    // pitch two voices share, or an octave doubled, is one key.
    const notation::PitchSet wanted = questionPitches(asked);
    if (heldKeys.count() == static_cast<std::size_t>(std::popcount(wanted)) &&
        allHeldKeysIn(wanted))
        judge(asked, true);
}

notation::PitchSet TSheetMusic::questionPitches(std::int32_t i) const
{
    notation::PitchSet all = 0;
    if (i < 1 || i > MaxItems)
        return all;
    for (int v = 1; v <= 2; ++v) {
        const SheetItem& s = items[static_cast<std::size_t>(v)][static_cast<std::size_t>(i)];
        if (s.onScreen)
            all |= s.pitchSet;
    }
    return all;
}

bool TSheetMusic::allHeldKeysIn(notation::PitchSet pitches) const
{
    for (std::size_t p = 0; p < heldKeys.size(); ++p)
        if (heldKeys.test(p) && !notation::containsPitch(pitches, static_cast<int>(p)))
            return false;
    return true;
}

void TSheetMusic::answerItem(std::int32_t i, bool right)
{
    onGuiThread("TSheetMusic::answerItem");
    // Only the question being asked, and only once: a question MIDI has
    // already judged waits for its keys to come up.
    if (!running_ || i < 1 || i != asked || answered ||
        verdicts[static_cast<std::size_t>(i)] != Verdict::None)
        return;
    judge(i, right);
    handOn();
}

bool TSheetMusic::questionAsked() const { return takesAnswers() && asked > 0; }

void TSheetMusic::answerPianoKeys(std::uint16_t pitchClasses, AnswerInput input)
{
    onGuiThread("TSheetMusic::answerPianoKeys");
    if (!questionAsked())
        return;
    answerInput_ = input;
    answerPitches_.clear();
    for (int pc = 0; pc < 12; ++pc)
        if ((pitchClasses >> pc) & 1u)
            answerPitches_.push_back(60 + pc);
    // Any octave, and a black key whatever its spelling: right when the
    // keys name exactly the question's pitch classes.
    const std::uint16_t expected = askedPitchClasses();
    answerItem(asked, expected != 0 && pitchClasses == expected);
}

std::uint16_t TSheetMusic::askedPitchClasses() const
{
    if (asked < 1 || asked > MaxItems)
        return 0;
    const notation::PitchSet pitches = questionPitches(asked);
    std::uint16_t classes = 0;
    for (int p = 0; p < 128; ++p)
        if (notation::containsPitch(pitches, p))
            classes = static_cast<std::uint16_t>(classes | (1u << (p % 12)));
    return classes;
}

void TSheetMusic::scoreItem(std::int32_t i, bool right)
{
    if (i < 1 || i > MaxItems)
        return;
    Verdict& verdict = verdicts[static_cast<std::size_t>(i)];
    if (verdict != Verdict::None)
        return; // the first judgement stands
    verdict = right ? Verdict::Right : Verdict::Wrong;
    const auto hand = [&](int voice, std::int32_t clefNo) {
        const SheetItem& s = items[static_cast<std::size_t>(voice)][static_cast<std::size_t>(i)];
        if (!s.onScreen)
            return;
        switch (s.kind()) {
        case ItemKind::Note:
            scoreStore.updateCurrentScore(modeIndex(), key, clefNo, 1, s.note()->getPitchClass(),
                                          right);
            break;
        case ItemKind::Interval:
            scoreStore.updateCurrentScore(modeIndex(), key, clefNo, 2, s.interval()->getKind(),
                                          right);
            break;
        case ItemKind::Chord:
            scoreStore.updateCurrentScore(modeIndex(), key, clefNo, 3, s.chord()->getKind(), right);
            break;
        default:
            break;
        }
    };
    switch (clefSetting) {
    case ClefSetting::Treble:
        hand(1, 1);
        break;
    case ClefSetting::Bass:
        hand(2, 2);
        break;
    case ClefSetting::Both:
        hand(1, 3);
        hand(2, 3);
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
        if (heldKeys.any()) {
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
    if (!keepsScores(exerciseKind))
        return;
    // A fast run full of mistakes is no best time: at least 90 % right.
    const auto right =
        std::count(verdicts.begin() + 1,
                   verdicts.begin() + 1 + static_cast<std::ptrdiff_t>(itemCount), Verdict::Right);
    if (right * 10 < static_cast<std::ptrdiff_t>(itemCount) * 9)
        return;
    if (seconds < scoreStore.storedBestTime(modeIndex(), key, clefIndex()))
        scoreStore.setCurrentBestTime(modeIndex(), key, clefIndex(), seconds);
}

} // namespace engine
