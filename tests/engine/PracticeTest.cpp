#include "engine/Practice.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace engine {
namespace {

class PracticeSettings : public testsupport::TempFolder {
protected:
    std::filesystem::path ini() const { return folder / "vorlanta.ini"; }
    void put(const std::string& text) const
    {
        writeBytes(ini(), std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    std::string onDisk() const
    {
        const auto bytes = readBytes(ini());
        return {bytes.begin(), bytes.end()};
    }
    PracticeChoice read() const { return readPracticeChoice(platform::IniFile(ini())); }
    void write(const PracticeChoice& c) const
    {
        platform::IniFile f(ini());
        writePracticeChoice(f, c);
        f.UpdateFile();
    }
};

PracticeChoice everythingChanged()
{
    PracticeChoice c;
    c.kind = ExerciseKind::Mixed;
    c.key = 6;
    c.clef = ClefSetting::Both;
    c.intervals.reset();
    c.intervals.set(3).set(15);
    c.chords.reset();
    c.progression = 8;
    c.scaleOctaves = 2;
    return c;
}

TEST_F(PracticeSettings, EveryChoiceComesBackAsItWasWritten)
{
    EXPECT_EQ(read(), PracticeChoice{}) << "no file: every default";
    for (const ExerciseKind kind : AllExercises)
        for (std::int32_t key = 0; key < 12; ++key) {
            PracticeChoice c = everythingChanged();
            c.kind = kind;
            c.key = key;
            c.clef = static_cast<ClefSetting>(key % 3);
            write(c);
            ASSERT_EQ(read(), c) << exerciseId(kind) << " in " << keyId(key);
        }
    EXPECT_NE(onDisk().find("Exercise=weak-spots"), std::string::npos) << onDisk();
    EXPECT_NE(onDisk().find("Intervals=3,15"), std::string::npos) << onDisk();
    EXPECT_NE(onDisk().find("Chords=\n"), std::string::npos) << "none ticked is kept as none";
}

TEST_F(PracticeSettings, EveryOtherByteOfTheFileStaysAsItWas)
{
    const std::string before = "; my notes\r\n[Other]\r\nExercise=chords\r\n"
                               "[Tessaly - Notes]\r\nSkin=3\r\n; keep this\r\nKey=D\r\n"
                               "[Last]\r\nx = 1";
    put(before);
    write(everythingChanged());
    const std::string after = onDisk();
    EXPECT_EQ(after.substr(0, after.find("Key=")),
              "; my notes\r\n[Other]\r\nExercise=chords\r\n"
              "[Tessaly - Notes]\r\nSkin=3\r\n; keep this\r\n");
    EXPECT_NE(after.find("Key=Gb\r\n"), std::string::npos) << after;
    EXPECT_NE(after.find("[Last]\r\nx = 1"), std::string::npos) << after;
    EXPECT_EQ(read(), everythingChanged());
    EXPECT_EQ(platform::IniFile(ini()).ReadString("Other", "Exercise", ""), "chords");
}

struct BadValue {
    const char* name;
    const char* line;
};
void PrintTo(const BadValue& row, std::ostream* os) { *os << row.name; }

class BadValues : public PracticeSettings, public ::testing::WithParamInterface<BadValue> {};

// The file holds a good value for every key but one; the bad one falls back
// to its default and the others still apply.
TEST_P(BadValues, FallBackAloneToTheirDefault)
{
    const PracticeChoice good = everythingChanged();
    write(good);
    std::string text = onDisk();
    const std::string line = GetParam().line;
    const std::string key = line.substr(0, line.find('='));
    const auto at = text.find(key + "=");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, text.find('\n', at) - at, line);
    put(text);

    PracticeChoice expected = good;
    const PracticeChoice defaults;
    if (key == "Exercise")
        expected.kind = defaults.kind;
    else if (key == "Key")
        expected.key = defaults.key;
    else if (key == "Staff")
        expected.clef = defaults.clef;
    else if (key == "Intervals")
        expected.intervals = defaults.intervals;
    else if (key == "Chords")
        expected.chords = defaults.chords;
    else if (key == "Progression")
        expected.progression = defaults.progression;
    else
        expected.scaleOctaves = defaults.scaleOctaves;
    EXPECT_EQ(read(), expected);
}

INSTANTIATE_TEST_SUITE_P(Practice, BadValues,
                         ::testing::Values(BadValue{"UnknownExercise", "Exercise=scales"},
                                           BadValue{"ExerciseNumber", "Exercise=3"},
                                           BadValue{"UnknownKey", "Key=H"},
                                           BadValue{"SharpOfNoBlackKey", "Key=E#"},
                                           BadValue{"UnknownStaff", "Staff=alto"},
                                           BadValue{"IntervalOutOfRange", "Intervals=1,16"},
                                           BadValue{"IntervalNotANumber", "Intervals=1,two"},
                                           BadValue{"IntervalListWithAHole", "Intervals=1,,3"},
                                           BadValue{"ChordZero", "Chords=0"},
                                           BadValue{"ProgressionNine", "Progression=9"},
                                           BadValue{"ProgressionWithUnits", "Progression=2x"},
                                           BadValue{"ThreeOctaves", "ScaleOctaves=3"},
                                           BadValue{"NegativeOctaves", "ScaleOctaves=-1"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(Practice, NamesAreReadInAnyCaseAndSharpsNameTheFlatKeys)
{
    for (const ExerciseKind kind : AllExercises)
        EXPECT_EQ(exerciseFromId(exerciseId(kind)), kind);
    EXPECT_EQ(exerciseFromId("CHORDS"), ExerciseKind::Chords);
    EXPECT_EQ(exerciseFromId("chord"), std::nullopt);
    for (std::int32_t k = 0; k < 12; ++k)
        EXPECT_EQ(keyFromId(keyId(k)), k);
    EXPECT_EQ(keyFromId("f#"), 6);
    EXPECT_EQ(keyFromId("C#"), 1);
    EXPECT_EQ(keyFromId("bb"), 10);
    EXPECT_EQ(keyFromId("B#"), std::nullopt);
    EXPECT_EQ(keyFromId(""), std::nullopt);
    EXPECT_EQ(staffFromId("Both"), ClefSetting::Both);
    EXPECT_EQ(staffFromId("tenor"), std::nullopt);
    EXPECT_EQ(keyLabel(2, ExerciseKind::MinorScales), "D Major / B Minor");
    EXPECT_EQ(keyLabel(2, ExerciseKind::Chords), "D Major");
    EXPECT_EQ(progressionName(1), "I - IV - I - V - I");
    EXPECT_EQ(progressionName(3), "II - V - I");
}

TEST(Practice, AChoiceThatLeavesNothingToAskSaysWhyAndEveryOtherMakesAValidRun)
{
    for (const ExerciseKind kind : AllExercises) {
        PracticeChoice c;
        c.kind = kind;
        c.key = 9;
        EXPECT_EQ(c.nothingToAsk(), "") << exerciseId(kind);
        if (kind == ExerciseKind::WeakSpots) {
            // The drill's notes come from the practice history, which the
            // window reads; without them there is no run.
            EXPECT_THROW(c.runSettings().validate(), ERunSetupError);
            continue;
        }
        EXPECT_NO_THROW(c.runSettings().validate()) << exerciseId(kind);
        c.intervals.reset();
        c.chords.reset();
        const bool needsAList = c.usesIntervals() || c.usesChords();
        EXPECT_EQ(c.nothingToAsk().empty(), !needsAList) << exerciseId(kind);
        if (!needsAList) {
            EXPECT_NO_THROW(c.runSettings().validate()) << exerciseId(kind);
        }
    }
    PracticeChoice mixed;
    mixed.kind = ExerciseKind::Mixed;
    mixed.chords.reset();
    EXPECT_EQ(mixed.nothingToAsk(), "Tick at least one chord: mixed runs ask chords too.");
    PracticeChoice notes;
    notes.key = 5;
    EXPECT_EQ(notes.runSettings().key, 0) << "notes in C major ask in C whatever the key";
}

} // namespace
} // namespace engine
