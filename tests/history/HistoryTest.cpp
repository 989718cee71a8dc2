#include "history/History.h"
#include "TempFolder.h"
#include "platform/testing/Recorders.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace history {
namespace {

// A disk that fills up when told: every write of any SQLite file fails as
// a full disk does, until the disk has room again. Installed as SQLite's
// default file system for one test.
class FullDisk {
public:
    FullDisk()
    {
        real_ = sqlite3_vfs_find(nullptr);
        vfs_ = *real_;
        vfs_.zName = "full-disk";
        vfs_.szOsFile = static_cast<int>(sizeof(File)) + real_->szOsFile;
        vfs_.xOpen = &FullDisk::open;
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~FullDisk()
    {
        sqlite3_vfs_register(real_, 1);
        sqlite3_vfs_unregister(&vfs_);
        full_ = false;
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    void fill() { full_ = true; }
    void makeRoom() { full_ = false; }

private:
    struct File {
        sqlite3_file base;
        sqlite3_file* real;
    };
    static sqlite3_file* realOf(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }

    static int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags,
                    int* outFlags)
    {
        File* f = reinterpret_cast<File*>(file);
        f->real = reinterpret_cast<sqlite3_file*>(f + 1);
        const int rc = real_->xOpen(real_, name, f->real, flags, outFlags);
        // SQLite closes a file only when its methods are set.
        f->base.pMethods = f->real->pMethods != nullptr ? methods() : nullptr;
        return rc;
    }
    static const sqlite3_io_methods* methods()
    {
        static const sqlite3_io_methods m = [] {
            sqlite3_io_methods io{};
            io.iVersion = 3;
            io.xClose = [](sqlite3_file* f) { return realOf(f)->pMethods->xClose(realOf(f)); };
            io.xRead = [](sqlite3_file* f, void* to, int n, sqlite3_int64 at) {
                return realOf(f)->pMethods->xRead(realOf(f), to, n, at);
            };
            io.xWrite = [](sqlite3_file* f, const void* from, int n, sqlite3_int64 at) {
                return full_ ? SQLITE_FULL : realOf(f)->pMethods->xWrite(realOf(f), from, n, at);
            };
            io.xTruncate = [](sqlite3_file* f, sqlite3_int64 size) {
                return realOf(f)->pMethods->xTruncate(realOf(f), size);
            };
            io.xSync = [](sqlite3_file* f, int flags) {
                return realOf(f)->pMethods->xSync(realOf(f), flags);
            };
            io.xFileSize = [](sqlite3_file* f, sqlite3_int64* size) {
                return realOf(f)->pMethods->xFileSize(realOf(f), size);
            };
            io.xLock = [](sqlite3_file* f, int l) {
                return realOf(f)->pMethods->xLock(realOf(f), l);
            };
            io.xUnlock = [](sqlite3_file* f, int l) {
                return realOf(f)->pMethods->xUnlock(realOf(f), l);
            };
            io.xCheckReservedLock = [](sqlite3_file* f, int* out) {
                return realOf(f)->pMethods->xCheckReservedLock(realOf(f), out);
            };
            io.xFileControl = [](sqlite3_file* f, int op, void* arg) {
                return realOf(f)->pMethods->xFileControl(realOf(f), op, arg);
            };
            io.xSectorSize = [](sqlite3_file* f) {
                return realOf(f)->pMethods->xSectorSize(realOf(f));
            };
            io.xDeviceCharacteristics = [](sqlite3_file* f) {
                return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f));
            };
            io.xShmMap = [](sqlite3_file* f, int page, int size, int extend, void volatile** to) {
                return realOf(f)->pMethods->xShmMap(realOf(f), page, size, extend, to);
            };
            io.xShmLock = [](sqlite3_file* f, int offset, int n, int flags) {
                return realOf(f)->pMethods->xShmLock(realOf(f), offset, n, flags);
            };
            io.xShmBarrier = [](sqlite3_file* f) { realOf(f)->pMethods->xShmBarrier(realOf(f)); };
            io.xShmUnmap = [](sqlite3_file* f, int drop) {
                return realOf(f)->pMethods->xShmUnmap(realOf(f), drop);
            };
            io.xFetch = [](sqlite3_file* f, sqlite3_int64 at, int n, void** to) {
                return realOf(f)->pMethods->xFetch(realOf(f), at, n, to);
            };
            io.xUnfetch = [](sqlite3_file* f, sqlite3_int64 at, void* p) {
                return realOf(f)->pMethods->xUnfetch(realOf(f), at, p);
            };
            return io;
        }();
        return &m;
    }

    static inline sqlite3_vfs* real_ = nullptr;
    static inline sqlite3_vfs vfs_{};
    static inline bool full_ = false;
};

class History : public testsupport::TempFolder {
protected:
    std::filesystem::path file() const { return folder / HistoryFileName; }

    static AnswerRow row(std::int64_t when, Outcome outcome = Outcome::Right)
    {
        AnswerRow r;
        r.whenMs = when;
        r.exercise = "chords";
        r.key = 3;
        r.staff = "both";
        r.questionPitches = {48, 52, 55};
        r.questionKind = 2;
        r.questionInversion = 1;
        r.answerPitches =
            outcome == Outcome::Unanswered ? std::vector<int>{} : std::vector<int>{60, 64, 67};
        r.outcome = outcome;
        r.responseMs = outcome == Outcome::Unanswered ? -1 : 1234;
        r.input = Input::Midi;
        r.port = "USB Keys MIDI 1";
        return r;
    }

    // Rows in the file as another connection sees them.
    int rowsOnDisk() const
    {
        sqlite3* db = nullptr;
        int rows = -1;
        if (sqlite3_open_v2(file().string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK) {
            sqlite3_stmt* s = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT count(*) FROM answers", -1, &s, nullptr) ==
                    SQLITE_OK &&
                sqlite3_step(s) == SQLITE_ROW)
                rows = sqlite3_column_int(s, 0);
            sqlite3_finalize(s);
        }
        sqlite3_close(db);
        return rows;
    }

    platform::testing::RecordingMessageBoxes messages;
};

TEST_F(History, AnswersWaitInMemoryUntilAFlushAndComeBackWhole)
{
    {
        HistoryStore store(file(), messages, "2026-03-04");
        ASSERT_TRUE(store.isOpen());
        EXPECT_EQ(store.schemaVersion(), SchemaVersion);
        store.record(row(1000));
        store.record(row(2000, Outcome::Wrong));
        store.record(row(3000, Outcome::Unanswered));
        EXPECT_EQ(store.waiting(), 3u);
        EXPECT_EQ(rowsOnDisk(), 0) << "recording never touches the disk";
        EXPECT_TRUE(store.flush());
        EXPECT_EQ(store.waiting(), 0u);
        EXPECT_EQ(rowsOnDisk(), 3);
        store.record(row(4000));
    } // the last one is written at close
    HistoryStore again(file(), messages, "2026-03-04");
    const std::vector<AnswerRow> rows = again.answers();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], row(1000));
    EXPECT_EQ(rows[1], row(2000, Outcome::Wrong));
    EXPECT_EQ(rows[2], row(3000, Outcome::Unanswered));
    EXPECT_EQ(again.answers(2000, 3000).size(), 2u);
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(History, AVersionOneDatabaseIsBroughtUpToDateWithItsAnswers)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file().string().c_str(), &db), SQLITE_OK);
    const char* versionOne =
        "CREATE TABLE answers (id INTEGER PRIMARY KEY, when_ms INTEGER NOT NULL,"
        " exercise TEXT NOT NULL, key INTEGER NOT NULL, staff TEXT NOT NULL,"
        " question_pitches TEXT NOT NULL, question_kind INTEGER NOT NULL,"
        " question_inversion INTEGER NOT NULL, answer_pitches TEXT NOT NULL,"
        " outcome INTEGER NOT NULL, response_ms INTEGER NOT NULL, input INTEGER NOT NULL,"
        " port TEXT NOT NULL);"
        "INSERT INTO answers VALUES (1, 500, 'notes-in-c', 0, 'treble', '60', 0, 0, '62', 2,"
        " 800, 1, '');"
        "PRAGMA user_version=1;";
    ASSERT_EQ(sqlite3_exec(db, versionOne, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    HistoryStore store(file(), messages, "2026-03-04");
    EXPECT_EQ(store.schemaVersion(), 3);
    const std::vector<AnswerRow> rows = store.answers();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].exercise, "notes-in-c");
    EXPECT_EQ(rows[0].questionPitches, std::vector<int>{60});
    EXPECT_EQ(rows[0].answerPitches, std::vector<int>{62});
    EXPECT_EQ(rows[0].outcome, Outcome::Wrong);
    EXPECT_EQ(rows[0].input, Input::Mouse);
    // Version 3's index is there, and version 2's, which it replaces, gone.
    ASSERT_EQ(sqlite3_open(file().string().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db,
                                 "SELECT group_concat(name) FROM sqlite_master WHERE type='index'",
                                 -1, &s, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "answers_for_progress");
    sqlite3_finalize(s);
    sqlite3_close(db);
    store.record(row(900));
    EXPECT_TRUE(store.flush());
    EXPECT_EQ(rowsOnDisk(), 2);
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(History, ADamagedFileIsMovedAsideAndANewHistoryBegun)
{
    {
        HistoryStore store(file(), messages, "2026-03-04");
        store.record(row(1000));
    }
    // Garbage over the first page, where SQLite's header and schema live.
    std::vector<std::uint8_t> bytes = readBytes(file());
    ASSERT_GE(bytes.size(), 512u);
    for (std::size_t i = 0; i < 512; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    writeBytes(file(), bytes);

    HistoryStore store(file(), messages, "2026-03-04");
    ASSERT_TRUE(store.isOpen());
    EXPECT_EQ(store.movedAside(), folder / "history.sqlite.damaged-2026-03-04");
    EXPECT_EQ(readBytes(store.movedAside()), bytes) << "kept as it was";
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_NE(messages.messages()[0].find("moved aside as history.sqlite.damaged-2026-03-04"),
              std::string::npos)
        << messages.messages()[0];
    EXPECT_TRUE(store.answers().empty());
    store.record(row(5000));
    EXPECT_TRUE(store.flush());
    EXPECT_EQ(store.answers().size(), 1u);
}

TEST_F(History, AnswersThatCannotBeWrittenAreKeptAndWrittenLaterWithOneMessage)
{
    // A file where the database's folder should be: nothing can be made there.
    const std::filesystem::path blocked = folder / "blocked";
    writeBytes(blocked, {1, 2, 3});
    const std::filesystem::path where = blocked / HistoryFileName;
    HistoryStore store(where, messages, "2026-03-04");
    EXPECT_FALSE(store.isOpen());
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_NE(messages.messages()[0].find("cannot be written"), std::string::npos);
    store.record(row(1000));
    EXPECT_FALSE(store.flush());
    store.record(row(2000));
    EXPECT_FALSE(store.flush());
    EXPECT_EQ(store.waiting(), 2u);
    EXPECT_EQ(messages.messages().size(), 1u) << "told once";

    // The folder comes back: the next flush writes everything kept.
    std::filesystem::remove(blocked);
    std::filesystem::create_directory(blocked);
    EXPECT_TRUE(store.flush());
    EXPECT_EQ(store.waiting(), 0u);
    EXPECT_EQ(store.answers().size(), 2u);
}

TEST_F(History, AFullDiskKeepsTheRunsAnswersWithOneMessageAndSpoilsNothingWritten)
{
    FullDisk disk;
    HistoryStore store(file(), messages, "2026-03-04");
    const auto run = [&](std::int64_t from) {
        for (int q = 0; q < 100; ++q)
            store.record(row(from + q, q % 3 == 0 ? Outcome::Wrong : Outcome::Right));
    };
    run(1000);
    ASSERT_TRUE(store.flush());

    disk.fill();
    run(2000);
    EXPECT_FALSE(store.flush());
    run(3000);
    EXPECT_FALSE(store.flush());
    EXPECT_EQ(store.waiting(), 200u) << "kept for the session";
    ASSERT_EQ(messages.messages().size(), 1u) << "told once";
    EXPECT_NE(messages.messages()[0].find("cannot be written"), std::string::npos);
    EXPECT_EQ(rowsOnDisk(), 100) << "what was written stays, and nothing half-written shows";

    disk.makeRoom();
    EXPECT_TRUE(store.flush());
    EXPECT_EQ(store.waiting(), 0u);
    const std::vector<AnswerRow> rows = store.answers();
    ASSERT_EQ(rows.size(), 300u);
    EXPECT_EQ(rows[150].whenMs, 2050);
    EXPECT_EQ(rows[150], row(2050));
    EXPECT_EQ(messages.messages().size(), 1u);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(file().string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "ok");
    sqlite3_finalize(s);
    sqlite3_close(db);
}

TEST_F(History, AFilterTakesOnlyTheExerciseKeyStaffAndTimesItNames)
{
    HistoryStore store(file(), messages, "2026-03-04");
    const auto add = [&](std::int64_t when, const char* exercise, std::int32_t key,
                         const char* staff) {
        AnswerRow r = row(when);
        r.exercise = exercise;
        r.key = key;
        r.staff = staff;
        store.record(r);
    };
    add(1, "chords", 3, "both");
    add(2, "chords", 3, "treble");
    add(3, "chords", 4, "both");
    add(4, "notes-in-key", 3, "both");
    add(5, "chords", 3, "both");
    ASSERT_TRUE(store.flush());
    const auto whens = [&](const AnswerFilter& f) {
        std::vector<std::int64_t> out;
        for (const AnswerRow& r : store.answers(f))
            out.push_back(r.whenMs);
        return out;
    };
    using W = std::vector<std::int64_t>;
    EXPECT_EQ(whens({}), (W{1, 2, 3, 4, 5}));
    EXPECT_EQ(whens({.exercise = "chords", .key = 3, .staff = "both"}), (W{1, 5}));
    EXPECT_EQ(whens({.fromMs = 2, .toMs = 4, .exercise = "chords"}), (W{2, 3}));
    EXPECT_EQ(whens({.key = 3}), (W{1, 2, 4, 5}));
    EXPECT_EQ(whens({.staff = "treble"}), (W{2}));
    EXPECT_EQ(whens({.exercise = "intervals"}), W{});
}

// A process killed at random moments while it writes runs of answers: every
// run it saw written is there afterwards, whole, and the file is sound.
TEST_F(History, AKillWhileWritingLosesAtMostTheRunBeingWritten)
{
    constexpr int Trials = 200;
    // Runs this long keep the writer inside a commit for much of its time:
    // with the journal turned off the same test finds the file corrupt.
    constexpr int RowsPerRun = 400;
    // Each trial's runs at times of their own: run r of trial t at
    // (t + 1) * 10^9 + r * 1000 ms, its answers a millisecond apart.
    const auto trialBase = [](int trial) { return (trial + 1) * std::int64_t{1'000'000'000}; };
    std::mt19937 random(20261211);
    for (int trial = 0; trial < Trials; ++trial) {
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeEnds[0]);
            platform::testing::RecordingMessageBoxes quiet;
            HistoryStore store(file(), quiet, "2026-03-04");
            for (std::int64_t run = 0;; ++run) {
                const std::int64_t base = trialBase(trial) + run * 1000;
                for (int i = 0; i < RowsPerRun; ++i)
                    store.record(row(base + i));
                if (!store.flush())
                    _exit(3);
                // Told only once the run is written.
                if (write(pipeEnds[1], &base, sizeof base) != sizeof base)
                    _exit(4);
            }
        }
        close(pipeEnds[1]);
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(500, 15'000)(random)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "trial " << trial << ": the writer stopped by itself";
        std::set<std::int64_t> written;
        std::int64_t base = 0;
        while (read(pipeEnds[0], &base, sizeof base) == sizeof base)
            written.insert(base);
        close(pipeEnds[0]);

        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file().string().c_str(), &db), SQLITE_OK);
        sqlite3_stmt* s = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
        ASSERT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "ok")
            << "trial " << trial;
        sqlite3_finalize(s);
        // Every run counts RowsPerRun answers or none.
        const std::string perRun =
            "SELECT when_ms / 1000, count(*) FROM answers WHERE when_ms >= " +
            std::to_string(trialBase(trial)) + " GROUP BY when_ms / 1000";
        // Killed before the table was made: then nothing was written either.
        std::set<std::int64_t> stored;
        if (sqlite3_prepare_v2(db, perRun.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            EXPECT_TRUE(written.empty()) << "trial " << trial << ": " << sqlite3_errmsg(db);
        }
        while (s != nullptr && sqlite3_step(s) == SQLITE_ROW) {
            EXPECT_EQ(sqlite3_column_int(s, 1), RowsPerRun)
                << "trial " << trial << ": a run in part";
            stored.insert(sqlite3_column_int64(s, 0) * 1000);
        }
        sqlite3_finalize(s);
        sqlite3_close(db);
        for (const std::int64_t run : written)
            EXPECT_TRUE(stored.count(run) == 1) << "trial " << trial << ": run " << run << " lost";
        // A run on its way when the kill came may be there too, never more.
        EXPECT_LE(stored.size(), written.size() + 1) << "trial " << trial;
    }
}

// A reader of RFC 4180 text: records of fields, quoted fields with doubled
// quotes, CRLF between records. Throws on anything else.
std::vector<std::vector<std::string>> parseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            ++i;
            for (;;) {
                if (i >= text.size())
                    throw std::runtime_error("an unclosed quote");
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r') {
                if (text[i] == '"' || text[i] == '\n')
                    throw std::runtime_error("a bare quote or line feed");
                field += text[i++];
            }
        }
        record.push_back(field);
        field.clear();
        if (i < text.size() && text[i] == ',') {
            ++i;
            continue;
        }
        if (text.compare(i, 2, "\r\n") != 0)
            throw std::runtime_error("a record not ended by CRLF");
        i += 2;
        records.push_back(record);
        record.clear();
    }
    return records;
}

TEST_F(History, TheCsvExportReadsBackThroughACsvParser)
{
    std::vector<AnswerRow> rows = {row(1'773'000'000'123), row(2000, Outcome::Unanswered)};
    rows[0].port = "Keys, \"the big one\"\nsecond line";
    rows[1].input = Input::ComputerKeyboard;
    rows[1].port.clear();
    std::ostringstream out;
    writeCsv(rows, out);
    const auto records = parseCsv(out.str());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], CsvColumns);
    for (const auto& r : records)
        EXPECT_EQ(r.size(), CsvColumns.size());
    EXPECT_EQ(records[1][0], "2026-03-08 20:00:00.123");
    EXPECT_EQ(records[1][1], "chords");
    EXPECT_EQ(records[1][4], "48,52,55");
    EXPECT_EQ(records[1][7], "60,64,67");
    EXPECT_EQ(records[1][8], "right");
    EXPECT_EQ(records[1][9], "1234");
    EXPECT_EQ(records[1][10], "midi");
    EXPECT_EQ(records[1][11], "Keys, \"the big one\"\nsecond line");
    EXPECT_EQ(records[2][0], "1970-01-01 00:00:02.000");
    EXPECT_EQ(records[2][7], "");
    EXPECT_EQ(records[2][8], "unanswered");
    EXPECT_EQ(records[2][9], "-1");
    EXPECT_EQ(records[2][10], "computer keyboard");
}

TEST(PitchList, ReadsBackWhatItWroteAndRefusesTheRest)
{
    EXPECT_EQ(pitchListText({60, 64, 67}), "60,64,67");
    EXPECT_EQ(pitchListFrom("60,64,67"), (std::vector<int>{60, 64, 67}));
    EXPECT_EQ(pitchListFrom(""), std::vector<int>{});
    for (const char* bad : {"60,", ",60", "6x", "60,,64", " 60"})
        EXPECT_TRUE(pitchListFrom(bad).empty()) << bad;
}

} // namespace
} // namespace history
