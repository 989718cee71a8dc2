#include "notation/uMusicalStaff.h"
#include "platform/testing/FakeClock.h"

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <set>
#include <string>

namespace notation {
namespace {

// A sprite list in memory: every sprite 1 × 1 except the two staff pictures,
// which are told apart by size and colour.
gfx::TBitmap32List makeSprites(int count = 59)
{
    gfx::TBitmap32List sprites;
    for (int i = 0; i < count; ++i)
        sprites.add().setSize(1, 1);
    if (count > ClefsSprite)
        sprites.bitmap(ClefsSprite).assign(gfx::TBitmap32(600, 300, gfx::color32(1, 1, 1)));
    if (count > IntervalBarsSprite)
        sprites.bitmap(IntervalBarsSprite).assign(gfx::TBitmap32(313, 300, gfx::color32(2, 2, 2)));
    return sprites;
}

class StaffTest : public ::testing::Test {
protected:
    gfx::TBitmap32List sprites = makeSprites();
    platform::testing::FakeClock clock;
    gfx::TImage32 image;
};

// --- Root positions ---------------------------------------------------------------

struct RootCase {
    const char* name;
    int s;
    int clef;
    int pitch;
    float y;
};
// Rows print as their names in test listings.
void PrintTo(const RootCase& row, std::ostream* os) { *os << row.name; }

class RootPositions : public StaffTest, public ::testing::WithParamInterface<RootCase> {};

TEST_P(RootPositions, InTheKeysSpelling)
{
    const TMusicalStaff staff(image, sprites, clock, 2, 2);
    const RootCase& c = GetParam();
    EXPECT_EQ(staff.getRootPosition(c.s, c.clef, c.pitch), c.y);
}

INSTANTIATE_TEST_SUITE_P(
    Staff, RootPositions,
    ::testing::Values(
        RootCase{"MiddleCTreble", 0, 1, 60, 95}, RootCase{"MiddleCBass", 0, 2, 60, 135},
        RootCase{"LowestTrebleF3", 0, 1, 53, 115}, RootCase{"HighestTrebleE6", 0, 1, 88, 15},
        RootCase{"LowestBassC2", 0, 2, 36, 205}, RootCase{"HighestBassG4", 0, 2, 67, 115},
        RootCase{"TrebleLineE4", 0, 1, 64, 85}, RootCase{"TrebleLineF5", 0, 1, 77, 45},
        RootCase{"BassLineG2", 0, 2, 43, 185}, RootCase{"BassLineA3", 0, 2, 57, 145},
        RootCase{"DFlatOnDInC", 0, 1, 61, 90}, RootCase{"CSharpOnCInD", 2, 1, 61, 95},
        RootCase{"BFlatOnBInF", 5, 1, 70, 65}, RootCase{"FSharpOnFInGBass", 7, 2, 54, 155},
        RootCase{"GFlatCFlatTreble", 6, 1, 71, 60}, RootCase{"GFlatCFlatBass", 6, 2, 47, 170},
        RootCase{"GFlatB3WrittenOnC4", 6, 1, 59, 95},
        RootCase{"GFlatOtherPitchClassesFlat", 6, 1, 70, 65},
        RootCase{"GFlatCFlatAtTopOfTable", 6, 1, 83, 25},
        RootCase{"OutsideTheTableFollowsTheRule", 0, 1, 89, 10},
        RootCase{"BelowTheBassTable", 0, 2, 35, 210}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(StaffTest, BadSignatureOrClefIsRejected)
{
    const TMusicalStaff staff(image, sprites, clock, 2, 2);
    EXPECT_THROW((void)staff.getRootPosition(12, 1, 60), std::out_of_range);
    EXPECT_THROW((void)staff.getRootPosition(-1, 1, 60), std::out_of_range);
    EXPECT_THROW((void)staff.getRootPosition(0, 3, 60), std::out_of_range);
}

// --- Construction -------------------------------------------------------------------

struct LayoutCase {
    const char* name;
    int layout;
    int trebleRange;
    bool narrow;
    int trebleHigh;
    // noteLeft, accidentalLeftUp, accidentalLeftUpShifted, accidentalLeftDownShifted,
    // accidentalLeftDown, ledgerLeft, shiftedNoteLeftUp, shiftedNoteLeftDown
    std::array<float, 8> x;
    int background;
};
// Rows print as their names in test listings.
void PrintTo(const LayoutCase& row, std::ostream* os) { *os << row.name; }

class Layouts : public StaffTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(Layouts, SetGeometryRangesAndPicture)
{
    const LayoutCase& c = GetParam();
    const TMusicalStaff staff(image, sprites, clock, c.layout, c.trebleRange);
    EXPECT_EQ(staff.narrow, c.narrow);
    EXPECT_EQ(staff.trebleHigh, c.trebleHigh);
    EXPECT_EQ(staff.trebleLow, 53);
    EXPECT_EQ(staff.bassHigh, 67);
    EXPECT_EQ(staff.bassLow, 36);
    const std::array<float, 8> x{staff.noteLeft,
                                 staff.accidentalLeftUp,
                                 staff.accidentalLeftUpShifted,
                                 staff.accidentalLeftDownShifted,
                                 staff.accidentalLeftDown,
                                 staff.ledgerLeft,
                                 staff.shiftedNoteLeftUp,
                                 staff.shiftedNoteLeftDown};
    EXPECT_EQ(x, c.x);
    EXPECT_EQ(image.bitmap(), sprites.bitmap(c.background));
    EXPECT_EQ(image.layerCount(), 0); // the picture is the image's own bitmap, not a layer
}

INSTANTIATE_TEST_SUITE_P(Staff, Layouts,
                         ::testing::Values(LayoutCase{"WideWithTrebleToC6",
                                                      1,
                                                      1,
                                                      false,
                                                      84,
                                                      {545, 535, 535, 525, 535, 540, 556, 534},
                                                      ClefsSprite},
                                           LayoutCase{"NarrowWithTrebleToE6",
                                                      2,
                                                      2,
                                                      true,
                                                      88,
                                                      {275, 265, 265, 255, 265, 270, 286, 264},
                                                      IntervalBarsSprite},
                                           LayoutCase{"WideWithTrebleToE6",
                                                      1,
                                                      2,
                                                      false,
                                                      88,
                                                      {545, 535, 535, 525, 535, 540, 556, 534},
                                                      ClefsSprite}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(StaffTest, SettingTheStaffPictureRepaintsOnce)
{
    int notifications = 0;
    image.setOnChange([&] { ++notifications; });
    const TMusicalStaff staff(image, sprites, clock, 2, 2);
    EXPECT_EQ(notifications, 1);
}

TEST_F(StaffTest, UnknownLayoutOrRangeIsRejected)
{
    EXPECT_THROW(TMusicalStaff(image, sprites, clock, 3, 2), std::invalid_argument);
    EXPECT_THROW(TMusicalStaff(image, sprites, clock, 2, 0), std::invalid_argument);
}

TEST_F(StaffTest, MissingStaffPictureReportsItsIndex)
{
    const gfx::TBitmap32List few = makeSprites(40);
    try {
        const TMusicalStaff staff(image, few, clock, 2, 2);
        FAIL() << "no error";
    } catch (const gfx::EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (43)");
    }
}

// --- Random numbers --------------------------------------------------------------------

TEST_F(StaffTest, RandomBetweenStaysInsideItsBoundsAndReachesBoth)
{
    TMusicalStaff staff(image, sprites, clock, 2, 2);
    std::set<int> seen;
    for (int i = 0; i < 400; ++i)
        seen.insert(staff.randomBetween(1, 2));
    EXPECT_EQ(seen, (std::set<int>{1, 2}));

    std::set<int> wide;
    for (int i = 0; i < 2000; ++i) {
        const int r = staff.randomBetween(53, 88);
        ASSERT_GE(r, 53);
        ASSERT_LE(r, 88);
        wide.insert(r);
    }
    EXPECT_EQ(wide.size(), 36u);
}

TEST_F(StaffTest, DrawsNeverPause)
{
    TMusicalStaff staff(image, sprites, clock, 2, 2);
    EXPECT_EQ(staff.randomBetween(5, 5), 5);
    for (int i = 0; i < 2000; ++i)
        staff.randomBetween(0, 10);
    EXPECT_TRUE(clock.sleeps().empty());
}

TEST_F(StaffTest, BoundsInEitherOrderGiveTheSameRange)
{
    TMusicalStaff staff(image, sprites, clock, 2, 2);
    for (int i = 0; i < 100; ++i) {
        const int r = staff.randomBetween(9, 7);
        EXPECT_GE(r, 7);
        EXPECT_LE(r, 9);
    }
}

TEST_F(StaffTest, ReseedingAtTheSameTimeRepeatsTheDraws)
{
    TMusicalStaff staff(image, sprites, clock, 2, 2);
    platform::testing::FakeClock twin;
    gfx::TImage32 twinImage;
    TMusicalStaff twinStaff(twinImage, sprites, twin, 2, 2);

    staff.reseedFromClock();
    twinStaff.reseedFromClock();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(staff.randomBetween(0, 1000), twinStaff.randomBetween(0, 1000));
}

TEST_F(StaffTest, TheSameTimeSeedsTheSameDrawsAndALaterOneOthers)
{
    const auto draws = [](TMusicalStaff& staff) {
        staff.reseedFromClock();
        std::vector<int> out;
        for (int i = 0; i < 20; ++i)
            out.push_back(staff.randomBetween(0, 1'000'000));
        return out;
    };
    TMusicalStaff staff(image, sprites, clock, 2, 2);
    const std::vector<int> first = draws(staff);
    EXPECT_GT(std::set<int>(first.begin(), first.end()).size(), 1u);

    platform::testing::FakeClock same;
    gfx::TImage32 other;
    TMusicalStaff again(other, sprites, same, 2, 2);
    EXPECT_EQ(draws(again), first);
    clock.advanceMs(1);
    EXPECT_NE(draws(staff), first);
}

} // namespace
} // namespace notation
