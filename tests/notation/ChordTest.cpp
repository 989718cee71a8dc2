#include "StaffFixture.h"
#include "WrittenPitch.h"
#include "notation/uChord.h"
#include "notation/uKey.h"

#include <optional>
#include <set>

namespace notation {
namespace {

constexpr int C = 0, Gb = 6;
constexpr int T = TrebleClef, B = BassClef;

class ChordTest : public StaffFixture {
protected:
    TChord chord(int key, int clef, int kind, int inversion, int degree = -1)
    {
        return TChord(staff, key, clef, kind, inversion, degree);
    }
    // The root is always drawn at random: build until it is the wanted one.
    std::optional<TChord> chordOn(int root, int key, int clef, int kind, int inversion)
    {
        for (int n = 0; n < 1000; ++n) {
            std::optional<TChord> c;
            c.emplace(staff, key, clef, kind, inversion, -1);
            if (c->getRoot() == root)
                return c;
        }
        ADD_FAILURE() << "no chord on " << root;
        return std::nullopt;
    }
};

// --- Construction cases -----------------------------------------------------------

struct ChordCase {
    const char* name;
    int key, clef, kind, inversion, root;
    int bass;
    bool down;
    std::array<int, 4> pitches; // -1: not in use
    std::array<float, 4> tops;
    std::array<int, 4> accidentals; // sprites, -1 none
    int ledger;                     // sprite, -1 none
    float ledgerTop;
};
void PrintTo(const ChordCase& row, std::ostream* os) { *os << row.name; }

class ChordCases : public ChordTest, public ::testing::WithParamInterface<ChordCase> {};

TEST_P(ChordCases, PitchesHeadsAccidentalsAndLedger)
{
    const ChordCase& c = GetParam();
    const auto ch = chordOn(c.root, c.key, c.clef, c.kind, c.inversion);
    ASSERT_TRUE(ch);
    const auto& r = ch->record();
    EXPECT_EQ(ch->getBass(), c.bass);
    EXPECT_EQ(r.upsideDown, c.down);
    PitchSet expected = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        SCOPED_TRACE(::testing::Message() << "element " << k);
        EXPECT_EQ(r.elements[k].pitch, c.pitches[k]);
        if (c.pitches[k] == -1)
            continue;
        includePitch(expected, c.pitches[k]);
        EXPECT_EQ(r.elements[k].head.top, c.tops[k]);
        EXPECT_EQ(r.elements[k].accidental.spriteIndex, c.accidentals[k]);
    }
    EXPECT_EQ(ch->getPitchSet(), expected);
    EXPECT_EQ(r.ledger.spriteIndex, c.ledger);
    if (c.ledger != -1) {
        EXPECT_EQ(r.ledger.top, c.ledgerTop);
    }
}

INSTANTIATE_TEST_SUITE_P(Chord, ChordCases,
                         ::testing::Values(ChordCase{"MajorOnMiddleC",
                                                     C,
                                                     T,
                                                     1,
                                                     0,
                                                     60,
                                                     60,
                                                     false,
                                                     {60, 64, 67, -1},
                                                     {95, 85, 75, 0},
                                                     {-1, -1, -1, -1},
                                                     35,
                                                     120},
                                           ChordCase{"MajorFirstInversion",
                                                     C,
                                                     T,
                                                     1,
                                                     1,
                                                     60,
                                                     64,
                                                     false,
                                                     {72, 64, 67, -1},
                                                     {60, 85, 75, 0},
                                                     {-1, -1, -1, -1},
                                                     -1,
                                                     0},
                                           ChordCase{"MajorSecondInversion",
                                                     C,
                                                     T,
                                                     1,
                                                     2,
                                                     60,
                                                     55,
                                                     false,
                                                     {60, 64, 55, -1},
                                                     {95, 85, 110, 0},
                                                     {-1, -1, -1, -1},
                                                     36,
                                                     120},
                                           ChordCase{"FullyDiminishedSeventhInC",
                                                     C,
                                                     T,
                                                     11,
                                                     0,
                                                     60,
                                                     60,
                                                     false,
                                                     {60, 63, 66, 69},
                                                     {95, 85, 75, 65},
                                                     {-1, 29, 29, 32},
                                                     35,
                                                     120},
                                           ChordCase{"FullyDiminishedSeventhInGFlat",
                                                     Gb,
                                                     T,
                                                     11,
                                                     0,
                                                     59,
                                                     59,
                                                     false,
                                                     {59, 62, 65, 68},
                                                     {95, 85, 75, 65},
                                                     {-1, 32, 32, 33},
                                                     35,
                                                     120},
                                           ChordCase{"SeventhOnGKeepsStemsUp",
                                                     C,
                                                     T,
                                                     9,
                                                     0,
                                                     67,
                                                     67,
                                                     false,
                                                     {67, 71, 74, 77},
                                                     {75, 65, 55, 45},
                                                     {-1, -1, -1, -1},
                                                     -1,
                                                     0},
                                           ChordCase{"BassStaffStemsDownAboveD3",
                                                     C,
                                                     B,
                                                     2,
                                                     0,
                                                     57,
                                                     57,
                                                     true,
                                                     {57, 60, 64, -1},
                                                     {175, 165, 155, 0},
                                                     {-1, -1, -1, -1},
                                                     36,
                                                     150}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ChordTest, TripleFlatAndDoubleFlatsStartLeftOfTheColumnAndAreStaggered)
{
    const auto ch = chordOn(59, Gb, T, 11, 0);
    ASSERT_TRUE(ch);
    const auto& e = ch->record().elements;
    const float column = staff.accidentalLeftUp;
    // Every sign is moved left from its start only in 2 px steps.
    for (std::size_t k : {1u, 2u, 3u}) {
        const float start = column - (k == 3 ? 10.0f : 5.0f);
        const float moved = start - e[k].accidental.left;
        EXPECT_GE(moved, 0) << k;
        EXPECT_EQ(static_cast<int>(moved) % 2, 0) << k;
    }
    EXPECT_EQ(e[1].accidental.left, column - 5); // the lowest sign stays
    EXPECT_EQ(e[3].accidental.top, 65 + 22);
    for (auto [low, high] : {std::pair{1, 2}, {2, 3}, {1, 3}})
        EXPECT_FALSE(accidentalsOverlap(staff, e[static_cast<std::size_t>(low)].accidental,
                                        e[static_cast<std::size_t>(high)].accidental))
            << low << "," << high;
}

// --- Shifted heads -----------------------------------------------------------------

struct ShiftCase {
    const char* name;
    int clef, kind, inversion, root;
    bool down;
    int shiftedDegree;
};
void PrintTo(const ShiftCase& row, std::ostream* os) { *os << row.name; }

class ShiftedHeads : public ChordTest, public ::testing::WithParamInterface<ShiftCase> {};

TEST_P(ShiftedHeads, OneHeadCrossesTheStem)
{
    const ShiftCase& c = GetParam();
    const auto ch = chordOn(c.root, C, c.clef, c.kind, c.inversion);
    ASSERT_TRUE(ch);
    const auto& r = ch->record();
    ASSERT_EQ(r.upsideDown, c.down);
    for (int k = 0; k < r.count; ++k) {
        const NoteElement& e = r.elements[static_cast<std::size_t>(k)];
        const bool shifted = e.degree == c.shiftedDegree;
        EXPECT_EQ(e.shifted, shifted) << "degree " << e.degree;
        const int sprite = c.down ? (shifted ? 28 : 26) : (shifted ? 25 : 24);
        EXPECT_EQ(e.head.spriteIndex, sprite) << "degree " << e.degree;
        const float left = !shifted ? staff.noteLeft
                           : c.down ? staff.shiftedNoteLeftDown
                                    : staff.shiftedNoteLeftUp;
        EXPECT_EQ(e.head.left, left) << "degree " << e.degree;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Chord, ShiftedHeads,
    ::testing::Values(ShiftCase{"Sus2StemsUp", T, 5, 0, 60, false, 2},
                      ShiftCase{"Sus2StemsDown", T, 5, 0, 72, true, 2},
                      ShiftCase{"Sus2SecondInversionStemsDown", T, 5, 2, 84, true, 1},
                      ShiftCase{"Sus4FirstInversion", T, 6, 1, 60, false, 5},
                      ShiftCase{"SixthFirstInversionStemsDown", B, 7, 1, 48, true, 6},
                      ShiftCase{"SeventhThirdInversionStemsUp", T, 9, 3, 67, false, 1},
                      ShiftCase{"SeventhThirdInversionStemsDown", T, 9, 3, 79, true, 7},
                      ShiftCase{"MajorShiftsNothing", T, 1, 0, 60, false, 0}),
    [](const auto& row) { return std::string(row.param.name); });

// --- Degrees -------------------------------------------------------------------------

TEST_F(ChordTest, TheSeventhDegreeCarriesOnlyDiminishedChords)
{
    for (int n = 0; n < 200; ++n) {
        const TChord major = chord(n % SignatureCount, n % 2 == 0 ? T : B, 1, n % 3);
        EXPECT_NE(pitchClassOf(major.getRoot() - n % SignatureCount), 11);
    }
    for (int kind : {4, 10, 11}) {
        const TChord ch = chord(2, T, kind, 0, 7); // D major: C sharp
        EXPECT_EQ(pitchClassOf(ch.getRoot()), 1);
    }
    for (int kind : {1, 2, 3, 5, 6, 7, 8, 9, 12, 13, 14})
        EXPECT_THROW(chord(C, T, kind, 0, 7), std::invalid_argument) << kind;
}

TEST_F(ChordTest, ADegreeFilterPicksThatDegreesRoot)
{
    for (int degree = 1; degree <= 7; ++degree) {
        const TChord ch = chord(3, B, 4, 0, degree); // diminished, allowed everywhere
        constexpr int Steps[] = {0, 2, 4, 5, 7, 9, 11};
        EXPECT_EQ(pitchClassOf(ch.getRoot() - 3), Steps[degree - 1]) << degree;
    }
}

TEST_F(ChordTest, ArgumentsNoAttemptCouldAcceptAreRejectedAtOnce)
{
    EXPECT_THROW(chord(C, T, 1, 3), std::invalid_argument);    // triads have no third inversion
    EXPECT_THROW(chord(C, T, 2, 0, 1), std::invalid_argument); // no minor chord on the tonic
    EXPECT_THROW(chord(C, T, 9, 4), std::out_of_range);
    EXPECT_THROW(chord(C, T, 9, -1), std::out_of_range);
    EXPECT_THROW(chord(C, T, 0, 0), std::out_of_range);
    EXPECT_THROW(chord(C, T, 15, 0), std::out_of_range);
    EXPECT_THROW(chord(C, T, 1, 0, 8), std::out_of_range);
    EXPECT_THROW(chord(C, T, 1, 0, 0), std::out_of_range);
    EXPECT_THROW(chord(-1, T, 1, 0), std::out_of_range);
    EXPECT_THROW(chord(C, 0, 1, 0), std::out_of_range);
    EXPECT_TRUE(clock.sleeps().empty());
}

// --- Every chord -----------------------------------------------------------------------

TEST_F(ChordTest, EveryChordSoundsWhatItIsStaysInRangeAndKeepsItsSignsApart)
{
    using testing::writtenPitch;
    for (int key = 0; key < SignatureCount; ++key)
        for (int clef : {T, B}) {
            const int low = clef == T ? staff.trebleLow : staff.bassLow;
            const int high = clef == T ? staff.trebleHigh : staff.bassHigh;
            for (int kind = 1; kind <= ChordKindCount; ++kind)
                for (int inversion = 0; inversion < (kind >= 7 ? 4 : 3); ++inversion)
                    for (int n = 0; n < 4; ++n) {
                        const TChord ch = chord(key, clef, kind, inversion);
                        const auto& r = ch.record();
                        SCOPED_TRACE(::testing::Message()
                                     << "key " << key << " clef " << clef << " kind " << kind
                                     << " inversion " << inversion << " root " << r.root);
                        PitchSet expected = 0;
                        for (int k = 0; k < r.count; ++k) {
                            const NoteElement& e = r.elements[static_cast<std::size_t>(k)];
                            EXPECT_GE(e.pitch, low);
                            EXPECT_LE(e.pitch, high);
                            includePitch(expected, e.pitch);
                            const float top = e.head.top - (r.upsideDown ? 30 : 0);
                            EXPECT_EQ(writtenPitch(clef, top, key, e.accidental.spriteIndex),
                                      e.pitch);
                        }
                        EXPECT_EQ(ch.getPitchSet(), expected);
                        const auto order = ch.order();
                        EXPECT_EQ(ch.getBass(),
                                  r.elements[static_cast<std::size_t>(order[0])].pitch);
                        for (int i = 0; i < r.count; ++i)
                            for (int j = i + 1; j < r.count; ++j) {
                                const NoteElement& lo = r.elements[static_cast<std::size_t>(
                                    order[static_cast<std::size_t>(i)])];
                                const NoteElement& hi = r.elements[static_cast<std::size_t>(
                                    order[static_cast<std::size_t>(j)])];
                                EXPECT_LT(lo.pitch, hi.pitch);
                                if (lo.accidental.filled() && hi.accidental.filled()) {
                                    EXPECT_FALSE(
                                        accidentalsOverlap(staff, lo.accidental, hi.accidental))
                                        << i << "," << j;
                                }
                            }
                    }
        }
}

// --- On the staff ------------------------------------------------------------------------

class ChordOnStaff : public ChordTest {
protected:
    TKey key{staff};
};

TEST_F(ChordOnStaff, DrawMoveShowAndClear)
{
    auto ch = chordOn(60, C, T, 11, 0); // four heads, three signs, one ledger
    ASSERT_TRUE(ch);
    repaints = 0;
    ch->DrawChord(staff, false);
    EXPECT_EQ(repaints, 1);
    ASSERT_EQ(image.layerCount(), 2 + 8);
    const auto& e = ch->record().elements;
    // Stacking: each head with its sign, the ledger last.
    expectSpriteAt(image.layer(2), 24, 275, 95);
    expectSpriteAt(image.layer(3), 24, 275, 85);
    expectSpriteAt(image.layer(4), 29, e[1].accidental.left, e[1].accidental.top);
    expectSpriteAt(image.layer(7), 24, 275, 65);
    expectSpriteAt(image.layer(8), 32, e[3].accidental.left, e[3].accidental.top);
    expectSpriteAt(image.layer(9), 35, 270, 120);

    ch->setVisible(staff);
    for (int l = 2; l < 10; ++l)
        EXPECT_TRUE(image.layer(l).visible());
    ch->MoveChord(staff, 5);
    EXPECT_EQ(ch->getLeft(), 270);
    EXPECT_EQ(image.layer(9).location().left, 265);
    EXPECT_EQ(repaints, 3);

    ch->clearChord();
    EXPECT_EQ(repaints, 4);
    EXPECT_EQ(image.layerCount(), 2);
}

TEST_F(ChordTest, DebugInfoOfTheCMajorTriad)
{
    const auto ch = chordOn(60, C, T, 1, 0);
    ASSERT_TRUE(ch);
    EXPECT_EQ(ch->debugInfo(), "Clef: 1\r\n"
                               "Chord: Major\r\n"
                               "Inversion: 0\r\n"
                               "Upside down: no\r\n"
                               "Notes:  [60]  [64]  [67] \r\n"
                               "Names:  [C]  [E]  [G] \r\n"
                               "Images:  [24]  [24]  [24] \r\n"
                               "Position:  [95]  [85]  [75] \r\n"
                               "Left:  [275]  [275]  [275] \r\n"
                               "Ledger Image:  [35] \r\n"
                               "Ledger Top:  [120] \r\n"
                               "Ledger Left:  [270] \r\n");
}

} // namespace
} // namespace notation
