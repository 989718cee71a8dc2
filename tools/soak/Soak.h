#pragma once

// The soak run: many complete runs of every exercise kind, back to back in
// one session, on a clock that moves only when told, with random keys, clef settings, kind
// arguments and random answers (none, mouse, or MIDI through a Loopback
// keyboard). After every run it checks that the session is idle again, that
// the staff holds only the key signature's layers, that every question was
// scored as it should have been and that keyscore.dat reads back as the
// stored table. The first broken invariant stops it, with the seed and the
// run number, so that the same command replays it.
//
// Toolkit-free: used by the soak test (the short form) and by tessaly-soak
// (the long form).

#include "gfx/Bitmap32List.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace engine {
class TSheetMusic;
}
namespace gfx {
class TImage32;
}

namespace soak {

constexpr int ExerciseKinds = 8; // kinds 0..7

struct SoakOptions {
    int runsPerKind = 2;
    std::uint64_t seed = 1;
    // Where keyscore.dat is written; must exist and should be empty.
    std::filesystem::path scoreFolder;
    // Fail when the resident memory of the last tenth of the runs exceeds
    // that of the first tenth by more than this (0: do not check).
    std::int64_t rssGrowthLimitKb = 0;
    // Called after each run has been checked, with its number (1-based);
    // for progress output.
    std::function<void(int run)> onRunDone;
    // Called after each run, before its checks: lets a test break what the
    // checks should find.
    std::function<void(engine::TSheetMusic&, gfx::TImage32&)> afterRun;
};

struct SoakFigures {
    int runs = 0;
    std::int64_t questions = 0; // sum of the runs' question counts
    std::int64_t ticks = 0;
    std::int64_t mouseAnswers = 0;
    std::int64_t midiAnswers = 0; // note-on groups sent while a question was asked
    std::int64_t midiMessages = 0;
    std::int64_t unanswered = 0; // questions that left the staff without an answer
    std::int64_t scoredRight = 0;
    std::int64_t scoredWrong = 0;
    std::int64_t pauses = 0;
    std::int64_t strayKeys = 0;       // keys played while no question was asked
    std::int64_t firstTenthRssKb = 0; // mean VmRSS after the first tenth of the runs
    std::int64_t lastTenthRssKb = 0;  // and after the last tenth
    std::int64_t peakRssKb = 0;       // VmHWM at the end (0 where unknown)
    double wallSeconds = 0;
    std::string failure; // empty when every check held

    bool ok() const { return failure.empty(); }
};

// Runs opts.runsPerKind complete runs of every exercise kind with the given
// sprites. Stops at the first failed check, described in `failure`.
SoakFigures runSoak(const SoakOptions& opts, const gfx::TBitmap32List& sprites);

// The summary tessaly-soak prints.
std::string describe(const SoakFigures& f, const SoakOptions& opts);

// VmRSS and VmHWM of this process in KiB, 0 where the system does not say.
std::int64_t residentKb();
std::int64_t peakResidentKb();

} // namespace soak
