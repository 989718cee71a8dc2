// The whole input path against a running JACK server: a JACK client plays,
// the RtMidi service's callback files the messages into the component's
// ring, the Qt event loop delivers the notification, and the handler takes
// the events on the GUI thread. Skipped when no server runs.

#include "JackMidiSender.h"
#include "JackTest.h"
#include "midi/MidiIn.h"
#include "platform/midi/RtMidiService.h"
#include "platform/qt/QtNotifyTarget.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <thread>

namespace midi {
namespace {

using namespace std::chrono_literals;
using tessaly::integration::JackMidiSender;
using Bytes = std::vector<std::uint8_t>;

class JackComponent : public tessaly::integration::JackTest {};

TEST_F(JackComponent, NotesPlayedOnAJackPortReachTheHandlerOnTheGuiThread)
{
    JackMidiSender sender("tessaly-component");
    platform::midi::RtMidiService service;
    platform::qt::QtNotifyTargets targets;
    TMidiInput in(service, targets);
    ASSERT_GT(in.deviceCount(), 0);
    ASSERT_NO_THROW(in.setProductName(sender.portName()));

    std::vector<TMyMidiEvent> events;
    std::vector<std::thread::id> threads;
    in.setOnMidiInput([&](TMidiInput& sender_) {
        threads.push_back(std::this_thread::get_id());
        while (sender_.pendingEvents() > 0)
            events.push_back(*sender_.takeEvent());
    });
    in.openDevice();
    ASSERT_EQ(in.state(), MidiInputState::Open) << in.deviceErrorText(in.Error());
    in.startInput();
    ASSERT_TRUE(sender.waitUntilConnected(10s));

    std::vector<Bytes> played;
    for (std::uint8_t key = 60; key < 68; ++key) {
        played.push_back({0x90, key, 100});
        played.push_back({0x80, key, 0});
    }
    played.push_back({0xF0, 0x7D, 0x01, 0x02, 0xF7});
    sender.sendPaced(played, 2ms);

    ASSERT_TRUE(runUntil([&] { return events.size() >= played.size(); }))
        << events.size() << " of " << played.size();
    for (std::size_t i = 0; i + 1 < played.size(); ++i) {
        EXPECT_EQ(events[i].statusByte, played[i][0]) << i;
        EXPECT_EQ(events[i].dataByte1, played[i][1]) << i;
        EXPECT_EQ(events[i].dataByte2, played[i][2]) << i;
    }
    EXPECT_EQ(events.back().sysexBytes, played.back());
    for (const auto& id : threads)
        EXPECT_EQ(id, std::this_thread::get_id());

    in.stopInput();
    in.closeDevice();
    EXPECT_FALSE(sender.connected());
}

} // namespace
} // namespace midi
