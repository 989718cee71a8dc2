#include "platform/midi/MidiPortList.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace platform::midi {
namespace {

struct NameCase {
    const char* name;
    PortApi api;
    std::string portName;
    std::string expected;
};

void PrintTo(const NameCase& row, std::ostream* os) { *os << row.name; }

class ProductNameOfPort : public ::testing::TestWithParam<NameCase> {};

const NameCase nameCases[] = {
    {"AlsaPortRepeatingItsClient", PortApi::Alsa,
     "Arturia KeyStep 32:Arturia KeyStep 32 MIDI 1 20:0", "Arturia KeyStep 32 MIDI 1"},
    {"AlsaThroughPort", PortApi::Alsa, "Midi Through:Midi Through Port-0 14:0",
     "Midi Through Port-0"},
    {"AlsaPortWithItsOwnName", PortApi::Alsa, "VMPK Output:out 128:0", "VMPK Output:out"},
    {"AlsaNameWithoutAddress", PortApi::Alsa, "Keys:Keys in", "Keys in"},
    {"AlsaAddressLookalikeKept", PortApi::Alsa, "Synth:Port 1:x", "Synth:Port 1:x"},
    {"JackKeepsClientAndPort", PortApi::Jack, "tessaly-send:out", "tessaly-send:out"},
    {"LongNameCut", PortApi::Jack, "a2j:Arturia KeyStep 32 [20] (capture): MIDI 1",
     "a2j:Arturia KeyStep 32 [20] (ca"},
    // "é" is two bytes; cutting between them would leave broken UTF-8.
    {"CutNeverSplitsACharacter", PortApi::Jack, "abcdefghijklmnopqrstuvwxyz1234\xC3\xA9xyz",
     "abcdefghijklmnopqrstuvwxyz1234"},
};

TEST_P(ProductNameOfPort, IsShortAndReadable)
{
    const std::string name = productNameOfPort(GetParam().api, GetParam().portName);
    EXPECT_EQ(name, GetParam().expected);
    EXPECT_LE(name.size(), MaxProductNameLength);
}

INSTANTIATE_TEST_SUITE_P(Table, ProductNameOfPort, ::testing::ValuesIn(nameCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(PortList, KeepsOrderAndPortNamesAndMakesProductNamesUnique)
{
    const auto list = makePortList({{PortApi::Alsa, "CH345:CH345 MIDI 1 20:0"},
                                    {PortApi::Alsa, "CH345:CH345 MIDI 1 24:0"},
                                    {PortApi::Jack, "system:midi_capture_1"},
                                    {PortApi::Alsa, "CH345:CH345 MIDI 1 28:0"},
                                    {PortApi::Jack, "A Very Long Client Name Indeed:port"},
                                    {PortApi::Jack, "A Very Long Client Name Indeed:other"}});
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(list[0].productName, "CH345 MIDI 1");
    EXPECT_EQ(list[1].productName, "CH345 MIDI 1 (2)");
    EXPECT_EQ(list[2].productName, "system:midi_capture_1");
    EXPECT_EQ(list[3].productName, "CH345 MIDI 1 (3)");
    EXPECT_EQ(list[4].productName, "A Very Long Client Name Indeed:");
    EXPECT_EQ(list[5].productName, "A Very Long Client Name Ind (2)");
    EXPECT_EQ(list[1].portName, "CH345:CH345 MIDI 1 24:0");
    EXPECT_EQ(list[1].api, PortApi::Alsa);
    EXPECT_EQ(list[5].api, PortApi::Jack);
}

TEST(PortList, PutsAlsasThroughPortsAfterTheRealOnes)
{
    const auto list = makePortList({{PortApi::Alsa, "Midi Through:Midi Through Port-0 14:0"},
                                    {PortApi::Alsa, "Midi Through:Midi Through Port-1 14:1"},
                                    {PortApi::Alsa, "CH345:CH345 MIDI 1 20:0"},
                                    {PortApi::Jack, "Midi Through:odd jack client"},
                                    {PortApi::Alsa, "Keys:Keys in 24:0"}});
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0].productName, "CH345 MIDI 1");
    EXPECT_EQ(list[1].productName, "Midi Through:odd jack client");
    EXPECT_EQ(list[2].productName, "Keys in");
    EXPECT_EQ(list[3].productName, "Midi Through Port-0");
    EXPECT_EQ(list[4].productName, "Midi Through Port-1");
}

} // namespace
} // namespace platform::midi
