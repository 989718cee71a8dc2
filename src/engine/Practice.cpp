#include "engine/Practice.h"

#include "notation/uChord.h"
#include "notation/uInterval.h"
#include "notation/uMusicalStaff.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace engine {

namespace {

constexpr std::array<std::string_view, ExerciseKindCount> ExerciseNames{
    "Notes in C major",
    "Notes in a key",
    "Intervals",
    "Chords",
    "Intervals and chords mixed",
    "Chord progressions",
    "Major scales",
    "Minor scales",
    "Weak spots"};
constexpr std::array<std::string_view, ExerciseKindCount> ExerciseIds{
    "notes-in-c",   "notes-in-key", "intervals",    "chords",    "mixed",
    "progressions", "major-scales", "minor-scales", "weak-spots"};
constexpr std::array<std::string_view, 3> StaffIds{"treble", "bass", "both"};
constexpr std::array<std::string_view, 3> StaffNames{"Treble staff", "Bass staff", "Both staves"};
constexpr std::array<std::string_view, 8> Numerals{"", "I", "II", "III", "IV", "V", "VI", "VII"};

// Keys of the settings file.
constexpr std::string_view ExerciseKey = "Exercise";
constexpr std::string_view KeyKey = "Key";
constexpr std::string_view StaffKey = "Staff";
constexpr std::string_view IntervalsKey = "Intervals";
constexpr std::string_view ChordsKey = "Chords";
constexpr std::string_view ProgressionKey = "Progression";
constexpr std::string_view OctavesKey = "ScaleOctaves";

bool sameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

KindFilter kindsUpTo(int count)
{
    KindFilter f;
    for (int k = 1; k <= count; ++k)
        f.set(static_cast<std::size_t>(k));
    return f;
}

bool anyKind(const KindFilter& kinds, int count)
{
    for (int k = 1; k <= count; ++k)
        if (kinds.test(static_cast<std::size_t>(k)))
            return true;
    return false;
}

std::optional<int> smallNumber(std::string_view text)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || text.empty())
        return std::nullopt;
    return value;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

} // namespace

KindFilter PracticeChoice::allIntervalKinds() { return kindsUpTo(notation::IntervalKindCount); }
KindFilter PracticeChoice::allChordKinds() { return kindsUpTo(notation::ChordKindCount); }

bool PracticeChoice::usesIntervals() const
{
    return kind == ExerciseKind::Intervals || kind == ExerciseKind::Mixed;
}

bool PracticeChoice::usesChords() const
{
    return kind == ExerciseKind::Chords || kind == ExerciseKind::Mixed;
}

bool PracticeChoice::usesOctaves() const
{
    return kind == ExerciseKind::MajorScales || kind == ExerciseKind::MinorScales;
}

std::string PracticeChoice::nothingToAsk() const
{
    const bool intervalsTicked = anyKind(intervals, notation::IntervalKindCount);
    const bool chordsTicked = anyKind(chords, notation::ChordKindCount);
    if (kind == ExerciseKind::Mixed && !intervalsTicked && !chordsTicked)
        return "Tick at least one interval or chord.";
    if (kind == ExerciseKind::Mixed && !intervalsTicked)
        return "Tick at least one interval: mixed runs ask intervals too.";
    if (kind == ExerciseKind::Mixed && !chordsTicked)
        return "Tick at least one chord: mixed runs ask chords too.";
    if (kind == ExerciseKind::Intervals && !intervalsTicked)
        return "Tick at least one interval.";
    if (kind == ExerciseKind::Chords && !chordsTicked)
        return "Tick at least one chord.";
    return "";
}

RunSettings PracticeChoice::runSettings() const
{
    RunSettings s;
    s.kind = kind;
    s.key = kind == ExerciseKind::NotesInC ? 0 : key;
    s.clef = clef;
    if (usesIntervals())
        s.intervalFilter = intervals;
    if (usesChords())
        s.chordFilter = chords;
    if (usesProgression())
        s.progression = progression;
    if (usesOctaves())
        s.scaleVariant = scaleOctaves;
    return s;
}

std::string_view exerciseName(ExerciseKind kind)
{
    return ExerciseNames.at(static_cast<std::size_t>(kind));
}

std::string_view exerciseId(ExerciseKind kind)
{
    return ExerciseIds.at(static_cast<std::size_t>(kind));
}

std::optional<ExerciseKind> exerciseFromId(std::string_view id)
{
    for (ExerciseKind kind : AllExercises)
        if (sameText(id, exerciseId(kind)))
            return kind;
    return std::nullopt;
}

std::string_view keyId(std::int32_t key)
{
    return notation::KeyTable.at(static_cast<std::size_t>(key)).name;
}

std::optional<std::int32_t> keyFromId(std::string_view id)
{
    for (std::int32_t k = 0; k < notation::SignatureCount; ++k)
        if (sameText(id, keyId(k)))
            return k;
    // A sharp names the key of the same tonic written with a flat.
    if (id.size() == 2 && id[1] == '#') {
        static constexpr std::string_view Letters = "CDEFGAB";
        static constexpr std::array<int, 7> PitchClasses{0, 2, 4, 5, 7, 9, 11};
        const auto at =
            Letters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(id[0]))));
        // Only the five black keys: "E#" and "B#" name no key of the list.
        if (at != std::string_view::npos && Letters[at] != 'E' && Letters[at] != 'B')
            return PitchClasses[at] + 1;
    }
    return std::nullopt;
}

std::string keyLabel(std::int32_t key, ExerciseKind kind)
{
    std::string label(notation::MajorKeyNames.at(static_cast<std::size_t>(key)));
    if (kind == ExerciseKind::MinorScales) {
        label += " / ";
        label += notation::MinorKeyNames.at(static_cast<std::size_t>(key));
    }
    return label;
}

std::string_view staffId(ClefSetting clef) { return StaffIds.at(static_cast<std::size_t>(clef)); }

std::string_view staffName(ClefSetting clef)
{
    return StaffNames.at(static_cast<std::size_t>(clef));
}

std::optional<ClefSetting> staffFromId(std::string_view id)
{
    for (std::size_t c = 0; c < StaffIds.size(); ++c)
        if (sameText(id, StaffIds[c]))
            return static_cast<ClefSetting>(c);
    return std::nullopt;
}

std::string progressionName(std::int32_t progression)
{
    const auto row = static_cast<std::size_t>(progression);
    std::string name;
    for (int d = 0; d < ProgressionLengths.at(row); ++d) {
        if (d > 0)
            name += " - ";
        name +=
            Numerals.at(static_cast<std::size_t>(Progressions[row][static_cast<std::size_t>(d)]));
    }
    return name;
}

std::string kindListText(const KindFilter& kinds, int count)
{
    std::string text;
    for (int k = 1; k <= count; ++k) {
        if (!kinds.test(static_cast<std::size_t>(k)))
            continue;
        if (!text.empty())
            text += ',';
        text += std::to_string(k);
    }
    return text;
}

std::optional<KindFilter> kindListFrom(std::string_view text, int count)
{
    KindFilter kinds;
    text = trimmed(text);
    if (text.empty())
        return kinds; // nothing ticked
    while (true) {
        const auto comma = text.find(',');
        const auto value = smallNumber(trimmed(text.substr(0, comma)));
        if (!value || *value < 1 || *value > count)
            return std::nullopt;
        kinds.set(static_cast<std::size_t>(*value));
        if (comma == std::string_view::npos)
            return kinds;
        text.remove_prefix(comma + 1);
    }
}

PracticeChoice readPracticeChoice(const platform::IniFile& file)
{
    PracticeChoice c;
    const auto read = [&](std::string_view key) {
        return file.ReadString(SettingsSection, key, "");
    };
    if (const auto kind = exerciseFromId(read(ExerciseKey)))
        c.kind = *kind;
    if (const auto key = keyFromId(read(KeyKey)))
        c.key = *key;
    if (const auto clef = staffFromId(read(StaffKey)))
        c.clef = *clef;
    // A missing list means every kind; an empty one, none ticked.
    const std::string intervals = file.ReadString(SettingsSection, IntervalsKey, "-");
    if (intervals != "-")
        if (const auto kinds = kindListFrom(intervals, notation::IntervalKindCount))
            c.intervals = *kinds;
    const std::string chords = file.ReadString(SettingsSection, ChordsKey, "-");
    if (chords != "-")
        if (const auto kinds = kindListFrom(chords, notation::ChordKindCount))
            c.chords = *kinds;
    if (const auto p = smallNumber(read(ProgressionKey)); p && *p >= 1 && *p <= ProgressionCount)
        c.progression = *p;
    if (const auto o = smallNumber(read(OctavesKey)); o && (*o == 1 || *o == 2))
        c.scaleOctaves = *o;
    return c;
}

void writePracticeChoice(platform::IniFile& file, const PracticeChoice& c)
{
    file.WriteString(SettingsSection, ExerciseKey, exerciseId(c.kind));
    file.WriteString(SettingsSection, KeyKey, keyId(c.key));
    file.WriteString(SettingsSection, StaffKey, staffId(c.clef));
    file.WriteString(SettingsSection, IntervalsKey,
                     kindListText(c.intervals, notation::IntervalKindCount));
    file.WriteString(SettingsSection, ChordsKey, kindListText(c.chords, notation::ChordKindCount));
    file.WriteString(SettingsSection, ProgressionKey, std::to_string(c.progression));
    file.WriteString(SettingsSection, OctavesKey, std::to_string(c.scaleOctaves));
}

} // namespace engine
