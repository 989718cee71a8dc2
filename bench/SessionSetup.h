#pragma once

// A session on the main window's staff, as the benchmarks set it up: a
// clock that never pauses, no MIDI device, and its score file in a scratch
// folder.

#include "engine/uSheetMusic.h"
#include "platform/Clock.h"
#include "platform/TextLabel.h"
#include "platform/midi/LoopbackMidiService.h"
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

struct SessionSetup {
    SessionSetup()
        : folder(std::filesystem::temp_directory_path() / "tessaly-session-bench")
    {
        std::filesystem::create_directories(folder);
    }
    ~SessionSetup() { std::filesystem::remove_all(folder); }

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
    b.session.InitSheetMusic(0, 2, kind, allKinds(15), allKinds(14), 1, 1, 1);
    b.session.Go();
    for (int t = 0; t < 40; ++t)
        b.session.Next();
}

} // namespace bench
