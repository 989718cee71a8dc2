#include "platform/midi/BasicMidiInService.h"

#include <utility>

namespace platform::midi {

BasicMidiInService::BasicMidiInService(InputOptions options)
    : options_(std::move(options))
{
}

BasicMidiInService::~BasicMidiInService()
{
    std::map<HMIDIIN, OpenDevice> open;
    {
        std::lock_guard lock(mutex_);
        open.swap(open_);
    }
    for (auto& [handle, entry] : open) {
        entry.device->abandon();
        entry.port.reset();
    }
}

MMRESULT BasicMidiInService::midiInGetErrorText(MMRESULT code, std::string& text)
{
    return standardErrorText(code, text) ? MMSYSERR_NOERROR : MMSYSERR_BADERRNUM;
}

MMRESULT BasicMidiInService::midiInOpen(HMIDIIN& device, std::uint32_t deviceId,
                                        MidiInCallback callback, std::uintptr_t dwInstance)
{
    device = 0;
    std::string key;
    if (const MMRESULT result = deviceKey(deviceId, key); result != MMSYSERR_NOERROR)
        return result;
    return openKeyed(device, key, callback, dwInstance,
                     [this, deviceId](MidiInDevice& opened, std::unique_ptr<Port>& port) {
                         return openPort(deviceId, opened, port);
                     });
}

MMRESULT BasicMidiInService::midiInOpenVirtual(HMIDIIN& device, std::uint32_t driver,
                                               const std::string& portName, MidiInCallback callback,
                                               std::uintptr_t dwInstance)
{
    device = 0;
    // Device keys never start with a space.
    const std::string key = " virtual " + std::to_string(driver) + " " + portName;
    return openKeyed(device, key, callback, dwInstance,
                     [this, driver, &portName](MidiInDevice& opened, std::unique_ptr<Port>& port) {
                         return openVirtualPort(driver, portName, opened, port);
                     });
}

MMRESULT BasicMidiInService::openVirtualPort(std::uint32_t /*driver*/,
                                             const std::string& /*portName*/,
                                             MidiInDevice& /*device*/,
                                             std::unique_ptr<Port>& /*port*/)
{
    return MMSYSERR_BADDEVICEID;
}

template <typename Open>
MMRESULT BasicMidiInService::openKeyed(HMIDIIN& device, const std::string& key,
                                       MidiInCallback callback, std::uintptr_t dwInstance,
                                       Open open)
{
    HMIDIIN handle = 0;
    {
        std::lock_guard lock(mutex_);
        if (!openKeys_.insert(key).second)
            return MMSYSERR_ALLOCATED;
        handle = nextHandle_++;
    }

    OpenDevice entry{key, std::make_unique<MidiInDevice>(handle, callback, dwInstance, options_),
                     nullptr};
    const MMRESULT result = open(*entry.device, entry.port);
    if (result != MMSYSERR_NOERROR || !entry.port) {
        std::lock_guard lock(mutex_);
        openKeys_.erase(key);
        return result != MMSYSERR_NOERROR ? result : MMSYSERR_ERROR;
    }
    entry.device->opened();
    {
        std::lock_guard lock(mutex_);
        open_.emplace(handle, std::move(entry));
    }
    device = handle;
    return MMSYSERR_NOERROR;
}

MMRESULT BasicMidiInService::midiInClose(HMIDIIN device)
{
    MidiInDevice* open = find(device);
    if (open == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (const MMRESULT result = open->close(); result != MMSYSERR_NOERROR)
        return result;

    OpenDevice entry;
    {
        std::lock_guard lock(mutex_);
        auto node = open_.extract(device);
        entry = std::move(node.mapped());
        openKeys_.erase(entry.key);
    }
    // The port's thread may still be inside receive(), which now drops
    // everything; the device lives until that thread is gone.
    entry.port.reset();
    entry.device.reset();
    return MMSYSERR_NOERROR;
}

MMRESULT BasicMidiInService::midiInStart(HMIDIIN device)
{
    MidiInDevice* open = find(device);
    return open != nullptr ? open->start() : MMSYSERR_INVALHANDLE;
}

MMRESULT BasicMidiInService::midiInStop(HMIDIIN device)
{
    MidiInDevice* open = find(device);
    return open != nullptr ? open->stop() : MMSYSERR_INVALHANDLE;
}

MMRESULT BasicMidiInService::midiInReset(HMIDIIN device)
{
    MidiInDevice* open = find(device);
    return open != nullptr ? open->reset() : MMSYSERR_INVALHANDLE;
}

MMRESULT BasicMidiInService::midiInPrepareHeader(HMIDIIN device, MIDIHDR* header)
{
    MidiInDevice* open = find(device);
    return open != nullptr ? open->prepare(header) : MMSYSERR_INVALHANDLE;
}

MMRESULT BasicMidiInService::midiInUnprepareHeader(HMIDIIN device, MIDIHDR* header)
{
    MidiInDevice* open = find(device);
    return open != nullptr ? open->unprepare(header) : MMSYSERR_INVALHANDLE;
}

MMRESULT BasicMidiInService::midiInAddBuffer(HMIDIIN device, MIDIHDR* header)
{
    MidiInDevice* open = find(device);
    return open != nullptr ? open->addBuffer(header) : MMSYSERR_INVALHANDLE;
}

bool BasicMidiInService::isOpen(HMIDIIN device) const { return find(device) != nullptr; }

MidiInDevice* BasicMidiInService::find(HMIDIIN device) const
{
    // The device stays valid after the lock is released: only midiInClose
    // removes it, on the same (GUI) thread as every other call.
    std::lock_guard lock(mutex_);
    auto it = open_.find(device);
    return it != open_.end() ? it->second.device.get() : nullptr;
}

} // namespace platform::midi
