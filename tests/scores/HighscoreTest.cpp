#include "TempFolder.h"
#include "platform/Files.h"
#include "platform/testing/Recorders.h"
#include "scores/uHighscore.h"

#include <algorithm>
#include <ctime>
#include <limits>
#include <random>
#include <system_error>

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
    // The damaged score files moved aside into the folder, by name.
    std::vector<std::filesystem::path> movedAside() const
    {
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().starts_with("keyscore.dat.damaged-"))
                found.push_back(entry.path());
        std::sort(found.begin(), found.end());
        return found;
    }
    // The local date as the name of a moved file carries it.
    static std::string today()
    {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char text[16];
        std::strftime(text, sizeof text, "%Y-%m-%d", &local);
        return text;
    }

    platform::testing::RecordingTextLabel caption;
    platform::testing::RecordingMessageBoxes messages;
};

// --- The file ---------------------------------------------------------------------

// Every counter of the table gets its own value, from its place in the
// file, within what a whole score file holds: no negative count, asked =
// right + wrong, best times 1..9999.
ScoreTable distinctTable()
{
    ScoreTable table;
    std::int32_t next = 1;
    const auto fill = [&](auto& stats) {
        for (ItemStat& s : stats.items) {
            s.right = next++;
            s.wrong = next++;
            s.asked = s.right + s.wrong;
        }
    };
    for (int m = 1; m <= 2; ++m)
        for (int k = 0; k <= 11; ++k)
            for (int c = 1; c <= 3; ++c) {
                ScoreRecord& r = table[m][k][c];
                fill(r.noteStats);
                fill(r.intervalStats);
                fill(r.chordStats);
                r.rightTotal = next++;
                r.wrongTotal = next++;
                r.bestTime = next++ % 9999 + 1;
            }
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

// --- A damaged file ------------------------------------------------------------------

TEST_F(Highscore, RandomBytesOfTheRightSizeAreMovedAsideWithOneMessage)
{
    std::mt19937 random(36288);
    Bytes bytes(ScoreFileSize);
    for (std::uint8_t& b : bytes)
        b = static_cast<std::uint8_t>(random());
    writeBytes(file(), bytes);
    const std::string date = today();

    THighScore s = store();
    const std::vector<std::filesystem::path> moved = movedAside();
    ASSERT_EQ(moved.size(), 1u);
    // Named after the day; a test running over midnight sees the next one.
    const std::string name = moved[0].filename().string();
    EXPECT_TRUE(name == "keyscore.dat.damaged-" + date || name == "keyscore.dat.damaged-" + today())
        << name;
    EXPECT_EQ(readBytes(moved[0]), bytes);
    EXPECT_FALSE(std::filesystem::exists(file()));
    ASSERT_EQ(messages.messages().size(), 1u);
    const std::string& text = messages.messages()[0];
    EXPECT_NE(text.find(moved[0].string()), std::string::npos) << text;
    EXPECT_NE(text.find("keyscore.dat"), std::string::npos) << text;

    // Scoring starts afresh; the next save writes a new file beside the old one.
    EXPECT_EQ(encodeScores(s.storedScores()), encodeScores(ScoreTable{}));
    std::string statText;
    s.timescoreStatInfo(1, 0, 1, statText);
    EXPECT_EQ(statText, "Score and time: No scores yet...");
    answer(s, 0, true);
    s.updateHighScore();
    EXPECT_EQ(store().storedScores()[1][0][1].rightTotal, 1);
    EXPECT_EQ(readBytes(moved[0]), bytes);
    EXPECT_EQ(messages.messages().size(), 1u);
}

TEST_F(Highscore, AShortFileIsMovedAsideNotDeleted)
{
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, ScoreFileSize - 1}) {
        SCOPED_TRACE(size);
        for (const auto& old : movedAside())
            std::filesystem::remove(old);
        const Bytes bytes(size, 7);
        writeBytes(file(), bytes);
        platform::testing::RecordingMessageBoxes told;
        THighScore s(caption, told, folder);
        const std::vector<std::filesystem::path> moved = movedAside();
        ASSERT_EQ(moved.size(), 1u);
        EXPECT_EQ(readBytes(moved[0]), bytes);
        EXPECT_FALSE(std::filesystem::exists(file()));
        ASSERT_EQ(told.messages().size(), 1u);
        EXPECT_NE(told.messages()[0].find(moved[0].string()), std::string::npos)
            << told.messages()[0];
        EXPECT_EQ(s.storedBestTime(1, 0, 1), 9999);
        s.updateHighScore();
        EXPECT_EQ(std::filesystem::file_size(file()), 36288u);
        std::filesystem::remove(file());
    }
}

TEST_F(Highscore, AWholeFileWithLegalCountersLoadsSilently)
{
    ScoreTable t = distinctTable();
    // Legal although they look odd: no best time written as 0 or 9999, and
    // totals that no longer match the per-item counters after a reset.
    t[1][0][1].bestTime = 0;
    t[1][0][2].bestTime = 9999;
    t[1][0][3].rightTotal = 0;
    t[1][0][3].wrongTotal = 0;
    t[2][3][1].noteStats = {};
    t[2][3][2].chordStats[14] = {0, 0, 0};
    constexpr std::int32_t Max = std::numeric_limits<std::int32_t>::max();
    t[2][11][3].rightTotal = Max;
    t[2][11][3].intervalStats[15] = {Max, 0, Max};
    writeBytes(file(), encodeScores(t));

    const THighScore s = store();
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_TRUE(movedAside().empty());
    EXPECT_EQ(encodeScores(s.storedScores()), encodeScores(t));
}

struct Damage {
    const char* name;
    int m, k, c; // the record damaged
    std::function<void(ScoreRecord&)> apply;
};
void PrintTo(const Damage& row, std::ostream* os) { *os << row.name; }

class DamagedCounters : public Highscore, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedCounters, AreRejectedAndTheFileMovedAside)
{
    const Damage& d = GetParam();
    ScoreTable t = distinctTable();
    d.apply(t[d.m][d.k][d.c]);
    const Bytes bytes = encodeScores(t);
    writeBytes(file(), bytes);

    const THighScore s = store();
    EXPECT_EQ(messages.messages().size(), 1u);
    const std::vector<std::filesystem::path> moved = movedAside();
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(readBytes(moved[0]), bytes);
    EXPECT_EQ(encodeScores(s.storedScores()), encodeScores(ScoreTable{}));
}

INSTANTIATE_TEST_SUITE_P(
    Highscore, DamagedCounters,
    ::testing::Values(
        Damage{"NegativeRightTotal", 1, 0, 1, [](ScoreRecord& r) { r.rightTotal = -1; }},
        Damage{"NegativeWrongTotal", 2, 11, 3, [](ScoreRecord& r) { r.wrongTotal = -30; }},
        // asked = right + wrong still holds: only the sign is wrong.
        Damage{"NegativeNoteRight", 1, 5, 2,
               [](ScoreRecord& r) {
                   r.noteStats[3] = {-1, 4, 3};
               }},
        Damage{"NegativeChordWrong", 2, 0, 1,
               [](ScoreRecord& r) {
                   r.chordStats[14] = {5, -2, 3};
               }},
        Damage{"NegativeIntervalAsked", 1, 7, 3,
               [](ScoreRecord& r) {
                   r.intervalStats[1] = {0, 0, -1};
               }},
        Damage{"NoteAskedTooFew", 1, 0, 1, [](ScoreRecord& r) { --r.noteStats[0].asked; }},
        Damage{"IntervalAskedTooMany", 2, 11, 3,
               [](ScoreRecord& r) { ++r.intervalStats[15].asked; }},
        Damage{"ChordAskedNeverAnswered", 2, 4, 2,
               [](ScoreRecord& r) {
                   r.chordStats[1] = {0, 0, 1};
               }},
        Damage{"BestTime10000", 1, 0, 1, [](ScoreRecord& r) { r.bestTime = 10000; }},
        Damage{"NegativeBestTime", 2, 11, 3, [](ScoreRecord& r) { r.bestTime = -1; }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Highscore, ALongerFileWithDamagedCountersIsMovedAsideWhole)
{
    ScoreTable t = distinctTable();
    t[1][2][3].noteStats[1].asked = 0;
    Bytes bytes = encodeScores(t);
    bytes.resize(40000, 0xAB);
    writeBytes(file(), bytes);
    store();
    ASSERT_EQ(movedAside().size(), 1u);
    EXPECT_EQ(readBytes(movedAside()[0]), bytes);
    EXPECT_EQ(messages.messages().size(), 1u);
}

TEST_F(Highscore, MovingAsideNeverTakesANameInUse)
{
    writeBytes(file(), {1, 2, 3});
    writeBytes(folder / "keyscore.dat.damaged-2026-03-04", {4});
    writeBytes(folder / "keyscore.dat.damaged-2026-03-04-2", {5});
    const std::filesystem::path to = moveAside(file(), "2026-03-04");
    EXPECT_EQ(to, folder / "keyscore.dat.damaged-2026-03-04-3");
    EXPECT_EQ(readBytes(to), (Bytes{1, 2, 3}));
    EXPECT_EQ(readBytes(folder / "keyscore.dat.damaged-2026-03-04"), Bytes{4});
    EXPECT_EQ(readBytes(folder / "keyscore.dat.damaged-2026-03-04-2"), Bytes{5});
    EXPECT_FALSE(std::filesystem::exists(file()));

    // The same day again: the next free name.
    writeBytes(file(), {6});
    EXPECT_EQ(moveAside(file(), "2026-03-04"), folder / "keyscore.dat.damaged-2026-03-04-4");
    // A damaged file found twice on one day keeps both.
    writeBytes(file(), Bytes(10, 1));
    store();
    writeBytes(file(), Bytes(20, 2));
    store();
    EXPECT_EQ(movedAside().size(), 6u);
}

TEST_F(Highscore, ADamagedFileThatCannotBeMovedIsNeverSavedOver)
{
    const Bytes bytes(100, 9);
    writeBytes(file(), bytes);
    bool renameFails = true;
    THighScore s(caption, messages, folder,
                 [&](const std::filesystem::path& from, const std::filesystem::path& to) {
                     if (renameFails)
                         throw std::filesystem::filesystem_error(
                             "rename", from, to,
                             std::make_error_code(std::errc::permission_denied));
                     std::filesystem::rename(from, to);
                 });
    ASSERT_EQ(messages.messages().size(), 1u);
    const std::string& text = messages.messages()[0];
    EXPECT_NE(text.find(file().string()), std::string::npos) << text;
    EXPECT_NE(text.find("Permission denied"), std::string::npos) << text;
    EXPECT_EQ(encodeScores(s.storedScores()), encodeScores(ScoreTable{}));

    // Neither a run end nor a reset writes over it while it cannot be moved.
    answer(s, 5, true);
    EXPECT_THROW(s.updateHighScore(), platform::FileError);
    EXPECT_THROW(s.resetNoteStats(1, 0, 1), platform::FileError);
    EXPECT_EQ(readBytes(file()), bytes);
    EXPECT_TRUE(movedAside().empty());
    EXPECT_EQ(s.storedScores()[1][0][1].rightTotal, 1); // kept in memory

    // Once it can be moved, the next save moves it aside and says where.
    renameFails = false;
    s.updateHighScore();
    ASSERT_EQ(movedAside().size(), 1u);
    EXPECT_EQ(readBytes(movedAside()[0]), bytes);
    EXPECT_EQ(store().storedScores()[1][0][1].rightTotal, 1);
    ASSERT_EQ(messages.messages().size(), 2u);
    EXPECT_NE(messages.messages()[1].find(movedAside()[0].string()), std::string::npos)
        << messages.messages()[1];
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
    r.noteStats[1] = {Max, 0, Max};
    r.intervalStats[15] = {Max, 0, Max};
    r.chordStats[14] = {0, Max, Max};
    writeBytes(file(), encodeScores(full));

    THighScore s = store();
    s.updateCurrentScore(2, 7, 3, 1, 1, true);
    s.updateCurrentScore(2, 7, 3, 1, 1, false);
    s.updateCurrentScore(2, 7, 3, 2, 15, true);
    s.updateCurrentScore(2, 7, 3, 3, 14, false);
    s.updateHighScore();

    // Saturated counters are still a whole file: it loads again as it is.
    const THighScore reloaded = store();
    EXPECT_TRUE(messages.messages().empty());
    const ScoreRecord& kept = reloaded.storedScores()[2][7][3];
    EXPECT_EQ(kept.rightTotal, Max);
    EXPECT_EQ(kept.wrongTotal, Max);
    EXPECT_EQ(kept.noteStats[1].right, Max);
    EXPECT_EQ(kept.noteStats[1].wrong, 1);
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
                 Text::Time,
                 "Total\t\t: 70.00%\r\nBest Time\t: 95 sec.\r\n(runs with at least 90% right)"},
        StatCase{"NoRightAnswersIsZeroPercent", 0, [](ScoreRecord& r) { r.wrongTotal = 3; },
                 Text::Time,
                 "Total\t\t: 0.00%\r\nBest Time\t: none yet\r\n(runs with at least 90% right)"},
        StatCase{"ABestTimeOfZeroIsNone", 0,
                 [](ScoreRecord& r) {
                     r.rightTotal = 1;
                     r.bestTime = 0;
                 },
                 Text::Time,
                 "Total\t\t: 100.00%\r\nBest Time\t: none yet\r\n(runs with at least 90% right)"},
        StatCase{"TheLongestBestTime", 0,
                 [](ScoreRecord& r) {
                     r.rightTotal = 9;
                     r.wrongTotal = 1;
                     r.bestTime = 9998;
                 },
                 Text::Time,
                 "Total\t\t: 90.00%\r\nBest Time\t: 9998 sec.\r\n(runs with at least 90% right)"},
        // Such records never load (the file is moved aside); the texts
        // must not divide by zero all the same.
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

TEST_F(Highscore, ResetsAreSavedAtOnceAndSurviveARestart)
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

    // A restart sees the resets; the answer not yet folded is not saved by them.
    const ScoreRecord restarted = store().storedScores()[1][4][2];
    EXPECT_EQ(restarted.noteStats[3].asked, 0);
    EXPECT_EQ(restarted.intervalStats[5].asked, 0);
    EXPECT_EQ(restarted.chordStats[9].asked, 0);
    EXPECT_EQ(restarted.rightTotal, 0);
    EXPECT_EQ(restarted.bestTime, 9999);
    EXPECT_EQ(store().storedScores()[1][4][3].noteStats[3].asked, 18);
    EXPECT_TRUE(messages.messages().empty());

    // A run end stores the answer on top of the reset.
    s.updateHighScore();
    const ScoreRecord saved = store().storedScores()[1][4][2];
    EXPECT_EQ(saved.noteStats[3].asked, 1);
    EXPECT_EQ(saved.rightTotal, 1);
}

TEST_F(Highscore, OneResetAloneSurvivesARestart)
{
    // Each reset saves by itself, not only the last of a series.
    ScoreTable t;
    t[1][0][1].noteStats[2] = {3, 1, 4};
    t[1][0][1].rightTotal = 3;
    t[1][0][1].wrongTotal = 1;
    writeBytes(file(), encodeScores(t));
    store().resetNoteStats(1, 0, 1);
    EXPECT_EQ(store().storedScores()[1][0][1].noteStats[2].asked, 0);
    EXPECT_EQ(store().storedScores()[1][0][1].rightTotal, 3);
    store().resetTimeScore(1, 0, 1);
    EXPECT_EQ(store().storedScores()[1][0][1].rightTotal, 0);
}

TEST_F(Highscore, AResetThatCannotBeSavedStandsInMemoryAndSaysWhy)
{
    ScoreTable t;
    t[1][0][1].rightTotal = 8;
    t[1][0][1].bestTime = 70;
    writeBytes(file(), encodeScores(t));
    const Bytes onDisk = readBytes(file());
    THighScore s = store();
    std::filesystem::create_directory(platform::temporaryFor(file())); // blocks the write
    try {
        s.resetTimeScore(1, 0, 1);
        FAIL() << "the failed save was not reported";
    } catch (const platform::FileError& e) {
        EXPECT_EQ(e.path(), file());
        EXPECT_FALSE(e.reason().empty());
    }
    EXPECT_EQ(s.storedScores()[1][0][1].rightTotal, 0);
    EXPECT_EQ(s.storedBestTime(1, 0, 1), 9999);
    EXPECT_EQ(readBytes(file()), onDisk);
}

} // namespace
} // namespace scores
