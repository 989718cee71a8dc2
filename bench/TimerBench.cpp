// How late the run timer's ticks come: the real TThreadedTimer on a Qt event
// loop, at the slowest-but-one (125 ms) and the fastest (50 ms) interval.
// A tick is due one interval after the previous tick's handler returned (the
// timer waits after the tick); its lateness is how much later the handler
// starts. Reported as the median and the 99th percentile, in milliseconds.

#include "shell/ThreadedTimer.h"

#include <QCoreApplication>
#include <QEventLoop>

#include "Spread.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void BM_TimerLateness(benchmark::State& state)
{
    const auto interval = static_cast<unsigned>(state.range(0));
    // Ten seconds of ticks at either interval: enough for the 99th
    // percentile to be more than the single worst tick at 50 ms.
    const int ticks = static_cast<int>(10'000 / interval);
    std::vector<double> lateness;
    for (auto _ : state) {
        lateness.clear();
        shell::TThreadedTimer timer;
        QEventLoop loop;
        Clock::time_point due;
        timer.setInterval(interval);
        timer.setOnTimer([&] {
            const auto now = Clock::now();
            lateness.push_back(std::chrono::duration<double, std::milli>(now - due).count());
            if (static_cast<int>(lateness.size()) == ticks) {
                timer.setEnabled(false);
                loop.quit();
            }
            due = Clock::now() + std::chrono::milliseconds(interval);
        });
        due = Clock::now() + std::chrono::milliseconds(interval);
        timer.setEnabled(true);
        loop.exec();
    }
    state.counters["ticks"] = static_cast<double>(lateness.size());
    bench::reportSpread(state, std::move(lateness), "ms");
}
BENCHMARK(BM_TimerLateness)
    ->Arg(125)
    ->Arg(50)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv);
}
