#include "engine/RunSettings.h"

#include "notation/uChord.h"
#include "notation/uInterval.h"
#include "notation/uMusicalStaff.h"

#include <string>

namespace engine {

namespace {

bool hasKindIn(const KindFilter& filter, int low, int high)
{
    for (int k = low; k <= high; ++k)
        if (filter.test(static_cast<std::size_t>(k)))
            return true;
    return false;
}

} // namespace

std::uint32_t questionCountOf(const RunSettings& settings)
{
    // Progressions end on their last chord; scales on their tonic.
    constexpr std::array<std::uint32_t, ProgressionCount + 1> ProgressionRuns{0,  50, 52, 51, 50,
                                                                              54, 52, 49, 49};
    switch (settings.kind) {
    case ExerciseKind::Progression:
        return ProgressionRuns.at(static_cast<std::size_t>(settings.progression));
    case ExerciseKind::MajorScales:
    case ExerciseKind::MinorScales:
        return settings.scaleVariant == 1 ? 99 : 85;
    default:
        return 100;
    }
}

void RunSettings::validate() const
{
    // Settings the generators could only loop on, or read outside their
    // tables with.
    const int k = static_cast<int>(kind);
    if (k < 0 || k >= ExerciseKindCount)
        throw ERunSetupError("Unknown exercise kind " + std::to_string(k));
    if (key < 0 || key >= notation::SignatureCount)
        throw ERunSetupError("Key out of range: " + std::to_string(key));
    if (static_cast<int>(clef) > static_cast<int>(ClefSetting::Both))
        throw ERunSetupError("Clef setting out of range: " +
                             std::to_string(static_cast<int>(clef)));
    const bool intervals = kind == ExerciseKind::Intervals || kind == ExerciseKind::Mixed;
    const bool chords = kind == ExerciseKind::Chords || kind == ExerciseKind::Mixed;
    if (intervals && !hasKindIn(intervalFilter, 1, notation::IntervalKindCount))
        throw ERunSetupError("The interval filter holds no interval kind 1..15");
    if (chords && !hasKindIn(chordFilter, 1, notation::ChordKindCount))
        throw ERunSetupError("The chord filter holds no chord kind 1..14");
    if (kind == ExerciseKind::Progression && (progression < 1 || progression > 8))
        throw ERunSetupError("Progression variant out of range: " + std::to_string(progression));
    if ((kind == ExerciseKind::MajorScales || kind == ExerciseKind::MinorScales) &&
        (scaleVariant < 1 || scaleVariant > 2))
        throw ERunSetupError("Scale length out of range: " + std::to_string(scaleVariant));
    if (kind == ExerciseKind::WeakSpots && drillPitches.size() != questionCountOf(*this))
        throw ERunSetupError("The drill needs " + std::to_string(questionCountOf(*this)) +
                             " notes, not " + std::to_string(drillPitches.size()));
}

} // namespace engine
