#include "shell/ThreadedTimer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace shell {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Clock reads on two threads; a tick is never expected this much early.
constexpr auto Slack = 5ms;

void pumpOnce()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Runs the GUI thread's events until `done` holds or the limit has passed.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s)
{
    const auto deadline = Clock::now() + limit;
    for (;;) {
        pumpOnce();
        if (done())
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
}

void pumpFor(std::chrono::milliseconds span)
{
    pumpUntil([] { return false; }, span);
}

// Keeps the GUI thread from running events, as a long computation would.
void holdGuiThread(std::chrono::milliseconds span) { std::this_thread::sleep_for(span); }

// Aborts the run with a message when a step has not finished by the
// deadline, so a deadlock names itself instead of waiting for CTest's kill.
class Watchdog {
public:
    Watchdog(const char* what, std::chrono::seconds limit)
        : thread_([this, what, limit] {
              std::unique_lock lock(mutex_);
              if (!finished_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "still blocked after %lld s: %s\n",
                               static_cast<long long>(limit.count()), what);
                  std::abort();
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        finished_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    std::thread thread_;
};

struct Tick {
    Clock::time_point at;
    std::thread::id thread;
};

// Records every tick of the timers it is handed to.
struct TickLog {
    std::vector<Tick> ticks;

    std::function<void()> recorder()
    {
        return [this] { record(); };
    }
    void record() { ticks.push_back({Clock::now(), std::this_thread::get_id()}); }
    std::size_t count() const { return ticks.size(); }
};

TEST(ThreadedTimerTest, StartsDisabledWithOneSecondInterval)
{
    TThreadedTimer timer;
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
}

// Setups that must leave the timer silent.
struct QuietCase {
    const char* name;
    std::function<void(TThreadedTimer&)> setUp;
};

void PrintTo(const QuietCase& row, std::ostream* os) { *os << row.name; }

class ThreadedTimerQuietTest : public ::testing::TestWithParam<QuietCase> {};

TEST_P(ThreadedTimerQuietTest, DoesNotTick)
{
    TickLog log;
    TThreadedTimer timer;
    timer.setOnTimer(log.recorder());
    GetParam().setUp(timer);
    pumpFor(300ms);
    EXPECT_EQ(log.count(), 0u);
}

const QuietCase quietCases[] = {
    {"NeverEnabled", [](TThreadedTimer& timer) { timer.setInterval(5); }},
    {"IntervalZero",
     [](TThreadedTimer& timer) {
         timer.setInterval(0);
         timer.setEnabled(true);
     }},
    {"EnabledThenDisabled",
     [](TThreadedTimer& timer) {
         timer.setInterval(5);
         timer.setEnabled(true);
         timer.setEnabled(false);
     }},
};

INSTANTIATE_TEST_SUITE_P(Table, ThreadedTimerQuietTest, ::testing::ValuesIn(quietCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ThreadedTimerTest, TicksRepeatOnTheGuiThreadOneIntervalApart)
{
    TickLog log;
    TThreadedTimer timer;
    timer.setOnTimer(log.recorder());
    timer.setInterval(20);
    const auto enabledAt = Clock::now();
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return log.count() >= 4; }));

    auto previous = enabledAt;
    for (const Tick& tick : log.ticks) {
        EXPECT_EQ(tick.thread, std::this_thread::get_id());
        EXPECT_GE(tick.at - previous, 20ms - Slack);
        previous = tick.at;
    }
}

TEST(ThreadedTimerTest, DisablingStopsTheTicks)
{
    TickLog log;
    TThreadedTimer timer;
    timer.setOnTimer(log.recorder());
    timer.setInterval(5);
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return log.count() >= 2; }));

    timer.setEnabled(false);
    const std::size_t before = log.count();
    pumpFor(300ms);
    EXPECT_EQ(log.count(), before);
}

// A change made while enabled (or the enabling itself) starts a fresh wait:
// the first tick after it comes no earlier than `wait` later.
struct RestartCase {
    const char* name;
    bool enabledBefore;
    std::function<void(TThreadedTimer&)> change;
    std::chrono::milliseconds wait;
};

void PrintTo(const RestartCase& row, std::ostream* os) { *os << row.name; }

class ThreadedTimerRestartTest : public ::testing::TestWithParam<RestartCase> {};

TEST_P(ThreadedTimerRestartTest, FirstTickComesOneFullIntervalAfterTheChange)
{
    constexpr auto interval = 600ms;
    const RestartCase& c = GetParam();
    TickLog log;
    TThreadedTimer timer;
    timer.setOnTimer(log.recorder());
    timer.setInterval(static_cast<unsigned>(interval.count()));
    if (c.enabledBefore) {
        const auto enabledAt = Clock::now();
        timer.setEnabled(true);
        pumpFor(200ms);
        // A tick due before the change could still be queued after it.
        if (Clock::now() - enabledAt > interval - 150ms || log.count() != 0)
            GTEST_SKIP() << "the machine is too busy to tell a restart from the old wait";
    }

    const auto changedAt = Clock::now();
    c.change(timer);
    ASSERT_TRUE(pumpUntil([&] { return log.count() >= 1; }));
    EXPECT_GE(log.ticks.front().at - changedAt, c.wait - Slack);
}

const RestartCase restartCases[] = {
    {"Enabling", false, [](TThreadedTimer& timer) { timer.setEnabled(true); }, 600ms},
    {"DisablingAndEnablingAgain", true,
     [](TThreadedTimer& timer) {
         timer.setEnabled(false);
         timer.setEnabled(true);
     },
     600ms},
    {"LongerInterval", true, [](TThreadedTimer& timer) { timer.setInterval(800); }, 800ms},
    {"ShorterInterval", true, [](TThreadedTimer& timer) { timer.setInterval(500); }, 500ms},
};

INSTANTIATE_TEST_SUITE_P(Table, ThreadedTimerRestartTest, ::testing::ValuesIn(restartCases),
                         [](const auto& row) { return std::string(row.param.name); });

// Setting a property to the value it has must not restart the wait: repeated
// more often than the interval, a restarting setter would starve the ticks.
struct SameValueCase {
    const char* name;
    std::function<void(TThreadedTimer&)> repeat;
};

void PrintTo(const SameValueCase& row, std::ostream* os) { *os << row.name; }

class ThreadedTimerSameValueTest : public ::testing::TestWithParam<SameValueCase> {};

TEST_P(ThreadedTimerSameValueTest, KeepsTheRunningWait)
{
    TickLog log;
    TThreadedTimer timer;
    timer.setOnTimer(log.recorder());
    timer.setInterval(100);
    timer.setEnabled(true);

    const auto deadline = Clock::now() + 3s;
    while (log.count() == 0 && Clock::now() < deadline) {
        GetParam().repeat(timer);
        pumpFor(20ms);
    }
    EXPECT_GE(log.count(), 1u);
}

const SameValueCase sameValueCases[] = {
    {"Interval", [](TThreadedTimer& timer) { timer.setInterval(100); }},
    {"Enabled", [](TThreadedTimer& timer) { timer.setEnabled(true); }},
};

INSTANTIATE_TEST_SUITE_P(Table, ThreadedTimerSameValueTest, ::testing::ValuesIn(sameValueCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ThreadedTimerTest, DisablingSkipsATickAlreadyQueuedForTheGuiThread)
{
    TickLog log;
    TThreadedTimer timer;
    timer.setOnTimer(log.recorder());
    timer.setInterval(10);
    timer.setEnabled(true);
    holdGuiThread(300ms); // meanwhile the worker queues a tick and waits for it

    timer.setEnabled(false);
    pumpFor(200ms);
    EXPECT_EQ(log.count(), 0u);

    // The skipped tick let the worker go on.
    timer.setEnabled(true);
    EXPECT_TRUE(pumpUntil([&] { return log.count() >= 1; }));
}

TEST(ThreadedTimerTest, AThrowingHandlerDoesNotStopTheTicks)
{
    int calls = 0;
    TThreadedTimer timer;
    timer.setOnTimer([&] {
        ++calls;
        if (calls % 2 == 0)
            throw 42;
        throw std::runtime_error("handler failed");
    });
    timer.setInterval(5);
    timer.setEnabled(true);
    EXPECT_TRUE(pumpUntil([&] { return calls >= 4; }));
}

TEST(ThreadedTimerTest, HandlerMayDisableTheTimer)
{
    TickLog log;
    TThreadedTimer timer;
    timer.setOnTimer([&] {
        log.record();
        timer.setEnabled(false);
    });
    timer.setInterval(5);
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return log.count() >= 1; }));
    pumpFor(200ms);
    EXPECT_EQ(log.count(), 1u);
    EXPECT_FALSE(timer.Enabled());
}

TEST(ThreadedTimerTest, HandlerMayChangeTheInterval)
{
    TickLog log;
    TThreadedTimer timer;
    timer.setOnTimer([&] {
        log.record();
        timer.setInterval(300);
    });
    timer.setInterval(5);
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return log.count() >= 2; }));
    EXPECT_GE(log.ticks[1].at - log.ticks[0].at, 300ms - Slack);
    EXPECT_EQ(timer.Interval(), 300u);
}

TEST(ThreadedTimerTest, HandlerMayReplaceItself)
{
    std::vector<std::string> seen;
    TThreadedTimer timer;
    // The first handler's captures must outlive its own replacement.
    timer.setOnTimer([&, name = std::string(64, 'a')] {
        timer.setOnTimer([&] {
            seen.push_back("second");
            timer.setEnabled(false);
        });
        seen.push_back(name);
    });
    timer.setInterval(5);
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return seen.size() >= 2; }));
    EXPECT_EQ(seen, (std::vector<std::string>{std::string(64, 'a'), "second"}));
}

// Ways for a handler to destroy its own timer, as a window closed from the
// tick would.
struct DestroyCase {
    const char* name;
    std::function<void(std::unique_ptr<TThreadedTimer>&)> destroy;
};

void PrintTo(const DestroyCase& row, std::ostream* os) { *os << row.name; }

class ThreadedTimerDestroyedByHandlerTest : public ::testing::TestWithParam<DestroyCase> {};

TEST_P(ThreadedTimerDestroyedByHandlerTest, FinishesTheTickAndTicksNoMore)
{
    int calls = 0;
    auto timer = std::make_unique<TThreadedTimer>();
    timer->setOnTimer([&, name = std::string(64, 'b')] {
        ++calls;
        GetParam().destroy(timer);
        EXPECT_EQ(name, std::string(64, 'b')); // the running handler survives
    });
    timer->setInterval(5);
    timer->setEnabled(true);
    {
        Watchdog watchdog("a handler destroying its timer", 30s);
        ASSERT_TRUE(pumpUntil([&] { return calls >= 1; }));
    }
    pumpFor(200ms);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(timer);
}

const DestroyCase destroyCases[] = {
    {"Directly", [](std::unique_ptr<TThreadedTimer>& timer) { timer.reset(); }},
    // As a modal dialog shown by the handler would.
    {"InANestedEventLoop",
     [](std::unique_ptr<TThreadedTimer>& timer) {
         QEventLoop loop;
         QTimer::singleShot(0, &loop, [&] { timer.reset(); });
         QTimer::singleShot(100, &loop, [&] { loop.quit(); }); // the loop goes on meanwhile
         loop.exec();
     }},
};

INSTANTIATE_TEST_SUITE_P(Table, ThreadedTimerDestroyedByHandlerTest,
                         ::testing::ValuesIn(destroyCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ThreadedTimerTest, DestroyingWithATickQueuedNeitherBlocksNorRunsIt)
{
    int calls = 0;
    auto timer = std::make_unique<TThreadedTimer>();
    timer->setOnTimer([&] { ++calls; });
    timer->setInterval(10);
    timer->setEnabled(true);
    holdGuiThread(300ms); // the worker queues a tick and waits for the GUI thread

    {
        Watchdog watchdog("destroying a timer with a queued tick", 30s);
        timer.reset();
    }
    pumpFor(200ms);
    EXPECT_EQ(calls, 0);
}

TEST(ThreadedTimerTest, ManyShortLivedTimersNeitherDeadlockNorTickAfterDestruction)
{
    struct Cycle {
        int ticks = 0;
        int ticksAtDestruction = 0;
    };
    constexpr int Cycles = 1000;
    std::vector<Cycle> cycles(Cycles);

    {
        Watchdog watchdog("creating and destroying 1000 ticking timers", 90s);
        for (int i = 0; i < Cycles; ++i) {
            Cycle& cycle = cycles[static_cast<std::size_t>(i)];
            auto timer = std::make_unique<TThreadedTimer>();
            timer->setOnTimer([&cycle] { ++cycle.ticks; });
            timer->setInterval(1);
            timer->setEnabled(true);
            switch (i % 3) {
            case 0: // after a tick, with the next one on its way
                ASSERT_TRUE(pumpUntil([&] { return cycle.ticks > 0; })) << "cycle " << i;
                break;
            case 1: // with a tick queued that the GUI thread has not run
                holdGuiThread(2ms);
                break;
            default: // right after starting
                break;
            }
            timer.reset();
            cycle.ticksAtDestruction = cycle.ticks;
        }
    }

    pumpFor(200ms);
    int late = 0;
    for (const Cycle& cycle : cycles)
        late += cycle.ticks - cycle.ticksAtDestruction;
    EXPECT_EQ(late, 0);
}

// --- Threads -------------------------------------------------------------------------

#ifndef NDEBUG
// The operations of the GUI thread, each with a value other than the
// current one, on a ticking timer.
struct GuiOperation {
    const char* name; // as the message names it
    std::function<void(std::unique_ptr<TThreadedTimer>&)> call;
};

void PrintTo(const GuiOperation& row, std::ostream* os) { *os << row.name; }

class ThreadedTimerOffTheGuiThreadTest : public ::testing::TestWithParam<GuiOperation> {};

TEST_P(ThreadedTimerOffTheGuiThreadTest, Aborts)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const GuiOperation& op = GetParam();
    TickLog log;
    auto timer = std::make_unique<TThreadedTimer>();
    timer->setOnTimer(log.recorder());
    timer->setInterval(20);
    timer->setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return log.count() > 0; }));
    EXPECT_DEATH(std::thread([&] { op.call(timer); }).join(),
                 std::string(op.name) + " called off the GUI thread");
    // The getters may be read anywhere.
    std::thread([&] {
        EXPECT_TRUE(timer->Enabled());
        EXPECT_EQ(timer->Interval(), 20u);
    }).join();
    op.call(timer); // on the GUI thread it goes through
}

INSTANTIATE_TEST_SUITE_P(
    Threads, ThreadedTimerOffTheGuiThreadTest,
    ::testing::Values(
        GuiOperation{"TThreadedTimer::setEnabled",
                     [](std::unique_ptr<TThreadedTimer>& owned) { owned->setEnabled(false); }},
        GuiOperation{"TThreadedTimer::setInterval",
                     [](std::unique_ptr<TThreadedTimer>& owned) { owned->setInterval(30); }},
        GuiOperation{"TThreadedTimer::setOnTimer",
                     [](std::unique_ptr<TThreadedTimer>& owned) { owned->setOnTimer(nullptr); }},
        GuiOperation{"TThreadedTimer::~TThreadedTimer",
                     [](std::unique_ptr<TThreadedTimer>& owned) { owned.reset(); }}),
    [](const auto& row) {
        const std::string name = std::string(row.param.name).substr(sizeof "TThreadedTimer::" - 1);
        return name.front() == '~' ? std::string("Destructor") : name;
    });
#else
TEST(ThreadedTimerTest, AGuiThreadOperationCalledOnAnotherThreadAborts)
{
    GTEST_SKIP() << "the thread checks are built into Debug builds only";
}
#endif

} // namespace
} // namespace shell
