#pragma once

// The preview sheet: every sprite of the pack on a checkerboard with its index
// and name, every key signature on the staff, a few staves with notes placed
// by hand at the positions the program gives them, and the piano with
// highlights. Made to be looked at whenever the art changes.

#include "gfx/Bitmap32.h"
#include "gfx/Bitmap32List.h"

#include <QImage>

namespace drawsprites {

QImage renderPreviewSheet(const gfx::TBitmap32List& sprites, const gfx::TBitmap32& piano);

} // namespace drawsprites
