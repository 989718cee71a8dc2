// The exercise session: one timer tick with a full run loaded (the tick
// plus composing the staff picture, as the window does), preparing each
// exercise kind (100 questions, or a scale run of two octaves), and the
// process's memory over a thousand prepared-and-reset runs.

#include "SessionSetup.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

namespace {

using bench::SessionSetup;

void BM_TickAndCompose(benchmark::State& state)
{
    SessionSetup b;
    gfx::TBitmap32 picture;
    const auto kind = static_cast<std::uint8_t>(state.range(0));
    const auto prepare = [&] { bench::fillStaff(b, kind); };
    prepare();
    for (auto _ : state) {
        b.session.Next();
        b.image.compose(picture);
        if (b.session.finished()) {
            state.PauseTiming();
            b.session.resetRun();
            prepare();
            state.ResumeTiming();
        }
    }
    state.counters["layers"] = b.image.layerCount();
}
BENCHMARK(BM_TickAndCompose)->Arg(0)->Arg(3)->Arg(5)->Unit(benchmark::kMicrosecond);

void BM_PrepareRun(benchmark::State& state)
{
    SessionSetup b;
    const auto kind = static_cast<std::uint8_t>(state.range(0));
    for (auto _ : state)
        b.session.prepareRun(engine::RunSettings{.kind = static_cast<engine::ExerciseKind>(kind),
                                                 .key = 2,
                                                 .clef = engine::ClefSetting::Both,
                                                 .intervalFilter = bench::allKinds(15),
                                                 .chordFilter = bench::allKinds(14),
                                                 .progression = 5,
                                                 .scaleVariant = 2});
}
BENCHMARK(BM_PrepareRun)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);

long residentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

void BM_ThousandRunsMemory(benchmark::State& state)
{
    for (auto _ : state) {
        SessionSetup b;
        long afterFirst = 0;
        for (int run = 0; run < 1000; ++run) {
            b.session.prepareRun(
                engine::RunSettings{.kind = engine::ExerciseKind::NotesInKey,
                                    .key = run % 12,
                                    .clef = static_cast<engine::ClefSetting>(run % 3)});
            b.session.start(0);
            for (int t = 0; t < 20; ++t)
                b.session.Next();
            b.session.abandonRun();
            if (run == 0)
                afterFirst = residentKb();
        }
        state.counters["rss_after_run_1_kb"] = static_cast<double>(afterFirst);
        state.counters["rss_after_run_1000_kb"] = static_cast<double>(residentKb());
        state.counters["layers"] = b.image.layerCount();
    }
}
BENCHMARK(BM_ThousandRunsMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
