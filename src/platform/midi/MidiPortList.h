#pragma once

// Product names for the input devices a backend lists: short enough for
// MIDIINCAPS, and different for every device, because the program selects
// a device by its name.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform::midi {

constexpr std::size_t MaxProductNameLength = 31;

// `name` cut to MaxProductNameLength bytes, never inside a UTF-8 sequence.
std::string fitProductName(std::string_view name);

enum class PortApi { Alsa, Jack };

// The product name of a port as the driver names it. ALSA ports come as
// "client:port client-number:port-number"; the numbers go, and so does the
// client name when the port name repeats it. JACK ports keep "client:port".
std::string productNameOfPort(PortApi api, std::string_view portName);

struct PortEntry {
    PortApi api;
    std::string portName;    // as the driver names it; used to find the port again
    std::string productName; // fitted and unique within the list
};

struct PortId {
    PortApi api;
    std::string portName;
};

// Entries in the given order, except that the ports of ALSA's "Midi
// Through" client go last: the program opens device 0, and on most machines
// that should be a keyboard, not the loop the kernel always offers. A
// product name that is already taken gets " (2)", " (3)", ... within the
// length limit.
std::vector<PortEntry> makePortList(std::vector<PortId> ports);

} // namespace platform::midi
