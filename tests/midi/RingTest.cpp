#include "ItemPrinter.h"
#include "midi/Circbuf.h"

#include <gtest/gtest.h>

#include <thread>

#include <array>
#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

namespace midi {

namespace {

std::array<platform::midi::MIDIHDR, 3> headers{};

// Every field differs from item to item, and some items carry a header, so a
// place read too early, twice or out of turn shows.
MidiEventItem item(std::uint32_t n)
{
    MidiEventItem i;
    i.timeStamp = n;
    if (n % 5 == 4)
        i.sysexHeader = &headers[n % headers.size()];
    else
        i.shortMessage = 0x90u | (n % 128) << 8 | (n * 7 % 128) << 16;
    return i;
}

std::unique_ptr<MidiEventRing> filled(std::size_t capacity, std::uint32_t items)
{
    auto ring = MidiEventRing::create(capacity);
    for (std::uint32_t n = 0; n < items; ++n)
        EXPECT_TRUE(ring->put(item(n))) << "item " << n;
    return ring;
}

// Takes every waiting item out, in order; never more than the ring can hold,
// so a ring that never runs empty fails instead of hanging.
std::vector<MidiEventItem> takeAll(MidiEventRing& ring)
{
    std::vector<MidiEventItem> out;
    MidiEventItem i;
    while (out.size() <= ring.capacity() && ring.peek(i)) {
        out.push_back(i);
        EXPECT_TRUE(ring.drop());
    }
    return out;
}

TEST(MidiEventRing, FullRingRefusesTheNextItemUntilOneIsDropped)
{
    auto ring = filled(1024, 1024);
    EXPECT_EQ(ring->count(), 1024);

    EXPECT_FALSE(ring->put(item(5000)));
    EXPECT_EQ(ring->count(), 1024);
    MidiEventItem oldest;
    ASSERT_TRUE(ring->peek(oldest));
    EXPECT_EQ(oldest, item(0)) << "a refused put must leave the waiting items alone";

    ASSERT_TRUE(ring->drop());
    EXPECT_TRUE(ring->put(item(1024)));
    EXPECT_FALSE(ring->put(item(5001)));

    const std::vector<MidiEventItem> taken = takeAll(*ring);
    ASSERT_EQ(taken.size(), 1024u);
    for (std::uint32_t n = 0; n < 1024; ++n)
        ASSERT_EQ(taken[n], item(n + 1)) << "place " << n;
    EXPECT_EQ(ring->count(), 0);
}

TEST(MidiEventRing, WrapsToTheFirstPlaceAfterCapacityItems)
{
    auto ring = filled(4, 4);
    EXPECT_EQ(takeAll(*ring).size(), 4u);

    ASSERT_TRUE(ring->put(item(4)));
    MidiEventItem i;
    ASSERT_TRUE(ring->peek(i));
    EXPECT_EQ(i, item(4));
    EXPECT_EQ(ring->count(), 1);
}

// Puts and drops in uneven bursts, so the two positions wrap many times at
// every distance from each other, against a queue that is known to be right.
TEST(MidiEventRing, KeepsOrderAcrossManyWraps)
{
    for (const std::size_t capacity : {std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
        SCOPED_TRACE("capacity " + std::to_string(capacity));
        auto ring = MidiEventRing::create(capacity);
        std::deque<MidiEventItem> model;
        std::uint32_t next = 0;
        for (std::uint32_t round = 0; round < 200; ++round) {
            for (std::uint32_t k = 0; k < round % 5; ++k) {
                const bool fits = model.size() < capacity;
                ASSERT_EQ(ring->put(item(next)), fits) << "round " << round;
                if (fits)
                    model.push_back(item(next));
                ++next;
            }
            for (std::uint32_t k = 0; k < round % 3; ++k) {
                MidiEventItem i;
                ASSERT_EQ(ring->peek(i), !model.empty()) << "round " << round;
                ASSERT_EQ(ring->drop(), !model.empty());
                if (model.empty())
                    continue;
                ASSERT_EQ(i, model.front()) << "round " << round;
                model.pop_front();
            }
            ASSERT_EQ(ring->count(), model.size()) << "round " << round;
        }
    }
}

TEST(MidiEventRing, PeekLeavesTheItemWaiting)
{
    auto ring = filled(8, 2);
    MidiEventItem first, second;
    ASSERT_TRUE(ring->peek(first));
    ASSERT_TRUE(ring->peek(second));
    EXPECT_EQ(first, item(0));
    EXPECT_EQ(second, item(0));
    EXPECT_EQ(ring->count(), 2);
}

TEST(MidiEventRing, EmptyRingHasNothingToPeekOrDrop)
{
    auto ring = MidiEventRing::create(8);
    MidiEventItem untouched = item(4);
    EXPECT_FALSE(ring->peek(untouched));
    EXPECT_EQ(untouched, item(4));
    EXPECT_FALSE(ring->drop());
    EXPECT_EQ(ring->count(), 0);

    // Emptied again after use: a drop too many must not go below zero.
    ASSERT_TRUE(ring->put(item(0)));
    ASSERT_TRUE(ring->drop());
    EXPECT_FALSE(ring->drop());
    EXPECT_EQ(ring->count(), 0);
    EXPECT_TRUE(ring->put(item(1)));
    EXPECT_EQ(takeAll(*ring), std::vector{item(1)});
}

struct CapacityCase {
    const char* name;
    std::size_t capacity;
    bool made;
};
void PrintTo(const CapacityCase& c, std::ostream* os) { *os << c.name; }

class Capacities : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(Capacities, MadeOnlyInsideTheSupportedRange)
{
    const CapacityCase& c = GetParam();
    auto ring = MidiEventRing::create(c.capacity);
    ASSERT_EQ(ring != nullptr, c.made);
    if (!ring)
        return;
    EXPECT_EQ(ring->capacity(), c.capacity);
    EXPECT_EQ(ring->count(), 0);
    // Every place is usable, and not one more.
    MidiEventItem i;
    EXPECT_FALSE(ring->peek(i)) << "a new ring holds nothing";
    for (std::uint32_t n = 0; n < c.capacity; ++n)
        ASSERT_TRUE(ring->put(item(n))) << "item " << n;
    EXPECT_FALSE(ring->put(item(0)));
}

INSTANTIATE_TEST_SUITE_P(
    MidiEventRing, Capacities,
    ::testing::Values(CapacityCase{"Zero", 0, false}, CapacityCase{"One", 1, true},
                      CapacityCase{"TheProgramsOwn", 1024, true},
                      CapacityCase{"Largest", MidiEventRing::MaxCapacity, true},
                      CapacityCase{"OneTooMany", MidiEventRing::MaxCapacity + 1, false},
                      CapacityCase{"BeyondSixteenBits", 65536 + 1024, false}),
    [](const auto& row) { return std::string(row.param.name); });

#ifndef NDEBUG
TEST(MidiEventRing, APutFromASecondProducerThreadAbortsUntilTheDeviceCloses)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto ring = MidiEventRing::create(8);
    std::thread([&] { EXPECT_TRUE(ring->put(item(0))); }).join(); // the callback thread
    EXPECT_DEATH(ring->put(item(1)), "MidiEventRing::put called off the MIDI callback thread");
    // Resetting the device gives buffers back on the closing thread.
    ring->closing();
    EXPECT_TRUE(ring->put(item(1)));
    EXPECT_EQ(takeAll(*ring), (std::vector<MidiEventItem>{item(0), item(1)}));
}

TEST(MidiEventRing, AProducerThatIsGoneHandsThePutSideToTheNextThread)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto ring = MidiEventRing::create(8);
    std::thread([&] { EXPECT_TRUE(ring->put(item(0))); }).join();
    ring->producerGone();
    EXPECT_TRUE(ring->put(item(1))); // this thread produces now
    // and owns the side as the first did: still checked, not opened to all.
    EXPECT_DEATH(std::thread([&] { ring->put(item(2)); }).join(),
                 "MidiEventRing::put called off the MIDI callback thread");
    EXPECT_EQ(takeAll(*ring), (std::vector<MidiEventItem>{item(0), item(1)}));
}
#endif

} // namespace
} // namespace midi
