// Opens the main window in the given working folder (it needs
// keyresources.dat there) with two keyboards of the in-process MIDI service,
// chooses the second, plays a phrase on it (notes, the sustain pedal, a
// program change, a pitch bend), opens the MIDI monitor beside the window,
// then prints "READY" and keeps both as they are until it is killed.
//
//   tessaly-midishot <working folder>

#include "platform/Clock.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtNotifyTarget.h"
#include "shell/MidiMonitor.h"
#include "shell/MidiPanel.h"
#include "shell/uMain.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8(shell::ApplicationTitle));
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaly-midishot <working folder>\n");
        return 2;
    }
    platform::SystemClock clock;
    platform::midi::LoopbackMidiService midi({{"Digital Piano"}, {"USB Keys MIDI 1"}});
    platform::qt::QtNotifyTargets targets;
    platform::qt::QtMessageBoxes messages;
    auto window = shell::createMainWindow({clock, midi, targets, nullptr, argv[1], {}}, messages);
    if (!window)
        return 1;
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return 1;
    emit window->midiPanel->device->activated(1);
    QTest::mouseClick(window->midiPanel->monitor, Qt::LeftButton);
    // Beside the main window (Xvfb runs no window manager to place it).
    window->midiMonitor->move(window->x(), window->y() + window->height() + 8);
    window->midiMonitor->resize(window->width(), 330);

    using Bytes = std::vector<std::uint8_t>;
    const std::vector<Bytes> phrase = {
        {0xC0, 0},      {0xB0, 64, 127}, {0x90, 60, 92}, {0x90, 64, 80}, {0x80, 60, 40},
        {0x90, 67, 85}, {0x90, 64, 0},   {0x80, 67, 35}, {0xE0, 0, 80},  {0xE0, 0, 64},
        {0xB0, 64, 0},  {0x90, 72, 101}, {0x90, 72, 0},
    };
    for (const Bytes& message : phrase) {
        midi.send(1, message);
        QTest::qWait(90);
    }
    QTest::qWait(200);
    midi.send(1, {0x90, 76, 96});
    QTest::qWait(30);
    // The light stays on for the picture.
    window->midiPanel->blink();
    for (QTimer* timer : window->midiPanel->findChildren<QTimer*>())
        timer->stop();
    std::printf("READY\n");
    std::fflush(stdout);
    return QApplication::exec();
}
