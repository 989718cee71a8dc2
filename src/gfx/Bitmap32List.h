#pragma once

#include "gfx/Bitmap32.h"

#include <memory>
#include <stdexcept>
#include <vector>

namespace gfx {

// Raised for a position at or beyond the end of a list (bitmaps or layers).
class EListError : public std::out_of_range {
public:
    explicit EListError(int index);
    int index() const { return index_; }

private:
    int index_;
};

// An ordered list of owned bitmaps, read by 0-based position. Items are only
// appended; a bitmap keeps its address for as long as the list holds it.
class TBitmap32List {
public:
    int count() const { return static_cast<int>(items_.size()); }
    TBitmap32& add();
    void clear() { items_.clear(); }

    // Throws EListError ("List index out of bounds (%d)") for a bad position.
    TBitmap32& bitmap(int index);
    const TBitmap32& bitmap(int index) const;

private:
    std::vector<std::unique_ptr<TBitmap32>> items_;
};

} // namespace gfx
