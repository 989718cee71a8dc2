// Plays sixty days of practice through the real main window: a learner who
// reads notes on both staves in C major, one run on most evenings, gets
// faster and more accurate day by day, and finds ledger-line notes and the
// bass staff harder, with a few notes of their own that stay difficult.
// Answers are clicks on the piano picture, given after the learner's
// response time on a clock that moves only when told; a question left too
// long goes by unanswered, as it would for a player. Then the Progress
// window is opened over the history the runs left and saved as a PNG.
//
//   tessaly-progressshot <working folder with keyresources.dat> <out.png>
//
// The same seed and dates give the same picture.

#include "engine/Practice.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/qt/QtNotifyTarget.h"
#include "platform/testing/FakeClock.h"
#include "platform/testing/Recorders.h"
#include "shell/ImageView.h"
#include "shell/PracticePanel.h"
#include "shell/ProgressWindow.h"
#include "shell/uMain.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>

namespace {

constexpr int Days = 60;
constexpr double LastDay = 46'082.0; // 2026-03-01, days since 1899-12-30
constexpr std::int64_t DayMs = 86'400'000;

class Learner {
public:
    explicit Learner(std::uint32_t seed)
        : random_(seed)
    {
        // A few notes this learner keeps confusing.
        for (const int p : {41, 45, 65, 77, 84})
            ownTrouble_[p] = 0.45;
    }

    void setDay(int day) { skill_ = 1.0 - std::exp(-day / 18.0); }

    // Whether the next answer about `pitch` on `staff` (1 treble, 2 bass) is
    // right, and after how many milliseconds it comes.
    std::pair<bool, std::int64_t> answer(int pitch, int staff)
    {
        const double hard = difficulty(pitch, staff);
        const double pRight =
            std::clamp(0.62 + 0.35 * skill_ - hard * (1.0 - 0.6 * skill_), 0.15, 0.99);
        std::bernoulli_distribution right(pRight);
        std::lognormal_distribution<double> spread(0.0, 0.28);
        const double ms = (2900.0 - 1900.0 * skill_) * (1.0 + 1.6 * hard) * spread(random_);
        return {right(random_), static_cast<std::int64_t>(ms)};
    }

    bool practisesOn(int day)
    {
        // Most days early on, every day of the last week and a half.
        std::bernoulli_distribution keen(0.75);
        return day >= Days - 10 || keen(random_);
    }

    int minutes() { return std::uniform_int_distribution<int>(0, 150)(random_); }

private:
    double difficulty(int pitch, int staff) const
    {
        // Steps of the diatonic scale from the staff's middle line (B4, D3).
        constexpr std::array<int, 12> Step{0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
        const auto stepsOf = [&](int p) {
            return (p / 12) * 7 + Step[static_cast<std::size_t>(p % 12)];
        };
        const int fromMiddle = std::abs(stepsOf(pitch) - stepsOf(staff == 1 ? 71 : 50));
        const double ledger = std::max(0, fromMiddle - 4) / 2.0;
        double hard = 0.2 * ledger + (staff == 2 ? 0.15 : 0.0);
        if (const auto it = ownTrouble_.find(pitch); it != ownTrouble_.end())
            hard += it->second;
        return hard;
    }

    std::mt19937 random_;
    double skill_ = 0;
    std::map<int, double> ownTrouble_;
};

QPoint keyFor(int pitchClass)
{
    const shell::PianoPoint p = shell::pianoPointOf(pitchClass);
    return {p.x, p.y};
}

// The asked question's pitch and its staff (1 treble, 2 bass).
std::pair<int, int> askedNote(const engine::TSheetMusic& s)
{
    for (int v = 1; v <= 2; ++v) {
        const auto& item = s.slot(v, s.askedQuestion());
        if (item.onScreen && item.note())
            return {item.note()->getPitch(), v};
    }
    return {-1, 0};
}

// One run to its end, answered by `learner` on the piano picture.
void playRun(shell::TfMain& window, platform::testing::FakeClock& clock, Learner& learner)
{
    engine::TSheetMusic& s = *window.vars.sheetMusic;
    QTest::mouseClick(window.bStart, Qt::LeftButton);
    int asked = -1;
    std::int64_t dueAtMs = 0;
    bool right = false;
    for (int t = 0; t < 200'000 && window.bStart->text() != QStringLiteral("Start"); ++t) {
        clock.advanceMs(s.tickInterval());
        window.ThreadedTimerTimer();
        if (!s.running() || s.askedQuestion() < 1)
            continue;
        if (s.askedQuestion() != asked) {
            asked = s.askedQuestion();
            const auto [pitch, staff] = askedNote(s);
            if (pitch < 0)
                continue;
            const auto [isRight, afterMs] = learner.answer(pitch, staff);
            right = isRight;
            dueAtMs = s.nowMs() + afterMs;
        }
        if (dueAtMs != 0 && s.nowMs() >= dueAtMs) {
            const int pitch = askedNote(s).first;
            const QPoint at = keyFor((pitch + (right ? 0 : 1)) % 12);
            QTest::mousePress(window.imgPiano, Qt::LeftButton, {}, at);
            QTest::mouseRelease(window.imgPiano, Qt::LeftButton, {}, at);
            dueAtMs = 0;
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8(shell::ApplicationTitle));
    if (argc != 3) {
        std::fprintf(stderr, "usage: tessaly-progressshot <working folder> <out.png>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::remove(folder / "history.sqlite");
    std::filesystem::remove(folder / "history.sqlite-wal");
    std::filesystem::remove(folder / "history.sqlite-shm");

    const double firstDay = LastDay - (Days - 1);
    platform::testing::FakeClock clock(firstDay + 17.0 / 24.0);
    platform::midi::LoopbackMidiService midi;
    platform::qt::QtNotifyTargets targets;
    platform::testing::RecordingMessageBoxes messages;
    auto window = shell::createMainWindow({clock, midi, targets, &messages, folder, {}}, messages);
    if (!window)
        return 1;
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return 1;
    shell::PracticePanel& panel = *window->practicePanel;
    panel.exercise->setCurrentIndex(static_cast<int>(engine::ExerciseKind::NotesInC));
    panel.staff->setCurrentIndex(static_cast<int>(engine::ClefSetting::Both));

    Learner learner(20260301);
    int runs = 0;
    for (int day = 0; day < Days; ++day) {
        // To this day's evening.
        const double evening = firstDay + day + 17.0 / 24.0;
        const auto target = static_cast<std::int64_t>(
            std::llround((evening - clock.now()) * static_cast<double>(DayMs)));
        if (target > 0)
            clock.advanceMs(target + learner.minutes() * 60'000LL);
        if (!learner.practisesOn(day))
            continue;
        learner.setDay(day);
        playRun(*window, clock, learner);
        ++runs;
        std::fprintf(stderr, "day %d: %d runs\n", day + 1, runs);
    }
    for (const std::string& text : messages.messages())
        std::fprintf(stderr, "message: %s\n", text.c_str());

    // Opened as the player opens it, on what the panel shows.
    QTest::mouseClick(window->bProgress, Qt::LeftButton);
    shell::ProgressWindow& progress = *window->progressWindow;
    progress.rangeBox->setCurrentIndex(3); // All: the whole sixty days
    if (!QTest::qWaitForWindowExposed(&progress))
        return 1;
    QTest::qWait(300);
    if (!progress.grab().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "could not write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s\n", argv[2]);
    return 0;
}
