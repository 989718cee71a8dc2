#pragma once

// The main window as the program makes it, in a fresh working folder with
// the shipped sprite pack, on a fake clock and the Loopback MIDI service.

#include "ShippedSprites.h"
#include "TempFolder.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/qt/QtNotifyTarget.h"
#include "platform/testing/FakeClock.h"
#include "platform/testing/Recorders.h"
#include "scores/uHighscore.h"
#include "shell/ImageView.h"
#include "shell/uMain.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace shell::testing {

namespace fs = std::filesystem;

// Records a button's caption every time it is painted, so a caption that
// is shown only while the GUI thread is busy can be seen.
class PaintedCaptions : public QObject {
public:
    explicit PaintedCaptions(QPushButton& button)
        : button_(button)
    {
        button_.installEventFilter(this);
    }
    std::vector<QString> captions;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &button_ && event->type() == QEvent::Paint)
            captions.push_back(button_.text());
        return false;
    }

private:
    QPushButton& button_;
};

inline int visibleLayers(const gfx::TImage32& image)
{
    int n = 0;
    for (int i = 0; i < image.layerCount(); ++i)
        n += image.layer(i).visible() ? 1 : 0;
    return n;
}

// Where to click the piano picture for a pitch class.
inline QPoint keyFor(int pitchClass)
{
    const PianoPoint p = pianoPointOf(pitchClass);
    return {p.x, p.y};
}

class MainWindow : public testsupport::TempFolder {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        fs::copy_file(testsupport::dataFolder() / "keyresources.dat", folder / "keyresources.dat");
    }
    void TearDown() override
    {
        window.reset();
        TempFolder::TearDown();
    }

    // The window as the program makes it, shown.
    TfMain& open()
    {
        window = createMainWindow(services(), startupMessages);
        EXPECT_NE(window, nullptr);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }
    TfMainServices services()
    {
        return {clock, midi, targets, &messages, folder, [this](const std::string& address) {
                    opened.push_back(address);
                    return browserOpens;
                }};
    }

    engine::TSheetMusic& sheet() { return *window->vars.sheetMusic; }
    std::string caption() const { return window->bStart->text().toStdString(); }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // One tick as the timer delivers it, a second of the clock apart.
    void tick()
    {
        clock.advanceMs(1000);
        window->ThreadedTimerTimer();
    }

    // Answers the asked question on the piano picture: the right key, or
    // the key a semitone above it.
    void answerAsked(bool right)
    {
        const int pitch = askedPitch();
        ASSERT_GE(pitch, 0);
        const QPoint at = keyFor((pitch + (right ? 0 : 1)) % 12);
        QTest::mousePress(window->imgPiano, Qt::LeftButton, {}, at);
        QTest::mouseRelease(window->imgPiano, Qt::LeftButton, {}, at);
    }

    // The pitch of the note being asked (voice 2's when both hold one), or
    // -1 when no note is asked.
    int askedPitch()
    {
        const engine::TSheetMusic& s = sheet();
        int pitch = -1;
        for (int v = 1; v <= 2 && s.askedQuestion() >= 1; ++v) {
            const auto& item = s.slot(v, s.askedQuestion());
            if (item.onScreen && item.note())
                pitch = item.note()->getPitch();
        }
        return pitch;
    }

    // Ticks until the run ends by itself, answering every question once.
    // Returns the number of questions answered.
    int playWholeRun(bool right)
    {
        return playWholeRun([right](int) { return right; });
    }
    // The same, answering question q right when `right(q)` says so; `after`
    // is told how many have been answered after each answer.
    int playWholeRun(const std::function<bool(int)>& right,
                     const std::function<void(int)>& after = {})
    {
        int answered = 0;
        int lastAsked = -1;
        for (int t = 0; t < 20'000 && caption() != "Start"; ++t) {
            tick();
            if (sheet().running() && sheet().askedQuestion() > 0 &&
                sheet().askedQuestion() != lastAsked) {
                lastAsked = sheet().askedQuestion();
                answerAsked(right(lastAsked));
                ++answered;
                if (after)
                    after(answered);
            }
        }
        return answered;
    }

    scores::ScoreTable storedFile() const
    {
        const std::vector<std::uint8_t> bytes = readBytes(folder / "keyscore.dat");
        EXPECT_EQ(bytes.size(), 36'288u);
        scores::ScoreTable table{};
        if (bytes.size() == 36'288u)
            scores::decodeScores(bytes, table);
        return table;
    }

    bool buttonsOfIdle() const
    {
        return window->bInfo->isEnabled() && window->bStats->isEnabled() &&
               window->bProgress->isEnabled() && window->bSupport->isEnabled() &&
               window->bSkin->isEnabled() && window->bStart->isEnabled() &&
               !window->bReset->isEnabled();
    }
    bool buttonsOfARun() const
    {
        return !window->bInfo->isEnabled() && !window->bStats->isEnabled() &&
               !window->bProgress->isEnabled() && !window->bSupport->isEnabled() &&
               !window->bSkin->isEnabled() && window->bStart->isEnabled() &&
               window->bReset->isEnabled();
    }

    platform::testing::FakeClock clock;
    platform::midi::LoopbackMidiService midi;
    platform::qt::QtNotifyTargets targets;
    platform::testing::RecordingMessageBoxes messages, startupMessages;
    std::vector<std::string> opened; // web addresses the window asked to open
    bool browserOpens = true;        // what opening one reports
    std::unique_ptr<TfMain> window;
};

} // namespace shell::testing
