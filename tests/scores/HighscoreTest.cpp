#include "TempFolder.h"
#include "platform/Files.h"
#include "platform/testing/Recorders.h"
#include "scores/uHighscore.h"

#include <cstring>
#include <limits>

namespace scores {
namespace {

using Bytes = std::vector<std::uint8_t>;

class Highscore : public testsupport::TempFolder {
protected:
    std::filesystem::path file() const { return folder / "keyscore.dat"; }
    THighScore store() { return THighScore(caption, messages, folder); }

    static std::int32_t counterAt(const Bytes& bytes, std::size_t offset)
    {
        std::uint32_t u = 0;
        for (int i = 3; i >= 0; --i)
            u = u << 8 | bytes.at(offset + static_cast<std::size_t>(i));
        return static_cast<std::int32_t>(u);
    }
    // A pitch-class answer in mode 1, key C, treble.
    static void answer(THighScore& s, int pitchClass, bool right)
    {
        s.updateCurrentScore(1, 0, 1, 1, pitchClass, right);
    }

    platform::testing::RecordingTextLabel caption;
    platform::testing::RecordingMessageBoxes messages;
};

// --- The file ---------------------------------------------------------------------

// Every counter of the table gets its own value, from its place in the file.
ScoreTable distinctTable()
{
    Bytes bytes(ScoreFileSize);
    for (std::size_t i = 0; i < ScoreFileSize; i += 4) {
        const auto v = static_cast<std::uint32_t>(i / 4 * 7 + 1) * (i % 8 == 0 ? 1u : 0xFFFFFFFFu);
        std::memcpy(&bytes[i], &v, 4); // the test host is little-endian like the file
    }
    ScoreTable table;
    decodeScores(bytes, table);
    return table;
}

TEST_F(Highscore, FileKeepsEveryCounterAtItsDocumentedOffset)
{
    ScoreTable t;
    // Distinct values in the corners and in each section.
    t[1][0][1].noteStats[0] = {1, 2, 3};
    t[1][0][1].noteStats[11] = {4, 5, 6};
    t[1][0][1].intervalStats[1] = {7, 8, 9};
    t[1][0][1].intervalStats[15] = {10, 11, 12};
    t[1][0][1].chordStats[1] = {13, 14, 15};
    t[1][0][1].chordStats[14] = {16, 17, 18};
    t[1][0][1].rightTotal = 19;
    t[1][0][1].wrongTotal = -20;
    t[1][0][1].bestTime = 21;
    t[2][11][3].noteStats[5] = {22, 23, 24};
    t[2][11][3].bestTime = 95;
    t[1][11][3].chordStats[7] = {25, 26, 27};
    t[2][0][2].intervalStats[8] = {28, 29, 30};

    const Bytes bytes = encodeScores(t);
    ASSERT_EQ(bytes.size(), 36288u);
    struct Cell {
        int m, k, c;
        std::size_t offset;
        std::int32_t value;
    };
    for (const Cell& cell :
         {Cell{1, 0, 1, 0, 1}, Cell{1, 0, 1, 4, 2}, Cell{1, 0, 1, 8, 3}, Cell{1, 0, 1, 132, 4},
          Cell{1, 0, 1, 144, 7}, Cell{1, 0, 1, 312, 10}, Cell{1, 0, 1, 324, 13},
          Cell{1, 0, 1, 480, 16}, Cell{1, 0, 1, 488, 18}, Cell{1, 0, 1, 492, 19},
          Cell{1, 0, 1, 496, -20}, Cell{1, 0, 1, 500, 21}, Cell{2, 11, 3, 60, 22},
          Cell{2, 11, 3, 68, 24}, Cell{2, 11, 3, 500, 95}, Cell{1, 11, 3, 312 + 12 * 7 + 4, 26},
          Cell{2, 0, 2, 132 + 12 * 8 + 8, 30}}) {
        EXPECT_EQ(counterAt(bytes, recordOffset(cell.m, cell.k, cell.c) + cell.offset), cell.value)
            << cell.m << "/" << cell.k << "/" << cell.c << " +" << cell.offset;
    }
    EXPECT_EQ(recordOffset(2, 11, 3), 36288u - 504u);
    EXPECT_EQ(recordOffset(2, 0, 1), 36u * 504u);
    // An untouched record: zeros and no best time.
    EXPECT_EQ(counterAt(bytes, recordOffset(1, 5, 2) + 500), 9999);
    EXPECT_EQ(counterAt(bytes, recordOffset(1, 5, 2) + 492), 0);
}

TEST_F(Highscore, SavedTableLoadsBackUnchanged)
{
    const ScoreTable table = distinctTable();
    writeBytes(file(), encodeScores(table));
    THighScore s = store();
    EXPECT_EQ(encodeScores(s.storedScores()), encodeScores(table));
    s.updateHighScore(); // nothing current to fold: the same bytes again
    EXPECT_EQ(readBytes(file()), encodeScores(table));
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(Highscore, NoFileIsWrittenBeforeTheFirstRunEnds)
{
    THighScore s = store();
    std::string text;
    s.noteStatInfo(1, 0, 1, text);
    EXPECT_EQ(text, "NOTES\r\nNo scores yet...");
    answer(s, 0, true);
    EXPECT_FALSE(std::filesystem::exists(file()));
    s.updateHighScore();
    EXPECT_EQ(std::filesystem::file_size(file()), 36288u);
}

TEST_F(Highscore, AShortFileIsReportedOnceClearedAndDeleted)
{
    writeBytes(file(), Bytes(36287, 1));
    THighScore s = store();
    EXPECT_EQ(messages.messages(),
              std::vector<std::string>{"File has the wrong format, highscores have been reset."});
    EXPECT_FALSE(std::filesystem::exists(file()));
    EXPECT_EQ(s.storedBestTime(1, 0, 1), 9999);
    std::string text;
    s.timescoreStatInfo(2, 11, 3, text);
    EXPECT_EQ(text, "Score and time: No scores yet...");
    s.updateHighScore();
    EXPECT_EQ(std::filesystem::file_size(file()), 36288u);
    EXPECT_EQ(messages.messages().size(), 1u);
}

TEST_F(Highscore, AnEmptyFileIsShortToo)
{
    writeBytes(file(), {});
    store();
    EXPECT_EQ(messages.messages().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(file()));
}

TEST_F(Highscore, ALongerFileLoadsAndIsSavedAtTheRightSize)
{
    Bytes bytes = encodeScores(distinctTable());
    bytes.resize(40000, 0xAB);
    writeBytes(file(), bytes);
    THighScore s = store();
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_EQ(encodeScores(s.storedScores()), encodeScores(distinctTable()));
    s.updateHighScore();
    EXPECT_EQ(std::filesystem::file_size(file()), 36288u);
}

TEST_F(Highscore, AFileThatCannotBeReadIsLeftAlone)
{
    // A folder in the file's place stands in for a file that will not open.
    std::filesystem::create_directories(file() / "x");
    THighScore s = store();
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_TRUE(std::filesystem::is_directory(file() / "x"));
    // All zero, best times included; zero counts as none at the next fold.
    EXPECT_EQ(s.storedBestTime(1, 3, 2), 0);
    EXPECT_EQ(encodeScores(s.storedScores()), Bytes(36288, 0));
}

// --- Saving fails ---------------------------------------------------------------------

TEST_F(Highscore, AFailedSaveIsReportedAndKeepsTheFoldAndTheOldFile)
{
    THighScore first = store();
    answer(first, 2, true);
    first.updateHighScore();
    const Bytes old = readBytes(file());

    THighScore s = store();
    answer(s, 4, true);
    answer(s, 4, false);
    std::filesystem::create_directory(platform::temporaryFor(file())); // blocks the write
    try {
        s.updateHighScore();
        FAIL() << "the failed save was not reported";
    } catch (const platform::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + file().string());
        EXPECT_EQ(e.path(), file());
        EXPECT_FALSE(e.reason().empty());
    }
    EXPECT_EQ(readBytes(file()), old);
    // The fold stands in memory; the current counters are spent.
    EXPECT_EQ(s.storedScores()[1][0][1].noteStats[4].asked, 2);
    EXPECT_EQ(s.storedScores()[1][0][1].rightTotal, 2);
    EXPECT_EQ(s.currentScores()[1][0][1].noteStats[4].asked, 0);

    // Once the way is clear the next run end saves everything.
    std::filesystem::remove(platform::temporaryFor(file()));
    s.updateHighScore();
    THighScore again = store();
    EXPECT_EQ(again.storedScores()[1][0][1].rightTotal, 2);
    EXPECT_EQ(again.storedScores()[1][0][1].wrongTotal, 1);
}

TEST_F(Highscore, ACrashBetweenWritingAndRenamingLeavesTheOldFileReadable)
{
    THighScore first = store();
    answer(first, 7, true);
    first.updateHighScore();

    THighScore s = store();
    answer(s, 9, false);
    s.setBeforeRenameHook([] { throw std::runtime_error("power cut"); });
    EXPECT_THROW(s.updateHighScore(), std::runtime_error);

    THighScore after = store();
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_EQ(after.storedScores()[1][0][1].noteStats[7].right, 1);
    EXPECT_EQ(after.storedScores()[1][0][1].noteStats[9].asked, 0);
}

// --- Counting and folding -------------------------------------------------------------

TEST_F(Highscore, TwoRunsCountTheirOwnCaptionsAndAddUpInTheStore)
{
    THighScore s = store();
    s.updateCaption(1, 0, 1);
    EXPECT_EQ(caption.text(), "0%");
    for (int i = 0; i < 10; ++i)
        answer(s, i % 3, i < 8);
    EXPECT_EQ(caption.text(), "80%");
    s.updateHighScore();
    EXPECT_EQ(s.storedScores()[1][0][1].rightTotal, 8);
    EXPECT_EQ(s.storedScores()[1][0][1].wrongTotal, 2);
    const ItemStat c = s.storedScores()[1][0][1].noteStats[0];
    EXPECT_EQ(c.asked, 4); // answers 0, 3, 6, 9
    EXPECT_EQ(c.right, 3);

    s.updateCaption(1, 0, 1);
    EXPECT_EQ(caption.text(), "0%");
    for (int i = 0; i < 10; ++i)
        answer(s, 11, i % 2 == 0);
    EXPECT_EQ(caption.text(), "50%");
    s.updateHighScore();
    const ScoreRecord& r = s.storedScores()[1][0][1];
    EXPECT_EQ(r.rightTotal, 13);
    EXPECT_EQ(r.wrongTotal, 7);
    EXPECT_EQ(r.noteStats[0].asked, 4);
    EXPECT_EQ(r.noteStats[11].asked, 10);
    EXPECT_EQ(r.noteStats[11].right, 5);
}

TEST_F(Highscore, AnswersLandByItemTypeAndOnlyInTheirRecord)
{
    THighScore s = store();
    s.updateCurrentScore(2, 5, 3, 2, 15, true);   // interval, mode 2, F major, both staves
    s.updateCurrentScore(1, 11, 2, 3, 14, false); // chord
    s.updateCurrentScore(1, 11, 2, 9, 1, true);   // unknown type: totals only
    s.updateCurrentScore(1, 11, 2, 3, 15, true);  // chord kind out of range: totals only
    const auto& cur = s.currentScores();
    EXPECT_EQ(cur[2][5][3].intervalStats[15].right, 1);
    EXPECT_EQ(cur[2][5][3].rightTotal, 1);
    EXPECT_EQ(cur[1][11][2].chordStats[14].wrong, 1);
    EXPECT_EQ(cur[1][11][2].chordStats[14].asked, 1);
    EXPECT_EQ(cur[1][11][2].rightTotal, 2);
    EXPECT_EQ(cur[1][11][2].wrongTotal, 1);
    EXPECT_EQ(caption.text(), "67%");
    EXPECT_EQ(cur[1][0][1].rightTotal, 0);

    EXPECT_THROW(s.updateCurrentScore(1, 12, 1, 1, 0, true), std::out_of_range); // a minor key
    EXPECT_THROW(s.updateCaption(3, 0, 1), std::out_of_range);
    EXPECT_THROW(s.updateCaption(1, 0, 0), std::out_of_range);
}

TEST_F(Highscore, CaptionRoundsHalvesUp)
{
    THighScore s = store();
    answer(s, 0, true);
    for (int i = 0; i < 7; ++i)
        answer(s, 0, false);
    EXPECT_EQ(caption.text(), "13%"); // 12.5
    THighScore t = store();
    answer(t, 0, true);
    answer(t, 0, false);
    answer(t, 0, false);
    EXPECT_EQ(caption.text(), "33%");
}

TEST_F(Highscore, BestTimesKeepTheFastestRun)
{
    THighScore s = store();
    EXPECT_EQ(s.storedBestTime(1, 0, 1), 9999);
    s.setCurrentBestTime(1, 0, 1, 95);
    s.updateHighScore();
    EXPECT_EQ(s.storedBestTime(1, 0, 1), 95);
    // A slower run is not written by the session; folding again changes nothing.
    s.updateHighScore();
    EXPECT_EQ(s.storedBestTime(1, 0, 1), 95);

    // A stored 0 counts as none.
    ScoreTable zeroTimes;
    zeroTimes[1][0][1].bestTime = 0;
    zeroTimes[1][0][2].bestTime = 0;
    writeBytes(file(), encodeScores(zeroTimes));
    THighScore z = store();
    z.setCurrentBestTime(1, 0, 2, 300);
    z.updateHighScore();
    EXPECT_EQ(z.storedBestTime(1, 0, 1), 9999);
    EXPECT_EQ(z.storedBestTime(1, 0, 2), 300);
}

// A damaged file may hold counters at the top of their range; an answer
// must not turn them negative (found by fuzz/score_file).
TEST_F(Highscore, CountersAtTheTopOfTheirRangeStayThere)
{
    constexpr std::int32_t Max = std::numeric_limits<std::int32_t>::max();
    ScoreTable full;
    ScoreRecord& r = full[2][7][3];
    r.rightTotal = Max;
    r.wrongTotal = Max;
    r.noteStats[1] = {Max, Max, Max};
    r.intervalStats[15] = {Max, 0, Max};
    r.chordStats[14] = {0, Max, Max};
    writeBytes(file(), encodeScores(full));

    THighScore s = store();
    s.updateCurrentScore(2, 7, 3, 1, 1, true);
    s.updateCurrentScore(2, 7, 3, 1, 1, false);
    s.updateCurrentScore(2, 7, 3, 2, 15, true);
    s.updateCurrentScore(2, 7, 3, 3, 14, false);
    s.updateHighScore();

    const THighScore reloaded = store();
    const ScoreRecord& kept = reloaded.storedScores()[2][7][3];
    EXPECT_EQ(kept.rightTotal, Max);
    EXPECT_EQ(kept.wrongTotal, Max);
    EXPECT_EQ(kept.noteStats[1].right, Max);
    EXPECT_EQ(kept.noteStats[1].wrong, Max);
    EXPECT_EQ(kept.noteStats[1].asked, Max);
    EXPECT_EQ(kept.intervalStats[15].right, Max);
    EXPECT_EQ(kept.intervalStats[15].asked, Max);
    EXPECT_EQ(kept.chordStats[14].wrong, Max);
    EXPECT_EQ(kept.chordStats[14].asked, Max);
    std::string text;
    reloaded.noteStatInfo(2, 7, 3, text);
    EXPECT_NE(text.find("100.00%"), std::string::npos) << text;
}

// --- Statistics texts ------------------------------------------------------------------

enum class Text { Notes, Intervals, Chords, Time };

struct StatCase {
    const char* name;
    int key;
    std::function<void(ScoreRecord&)> fill;
    Text which;
    const char* expected;
};
void PrintTo(const StatCase& row, std::ostream* os) { *os << row.name; }

class StatTexts : public Highscore, public ::testing::WithParamInterface<StatCase> {};

TEST_P(StatTexts, ReadCharacterForCharacter)
{
    const StatCase& c = GetParam();
    ScoreTable t;
    c.fill(t[1][c.key][3]);
    writeBytes(file(), encodeScores(t));
    const THighScore s = store();
    std::string text = "previous content";
    switch (c.which) {
    case Text::Notes:
        s.noteStatInfo(1, c.key, 3, text);
        break;
    case Text::Intervals:
        s.intervalStatInfo(1, c.key, 3, text);
        break;
    case Text::Chords:
        s.chordStatInfo(1, c.key, 3, text);
        break;
    case Text::Time:
        s.timescoreStatInfo(1, c.key, 3, text);
        break;
    }
    EXPECT_EQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Highscore, StatTexts,
    ::testing::Values(
        StatCase{"NeverPlayedNotes", 0, [](ScoreRecord&) {}, Text::Notes,
                 "NOTES\r\nNo scores yet..."},
        StatCase{"NeverPlayedTime", 0, [](ScoreRecord&) {}, Text::Time,
                 "Score and time: No scores yet..."},
        StatCase{"NeverPlayedChords", 0, [](ScoreRecord&) {}, Text::Chords,
                 "CHORDS\r\nNo scores yet..."},
        StatCase{"NotesOnlyThoseAsked", 0,
                 [](ScoreRecord& r) {
                     r.noteStats[0] = {3, 1, 4};
                     r.noteStats[2] = {2, 0, 2};
                 },
                 Text::Notes, "NOTES\r\n\r\nC\t: 75.00%\r\nD\t: 100.00%\r\n"},
        StatCase{"SharpKeySpellsCSharp", 2,
                 [](ScoreRecord& r) {
                     r.noteStats[1] = {2, 1, 3};
                 },
                 Text::Notes, "NOTES\r\n\r\nC#\t: 66.67%\r\n"},
        StatCase{"FlatKeySpellsDFlat", 3,
                 [](ScoreRecord& r) {
                     r.noteStats[1] = {1, 7, 8};
                 },
                 Text::Notes, "NOTES\r\n\r\nDb\t: 12.50%\r\n"},
        StatCase{"IntervalsByName", 0,
                 [](ScoreRecord& r) {
                     r.intervalStats[1] = {1, 0, 1};
                     r.intervalStats[15] = {0, 2, 2};
                 },
                 Text::Intervals,
                 "INTERVALS\r\n\r\nMinor Second\t: 100.00%\r\nPerfect Octave\t: 0.00%\r\n"},
        StatCase{"ChordTabsLineUp", 0,
                 [](ScoreRecord& r) {
                     r.chordStats[1] = {1, 0, 1};
                     r.chordStats[3] = {1, 1, 2};
                     r.chordStats[11] = {2, 1, 3};
                     r.chordStats[14] = {1, 2, 3};
                 },
                 Text::Chords,
                 "CHORDS\r\n\r\nMajor\t\t\t: 100.00%\r\nAugmented\t\t: 50.00%\r\n"
                 "Fully-Dim Seventh\t\t: 66.67%\r\nMinor Major Seventh\t: 33.33%\r\n"},
        StatCase{"TotalAndBestTime", 0,
                 [](ScoreRecord& r) {
                     r.rightTotal = 21;
                     r.wrongTotal = 9;
                     r.bestTime = 95;
                 },
                 Text::Time, "Total\t\t: 70.00%\r\nBest Time\t: 95 sec."},
        StatCase{"NoRightAnswersIsZeroPercent", 0, [](ScoreRecord& r) { r.wrongTotal = 3; },
                 Text::Time, "Total\t\t: 0.00%\r\nBest Time\t: 9999 sec."},
        // Records from a damaged file must not divide by zero.
        StatCase{"DamagedTotalsShowNoScores", 0,
                 [](ScoreRecord& r) {
                     r.rightTotal = 5;
                     r.wrongTotal = -5;
                 },
                 Text::Time, "Score and time: No scores yet..."},
        StatCase{"DamagedItemsShowNoScores", 0,
                 [](ScoreRecord& r) {
                     r.noteStats[0] = {4, 0, 0};
                     r.noteStats[1] = {0, 0, -3};
                 },
                 Text::Notes, "NOTES\r\nNo scores yet..."}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Percentages, RoundHalvesAwayFromZero)
{
    EXPECT_EQ(percentTwoDecimals(1, 8), "12.50%");
    EXPECT_EQ(percentTwoDecimals(2, 3), "66.67%");
    EXPECT_EQ(percentTwoDecimals(1, 3), "33.33%");
    EXPECT_EQ(percentTwoDecimals(1, 16), "6.25%");
    EXPECT_EQ(percentTwoDecimals(1, 40000), "0.00%"); // 0.0025
    EXPECT_EQ(percentTwoDecimals(1, 20000), "0.01%"); // 0.005
    EXPECT_EQ(percentTwoDecimals(-1, 8), "-12.50%");
    EXPECT_EQ(wholePercent(1, 8), "13%");
    EXPECT_EQ(wholePercent(7, 8), "88%"); // 87.5
    EXPECT_EQ(wholePercent(2, 3), "67%");
    EXPECT_EQ(wholePercent(1, 200), "1%"); // 0.5
    EXPECT_EQ(wholePercent(1, 201), "0%");
    EXPECT_EQ(wholePercent(2147483647, 2147483647), "100%");
}

// --- Resets ----------------------------------------------------------------------------

TEST_F(Highscore, ResetsClearTheStoredRecordInMemoryOnly)
{
    ScoreTable t;
    ScoreRecord& r = t[1][4][2];
    r.noteStats[3] = {1, 1, 2};
    r.intervalStats[5] = {1, 0, 1};
    r.chordStats[9] = {0, 1, 1};
    r.rightTotal = 4;
    r.wrongTotal = 2;
    r.bestTime = 61;
    t[1][4][3].noteStats[3] = {9, 9, 18};
    writeBytes(file(), encodeScores(t));
    const Bytes onDisk = readBytes(file());

    THighScore s = store();
    s.updateCurrentScore(1, 4, 2, 1, 3, true); // not yet folded
    s.resetNoteStats(1, 4, 2);
    s.resetIntervalStats(1, 4, 2);
    s.resetChordStats(1, 4, 2);
    s.resetTimeScore(1, 4, 2);
    const ScoreRecord& after = s.storedScores()[1][4][2];
    EXPECT_EQ(after.noteStats[3].asked, 0);
    EXPECT_EQ(after.intervalStats[5].asked, 0);
    EXPECT_EQ(after.chordStats[9].asked, 0);
    EXPECT_EQ(after.rightTotal, 0);
    EXPECT_EQ(after.bestTime, 9999);
    EXPECT_EQ(s.storedScores()[1][4][3].noteStats[3].asked, 18); // another record
    EXPECT_EQ(s.currentScores()[1][4][2].noteStats[3].asked, 1);
    std::string text;
    s.timescoreStatInfo(1, 4, 2, text);
    EXPECT_EQ(text, "Score and time: No scores yet...");
    EXPECT_EQ(readBytes(file()), onDisk);

    // A restart brings the old counts back; a run end stores the reset.
    EXPECT_EQ(store().storedScores()[1][4][2].noteStats[3].asked, 2);
    s.updateHighScore();
    const ScoreRecord saved = store().storedScores()[1][4][2];
    EXPECT_EQ(saved.noteStats[3].asked, 1);
    EXPECT_EQ(saved.rightTotal, 1);
}

} // namespace
} // namespace scores
