#include "scores/uHighscore.h"

#include "notation/uChord.h"
#include "notation/uInterval.h"
#include "notation/uMusicalStaff.h"
#include "platform/Clock.h"
#include "platform/Files.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace scores {

namespace {

constexpr std::string_view CRLF = "\r\n";
constexpr char TAB = '\t';
// Only runs with at least 90% of their answers right set a best time (the
// session sees to it); the text says so on a line of its own under the
// figure, as the time box is too narrow to hold both on one line.
constexpr std::string_view BestTimeRule = "(runs with at least 90% right)";

// Every counter of a record in file order.
template <class Record, class Visit> void forEachCounter(Record& r, Visit visit)
{
    const auto stat = [&](auto& s) {
        visit(s.right);
        visit(s.wrong);
        visit(s.asked);
    };
    for (auto& s : r.noteStats.items)
        stat(s);
    for (auto& s : r.intervalStats.items)
        stat(s);
    for (auto& s : r.chordStats.items)
        stat(s);
    visit(r.rightTotal);
    visit(r.wrongTotal);
    visit(r.bestTime);
}

// Every record in file order: scoreMode, then key, then clefNo.
template <class Table, class Visit> void forEachRecord(Table& table, Visit visit)
{
    for (auto& byKey : table.items)
        for (auto& byClef : byKey.items)
            for (auto& record : byClef.items)
                visit(record);
}

void clearTable(ScoreTable& table)
{
    forEachRecord(table, [](ScoreRecord& r) { r.clear(); });
}

// Round n / d to the nearest integer, halves away from zero; d > 0.
std::int64_t roundedQuotient(std::int64_t n, std::int64_t d)
{
    const std::int64_t magnitude = ((n < 0 ? -n : n) * 2 + d) / (2 * d);
    return n < 0 ? -magnitude : magnitude;
}

// A run's count added to a kept one. A damaged file may hold counters at the
// ends of their range: they stay there rather than wrap to the other end.
std::int32_t addCount(std::int32_t kept, std::int32_t run)
{
    const std::int64_t sum = std::int64_t{kept} + run;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Today's local date, "2026-03-04": the mark of a damaged file moved aside.
std::string todayText() { return platform::isoDate(platform::SystemClock().now()); }

void checkRecordIndex(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo)
{
    if (!ScoreTable::contains(scoreMode) || key < 0 || key > 11 || clefNo < 1 || clefNo > 3)
        throw std::out_of_range("Score record out of range: mode " + std::to_string(scoreMode) +
                                ", key " + std::to_string(key) + ", clef " +
                                std::to_string(clefNo));
}

template <class Stats> std::int64_t askedSum(const Stats& stats)
{
    std::int64_t sum = 0;
    for (const ItemStat& s : stats.items)
        sum += s.asked;
    return sum;
}

// "<name><tabs>: 75.00%\r\n" for every item asked at least once, under the
// heading; the no-scores text when nothing was asked.
template <class Stats, class Name>
std::string statText(std::string_view heading, const Stats& stats, Name nameAndTabs)
{
    std::string text(heading);
    text += CRLF;
    if (askedSum(stats) <= 0)
        return text + "No scores yet...";
    text += CRLF;
    for (int i = Stats::low; i <= Stats::high; ++i) {
        const ItemStat& s = stats[i];
        if (s.asked > 0)
            text +=
                nameAndTabs(i) + ": " + percentTwoDecimals(s.right, s.asked) + std::string(CRLF);
    }
    return text;
}

} // namespace

std::vector<std::uint8_t> encodeScores(const ScoreTable& table)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(ScoreFileSize);
    forEachRecord(table, [&](const ScoreRecord& r) {
        forEachCounter(r, [&](std::int32_t v) {
            const auto u = static_cast<std::uint32_t>(v);
            for (int shift = 0; shift < 32; shift += 8)
                bytes.push_back(static_cast<std::uint8_t>(u >> shift));
        });
    });
    return bytes;
}

void decodeScores(std::span<const std::uint8_t> bytes, ScoreTable& table)
{
    if (bytes.size() < ScoreFileSize)
        throw std::invalid_argument("A score table needs 36288 bytes");
    std::size_t at = 0;
    forEachRecord(table, [&](ScoreRecord& r) {
        forEachCounter(r, [&](std::int32_t& v) {
            const std::uint32_t u = std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
                                    std::uint32_t{bytes[at + 2]} << 16 |
                                    std::uint32_t{bytes[at + 3]} << 24;
            v = static_cast<std::int32_t>(u);
            at += 4;
        });
    });
}

std::optional<std::string> scoreTableFault(const ScoreTable& table)
{
    std::optional<std::string> fault;
    forEachRecord(table, [&](const ScoreRecord& r) {
        if (fault)
            return;
        if (r.bestTime < 0 || r.bestTime > NoBestTime) {
            fault = "a best time outside 0 to 9999 seconds";
            return;
        }
        bool negative = false;
        forEachCounter(r, [&](std::int32_t v) { negative = negative || v < 0; });
        if (negative) {
            fault = "a count below zero";
            return;
        }
        const auto askedRight = [](const auto& stats) {
            return std::all_of(stats.items.begin(), stats.items.end(), [](const ItemStat& s) {
                // Folding stops every counter at its largest value.
                const std::int64_t answers = std::min<std::int64_t>(
                    std::int64_t{s.right} + s.wrong, std::numeric_limits<std::int32_t>::max());
                return s.asked == answers;
            });
        };
        if (!askedRight(r.noteStats) || !askedRight(r.intervalStats) || !askedRight(r.chordStats))
            fault = "a question count that differs from its right plus wrong answers";
    });
    return fault;
}

std::filesystem::path moveAside(const std::filesystem::path& file, const std::string& date,
                                const RenameFile& rename)
{
    const std::string name = file.filename().string() + ".damaged-" + date;
    for (int n = 1; n <= 9999; ++n) {
        const std::filesystem::path to =
            file.parent_path() / (n == 1 ? name : name + "-" + std::to_string(n));
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::symlink_status(to, error);
        if (status.type() != std::filesystem::file_type::not_found) {
            if (error)
                throw std::filesystem::filesystem_error("Cannot look for a free name", to, error);
            continue; // taken, by a file, a folder or a link
        }
        if (rename)
            rename(file, to);
        else
            std::filesystem::rename(file, to);
        return to;
    }
    throw std::filesystem::filesystem_error("No free name to move the file to", file,
                                            std::make_error_code(std::errc::file_exists));
}

std::string wholePercent(std::int64_t right, std::int64_t total)
{
    return std::to_string(roundedQuotient(right * 100, total)) + "%";
}

std::string percentTwoDecimals(std::int64_t right, std::int64_t total)
{
    const std::int64_t hundredths = roundedQuotient(right * 10000, total);
    const std::int64_t magnitude = hundredths < 0 ? -hundredths : hundredths;
    const std::int64_t cents = magnitude % 100;
    std::string text = hundredths < 0 ? "-" : "";
    text += std::to_string(magnitude / 100);
    text += cents < 10 ? ".0" : ".";
    text += std::to_string(cents);
    text += '%';
    return text;
}

THighScore::THighScore(platform::TextLabel& captionLabel_, platform::MessageBoxes& messages,
                       std::filesystem::path folder, RenameFile rename)
    : captionLabel(captionLabel_),
      messages_(messages),
      path_(std::move(folder) / ScoreFileName),
      rename_(std::move(rename))
{
    clearCurrentScores();
    loadScores();
}

void THighScore::loadScores()
{
    std::error_code error;
    if (!std::filesystem::exists(path_, error) && !error) {
        clearStoredScores();
        return;
    }
    std::vector<std::uint8_t> bytes(ScoreFileSize);
    std::size_t got = 0;
    {
        std::ifstream in(path_, std::ios::binary);
        if (!in || std::filesystem::is_directory(path_, error)) {
            // The file is there but cannot be read: go on with an all-zero
            // table (best times too; zero counts as none when folding) and
            // leave the file alone, so that nothing in it is lost.
            storedScores_ = ScoreTable{};
            forEachRecord(storedScores_, [](ScoreRecord& r) { r.bestTime = 0; });
            return;
        }
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        got = static_cast<std::size_t>(in.gcount());
    }
    if (got < ScoreFileSize) {
        setAsideDamagedFile(got == 0
                                ? std::string("it is empty")
                                : "it is " + std::to_string(got) + " bytes long instead of 36288");
        return;
    }
    ScoreTable table;
    decodeScores(bytes, table);
    if (const std::optional<std::string> fault = scoreTableFault(table)) {
        setAsideDamagedFile("it holds " + *fault);
        return;
    }
    storedScores_ = table;
}

void THighScore::setAsideDamagedFile(const std::string& why)
{
    clearStoredScores();
    std::string text = "Your score file " + std::string(ScoreFileName) + " is damaged (" + why +
                       "), so your scores start afresh.\n\n";
    try {
        const std::filesystem::path to = moveAside(path_, todayText(), rename_);
        text += "The old file has been kept as:\n" + to.string();
    } catch (const std::filesystem::filesystem_error& e) {
        // Kept where it is rather than lost: no save replaces it until it
        // can be moved aside.
        damagedFileInPlace_ = true;
        text += "It could not be moved aside (" + e.code().message() + ") and stays as it is:\n" +
                path_.string() +
                "\n\nYour new scores will not be saved over it. Each save tries again to move it "
                "aside, and they are saved once that works.";
    }
    messages_.showMessage(text);
}

void THighScore::saveScores()
{
    if (damagedFileInPlace_) {
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(path_, error))) {
            std::filesystem::path to;
            try {
                to = moveAside(path_, todayText(), rename_);
            } catch (const std::filesystem::filesystem_error& e) {
                throw platform::FileError("Cannot move aside the damaged file " + path_.string(),
                                          path_, e.code().message());
            }
            messages_.showMessage("The damaged score file " + path_.string() +
                                  " has now been moved aside and kept as:\n" + to.string());
        }
        damagedFileInPlace_ = false; // moved, or gone by other hands
    }
    platform::replaceFile(path_, encodeScores(storedScores_), beforeRename_);
}

void THighScore::clearStoredScores() { clearTable(storedScores_); }
void THighScore::clearCurrentScores() { clearTable(currentScores_); }
void THighScore::discardCurrentScores() { clearCurrentScores(); }

void THighScore::updateCurrentScore(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo,
                                    std::int32_t itemType, std::int32_t itemId, bool right)
{
    checkRecordIndex(scoreMode, key, clefNo);
    ScoreRecord& r = currentScores_[scoreMode][key][clefNo];
    if (right)
        ++r.rightTotal;
    else
        ++r.wrongTotal;
    captionLabel.setText(wholePercent(r.rightTotal, std::int64_t{r.rightTotal} + r.wrongTotal));

    ItemStat* s = nullptr;
    if (itemType == 1 && r.noteStats.contains(itemId))
        s = &r.noteStats[itemId];
    else if (itemType == 2 && r.intervalStats.contains(itemId))
        s = &r.intervalStats[itemId];
    else if (itemType == 3 && r.chordStats.contains(itemId))
        s = &r.chordStats[itemId];
    if (s == nullptr)
        return;
    if (right)
        ++s->right;
    else
        ++s->wrong;
    ++s->asked;
}

void THighScore::updateCaption(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo)
{
    checkRecordIndex(scoreMode, key, clefNo);
    const ScoreRecord& r = currentScores_[scoreMode][key][clefNo];
    const std::int64_t total = std::int64_t{r.rightTotal} + r.wrongTotal;
    captionLabel.setText(total < 1 ? "0%" : wholePercent(r.rightTotal, total));
}

void THighScore::updateHighScore()
{
    for (int m = 1; m <= 2; ++m)
        for (int c = 1; c <= 3; ++c)
            for (int k = 0; k <= 11; ++k) {
                ScoreRecord& s = storedScores_[m][k][c];
                ScoreRecord& n = currentScores_[m][k][c];
                s.rightTotal = addCount(s.rightTotal, n.rightTotal);
                s.wrongTotal = addCount(s.wrongTotal, n.wrongTotal);
                n.rightTotal = 0;
                n.wrongTotal = 0;
                if (s.bestTime == 0)
                    s.bestTime = NoBestTime;
                if (n.bestTime < s.bestTime)
                    s.bestTime = n.bestTime;
                const auto fold = [](auto& stored, auto& current) {
                    for (std::size_t i = 0; i < stored.items.size(); ++i) {
                        ItemStat& to = stored.items[i];
                        ItemStat& from = current.items[i];
                        to.right = addCount(to.right, from.right);
                        to.wrong = addCount(to.wrong, from.wrong);
                        to.asked = addCount(to.asked, from.asked);
                        from = ItemStat{};
                    }
                };
                fold(s.noteStats, n.noteStats);
                fold(s.intervalStats, n.intervalStats);
                fold(s.chordStats, n.chordStats);
            }
    saveScores();
}

std::int32_t THighScore::storedBestTime(std::int32_t scoreMode, std::int32_t key,
                                        std::int32_t clefNo) const
{
    checkRecordIndex(scoreMode, key, clefNo);
    return storedScores_[scoreMode][key][clefNo].bestTime;
}

void THighScore::setCurrentBestTime(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo,
                                    std::int32_t seconds)
{
    checkRecordIndex(scoreMode, key, clefNo);
    currentScores_[scoreMode][key][clefNo].bestTime = seconds;
}

void THighScore::noteStatInfo(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo,
                              std::string& text) const
{
    checkRecordIndex(scoreMode, key, clefNo);
    text = statText("NOTES", storedScores_[scoreMode][key][clefNo].noteStats,
                    [&](int n) { return std::string(notation::noteNameIn(key, n)) + TAB; });
}

void THighScore::intervalStatInfo(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo,
                                  std::string& text) const
{
    checkRecordIndex(scoreMode, key, clefNo);
    text = statText("INTERVALS", storedScores_[scoreMode][key][clefNo].intervalStats, [](int i) {
        return std::string(notation::IntervalNames[static_cast<std::size_t>(i)]) + TAB;
    });
}

void THighScore::chordStatInfo(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo,
                               std::string& text) const
{
    checkRecordIndex(scoreMode, key, clefNo);
    text = statText("CHORDS", storedScores_[scoreMode][key][clefNo].chordStats, [](int j) {
        const std::string_view name = notation::ChordNames[static_cast<std::size_t>(j)];
        // Tabs that line the percentages up under each other.
        const std::size_t tabs = name.size() <= 8 ? 3 : name.size() <= 17 ? 2 : 1;
        return std::string(name) + std::string(tabs, TAB);
    });
}

void THighScore::timescoreStatInfo(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo,
                                   std::string& text) const
{
    checkRecordIndex(scoreMode, key, clefNo);
    const ScoreRecord& s = storedScores_[scoreMode][key][clefNo];
    const std::int64_t total = std::int64_t{s.rightTotal} + s.wrongTotal;
    // A record read from a damaged file may have counters that add up to
    // nothing; it has no percentage to show.
    if ((s.rightTotal <= 0 && s.wrongTotal <= 0) || total <= 0) {
        text = "Score and time: No scores yet...";
        return;
    }
    // 9999, and 0 from an unreadable file, both mean no best time.
    const bool noBestTime = s.bestTime <= 0 || s.bestTime >= NoBestTime;
    text = std::string("Total") + TAB + TAB + ": " + percentTwoDecimals(s.rightTotal, total) +
           std::string(CRLF) + "Best Time" + TAB + ": " +
           (noBestTime ? std::string("none yet") : std::to_string(s.bestTime) + " sec.") +
           std::string(CRLF) + std::string(BestTimeRule);
}

void THighScore::resetNoteStats(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo)
{
    checkRecordIndex(scoreMode, key, clefNo);
    storedScores_[scoreMode][key][clefNo].noteStats = {};
    saveScores();
}

void THighScore::resetIntervalStats(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo)
{
    checkRecordIndex(scoreMode, key, clefNo);
    storedScores_[scoreMode][key][clefNo].intervalStats = {};
    saveScores();
}

void THighScore::resetChordStats(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo)
{
    checkRecordIndex(scoreMode, key, clefNo);
    storedScores_[scoreMode][key][clefNo].chordStats = {};
    saveScores();
}

void THighScore::resetTimeScore(std::int32_t scoreMode, std::int32_t key, std::int32_t clefNo)
{
    checkRecordIndex(scoreMode, key, clefNo);
    ScoreRecord& s = storedScores_[scoreMode][key][clefNo];
    s.rightTotal = 0;
    s.wrongTotal = 0;
    s.bestTime = NoBestTime;
    saveScores();
}

} // namespace scores
