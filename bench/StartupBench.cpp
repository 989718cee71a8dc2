// From process start to the main window's first paint on the offscreen
// platform. The parent takes the time just before it starts a child copy of
// this program (`bench_startup --child <folder>`); the child makes the real
// window as the program does (system clock, Loopback MIDI service, Qt
// notifications, message boxes recorded instead of shown, a working folder
// with the shipped sprite pack), shows it and writes "painted" on its first
// paint; the parent stops the clock when it reads that line. The median of
// seven starts, in milliseconds.

#include "platform/Clock.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/qt/QtNotifyTarget.h"
#include "platform/testing/Recorders.h"
#include "shell/uMain.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QProcess>
#include <QTimer>

#include "Spread.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            std::fputs("painted\n", stdout);
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }

private:
    bool seen_ = false;
};

int runChild(int argc, char** argv, const fs::path& folder)
{
    QApplication app(argc, argv);
    platform::SystemClock clock;
    platform::midi::LoopbackMidiService midi;
    platform::qt::QtNotifyTargets targets;
    platform::testing::RecordingMessageBoxes messages, startupMessages;
    std::unique_ptr<shell::TfMain> window = shell::createMainWindow(
        {clock, midi, targets, &messages, folder, [](const std::string&) { return true; }},
        startupMessages);
    if (!window)
        return 1;
    FirstPaint painted;
    window->installEventFilter(&painted);
    window->show();
    return QApplication::exec();
}

void BM_StartToFirstPaint(benchmark::State& state)
{
    const fs::path folder = fs::temp_directory_path() / "tessaly-startup-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(fs::path(TESSALY_DATA_DIR) / "keyresources.dat", folder / "keyresources.dat");
    const QString self = QCoreApplication::applicationFilePath();

    std::vector<double> times;
    for (auto _ : state) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const auto start = std::chrono::steady_clock::now();
        child.start(self, {QStringLiteral("--child"), QString::fromStdString(folder.string())});
        bool painted = false;
        while (!painted && child.waitForReadyRead(10'000))
            while (child.canReadLine())
                painted = painted || child.readLine().startsWith("painted");
        const auto end = std::chrono::steady_clock::now();
        child.waitForFinished(10'000);
        if (!painted) {
            state.SkipWithError("the child never painted its window");
            break;
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    fs::remove_all(folder);
    bench::reportSpread(state, std::move(times), "ms");
}
BENCHMARK(BM_StartToFirstPaint)->Iterations(7)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return runChild(argc, argv, argv[2]);
    QCoreApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv);
}
