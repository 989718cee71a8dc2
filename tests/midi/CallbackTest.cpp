#include "ItemPrinter.h"
#include "midi/Circbuf.h"
#include "midi/MidiCallback.h"
#include "midi/Midicons.h"
#include "midi/Mididefs.h"
#include "platform/testing/QueuedNotifyTarget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace midi {
namespace {

using namespace platform::midi;
using Posts = std::vector<std::uint32_t>;

std::uintptr_t addressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// What a device opened with a context sees: the callback, the context as
// instance data, a ring behind it and a notification target whose posts wait
// for the test.
class MidiCallback : public ::testing::Test {
protected:
    MidiCallback() { attach(MidiEventRing::create(1024)); }

    void attach(std::unique_ptr<MidiEventRing> newRing)
    {
        ring = std::move(newRing);
        context.ring = ring.get();
        context.target = target.get();
    }
    void deliver(std::uint32_t message, std::uintptr_t param1, std::uintptr_t param2 = 0)
    {
        midiInputCallback(HMIDIIN{1}, message, addressOf(&context), param1, param2);
    }
    void note(std::uint32_t key, std::uint32_t time)
    {
        deliver(MIM_DATA, 0x640090u | key << 8, time);
    }
    std::vector<MidiEventItem> waiting()
    {
        std::vector<MidiEventItem> out;
        MidiEventItem i;
        while (out.size() <= ring->capacity() && ring->peek(i)) {
            out.push_back(i);
            ring->drop();
        }
        return out;
    }

    platform::testing::QueuedNotifyTargets targets;
    std::unique_ptr<platform::NotifyTarget> target = targets.create([](std::uint32_t) {});
    std::unique_ptr<MidiEventRing> ring;
    CallbackContext context;
    TMyMidiHdr sysex{64};
};

// --- One message at a time ------------------------------------------------------

constexpr std::uintptr_t TheHeader = ~std::uintptr_t{0}; // param1 is the fixture's header

struct MessageCase {
    const char* name;
    std::uint32_t message;
    std::uintptr_t param1;
    bool sysexOnly;
    std::optional<std::uint32_t> storedShortMessage; // none: nothing reaches the ring
};
void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.name; }

class Messages : public MidiCallback, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(Messages, FileWhatTheGuiThreadWantsAndAnnounceIt)
{
    const MessageCase& c = GetParam();
    context.sysexOnly = c.sysexOnly;
    const std::uintptr_t param1 = c.param1 == TheHeader ? addressOf(&sysex.header()) : c.param1;
    deliver(c.message, param1, 0x1234);

    const std::vector<MidiEventItem> items = waiting();
    if (!c.storedShortMessage) {
        EXPECT_TRUE(items.empty());
        EXPECT_EQ(targets.posted(), Posts{});
        return;
    }
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].timeStamp, 0x1234u);
    EXPECT_EQ(items[0].shortMessage, *c.storedShortMessage);
    EXPECT_EQ(items[0].sysexHeader, c.param1 == TheHeader ? &sysex.header() : nullptr);
    EXPECT_EQ(targets.posted(), Posts{mim_Data});
}

INSTANTIATE_TEST_SUITE_P(
    MidiCallback, Messages,
    ::testing::Values(MessageCase{"NoteOn", MIM_DATA, 0x643C90, false, 0x643C90},
                      MessageCase{"NoteOffOnChannelThree", MIM_DATA, 0x004082, false, 0x004082},
                      MessageCase{"ActiveSensing", MIM_DATA, 0xFE, false, std::nullopt},
                      MessageCase{"TimingClock", MIM_DATA, 0xF8, false, std::nullopt},
                      // Only those two real-time bytes are noise; the rest are kept.
                      MessageCase{"StartIsKept", MIM_DATA, 0xFA, false, 0xFA},
                      MessageCase{"NoteOnWhileSysexOnly", MIM_DATA, 0x643C90, true, std::nullopt},
                      MessageCase{"SysexBuffer", MIM_LONGDATA, TheHeader, false, 0},
                      MessageCase{"SysexBufferWhileSysexOnly", MIM_LONGDATA, TheHeader, true, 0},
                      MessageCase{"BrokenSysexBuffer", MIM_LONGERROR, TheHeader, false, 0},
                      MessageCase{"BrokenSysexBufferWhileSysexOnly", MIM_LONGERROR, TheHeader, true,
                                  0},
                      MessageCase{"Open", MIM_OPEN, 0, false, std::nullopt},
                      MessageCase{"Close", MIM_CLOSE, 0, false, std::nullopt},
                      MessageCase{"BrokenShortMessage", MIM_ERROR, 0x643C90, false, std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

// --- Context, ring and target ------------------------------------------------------

TEST_F(MidiCallback, WithoutContextOrRingNothingHappens)
{
    midiInputCallback(HMIDIIN{1}, MIM_DATA, 0, 0x643C90, 0);
    midiInputCallback(HMIDIIN{1}, MIM_LONGDATA, 0, addressOf(&sysex.header()), 0);

    MidiEventRing& kept = *ring;
    context.ring = nullptr;
    note(60, 1);
    deliver(MIM_LONGDATA, addressOf(&sysex.header()));

    EXPECT_EQ(kept.count(), 0);
    EXPECT_EQ(targets.posted(), Posts{});
}

TEST_F(MidiCallback, WithoutTargetTheItemStillWaits)
{
    context.target = nullptr;
    note(60, 7);
    EXPECT_EQ(waiting(), (std::vector{MidiEventItem{7, 0x643C90, nullptr}}));
    EXPECT_EQ(targets.posted(), Posts{});
}

TEST_F(MidiCallback, SysexOnlyTakesEffectBetweenMessages)
{
    note(60, 1);
    context.sysexOnly = true;
    note(62, 2);
    context.sysexOnly = false;
    note(64, 3);

    const std::vector<MidiEventItem> items = waiting();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].timeStamp, 1u);
    EXPECT_EQ(items[1].timeStamp, 3u);
}

TEST_F(MidiCallback, FullRingPostsOneOverflowPerLostItemAndKeepsTheOldOnes)
{
    attach(MidiEventRing::create(2));
    for (std::uint32_t key = 60; key < 65; ++key)
        note(key, key);
    deliver(MIM_LONGDATA, addressOf(&sysex.header()), 65);

    EXPECT_EQ(targets.posted(),
              (Posts{mim_Data, mim_Data, mim_Overflow, mim_Overflow, mim_Overflow, mim_Overflow}));
    ASSERT_EQ(ring->count(), 2);

    ring->drop();
    note(70, 70);
    EXPECT_EQ(targets.posted().back(), mim_Data);
    const std::vector<MidiEventItem> items = waiting();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].timeStamp, 61u);
    EXPECT_EQ(items[1].timeStamp, 70u);
}

// The item for a system-exclusive buffer leads back to the bytes the device
// wrote.
TEST_F(MidiCallback, SysexItemLeadsToTheRecordedBytes)
{
    const std::uint8_t message[] = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
    std::copy(std::begin(message), std::end(message), sysex.data().begin());
    sysex.header().dwBytesRecorded = sizeof message;
    deliver(MIM_LONGDATA, addressOf(&sysex.header()), 9);

    const std::vector<MidiEventItem> items = waiting();
    ASSERT_EQ(items.size(), 1u);
    const MIDIHDR& h = *items[0].sysexHeader;
    EXPECT_EQ(std::vector(h.lpData, h.lpData + h.dwBytesRecorded),
              std::vector(std::begin(message), std::end(message)));
}

// --- The receive buffer ------------------------------------------------------------

TEST(TMyMidiHdr, HeaderDescribesItsZeroedBuffer)
{
    for (const std::uint32_t size : {1u, 4096u}) {
        SCOPED_TRACE("size " + std::to_string(size));
        TMyMidiHdr buffer(size);
        const MIDIHDR& h = buffer.header();
        ASSERT_NE(h.lpData, nullptr);
        EXPECT_EQ(h.lpData, buffer.data().data());
        EXPECT_EQ(h.dwBufferLength, size);
        EXPECT_EQ(buffer.data().size(), size);
        EXPECT_TRUE(std::all_of(h.lpData, h.lpData + size, [](std::uint8_t b) { return b == 0; }));
        EXPECT_EQ(h.dwBytesRecorded, 0u);
        EXPECT_EQ(h.dwUser, 0u);
        EXPECT_EQ(h.dwFlags, 0u);
    }
    const TMyMidiHdr none(0);
    EXPECT_EQ(none.header().lpData, nullptr);
    EXPECT_EQ(none.header().dwBufferLength, 0u);
    EXPECT_TRUE(none.data().empty());
}

} // namespace
} // namespace midi
