// The RtMidi backend as far as it can be tested without hardware: it must
// come up and answer with whatever the machine has, usually nothing.

#include "platform/midi/RtMidiService.h"
#include "MidiReceiver.h"

#include <gtest/gtest.h>

#include <jack/jack.h>

#include <filesystem>
#include <set>
#include <string>

namespace platform::midi {
namespace {

bool jackServerRunning()
{
    // libjack complains at length when there is no server; here that is expected.
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    jack_status_t status{};
    jack_client_t* client = jack_client_open("tessaly-check", JackNoStartServer, &status);
    if (client == nullptr)
        return false;
    jack_client_close(client);
    return true;
}

TEST(RtMidiService, ListsWhatTheMachineHasAndRefusesWhatItHasNot)
{
    RtMidiService service;
    const std::uint32_t count = service.midiInGetNumDevs();
    if (!std::filesystem::exists("/dev/snd/seq") && !jackServerRunning()) {
        EXPECT_EQ(count, 0u) << "no ALSA sequencer and no JACK server, yet devices were listed";
    }

    std::set<std::string> names;
    for (std::uint32_t id = 0; id < count; ++id) {
        MIDIINCAPS caps;
        ASSERT_EQ(service.midiInGetDevCaps(id, caps), MMSYSERR_NOERROR);
        EXPECT_FALSE(caps.szPname.empty());
        EXPECT_LE(caps.szPname.size(), 31u);
        EXPECT_TRUE(names.insert(caps.szPname).second) << "two devices named " << caps.szPname;
        EXPECT_EQ(caps.vDriverVersion >> 8, 5u) << "RtMidi's major version";
    }

    MIDIINCAPS caps;
    EXPECT_EQ(service.midiInGetDevCaps(count, caps), MMSYSERR_BADDEVICEID);
    HMIDIIN device = 0;
    testing::MidiReceiver receiver;
    EXPECT_EQ(
        service.midiInOpen(device, count, &testing::MidiReceiver::callback, receiver.instance()),
        MMSYSERR_BADDEVICEID);
    EXPECT_EQ(device, 0u);
    EXPECT_TRUE(receiver.all().empty());
    EXPECT_EQ(service.midiInStart(1), MMSYSERR_INVALHANDLE);

    std::string text;
    EXPECT_EQ(service.midiInGetErrorText(MMSYSERR_BADDEVICEID, text), MMSYSERR_NOERROR);
    EXPECT_FALSE(text.empty());
}

TEST(RtMidiService, AskingAgainGivesTheSameList)
{
    RtMidiService first;
    RtMidiService second;
    const std::uint32_t count = first.midiInGetNumDevs();
    EXPECT_EQ(first.midiInGetNumDevs(), count);
    EXPECT_EQ(second.midiInGetNumDevs(), count);
}

} // namespace
} // namespace platform::midi
