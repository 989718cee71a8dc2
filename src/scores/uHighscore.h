#pragma once

// The score store: the answers of the current run and the totals kept in
// keyscore.dat, by exercise mode, key and clef; and the statistics texts
// built from the kept totals.

#include "platform/MessageBoxes.h"
#include "platform/TextLabel.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace scores {

// A fixed array read by the indices Low..High.
template <class T, int Low, int High> struct OffsetArray {
    static constexpr int low = Low;
    static constexpr int high = High;
    std::array<T, static_cast<std::size_t>(High - Low + 1)> items{};

    T& operator[](int i) { return items[static_cast<std::size_t>(i - Low)]; }
    const T& operator[](int i) const { return items[static_cast<std::size_t>(i - Low)]; }
    static constexpr bool contains(int i) { return i >= Low && i <= High; }
};

struct ItemStat {
    std::int32_t right = 0;
    std::int32_t wrong = 0;
    std::int32_t asked = 0; // every answer, right or wrong
};

constexpr std::int32_t NoBestTime = 9999;

// 126 counters, in the order the file keeps them.
struct ScoreRecord {
    OffsetArray<ItemStat, 0, 11> noteStats;     // by pitch class
    OffsetArray<ItemStat, 1, 15> intervalStats; // by interval kind
    OffsetArray<ItemStat, 1, 14> chordStats;    // by chord kind
    std::int32_t rightTotal = 0;
    std::int32_t wrongTotal = 0;
    std::int32_t bestTime = NoBestTime; // whole seconds

    void clear() { *this = ScoreRecord{}; }
};
static_assert(sizeof(ScoreRecord) == 126 * 4);

// [scoreMode 1..2][signature index 0..11][clefNo 1..3], scoreMode outermost.
using ScoreTable = OffsetArray<OffsetArray<OffsetArray<ScoreRecord, 1, 3>, 0, 11>, 1, 2>;
static_assert(sizeof(ScoreTable) == 36288);

constexpr std::size_t ScoreFileSize = 36288;
constexpr std::size_t ScoreRecordSize = 504;
constexpr const char* ScoreFileName = "keyscore.dat";

// Byte offset of the record (m, k, c) in the score file.
constexpr std::size_t recordOffset(int scoreMode, int key, int clefNo)
{
    return static_cast<std::size_t>((scoreMode - 1) * 36 + key * 3 + (clefNo - 1)) *
           ScoreRecordSize;
}

// The file image of a table (signed 32-bit little-endian counters) and back.
std::vector<std::uint8_t> encodeScores(const ScoreTable& table);
// Reads the first 36288 bytes of `bytes`, which must hold at least that many.
void decodeScores(std::span<const std::uint8_t> bytes, ScoreTable& table);

// What a whole score file may not hold, said for the player ("a count below
// zero"), or nothing when the table is sound: a negative counter, an item
// asked other than right + wrong times (the sum topped at the counters'
// largest value, where folding stops), a best time outside 0..9999 (0 and
// 9999 mean none). The totals are not held to the per-item counters: the
// Statistics resets clear the one without the other.
std::optional<std::string> scoreTableFault(const ScoreTable& table);

// Renames a file and throws std::filesystem::filesystem_error when it
// cannot; std::filesystem::rename unless a test stands in.
using RenameFile =
    std::function<void(const std::filesystem::path& from, const std::filesystem::path& to)>;

// Moves a damaged score file out of the way in its own folder, to
// "<name>.damaged-<date>", or with -2, -3, ... added when that name is
// taken; never over another file. Returns the new path; throws
// std::filesystem::filesystem_error when the file cannot be moved.
std::filesystem::path moveAside(const std::filesystem::path& file, const std::string& date,
                                const RenameFile& rename = {});

// "70%": right of right + wrong, to the nearest whole percent, halves away
// from zero. Needs right + wrong > 0.
std::string wholePercent(std::int64_t right, std::int64_t total);
// "66.67%": the same to two decimals.
std::string percentTwoDecimals(std::int64_t right, std::int64_t total);

class THighScore {
public:
    // Shows the run's percentage in `captionLabel` and what became of a
    // damaged score file through `messages`; both must outlive the store.
    // Reads `folder`/keyscore.dat (by default in the current working
    // directory). A file that is short or holds what no score file can
    // (scoreTableFault) is moved aside with moveAside, never deleted, and
    // scoring starts afresh; `rename` moves it (tests make it fail).
    THighScore(platform::TextLabel& captionLabel, platform::MessageBoxes& messages,
               std::filesystem::path folder = std::filesystem::current_path(),
               RenameFile rename = {});

    // One judged answer into the current table; refreshes the caption.
    // itemType 1 note (itemId pitch class 0..11), 2 interval (kind 1..15),
    // 3 chord (kind 1..14); another type, or an id out of its range, counts
    // only in the totals. Throws std::out_of_range for a record index out
    // of range (scoreMode 1..2, key 0..11, clefNo 1..3).
    void updateCurrentScore(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo,
                            std::int32_t itemType, std::int32_t itemId, bool right);
    // Shows the current table's percentage of the record ("0%" without answers).
    void updateCaption(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo);
    // Folds the current table into the stored one and saves it. The fold
    // stands even when the save fails; the failure is thrown as a
    // platform::FileError naming the file and the reason. A damaged file
    // that could not be moved aside at start is moved now, or, if it still
    // cannot be, the save fails rather than write over it.
    void updateHighScore();
    // Forgets the answers of a run that was abandoned: nothing of it is
    // folded or saved. The stored table is untouched.
    void discardCurrentScores();

    // The run's best time: the session reads the stored cell and writes the
    // current one when the run was faster.
    std::int32_t storedBestTime(std::int32_t scoreMode, std::int32_t key,
                                std::int32_t clefNo) const;
    void setCurrentBestTime(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo,
                            std::int32_t seconds);

    // Statistics texts of a stored record (replacing `text`).
    void noteStatInfo(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo,
                      std::string& text) const;
    void intervalStatInfo(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo,
                          std::string& text) const;
    void chordStatInfo(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo,
                       std::string& text) const;
    void timescoreStatInfo(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo,
                           std::string& text) const;

    // Clear parts of a stored record and save the stored table at once, so
    // that a restart keeps the reset. A failed save is thrown as in
    // updateHighScore; the reset stands in memory all the same. The current
    // table is neither saved nor changed.
    void resetNoteStats(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo);
    void resetIntervalStats(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo);
    void resetChordStats(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo);
    void resetTimeScore(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo);

    const ScoreTable& storedScores() const { return storedScores_; }
    const ScoreTable& currentScores() const { return currentScores_; }
    const std::filesystem::path& scoreFile() const { return path_; }

    // Tests stand in for a crash between writing and renaming the file.
    void setBeforeRenameHook(std::function<void()> hook) { beforeRename_ = std::move(hook); }

private:
    void loadScores();
    void saveScores();
    void clearStoredScores();
    void clearCurrentScores();

    // The file could not be taken: it is moved aside (or left in place and
    // kept from being saved over) and the player is told, once.
    void setAsideDamagedFile(const std::string& why);

    platform::TextLabel& captionLabel;
    platform::MessageBoxes& messages_;
    std::filesystem::path path_;
    RenameFile rename_;
    ScoreTable storedScores_;
    ScoreTable currentScores_;
    std::function<void()> beforeRename_;
    // A damaged file is still at path_: no save may replace it until it
    // has been moved aside.
    bool damagedFileInPlace_ = false;
};

} // namespace scores
