#pragma once

#include "platform/NotifyTarget.h"

#include <deque>
#include <mutex>
#include <vector>

namespace platform::testing {

// Targets whose posted messages wait in one queue until the test, standing
// in for the GUI thread, drains it. post() may be called from any thread.
class QueuedNotifyTargets final : public NotifyTargetFactory {
public:
    std::unique_ptr<NotifyTarget> create(NotifyHandler handler) override;

    // Runs the handler of every message posted so far, in posting order,
    // including messages posted by the handlers themselves. Returns how many
    // ran. GUI (test) thread only.
    int drain();
    // Messages posted and not yet drained.
    std::size_t pending() const;
    // Every message ever posted, in order.
    std::vector<std::uint32_t> posted() const;

private:
    class Target;
    struct Entry {
        const Target* target;
        std::uint32_t message;
    };
    void push(const Target* target, std::uint32_t message);
    void forget(const Target* target);

    mutable std::mutex mutex_;
    std::deque<Entry> queue_;
    std::vector<std::uint32_t> posted_;
    std::vector<std::pair<const Target*, NotifyHandler>> handlers_;
};

} // namespace platform::testing
