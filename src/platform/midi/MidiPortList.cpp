#include "platform/midi/MidiPortList.h"

#include <algorithm>
#include <cctype>

namespace platform::midi {

namespace {

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::string fitted(std::string_view name, std::size_t length)
{
    if (name.size() <= length)
        return std::string(name);
    while (length > 0 && isContinuationByte(name[length]))
        --length;
    return std::string(name.substr(0, length));
}

bool isDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

// " 20:0" at the end of an ALSA name.
std::string_view withoutAlsaAddress(std::string_view name)
{
    const auto space = name.rfind(' ');
    if (space == std::string_view::npos)
        return name;
    const std::string_view address = name.substr(space + 1);
    const auto colon = address.find(':');
    if (colon == std::string_view::npos || !isDigits(address.substr(0, colon)) ||
        !isDigits(address.substr(colon + 1)))
        return name;
    return name.substr(0, space);
}

} // namespace

std::string fitProductName(std::string_view name) { return fitted(name, MaxProductNameLength); }

std::string productNameOfPort(PortApi api, std::string_view portName)
{
    if (api == PortApi::Jack)
        return fitProductName(portName);
    const std::string_view name = withoutAlsaAddress(portName);
    const auto colon = name.find(':');
    if (colon != std::string_view::npos) {
        const std::string_view client = name.substr(0, colon);
        const std::string_view port = name.substr(colon + 1);
        if (!port.empty() && port.substr(0, client.size()) == client)
            return fitProductName(port);
    }
    return fitProductName(name);
}

std::vector<PortEntry> makePortList(std::vector<PortId> ports)
{
    std::stable_partition(ports.begin(), ports.end(), [](const PortId& port) {
        return port.api != PortApi::Alsa || !port.portName.starts_with("Midi Through:");
    });
    std::vector<PortEntry> list;
    list.reserve(ports.size());
    const auto taken = [&list](const std::string& name) {
        return std::any_of(list.begin(), list.end(),
                           [&name](const PortEntry& entry) { return entry.productName == name; });
    };
    for (const PortId& port : ports) {
        const std::string base = productNameOfPort(port.api, port.portName);
        std::string name = base;
        for (int n = 2; taken(name); ++n) {
            const std::string suffix = " (" + std::to_string(n) + ")";
            name = fitted(base, MaxProductNameLength - suffix.size()) + suffix;
        }
        list.push_back({port.api, port.portName, name});
    }
    return list;
}

} // namespace platform::midi
