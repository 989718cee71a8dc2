// Cross-checks of the read-only tables against each other and against the
// rules they encode, so that a mistyped entry shows up.

#include "notation/uMusicalStaff.h"

#include <gtest/gtest.h>

#include <bit>

namespace notation {
namespace {

constexpr std::uint16_t CMajorMask = 0xab5;

std::uint16_t rotateLeft12(std::uint16_t mask, int by)
{
    const unsigned m = mask;
    return static_cast<std::uint16_t>(((m << by) | (m >> (12 - by))) & 0xfffu);
}

TEST(PitchTables, EveryScaleMaskIsTheMajorScaleOfItsTonic)
{
    for (int s = 0; s < 12; ++s)
        EXPECT_EQ(ScaleMasks[s], s == 0 ? CMajorMask : rotateLeft12(CMajorMask, s)) << "key " << s;
}

TEST(PitchTables, KeyTableAltersTheBlackKeysOfTheScale)
{
    for (int s = 0; s < 12; ++s) {
        for (int pc = 0; pc < 12; ++pc) {
            const bool inScale = (ScaleMasks[s] >> pc & 1u) != 0;
            int expected = inScale && BlackKeys[pc] == 1 ? 1 : 0;
            if (s == GFlatMajor && pc == 11)
                expected = 1; // C flat
            EXPECT_EQ(KeyTable[s].altered[pc], expected) << "key " << s << " pitch class " << pc;
        }
    }
}

TEST(PitchTables, KeyNamesAgreeWithTonicAndSpelling)
{
    for (int s = 0; s < 12; ++s) {
        EXPECT_EQ(MajorKeyNames[s], std::string(KeyTable[s].name) + " Major");
        EXPECT_EQ(KeyTable[s].name, FlatNoteNames[s]) << "key " << s;
        // The relative minor's tonic lies three semitones below, in the key's spelling.
        const std::string_view minorTonic = MinorKeyNames[s].substr(0, MinorKeyNames[s].find(' '));
        const int pc = (s + 9) % 12;
        EXPECT_TRUE(minorTonic == FlatNoteNames[pc] || minorTonic == SharpNoteNames[pc])
            << MinorKeyNames[s];
    }
}

TEST(PitchTables, SharpKeysAreTheKeysWhoseSignatureHasSharps)
{
    // D, E, G, A and B major are written with sharps; the rest with flats.
    for (int s = 0; s < 12; ++s)
        EXPECT_EQ(SharpKeys[s], (s == 2 || s == 4 || s == 7 || s == 9 || s == 11) ? 1 : 0);
}

TEST(PitchTables, LettersMatchTheNotesNames)
{
    constexpr std::string_view letters = "CDEFGAB";
    for (int pc = 0; pc < 12; ++pc) {
        EXPECT_EQ(letters[static_cast<std::size_t>(FlatLetters[pc] - 1)], FlatNoteNames[pc][0]);
        EXPECT_EQ(letters[static_cast<std::size_t>(SharpLetters[pc] - 1)], SharpNoteNames[pc][0]);
        EXPECT_EQ(BlackKeys[pc], FlatNoteNames[pc].size() == 2 ? 1 : 0);
        EXPECT_EQ(WhiteKeyNumbers[pc], BlackKeys[pc] == 1 ? 0 : FlatLetters[pc]);
    }
}

TEST(PitchTables, LetterPositionsAreWhereEachLetterStandsOnTheStaff)
{
    constexpr std::array<int, 7> whiteKey{0, 2, 4, 5, 7, 9, 11};
    for (int letter = 0; letter < 7; ++letter) {
        for (int y = 0; y <= 255; ++y) {
            bool treble = false;
            for (int p = TrebleTableLow; p <= TrebleTableHigh; ++p)
                treble |= pitchClassOf(p) == whiteKey[letter] &&
                          TrebleFlatPositions[p] == static_cast<float>(y);
            bool bass = false;
            for (int p = BassTableLow; p <= BassTableHigh; ++p)
                bass |= pitchClassOf(p) == whiteKey[letter] &&
                        BassFlatPositions[p] == static_cast<float>(y);
            EXPECT_EQ(TrebleLetterPositions[letter].contains(static_cast<float>(y)), treble)
                << "letter " << letter << " y " << y;
            EXPECT_EQ(BassLetterPositions[letter].contains(static_cast<float>(y)), bass)
                << "letter " << letter << " y " << y;
        }
    }
    EXPECT_FALSE(TrebleLetterPositions[0].contains(95.5f));
}

TEST(PitchTables, StepOffsetsAndLedgerTops)
{
    for (int n = 2; n <= 8; ++n)
        EXPECT_EQ(StepOffsets[n], 5.0f * static_cast<float>(n - 1));
    constexpr std::array<float, 12> tops{40, 50, 60, 120, 120, 120, 140, 150, 160, 220, 220, 220};
    for (int c = 1; c <= 12; ++c)
        EXPECT_EQ(LedgerTops[c], tops[c - 1]) << "case " << c;
}

TEST(PitchSets, HoldPitches32To95Only)
{
    PitchSet set = 0;
    includePitch(set, 32);
    includePitch(set, 60);
    includePitch(set, 95);
    includePitch(set, 31);
    includePitch(set, 96);
    EXPECT_EQ(std::popcount(set), 3);
    EXPECT_EQ(set, (PitchSet{1} << 0) | (PitchSet{1} << 28) | (PitchSet{1} << 63));
    EXPECT_TRUE(containsPitch(set, 60));
    EXPECT_FALSE(containsPitch(set, 61));
    EXPECT_FALSE(containsPitch(set, 96));
}

} // namespace
} // namespace notation
