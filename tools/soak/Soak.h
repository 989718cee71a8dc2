#pragma once

// The soak run: many complete runs of every exercise kind, back to back in
// one session, on a clock that moves only when told, with random keys, clef
// settings and kind arguments, and answers by mouse and by MIDI through a
// Loopback keyboard, mixed on the same questions in every order (keys down
// around a click, chords with a click in between, keys after a complete
// chord, keys held while the question leaves the staff, every form of
// release, All Notes Off, releases of keys never pressed), with pauses and
// runs abandoned with Reset.
//
// After every event (a tick, a click, a MIDI message, a pause, a Reset) it
// checks that the question asked is one on the staff and shows its pointer,
// that the score store's current table grew only by the first judgement of
// one question, by exactly the question's scored voices, and that the keys
// the session counts as held are the keys down. After every run it checks
// that every question was scored exactly once, that the best time was kept
// only for a run answered at least 90 % right, that the session is idle
// again, that the staff holds only the key signature's layers and that
// keyscore.dat reads back as the stored table. The first broken invariant
// stops it, with the seed, the run and the events that led there, so that
// the same command replays it.
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

// What the soak does to the session, one step at a time.
enum class SoakEvent { Tick, Midi, Click, Pause, Resume, Reset };

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
    // Called after each event of a run, before its checks: lets a test
    // break what the checks after every event should find.
    std::function<void(SoakEvent, engine::TSheetMusic&, gfx::TImage32&)> afterEvent;
};

struct SoakFigures {
    int runs = 0;
    std::int64_t questions = 0; // sum of the runs' question counts
    std::int64_t ticks = 0;
    std::int64_t mouseAnswers = 0; // clicks the piano took
    std::int64_t midiAnswers = 0;  // keys struck while a question was asked
    std::int64_t midiMessages = 0;
    std::int64_t unanswered = 0; // questions that left the staff without an answer
    std::int64_t scoredRight = 0;
    std::int64_t scoredWrong = 0;
    std::int64_t pauses = 0;
    std::int64_t strayKeys = 0;        // keys played while no question was asked
    std::int64_t mixedAnswers = 0;     // questions answered by mouse and MIDI together
    std::int64_t clicksIgnored = 0;    // clicks on a question the keys had judged
    std::int64_t heldThroughExit = 0;  // keys still down when their question left
    std::int64_t strayReleases = 0;    // releases of keys that were not down
    std::int64_t repeatedNoteOns = 0;  // note-ons of a key already down
    std::int64_t allNotesOff = 0;      // controller 123 or 120
    std::int64_t resets = 0;           // runs abandoned with Reset
    std::int64_t bestTimes = 0;        // runs whose time was kept as the best
    std::int64_t bestTimesRefused = 0; // faster runs with under 90 % right
    std::int64_t events = 0;           // events checked
    std::int64_t firstTenthRssKb = 0;  // mean VmRSS after the first tenth of the runs
    std::int64_t lastTenthRssKb = 0;   // and after the last tenth
    std::int64_t peakRssKb = 0;        // VmHWM at the end (0 where unknown)
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
