#include "platform/qt/QtNotifyTarget.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace platform::qt {

namespace {

const QEvent::Type NotifyEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class NotifyEvent final : public QEvent {
public:
    explicit NotifyEvent(std::uint32_t message)
        : QEvent(NotifyEventType),
          message_(message)
    {
    }
    std::uint32_t message() const { return message_; }

private:
    std::uint32_t message_;
};

class Receiver final : public QObject {
public:
    explicit Receiver(NotifyHandler handler)
        : handler_(std::move(handler))
    {
    }
    bool event(QEvent* e) override
    {
        if (e->type() != NotifyEventType)
            return QObject::event(e);
        handler_(static_cast<NotifyEvent*>(e)->message());
        return true;
    }

private:
    NotifyHandler handler_;
};

class Target final : public NotifyTarget {
public:
    explicit Target(NotifyHandler handler)
        : receiver_(std::move(handler))
    {
    }
    void post(std::uint32_t message) override
    {
        // Runs on the MIDI callback's thread, which must never see an
        // exception: without memory for the event the notice is lost (the
        // events stay in the ring for the next one).
        try {
            QCoreApplication::postEvent(&receiver_, new NotifyEvent(message));
        } catch (...) {
        }
    }

private:
    Receiver receiver_; // its destructor removes the events still queued for it
};

} // namespace

std::unique_ptr<NotifyTarget> QtNotifyTargets::create(NotifyHandler handler)
{
    return std::make_unique<Target>(std::move(handler));
}

} // namespace platform::qt
