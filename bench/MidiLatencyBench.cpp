// How long a MIDI message takes from the callback's put into the ring to the
// component's OnMidiInput handler on a Qt event loop: a producer thread
// plays the part of the MIDI service's thread and calls the real callback;
// the notification goes through the Qt adapter; the handler takes the
// events. Reported as the median and the 99th percentile, in microseconds.

#include "midi/MidiIn.h"
#include "platform/qt/QtNotifyTarget.h"

#include <QCoreApplication>

#include "Spread.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

namespace pm = platform::midi;
using Clock = std::chrono::steady_clock;

// One device whose "driver thread" the benchmark runs itself.
class DirectService final : public pm::MidiInService {
public:
    std::uint32_t midiInGetNumDevs() override { return 1; }
    pm::MMRESULT midiInGetDevCaps(std::uint32_t id, pm::MIDIINCAPS& caps) override
    {
        if (id != 0)
            return pm::MMSYSERR_BADDEVICEID;
        caps.szPname = "Direct";
        return pm::MMSYSERR_NOERROR;
    }
    pm::MMRESULT midiInGetErrorText(pm::MMRESULT code, std::string& text) override
    {
        return pm::standardErrorText(code, text) ? pm::MMSYSERR_NOERROR : pm::MMSYSERR_BADERRNUM;
    }
    pm::MMRESULT midiInOpen(pm::HMIDIIN& device, std::uint32_t, pm::MidiInCallback cb,
                            std::uintptr_t dwInstance) override
    {
        callback = cb;
        instance = dwInstance;
        device = 1;
        return pm::MMSYSERR_NOERROR;
    }
    pm::MMRESULT midiInClose(pm::HMIDIIN) override { return pm::MMSYSERR_NOERROR; }
    pm::MMRESULT midiInStart(pm::HMIDIIN) override { return pm::MMSYSERR_NOERROR; }
    pm::MMRESULT midiInStop(pm::HMIDIIN) override { return pm::MMSYSERR_NOERROR; }
    pm::MMRESULT midiInReset(pm::HMIDIIN) override { return pm::MMSYSERR_NOERROR; }
    pm::MMRESULT midiInPrepareHeader(pm::HMIDIIN, pm::MIDIHDR*) override
    {
        return pm::MMSYSERR_NOERROR;
    }
    pm::MMRESULT midiInUnprepareHeader(pm::HMIDIIN, pm::MIDIHDR*) override
    {
        return pm::MMSYSERR_NOERROR;
    }
    pm::MMRESULT midiInAddBuffer(pm::HMIDIIN, pm::MIDIHDR*) override
    {
        return pm::MMSYSERR_NOERROR;
    }

    pm::MidiInCallback callback = nullptr;
    std::uintptr_t instance = 0;
};

void BM_CallbackToHandler(benchmark::State& state)
{
    constexpr int Events = 2000;
    const auto gap = std::chrono::microseconds(state.range(0));
    DirectService service;
    platform::qt::QtNotifyTargets targets;
    midi::TMidiInput in(service, targets);
    in.setSysexBufferCount(0);
    std::vector<Clock::time_point> sent(Events);
    std::vector<double> latencies;
    latencies.reserve(Events);
    in.setOnMidiInput([&](midi::TMidiInput& sender) {
        const auto now = Clock::now();
        while (sender.pendingEvents() > 0) {
            const auto e = sender.takeEvent();
            const int n = e->dataByte1 | e->dataByte2 << 7;
            latencies.push_back(
                std::chrono::duration<double, std::micro>(now - sent[static_cast<std::size_t>(n)])
                    .count());
        }
    });
    in.openDevice();
    in.startInput();

    for (auto _ : state) {
        latencies.clear();
        std::atomic<bool> done{false};
        std::thread driver([&] {
            for (int n = 0; n < Events; ++n) {
                const auto message = std::uint32_t{0x90} | std::uint32_t(n & 0x7F) << 8 |
                                     std::uint32_t(n >> 7 & 0x7F) << 16;
                sent[static_cast<std::size_t>(n)] = Clock::now();
                service.callback(1, pm::MIM_DATA, service.instance, message, 0);
                std::this_thread::sleep_for(gap);
            }
            done = true;
        });
        while (!done || latencies.size() < Events)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        driver.join();
    }

    bench::reportSpread(state, std::move(latencies), "us");
    in.closeDevice();
}
// Microseconds between messages: a fast player, and a burst.
BENCHMARK(BM_CallbackToHandler)
    ->Arg(1000)
    ->Arg(100)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv);
}
