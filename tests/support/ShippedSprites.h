#pragma once

#include "gfx/Bitmap32List.h"

#include <filesystem>

namespace testsupport {

// The data folder of the source tree (data/keyresources.dat and the images).
std::filesystem::path dataFolder();

// The shipped sprite pack, read once per test program.
const gfx::TBitmap32List& shippedSprites();

} // namespace testsupport
