#pragma once

// Readable ring items in test failure messages.

#include "midi/Circbuf.h"

#include <ostream>

namespace midi {

inline void PrintTo(const MidiEventItem& item, std::ostream* os)
{
    *os << "{time " << item.timeStamp << ", message 0x" << std::hex << item.shortMessage << std::dec
        << ", header " << item.sysexHeader << "}";
}

} // namespace midi
