#pragma once

// The pictures of the sprite pack and the piano keyboard, drawn to fit the
// places where the program puts them on the staff and the piano.

#include "MusicFont.h"

#include "gfx/Bitmap32.h"
#include "gfx/Bitmap32List.h"

#include <filesystem>
#include <vector>

namespace drawsprites {

// Where the program puts things, in pixels of the staff picture. A sprite's
// "row r" is the pixel row r; a line drawn in row r has its middle at r + 0.5.
namespace staff {
constexpr int Space = 10;
constexpr int TrebleTopLine = 80; // lines at 80, 90, 100, 110, 120
constexpr int BassTopLine = 180;  // lines at 180 .. 220
constexpr int KeyLeft = 40;
constexpr int TrebleKeyTop = 70; // the key signature's row 10 is the top line
constexpr int BassKeyTop = 170;
constexpr int NarrowWidth = 313; // layout 2: notes enter at 275
constexpr int WideWidth = 620;   // layout 1: notes enter at 545
constexpr int Height = 300;
constexpr int HeadRowUp = 35;     // head centre below the top of a stem-up note sprite
constexpr int HeadRowDown = 5;    // and of a stem-down one
constexpr int ShiftUp = 11;       // a shifted stem-up head lies this far right
constexpr int ShiftDown = -11;    // a shifted stem-down head this far left
constexpr int AccidentalGap = 10; // accidental sprite's left edge before the head
constexpr int LedgerLeft = -5;
constexpr int NumeralLeft = -10;
constexpr int NumeralTop = 255;
} // namespace staff

// The rows of the sign's staff position below each accidental sprite's top.
namespace accidental_row {
constexpr int Flat = 13;
constexpr int Sharp = 10;
constexpr int Natural = 9;
constexpr int DoubleSharp = 4;
} // namespace accidental_row

namespace piano {
constexpr int Width = 561;
constexpr int Height = 71;
constexpr int Octave = 140;
constexpr int WhiteKey = 20;
constexpr int BlackBottom = 42; // last row of the black keys
constexpr int BlackWidth = 13;
constexpr int BlackLefts[5] = {11, 36, 71, 94, 117};
} // namespace piano

// The 59 sprites in pack order, with straight (not premultiplied) alpha.
// `scale` 1, 2 or 3: the same pictures drawn with `scale` times as many
// pixels across and down, for screens of that density; every sprite is
// exactly `scale` times its 1x width and height.
std::vector<gfx::TBitmap32> drawSprites(const MusicFont& font, int scale);

// The keyboard picture of the main window, opaque, `scale` times the
// piano's size.
gfx::TBitmap32 drawPiano(int scale);

// Writes the sprites under `imagesFolder` as the pack builder reads them:
// masked sprites as a 24-bit colour image and a 24-bit "-neg" mask, the
// others as 32-bit images with their alpha. Throws on a write failure.
void writeSpriteImages(const std::vector<gfx::TBitmap32>& sprites,
                       const std::filesystem::path& imagesFolder);

// The sprite list the pack builder would read back from those images, for
// writing a pack without the image files (the dense packs).
gfx::TBitmap32List packedSprites(const std::vector<gfx::TBitmap32>& sprites);

} // namespace drawsprites
