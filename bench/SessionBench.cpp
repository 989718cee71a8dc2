// The exercise session: one timer tick with a full run loaded (the tick
// plus composing the staff picture, as the window does), preparing each
// exercise kind with the random draws' pauses switched off, and the
// process's memory over a thousand prepared-and-reset runs.

#include "engine/uSheetMusic.h"
#include "platform/Clock.h"
#include "platform/TextLabel.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/testing/QueuedNotifyTarget.h"
#include "platform/testing/Recorders.h"
#include "resources/uResources.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

const gfx::TBitmap32List& sprites()
{
    static const resources::TKeyResources pack(TESSALY_DATA_DIR);
    return pack.imgVorlanta;
}

// Time moves by the pauses asked for, without waiting and without keeping
// a record of them (the test clock's record would grow over a long soak).
class NoPauseClock final : public platform::Clock {
public:
    platform::DateTime now() const override
    {
        return 46'023.0 + static_cast<double>(ms_) / 86'400'000.0;
    }
    std::int64_t timeOfDayMs() const override { return ms_ % 86'400'000; }
    void sleepMs(int ms) override { ms_ += ms; }

private:
    std::int64_t ms_ = 34'200'000;
};

// Keeps the current text only.
class PlainLabel final : public platform::TextLabel {
public:
    void setText(const std::string& text) override { text_ = text; }
    std::string text() const override { return text_; }
    void repaintNow() override {}

private:
    std::string text_;
};

// A session on the main window's staff with a clock that never pauses, no
// MIDI device and its score file in a scratch folder.
struct Bench {
    Bench()
        : folder(std::filesystem::temp_directory_path() / "tessaly-session-bench")
    {
        std::filesystem::create_directories(folder);
    }
    ~Bench() { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
    NoPauseClock clock;
    gfx::TImage32 image;
    notation::TMusicalStaff staff{image, sprites(), clock, 2, 2};
    PlainLabel progress, wait;
    platform::testing::RecordingMessageBoxes messages;
    platform::midi::LoopbackMidiService midi;
    platform::testing::QueuedNotifyTargets targets;
    engine::TSheetMusic session{staff, progress, wait, messages, midi, targets, folder};
};

engine::KindFilter all(int high)
{
    engine::KindFilter f;
    for (int k = 1; k <= high; ++k)
        f.set(static_cast<std::size_t>(k));
    return f;
}

void BM_TickAndCompose(benchmark::State& state)
{
    Bench b;
    gfx::TBitmap32 picture;
    const auto kind = static_cast<std::uint8_t>(state.range(0));
    const auto prepare = [&] {
        b.session.InitSheetMusic(0, 2, kind, all(15), all(14), 1, 1, 1);
        b.session.Go();
        for (int t = 0; t < 40; ++t) // a staff full of questions
            b.session.Next();
    };
    prepare();
    for (auto _ : state) {
        b.session.Next();
        b.image.compose(picture);
        if (b.session.finished) {
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
    Bench b;
    const auto kind = static_cast<std::uint8_t>(state.range(0));
    for (auto _ : state)
        b.session.InitSheetMusic(2, 2, kind, all(15), all(14), 5, 2, 1);
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
        Bench b;
        long afterFirst = 0;
        for (int run = 0; run < 1000; ++run) {
            b.session.InitSheetMusic(run % 12, static_cast<std::uint8_t>(run % 3), 1, {}, {}, 0, 0,
                                     1);
            b.session.Go();
            for (int t = 0; t < 20; ++t)
                b.session.Next();
            b.session.running = false;
            b.session.ClearScreen();
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
