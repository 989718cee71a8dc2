#pragma once

#include "platform/NotifyTarget.h"

namespace platform::qt {

// Targets that deliver through the Qt event loop of the thread that made
// them (the GUI thread): post() queues an event to a hidden object, whose
// event handler runs the handler. Destroying a target drops the events it
// still has queued. post() may be called from any thread while the target
// exists; it allocates the event and takes Qt's post lock briefly.
class QtNotifyTargets final : public NotifyTargetFactory {
public:
    std::unique_ptr<NotifyTarget> create(NotifyHandler handler) override;
};

} // namespace platform::qt
