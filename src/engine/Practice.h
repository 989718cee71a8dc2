#pragma once

// What the player chose to practise, as the practice panel, the settings
// file and the command line know it: the exercise, key and staff, and each
// exercise's own choices. Every value keeps its own default, so one bad line
// of the settings file spoils only itself.

#include "engine/RunSettings.h"
#include "platform/IniFile.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace engine {

struct PracticeChoice {
    ExerciseKind kind = ExerciseKind::NotesInC;
    std::int32_t key = 0; // signature index 0..11
    ClefSetting clef = ClefSetting::Treble;
    KindFilter intervals = allIntervalKinds(); // kinds 1..15
    KindFilter chords = allChordKinds();       // kinds 1..14
    std::int32_t progression = 1;              // 1..8
    std::int32_t scaleOctaves = 1;             // 1 or 2

    static KindFilter allIntervalKinds();
    static KindFilter allChordKinds();

    // Whether the choice of kind uses a key, a staff, the interval and chord
    // lists, a progression, an octave count.
    bool usesKey() const { return kind != ExerciseKind::NotesInC; }
    bool usesStaff() const { return kind != ExerciseKind::Progression; }
    bool usesIntervals() const;
    bool usesChords() const;
    bool usesProgression() const { return kind == ExerciseKind::Progression; }
    bool usesOctaves() const;

    // Why nothing could be asked with this choice ("" when a run can start).
    std::string nothingToAsk() const;
    // The run it makes; valid whenever nothingToAsk() is "".
    RunSettings runSettings() const;

    bool operator==(const PracticeChoice&) const = default;
};

// Names a player reads ("Notes in C major", "Chords").
std::string_view exerciseName(ExerciseKind kind);
// Names the settings file and the command line use ("notes-in-c", "chords").
std::string_view exerciseId(ExerciseKind kind);
std::optional<ExerciseKind> exerciseFromId(std::string_view id);
constexpr std::array<ExerciseKind, ExerciseKindCount> AllExercises{
    ExerciseKind::NotesInC,    ExerciseKind::NotesInKey,  ExerciseKind::Intervals,
    ExerciseKind::Chords,      ExerciseKind::Mixed,       ExerciseKind::Progression,
    ExerciseKind::MajorScales, ExerciseKind::MinorScales, ExerciseKind::WeakSpots};

// "C", "Db", ... "B": the tonic of major key s.
std::string_view keyId(std::int32_t key);
// A tonic in any case ("c", "Db", "DB"); sharps name the same key as their
// flat ("C#" is Db, "F#" is Gb). Nothing for anything else.
std::optional<std::int32_t> keyFromId(std::string_view id);
// "D Major", or for minor scales "D Major / B Minor".
std::string keyLabel(std::int32_t key, ExerciseKind kind);

// "treble", "bass", "both"; and the names a player reads.
std::string_view staffId(ClefSetting clef);
std::string_view staffName(ClefSetting clef);
std::optional<ClefSetting> staffFromId(std::string_view id);

// "I - IV - I - V - I" for progression 1..8.
std::string progressionName(std::int32_t progression);

// The settings file: one key each in the program's section. Reading takes
// each value that is there and good, and leaves the default for the others.
inline constexpr std::string_view SettingsSection = "Tessaly - Notes";
PracticeChoice readPracticeChoice(const platform::IniFile& file);
// Sets every key in memory; the caller writes the file.
void writePracticeChoice(platform::IniFile& file, const PracticeChoice& choice);

// "1,2,5" for kinds 1, 2 and 5; and back (nothing for a malformed list or a
// kind outside 1..count).
std::string kindListText(const KindFilter& kinds, int count);
std::optional<KindFilter> kindListFrom(std::string_view text, int count);

} // namespace engine
