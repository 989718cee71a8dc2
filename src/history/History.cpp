#include "history/History.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ostream>
#include <system_error>
#include <utility>

namespace history {

namespace {

// Each step brings a database from the version before it to its own.
constexpr const char* Migrations[SchemaVersion] = {
    // 1
    "CREATE TABLE answers ("
    " id INTEGER PRIMARY KEY,"
    " when_ms INTEGER NOT NULL,"
    " exercise TEXT NOT NULL,"
    " key INTEGER NOT NULL,"
    " staff TEXT NOT NULL,"
    " question_pitches TEXT NOT NULL,"
    " question_kind INTEGER NOT NULL,"
    " question_inversion INTEGER NOT NULL,"
    " answer_pitches TEXT NOT NULL,"
    " outcome INTEGER NOT NULL,"
    " response_ms INTEGER NOT NULL,"
    " input INTEGER NOT NULL,"
    " port TEXT NOT NULL)",
    // 2
    "CREATE INDEX answers_by_practice ON answers (exercise, key, staff, when_ms)",
    // 3: the same order holding what the progress views read, so that they
    // never visit the table; it serves every query the old index did.
    "CREATE INDEX answers_for_progress ON answers"
    " (exercise, key, staff, when_ms, question_kind, outcome, response_ms, question_pitches);"
    "DROP INDEX answers_by_practice",
};

// A prepared statement, finalized on every way out.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        result_ = sqlite3_prepare_v2(db, sql, -1, &s_, nullptr);
    }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return result_ == SQLITE_OK && s_ != nullptr; }
    sqlite3_stmt* get() const { return s_; }

private:
    sqlite3_stmt* s_ = nullptr;
    int result_ = SQLITE_ERROR;
};

bool exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

int userVersion(sqlite3* db)
{
    Statement s(db, "PRAGMA user_version");
    if (!s.ok() || sqlite3_step(s.get()) != SQLITE_ROW)
        return -1;
    return sqlite3_column_int(s.get(), 0);
}

bool isDamage(int code)
{
    code &= 0xFF;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

struct Check {
    bool ok = false;
    bool damaged = false; // as opposed to unreachable (a read-only folder)
    std::string text;
};

// A quick check of the whole file: what it found, or why it could not look.
Check quickCheck(sqlite3* db)
{
    Statement s(db, "PRAGMA quick_check");
    const int step = s.ok() ? sqlite3_step(s.get()) : sqlite3_errcode(db);
    if (step != SQLITE_ROW)
        return {false, isDamage(sqlite3_extended_errcode(db)), sqlite3_errmsg(db)};
    const unsigned char* text = sqlite3_column_text(s.get(), 0);
    const std::string found = text != nullptr ? reinterpret_cast<const char*>(text) : "";
    return {found == "ok", found != "ok", found};
}

std::filesystem::path moveAsideFile(const std::filesystem::path& file, const std::string& today)
{
    const std::string name = file.filename().string() + ".damaged-" + today;
    for (int n = 1; n <= 9999; ++n) {
        const std::filesystem::path to =
            file.parent_path() / (n == 1 ? name : name + "-" + std::to_string(n));
        std::error_code error;
        if (std::filesystem::symlink_status(to, error).type() !=
            std::filesystem::file_type::not_found)
            continue;
        std::filesystem::rename(file, to, error);
        if (error)
            return {};
        // The write-ahead log and its index belong to the damaged file.
        for (const char* part : {"-wal", "-shm"}) {
            std::filesystem::path side = file;
            side += part;
            std::filesystem::path sideTo = to;
            sideTo += part;
            if (std::filesystem::exists(side, error))
                std::filesystem::rename(side, sideTo, error);
        }
        return to;
    }
    return {};
}

// The WHERE clause of `filter`; bindFilter() gives its values.
std::string whereOf(const AnswerFilter& filter)
{
    std::string sql = " WHERE when_ms BETWEEN ?1 AND ?2";
    if (filter.exercise)
        sql += " AND exercise = ?3";
    if (filter.key)
        sql += " AND key = ?4";
    if (filter.staff)
        sql += " AND staff = ?5";
    return sql;
}

void bindFilter(sqlite3_stmt* s, const AnswerFilter& filter)
{
    sqlite3_bind_int64(s, 1, filter.fromMs);
    sqlite3_bind_int64(s, 2, filter.toMs);
    if (filter.exercise)
        sqlite3_bind_text(s, 3, filter.exercise->c_str(), -1, SQLITE_TRANSIENT);
    if (filter.key)
        sqlite3_bind_int(s, 4, *filter.key);
    if (filter.staff)
        sqlite3_bind_text(s, 5, filter.staff->c_str(), -1, SQLITE_TRANSIENT);
}

} // namespace

std::string pitchListText(const std::vector<int>& pitches)
{
    std::string text;
    for (const int p : pitches) {
        if (!text.empty())
            text += ',';
        text += std::to_string(p);
    }
    return text;
}

std::vector<int> pitchListFrom(std::string_view text)
{
    std::vector<int> pitches;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        int value = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
        if (error != std::errc() || end != item.data() + item.size())
            return {};
        pitches.push_back(value);
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
        if (text.empty())
            return {}; // a trailing comma
    }
    return pitches;
}

const std::vector<std::string> CsvColumns = {"time",     "exercise",    "key",       "staff",
                                             "question", "kind",        "inversion", "answer",
                                             "outcome",  "response_ms", "input",     "port"};

namespace {

std::string csvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// Local milliseconds since 1970 as "2026-03-04 17:05:09.123".
std::string csvTime(std::int64_t ms)
{
    const std::int64_t days = (ms >= 0 ? ms : ms - 86'399'999) / 86'400'000;
    const std::int64_t inDay = ms - days * 86'400'000;
    // Days since 1970-01-01 to a civil date (Howard Hinnant's algorithm).
    const std::int64_t z = days + 719'468;
    const std::int64_t era = (z >= 0 ? z : z - 146'096) / 146'097;
    const std::int64_t doe = z - era * 146'097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[128];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(inDay / 3'600'000),
                  static_cast<long long>(inDay / 60'000 % 60),
                  static_cast<long long>(inDay / 1000 % 60), static_cast<long long>(inDay % 1000));
    return text;
}

const char* outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Right:
        return "right";
    case Outcome::Wrong:
        return "wrong";
    case Outcome::Unanswered:
        return "unanswered";
    }
    return "";
}

const char* inputName(Input input)
{
    switch (input) {
    case Input::Mouse:
        return "mouse";
    case Input::ComputerKeyboard:
        return "computer keyboard";
    case Input::Midi:
        return "midi";
    }
    return "";
}

} // namespace

void writeCsv(const std::vector<AnswerRow>& rows, std::ostream& out)
{
    const auto line = [&out](const std::vector<std::string>& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i)
            out << (i > 0 ? "," : "") << csvField(fields[i]);
        out << "\r\n";
    };
    line(CsvColumns);
    for (const AnswerRow& r : rows)
        line({csvTime(r.whenMs), r.exercise, std::to_string(r.key), r.staff,
              pitchListText(r.questionPitches), std::to_string(r.questionKind),
              std::to_string(r.questionInversion), pitchListText(r.answerPitches),
              outcomeName(r.outcome), std::to_string(r.responseMs), inputName(r.input), r.port});
}

HistoryStore::HistoryStore(std::filesystem::path file, platform::MessageBoxes& messages,
                           std::string today)
    : file_(std::move(file)),
      messages_(messages),
      today_(std::move(today))
{
    openDatabase();
}

HistoryStore::~HistoryStore()
{
    flush();
    closeDatabase();
}

void HistoryStore::tellOnce(const std::string& text)
{
    for (const std::string& told : told_)
        if (told == text)
            return;
    told_.push_back(text);
    messages_.showMessage(text);
}

void HistoryStore::closeDatabase()
{
    if (db_ != nullptr)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool HistoryStore::openDatabase()
{
    const std::string name(HistoryFileName);
    const auto cannotWrite = [&](const std::string& why) {
        closeDatabase();
        tellOnce("The practice history " + name + " cannot be written (" + why +
                 "). This session's answers are kept and written when it can be.");
        return false;
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        // One thread uses a store: SQLite need not lock for every call.
        const int opened = sqlite3_open_v2(
            file_.string().c_str(), &db_,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (opened != SQLITE_OK)
            return cannotWrite(db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(opened));
        sqlite3_busy_timeout(db_, 2000);
        const Check check = quickCheck(db_);
        if (check.damaged && attempt == 0) {
            // Damaged (or not a database at all): kept under another name,
            // never deleted, and a new history begins.
            closeDatabase();
            movedAside_ = moveAsideFile(file_, today_);
            if (movedAside_.empty())
                return cannotWrite("it is damaged and cannot be moved aside");
            tellOnce("The practice history " + name + " was damaged (" + check.text +
                     "). It was moved aside as " + movedAside_.filename().string() +
                     " and a new one begun.");
            continue;
        }
        if (!check.ok)
            return cannotWrite(check.text);
        // A kill loses at most the transaction being written; earlier ones
        // stay whole.
        if (!exec(db_, "PRAGMA journal_mode=WAL") || !exec(db_, "PRAGMA synchronous=NORMAL"))
            return cannotWrite(sqlite3_errmsg(db_));
        // The progress views read a year of answers at a time: through the
        // file mapped in memory rather than a system call per page.
        exec(db_, "PRAGMA mmap_size=268435456");
        int version = userVersion(db_);
        if (version < 0)
            return cannotWrite(sqlite3_errmsg(db_));
        // A newer program's history is used as it is.
        while (version < SchemaVersion) {
            const bool stepped =
                exec(db_, "BEGIN IMMEDIATE") && exec(db_, Migrations[version]) &&
                exec(db_, ("PRAGMA user_version=" + std::to_string(version + 1)).c_str()) &&
                exec(db_, "COMMIT");
            if (!stepped) {
                const std::string why = sqlite3_errmsg(db_);
                exec(db_, "ROLLBACK");
                return cannotWrite(why);
            }
            ++version;
        }
        return true;
    }
    return cannotWrite("it could not be begun anew");
}

void HistoryStore::record(AnswerRow row) { waiting_.push_back(std::move(row)); }

bool HistoryStore::flush()
{
    if (waiting_.empty())
        return true;
    if (db_ == nullptr && !openDatabase())
        return false;
    const auto failed = [&] {
        const std::string why = sqlite3_errmsg(db_);
        exec(db_, "ROLLBACK");
        tellOnce("The practice history " + std::string(HistoryFileName) + " cannot be written (" +
                 why + "). This session's answers are kept and written when it can be.");
        return false;
    };
    if (!exec(db_, "BEGIN IMMEDIATE"))
        return failed();
    {
        Statement insert(db_,
                         "INSERT INTO answers (when_ms, exercise, key, staff, question_pitches,"
                         " question_kind, question_inversion, answer_pitches, outcome,"
                         " response_ms, input, port) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
        if (!insert.ok())
            return failed();
        for (const AnswerRow& r : waiting_) {
            sqlite3_stmt* s = insert.get();
            const std::string question = pitchListText(r.questionPitches);
            const std::string answer = pitchListText(r.answerPitches);
            sqlite3_bind_int64(s, 1, r.whenMs);
            sqlite3_bind_text(s, 2, r.exercise.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(s, 3, r.key);
            sqlite3_bind_text(s, 4, r.staff.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(s, 5, question.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(s, 6, r.questionKind);
            sqlite3_bind_int(s, 7, r.questionInversion);
            sqlite3_bind_text(s, 8, answer.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(s, 9, static_cast<int>(r.outcome));
            sqlite3_bind_int(s, 10, r.responseMs);
            sqlite3_bind_int(s, 11, static_cast<int>(r.input));
            sqlite3_bind_text(s, 12, r.port.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(s) != SQLITE_DONE)
                return failed();
            sqlite3_reset(s);
        }
    }
    if (!exec(db_, "COMMIT"))
        return failed();
    waiting_.clear();
    return true;
}

std::vector<AnswerRow> HistoryStore::answers(std::int64_t fromMs, std::int64_t toMs) const
{
    AnswerFilter filter;
    filter.fromMs = fromMs;
    filter.toMs = toMs;
    return answers(filter);
}

std::vector<AnswerRow> HistoryStore::answers(const AnswerFilter& filter) const
{
    std::vector<AnswerRow> rows;
    if (db_ == nullptr)
        return rows;
    const std::string sql = "SELECT when_ms, exercise, key, staff, question_pitches, question_kind,"
                            " question_inversion, answer_pitches, outcome, response_ms, input, port"
                            " FROM answers" +
                            whereOf(filter) + " ORDER BY when_ms, id";
    Statement s(db_, sql.c_str());
    if (!s.ok())
        return rows;
    bindFilter(s.get(), filter);
    const auto text = [&](int column) {
        const unsigned char* t = sqlite3_column_text(s.get(), column);
        return t != nullptr ? std::string(reinterpret_cast<const char*>(t)) : std::string();
    };
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
        AnswerRow r;
        r.whenMs = sqlite3_column_int64(s.get(), 0);
        r.exercise = text(1);
        r.key = sqlite3_column_int(s.get(), 2);
        r.staff = text(3);
        r.questionPitches = pitchListFrom(text(4));
        r.questionKind = sqlite3_column_int(s.get(), 5);
        r.questionInversion = sqlite3_column_int(s.get(), 6);
        r.answerPitches = pitchListFrom(text(7));
        r.outcome = static_cast<Outcome>(sqlite3_column_int(s.get(), 8));
        r.responseMs = sqlite3_column_int(s.get(), 9);
        r.input = static_cast<Input>(sqlite3_column_int(s.get(), 10));
        r.port = text(11);
        rows.push_back(std::move(r));
    }
    return rows;
}

void HistoryStore::visitProgressAnswers(
    const AnswerFilter& filter, const std::function<void(const ProgressAnswer&)>& visit) const
{
    if (db_ == nullptr)
        return;
    const std::string sql = "SELECT when_ms, question_pitches, question_kind, outcome, response_ms"
                            " FROM answers" +
                            whereOf(filter) + " ORDER BY when_ms";
    Statement s(db_, sql.c_str());
    if (!s.ok())
        return;
    bindFilter(s.get(), filter);
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
        ProgressAnswer r;
        r.whenMs = sqlite3_column_int64(s.get(), 0);
        // Read in place: no string is made for the pitch list.
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 1));
        const std::string_view pitches(text != nullptr ? text : "",
                                       static_cast<std::size_t>(sqlite3_column_bytes(s.get(), 1)));
        if (!pitches.empty()) {
            r.pitchCount =
                static_cast<std::int32_t>(std::count(pitches.begin(), pitches.end(), ',')) + 1;
            int pitch = 0;
            const auto [end, error] =
                std::from_chars(pitches.data(), pitches.data() + pitches.size(), pitch);
            if (r.pitchCount == 1 && error == std::errc() && end == pitches.data() + pitches.size())
                r.pitch = pitch;
        }
        r.kind = sqlite3_column_int(s.get(), 2);
        r.outcome = static_cast<Outcome>(sqlite3_column_int(s.get(), 3));
        r.responseMs = sqlite3_column_int(s.get(), 4);
        visit(r);
    }
}

std::optional<std::int64_t> HistoryStore::answerTime(const AnswerFilter& filter,
                                                     const char* aggregate) const
{
    if (db_ == nullptr)
        return std::nullopt;
    const std::string sql =
        std::string("SELECT ") + aggregate + "(when_ms) FROM answers" + whereOf(filter);
    Statement s(db_, sql.c_str());
    if (!s.ok())
        return std::nullopt;
    bindFilter(s.get(), filter);
    if (sqlite3_step(s.get()) != SQLITE_ROW || sqlite3_column_type(s.get(), 0) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_column_int64(s.get(), 0);
}

std::optional<std::int64_t> HistoryStore::earliestAnswer(const AnswerFilter& filter) const
{
    return answerTime(filter, "min");
}

std::optional<std::int64_t> HistoryStore::latestAnswer(const AnswerFilter& filter) const
{
    return answerTime(filter, "max");
}

int HistoryStore::schemaVersion() const { return db_ != nullptr ? userVersion(db_) : 0; }

} // namespace history
