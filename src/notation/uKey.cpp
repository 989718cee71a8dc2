#include "notation/uKey.h"

#include <stdexcept>
#include <string>

namespace notation {

TKey::TKey(TMusicalStaff& staff)
{
    gfx::TImage32& image = staff.image();
    {
        gfx::UpdateBracket bracket(image);
        gfx::TBitmapLayer& treble = image.addLayer();
        gfx::setSprite(treble, staff.picture(0), KeySignatureLeft, TrebleSignatureTop, true);
        trebleLayerIndex = treble.index();
        gfx::TBitmapLayer& bass = image.addLayer();
        gfx::setSprite(bass, staff.picture(BassSignatureSprites), KeySignatureLeft,
                       BassSignatureTop, true);
        bassLayerIndex = bass.index();
    }
    currentKey = 0;
    DrawKey(staff, currentKey);
}

void TKey::DrawKey(TMusicalStaff& staff, int key)
{
    if (key < 0 || key >= SignatureCount)
        throw std::out_of_range("Key signature index out of range: " + std::to_string(key));
    gfx::TImage32& image = staff.image();
    {
        gfx::UpdateBracket bracket(image);
        gfx::setSprite(image.layer(trebleLayerIndex), staff.picture(key), KeySignatureLeft,
                       TrebleSignatureTop, true);
        gfx::setSprite(image.layer(bassLayerIndex), staff.picture(key + BassSignatureSprites),
                       KeySignatureLeft, BassSignatureTop, true);
    }
    currentKey = key;
}

} // namespace notation
