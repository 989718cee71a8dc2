#pragma once

// Running a handler on the GUI thread when another thread asks for it: the
// MIDI callback posts a message number, the GUI thread later runs the
// handler with it.

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

using NotifyHandler = std::function<void(std::uint32_t message)>;

class NotifyTarget {
public:
    virtual ~NotifyTarget() = default;
    // Any thread. Queues the message for the handler and returns at once.
    // Messages reach the handler in the order they were posted; none is
    // delivered once the target is destroyed.
    virtual void post(std::uint32_t message) = 0;
};

// Makes the targets (one per MIDI component), each bound to its handler.
// GUI thread only.
class NotifyTargetFactory {
public:
    virtual ~NotifyTargetFactory() = default;
    virtual std::unique_ptr<NotifyTarget> create(NotifyHandler handler) = 0;
};

} // namespace platform
