#include "StaffFixture.h"
#include "notation/uKey.h"
#include "notation/uNote.h"

#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace notation {
namespace {

constexpr int C = 0, Db = 1, D = 2, F = 5, Gb = 6, G = 7, Bb = 10;
constexpr int T = TrebleClef, B = BassClef;

class NoteTest : public StaffFixture {
protected:
    TNote note(int key, int clef, int pitch, bool inKeyOnly = false)
    {
        return TNote(staff, key, clef, pitch, inKeyOnly);
    }
};

// --- Head -------------------------------------------------------------------------

struct HeadCase {
    const char* name;
    int key, clef, pitch;
    bool down;
    float top;
};
void PrintTo(const HeadCase& row, std::ostream* os) { *os << row.name; }

class Heads : public NoteTest, public ::testing::WithParamInterface<HeadCase> {};

TEST_P(Heads, StemDirectionSpriteAndTop)
{
    const HeadCase& c = GetParam();
    const TNote n = note(c.key, c.clef, c.pitch);
    const auto& head = n.record().element.head;
    EXPECT_EQ(n.record().upsideDown, c.down);
    EXPECT_EQ(head.spriteIndex, c.down ? 26 : 24);
    EXPECT_EQ(head.top, c.top);
    EXPECT_EQ(head.left, 275);
    EXPECT_FALSE(n.record().element.shifted);
    EXPECT_EQ(n.getPitch(), c.pitch);
    EXPECT_EQ(n.getPitchClass(), c.pitch % 12);
    EXPECT_EQ(n.getPitchSet(), PitchSet{1} << (c.pitch - 32));
}

INSTANTIATE_TEST_SUITE_P(Note, Heads,
                         ::testing::Values(HeadCase{"B4MiddleLineStemUp", C, T, 71, false, 65},
                                           HeadCase{"C5StemDown", C, T, 72, true, 90},
                                           HeadCase{"LowestTrebleF3", C, T, 53, false, 115},
                                           HeadCase{"HighestTrebleE6", C, T, 88, true, 45},
                                           HeadCase{"D3MiddleLineStemUp", C, B, 50, false, 165},
                                           HeadCase{"EFlat3StemDown", C, B, 51, true, 190},
                                           HeadCase{"LowestBassC2", C, B, 36, false, 205},
                                           HeadCase{"HighestBassG4", C, B, 67, true, 145},
                                           HeadCase{"CFlatInGFlatStemFollowsThePitch", Gb, T, 71,
                                                    false, 60}),
                         [](const auto& row) { return std::string(row.param.name); });

// --- Accidentals -------------------------------------------------------------------

struct AccidentalCase {
    const char* name;
    int key, clef, pitch;
    int sprite; // -1: none
    float top, left;
};
void PrintTo(const AccidentalCase& row, std::ostream* os) { *os << row.name; }

class Accidentals : public NoteTest, public ::testing::WithParamInterface<AccidentalCase> {};

TEST_P(Accidentals, ChosenByTheKeyAndPlacedBesideTheHead)
{
    const AccidentalCase& c = GetParam();
    const TNote n = note(c.key, c.clef, c.pitch);
    const auto& acc = n.record().element.accidental;
    EXPECT_EQ(acc.spriteIndex, c.sprite);
    if (c.sprite != -1) {
        EXPECT_EQ(acc.top, c.top);
        EXPECT_EQ(acc.left, c.left);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Note, Accidentals,
    ::testing::Values(AccidentalCase{"DFlatInCMajor", C, T, 61, 29, 112, 265},
                      AccidentalCase{"FNaturalInDMajor", D, T, 65, 31, 106, 265},
                      AccidentalCase{"CSharpInDMajorNone", D, T, 61, -1, 0, 0},
                      AccidentalCase{"DSharpInDMajor", D, T, 63, 30, 115, 265},
                      AccidentalCase{"BNaturalInFMajor", F, T, 71, 31, 91, 265},
                      AccidentalCase{"CFlatInGFlatMajorNone", Gb, T, 71, -1, 0, 0},
                      AccidentalCase{"FNaturalInGMajorBass", G, B, 53, 31, 181, 265},
                      AccidentalCase{"DFlatStemDownSameHeight", C, T, 73, 29, 77, 265},
                      AccidentalCase{"BNaturalInBFlatMajor", Bb, T, 71, 31, 91, 265},
                      AccidentalCase{"GFlatInDFlatMajorNone", Db, B, 42, -1, 0, 0},
                      AccidentalCase{"ANaturalInDFlatMajor", Db, B, 45, 31, 206, 265}),
    [](const auto& row) { return std::string(row.param.name); });

// --- Ledger lines --------------------------------------------------------------------

struct LedgerCase {
    const char* name;
    int key, clef, pitch;
    int sprite; // -1: none
    float top;
};
void PrintTo(const LedgerCase& row, std::ostream* os) { *os << row.name; }

class Ledgers : public NoteTest, public ::testing::WithParamInterface<LedgerCase> {};

TEST_P(Ledgers, ByHowFarTheHeadLiesOutsideTheStaff)
{
    const LedgerCase& c = GetParam();
    const TNote n = note(c.key, c.clef, c.pitch);
    const auto& ledger = n.record().ledger;
    EXPECT_EQ(ledger.spriteIndex, c.sprite);
    if (c.sprite != -1) {
        EXPECT_EQ(ledger.top, c.top);
        EXPECT_EQ(ledger.left, 270);
    }
}

INSTANTIATE_TEST_SUITE_P(Note, Ledgers,
                         ::testing::Values(LedgerCase{"A5OneAbove", C, T, 81, 35, 60},
                                           LedgerCase{"C6TwoAbove", C, T, 84, 36, 50},
                                           LedgerCase{"E6ThreeAbove", C, T, 88, 37, 40},
                                           LedgerCase{"C4OneBelow", C, T, 60, 35, 120},
                                           LedgerCase{"A3TwoBelow", C, T, 57, 36, 120},
                                           LedgerCase{"F3ThreeBelow", C, T, 53, 37, 120},
                                           LedgerCase{"C4OneAboveBass", C, B, 60, 35, 160},
                                           LedgerCase{"E4TwoAboveBass", C, B, 64, 36, 150},
                                           LedgerCase{"G4ThreeAboveBass", C, B, 67, 37, 140},
                                           LedgerCase{"E2OneBelowBass", C, B, 40, 35, 220},
                                           LedgerCase{"C2TwoBelowBass", C, B, 36, 36, 220},
                                           LedgerCase{"CSharp4InASharpKeyOnC", D, T, 61, 35, 120},
                                           LedgerCase{"DFlat4InAFlatKeyOnD", C, T, 61, -1, 0},
                                           LedgerCase{"CFlat4InGFlatOnC", Gb, T, 59, 35, 120},
                                           LedgerCase{"CFlat4InGFlatAboveBass", Gb, B, 59, 35,
                                                      160}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(NoteTest, NoLedgerLinesInsideEitherStaff)
{
    for (int key : {C, D, Gb}) {
        for (int p = 62; p <= 79; ++p)
            EXPECT_FALSE(note(key, T, p).record().ledger.filled())
                << "treble " << p << " key " << key;
        // B3 lies in the space above the bass staff, except in G-flat where it is
        // written C-flat on middle C's ledger (a table case above).
        for (int p = 41; p <= (key == Gb ? 58 : 59); ++p)
            EXPECT_FALSE(note(key, B, p).record().ledger.filled())
                << "bass " << p << " key " << key;
    }
}

// --- Picking the pitch ------------------------------------------------------------------

TEST_F(NoteTest, InKeyOnlyPicksOnlyScalePitchesWithinTheRange)
{
    std::set<int> picked;
    for (int i = 0; i < 300; ++i) {
        const TNote n = note(C, i % 2 == 0 ? T : B, -1, true);
        const int p = n.getPitch();
        EXPECT_EQ(BlackKeys[static_cast<std::size_t>(p % 12)], 0) << p;
        EXPECT_GE(p, i % 2 == 0 ? 53 : 36);
        EXPECT_LE(p, i % 2 == 0 ? 88 : 67);
        EXPECT_EQ(n.getPitchSet(), PitchSet{1} << (p - 32));
        picked.insert(p);
    }
    EXPECT_GT(picked.size(), 30u);
}

TEST_F(NoteTest, RandomNotesDrawOnFromTheStaffsSeed)
{
    // Reseeded once, as a run is: the notes differ from each other, and the
    // same seed gives the same notes again.
    const auto notes = [this] {
        staff.reseedFromClock();
        std::vector<int> pitches;
        for (int i = 0; i < 20; ++i)
            pitches.push_back(note(C, T, -1).getPitch());
        return pitches;
    };
    const std::vector<int> first = notes();
    EXPECT_GT(std::set<int>(first.begin(), first.end()).size(), 3u);
    EXPECT_EQ(notes(), first);
    EXPECT_TRUE(clock.sleeps().empty());
}

TEST_F(NoteTest, AGivenPitchTheLoopCouldNeverAcceptIsTakenAsItIs)
{
    EXPECT_EQ(note(C, T, 61, true).getPitch(), 61); // outside the scale
    EXPECT_EQ(note(C, T, 40).getPitch(), 40);       // below the treble range
    EXPECT_EQ(note(C, B, 90, true).getPitch(), 90); // above the bass range
}

TEST_F(NoteTest, BadKeyOrClefIsRejected)
{
    EXPECT_THROW(note(12, T, 60), std::out_of_range);
    EXPECT_THROW(note(C, 0, 60), std::out_of_range);
}

// --- Drawing and the life on the staff --------------------------------------------------

class NoteOnStaff : public NoteTest {
protected:
    // B flat 3 in C major: head, flat and one ledger line below the treble staff.
    void SetUp() override
    {
        bFlat = std::make_unique<TNote>(staff, C, T, 58, false);
        repaints = 0;
    }

    TKey key{staff};
    std::unique_ptr<TNote> bFlat;
};

TEST_F(NoteOnStaff, DrawNoteCreatesHeadAccidentalAndLedgerInOneRepaint)
{
    bFlat->DrawNote(staff, false);
    EXPECT_EQ(repaints, 1);
    ASSERT_EQ(image.layerCount(), 5);
    expectSpriteAt(image.layer(2), 24, 275, 100);
    expectSpriteAt(image.layer(3), 29, 265, 122);
    expectSpriteAt(image.layer(4), 35, 270, 120);
    for (int i = 2; i < 5; ++i)
        EXPECT_FALSE(image.layer(i).visible());
}

TEST_F(NoteOnStaff, SetVisibleShowsExactlyTheFilledSlots)
{
    bFlat->DrawNote(staff, false);
    TNote plain(staff, C, T, 67, false); // G4: head only
    plain.DrawNote(staff, false);
    repaints = 0;
    plain.setVisible(staff);
    EXPECT_EQ(repaints, 1);
    ASSERT_EQ(image.layerCount(), 6);
    EXPECT_TRUE(image.layer(5).visible());
    for (int i = 2; i < 5; ++i)
        EXPECT_FALSE(image.layer(i).visible()) << "layer " << i;

    bFlat->setVisible(staff);
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(image.layer(i).visible()) << "layer " << i;
}

TEST_F(NoteOnStaff, MoveNoteShiftsEveryPictureLeftAndKeepsTops)
{
    bFlat->DrawNote(staff, true);
    repaints = 0;
    for (int i = 0; i < 10; ++i)
        bFlat->MoveNote(staff, 5);
    EXPECT_EQ(repaints, 10);
    EXPECT_EQ(bFlat->getLeft(), 225);
    expectSpriteAt(image.layer(2), 24, 225, 100);
    expectSpriteAt(image.layer(3), 29, 215, 122);
    expectSpriteAt(image.layer(4), 35, 220, 120);
    EXPECT_EQ(bFlat->record().ledger.left, 220);
}

TEST_F(NoteOnStaff, ClearNoteRemovesOnlyTheNotesLayers)
{
    TNote other(staff, C, B, 40, false);
    other.DrawNote(staff, true);
    bFlat->DrawNote(staff, true);
    repaints = 0;
    bFlat->clearNote();
    EXPECT_EQ(repaints, 1);
    ASSERT_EQ(image.layerCount(), 4); // signatures and the other note's head and ledger
    EXPECT_FALSE(bFlat->record().ledger.filled());
    expectSpriteAt(image.layer(2), 24, 275, 195);

    bFlat.reset(); // destroying after clearNote frees nothing twice
    EXPECT_EQ(image.layerCount(), 4);
    key.DrawKey(staff, 2);
    expectSpriteAt(image.layer(0), 2, 40, 70);
    expectSpriteAt(image.layer(1), 14, 40, 170);
}

TEST_F(NoteOnStaff, DestroyingADrawnNoteRemovesItsLayers)
{
    bFlat->DrawNote(staff, true);
    bFlat.reset();
    EXPECT_EQ(image.layerCount(), 2);
}

// --- Diagnostics ------------------------------------------------------------------------

TEST_F(NoteTest, DebugInfoOfMiddleC)
{
    const TNote n = note(C, T, 60);
    std::string text;
    n.debugInfo(text);
    EXPECT_EQ(text, "Clef: 1\r\n"
                    "Upside down: no\r\n"
                    "Notes:  [60] \r\n"
                    "Names:  [C] \r\n"
                    "Images:  [24] \r\n"
                    "Position:  [95] \r\n"
                    "Left:  [275] \r\n"
                    "Ledger Image:  [35] \r\n"
                    "Ledger Top:  [120] \r\n"
                    "Ledger Left:  [270] \r\n");
}

TEST_F(NoteTest, DebugInfoSpellsByKeyAndWritesShortestFloats)
{
    TNote n = note(D, B, 54); // F sharp 3, stem down
    n.DrawNote(staff, true);
    n.MoveNote(staff, 12.5);
    std::string text;
    n.debugInfo(text);
    EXPECT_EQ(text, "Clef: 2\r\n"
                    "Upside down: yes\r\n"
                    "Notes:  [54] \r\n"
                    "Names:  [F#] \r\n"
                    "Images:  [26] \r\n"
                    "Position:  [185] \r\n"
                    "Left:  [262.5] \r\n");
}

} // namespace
} // namespace notation
