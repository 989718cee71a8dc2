#include "midi/Mididefs.h"

namespace midi {

TMyMidiHdr::TMyMidiHdr(std::uint32_t size)
{
    if (size == 0)
        return;
    data_ = std::make_unique<std::uint8_t[]>(size);
    size_ = size;
    header_.lpData = data_.get();
    header_.dwBufferLength = size;
}

} // namespace midi
