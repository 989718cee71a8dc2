#pragma once

// The piano picture under the staff: a click names a pitch class. A press
// hit-tests the picture and highlights the key; the release hands the keys
// pressed to the session, which judges them.

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
    // Removes every highlight (Reset, the end of a run).
    void ClearPiano();

    std::uint16_t pressedKeys = 0;
    std::array<gfx::OwnedLayer, 2> pianoHighlights;
    std::int32_t pianoHighlightCount = 0;

private:
    gfx::TImage32& image_;
    const gfx::TBitmap32List& sprites_;
};

} // namespace shell
