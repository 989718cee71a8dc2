#pragma once

// Stand-in pictures for the window that runs until the sprite pack ships:
// a grand staff drawn with Qt at the geometry the notation code uses, and a
// plain notehead. They go into an in-memory sprite list at the indices the
// pack will use.

#include "gfx/Bitmap32.h"
#include "gfx/Bitmap32List.h"


namespace shell {

// A 313 × 300 grand staff: treble lines at y 80..120, bass lines at 180..220.
gfx::TBitmap32 drawPreviewStaff();
// A stem-up quarter note whose head centre lies 35 px below the sprite top,
// so that placing the sprite at a root position puts the head on its line.
gfx::TBitmap32 drawPreviewNote();

// 59 sprites, all empty except 24 (the note) and 42, 43 (the staff).
gfx::TBitmap32List makePreviewSprites();

} // namespace shell
