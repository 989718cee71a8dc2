#pragma once

// What a run is made of, as one value: the exercise, the key, the staves and
// the exercise's own choices. The session prepares a run from it.

#include <array>
#include <bitset>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace engine {

// The kinds of interval or chord a run may draw: bit k for kind k.
using KindFilter = std::bitset<104>;

// The exercises. The values are the ones the first build numbered its
// eight with; the weak-spot drill came later.
enum class ExerciseKind : std::uint8_t {
    NotesInC = 0,   // note naming in C major, whatever the key asked
    NotesInKey = 1, // note naming in the run's key
    Intervals = 2,
    Chords = 3,
    Mixed = 4,       // notes, intervals and chords
    Progression = 5, // a chord progression over a bass line, with degrees
    MajorScales = 6,
    MinorScales = 7,
    WeakSpots = 8, // single notes drawn from the practice history, scored nowhere
};
constexpr int ExerciseKindCount = 9;

// Which staves the questions go on.
enum class ClefSetting : std::uint8_t {
    Treble = 0,
    Bass = 1,
    Both = 2, // each question on one staff or the other, or on both
};

// The first index of the score table: minor scales keep their own scores.
enum class ScoreMode : std::int32_t { Main = 1, MinorScales = 2 };

// Wrong settings for a run: nothing was generated or cleared.
class ERunSetupError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

struct RunSettings {
    ExerciseKind kind = ExerciseKind::NotesInC;
    std::int32_t key = 0; // signature index 0..11
    ClefSetting clef = ClefSetting::Treble;
    KindFilter intervalFilter{};   // kinds 1..15, Intervals and Mixed
    KindFilter chordFilter{};      // kinds 1..14, Chords and Mixed
    std::int32_t progression = 0;  // 1..8, Progression
    std::int32_t scaleVariant = 0; // 1 one octave, 2 two octaves: scales
    std::uint8_t noteOption = 1;   // non-zero: notes in the key only
    // WeakSpots: the run's notes in order, one per question, each one of
    // TSheetMusic::drillCandidates for the key and staff.
    std::vector<std::int32_t> drillPitches{};

    // Throws ERunSetupError naming what is wrong: an exercise kind or clef
    // setting outside its values, a key out of range, a filter without a
    // valid kind where the exercise needs one, a progression or scale
    // variant out of range, a drill without one note per question.
    void validate() const;

    bool operator==(const RunSettings&) const = default;
};

// Degrees of each progression (row 1..8), repeated over a run.
constexpr int ProgressionCount = 8;
constexpr std::array<std::array<int, 6>, ProgressionCount + 1> Progressions{{{},
                                                                             {1, 4, 1, 5, 1},
                                                                             {1, 4, 5, 1},
                                                                             {2, 5, 1},
                                                                             {1, 6, 2, 5, 1},
                                                                             {1, 3, 6, 2, 5, 1},
                                                                             {1, 5, 6, 1},
                                                                             {1, 2, 4, 5},
                                                                             {1, 3, 4, 5}}};
constexpr std::array<int, ProgressionCount + 1> ProgressionLengths{0, 5, 4, 3, 5, 6, 4, 4, 4};

// How many questions a run of these settings asks (valid settings).
std::uint32_t questionCountOf(const RunSettings& settings);

// Whether a run of `kind` counts in the score file (the drill does not: its
// answers go to the practice history only).
constexpr bool keepsScores(ExerciseKind kind) { return kind != ExerciseKind::WeakSpots; }

// The score mode a run of `kind` counts in.
constexpr ScoreMode scoreModeOf(ExerciseKind kind)
{
    return kind == ExerciseKind::MinorScales ? ScoreMode::MinorScales : ScoreMode::Main;
}

} // namespace engine
