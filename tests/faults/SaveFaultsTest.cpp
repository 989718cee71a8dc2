// Saving while the process is killed, and saving onto a full disk. The
// child processes do the saving, so that the test process itself is never
// killed or limited.

#include "TempFolder.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/testing/Recorders.h"
#include "scores/uHighscore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#if defined(__unix__)
#include <csignal>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

#if defined(__unix__)

// The table after `n` saves of the loop below: n right answers for C in
// C major, treble, note naming, and no best time anywhere.
scores::ScoreTable tableAfter(std::int32_t n)
{
    scores::ScoreTable table{};
    scores::ScoreRecord& r = table[1][0][1];
    r.rightTotal = n;
    r.noteStats[0] = {n, 0, n};
    return table;
}

// Reads keyscore.dat and tells which table of the loop it is, or -1 when it
// is not a complete table of the loop.
std::int32_t whichTable(const fs::path& file)
{
    const std::vector<std::uint8_t> bytes = testsupport::TempFolder::readBytes(file);
    if (bytes.size() != scores::ScoreFileSize)
        return -1;
    scores::ScoreTable table{};
    scores::decodeScores(bytes, table);
    const std::int32_t n = table[1][0][1].rightTotal;
    return scores::encodeScores(tableAfter(n)) == bytes ? n : -1;
}

// In a child: answers and saves, over and over, until killed. After the
// first save has finished it writes one byte to `savedFd` (nobody may be
// reading by then, hence no SIGPIPE).
[[noreturn]] void saveForever(const fs::path& folder, int savedFd)
{
    std::signal(SIGPIPE, SIG_IGN);
    platform::testing::RecordingTextLabel label;
    platform::testing::RecordingMessageBoxes messages;
    scores::THighScore store(label, messages, folder);
    bool told = false;
    for (;;) {
        store.updateCurrentScore(1, 0, 1, 1, 0, true);
        store.updateHighScore();
        if (!told) {
            const char saved = 1;
            [[maybe_unused]] const auto written = ::write(savedFd, &saved, 1);
            told = true;
        }
    }
}

// Waits up to `timeoutMs` for the child's byte; true when it came.
bool waitForFirstSave(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1)
        return false;
    char saved = 0;
    return ::read(fd, &saved, 1) == 1;
}

class SaveFaults : public testsupport::TempFolder {
protected:
    fs::path scoreFile() const { return folder / scores::ScoreFileName; }
};

TEST_F(SaveFaults, AKillDuringSavingLeavesTheOldOrTheNewTableNeverAPart)
{
    writeBytes(scoreFile(), scores::encodeScores(tableAfter(0)));
    std::mt19937 random(20261210);
    std::int32_t last = 0;
    int saw = 0;
    for (int round = 0; round < 150; ++round) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            saveForever(folder, pipeFds[1]);
        }
        ::close(pipeFds[1]);
        // Every other round waits for a finished save first, so that kills
        // land well into the loop even where syncing to disk is slow; the
        // others may kill it before its first save.
        if (round % 2 == 1) {
            EXPECT_TRUE(waitForFirstSave(pipeFds[0], 30'000)) << "no first save in round " << round;
        }
        ::close(pipeFds[0]);
        usleep(std::uniform_int_distribution<useconds_t>(0, 20'000)(random));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself in round " << round;

        const std::int32_t now = whichTable(scoreFile());
        ASSERT_GE(now, 0) << "a damaged score file after round " << round;
        EXPECT_GE(now, last) << "a save went missing in round " << round;
        saw += now > last ? 1 : 0;
        last = now;
    }
    EXPECT_GT(saw, 0) << "no save ever completed; the test did not test anything";
}

// Runs `body` in a child whose files may not grow past `limitBytes`, as on
// a full disk, and returns its exit status (0 when body returned true).
int withFileSizeLimit(rlim_t limitBytes, const std::function<bool()>& body)
{
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a failed write instead of a killed process
        const rlimit limit{limitBytes, limitBytes};
        setrlimit(RLIMIT_FSIZE, &limit);
        bool ok = false;
        try {
            ok = body();
        } catch (...) {
            ok = false;
        }
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(SaveFaults, AFullDiskFailsTheScoreSaveAndKeepsTheOldFile)
{
    const std::vector<std::uint8_t> old = scores::encodeScores(tableAfter(5));
    writeBytes(scoreFile(), old);
    const int status = withFileSizeLimit(4096, [&] {
        platform::testing::RecordingTextLabel label;
        platform::testing::RecordingMessageBoxes messages;
        scores::THighScore store(label, messages, folder);
        store.updateCurrentScore(1, 0, 1, 1, 0, true);
        try {
            store.updateHighScore();
        } catch (const platform::EWriteError& e) {
            // The fold stands in memory; the message says why.
            return store.storedScores()[1][0][1].rightTotal == 6 && !e.reason().empty();
        }
        return false;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readBytes(scoreFile()), old);
    EXPECT_FALSE(fs::exists(platform::temporaryFor(scoreFile())));
}

TEST_F(SaveFaults, AFullDiskFailsTheSettingsSaveAndKeepsTheOldFile)
{
    const fs::path ini = folder / "vorlanta.ini";
    const std::string old = "; kept\n[Tessaly - Notes]\nSkin=3\n";
    writeBytes(ini, {old.begin(), old.end()});
    const int status = withFileSizeLimit(8, [&] {
        platform::IniFile file(ini);
        file.WriteString("Tessaly - Notes", "Skin", "4");
        try {
            file.UpdateFile();
        } catch (const platform::FileError&) {
            return true;
        }
        return false;
    });
    EXPECT_EQ(status, 0);
    const auto bytes = readBytes(ini);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), old);
    EXPECT_FALSE(fs::exists(platform::temporaryFor(ini)));
}

#else

TEST(SaveFaults, NeedAUnixSystem) { GTEST_SKIP() << "fork and resource limits are POSIX"; }

#endif

} // namespace
