#include "MainWindowFixture.h"
#include "platform/Files.h"
#include "shell/Controls.h"
#include "shell/uInfo.h"
#include "shell/uStatistics.h"
#include "skin/SkinManager.h"

#include <QPlainTextEdit>

#include <fstream>

namespace shell {
namespace {

using namespace shell::testing;

std::string textOf(const QPlainTextEdit* box) { return box->toPlainText().toStdString(); }

void writeText(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string withoutCr(std::string s)
{
    std::erase(s, '\r');
    return s;
}

// --- Info ---------------------------------------------------------------------------

TEST_F(MainWindow, InfoCoversTheWindowWithTheSameFilledTextEachTime)
{
    TfMain& w = open();
    ASSERT_NE(w.fInfo, nullptr);
    EXPECT_FALSE(w.fInfo->isVisible());

    click(w.bInfo);
    ASSERT_TRUE(w.fInfo->isVisible());
    EXPECT_EQ(w.fInfo->parentWidget(), &w);
    EXPECT_EQ(w.fInfo->geometry(), w.rect());
    EXPECT_EQ(w.fInfo->bClose->geometry(), QRect(285, 281, 75, 25));
    EXPECT_EQ(w.fInfo->bClose->font(), bodyFont()); // made under a skin, still the window's font
    EXPECT_EQ(w.childAt(60, 200), w.fInfo);         // over the staff
    EXPECT_EQ(w.childAt(80, 537), w.fInfo);         // over the Start button
    const QStringList lines = w.fInfo->mInfo->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "Tessaly - Notes - v1.0.0");
    EXPECT_TRUE(lines[2].endsWith(QString::number(platform::yearOf(clock.now()))))
        << lines[2].toStdString();
    EXPECT_FALSE(w.fInfo->mInfo->toPlainText().contains('x' + QString("jaartalx")));
    EXPECT_EQ(lines[5].toStdString(), ProjectSite);
    EXPECT_EQ(textOf(w.fInfo->mUsage), " USAGE\n o Press 'Start' to start to playing\n"
                                       " o Press 'Reset' to reset and start over");

    click(w.fInfo->bClose);
    EXPECT_FALSE(w.fInfo->isVisible());
    click(w.bInfo);
    EXPECT_EQ(w.fInfo->mInfo->toPlainText().split('\n'), lines);
}

// --- Statistics -------------------------------------------------------------------------

class Statistics : public MainWindow {
protected:
    // A score file in which C major, treble, note naming has been played.
    void SetUp() override
    {
        MainWindow::SetUp();
        scores::ScoreTable table{}; // no best time anywhere
        scores::ScoreRecord& r = table[1][0][1];
        r.rightTotal = 30;
        r.wrongTotal = 10;
        r.bestTime = 95;
        r.noteStats.items[0] = {7, 1, 8};
        r.noteStats.items[4] = {2, 2, 4};
        writeBytes(folder / "keyscore.dat", scores::encodeScores(table));
    }
    std::string storedTimeScore() const
    {
        std::string text;
        window->vars.sheetMusic->scores().timescoreStatInfo(1, 0, 1, text);
        return withoutCr(text);
    }
    std::string storedNoteStats() const
    {
        std::string text;
        window->vars.sheetMusic->scores().noteStatInfo(1, 0, 1, text);
        return withoutCr(text);
    }
};

TEST_F(Statistics, ShowsTheStoredTextsOfTheKey)
{
    TfMain& w = open();
    click(w.bStats);
    ASSERT_TRUE(w.fStats->isVisible());
    EXPECT_EQ(w.fStats->Label1->text(), "C Major");
    EXPECT_EQ(w.fStats->Label1->font(), uiFont(24));
    EXPECT_EQ(w.fStats->mNoteStats->geometry(), QRect(272, 152, 159, 280));
    EXPECT_EQ(w.fStats->bResetNotes->font(), bodyFont());
    EXPECT_EQ(textOf(w.fStats->mTimeScore), storedTimeScore());
    EXPECT_EQ(textOf(w.fStats->mNoteStats), storedNoteStats());
    EXPECT_NE(storedTimeScore().find("75"), std::string::npos);     // 30 of 40 right
    EXPECT_NE(storedNoteStats().find("87.50%"), std::string::npos); // C: 7 of 8
}

TEST_F(Statistics, ResetsOnlyOnYesAndOnlyWhatTheyName)
{
    TfMain& w = open();
    click(w.bStats);
    const std::string notes = textOf(w.fStats->mNoteStats);
    const std::string timeScore = textOf(w.fStats->mTimeScore);

    messages.queueAnswer(false);
    click(w.fStats->bResetTimeScore);
    messages.queueAnswer(false);
    click(w.fStats->bResetNotes);
    EXPECT_EQ(messages.questions(),
              (std::vector<std::string>{"Reset time and score for this key and clef?",
                                        "Reset note statistics for this key and clef?"}));
    // Return answers No: a reset is never one key press away.
    EXPECT_EQ(messages.defaultButtons(),
              (std::vector<platform::DefaultButton>{platform::DefaultButton::No,
                                                    platform::DefaultButton::No}));
    EXPECT_EQ(textOf(w.fStats->mTimeScore), timeScore);
    EXPECT_EQ(textOf(w.fStats->mNoteStats), notes);
    EXPECT_EQ(storedTimeScore(), timeScore);

    messages.queueAnswer(true);
    click(w.fStats->bResetTimeScore);
    EXPECT_EQ(textOf(w.fStats->mTimeScore), "Score and time: No scores yet...");
    EXPECT_EQ(textOf(w.fStats->mNoteStats), notes);

    click(w.fStats->bClose);
    EXPECT_FALSE(w.fStats->isVisible());
    click(w.bStats);
    EXPECT_EQ(textOf(w.fStats->mTimeScore), "Score and time: No scores yet...");
    EXPECT_EQ(textOf(w.fStats->mNoteStats), notes);

    messages.queueAnswer(true);
    click(w.fStats->bResetNotes);
    EXPECT_EQ(textOf(w.fStats->mNoteStats), "NOTES\nNo scores yet...");
    EXPECT_EQ(messages.defaultButtons().size(), 4u);
    for (const platform::DefaultButton b : messages.defaultButtons())
        EXPECT_EQ(b, platform::DefaultButton::No);
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(Statistics, AConfirmedResetSurvivesARestart)
{
    TfMain& w = open();
    click(w.bStats);
    const std::string notes = textOf(w.fStats->mNoteStats);
    messages.queueAnswer(true);
    click(w.fStats->bResetTimeScore);
    window->close();
    window.reset();

    // The program started again, before any run has ended.
    TfMain& again = open();
    click(again.bStats);
    EXPECT_EQ(textOf(again.fStats->mTimeScore), "Score and time: No scores yet...");
    EXPECT_EQ(textOf(again.fStats->mNoteStats), notes);

    messages.queueAnswer(true);
    click(again.fStats->bResetNotes);
    window.reset();
    platform::testing::RecordingTextLabel label;
    const scores::THighScore store(label, messages, folder);
    const scores::ScoreRecord& r = store.storedScores()[1][0][1];
    EXPECT_EQ(r.noteStats[0].asked, 0);
    EXPECT_EQ(r.noteStats[4].asked, 0);
    EXPECT_EQ(r.rightTotal, 0);
    EXPECT_EQ(r.bestTime, 9999);
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(Statistics, AResetThatCannotBeSavedIsToldOnceAndTheProgramGoesOn)
{
    TfMain& w = open();
    // A folder where the new file is written first stops the save.
    fs::create_directory(platform::temporaryFor(folder / "keyscore.dat"));
    click(w.bStats);
    messages.queueAnswer(true);
    click(w.fStats->bResetTimeScore);

    ASSERT_EQ(messages.messages().size(), 1u);
    const std::string& text = messages.messages().front();
    EXPECT_NE(text.find("keyscore.dat"), std::string::npos) << text;
    EXPECT_NE(text.find("Is a directory"), std::string::npos) << text; // the reason
    // The reset stands for now; the window goes on working.
    EXPECT_EQ(textOf(w.fStats->mTimeScore), "Score and time: No scores yet...");
    click(w.fStats->bClose);
    EXPECT_FALSE(w.fStats->isVisible());
    click(w.bStart);
    EXPECT_EQ(caption(), "Playing");
}

// --- Settings and skins -------------------------------------------------------------------

struct SettingsCase {
    const char* name;
    const char* before; // null: no file
    const char* startsWith;
    const char* after; // after one Change skin and closing
};
void PrintTo(const SettingsCase& c, std::ostream* os) { *os << c.name; }

class Settings : public MainWindow, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(Settings, TheSkinComesFromTheFileAndGoesBackAtClose)
{
    const SettingsCase& c = GetParam();
    const fs::path ini = folder / "vorlanta.ini";
    if (c.before != nullptr)
        writeText(ini, c.before);
    TfMain& w = open();
    EXPECT_EQ(w.sSkinManager->SkinName(), c.startsWith);
    EXPECT_TRUE(w.sSkinManager->Active());
    EXPECT_FALSE(w.styleSheet().isEmpty());

    click(w.bSkin);
    w.close();
    const std::vector<std::uint8_t> bytes = readBytes(ini);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, Settings,
    ::testing::Values(
        SettingsCase{"NoFile", nullptr, "Beijing (internal)", "[Tessaly - Notes]\nSkin=1\n"},
        SettingsCase{"OthersKept",
                     "; mine\r\n[Window]\r\nSkin=9\r\n\r\n[Tessaly - Notes]\r\nSkin=4\r\nX=y\r\n",
                     "Winter2003 (internal)",
                     "; mine\r\n[Window]\r\nSkin=9\r\n\r\n[Tessaly - Notes]\r\nSkin=5\r\nX=y\r\n"},
        SettingsCase{"NotANumber", "[Tessaly - Notes]\nSkin=abc\n", "Beijing (internal)",
                     "[Tessaly - Notes]\nSkin=1\n"},
        SettingsCase{"OutOfRange", "[Tessaly - Notes]\nSkin=42\n", "Beijing (internal)",
                     "[Tessaly - Notes]\nSkin=1\n"},
        SettingsCase{"LastWrapsToFirst", "[Tessaly - Notes]\nSkin=11\n", "Ledenets (internal)",
                     "[Tessaly - Notes]\nSkin=0\n"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(MainWindow, SettingsThatCannotBeWrittenDoNotKeepTheWindowOpen)
{
    fs::create_directory(folder / "vorlanta.ini");
    TfMain& w = open();
    EXPECT_EQ(w.sSkinManager->SkinName(), "Beijing (internal)");
    click(w.bSkin);
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(fs::is_directory(folder / "vorlanta.ini"));
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(MainWindow, AReadOnlySettingsFileIsKeptAndTheWindowCloses)
{
    const fs::path ini = folder / "vorlanta.ini";
    writeText(ini, "[Tessaly - Notes]\nSkin=2\n");
    fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    TfMain& w = open();
    EXPECT_EQ(w.sSkinManager->SkinName(), "HeroesStyle (internal)");
    click(w.bSkin);
    EXPECT_TRUE(w.close());
    const std::vector<std::uint8_t> bytes = readBytes(ini);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "[Tessaly - Notes]\nSkin=2\n");
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(MainWindow, EachWorkingFolderHasItsOwnSettings)
{
    const fs::path other = folder / "other";
    fs::create_directory(other);
    fs::copy_file(folder / "keyresources.dat", other / "keyresources.dat");
    writeText(folder / "vorlanta.ini", "[Tessaly - Notes]\nSkin=3\n");

    TfMainServices there = services();
    there.workFolder = other;
    auto second = createMainWindow(there, startupMessages);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->sSkinManager->SkinName(), "Beijing (internal)");
    second->show();
    second->close();
    EXPECT_TRUE(fs::exists(other / "vorlanta.ini"));

    TfMain& w = open();
    EXPECT_EQ(w.sSkinManager->SkinName(), "Sand (internal)");
}

TEST_F(MainWindow, ChangeSkinStepsThroughAllTwelveInOrder)
{
    TfMain& w = open();
    for (int i = 1; i <= 12; ++i) {
        click(w.bSkin);
        EXPECT_EQ(w.vars.skinIndex, i % 12);
        EXPECT_EQ(w.sSkinManager->SkinName(), skin::builtInSkinName(i % 12));
        EXPECT_EQ(w.styleSheet(), skin::TSkinManager::styleSheet(i % 12));
    }
    // The panels keep their colour under every skin.
    EXPECT_EQ(w.sPanel1->palette().color(QPalette::Window), QColor(231, 233, 245));
}

TEST_F(MainWindow, SupportOpensTheSupportPage)
{
    TfMain& w = open();
    click(w.bSupport);
    EXPECT_EQ(opened, (std::vector<std::string>{"https://www.tessaly.example/support.php?id=1"}));
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(MainWindow, WithoutABrowserTheSupportAddressIsShownToCopy)
{
    browserOpens = false;
    TfMain& w = open();
    click(w.bSupport);
    EXPECT_EQ(opened.size(), 1u);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_TRUE(messages.copyable().front());
    const std::string& text = messages.messages().front();
    EXPECT_NE(text.find("https://www.tessaly.example/support.php?id=1"), std::string::npos) << text;
}

} // namespace
} // namespace shell
