#include "history/Progress.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <limits>
#include <optional>

namespace history {

namespace {

enum class Family { Note, Interval, Chord, Other };

// What a question asked. The interval and chord exercises ask only their
// own; the mixed one tells an interval (two notes) from a chord by its size.
Family familyOf(const ProgressAnswer& a, const std::string& exercise)
{
    if (a.kind <= 0)
        return a.pitch >= 0 ? Family::Note : Family::Other;
    if (exercise == "intervals")
        return Family::Interval;
    if (exercise == "chords" || exercise == "progressions")
        return Family::Chord;
    return a.pitchCount == 2 ? Family::Interval : Family::Chord;
}

std::map<int, Figures> finished(std::map<int, Gathering>& cells)
{
    std::map<int, Figures> figures;
    for (auto& [at, cell] : cells)
        figures.emplace(at, cell.done());
    return figures;
}

} // namespace

int daysOf(ProgressRange range)
{
    switch (range) {
    case ProgressRange::Days7:
        return 7;
    case ProgressRange::Days30:
        return 30;
    case ProgressRange::Days365:
        return 365;
    case ProgressRange::All:
        break;
    }
    return 0;
}

double medianOf(std::vector<std::int32_t>& values)
{
    if (values.empty())
        return -1;
    const std::size_t half = values.size() / 2;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(half);
    std::nth_element(values.begin(), middle, values.end());
    const double upper = *middle;
    if (values.size() % 2 == 1)
        return upper;
    const double lower = *std::max_element(values.begin(), middle);
    return (lower + upper) / 2;
}

void Gathering::add(const ProgressAnswer& a)
{
    ++figures.asked;
    if (a.outcome == Outcome::Right)
        ++figures.right;
    if (a.outcome != Outcome::Unanswered && a.responseMs >= 0)
        times.push_back(a.responseMs);
}

Figures Gathering::done()
{
    figures.timed = static_cast<int>(times.size());
    figures.medianMs = medianOf(times);
    return figures;
}

void Tally::add(const ProgressAnswer& a)
{
    total_.add(a);
    // Answers come oldest first, so a day's are together.
    const std::int64_t day = localDayOf(a.whenMs);
    if (days_.empty() || days_.back().first != day)
        days_.emplace_back(day, Gathering{});
    days_.back().second.add(a);
    switch (familyOf(a, exercise_)) {
    case Family::Note:
        pitches_[a.pitch].add(a);
        break;
    case Family::Interval:
        intervals_[a.kind].add(a);
        break;
    case Family::Chord:
        chords_[a.kind].add(a);
        break;
    case Family::Other:
        break;
    }
}

void Tally::finish(ProgressFigures& figures)
{
    figures.total = total_.done();
    figures.days.clear();
    for (auto& [day, gathering] : days_)
        figures.days.push_back({day, gathering.done()});
    figures.pitches = finished(pitches_);
    figures.intervals = finished(intervals_);
    figures.chords = finished(chords_);
}

void tally(const std::vector<ProgressAnswer>& answers, const std::string& exercise,
           ProgressFigures& figures)
{
    Tally t(exercise);
    for (const ProgressAnswer& a : answers)
        t.add(a);
    t.finish(figures);
}

AnswerFilter rangeFilter(const ProgressScope& scope, std::int64_t fromMs, std::int64_t toMs)
{
    AnswerFilter filter;
    filter.fromMs = fromMs;
    filter.toMs = toMs;
    filter.exercise = scope.exercise;
    filter.key = scope.key;
    filter.staff = scope.staff;
    return filter;
}

namespace {

// Consecutive practice days ending today, or yesterday while today has
// nothing yet, from the day of the latest answer up to the end of a day.
template <class LatestDayUpTo> int streakBack(std::int64_t today, LatestDayUpTo latestDayUpTo)
{
    std::int64_t expected = today;
    int streak = 0;
    while (true) {
        const std::optional<std::int64_t> day = latestDayUpTo(expected);
        if (!day)
            return streak;
        if (*day == expected) {
            ++streak;
            --expected;
        } else if (streak == 0 && expected == today && *day == today - 1) {
            // Nothing yet today: the streak up to yesterday still stands.
            ++streak;
            expected = today - 2;
        } else {
            return streak;
        }
    }
}

// The day of the scope's latest stored answer up to the end of `day`: the
// index finds it at once, so a long streak costs a query a day, not a scan.
std::optional<std::int64_t> latestStoredDay(const HistoryStore& store, const ProgressScope& scope,
                                            std::int64_t day)
{
    const std::optional<std::int64_t> latest = store.latestAnswer(
        rangeFilter(scope, std::numeric_limits<std::int64_t>::min(), startOfDayMs(day + 1) - 1));
    return latest ? std::optional<std::int64_t>(localDayOf(*latest)) : std::nullopt;
}

} // namespace

int currentStreak(const HistoryStore& store, const ProgressScope& scope, std::int64_t nowMs)
{
    return streakBack(localDayOf(nowMs),
                      [&](std::int64_t day) { return latestStoredDay(store, scope, day); });
}

ProgressFigures progressOf(const HistoryStore& store, const ProgressScope& scope,
                           ProgressRange range, std::int64_t nowMs)
{
    ProgressFigures figures;
    figures.lastDay = localDayOf(nowMs);
    figures.toMs = startOfDayMs(figures.lastDay + 1) - 1;
    if (range == ProgressRange::All) {
        const std::optional<std::int64_t> first = store.earliestAnswer(
            rangeFilter(scope, std::numeric_limits<std::int64_t>::min(), figures.toMs));
        figures.firstDay = first ? std::min(localDayOf(*first), figures.lastDay) : figures.lastDay;
    } else {
        figures.firstDay = figures.lastDay - daysOf(range) + 1;
    }
    figures.fromMs = startOfDayMs(figures.firstDay);
    // Tallied as they are read: a year of answers is never held.
    Tally t(scope.exercise);
    store.visitProgressAnswers(rangeFilter(scope, figures.fromMs, figures.toMs),
                               [&](const ProgressAnswer& a) { t.add(a); });
    t.finish(figures);
    // The tallied days are every practice day of the range: the streak asks
    // the store only for days before it.
    const std::vector<DayFigures>& days = figures.days;
    figures.streakDays = streakBack(figures.lastDay, [&](std::int64_t day) {
        if (day >= figures.firstDay) {
            const auto after =
                std::upper_bound(days.begin(), days.end(), day,
                                 [](std::int64_t d, const DayFigures& f) { return d < f.day; });
            if (after != days.begin())
                return std::optional<std::int64_t>(std::prev(after)->day);
            day = figures.firstDay - 1;
        }
        return latestStoredDay(store, scope, day);
    });
    return figures;
}

} // namespace history
