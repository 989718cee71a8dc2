#include "platform/testing/QueuedNotifyTarget.h"

#include <algorithm>

namespace platform::testing {

class QueuedNotifyTargets::Target final : public NotifyTarget {
public:
    explicit Target(QueuedNotifyTargets& owner)
        : owner_(owner)
    {
    }
    ~Target() override { owner_.forget(this); }
    void post(std::uint32_t message) override { owner_.push(this, message); }

private:
    QueuedNotifyTargets& owner_;
};

std::unique_ptr<NotifyTarget> QueuedNotifyTargets::create(NotifyHandler handler)
{
    auto target = std::make_unique<Target>(*this);
    const std::lock_guard lock(mutex_);
    handlers_.emplace_back(target.get(), std::move(handler));
    return target;
}

void QueuedNotifyTargets::push(const Target* target, std::uint32_t message)
{
    const std::lock_guard lock(mutex_);
    queue_.push_back({target, message});
    posted_.push_back(message);
}

void QueuedNotifyTargets::forget(const Target* target)
{
    const std::lock_guard lock(mutex_);
    std::erase_if(queue_, [&](const Entry& e) { return e.target == target; });
    std::erase_if(handlers_, [&](const auto& h) { return h.first == target; });
}

int QueuedNotifyTargets::drain()
{
    int ran = 0;
    for (;;) {
        NotifyHandler handler;
        std::uint32_t message = 0;
        {
            const std::lock_guard lock(mutex_);
            if (queue_.empty())
                return ran;
            const Entry e = queue_.front();
            queue_.pop_front();
            const auto h = std::find_if(handlers_.begin(), handlers_.end(),
                                        [&](const auto& p) { return p.first == e.target; });
            if (h == handlers_.end())
                continue;
            handler = h->second;
            message = e.message;
        }
        handler(message);
        ++ran;
    }
}

std::size_t QueuedNotifyTargets::pending() const
{
    const std::lock_guard lock(mutex_);
    return queue_.size();
}

std::vector<std::uint32_t> QueuedNotifyTargets::posted() const
{
    const std::lock_guard lock(mutex_);
    return posted_;
}

} // namespace platform::testing
