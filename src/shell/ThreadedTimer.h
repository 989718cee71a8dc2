#pragma once

#include "platform/ThreadCheck.h"

#include <functional>
#include <memory>
#include <thread>

class QObject;

namespace shell {

struct ThreadedTimerState;

// A periodic timer whose waiting is done by a worker thread of its own. The
// worker sleeps one interval, has the tick run on the GUI thread (the thread
// that created the timer, which must run a Qt event loop) and waits until it
// has run; the next interval starts after the tick. A tick that reaches the
// GUI thread after the timer was disabled is skipped, and an exception thrown
// by the handler is swallowed.
//
// Threads: everything except the two getters is called on the GUI thread,
// from inside the tick too. The worker never blocks the GUI thread and the
// GUI thread only waits for the worker in the destructor, which the worker
// answers at once, so no call can deadlock with a tick queued but not run.
// A Debug build aborts when a GUI-thread operation is called on another
// thread.
class TThreadedTimer {
public:
    // Disabled, with an interval of 1000 ms. GUI thread; starts the worker.
    TThreadedTimer();

    // GUI thread. Stops and joins the worker without waiting for a queued
    // tick; that tick never runs.
    ~TThreadedTimer();

    TThreadedTimer(const TThreadedTimer&) = delete;
    TThreadedTimer& operator=(const TThreadedTimer&) = delete;

    // Any thread.
    bool Enabled() const;
    // GUI thread. Enabling starts a fresh wait, so the first tick comes one
    // interval later; disabling stops the ticks, including one already queued.
    // Setting the current value changes nothing.
    void setEnabled(bool enabled);

    // Any thread.
    unsigned Interval() const;
    // GUI thread. In milliseconds; 0 means no ticks. A new value restarts the
    // wait with the new length; the current value changes nothing.
    void setInterval(unsigned ms);

    // GUI thread. The handler runs on the GUI thread.
    void setOnTimer(std::function<void()> handler);

private:
    platform::ThreadOwner gui_;
    std::shared_ptr<ThreadedTimerState> state_; // shared with the worker and the runner
    std::unique_ptr<QObject> runner_;           // lives on the GUI thread; ticks are posted to it
    std::thread worker_;
};

} // namespace shell
