// The practice history: what recording one answer costs the GUI thread (it
// only keeps it in memory), what writing a run's hundred answers costs at
// the run's end, in a database that already holds 100,000, and what
// drawing a weak-spot drill from such a history costs the Start click.

#include "Spread.h"
#include "engine/RunSettings.h"
#include "history/History.h"
#include "platform/testing/Recorders.h"
#include "shell/uMain.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <random>

namespace {

history::AnswerRow answer(std::int64_t n)
{
    history::AnswerRow r;
    r.whenMs = 1'773'000'000'000 + n * 1500;
    r.exercise = "notes-in-key";
    r.key = static_cast<std::int32_t>(n % 12);
    r.staff = "treble";
    r.questionPitches = {static_cast<int>(60 + n % 24)};
    r.answerPitches = r.questionPitches;
    r.outcome = n % 5 == 0 ? history::Outcome::Wrong : history::Outcome::Right;
    r.responseMs = static_cast<std::int32_t>(400 + n % 900);
    r.input = history::Input::Midi;
    r.port = "USB Keys MIDI 1";
    return r;
}

std::filesystem::path freshFile(const char* name)
{
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tessaly-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    return folder / name;
}

void BM_RecordAnswer(benchmark::State& state)
{
    platform::testing::RecordingMessageBoxes messages;
    const auto file = freshFile("history.sqlite");
    std::vector<double> samples;
    {
        history::HistoryStore store(file, messages, "2026-03-04");
        std::int64_t n = 0;
        for (auto _ : state) {
            const history::AnswerRow row = answer(n++);
            const auto start = std::chrono::steady_clock::now();
            store.record(row);
            samples.push_back(
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                    .count());
            if (store.waiting() == 100) {
                state.PauseTiming();
                store.flush(); // at a run's end, not on the answer's path
                state.ResumeTiming();
            }
        }
    }
    bench::reportSpread(state, samples, "us");
    std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_RecordAnswer)->Iterations(20'000);

void BM_WriteARunOf100(benchmark::State& state)
{
    platform::testing::RecordingMessageBoxes messages;
    const auto file = freshFile("history.sqlite");
    {
        history::HistoryStore store(file, messages, "2026-03-04");
        for (std::int64_t n = 0; n < 100'000; ++n)
            store.record(answer(n));
        store.flush();
        std::int64_t n = 100'000;
        std::vector<double> samples;
        for (auto _ : state) {
            for (int i = 0; i < 100; ++i)
                store.record(answer(n++));
            const auto start = std::chrono::steady_clock::now();
            store.flush();
            samples.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
        bench::reportSpread(state, samples, "ms");
    }
    std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_WriteARunOf100)->Iterations(50)->Unit(benchmark::kMillisecond);

// The worst case for a drill: all of 100,000 answers in the run's key and
// staff, and all of them within the 90 days it reads.
void BM_DrawADrill(benchmark::State& state)
{
    platform::testing::RecordingMessageBoxes messages;
    const auto file = freshFile("history.sqlite");
    {
        history::HistoryStore store(file, messages, "2026-03-04");
        std::int64_t last = 0;
        for (std::int64_t n = 0; n < 100'000; ++n) {
            history::AnswerRow r = answer(n);
            r.key = 0;
            r.whenMs = 1'773'000'000'000 + n * 60'000; // one a minute: 69 days
            last = r.whenMs;
            store.record(r);
        }
        store.flush();
        engine::RunSettings run;
        run.kind = engine::ExerciseKind::WeakSpots;
        run.key = 0;
        run.clef = engine::ClefSetting::Treble;
        std::vector<std::int32_t> candidates;
        for (std::int32_t p = 53; p <= 88; ++p)
            if ((0xab5 >> (p % 12) & 1) != 0)
                candidates.push_back(p);
        std::vector<double> samples;
        std::uint32_t seed = 1;
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(shell::drawDrill(store, run, candidates, last, seed++));
            samples.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
        bench::reportSpread(state, samples, "ms");
    }
    std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_DrawADrill)->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
