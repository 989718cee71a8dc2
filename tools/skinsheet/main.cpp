// Opens the main window in the given working folder (it needs
// keyresources.dat there), lets a run go on for a while, then draws the
// window under each built-in skin and writes the twelve pictures into one
// PNG, four to a row in index order, each with the skin's index and name
// above it. Given a skin index, writes that skin's picture alone. On a
// scaled screen (QT_SCALE_FACTOR=2) the pictures have the screen's pixels.
//
//   tessaly-skinsheet <working folder> <output png> [skin index]

#include "platform/midi/LoopbackMidiService.h"
#include "platform/qt/QtNotifyTarget.h"
#include "platform/testing/FakeClock.h"
#include "platform/testing/Recorders.h"
#include "shell/uMain.h"
#include "skin/SkinManager.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <vector>

namespace {

constexpr int Columns = 4;
constexpr int Gap = 12;
constexpr int CaptionHeight = 28;

QImage contactSheet(const std::vector<QImage>& shots)
{
    const QSize cell = shots.front().size();
    const int rows = (static_cast<int>(shots.size()) + Columns - 1) / Columns;
    QImage sheet(Gap + Columns * (cell.width() + Gap),
                 Gap + rows * (CaptionHeight + cell.height() + Gap), QImage::Format_RGB32);
    sheet.fill(QColor(64, 64, 68));

    QPainter painter(&sheet);
    QFont font = QApplication::font();
    font.setPixelSize(18);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    for (int i = 0; i < static_cast<int>(shots.size()); ++i) {
        const int left = Gap + (i % Columns) * (cell.width() + Gap);
        const int top = Gap + (i / Columns) * (CaptionHeight + cell.height() + Gap);
        const QString caption =
            QStringLiteral("%1  %2").arg(i).arg(QString::fromStdString(skin::builtInSkinName(i)));
        painter.drawText(QRect(left, top, cell.width(), CaptionHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, caption);
        painter.drawImage(left, top + CaptionHeight, shots[static_cast<std::size_t>(i)]);
    }
    return sheet;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8(shell::ApplicationTitle));
    bool indexRead = argc == 3;
    const int only = argc == 4 ? QString::fromLocal8Bit(argv[3]).toInt(&indexRead) : -1;
    if ((argc != 3 && argc != 4) || !indexRead ||
        (argc == 4 && (only < 0 || only >= skin::SkinCount))) {
        std::fprintf(stderr,
                     "usage: tessaly-skinsheet <working folder> <output png> [skin index]\n");
        return 2;
    }
    platform::testing::FakeClock clock;
    platform::midi::LoopbackMidiService midi;
    platform::qt::QtNotifyTargets targets;
    platform::testing::RecordingMessageBoxes messages;
    auto window = shell::createMainWindow({.clock = clock,
                                           .midi = midi,
                                           .notifyTargets = targets,
                                           .messages = &messages,
                                           .workFolder = argv[1],
                                           .openUrl = {}},
                                          messages);
    if (!window) {
        for (const std::string& text : messages.messages())
            std::fprintf(stderr, "%s\n", text.c_str());
        return 1;
    }
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return 1;

    // A run some way in: notes on the staff, score, time and count showing.
    // The ticks come from here, on the fake clock, so every skin gets the
    // same picture.
    QTest::mouseClick(window->bStart, Qt::LeftButton);
    window->ThreadedTimer.setEnabled(false);
    for (int tick = 0; tick < 60; ++tick) {
        clock.advanceMs(250);
        window->ThreadedTimerTimer();
    }

    std::vector<QImage> shots;
    for (int i = 0; i < skin::SkinCount; ++i) {
        if (only >= 0 && i != only)
            continue;
        skin::TSkinManager manager(*window);
        manager.setSkinName(skin::builtInSkinName(i));
        manager.setActive(true);
        QTest::qWait(50);
        QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Pixel for pixel on the sheet, whatever the screen's scale.
        shot.setDevicePixelRatio(1);
        shots.push_back(shot);
    }
    const QImage result = only >= 0 ? shots.front() : contactSheet(shots);
    if (!result.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
