#include "shell/ThreadedTimer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <utility>

namespace shell {

struct ThreadedTimerState {
    std::mutex mutex;
    std::condition_variable wake; // the worker's only wait: interval, enable, tick done, stop

    bool enabled = false;
    unsigned interval = 1000;
    // Bumped by every change that restarts the wait; the worker notices it
    // even when enable and disable come before it wakes.
    std::uint64_t generation = 0;
    bool stopping = false;
    bool tickQueued = false; // posted to the GUI thread and not yet run or skipped
    // The event for the next tick. The GUI thread makes it, so the worker
    // never allocates and all memory of an event stays on one thread.
    std::unique_ptr<QEvent> nextTick;

    // GUI thread only.
    std::shared_ptr<const std::function<void()>> onTimer;
    bool inTick = false;
    QObject* orphanedRunner = nullptr; // left by a timer destroyed from inside its tick

    bool ticking() const { return enabled && interval != 0; }
};

namespace {

const QEvent::Type TickEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// GUI thread. The handler is held by a pointer of its own, so it may replace
// itself or destroy the timer.
void runTick(ThreadedTimerState* state)
{
    std::unique_ptr<QEvent> next;
    try {
        next = std::make_unique<QEvent>(TickEventType);
    } catch (...) {
        // No memory: the worker makes the event itself.
    }

    std::shared_ptr<const std::function<void()>> handler;
    {
        std::lock_guard lock(state->mutex);
        if (state->stopping)
            return;
        if (state->ticking())
            handler = state->onTimer;
    }
    if (handler && *handler) {
        state->inTick = true;
        try {
            (*handler)();
        } catch (...) {
            // The next tick comes as usual; an exception must not unwind
            // through Qt's event delivery.
        }
        state->inTick = false;
        // Deferred so that the runner outlives its own event delivery, even
        // when the timer went in an event loop nested inside the handler.
        if (state->orphanedRunner != nullptr)
            std::exchange(state->orphanedRunner, nullptr)->deleteLater();
    }
    {
        std::lock_guard lock(state->mutex);
        state->nextTick = std::move(next);
        state->tickQueued = false;
    }
    state->wake.notify_all();
}

void runWorker(const std::shared_ptr<ThreadedTimerState>& state, QObject* runner)
{
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(state->mutex);
    while (!state->stopping) {
        if (!state->ticking()) {
            state->wake.wait(lock, [&] { return state->stopping || state->ticking(); });
            continue;
        }
        const std::uint64_t generation = state->generation;
        const auto deadline = Clock::now() + std::chrono::milliseconds(state->interval);
        const bool interrupted = state->wake.wait_until(
            lock, deadline, [&] { return state->stopping || state->generation != generation; });
        if (interrupted)
            continue;

        std::unique_ptr<QEvent> tick = std::move(state->nextTick);
        if (!tick) // the GUI thread or Qt ran out of memory; try here
            tick.reset(new (std::nothrow) QEvent(TickEventType));
        if (!tick)
            continue;

        // Posted rather than sent with a blocking connection: the worker waits
        // on its own condition, which the destructor can end while the GUI
        // thread never gets to the tick.
        state->tickQueued = true;
        lock.unlock();
        bool posted = true;
        try {
            QCoreApplication::postEvent(runner, tick.release()); // Qt deletes it, even on failure
        } catch (...) {
            posted = false;
        }
        lock.lock();
        if (!posted)
            state->tickQueued = false;
        state->wake.wait(lock, [&] { return state->stopping || !state->tickQueued; });
    }
}

// Lives on the GUI thread and runs the ticks the worker posts to it. It keeps
// the state alive for a tick that outlasts the timer.
class Runner final : public QObject {
public:
    explicit Runner(std::shared_ptr<ThreadedTimerState> state)
        : state_(std::move(state))
    {
    }

protected:
    // Nobody else posts to a runner, so each custom event is a tick. The
    // event is not read: the tick takes everything from the locked state.
    void customEvent(QEvent*) override { runTick(state_.get()); }

private:
    std::shared_ptr<ThreadedTimerState> state_;
};

} // namespace

TThreadedTimer::TThreadedTimer()
    : state_(std::make_shared<ThreadedTimerState>()),
      runner_(std::make_unique<Runner>(state_))
{
    state_->nextTick = std::make_unique<QEvent>(TickEventType);
    worker_ = std::thread(runWorker, state_, runner_.get());
}

TThreadedTimer::~TThreadedTimer()
{
    gui_.check("TThreadedTimer::~TThreadedTimer", "the GUI thread");
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    worker_.join();
    // Deleting the runner drops a tick still queued to it. From inside the
    // tick the runner is still delivering it; the tick disposes of it.
    if (state_->inTick)
        state_->orphanedRunner = runner_.release();
}

bool TThreadedTimer::Enabled() const
{
    std::lock_guard lock(state_->mutex);
    return state_->enabled;
}

void TThreadedTimer::setEnabled(bool enabled)
{
    gui_.check("TThreadedTimer::setEnabled", "the GUI thread");
    {
        std::lock_guard lock(state_->mutex);
        if (state_->enabled == enabled)
            return;
        state_->enabled = enabled;
        ++state_->generation;
    }
    state_->wake.notify_all();
}

unsigned TThreadedTimer::Interval() const
{
    std::lock_guard lock(state_->mutex);
    return state_->interval;
}

void TThreadedTimer::setInterval(unsigned ms)
{
    gui_.check("TThreadedTimer::setInterval", "the GUI thread");
    {
        std::lock_guard lock(state_->mutex);
        if (state_->interval == ms)
            return;
        state_->interval = ms;
        ++state_->generation;
    }
    state_->wake.notify_all();
}

void TThreadedTimer::setOnTimer(std::function<void()> handler)
{
    gui_.check("TThreadedTimer::setOnTimer", "the GUI thread");
    auto shared = std::make_shared<const std::function<void()>>(std::move(handler));
    std::lock_guard lock(state_->mutex);
    state_->onTimer = std::move(shared);
}

} // namespace shell
