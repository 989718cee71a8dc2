// From a note-on handed to the Loopback keyboard to the right mark being on
// the composed staff picture: the device's thread, the callback, the ring,
// the Qt notification, mid_OnInput, the judging and one compose. Reported
// as the median and the 99th percentile, in microseconds. The same for a
// click on the piano picture.

#include "engine/uSheetMusic.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/qt/QtNotifyTarget.h"
#include "platform/testing/FakeClock.h"
#include "platform/testing/Recorders.h"
#include "resources/uResources.h"
#include "shell/uPiano.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void BM_NoteOnToRightMark(benchmark::State& state)
{
    static const resources::TKeyResources pack(TESSALY_DATA_DIR);
    const auto folder = std::filesystem::temp_directory_path() / "tessaly-answer-bench";
    std::filesystem::create_directories(folder);
    {
        platform::testing::FakeClock clock;
        gfx::TImage32 image;
        notation::TMusicalStaff staff(image, pack.imgVorlanta, clock, 2, 2);
        platform::testing::RecordingTextLabel progress, wait;
        platform::testing::RecordingMessageBoxes messages;
        platform::midi::LoopbackMidiService keyboard({{"Keys"}});
        platform::qt::QtNotifyTargets targets;
        engine::TSheetMusic session(staff, progress, wait, messages, keyboard, targets, folder);
        session.InitSheetMusic(0, 0, 6, {}, {}, 0, 1, 1); // C major scale: question 1 is C4
        session.Go();

        std::vector<double> latencies;
        gfx::TBitmap32 picture;
        for (auto _ : state) {
            const auto start = Clock::now();
            keyboard.send(0, {0x90, 60, 100});
            while (session.pointerMarks[1].spriteIndex != engine::RightSprite)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            image.compose(picture);
            latencies.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());

            // Ask question 1 again, without a release, for the next round.
            state.PauseTiming();
            session.heldKeys = 0;
            session.answered = false;
            session.setPointerMark(1, engine::PointerSprite);
            state.ResumeTiming();
        }
        std::sort(latencies.begin(), latencies.end());
        state.counters["median_us"] = latencies[latencies.size() / 2];
        state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_NoteOnToRightMark)->Iterations(2000)->Unit(benchmark::kMicrosecond)->UseRealTime();

// From the mouse button's release on the piano picture (its key pressed
// before) to the right mark on the composed staff: the piano's judging,
// answerItem and one compose, all on the GUI thread.
void BM_PianoReleaseToRightMark(benchmark::State& state)
{
    static const resources::TKeyResources pack(TESSALY_DATA_DIR);
    const auto folder = std::filesystem::temp_directory_path() / "tessaly-piano-bench";
    std::filesystem::create_directories(folder);
    {
        platform::testing::FakeClock clock;
        gfx::TImage32 image;
        notation::TMusicalStaff staff(image, pack.imgVorlanta, clock, 2, 2);
        platform::testing::RecordingTextLabel progress, wait;
        platform::testing::RecordingMessageBoxes messages;
        platform::midi::LoopbackMidiService keyboard({{"Keys"}});
        platform::qt::QtNotifyTargets targets;
        engine::TSheetMusic session(staff, progress, wait, messages, keyboard, targets, folder);
        gfx::TImage32 pianoImage;
        shell::TPiano piano(pianoImage, pack.imgVorlanta);
        session.InitSheetMusic(0, 0, 6, {}, {}, 0, 1, 1); // C major scale: question 1 is C4
        session.Go();

        // Middle of the C key in the second octave, on the white part.
        constexpr int X = 150;
        constexpr int Y = 60;
        std::vector<double> latencies;
        gfx::TBitmap32 picture;
        for (auto _ : state) {
            state.PauseTiming();
            piano.imgPianoMouseDown(session, X, Y);
            state.ResumeTiming();

            const auto start = Clock::now();
            piano.imgPianoMouseUp(session, X, Y);
            image.compose(picture);
            const auto end = Clock::now();
            if (session.pointerMarks[1].spriteIndex != engine::RightSprite) {
                state.SkipWithError("the release did not mark question 1 right");
                break;
            }
            latencies.push_back(std::chrono::duration<double, std::micro>(end - start).count());

            // Ask question 1 again for the next round.
            state.PauseTiming();
            session.asked = 1;
            session.lastAnswered = 0;
            session.answered = false;
            session.setPointerMark(1, engine::PointerSprite);
            state.ResumeTiming();
        }
        if (!latencies.empty()) {
            std::sort(latencies.begin(), latencies.end());
            state.counters["median_us"] = latencies[latencies.size() / 2];
            state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
        }
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PianoReleaseToRightMark)
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
