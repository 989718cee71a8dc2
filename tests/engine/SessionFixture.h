#pragma once

#include "ShippedSprites.h"
#include "TempFolder.h"
#include "engine/testing/SessionProbe.h"
#include "engine/uSheetMusic.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/testing/FakeClock.h"
#include "platform/testing/QueuedNotifyTarget.h"
#include "platform/testing/Recorders.h"

namespace engine {

// A session as the main window makes it (layout 2, treble up to E6) on an
// in-memory staff with the shipped sprites, a fake clock, recording labels,
// a score file in a fresh folder and no MIDI device.
class SessionFixture : public testsupport::TempFolder {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        image.setOnChange([this] { ++repaints; });
        session =
            std::make_unique<TSheetMusic>(staff, progress, wait, messages, midi, targets, folder);
    }
    void TearDown() override
    {
        session.reset();
        TempFolder::TearDown();
    }

    // Prepares a run without starting it.
    void prepare(std::uint8_t kind, std::uint8_t clef = 0, std::int32_t key = 0,
                 KindFilter intervals = {}, KindFilter chords = {}, std::int32_t subKind = 0,
                 std::int32_t countVariant = 0)
    {
        session->prepareRun(engine::RunSettings{.kind = static_cast<engine::ExerciseKind>(kind),
                                                .key = key,
                                                .clef = static_cast<engine::ClefSetting>(clef),
                                                .intervalFilter = intervals,
                                                .chordFilter = chords,
                                                .progression = subKind,
                                                .scaleVariant = countVariant});
    }
    // Prepares and starts a run.
    void start(std::uint8_t kind, std::uint8_t clef = 0, std::int32_t key = 0,
               KindFilter intervals = {}, KindFilter chords = {}, std::int32_t subKind = 0,
               std::int32_t countVariant = 0)
    {
        prepare(kind, clef, key, intervals, chords, subKind, countVariant);
        session->start(clock.now());
    }
    // Ticks until the run finishes; the number of ticks, or -1 after `limit`.
    int runToEnd(int limit = 5000)
    {
        for (int t = 1; t <= limit; ++t) {
            session->Next();
            if (session->finished())
                return t;
        }
        return -1;
    }
    static KindFilter kinds(std::initializer_list<int> ks)
    {
        KindFilter f;
        for (int k : ks)
            f.set(static_cast<std::size_t>(k));
        return f;
    }
    const SheetItem& item(int voice, int i) const { return session->slot(voice, i); }

    platform::testing::FakeClock clock;
    gfx::TImage32 image;
    notation::TMusicalStaff staff{image, testsupport::shippedSprites(), clock, 2, 2};
    platform::testing::RecordingTextLabel progress;
    platform::testing::RecordingTextLabel wait;
    platform::testing::RecordingMessageBoxes messages;
    platform::midi::LoopbackMidiService midi;
    platform::testing::QueuedNotifyTargets targets;
    std::unique_ptr<TSheetMusic> session;
    int repaints = 0;
};

} // namespace engine
