#pragma once

// The piano picture under the staff: a click names a pitch class. A press
// hit-tests the picture and highlights the key; the release adds its pitch
// class to the answer being collected, or takes it back when it was there
// already. Once the answer holds as many pitch classes as the asked
// question has, the session judges it. The computer keyboard's keys are
// highlighted here too.

#include "engine/uSheetMusic.h"
#include "gfx/Bitmap32List.h"
#include "gfx/Image32.h"

#include <array>
#include <cstdint>

namespace shell {

// What a point of the picture names: the key, its pitch-class bit, its
// highlight sprite and the highlight's left edge (its top is always 0).
struct PianoKey {
    int pitchClass;
    std::uint16_t bit;
    int sprite;
    int left;
};

// Four octaves of 140 pixels from C to B; black keys in rows 0..42. x runs
// over 0..559 and y over 0..70; outside that the nearest key is taken.
PianoKey pianoHitTest(int x, int y);

// A point of the second octave that pianoHitTest names `pitchClass` (0..11):
// low on a white key, high on a black one. For driving the picture by hand.
struct PianoPoint {
    int x;
    int y;
};
PianoPoint pianoPointOf(int pitchClass);

// The piano's state and mouse handling; the window owns one and shows
// `image` in its piano view.
class TPiano {
public:
    // `image` shows the keyboard picture; the highlights are its layers.
    // Both arguments must outlive the piano.
    TPiano(gfx::TImage32& image, const gfx::TBitmap32List& sprites);

    void imgPianoMouseDown(engine::TSheetMusic& session, int x, int y);
    void imgPianoMouseUp(engine::TSheetMusic& session, int x, int y);
    // Drops an answer collected for a question that is no longer asked.
    void followQuestion(const engine::TSheetMusic& session);
    // Highlights the key of `pitch` (a computer-keyboard key held), or
    // takes the highlight away.
    void showPitch(int pitch, bool shown);
    // Removes every highlight and the answer collected (Reset, the end of a
    // run).
    void ClearPiano();

    // The pitch classes collected for the asked question, bit k for k.
    std::uint16_t collectedKeys = 0;
    std::int32_t highlightCount() const;

private:
    void highlight(const PianoKey& key);
    void unhighlight(int pitchClass);

    gfx::TImage32& image_;
    const gfx::TBitmap32List& sprites_;
    // One highlight per pitch class, in the octave last played.
    std::array<gfx::OwnedLayer, 12> highlights_;
    int pressed_ = -1;               // the pitch class under the mouse button
    std::int32_t collectedFor_ = -1; // the question collectedKeys answers
};

} // namespace shell
