#include "shell/CommandLine.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace shell {
namespace {

struct ArgumentCase {
    const char* name;
    QStringList arguments; // after the program's name
    bool run;
    int exitCode;
    const char* says; // in standard output, or in standard error when it fails
    std::optional<engine::ExerciseKind> kind;
    std::optional<std::int32_t> key;
    std::optional<engine::ClefSetting> clef;
};
void PrintTo(const ArgumentCase& row, std::ostream* os) { *os << row.name; }

class Arguments : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(Arguments, GiveTheirChoiceOrTheirMessageAndExitStatus)
{
    const ArgumentCase& c = GetParam();
    QStringList arguments{QStringLiteral("tessaly-notes")};
    arguments += c.arguments;
    const CommandLine read = readCommandLine(arguments);
    EXPECT_EQ(read.run, c.run);
    EXPECT_EQ(read.exitCode, c.exitCode);
    const std::string& text = c.exitCode == 2 ? read.error : read.out;
    EXPECT_NE(text.find(c.says), std::string::npos) << text;
    if (c.exitCode == 2) {
        EXPECT_TRUE(read.out.empty());
    }
    EXPECT_EQ(read.choice.kind, c.kind);
    EXPECT_EQ(read.choice.key, c.key);
    EXPECT_EQ(read.choice.clef, c.clef);
}

using engine::ClefSetting;
using engine::ExerciseKind;
const QString Ex = QStringLiteral("--exercise");
const QString Key = QStringLiteral("--key");
const QString Staff = QStringLiteral("--staff");

INSTANTIATE_TEST_SUITE_P(
    CommandLine, Arguments,
    ::testing::Values(
        ArgumentCase{"Nothing", {}, true, 0, "", {}, {}, {}},
        ArgumentCase{"AllThree",
                     {Ex, QStringLiteral("chords"), Key, QStringLiteral("Eb"), Staff,
                      QStringLiteral("bass")},
                     true,
                     0,
                     "",
                     ExerciseKind::Chords,
                     3,
                     ClefSetting::Bass},
        ArgumentCase{"EqualsFormAndAnyCase",
                     {QStringLiteral("--exercise=Minor-Scales"), QStringLiteral("--key=f#")},
                     true,
                     0,
                     "",
                     ExerciseKind::MinorScales,
                     6,
                     {}},
        ArgumentCase{"QtsOwnOptionsAreLeftToQt",
                     {QStringLiteral("-platform"), QStringLiteral("offscreen"),
                      QStringLiteral("-reverse"), Staff, QStringLiteral("both")},
                     true,
                     0,
                     "",
                     {},
                     {},
                     ClefSetting::Both},
        ArgumentCase{"Help", {QStringLiteral("--help")}, false, 0, "--exercise <KIND>", {}, {}, {}},
        ArgumentCase{
            "HelpNamesTheExercises", {QStringLiteral("-h")}, false, 0, "minor-scales", {}, {}, {}},
        ArgumentCase{
            "Version", {QStringLiteral("--version")}, false, 0, "Tessaly - Notes v", {}, {}, {}},
        ArgumentCase{"UnknownExercise",
                     {Ex, QStringLiteral("scales")},
                     false,
                     2,
                     "unknown exercise 'scales'; the exercises are: notes-in-c,",
                     {},
                     {},
                     {}},
        ArgumentCase{"UnknownKey",
                     {Key, QStringLiteral("H")},
                     false,
                     2,
                     "unknown key 'H'; the keys are: C, Db, D,",
                     {},
                     {},
                     {}},
        ArgumentCase{"SharpOfNoBlackKey",
                     {Key, QStringLiteral("E#")},
                     false,
                     2,
                     "unknown key 'E#'",
                     {},
                     {},
                     {}},
        ArgumentCase{"UnknownStaff",
                     {Staff, QStringLiteral("alto")},
                     false,
                     2,
                     "the staves are: treble, bass, both",
                     {},
                     {},
                     {}},
        ArgumentCase{
            "MissingValue", {Ex}, false, 2, "Missing value after '--exercise'", {}, {}, {}},
        ArgumentCase{"UnknownOption",
                     {QStringLiteral("--tempo"), QStringLiteral("3")},
                     false,
                     2,
                     "Unknown option 'tempo'",
                     {},
                     {},
                     {}},
        ArgumentCase{"StrayArgument",
                     {QStringLiteral("chords")},
                     false,
                     2,
                     "unexpected argument 'chords'",
                     {},
                     {},
                     {}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CommandLine, ChoicesGoOverTheRememberedOnesOneByOne)
{
    engine::PracticeChoice remembered;
    remembered.kind = ExerciseKind::Intervals;
    remembered.key = 5;
    remembered.clef = ClefSetting::Both;
    remembered.progression = 4;
    StartChoice start;
    start.key = 9;
    const engine::PracticeChoice used = start.over(remembered);
    EXPECT_EQ(used.kind, ExerciseKind::Intervals);
    EXPECT_EQ(used.key, 9);
    EXPECT_EQ(used.clef, ClefSetting::Both);
    EXPECT_EQ(used.progression, 4);
}

} // namespace
} // namespace shell
