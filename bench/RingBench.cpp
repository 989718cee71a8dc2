// MIDI events per second through the event ring with a real producer thread
// (the callback's side) and the benchmark thread taking them out (the GUI
// thread's side), next to boost::lockfree::spsc_queue moving the same items
// the same way. Both keep an index per side; ours also keeps each side's copy
// of the other's index, and checks its thread in a Debug build.

#include "midi/Circbuf.h"

#include <benchmark/benchmark.h>
#include <boost/lockfree/spsc_queue.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

namespace {

constexpr std::size_t Capacity = 1024; // what the MIDI component uses
constexpr std::uint32_t ItemsPerRound = 1u << 20;

midi::MidiEventItem event(std::uint32_t n)
{
    midi::MidiEventItem i;
    i.timeStamp = n;
    i.shortMessage = 0x90u | (n & 0x7Fu) << 8 | 0x64u << 16;
    return i;
}

// Both queues behind the same two calls, so the loops below are identical.
class RingQueue {
public:
    RingQueue()
        : ring_(midi::MidiEventRing::create(Capacity))
    {
    }
    bool push(const midi::MidiEventItem& i) { return ring_->put(i); }
    // Each round has a producer thread of its own.
    void producerJoined() { ring_->producerGone(); }
    bool pop(midi::MidiEventItem& i)
    {
        // Peek and drop, as the GUI thread takes an event.
        if (!ring_->peek(i))
            return false;
        ring_->drop();
        return true;
    }

private:
    std::unique_ptr<midi::MidiEventRing> ring_;
};

class BoostQueue {
public:
    bool push(const midi::MidiEventItem& i) { return queue_.push(i); }
    bool pop(midi::MidiEventItem& i) { return queue_.pop(i); }
    void producerJoined() {}

private:
    // One place is kept free to tell full from empty.
    boost::lockfree::spsc_queue<midi::MidiEventItem, boost::lockfree::capacity<Capacity + 1>>
        queue_;
};

// Moves one round of events across the two threads; the seconds it took, or
// a negative number when an event came out wrong.
template <typename Queue> double round(Queue& queue)
{
    const auto start = std::chrono::steady_clock::now();
    std::thread producer([&queue] {
        for (std::uint32_t n = 0; n < ItemsPerRound; ++n)
            while (!queue.push(event(n))) {
            }
    });
    bool inOrder = true;
    midi::MidiEventItem item;
    for (std::uint32_t n = 0; n < ItemsPerRound;) {
        if (!queue.pop(item))
            continue;
        inOrder = inOrder && item.timeStamp == n;
        ++n;
    }
    producer.join();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    queue.producerJoined();
    return inOrder ? took.count() : -1.0;
}

template <typename Queue> void BM_TwoThreads(benchmark::State& state)
{
    auto queue = std::make_unique<Queue>();
    for (auto _ : state) {
        const double seconds = round(*queue);
        if (seconds < 0) {
            state.SkipWithError("events lost or reordered");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * ItemsPerRound);
}
BENCHMARK(BM_TwoThreads<RingQueue>)
    ->Name("MidiEventRing")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoThreads<BoostQueue>)
    ->Name("BoostSpscQueue")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Both queues in turn within each iteration, so a busy machine slows both
// alike, and their ratio as a counter (above 1: the ring is faster).
void BM_RingOverBoost(benchmark::State& state)
{
    auto ring = std::make_unique<RingQueue>();
    auto spsc = std::make_unique<BoostQueue>();
    double ringSeconds = 0;
    double boostSeconds = 0;
    bool ringFirst = true;
    for (auto _ : state) {
        // Each goes first in every other iteration: whichever runs first
        // meets a different machine (a fresh thread, caches the other left).
        double r = 0;
        double b = 0;
        if (ringFirst) {
            r = round(*ring);
            b = round(*spsc);
        } else {
            b = round(*spsc);
            r = round(*ring);
        }
        ringFirst = !ringFirst;
        if (r < 0 || b < 0) {
            state.SkipWithError("events lost or reordered");
            return;
        }
        ringSeconds += r;
        boostSeconds += b;
        state.SetIterationTime(r + b);
    }
    const double events = static_cast<double>(state.iterations()) * ItemsPerRound;
    state.counters["ring_events_per_s"] = events / ringSeconds;
    state.counters["boost_events_per_s"] = events / boostSeconds;
    state.counters["ring_over_boost"] = boostSeconds / ringSeconds;
}
BENCHMARK(BM_RingOverBoost)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
