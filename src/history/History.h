#pragma once

// The practice history: one row per scored question, kept in an SQLite
// database (history.sqlite in the working folder) beside the score file.
//
// Recording an answer only adds it to memory; flush() writes what waits in
// one transaction (the window flushes at the end of a run and at close), so
// a run never waits on the disk. Nothing here ever stops a run: a damaged
// database is moved aside and a new one started, and one that cannot be
// written (a read-only folder, a full disk) keeps the answers in memory and
// tries again at the next flush. Each such trouble is told once.
//
// Threads: one thread (the GUI thread) uses a store.

#include "platform/MessageBoxes.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace history {

inline constexpr std::string_view HistoryFileName = "history.sqlite";

// The version the program writes; older databases are brought up to it.
//   1: the answers table.
//   2: an index by exercise, key, staff and time, for the progress views.
//   3: that index holding the columns the progress views read.
inline constexpr int SchemaVersion = 3;

enum class Outcome : std::uint8_t { Right = 1, Wrong = 2, Unanswered = 3 };
enum class Input : std::uint8_t { Mouse = 1, ComputerKeyboard = 2, Midi = 3 };

struct AnswerRow {
    // Milliseconds since 1970-01-01 00:00 of the local wall clock (the
    // engine's clock is local time), so whenMs / 86'400'000 is the local day.
    std::int64_t whenMs = 0;
    std::string exercise; // the exercise's id: "notes-in-c", "chords", ...
    std::int32_t key = 0; // the key signature, 0..11
    std::string staff;    // "treble", "bass", "both"
    std::vector<int> questionPitches;
    std::int32_t questionKind = 0; // the interval or chord kind; 0 for a note
    std::int32_t questionInversion = 0;
    std::vector<int> answerPitches; // what was played or clicked; empty when unanswered
    Outcome outcome = Outcome::Wrong;
    std::int32_t responseMs = -1; // from the question reaching the pointer; -1 unanswered
    Input input = Input::Mouse;
    std::string port; // the MIDI port; empty for other inputs

    friend bool operator==(const AnswerRow&, const AnswerRow&) = default;
};

// "60,64,67", and back (nothing for a malformed list).
std::string pitchListText(const std::vector<int>& pitches);
std::vector<int> pitchListFrom(std::string_view text);

// The header row and one row per answer, as comma-separated values (RFC
// 4180: CRLF line ends, a field with a comma, a quote or a line break in
// double quotes, a quote doubled). Times as local "2026-03-04 17:05:09.123".
void writeCsv(const std::vector<AnswerRow>& rows, std::ostream& out);
// The columns of writeCsv, in order.
extern const std::vector<std::string> CsvColumns;

// Which stored answers a query wants; an empty field takes every value.
struct AnswerFilter {
    std::int64_t fromMs = std::numeric_limits<std::int64_t>::min();
    std::int64_t toMs = std::numeric_limits<std::int64_t>::max(); // both included
    std::optional<std::string> exercise{};
    std::optional<std::int32_t> key{};
    std::optional<std::string> staff{};
};

// One stored answer as the progress views read it: only the columns they
// need, so that a year of answers is read quickly.
struct ProgressAnswer {
    std::int64_t whenMs = 0;
    std::int32_t pitch = -1;     // the pitch of a question of one note; else -1
    std::int32_t pitchCount = 0; // how many pitches the question asked
    std::int32_t kind = 0;       // the interval or chord kind; 0 for a note
    Outcome outcome = Outcome::Wrong;
    std::int32_t responseMs = -1;

    friend bool operator==(const ProgressAnswer&, const ProgressAnswer&) = default;
};

class HistoryStore {
public:
    // Opens the database `file`, made if missing, and brings it up to
    // SchemaVersion. Never throws: troubles go to `messages`, once each.
    // `today` ("2026-03-04") names a damaged file moved aside.
    HistoryStore(std::filesystem::path file, platform::MessageBoxes& messages, std::string today);
    // Writes what waits, if it can.
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Keeps one answer to write at the next flush. Memory only.
    void record(AnswerRow row);
    // Writes every waiting answer in one transaction; true when none waits
    // afterwards. A failure keeps them all (the transaction is rolled back)
    // for the next flush, which opens the database again if it must.
    bool flush();
    std::size_t waiting() const { return waiting_.size(); }
    bool isOpen() const { return db_ != nullptr; }

    // The stored answers from `fromMs` to `toMs` (both included), oldest
    // first; the waiting ones are not among them.
    std::vector<AnswerRow>
    answers(std::int64_t fromMs = std::numeric_limits<std::int64_t>::min(),
            std::int64_t toMs = std::numeric_limits<std::int64_t>::max()) const;
    // The stored answers `filter` wants, oldest first (the index by
    // exercise, key, staff and time serves the usual scoped query).
    std::vector<AnswerRow> answers(const AnswerFilter& filter) const;
    // The same answers with only what the progress views need, oldest
    // first, each handed to `visit` as it is read, with nothing kept.
    void visitProgressAnswers(const AnswerFilter& filter,
                              const std::function<void(const ProgressAnswer&)>& visit) const;
    // The time of the earliest or latest stored answer `filter` wants;
    // nothing when there is none. With a scope (exercise, key and staff) the
    // index finds either without reading the answers.
    std::optional<std::int64_t> earliestAnswer(const AnswerFilter& filter) const;
    std::optional<std::int64_t> latestAnswer(const AnswerFilter& filter) const;
    // The database's schema version (0 while none is open).
    int schemaVersion() const;
    // Where a damaged database went, when one was moved aside.
    const std::filesystem::path& movedAside() const { return movedAside_; }

private:
    bool openDatabase();
    void closeDatabase();
    std::optional<std::int64_t> answerTime(const AnswerFilter& filter, const char* aggregate) const;
    // Tells `text` unless it was told already.
    void tellOnce(const std::string& text);

    std::filesystem::path file_;
    platform::MessageBoxes& messages_;
    std::string today_;
    sqlite3* db_ = nullptr;
    std::vector<AnswerRow> waiting_;
    std::vector<std::string> told_;
    std::filesystem::path movedAside_;
};

} // namespace history
