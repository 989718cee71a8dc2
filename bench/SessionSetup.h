#pragma once

// A session on the main window's staff, as the benchmarks set it up: a
// clock that never pauses, no MIDI device, and its score file in a scratch
// folder.

#include "engine/uSheetMusic.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/testing/HistoryFree.h"
#include "platform/testing/QueuedNotifyTarget.h"
#include "platform/testing/Recorders.h"
#include "resources/uResources.h"

#include <filesystem>
#include <string>

namespace bench {

inline const gfx::TBitmap32List& sprites()
{
    static const resources::TKeyResources pack(TESSALY_DATA_DIR);
    return pack.imgVorlanta;
}

// The sprites as a screen of `density` device pixels per logical one shows
// them: the shipped 2x or 3x pack.
inline const gfx::TBitmap32List& picturesAt(int density)
{
    static const gfx::TBitmap32List two = resources::readDensePack(TESSALY_DATA_DIR, 2, sprites());
    static const gfx::TBitmap32List three =
        resources::readDensePack(TESSALY_DATA_DIR, 3, sprites());
    return density == 2 ? two : density == 3 ? three : sprites();
}

// A session on the main window's staff: a clock that never pauses and keeps
// no record of pauses, no MIDI device, and its score file in a scratch
// folder; its pictures at `density`.
struct SessionSetup {
    explicit SessionSetup(int density = 1)
        : folder(std::filesystem::temp_directory_path() / "tessaly-session-bench"),
          staff(image, sprites(), picturesAt(density), density, clock, 2, 2)
    {
        std::filesystem::create_directories(folder);
    }
    ~SessionSetup() { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
    platform::testing::SteppingClock clock;
    gfx::TImage32 image;
    notation::TMusicalStaff staff;
    platform::testing::CurrentTextLabel progress, wait;
    platform::testing::RecordingMessageBoxes messages;
    platform::midi::LoopbackMidiService midi;
    platform::testing::QueuedNotifyTargets targets;
    engine::TSheetMusic session{staff, progress, wait, messages, midi, targets, folder};
};

inline engine::KindFilter allKinds(int high)
{
    engine::KindFilter f;
    for (int k = 1; k <= high; ++k)
        f.set(static_cast<std::size_t>(k));
    return f;
}

// Prepares a run of exercise kind `kind` and ticks it until the staff is
// full of questions.
inline void fillStaff(SessionSetup& b, std::uint8_t kind)
{
    b.session.prepareRun(engine::RunSettings{.kind = static_cast<engine::ExerciseKind>(kind),
                                             .key = 0,
                                             .clef = engine::ClefSetting::Both,
                                             .intervalFilter = allKinds(15),
                                             .chordFilter = allKinds(14),
                                             .progression = 1,
                                             .scaleVariant = 1});
    b.session.Go();
    for (int t = 0; t < 40; ++t)
        b.session.Next();
}

} // namespace bench
