// The RtMidi backend against a running JACK server: a JACK client sends,
// the service's callback receives. Skipped when no server runs.

#include "JackMidiSender.h"
#include "JackTest.h"
#include "MidiReceiver.h"
#include "platform/midi/RtMidiService.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace platform::midi {
namespace {

using namespace std::chrono_literals;
using tessaly::integration::JackMidiSender;
using testing::MidiReceiver;
using testing::SysexBuffers;
using Bytes = std::vector<std::uint8_t>;

constexpr auto ConnectTimeout = 10s;

class JackInput : public tessaly::integration::JackTest {
protected:
    // The device number the service gives the port, or the device count
    // when it does not list it.
    static std::uint32_t deviceOf(RtMidiService& service, const std::string& portName)
    {
        const std::uint32_t count = service.midiInGetNumDevs();
        for (std::uint32_t id = 0; id < count; ++id) {
            MIDIINCAPS caps;
            if (service.midiInGetDevCaps(id, caps) == MMSYSERR_NOERROR && caps.szPname == portName)
                return id;
        }
        return count;
    }
};

TEST_F(JackInput, PacedNotesAndSysexArriveThroughTheCallback)
{
    JackMidiSender sender("tessaly-keys");
    RtMidiService service;
    const std::uint32_t id = deviceOf(service, sender.portName());
    ASSERT_LT(id, service.midiInGetNumDevs()) << sender.portName() << " is not listed";

    MidiReceiver receiver;
    SysexBuffers buffers(4, 256);
    HMIDIIN device = 0;
    ASSERT_EQ(service.midiInOpen(device, id, &MidiReceiver::callback, receiver.instance()),
              MMSYSERR_NOERROR);
    ASSERT_EQ(buffers.queueAll(service, device), MMSYSERR_NOERROR);
    ASSERT_EQ(service.midiInStart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(sender.waitUntilConnected(ConnectTimeout)) << "the service did not connect";

    std::vector<Bytes> messages;
    std::vector<std::uint32_t> expected;
    for (std::uint8_t key = 60; key < 72; ++key) {
        messages.push_back({0x90, key, 100});
        messages.push_back({0x80, key, 0});
        expected.push_back(0x640090u | (std::uint32_t{key} << 8));
        expected.push_back(0x000080u | (std::uint32_t{key} << 8));
    }
    const Bytes sysex = testing::sysexMessage(300, 0x10);
    messages.push_back(sysex);
    messages.push_back({0x91, 48, 90});
    expected.push_back(0x5A3091);
    sender.sendPaced(messages, 2ms);

    ASSERT_TRUE(receiver.waitFor(MIM_DATA, expected.size()));
    ASSERT_TRUE(receiver.waitFor(MIM_LONGDATA, 2));
    EXPECT_EQ(receiver.shortMessages(), expected);
    const Bytes received = [&] {
        Bytes all;
        for (const auto& r : receiver.headers())
            all.insert(all.end(), r.bytes.begin(), r.bytes.end());
        return all;
    }();
    EXPECT_EQ(received, sysex) << "300 data bytes in 256-byte buffers";

    std::uint32_t last = 0;
    for (const auto& r : receiver.all()) {
        if (r.message != MIM_DATA && r.message != MIM_LONGDATA)
            continue;
        EXPECT_NE(r.thread, std::this_thread::get_id());
        EXPECT_GE(r.timeStamp, last) << "time stamps go forward";
        last = r.timeStamp;
    }

    ASSERT_EQ(service.midiInReset(device), MMSYSERR_NOERROR);
    ASSERT_EQ(buffers.unprepareAll(service, device), MMSYSERR_NOERROR);
    ASSERT_EQ(service.midiInClose(device), MMSYSERR_NOERROR);
    receiver.forbidCalls();
    sender.sendPaced({{0x90, 60, 100}}, 2ms);
    EXPECT_FALSE(sender.connected()) << "closing the device disconnects it";
    EXPECT_EQ(receiver.forbiddenCalls(), 0);
    EXPECT_FALSE(receiver.overlapped());
}

TEST_F(JackInput, DeviceNumbersNameThePortsListedWhenTheServiceWasAsked)
{
    auto before = std::make_unique<JackMidiSender>("tessaly-before");
    auto listed = std::make_unique<JackMidiSender>("tessaly-listed");
    const std::string listedName = listed->portName();
    RtMidiService service;
    const std::uint32_t id = deviceOf(service, listedName);
    ASSERT_LT(id, service.midiInGetNumDevs());

    // A port listed before ours goes: in JACK's own list ours moves up.
    before.reset();
    MIDIINCAPS caps;
    ASSERT_EQ(service.midiInGetDevCaps(id, caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.szPname, listedName);

    MidiReceiver receiver;
    HMIDIIN device = 0;
    ASSERT_EQ(service.midiInOpen(device, id, &MidiReceiver::callback, receiver.instance()),
              MMSYSERR_NOERROR);
    ASSERT_EQ(service.midiInStart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(listed->waitUntilConnected(ConnectTimeout));
    listed->sendPaced({{0x90, 64, 80}}, 2ms);
    ASSERT_TRUE(receiver.waitFor(MIM_DATA, 1));
    EXPECT_EQ(receiver.shortMessages(), (std::vector<std::uint32_t>{0x504090}));
    ASSERT_EQ(service.midiInClose(device), MMSYSERR_NOERROR);

    // Ours goes and others come, so JACK lists another port at our number:
    // opening it is an error, not a connection to a stranger.
    listed.reset();
    JackMidiSender first("tessaly-new-1");
    JackMidiSender second("tessaly-new-2");
    HMIDIIN gone = 0;
    EXPECT_EQ(service.midiInOpen(gone, id, nullptr, 0), MMSYSERR_NODRIVER);
    EXPECT_EQ(gone, 0u);
    EXPECT_FALSE(first.connected());
    EXPECT_FALSE(second.connected());

    // Asking again reads the new list.
    const std::uint32_t count = service.midiInGetNumDevs();
    EXPECT_LT(deviceOf(service, first.portName()), count);
    EXPECT_LT(deviceOf(service, second.portName()), count);
    EXPECT_EQ(deviceOf(service, listedName), count);
}

} // namespace
} // namespace platform::midi
