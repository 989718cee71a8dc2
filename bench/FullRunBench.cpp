// A whole 100-note run at full speed: the real main window on the offscreen
// platform with a clock that only moves when told to, Start clicked, the
// run timer's tick called back to back until the run ends, and every
// question answered right with a click on the piano picture. Reports the
// processor time the run took (user + system) and the process's peak
// resident memory.

#include "platform/midi/LoopbackMidiService.h"
#include "platform/qt/QtNotifyTarget.h"
#include "platform/testing/FakeClock.h"
#include "platform/testing/Recorders.h"
#include "shell/ImageView.h"
#include "shell/uMain.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "Spread.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long peakResidentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Where to click the piano picture for each pitch class: white keys low,
// black keys high, in the second octave.
QPoint keyFor(int pitchClass)
{
    const shell::PianoPoint p = shell::pianoPointOf(pitchClass);
    return {p.x, p.y};
}

// The real main window, shown, in a fresh working folder with the shipped
// sprite pack, on a clock that only moves when told to.
struct ShownWindow {
    // False, with the benchmark skipped, when the window cannot be had.
    bool open(benchmark::State& state, const fs::path& folder)
    {
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::copy_file(fs::path(TESSALY_DATA_DIR) / "keyresources.dat", folder / "keyresources.dat");
        window = shell::createMainWindow(
            {clock, midi, targets, &messages, folder, [](const std::string&) { return true; }},
            startupMessages);
        if (!window) {
            state.SkipWithError("the main window could not be made");
            return false;
        }
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) {
            state.SkipWithError("the main window was not shown");
            return false;
        }
        return true;
    }

    platform::testing::FakeClock clock;
    platform::midi::LoopbackMidiService midi;
    platform::qt::QtNotifyTargets targets;
    platform::testing::RecordingMessageBoxes messages, startupMessages;
    std::unique_ptr<shell::TfMain> window;
};

void BM_HundredNoteRun(benchmark::State& state)
{
    const fs::path folder = fs::temp_directory_path() / "tessaly-full-run-bench";
    for (auto _ : state) {
        state.PauseTiming();
        ShownWindow shown;
        if (!shown.open(state, folder))
            break;
        platform::testing::FakeClock& clock = shown.clock;
        std::unique_ptr<shell::TfMain>& window = shown.window;
        state.ResumeTiming();

        const double cpuBefore = cpuSeconds();
        QTest::mouseClick(window->bStart, Qt::LeftButton);
        engine::TSheetMusic& sheet = *window->vars.sheetMusic;
        int answered = 0;
        int lastAsked = -1;
        for (int t = 0; t < 20'000 && window->bStart->text() != "Start"; ++t) {
            clock.advanceMs(1000);
            window->ThreadedTimerTimer();
            if (sheet.running() && sheet.askedQuestion() > 0 &&
                sheet.askedQuestion() != lastAsked) {
                lastAsked = sheet.askedQuestion();
                int pitch = -1;
                for (int v = 1; v <= 2; ++v) {
                    const auto& item = sheet.slot(v, sheet.askedQuestion());
                    if (item.onScreen && item.note())
                        pitch = item.note()->getPitch();
                }
                if (pitch < 0)
                    continue;
                const QPoint at = keyFor(pitch % 12);
                QTest::mousePress(window->imgPiano, Qt::LeftButton, {}, at);
                QTest::mouseRelease(window->imgPiano, Qt::LeftButton, {}, at);
                ++answered;
            }
        }
        const double cpu = cpuSeconds() - cpuBefore;

        state.PauseTiming();
        state.counters["answered"] = answered;
        state.counters["cpu_s"] = cpu;
        state.counters["peak_rss_mb"] = static_cast<double>(peakResidentKb()) / 1024.0;
        window.reset();
        fs::remove_all(folder);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_HundredNoteRun)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// How the run timer keeps ticking while a Loopback keyboard floods the real
// window with 10,000 note messages a second for four seconds: every 250 ms a
// burst of 2,500, every other one held back until it is all in (as during a
// long tick), so that the ring overflows. Reports the ticks that reached the
// window during the flood and how many came a second.
void BM_TicksDuringAMidiFlood(benchmark::State& state)
{
    using Steady = std::chrono::steady_clock;
    constexpr auto FloodTime = std::chrono::seconds(4);
    constexpr auto BurstEvery = std::chrono::milliseconds(250);
    constexpr int PairsPerBurst = 1250;
    const fs::path folder = fs::temp_directory_path() / "tessaly-flood-bench";
    for (auto _ : state) {
        state.PauseTiming();
        ShownWindow shown;
        shown.midi.setDevices({{"Loopback Keys"}});
        if (!shown.open(state, folder))
            break;
        platform::midi::LoopbackMidiService& midi = shown.midi;
        std::unique_ptr<shell::TfMain>& window = shown.window;
        int ticks = 0;
        window->ThreadedTimer.setOnTimer([&] {
            ++ticks;
            window->ThreadedTimerTimer();
        });
        QTest::mouseClick(window->bStart, Qt::LeftButton);
        std::vector<std::uint8_t> burst;
        for (int k = 0; k < PairsPerBurst; ++k) {
            const auto pitch = static_cast<std::uint8_t>(36 + (k * 7) % 60);
            burst.insert(burst.end(), {0x90, pitch, 0x40, 0x80, pitch, 0x00});
        }
        state.ResumeTiming();

        const Steady::time_point start = Steady::now();
        Steady::time_point nextBurst = start;
        int bursts = 0;
        for (Steady::time_point now = start; now - start < FloodTime; now = Steady::now()) {
            if (now >= nextBurst) {
                midi.send(0, burst);
                if (bursts % 2 == 0)
                    midi.flush(0);
                ++bursts;
                nextBurst += BurstEvery;
            }
            QTest::qWait(1);
        }
        const double seconds = std::chrono::duration<double>(Steady::now() - start).count();

        state.PauseTiming();
        state.counters["ticks"] = ticks;
        state.counters["ticks_per_s"] = static_cast<double>(ticks) / seconds;
        state.counters["messages"] = static_cast<double>(bursts) * 2 * PairsPerBurst;
        window->ThreadedTimer.setEnabled(false);
        midi.flush(0);
        window.reset();
        fs::remove_all(folder);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TicksDuringAMidiFlood)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv);
}
