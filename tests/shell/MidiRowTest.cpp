// The MIDI row of the main window and its monitor, on the Loopback service:
// devices appearing while the window is open, the choice remembered by name
// across a restart, and messages shown as they arrive.

#include "MainWindowFixture.h"
#include "shell/MidiMonitor.h"
#include "shell/MidiPanel.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QRegularExpression>

namespace shell::testing {
namespace {

std::string readText(const fs::path& file)
{
    const std::vector<std::uint8_t> bytes = MainWindow::readBytes(file);
    return {bytes.begin(), bytes.end()};
}

QStringList entries(const QComboBox& combo)
{
    QStringList texts;
    for (int i = 0; i < combo.count(); ++i)
        texts << combo.itemText(i);
    return texts;
}

TEST_F(MainWindow, TheMidiRowFollowsDevicesAndRemembersTheChoiceByName)
{
    {
        TfMain& w = open();
        QComboBox& combo = *w.midiPanel->device;
        EXPECT_EQ(entries(combo), (QStringList{"No MIDI keyboard found", "None"}));
        EXPECT_EQ(combo.currentText(), QStringLiteral("No MIDI keyboard found"));
        EXPECT_EQ(w.midiPanel->status->text(), QStringLiteral("Mouse and keys still answer"));

        // Plugged in while the window is open: the window's own timer finds
        // them and opens the first.
        midi.setDevices({{"Keys One"}, {"Keys Two"}});
        ASSERT_TRUE(QTest::qWaitFor([&] { return combo.count() == 3; }, 3000));
        EXPECT_EQ(entries(combo), (QStringList{"Keys One", "Keys Two", "None"}));
        EXPECT_EQ(combo.currentText(), QStringLiteral("Keys One"));
        EXPECT_EQ(w.midiPanel->status->text(), QStringLiteral("Connected"));

        // Chosen: listened to at once and written down by name.
        emit combo.activated(1);
        EXPECT_EQ(sheet().midiInput().ProductName(), "Keys Two");
        EXPECT_EQ(combo.currentText(), QStringLiteral("Keys Two"));
        EXPECT_NE(readText(folder / "vorlanta.ini").find("MidiInput=Keys Two"), std::string::npos);

        // A note lights the light and shows in the monitor.
        click(w.midiPanel->monitor);
        ASSERT_NE(w.midiMonitor, nullptr);
        ASSERT_TRUE(midi.send(1, {0x90, 60, 100}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.midiPanel->lit(); }, 2000));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return w.midiMonitor->lines->toPlainText().contains(
                    QRegularExpression("Keys Two +ch 1 +Note on +C4 +velocity 100"));
            },
            2000))
            << w.midiMonitor->lines->toPlainText().toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.midiPanel->lit(); }, 2000))
            << "the light goes out again";

        // Pulled out: marked in the list, no message.
        midi.unplug(1);
        midi.setDevices({{"Keys One"}});
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return combo.currentText() == QStringLiteral("Keys Two (disconnected)"); },
            3000));
        EXPECT_EQ(w.midiPanel->status->text(), QStringLiteral("Disconnected: waiting for it"));
        EXPECT_TRUE(messages.messages().empty());
        w.close();
        window.reset();
    }
    // The next start: it is back, and first in the list now.
    midi.setDevices({{"Keys Two"}, {"Keys One"}});
    TfMain& again = open();
    EXPECT_EQ(sheet().midiInput().ProductName(), "Keys Two");
    EXPECT_EQ(sheet().midiInput().DeviceID(), 0);
    EXPECT_EQ(again.midiPanel->device->currentText(), QStringLiteral("Keys Two"));

    // None is remembered too.
    emit again.midiPanel->device->activated(again.midiPanel->device->count() - 1);
    EXPECT_EQ(sheet().midiInput().state(), midi::MidiInputState::Closed);
    EXPECT_EQ(again.midiPanel->status->text(), QStringLiteral("Not listening to a keyboard"));
    EXPECT_NE(readText(folder / "vorlanta.ini").find("MidiInput=\n"), std::string::npos);
}

} // namespace
} // namespace shell::testing
