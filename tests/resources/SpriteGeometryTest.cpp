// The shipped sprite images against the places the program draws them: staff
// lines on the staff rows, heads and signs centred on the rows their offsets
// give, ledger lines where the ledger tops put them, key signatures in the
// standard order, piano highlights over the keys of the hit-test table.

#include "resources/uBmp.h"
#include "resources/uResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

using gfx::TBitmap32;

std::filesystem::path imageFile(const std::string& name)
{
    return std::filesystem::path(TESSALY_DATA_DIR) / std::string(resources::ImagesFolder) /
           (name + ".bmp");
}

bool isMasked(const std::string& name)
{
    for (const resources::SpriteFile& f : resources::SpriteFiles)
        if (f.name == name)
            return f.masked;
    ADD_FAILURE() << name << " is not in the sprite table";
    return false;
}

// The sprite as the pack builder makes it: colour with the alpha of its mask,
// or a 32-bit image with its own alpha.
TBitmap32 sprite(const std::string& name)
{
    TBitmap32 colour = resources::loadBmp(imageFile(name));
    if (isMasked(name))
        resources::alphaFromMask(colour, resources::loadBmp(imageFile(name + "-neg")));
    return colour;
}

unsigned alpha(const TBitmap32& b, int x, int y) { return gfx::alphaOf(b.pixel(x, y)); }

unsigned luminance(gfx::Color32 c)
{
    return (gfx::redOf(c) * 61 + gfx::greenOf(c) * 174 + gfx::blueOf(c) * 21) >> 8;
}

// Sum of alpha per row over columns [x0, x1).
std::vector<double> rowInk(const TBitmap32& b, int x0, int x1)
{
    std::vector<double> rows(static_cast<std::size_t>(b.height()), 0.0);
    for (int y = 0; y < b.height(); ++y)
        for (int x = x0; x < x1; ++x)
            rows[static_cast<std::size_t>(y)] += alpha(b, x, y) / 255.0;
    return rows;
}

// The middle (in pixel-centre coordinates) of the rows carrying at least
// half of the heaviest row's ink: a head's rows, a flat's bowl, a sharp's
// beams, a natural's bars.
double bodyMiddle(const std::vector<double>& rows)
{
    const double heaviest = *std::max_element(rows.begin(), rows.end());
    int first = -1, last = -1;
    for (int y = 0; y < static_cast<int>(rows.size()); ++y) {
        if (rows[static_cast<std::size_t>(y)] >= heaviest / 2) {
            if (first < 0)
                first = y;
            last = y;
        }
    }
    return (first + last) / 2.0;
}

// Runs of columns holding any ink, as [first, last] pairs.
std::vector<std::pair<int, int>> inkedColumnRuns(const TBitmap32& b, unsigned threshold)
{
    std::vector<std::pair<int, int>> runs;
    bool inside = false;
    for (int x = 0; x < b.width(); ++x) {
        bool inked = false;
        for (int y = 0; y < b.height() && !inked; ++y)
            inked = alpha(b, x, y) > threshold;
        if (inked && !inside)
            runs.push_back({x, x});
        if (inked)
            runs.back().second = x;
        inside = inked;
    }
    return runs;
}

TEST(SpriteGeometry, StaffPicturesHaveDarkRowsExactlyOnTheStaffLines)
{
    struct Case {
        const char* name;
        int minWidth; // notes enter here, plus a shifted head and its width
    };
    const Case cases[] = {{"clefs", 545 + 11 + 12}, {"intervalbars", 275 + 11 + 12}};
    const std::set<int> lines{80, 90, 100, 110, 120, 180, 190, 200, 210, 220};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TBitmap32 staff = sprite(c.name);
        ASSERT_EQ(staff.height(), 300);
        ASSERT_GE(staff.width(), c.minWidth);
        if (std::string(c.name) == "intervalbars") {
            EXPECT_EQ(staff.width(), 313);
        }
        std::set<int> dark, paper;
        // Right of the clefs and key signatures, where notes travel.
        for (int y = 0; y < staff.height(); ++y) {
            bool allDark = true, allPaper = true;
            for (int x = 125; x < staff.width(); ++x) {
                const gfx::Color32 p = staff.pixel(x, y);
                ASSERT_EQ(gfx::alphaOf(p), 255u) << "at " << x << ", " << y;
                allDark = allDark && luminance(p) < 64;
                allPaper = allPaper && luminance(p) > 240;
            }
            if (allDark)
                dark.insert(y);
            if (!allPaper && !allDark)
                ADD_FAILURE() << "row " << y << " is neither paper nor a staff line";
        }
        EXPECT_EQ(dark, lines);
        // Clefs stay left of the key signature at x 40.
        for (int y = 0; y < staff.height(); ++y) {
            for (int x = 40; x < 125; ++x) {
                if (!lines.contains(y)) {
                    ASSERT_GT(luminance(staff.pixel(x, y)), 240u) << "ink at " << x << ", " << y;
                }
            }
        }
    }
}

TEST(SpriteGeometry, NoteHeadsAreCentredOnTheirRowWithTheStemOnTheRightSide)
{
    enum class Stem { None, Up, DownLeft, DownRight };
    struct Case {
        const char* name;
        int headRow;
        Stem stem;
    };
    const Case cases[] = {
        {"4thnote", 35, Stem::Up},
        {"4thnoteflip", 35, Stem::None},
        {"4thnote-down", 5, Stem::DownLeft},
        {"4thnoteflip-down-1", 5, Stem::DownRight},
        {"4thnoteflip-down-2", 5, Stem::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TBitmap32 note = sprite(c.name);
        // A head 12 px wide fits a neighbour 11 px away sharing one stem.
        ASSERT_GE(note.width(), 11);
        ASSERT_LE(note.width(), 13);
        // The head: the rows that are inked across most of the width.
        const std::vector<double> rows = rowInk(note, 0, note.width());
        int first = -1, last = -1;
        for (int y = 0; y < note.height(); ++y)
            if (rows[static_cast<std::size_t>(y)] >= 6) {
                first = first < 0 ? y : first;
                last = y;
            }
        ASSERT_GE(first, 0);
        EXPECT_NEAR((first + last) / 2.0, c.headRow, 1.0);
        EXPECT_GE(last - first + 1, 7); // about one staff space high
        EXPECT_LE(last - first + 1, 11);

        const int right = note.width() - 1;
        const auto solid = [&](int x, int from, int to) {
            for (int y = from; y <= to; ++y)
                if (alpha(note, x, y) < 200)
                    return false;
            return true;
        };
        const auto clear = [&](int from, int to) {
            for (int y = std::max(from, 0); y <= std::min(to, note.height() - 1); ++y)
                for (int x = 0; x < note.width(); ++x)
                    if (alpha(note, x, y) > 0)
                        return false;
            return true;
        };
        switch (c.stem) {
        case Stem::Up: // 3.5 spaces up from the head's middle, on its right
            EXPECT_TRUE(solid(right, 1, c.headRow - 5));
            EXPECT_FALSE(solid(0, 1, c.headRow - 5));
            break;
        case Stem::DownLeft:
            EXPECT_TRUE(solid(0, c.headRow + 6, c.headRow + 34));
            EXPECT_FALSE(solid(right, c.headRow + 6, c.headRow + 34));
            break;
        case Stem::DownRight:
            EXPECT_TRUE(solid(right, c.headRow + 6, c.headRow + 34));
            break;
        case Stem::None: // the neighbour's stem serves
            EXPECT_TRUE(clear(0, c.headRow - 7));
            EXPECT_TRUE(clear(c.headRow + 7, note.height()));
            break;
        }
    }
}

TEST(SpriteGeometry, AccidentalsAreCentredOnTheirRowAndNoWiderThanAllowed)
{
    // The row of the sign's staff position follows from the offsets the
    // program adds to a note's root position (head middle at +35): flat +22,
    // sharp +25, natural +26, double sharp +31.
    struct Case {
        const char* name;
        int row;
        int maxWidth;
    };
    const Case cases[] = {
        {"flat", 13, 9},        {"sharp", 10, 9},       {"natural", 9, 9},
        {"doubleflat", 13, 14}, {"tripleflat", 13, 19}, {"doublesharp", 4, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TBitmap32 sign = sprite(c.name);
        EXPECT_LE(sign.width(), c.maxWidth);
        const auto runs = inkedColumnRuns(sign, 0);
        ASSERT_FALSE(runs.empty());
        EXPECT_LE(runs.back().second - runs.front().first + 1, c.maxWidth);
        // Paper between the sign and the head it stands before.
        EXPECT_LE(runs.back().second, sign.width() - 2);
        EXPECT_NEAR(bodyMiddle(rowInk(sign, 0, sign.width())), c.row, 1.5);
        // Nothing of it is lost at the top: the first row holds little ink.
        EXPECT_LT(rowInk(sign, 0, sign.width())[0], 1.5);
    }
}

TEST(SpriteGeometry, LedgerLinesLieOnRowsTenApart)
{
    struct Case {
        const char* name;
        std::set<int> rows;
    };
    const Case cases[] = {
        {"ledgerlines1", {10}}, {"ledgerlines2", {10, 20}}, {"ledgerlines3", {10, 20, 30}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TBitmap32 ledger = sprite(c.name);
        // Drawn 5 px left of the head: reaches past a 12 px head on both sides.
        EXPECT_GE(ledger.width(), 20);
        EXPECT_LE(ledger.width(), 24);
        std::set<int> inked;
        for (int y = 0; y < ledger.height(); ++y) {
            int opaque = 0, partial = 0;
            for (int x = 0; x < ledger.width(); ++x) {
                opaque += alpha(ledger, x, y) == 255;
                partial += alpha(ledger, x, y) > 0 && alpha(ledger, x, y) < 255;
            }
            EXPECT_EQ(partial, 0) << "row " << y << " is not crisp";
            if (opaque == ledger.width()) {
                inked.insert(y);
            } else {
                EXPECT_EQ(opaque, 0) << "row " << y;
            }
        }
        EXPECT_EQ(inked, c.rows);
    }
}

TEST(SpriteGeometry, KeySignaturesStandInTheStandardOrderOnTheirStaffPositions)
{
    // Rows within the sprite (row 10 = the top staff line); the bass pattern
    // is the treble one a line-equivalent lower.
    const std::vector<int> sharps{10, 25, 5, 20, 35, 15, 30}; // F5 C5 G5 D5 A4 E5 B4
    const std::vector<int> flats{30, 15, 35, 20, 40, 25, 45}; // B4 E5 A4 D5 G4 C5 F4
    struct Case {
        const char* key;
        int count; // sharps > 0, flats < 0
    };
    const Case cases[] = {{"cmajor", 0},   {"desmajor", -5}, {"dmajor", 2},    {"esmajor", -3},
                          {"emajor", 4},   {"fmajor", -1},   {"gesmajor", -6}, {"gmajor", 1},
                          {"asmajor", -4}, {"amajor", 3},    {"besmajor", -2}, {"bmajor", 5}};
    int height = -1;
    for (const char* staff : {"treble", "bass"}) {
        const int offset = std::string(staff) == "bass" ? 10 : 0;
        for (const Case& c : cases) {
            const std::string name = std::string(c.key) + "_" + staff;
            SCOPED_TRACE(name);
            const TBitmap32 key = sprite(name);
            if (height < 0)
                height = key.height();
            EXPECT_EQ(key.height(), height); // C major is as tall as the rest
            // Below the bass staff's lowest flat (F2, row 55) there is room.
            EXPECT_GE(key.height(), 60);
            const auto runs = inkedColumnRuns(key, 0);
            ASSERT_EQ(runs.size(), static_cast<std::size_t>(std::abs(c.count)));
            for (std::size_t i = 0; i < runs.size(); ++i) {
                const int want = (c.count > 0 ? sharps : flats)[i] + offset;
                const double got = bodyMiddle(rowInk(key, runs[i].first, runs[i].second + 1));
                EXPECT_NEAR(got, want, 1.5) << "sign " << i + 1;
                EXPECT_LE(runs[i].second - runs[i].first + 1, 9) << "sign " << i + 1;
            }
            // Clear of the clef, and of the notes leaving the staff at x 125.
            if (!runs.empty()) {
                EXPECT_GE(runs.front().first, 3);
                EXPECT_LT(40 + runs.back().second, 115);
            }
        }
    }
}

TEST(SpriteGeometry, MarksAndNumeralsAreCentredOverTheHeadAndClearOfTheStaff)
{
    // Marks go at the head's x and y 0, numerals 10 px left of it at y 255;
    // the head's middle is 6 px right of its x.
    struct Case {
        const char* name;
        double middle;
        int maxHeight;
    };
    const Case cases[] = {{"pointer", 6, 30}, {"right", 6, 30}, {"wrong", 6, 30}, {"eye", 6, 30},
                          {"I", 16, 45},      {"II", 16, 45},   {"III", 16, 45},  {"IV", 16, 45},
                          {"V", 16, 45},      {"VI", 16, 45},   {"VII", 16, 45}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TBitmap32 mark = sprite(c.name);
        EXPECT_LE(mark.height(), c.maxHeight);
        EXPECT_EQ(alpha(mark, 0, 0), 0u); // the staff shows around it
        const auto runs = inkedColumnRuns(mark, 16);
        ASSERT_FALSE(runs.empty());
        EXPECT_NEAR((runs.front().first + runs.back().second) / 2.0, c.middle, 1.5);
    }
}

TEST(SpriteGeometry, PianoHighlightsCoverTheirKeysOfTheHitTestTable)
{
    // Per white key: the highlight's left edge within the octave and the
    // columns the hit test gives it above (y <= 42) and below.
    struct Case {
        const char* name;
        int left;
        int upperFrom, upperTo;
        int lowerFrom, lowerTo;
    };
    const Case cases[] = {
        {"white-c", 0, 0, 10, 0, 20},         {"white-d", 21, 24, 35, 21, 40},
        {"white-e", 41, 49, 59, 41, 60},      {"white-f", 61, 60, 70, 61, 80},
        {"white-g", 81, 84, 93, 81, 100},     {"white-a", 101, 107, 116, 101, 120},
        {"white-b", 121, 129, 139, 121, 139},
    };
    const auto tinted = [](const TBitmap32& b, int y) {
        std::vector<int> columns;
        for (int x = 0; x < b.width(); ++x)
            if (alpha(b, x, y) > 0)
                columns.push_back(x);
        return columns;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TBitmap32 key = sprite(c.name);
        ASSERT_EQ(key.height(), 71);
        for (const int y : {5, 40}) {
            const auto cols = tinted(key, y);
            ASSERT_FALSE(cols.empty());
            EXPECT_GE(cols.front() + c.left, c.upperFrom);
            EXPECT_LE(cols.back() + c.left, c.upperTo);
            EXPECT_GE(static_cast<int>(cols.size()), c.upperTo - c.upperFrom - 2);
        }
        for (const int y : {45, 65}) {
            const auto cols = tinted(key, y);
            ASSERT_FALSE(cols.empty());
            EXPECT_GE(cols.front() + c.left, c.lowerFrom);
            EXPECT_LE(cols.back() + c.left, c.lowerTo);
            EXPECT_GE(static_cast<int>(cols.size()), 18); // the whole key below
        }
        // A tint, not a cover: the key shows through.
        const unsigned a = alpha(key, tinted(key, 60).front(), 60);
        EXPECT_GT(a, 40u);
        EXPECT_LT(a, 220u);
    }

    const TBitmap32 black = sprite("blackkey");
    EXPECT_EQ(black.width(), 13); // C sharp 11..23, D sharp 36..48, ...
    EXPECT_EQ(black.height(), 43);

    // The picture under them: black keys in rows 0..42 where the hit test
    // has them, white keys 20 px wide below.
    const TBitmap32 piano =
        resources::loadBmp(std::filesystem::path(TESSALY_DATA_DIR) / "piano.bmp");
    ASSERT_EQ(piano.width(), 561);
    ASSERT_EQ(piano.height(), 71);
    const int blacks[5][2] = {{11, 23}, {36, 48}, {71, 83}, {94, 106}, {117, 128}};
    for (int octave = 0; octave < 4; ++octave) {
        for (const auto& range : blacks)
            for (int x = range[0]; x <= range[1]; ++x)
                EXPECT_LT(luminance(piano.pixel(140 * octave + x, 20)), 100u) << x;
        for (int x = 0; x < 140; ++x) {
            const int at = 140 * octave + x;
            const bool line = x % 20 == 0;
            if (line) {
                EXPECT_LT(luminance(piano.pixel(at, 55)), 160u) << at;
            } else {
                EXPECT_GT(luminance(piano.pixel(at, 55)), 200u) << at;
            }
        }
    }
}

} // namespace
