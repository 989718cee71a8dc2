// Tessaly Notes: the program's entry. Builds the main window in the working
// folder (its sprite pack, scores and settings live there), shows it and runs
// the message loop until it closes.

#include "platform/Clock.h"
#include "platform/IniFile.h"
#include "platform/midi/RtMidiService.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtNotifyTarget.h"
#include "shell/CommandLine.h"
#include "shell/uMain.h"

#include <QApplication>
#include <QProcess>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

namespace {

// Set by SIGTERM or SIGINT (a logout, Ctrl+C): the window is closed as if by
// the user, so that the settings are written.
volatile std::sig_atomic_t quitAsked = 0;

extern "C" void askToQuit(int /*signal*/) { quitAsked = 1; }

} // namespace

int main(int argc, char* argv[])
{
    // The command line is read before the window system is reached, so
    // that --help and a wrong argument answer on a machine without one.
    shell::CommandLine commandLine;
    {
        QCoreApplication reading(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("tessaly-notes"));
        commandLine = shell::readCommandLine(QCoreApplication::arguments());
    }
    if (!commandLine.run) {
        std::fputs(commandLine.out.c_str(), stdout);
        std::fputs(commandLine.error.c_str(), stderr);
        return commandLine.exitCode;
    }

    // The size the player chose multiplies the desktop's scale; Qt takes it
    // from the environment when the application starts.
    const std::filesystem::path folder = std::filesystem::current_path();
    const QByteArray givenScale = qgetenv("QT_SCALE_FACTOR");
    const bool scaleGiven = qEnvironmentVariableIsSet("QT_SCALE_FACTOR");
    {
        int percent = 100;
        try {
            platform::IniFile settings(folder / shell::SettingsFileName);
            percent = shell::sizePercentFrom(
                settings.ReadString(shell::SettingsSection, shell::SizeKey, "100"));
        } catch (const std::exception&) {
            // Unreadable settings: the window says so itself.
        }
        const std::string factor = shell::scaleFactorFor(givenScale.toStdString(), percent);
        if (!factor.empty())
            qputenv("QT_SCALE_FACTOR", QByteArray::fromStdString(factor));
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(shell::ApplicationTitle));
    QApplication::setApplicationDisplayName(QString::fromUtf8(shell::ApplicationTitle));

    platform::SystemClock clock;
    platform::midi::RtMidiService midi;
    platform::qt::QtNotifyTargets targets;
    platform::qt::QtMessageBoxes startupMessages;

    std::unique_ptr<shell::TfMain> fMain =
        shell::createMainWindow({clock, midi, targets, nullptr, folder, {}}, startupMessages);
    if (!fMain)
        return 1;
    fMain->practiseForThisStart(commandLine.choice.over(fMain->vars.practice));
    fMain->show();

    std::signal(SIGTERM, askToQuit);
    std::signal(SIGINT, askToQuit);
    QTimer quitWatch;
    QObject::connect(&quitWatch, &QTimer::timeout, fMain.get(), [&fMain] {
        if (quitAsked != 0)
            fMain->close();
    });
    quitWatch.start(100);
    const int status = QApplication::exec();
    // The scores, the settings and the history are written by now. Letting
    // go of a JACK client while its server is going away at the same moment
    // can block inside libjack for ever; the program ends all the same.
    std::thread([status] {
        std::this_thread::sleep_for(std::chrono::seconds(5));
        std::_Exit(status);
    }).detach();
    if (fMain->restartAsked()) {
        // The new start sees the environment this one was given.
        if (scaleGiven)
            qputenv("QT_SCALE_FACTOR", givenScale);
        else
            qunsetenv("QT_SCALE_FACTOR");
        fMain.reset();
        QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                QCoreApplication::arguments().mid(1),
                                QString::fromStdString(folder.string()));
    }
    return status;
}
