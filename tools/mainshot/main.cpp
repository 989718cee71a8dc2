// Opens the main window in the given working folder (it needs
// keyresources.dat there), starts a run, answers the first question right
// and the second wrong on the piano picture, holds down the key of the
// third, then prints "READY" and keeps
// the window as it is (the run paused, the key held) until it is killed.
//
//   tessaly-mainshot <working folder>

#include "platform/Clock.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtNotifyTarget.h"
#include "shell/ImageView.h"
#include "shell/uMain.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <functional>

namespace {

// A point of the second octave on the key of a pitch class.
QPoint keyFor(int pitchClass)
{
    const shell::PianoPoint p = shell::pianoPointOf(pitchClass);
    return {p.x, p.y};
}

int askedPitchClass(const engine::TSheetMusic& s)
{
    int pitch = 0;
    for (int v = 1; v <= 2; ++v) {
        const auto& item = s.slot(v, s.askedQuestion());
        if (item.onScreen && item.note())
            pitch = item.note()->getPitch();
    }
    return pitch % 12;
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
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaly-mainshot <working folder>\n");
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

    QTest::mouseClick(window->bStart, Qt::LeftButton);
    engine::TSheetMusic& s = *window->vars.sheetMusic;
    // Let three questions in, answer the first right and the second wrong,
    // then hold the key of the third while the fourth comes in.
    waitFor([&] { return s.lastOnStaff() >= 3; });
    for (int q = 1; q <= 2; ++q) {
        waitFor([&] { return s.askedQuestion() == q; });
        const int pc = (askedPitchClass(s) + (q == 1 ? 0 : 1)) % 12;
        QTest::mousePress(window->imgPiano, Qt::LeftButton, {}, keyFor(pc));
        QTest::qWait(60);
        QTest::mouseRelease(window->imgPiano, Qt::LeftButton, {}, keyFor(pc));
    }
    waitFor([&] { return s.askedQuestion() == 3 && s.lastOnStaff() >= 4; });
    QTest::mousePress(window->imgPiano, Qt::LeftButton, {}, keyFor(askedPitchClass(s)));
    window->ThreadedTimer.setEnabled(false); // hold the picture still
    QTest::qWait(200);
    std::printf("READY\n");
    std::fflush(stdout);
    return QApplication::exec();
}
