#pragma once

// Windows BMP files to and from 32-bit bitmaps. Reads uncompressed 1, 4, 8,
// 24 and 32 bits per pixel (BI_RGB, and BI_BITFIELDS / BI_ALPHABITFIELDS for
// 32 bits), bottom-up or top-down. A 32-bit image keeps the alpha it holds;
// every other kind gets alpha 255.

#include "gfx/Bitmap32.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace resources {

class EBmpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Largest side accepted, so that a damaged header cannot ask for gigabytes.
constexpr int MaxBmpSide = 16384;

// Throws EBmpError naming what is wrong or unsupported.
gfx::TBitmap32 decodeBmp(std::span<const std::uint8_t> file);
// Throws EBmpError, also when the file cannot be read.
gfx::TBitmap32 loadBmp(const std::filesystem::path& path);

// bitsPerPixel 24 (colour only) or 32 (with alpha, BITMAPV4HEADER with an
// alpha mask). Rows are written bottom-up, as most readers expect.
std::vector<std::uint8_t> encodeBmp(const gfx::TBitmap32& bitmap, int bitsPerPixel);
// Throws EBmpError when the file cannot be written.
void saveBmp(const gfx::TBitmap32& bitmap, const std::filesystem::path& path, int bitsPerPixel);

} // namespace resources
