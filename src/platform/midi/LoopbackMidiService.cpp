#include "platform/midi/LoopbackMidiService.h"

#include "platform/midi/MidiPortList.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace platform::midi {

struct LoopbackMidiService::Shared {
    std::mutex mutex;
    std::vector<LoopbackDevice> devices;
    std::set<std::uint32_t> held;
    std::map<std::uint32_t, Producer*> producers;
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

private:
    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                break;
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

MMRESULT LoopbackMidiService::midiInPrepareHeader(HMIDIIN device, MIDIHDR* header)
{
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

bool LoopbackMidiService::send(std::uint32_t deviceId, std::vector<std::uint8_t> bytes)
{
    std::lock_guard lock(shared_->mutex);
    auto it = shared_->producers.find(deviceId);
    if (it == shared_->producers.end())
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
