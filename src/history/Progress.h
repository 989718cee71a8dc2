#pragma once

// The figures of the progress views for one exercise, key and staff over a
// range of local days ending today: answers per day, accuracy and median
// response time per day, the current streak of practice days, and the heat
// map (per pitch of single-note questions, per interval and chord kind).

#include "history/History.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace history {

// The local day of a stored time (days since 1970-01-01). Stored times are
// local wall-clock time, so a day is a plain division, rounded down.
constexpr std::int64_t localDayOf(std::int64_t ms)
{
    constexpr std::int64_t MsPerDay = 86'400'000;
    return ms >= 0 ? ms / MsPerDay : (ms - MsPerDay + 1) / MsPerDay;
}
constexpr std::int64_t startOfDayMs(std::int64_t day) { return day * 86'400'000; }

enum class ProgressRange { Days7, Days30, Days365, All };
// 7, 30, 365; 0 for All.
int daysOf(ProgressRange range);

struct ProgressScope {
    std::string exercise; // engine::exerciseId: "notes-in-key", "chords", ...
    std::int32_t key = 0;
    std::string staff; // "treble", "bass", "both"
};

// The answers of one day, pitch or kind. Unanswered questions count as
// asked, never as right, and have no time.
struct Figures {
    int asked = 0;
    int right = 0;
    int timed = 0;        // the answered ones, whose times make the median
    double medianMs = -1; // -1 when none was timed

    // right / asked, 0..1; 0 when nothing was asked.
    double accuracy() const { return asked > 0 ? static_cast<double>(right) / asked : 0.0; }
    bool hasMedian() const { return timed > 0; }
};

struct DayFigures {
    std::int64_t day = 0; // localDayOf
    Figures figures;
};

struct ProgressFigures {
    // The range shown, both days included, and the same in stored time.
    std::int64_t firstDay = 0;
    std::int64_t lastDay = 0;
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    Figures total;
    // Only days with at least one question, oldest first.
    std::vector<DayFigures> days;
    // By pitch (questions of one note), by interval kind, by chord kind.
    std::map<int, Figures> pitches;
    std::map<int, Figures> intervals;
    std::map<int, Figures> chords;
    // Consecutive practice days ending today, or ending yesterday while
    // today has nothing yet: a streak is not lost before the day is over.
    // Counted over the whole history of the scope, whatever the range.
    int streakDays = 0;
};

// The middle of `values` (the mean of the two middle ones for an even
// count); -1 for none. Reorders `values`.
double medianOf(std::vector<std::int32_t>& values);

// Response times gathered for one cell before its median is taken.
struct Gathering {
    Figures figures;
    std::vector<std::int32_t> times;

    void add(const ProgressAnswer& a);
    Figures done();
};

// Days, totals and heat-map cells of answers (all of one exercise) handed
// over one at a time, oldest first.
class Tally {
public:
    explicit Tally(std::string exercise)
        : exercise_(std::move(exercise))
    {
    }
    void add(const ProgressAnswer& a);
    // Into `figures`; the range and the streak are left as they are.
    void finish(ProgressFigures& figures);

private:
    std::string exercise_;
    Gathering total_;
    std::vector<std::pair<std::int64_t, Gathering>> days_;
    std::map<int, Gathering> pitches_;
    std::map<int, Gathering> intervals_;
    std::map<int, Gathering> chords_;
};

// Days, totals and heat-map cells of `answers` (all of one exercise). The
// range and the streak are left as they are.
void tally(const std::vector<ProgressAnswer>& answers, const std::string& exercise,
           ProgressFigures& figures);

// The streak of practice days of `scope` as of `nowMs`.
int currentStreak(const HistoryStore& store, const ProgressScope& scope, std::int64_t nowMs);

// Everything the progress window shows for `scope` over `range` ending on
// the day of `nowMs` (All: from the scope's first answer).
ProgressFigures progressOf(const HistoryStore& store, const ProgressScope& scope,
                           ProgressRange range, std::int64_t nowMs);

// The stored answers of `scope` the same range covers.
AnswerFilter rangeFilter(const ProgressScope& scope, std::int64_t fromMs, std::int64_t toMs);

} // namespace history
