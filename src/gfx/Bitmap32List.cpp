#include "gfx/Bitmap32List.h"

#include <string>

namespace gfx {

EListError::EListError(int index)
    : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")"),
      index_(index)
{
}

TBitmap32& TBitmap32List::add() { return *items_.emplace_back(std::make_unique<TBitmap32>()); }

TBitmap32& TBitmap32List::bitmap(int index)
{
    if (index < 0 || index >= count())
        throw EListError(index);
    return *items_[static_cast<std::size_t>(index)];
}

const TBitmap32& TBitmap32List::bitmap(int index) const
{
    if (index < 0 || index >= count())
        throw EListError(index);
    return *items_[static_cast<std::size_t>(index)];
}

} // namespace gfx
