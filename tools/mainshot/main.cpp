// Opens the main window in the given working folder (it needs
// keyresources.dat there), chooses the exercise on the practice panel (notes
// in C major unless named; others in D major on both staves), starts a run,
// answers the first question right and the second wrong on the piano
// picture, presses the first key of the third, then prints "READY" and
// keeps the window as it is (the run paused, the key held) until it is
// killed.
//
//   tessaly-mainshot <working folder> [notes-in-c | chords | ...]

#include "engine/Practice.h"
#include "platform/Clock.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtNotifyTarget.h"
#include "shell/ImageView.h"
#include "shell/PracticePanel.h"
#include "shell/uMain.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace {

// A point of the second octave on the key of a pitch class.
QPoint keyFor(int pitchClass)
{
    const shell::PianoPoint p = shell::pianoPointOf(pitchClass);
    return {p.x, p.y};
}

// The pitch classes of the asked question, lowest first.
std::vector<int> askedPitchClasses(const engine::TSheetMusic& s)
{
    std::vector<int> classes;
    for (int pc = 0; pc < 12; ++pc)
        if ((s.askedPitchClasses() >> pc) & 1u)
            classes.push_back(pc);
    return classes;
}

void click(shell::TfMain& window, int pitchClass)
{
    QTest::mousePress(window.imgPiano, Qt::LeftButton, {}, keyFor(pitchClass));
    QTest::qWait(60);
    QTest::mouseRelease(window.imgPiano, Qt::LeftButton, {}, keyFor(pitchClass));
}

void waitFor(const std::function<bool()>& done)
{
    while (!done())
        QTest::qWait(10);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8(shell::ApplicationTitle));
    const std::optional<engine::ExerciseKind> kind =
        argc == 3 ? engine::exerciseFromId(argv[2]) : engine::ExerciseKind::NotesInC;
    if (argc < 2 || argc > 3 || !kind) {
        std::fprintf(stderr, "usage: tessaly-mainshot <working folder> [exercise]\n");
        return 2;
    }
    platform::SystemClock clock;
    platform::midi::LoopbackMidiService midi;
    platform::qt::QtNotifyTargets targets;
    platform::qt::QtMessageBoxes messages;
    auto window = shell::createMainWindow({clock, midi, targets, nullptr, argv[1], {}}, messages);
    if (!window)
        return 1;
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return 1;

    shell::PracticePanel& panel = *window->practicePanel;
    panel.exercise->setCurrentIndex(static_cast<int>(*kind));
    if (*kind != engine::ExerciseKind::NotesInC) {
        panel.key->setCurrentIndex(2);
        panel.staff->setCurrentIndex(2);
    }
    QTest::mouseClick(window->bStart, Qt::LeftButton);
    engine::TSheetMusic& s = *window->vars.sheetMusic;
    // Answer the first question right and the second wrong (its last key a
    // semitone off), then press the first key of the third.
    for (int q = 1; q <= 2; ++q) {
        waitFor([&] { return s.askedQuestion() == q; });
        std::vector<int> keys = askedPitchClasses(s);
        if (q == 2)
            keys.back() = (keys.back() + 1) % 12;
        for (const int pc : keys)
            click(*window, pc);
    }
    waitFor([&] { return s.askedQuestion() == 3; });
    QTest::mousePress(window->imgPiano, Qt::LeftButton, {}, keyFor(askedPitchClasses(s).front()));
    window->ThreadedTimer.setEnabled(false); // hold the picture still
    QTest::qWait(200);
    std::printf("READY\n");
    std::fflush(stdout);
    return QApplication::exec();
}
