// MIDI input under a flood of messages and a device that goes away.

#include "MainWindowFixture.h"
#include "midi/Midicons.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace shell {
namespace {

using namespace shell::testing;
using Steady = std::chrono::steady_clock;

// How many notifications of each kind the MIDI callback posted, and how many
// reached the GUI thread.
struct NoticeCounts {
    std::atomic<std::uint64_t> data{0};
    std::atomic<std::uint64_t> overflow{0};

    void count(std::uint32_t message)
    {
        if (message == midi::mim_Data)
            data.fetch_add(1, std::memory_order_relaxed);
        else if (message == midi::mim_Overflow)
            overflow.fetch_add(1, std::memory_order_relaxed);
    }
};

// Targets that count every notice on its way through the real (Qt) ones:
// posted on the callback's thread, handled on the GUI thread.
class CountingTargets final : public platform::NotifyTargetFactory {
public:
    explicit CountingTargets(platform::NotifyTargetFactory& inner)
        : inner_(inner)
    {
    }

    std::unique_ptr<platform::NotifyTarget> create(platform::NotifyHandler handler) override
    {
        auto counted = [this, handler = std::move(handler)](std::uint32_t message) {
            handled.count(message);
            handler(message);
        };
        return std::make_unique<Target>(posted, inner_.create(std::move(counted)));
    }

    NoticeCounts posted;
    NoticeCounts handled;

private:
    class Target final : public platform::NotifyTarget {
    public:
        Target(NoticeCounts& posted, std::unique_ptr<platform::NotifyTarget> inner)
            : posted_(posted),
              inner_(std::move(inner))
        {
        }
        void post(std::uint32_t message) override
        {
            posted_.count(message);
            inner_->post(message);
        }

    private:
        NoticeCounts& posted_;
        std::unique_ptr<platform::NotifyTarget> inner_;
    };

    platform::NotifyTargetFactory& inner_;
};

// AddressSanitizer holds freed blocks back (a quarantine of up to 256 MB),
// so resident memory grows with every allocation there, leak or not; its
// leak checker watches memory instead.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool FreedMemoryIsHeldBack = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool FreedMemoryIsHeldBack = true;
#else
constexpr bool FreedMemoryIsHeldBack = false;
#endif
#else
constexpr bool FreedMemoryIsHeldBack = false;
#endif

// Resident memory in kB, where the system tells it.
std::optional<long> residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return std::nullopt;
}

// The window of MainWindow with one Loopback keyboard, which the session
// opens and starts when it is created, and every MIDI notice counted.
class MidiFaults : public MainWindow {
protected:
    static constexpr std::uint32_t Keyboard = 0;

    void SetUp() override
    {
        MainWindow::SetUp();
        midi.setDevices({{"Loopback Keys"}});
    }

    // The window as the program makes it, shown, with the keyboard open.
    void openWithKeyboard()
    {
        TfMainServices withCounting{
            clock, midi, counting, &messages, folder, [this](const std::string& a) {
                opened.push_back(a);
                return true;
            }};
        window = createMainWindow(std::move(withCounting), startupMessages);
        ASSERT_NE(window, nullptr);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(sheet().hasMidiDevice());
        ASSERT_EQ(sheet().midiInput().state(), midi::MidiInputState::Open);
    }

    // Closes and destroys the window, then shows that the keyboard's number
    // opens again: the vanished device was let go.
    void closeAndOpenTheKeyboardAgain()
    {
        window->close();
        window.reset();
        platform::midi::HMIDIIN again = 0;
        ASSERT_EQ(midi.midiInOpen(again, Keyboard, nullptr, 0), platform::midi::MMSYSERR_NOERROR);
        EXPECT_EQ(midi.midiInClose(again), platform::midi::MMSYSERR_NOERROR);
    }

    // Runs the event loop until every notice posted so far was handled. The
    // time-out only guards against hanging.
    bool allNoticesHandled()
    {
        return QTest::qWaitFor(
            [this] {
                return counting.handled.data == counting.posted.data &&
                       counting.handled.overflow == counting.posted.overflow;
            },
            30'000);
    }

    const scores::ScoreRecord& currentRecord() // notes, C major, treble
    {
        return sheet().scores().currentScores()[1][0][1];
    }

    CountingTargets counting{targets};
};

// --- A flood of notes -----------------------------------------------------------------

TEST_F(MidiFaults, AFloodOfNotesOverflowsTheRingWhileTheRunGoesOn)
{
    constexpr auto FloodTime = std::chrono::seconds(10);
    constexpr auto BurstEvery = std::chrono::milliseconds(250);
    constexpr int PairsPerBurst = 1250; // 10,000 messages a second
    constexpr long RssGrowthLimitKb = 32 * 1024;

    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    TfMain& w = *window;
    std::uint64_t overflowsSeen = 0;
    sheet().midiInput().setOnOverflow([&](midi::TMidiInput& sender) {
        ++overflowsSeen;
        sheet().mid_OnOverflow(sender); // the session's own handling, counted on the way
    });
    click(w.bStart);
    ASSERT_TRUE(sheet().running());

    // Note-on / note-off pairs walking over five octaves.
    std::vector<std::uint8_t> burst;
    for (int k = 0; k < PairsPerBurst; ++k) {
        const auto pitch = static_cast<std::uint8_t>(36 + (k * 7) % 60);
        burst.insert(burst.end(), {0x90, pitch, 0x40, 0x80, pitch, 0x00});
    }
    const std::uint64_t messagesPerBurst = 2 * PairsPerBurst;

    std::uint64_t sent = 0;
    int bursts = 0;
    std::optional<long> rssAt2s;
    const Steady::time_point start = Steady::now();
    Steady::time_point nextBurst = start;
    for (Steady::time_point now = start; now - start < FloodTime; now = Steady::now()) {
        if (now >= nextBurst) {
            ASSERT_TRUE(midi.send(Keyboard, burst));
            sent += messagesPerBurst;
            // Every other burst the GUI thread is busy until the whole burst
            // has come in, as during a long tick, so the ring must overflow;
            // the others are drained while they arrive.
            if (bursts % 2 == 0)
                midi.flush(Keyboard);
            ++bursts;
            nextBurst += BurstEvery;
        }
        if (!rssAt2s && now - start >= std::chrono::seconds(2))
            rssAt2s = residentKb();
        QTest::qWait(1);
    }
    const std::optional<long> rssAt10s = residentKb();

    midi.flush(Keyboard);
    ASSERT_TRUE(allNoticesHandled());
    const std::uint64_t stored = counting.posted.data.load();
    const std::uint64_t overflowed = counting.posted.overflow.load();
    std::cout << "[ flood    ] " << sent << " messages sent in " << bursts << " bursts, " << stored
              << " delivered to the ring, " << overflowed << " overflowed";
    if (rssAt2s && rssAt10s)
        std::cout << ", VmRSS " << *rssAt2s << " kB at 2 s and " << *rssAt10s << " kB at 10 s";
    std::cout << ", " << sheet().keysHeld().count() << " keys left counted as held\n";

    // Every message was either stored or told lost, once.
    EXPECT_EQ(stored + overflowed, sent);
    EXPECT_GT(overflowed, 0u);
    EXPECT_EQ(overflowsSeen, overflowed) << "each loss reaches OnOverflow on the GUI thread";
    EXPECT_EQ(sheet().midiInput().pendingEvents(), 0u) << "the session took every stored event";
    EXPECT_EQ(sheet().keysHeld().count(), 0u) << "a release lost to the flood keeps no key held";
    if (rssAt2s && rssAt10s && !FreedMemoryIsHeldBack) {
        EXPECT_LT(*rssAt10s - *rssAt2s, RssGrowthLimitKb);
    }
    EXPECT_TRUE(messages.messages().empty());

    // The run goes on and takes a mouse answer.
    ASSERT_TRUE(sheet().running()) << "the run ended during the flood";
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet().askedQuestion() > 0; }, 30'000));
    const std::int32_t asked = sheet().askedQuestion();
    const std::int32_t rightBefore = currentRecord().rightTotal;
    const std::int32_t wrongBefore = currentRecord().wrongTotal;
    answerAsked(true);
    EXPECT_EQ(currentRecord().rightTotal, rightBefore + 1);
    EXPECT_EQ(currentRecord().wrongTotal, wrongBefore);
    EXPECT_EQ(sheet().lastAnsweredQuestion(), asked);
    EXPECT_TRUE(sheet().running());
}

// --- A keyboard pulled out during a run ------------------------------------------------

TEST_F(MidiFaults, AKeyboardUnpluggedMidRunLeavesTheMouseToFinishIt)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    TfMain& w = *window;
    click(w.bStart);

    // The first question is answered on the keyboard while it is there.
    const int pitch = askedPitch();
    ASSERT_GE(pitch, 0);
    const auto key = static_cast<std::uint8_t>(pitch);
    ASSERT_TRUE(midi.send(Keyboard, {0x90, key, 0x50, 0x80, key, 0x00}));
    midi.flush(Keyboard);
    ASSERT_TRUE(allNoticesHandled());
    ASSERT_EQ(counting.posted.data.load(), 2u);
    EXPECT_EQ(sheet().lastAnsweredQuestion(), 1);
    EXPECT_EQ(currentRecord().rightTotal, 1);

    midi.unplug(Keyboard);
    EXPECT_FALSE(midi.send(Keyboard, {0x90, key, 0x50}));
    QTest::qWait(50); // the real timer ticks on, and nothing else comes
    EXPECT_EQ(counting.posted.data.load(), 2u);
    EXPECT_EQ(counting.posted.overflow.load(), 0u);

    // The rest of the run on the piano picture.
    EXPECT_EQ(playWholeRun(true), 99);
    EXPECT_EQ(caption(), "Start");
    EXPECT_TRUE(buttonsOfIdle());
    EXPECT_EQ(w.lCurrentNote->text(), "100 / 100");
    EXPECT_FALSE(sheet().running());
    const scores::ScoreTable stored = storedFile();
    const scores::ScoreRecord& record = stored[1][0][1];
    EXPECT_EQ(record.rightTotal, 100);
    EXPECT_EQ(record.wrongTotal, 0);
    EXPECT_EQ(w.lProgress->text(), "100%");

    // A missing keyboard is not worth a word to the user.
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_TRUE(messages.questions().empty());
    EXPECT_TRUE(startupMessages.messages().empty());

    ASSERT_NO_FATAL_FAILURE(closeAndOpenTheKeyboardAgain());
    EXPECT_EQ(counting.posted.data.load(), 2u);
}

TEST_F(MidiFaults, AKeyboardUnpluggedWithASysexMessageWaitingDoesNotStopTheRun)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    TfMain& w = *window;
    click(w.bStart);

    // The answer to the first question and a system-exclusive message come
    // in, and the keyboard is gone before the GUI thread gets to them: the
    // buffer of the message cannot be handed back to the device.
    const int pitch = askedPitch();
    ASSERT_GE(pitch, 0);
    const auto key = static_cast<std::uint8_t>(pitch);
    ASSERT_TRUE(midi.send(Keyboard, {0x90, key, 0x50, 0x80, key, 0x00, 0xF0, 0x7D, 0x01, 0xF7}));
    midi.flush(Keyboard);
    midi.unplug(Keyboard);
    ASSERT_TRUE(allNoticesHandled());
    EXPECT_EQ(counting.posted.data.load(), 3u);
    EXPECT_EQ(sheet().lastAnsweredQuestion(), 1);
    EXPECT_EQ(currentRecord().rightTotal, 1);
    EXPECT_EQ(sheet().midiInput().pendingEvents(), 1u) << "the message waits for its buffer";
    EXPECT_EQ(sheet().midiInput().Error(), platform::midi::MMSYSERR_NODRIVER);

    EXPECT_EQ(playWholeRun(true), 99);
    EXPECT_EQ(caption(), "Start");
    EXPECT_EQ(storedFile()[1][0][1].rightTotal, 100);
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_TRUE(messages.questions().empty());

    closeAndOpenTheKeyboardAgain();
}

} // namespace
} // namespace shell
