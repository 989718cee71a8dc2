#include "platform/midi/LoopbackMidiService.h"

#include "platform/midi/MidiPortList.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace platform::midi {

// Stands between an open device and the caller's callback, so that a
// device that was unplugged falls silent.
struct LoopbackMidiService::Route {
    MidiInCallback callback = nullptr;
    std::uintptr_t instance = 0;
    std::uint32_t deviceId = 0;
    std::atomic<bool> gone{false};
};

struct LoopbackMidiService::Shared {
    std::mutex mutex;
    std::vector<LoopbackDevice> devices;
    std::set<std::uint32_t> held;
    std::map<std::uint32_t, Producer*> producers;
    // By handle, from a successful open to a successful close. Here rather
    // than in the service because the producers' threads reach them through
    // the callback, and the last producers die in the base destructor.
    std::map<HMIDIIN, std::unique_ptr<Route>> routes;
    bool virtualOffered = false;
    std::string virtualName;
    MMRESULT prepareError = MMSYSERR_NOERROR;
    std::uint32_t preparationsBeforeError = 0;
};

// The thread that plays the driver for one open device.
class LoopbackMidiService::Producer final : public Port {
public:
    Producer(std::shared_ptr<Shared> shared, std::uint32_t deviceId, MidiInDevice& device)
        : shared_(std::move(shared)),
          deviceId_(deviceId),
          device_(device),
          thread_([this] { run(); })
    {
        std::lock_guard lock(shared_->mutex);
        shared_->producers[deviceId_] = this;
    }

    ~Producer() override
    {
        {
            std::lock_guard lock(shared_->mutex);
            shared_->producers.erase(deviceId_);
            if (deviceId_ == VirtualPort)
                shared_->virtualName.clear();
        }
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    void push(std::vector<std::uint8_t> bytes)
    {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(bytes));
        }
        wake_.notify_one();
    }

    void flush()
    {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return stopping_ || (queue_.empty() && !busy_); });
    }

    // Drops what is queued and delivers nothing more; returns when the
    // thread is out of receive().
    void vanish()
    {
        std::unique_lock lock(mutex_);
        gone_ = true;
        queue_.clear();
        idle_.wait(lock, [this] { return stopping_ || !busy_; });
    }

    bool gone()
    {
        std::lock_guard lock(mutex_);
        return gone_;
    }

private:
    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                break;
            if (gone_) {
                queue_.clear();
                continue;
            }
            std::vector<std::uint8_t> bytes = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
            lock.unlock();
            device_.receive(bytes);
            lock.lock();
            busy_ = false;
            if (queue_.empty())
                idle_.notify_all();
        }
        busy_ = false;
        idle_.notify_all();
    }

    const std::shared_ptr<Shared> shared_;
    const std::uint32_t deviceId_;
    MidiInDevice& device_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::vector<std::uint8_t>> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    bool gone_ = false;
    // Last, so it starts after everything it uses.
    std::thread thread_;
};

LoopbackMidiService::LoopbackMidiService(std::vector<LoopbackDevice> devices, InputOptions options)
    : BasicMidiInService(std::move(options)),
      shared_(std::make_shared<Shared>())
{
    shared_->devices = std::move(devices);
}

LoopbackMidiService::~LoopbackMidiService() = default;

std::uint32_t LoopbackMidiService::midiInGetNumDevs()
{
    std::lock_guard lock(shared_->mutex);
    return static_cast<std::uint32_t>(shared_->devices.size());
}

MMRESULT LoopbackMidiService::midiInGetDevCaps(std::uint32_t deviceId, MIDIINCAPS& caps)
{
    std::lock_guard lock(shared_->mutex);
    if (deviceId >= shared_->devices.size())
        return MMSYSERR_BADDEVICEID;
    const LoopbackDevice& device = shared_->devices[deviceId];
    caps = MIDIINCAPS{device.manufacturerId, device.productId, device.driverVersion,
                      fitProductName(device.name), 0};
    return MMSYSERR_NOERROR;
}

void LoopbackMidiService::routeCallback(HMIDIIN device, std::uint32_t message,
                                        std::uintptr_t dwInstance, std::uintptr_t dwParam1,
                                        std::uintptr_t dwParam2)
{
    const Route* route = reinterpret_cast<const Route*>(dwInstance);
    if (route->callback != nullptr && !route->gone.load(std::memory_order_acquire))
        route->callback(device, message, route->instance, dwParam1, dwParam2);
}

bool LoopbackMidiService::unplugged(HMIDIIN device) const
{
    std::lock_guard lock(shared_->mutex);
    auto it = shared_->routes.find(device);
    return it != shared_->routes.end() && it->second->gone.load(std::memory_order_acquire);
}

MMRESULT LoopbackMidiService::openRouted(HMIDIIN& device, std::uint32_t deviceId,
                                         MidiInCallback callback, std::uintptr_t dwInstance,
                                         const std::function<MMRESULT(std::uintptr_t)>& open)
{
    auto route = std::make_unique<Route>();
    route->callback = callback;
    route->instance = dwInstance;
    route->deviceId = deviceId;
    const MMRESULT result = open(reinterpret_cast<std::uintptr_t>(route.get()));
    if (result == MMSYSERR_NOERROR) {
        std::lock_guard lock(shared_->mutex);
        shared_->routes[device] = std::move(route);
    }
    return result;
}

MMRESULT LoopbackMidiService::midiInOpen(HMIDIIN& device, std::uint32_t deviceId,
                                         MidiInCallback callback, std::uintptr_t dwInstance)
{
    return openRouted(device, deviceId, callback, dwInstance, [&](std::uintptr_t route) {
        return BasicMidiInService::midiInOpen(device, deviceId, &routeCallback, route);
    });
}

MMRESULT LoopbackMidiService::midiInOpenVirtual(HMIDIIN& device, std::uint32_t driver,
                                                const std::string& portName,
                                                MidiInCallback callback, std::uintptr_t dwInstance)
{
    return openRouted(device, VirtualPort, callback, dwInstance, [&](std::uintptr_t route) {
        return BasicMidiInService::midiInOpenVirtual(device, driver, portName, &routeCallback,
                                                     route);
    });
}

MMRESULT LoopbackMidiService::midiInClose(HMIDIIN device)
{
    const bool gone = unplugged(device);
    if (gone) {
        // The route swallows what the device would still say: the headers
        // the reset hands back and MIM_CLOSE.
        BasicMidiInService::midiInReset(device);
    }
    const MMRESULT result = BasicMidiInService::midiInClose(device);
    if (result == MMSYSERR_NOERROR) {
        // The callback is not run again, so its route can go.
        std::lock_guard lock(shared_->mutex);
        shared_->routes.erase(device);
    }
    return gone ? MMSYSERR_NODRIVER : result;
}

MMRESULT LoopbackMidiService::midiInStart(HMIDIIN device)
{
    return unplugged(device) ? MMSYSERR_NODRIVER : BasicMidiInService::midiInStart(device);
}

MMRESULT LoopbackMidiService::midiInStop(HMIDIIN device)
{
    return unplugged(device) ? MMSYSERR_NODRIVER : BasicMidiInService::midiInStop(device);
}

MMRESULT LoopbackMidiService::midiInReset(HMIDIIN device)
{
    return unplugged(device) ? MMSYSERR_NODRIVER : BasicMidiInService::midiInReset(device);
}

MMRESULT LoopbackMidiService::midiInUnprepareHeader(HMIDIIN device, MIDIHDR* header)
{
    return unplugged(device) ? MMSYSERR_NODRIVER
                             : BasicMidiInService::midiInUnprepareHeader(device, header);
}

MMRESULT LoopbackMidiService::midiInAddBuffer(HMIDIIN device, MIDIHDR* header)
{
    return unplugged(device) ? MMSYSERR_NODRIVER
                             : BasicMidiInService::midiInAddBuffer(device, header);
}

MMRESULT LoopbackMidiService::midiInPrepareHeader(HMIDIIN device, MIDIHDR* header)
{
    if (unplugged(device))
        return MMSYSERR_NODRIVER;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->prepareError != MMSYSERR_NOERROR && shared_->preparationsBeforeError == 0)
            return shared_->prepareError;
    }
    const MMRESULT result = BasicMidiInService::midiInPrepareHeader(device, header);
    if (result == MMSYSERR_NOERROR) {
        std::lock_guard lock(shared_->mutex);
        if (shared_->prepareError != MMSYSERR_NOERROR)
            --shared_->preparationsBeforeError;
    }
    return result;
}

void LoopbackMidiService::setDevices(std::vector<LoopbackDevice> devices)
{
    std::lock_guard lock(shared_->mutex);
    shared_->devices = std::move(devices);
}

std::vector<std::string> LoopbackMidiService::virtualPortDrivers()
{
    std::lock_guard lock(shared_->mutex);
    if (shared_->virtualOffered)
        return {"Loopback"};
    return {};
}

void LoopbackMidiService::setVirtualPorts(bool offered)
{
    std::lock_guard lock(shared_->mutex);
    shared_->virtualOffered = offered;
}

std::string LoopbackMidiService::virtualPortName() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->virtualName;
}

MMRESULT LoopbackMidiService::openVirtualPort(std::uint32_t driver, const std::string& portName,
                                              MidiInDevice& device, std::unique_ptr<Port>& port)
{
    {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->virtualOffered || driver != 0)
            return MMSYSERR_BADDEVICEID;
        shared_->virtualName = portName;
    }
    port = std::make_unique<Producer>(shared_, VirtualPort, device);
    return MMSYSERR_NOERROR;
}

void LoopbackMidiService::setHeldElsewhere(std::uint32_t deviceId, bool held)
{
    std::lock_guard lock(shared_->mutex);
    if (held)
        shared_->held.insert(deviceId);
    else
        shared_->held.erase(deviceId);
}

void LoopbackMidiService::failHeaderPreparation(MMRESULT error, std::uint32_t successes)
{
    std::lock_guard lock(shared_->mutex);
    shared_->prepareError = error;
    shared_->preparationsBeforeError = successes;
}

void LoopbackMidiService::unplug(std::uint32_t deviceId)
{
    // Holding the lock keeps the producer alive, as in flush().
    std::lock_guard lock(shared_->mutex);
    auto producer = shared_->producers.find(deviceId);
    if (producer == shared_->producers.end())
        return;
    producer->second->vanish();
    for (auto& [handle, route] : shared_->routes)
        if (route->deviceId == deviceId)
            route->gone.store(true, std::memory_order_release);
}

bool LoopbackMidiService::send(std::uint32_t deviceId, std::vector<std::uint8_t> bytes)
{
    std::lock_guard lock(shared_->mutex);
    auto it = shared_->producers.find(deviceId);
    if (it == shared_->producers.end() || it->second->gone())
        return false;
    it->second->push(std::move(bytes));
    return true;
}

void LoopbackMidiService::flush(std::uint32_t deviceId)
{
    // Holding the lock keeps the producer alive while we wait for it; its
    // thread never takes this lock.
    std::lock_guard lock(shared_->mutex);
    auto it = shared_->producers.find(deviceId);
    if (it != shared_->producers.end())
        it->second->flush();
}

MMRESULT LoopbackMidiService::deviceKey(std::uint32_t deviceId, std::string& key)
{
    std::lock_guard lock(shared_->mutex);
    if (deviceId >= shared_->devices.size())
        return MMSYSERR_BADDEVICEID;
    key = std::to_string(deviceId);
    return MMSYSERR_NOERROR;
}

MMRESULT LoopbackMidiService::openPort(std::uint32_t deviceId, MidiInDevice& device,
                                       std::unique_ptr<Port>& port)
{
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->held.count(deviceId) != 0)
            return MMSYSERR_ALLOCATED;
    }
    port = std::make_unique<Producer>(shared_, deviceId, device);
    return MMSYSERR_NOERROR;
}

} // namespace platform::midi
