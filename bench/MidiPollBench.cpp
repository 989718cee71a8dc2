// What the main window's once-a-second MIDI poll costs the GUI thread: the
// port list read again through RtMidi (the ALSA sequencer where there is
// one, JACK while a server runs) and the choice followed. Run it with and
// without a JACK server; with ports that come and go the cost is the same
// plus one opening.

#include "engine/MidiPorts.h"
#include "platform/midi/RtMidiService.h"
#include "platform/testing/QueuedNotifyTarget.h"

#include <benchmark/benchmark.h>

namespace {

void BM_PollMidiPorts(benchmark::State& state)
{
    platform::midi::RtMidiService service;
    platform::testing::QueuedNotifyTargets targets;
    engine::MidiPorts ports(service, targets);
    for (auto _ : state)
        benchmark::DoNotOptimize(ports.poll());
    state.counters["ports"] = static_cast<double>(ports.ports().size());
    state.counters["own_ports"] = static_cast<double>(ports.virtualPorts().size());
}
BENCHMARK(BM_PollMidiPorts)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
