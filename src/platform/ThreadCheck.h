#pragma once

// Which thread an object's operations belong to, checked where it matters:
// in a Debug build, an operation called on another thread aborts at once
// with a message naming it, instead of racing quietly. Release builds check
// nothing and pay nothing but the stored thread id.

#include <atomic>
#include <thread>

namespace platform {

class ThreadOwner {
public:
    // Owned by the thread that makes it.
    ThreadOwner() noexcept
        : owner_(std::this_thread::get_id())
    {
    }
    // No owner yet: the first thread to call claim() becomes it.
    struct Unowned {};
    explicit ThreadOwner(Unowned) noexcept {}

    ThreadOwner(const ThreadOwner&) = delete;
    ThreadOwner& operator=(const ThreadOwner&) = delete;

    // Forgets the owner; the next claim() sets it again.
    void release() noexcept { owner_.store(std::thread::id(), std::memory_order_relaxed); }

    // Aborts (Debug) unless the calling thread owns the object. `operation`
    // names it ("TMidiInput::openDevice"), `thread` the owner ("the GUI
    // thread").
    void check([[maybe_unused]] const char* operation,
               [[maybe_unused]] const char* thread) const noexcept
    {
#ifndef NDEBUG
        if (owner_.load(std::memory_order_relaxed) != std::this_thread::get_id())
            wrongThread(operation, thread);
#endif
    }

    // The same, but an object without an owner is claimed by the calling
    // thread first.
    void claim([[maybe_unused]] const char* operation,
               [[maybe_unused]] const char* thread) const noexcept
    {
#ifndef NDEBUG
        const std::thread::id me = std::this_thread::get_id();
        std::thread::id expected;
        if (owner_.compare_exchange_strong(expected, me, std::memory_order_relaxed) ||
            expected == me)
            return;
        wrongThread(operation, thread);
#endif
    }

private:
    // Prints "<operation> called off <thread>" to the standard error and
    // aborts.
    [[noreturn]] static void wrongThread(const char* operation, const char* thread) noexcept;

    mutable std::atomic<std::thread::id> owner_{};
};

} // namespace platform
