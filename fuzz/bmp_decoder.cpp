// Any byte string must decode or fail with EBmpError.

#include "resources/uBmp.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        (void)resources::decodeBmp(std::span(data, size));
    } catch (const resources::EBmpError&) {
    }
    return 0;
}
