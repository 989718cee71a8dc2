// From a note-on handed to the Loopback keyboard to the right mark being on
// the composed staff picture: the device's thread, the callback, the ring,
// the Qt notification, mid_OnInput, the judging and one compose. Reported
// as the median and the 99th percentile, in microseconds. The same for a
// click on the piano picture.

#include "engine/testing/SessionProbe.h"
#include "engine/uSheetMusic.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/qt/QtNotifyTarget.h"
#include "platform/testing/FakeClock.h"
#include "platform/testing/Recorders.h"
#include "resources/uResources.h"
#include "shell/uPiano.h"

#include <QCoreApplication>

#include "Spread.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A C major scale run (question 1 is C4) on an in-memory staff, with a
// keyboard behind the Loopback service, in a score folder of its own.
struct ScaleRun {
    explicit ScaleRun(const char* name)
        : folder(std::filesystem::temp_directory_path() / name)
    {
        std::filesystem::create_directories(folder);
        session = std::make_unique<engine::TSheetMusic>(staff, progress, wait, messages, keyboard,
                                                        targets, folder);
        session->prepareRun(engine::RunSettings{.kind = engine::ExerciseKind::MajorScales,
                                                .key = 0,
                                                .clef = engine::ClefSetting::Treble,
                                                .scaleVariant = 1});
        session->Go();
    }
    ~ScaleRun()
    {
        session.reset();
        std::filesystem::remove_all(folder);
    }
    ScaleRun(const ScaleRun&) = delete;
    ScaleRun& operator=(const ScaleRun&) = delete;

    static const resources::TKeyResources& pack()
    {
        static const resources::TKeyResources sprites(TESSALY_DATA_DIR);
        return sprites;
    }

    std::filesystem::path folder;
    platform::testing::FakeClock clock;
    gfx::TImage32 image;
    notation::TMusicalStaff staff{image, pack().imgVorlanta, clock, 2, 2};
    platform::testing::RecordingTextLabel progress, wait;
    platform::testing::RecordingMessageBoxes messages;
    platform::midi::LoopbackMidiService keyboard{{{"Keys"}}};
    platform::qt::QtNotifyTargets targets;
    std::unique_ptr<engine::TSheetMusic> session;
};

void BM_NoteOnToRightMark(benchmark::State& state)
{
    ScaleRun run("tessaly-answer-bench");
    engine::TSheetMusic& session = *run.session;
    std::vector<double> latencies;
    gfx::TBitmap32 picture;
    for (auto _ : state) {
        const auto start = Clock::now();
        run.keyboard.send(0, {0x90, 60, 100});
        while (session.pointerMarkOf(1).spriteIndex != engine::RightSprite)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        run.image.compose(picture);
        latencies.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - start).count());

        // Ask question 1 again, without a release, for the next round.
        state.PauseTiming();
        engine::SessionProbe::heldKeys(session).reset();
        engine::SessionProbe::answered(session) = false;
        engine::SessionProbe::verdict(session, 1) = engine::Verdict::None;
        session.setPointerMark(1, engine::PointerSprite);
        state.ResumeTiming();
    }
    bench::reportSpread(state, std::move(latencies), "us");
}
BENCHMARK(BM_NoteOnToRightMark)->Iterations(2000)->Unit(benchmark::kMicrosecond)->UseRealTime();

// From the mouse button's release on the piano picture (its key pressed
// before) to the right mark on the composed staff: the piano's judging,
// answerItem and one compose, all on the GUI thread.
void BM_PianoReleaseToRightMark(benchmark::State& state)
{
    ScaleRun run("tessaly-piano-bench");
    engine::TSheetMusic& session = *run.session;
    gfx::TImage32 pianoImage;
    shell::TPiano piano(pianoImage, ScaleRun::pack().imgVorlanta);

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
        run.image.compose(picture);
        const auto end = Clock::now();
        if (session.pointerMarkOf(1).spriteIndex != engine::RightSprite) {
            state.SkipWithError("the release did not mark question 1 right");
            break;
        }
        latencies.push_back(std::chrono::duration<double, std::micro>(end - start).count());

        // Ask question 1 again for the next round.
        state.PauseTiming();
        engine::SessionProbe::asked(session) = 1;
        engine::SessionProbe::lastAnswered(session) = 0;
        engine::SessionProbe::answered(session) = false;
        engine::SessionProbe::verdict(session, 1) = engine::Verdict::None;
        session.setPointerMark(1, engine::PointerSprite);
        state.ResumeTiming();
    }
    bench::reportSpread(state, std::move(latencies), "us");
}
BENCHMARK(BM_PianoReleaseToRightMark)
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv);
}
