// The Progress window over a year of practice: 100,000 answers in the scope
// shown and 30,000 in others. How long the heat-map figures take to read
// from history.sqlite, and how long the window takes from being made to its
// first paint (offscreen).

#include "Spread.h"
#include "history/Progress.h"
#include "platform/testing/Recorders.h"
#include "shell/ProgressWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>

namespace {

constexpr std::int64_t Day = 86'400'000;
constexpr std::int64_t Today = 20'516; // 2026-03-04
constexpr std::int64_t Now = Today * Day + 18 * 3'600'000;
const history::ProgressScope Shown{"mixed", 2, "treble"};

// A year's answers, oldest first, about a third each notes, intervals and
// chords; one in ten in the shown scope's neighbours.
class YearOfPractice {
public:
    YearOfPractice()
    {
        folder_ = std::filesystem::temp_directory_path() /
                  ("tessaly-bench-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder_);
        store_ = std::make_unique<history::HistoryStore>(folder_ / "history.sqlite", messages_,
                                                         "2026-03-04");
        std::mt19937 random(7);
        constexpr int Answers = 130'000;
        for (int n = 0; n < Answers; ++n) {
            history::AnswerRow r;
            r.whenMs = (Today - 364) * Day + static_cast<std::int64_t>(n) * (365 * Day / Answers);
            const bool shown = n % 13 < 10;
            r.exercise = shown || n % 2 == 0 ? Shown.exercise : "notes-in-key";
            r.key = shown ? Shown.key : static_cast<std::int32_t>(random() % 12);
            r.staff = shown ? Shown.staff : "bass";
            const int root = 55 + static_cast<int>(random() % 24);
            switch (n % 3) {
            case 0:
                r.questionPitches = {root};
                break;
            case 1:
                r.questionKind = 1 + static_cast<std::int32_t>(random() % 15);
                r.questionPitches = {root, root + 4};
                break;
            default:
                r.questionKind = 1 + static_cast<std::int32_t>(random() % 14);
                r.questionPitches = {root, root + 4, root + 7};
                break;
            }
            const auto roll = random() % 10;
            r.outcome = roll < 7   ? history::Outcome::Right
                        : roll < 9 ? history::Outcome::Wrong
                                   : history::Outcome::Unanswered;
            r.responseMs = r.outcome == history::Outcome::Unanswered
                               ? -1
                               : 400 + static_cast<std::int32_t>(random() % 4000);
            r.answerPitches = r.questionPitches;
            store_->record(std::move(r));
        }
        store_->flush();
    }
    ~YearOfPractice()
    {
        store_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const history::HistoryStore& store() const { return *store_; }
    platform::testing::RecordingMessageBoxes& messages() { return messages_; }

private:
    std::filesystem::path folder_;
    platform::testing::RecordingMessageBoxes messages_;
    std::unique_ptr<history::HistoryStore> store_;
};

YearOfPractice& year()
{
    static YearOfPractice practice;
    return practice;
}

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Everything the window shows for the shown scope over its whole year: the
// 100,000 answers read, tallied by day, pitch and kind, and the streak.
void BM_HeatMapFiguresOfAYear(benchmark::State& state)
{
    const history::HistoryStore& store = year().store();
    std::vector<double> samples;
    std::size_t asked = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const history::ProgressFigures f =
            history::progressOf(store, Shown, history::ProgressRange::Days365, Now);
        samples.push_back(msSince(start));
        asked = static_cast<std::size_t>(f.total.asked);
        benchmark::DoNotOptimize(f.pitches.size());
    }
    state.counters["answers"] = static_cast<double>(asked);
    bench::reportSpread(state, samples, "ms");
}
BENCHMARK(BM_HeatMapFiguresOfAYear)->Iterations(30)->Unit(benchmark::kMillisecond);

// The window made, filled for the shown scope and painted once, for range
// 0..3 ("7 days" .. "All").
void BM_OpenWindowToFirstPaint(benchmark::State& state)
{
    YearOfPractice& practice = year();
    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        shell::ProgressWindow window(nullptr, practice.store(), practice.messages(),
                                     [] { return Now; });
        window.rangeBox->setCurrentIndex(static_cast<int>(state.range(0)));
        window.showScope(Shown.exercise, Shown.key, Shown.staff);
        const QPixmap painted = window.grab();
        samples.push_back(msSince(start));
        benchmark::DoNotOptimize(painted.cacheKey());
    }
    bench::reportSpread(state, samples, "ms");
}
BENCHMARK(BM_OpenWindowToFirstPaint)
    ->DenseRange(0, 3)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv);
}
