// Tessaly Notes: the program's entry. Builds the main window in the working
// folder (its sprite pack, scores and settings live there), shows it and runs
// the message loop until it closes.

#include "platform/Clock.h"
#include "platform/midi/RtMidiService.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtNotifyTarget.h"
#include "shell/uMain.h"

#include <QApplication>

#include <filesystem>
#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(shell::ApplicationTitle));
    QApplication::setApplicationDisplayName(QString::fromUtf8(shell::ApplicationTitle));

    platform::SystemClock clock;
    platform::midi::RtMidiService midi;
    platform::qt::QtNotifyTargets targets;
    platform::qt::QtMessageBoxes startupMessages;
    const std::filesystem::path folder = std::filesystem::current_path();

    std::unique_ptr<shell::TfMain> fMain =
        shell::createMainWindow({clock, midi, targets, nullptr, folder}, startupMessages);
    if (!fMain)
        return 1;
    fMain->show();
    return QApplication::exec();
}
