#include "ShippedSprites.h"

#include "resources/uResources.h"

namespace testsupport {

std::filesystem::path dataFolder() { return TESSALY_DATA_DIR; }

const gfx::TBitmap32List& shippedSprites()
{
    static const resources::TKeyResources pack(dataFolder());
    return pack.imgVorlanta;
}

} // namespace testsupport
