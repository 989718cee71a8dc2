// Any byte string must either load or fail with one of the reader's own
// errors: no crash, no other exception, no runaway allocation.

#include "resources/uResources.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    gfx::TBitmap32List list;
    try {
        resources::readPack(std::span(data, size), list);
    } catch (const resources::EReadError&) {
    }
    return 0;
}
