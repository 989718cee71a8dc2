#include "platform/midi/MidiInDevice.h"

#include <chrono>

namespace platform::midi {

namespace {

std::int64_t steadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

constexpr std::uint8_t SysexStart = 0xF0;
constexpr std::uint8_t SysexEnd = 0xF7;
constexpr std::uint8_t FirstRealTime = 0xF8;
constexpr std::uint8_t TuneRequest = 0xF6;

bool usable(const MIDIHDR* header)
{
    return header != nullptr && header->lpData != nullptr && header->dwBufferLength > 0;
}

} // namespace

MidiInDevice::MidiInDevice(HMIDIIN handle, MidiInCallback callback, std::uintptr_t instance,
                           const InputOptions& options)
    : handle_(handle),
      callback_(callback),
      instance_(instance),
      sysexLimit_(options.sysexLimit < 2 ? 2 : options.sysexLimit),
      clock_(options.clock ? options.clock : MillisecondClock(steadyMilliseconds))
{
}

void MidiInDevice::receive(std::span<const std::uint8_t> bytes)
{
    std::lock_guard lock(mutex_);
    if (!started_ || closed_)
        return;
    const std::uint32_t stamp = timeStamp();
    for (const std::uint8_t byte : bytes)
        take(byte, stamp);
}

void MidiInDevice::take(std::uint8_t byte, std::uint32_t stamp)
{
    // Real-time bytes may come between any two bytes, even inside a
    // system-exclusive message, and change nothing around them.
    if (byte >= FirstRealTime) {
        call(MIM_DATA, byte, stamp);
        return;
    }
    if (byte < 0x80) {
        if (inSysex_)
            storeSysex(byte, stamp);
        else
            takeData(byte, stamp);
        return;
    }
    if (byte == SysexEnd) {
        status_ = 0;
        if (inSysex_)
            storeSysex(byte, stamp);
        return;
    }
    // Any other status byte ends a system-exclusive message before its time.
    if (inSysex_) {
        failSysex(stamp);
        endSysex();
    }
    if (byte == SysexStart) {
        status_ = 0;
        inSysex_ = true;
        storeSysex(byte, stamp);
        return;
    }
    beginShort(byte, stamp);
}

void MidiInDevice::beginShort(std::uint8_t status, std::uint32_t stamp)
{
    count_ = 0;
    if (status < 0xF0) {
        status_ = status;
        // Program change and channel pressure carry one data byte.
        needed_ = (status & 0xE0) == 0xC0 ? 1 : 2;
        return;
    }
    switch (status) {
    case 0xF1:
    case 0xF3:
        status_ = status;
        needed_ = 1;
        break;
    case 0xF2:
        status_ = status;
        needed_ = 2;
        break;
    case TuneRequest:
        status_ = 0;
        call(MIM_DATA, status, stamp);
        break;
    default: // 0xF4, 0xF5: undefined, and they end running status
        status_ = 0;
        break;
    }
}

void MidiInDevice::takeData(std::uint8_t byte, std::uint32_t stamp)
{
    if (status_ == 0)
        return;
    data_[count_++] = byte;
    if (count_ < needed_)
        return;
    std::uint32_t packed = status_ | (std::uint32_t{data_[0]} << 8);
    if (needed_ == 2)
        packed |= std::uint32_t{data_[1]} << 16;
    count_ = 0;
    // Only channel messages keep running status.
    if (status_ >= 0xF0)
        status_ = 0;
    call(MIM_DATA, packed, stamp);
}

void MidiInDevice::storeSysex(std::uint8_t byte, std::uint32_t stamp)
{
    const bool last = byte == SysexEnd;
    if (!droppingSysex_ && ++sysexLength_ > sysexLimit_) {
        failSysex(stamp);
        droppingSysex_ = true;
    }
    if (!droppingSysex_ && current_ == nullptr) {
        current_ = takeQueued();
        droppingSysex_ = current_ == nullptr;
    }
    if (droppingSysex_) {
        if (last) {
            failSysex(stamp);
            endSysex();
        }
        return;
    }
    current_->lpData[current_->dwBytesRecorded++] = byte;
    if (last) {
        endSysex();
        giveBack(current_, MIM_LONGDATA, stamp);
    } else if (current_->dwBytesRecorded == current_->dwBufferLength) {
        partGivenBack_ = true;
        giveBack(current_, MIM_LONGDATA, stamp);
    }
}

void MidiInDevice::endSysex()
{
    inSysex_ = false;
    droppingSysex_ = false;
    partGivenBack_ = false;
    sysexLength_ = 0;
}

void MidiInDevice::failSysex(std::uint32_t stamp)
{
    if (current_ != nullptr) {
        giveBack(current_, MIM_LONGERROR, stamp);
    } else if (partGivenBack_) {
        // What went back so far looked whole; an empty header says it was not.
        if (MIDIHDR* header = takeQueued())
            giveBack(header, MIM_LONGERROR, stamp);
    }
    partGivenBack_ = false;
}

void MidiInDevice::giveBack(MIDIHDR* header, std::uint32_t message, std::uint32_t stamp)
{
    if (header == current_)
        current_ = nullptr;
    header->lpNext = nullptr;
    header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
    call(message, reinterpret_cast<std::uintptr_t>(header), stamp);
}

MIDIHDR* MidiInDevice::takeQueued()
{
    MIDIHDR* header = queueHead_;
    if (header != nullptr) {
        queueHead_ = header->lpNext;
        if (queueHead_ == nullptr)
            queueTail_ = nullptr;
        header->lpNext = nullptr;
    }
    return header;
}

void MidiInDevice::clearInput()
{
    status_ = 0;
    count_ = 0;
    endSysex();
}

std::uint32_t MidiInDevice::timeStamp() const
{
    if (!started_)
        return 0;
    // Wraps after 49 days, as the platform's stamps do.
    return static_cast<std::uint32_t>(clock_() - startMs_);
}

void MidiInDevice::call(std::uint32_t message, std::uintptr_t param1, std::uintptr_t param2)
{
    if (callback_ != nullptr)
        callback_(handle_, message, instance_, param1, param2);
}

void MidiInDevice::opened()
{
    std::lock_guard lock(mutex_);
    call(MIM_OPEN, 0, 0);
}

MMRESULT MidiInDevice::start()
{
    std::lock_guard lock(mutex_);
    if (!started_) {
        startMs_ = clock_();
        started_ = true;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT MidiInDevice::stop()
{
    std::lock_guard lock(mutex_);
    if (!started_)
        return MMSYSERR_NOERROR;
    const std::uint32_t stamp = timeStamp();
    started_ = false;
    if (current_ != nullptr)
        giveBack(current_, MIM_LONGDATA, stamp);
    clearInput();
    return MMSYSERR_NOERROR;
}

MMRESULT MidiInDevice::reset()
{
    std::lock_guard lock(mutex_);
    const std::uint32_t stamp = timeStamp();
    started_ = false;
    if (current_ != nullptr)
        giveBack(current_, MIM_LONGDATA, stamp);
    while (MIDIHDR* header = takeQueued())
        giveBack(header, MIM_LONGDATA, stamp);
    clearInput();
    return MMSYSERR_NOERROR;
}

MMRESULT MidiInDevice::prepare(MIDIHDR* header)
{
    if (!usable(header))
        return MMSYSERR_INVALPARAM;
    std::lock_guard lock(mutex_);
    header->dwFlags |= MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT MidiInDevice::unprepare(MIDIHDR* header)
{
    if (!usable(header))
        return MMSYSERR_INVALPARAM;
    std::lock_guard lock(mutex_);
    if ((header->dwFlags & MHDR_INQUEUE) != 0)
        return MIDIERR_STILLPLAYING;
    header->dwFlags &= ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT MidiInDevice::addBuffer(MIDIHDR* header)
{
    if (!usable(header))
        return MMSYSERR_INVALPARAM;
    std::lock_guard lock(mutex_);
    if ((header->dwFlags & MHDR_PREPARED) == 0)
        return MIDIERR_UNPREPARED;
    if ((header->dwFlags & MHDR_INQUEUE) != 0)
        return MIDIERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags & ~MHDR_DONE) | MHDR_INQUEUE;
    header->dwBytesRecorded = 0;
    header->lpNext = nullptr;
    if (queueTail_ != nullptr)
        queueTail_->lpNext = header;
    else
        queueHead_ = header;
    queueTail_ = header;
    return MMSYSERR_NOERROR;
}

MMRESULT MidiInDevice::close()
{
    std::lock_guard lock(mutex_);
    if (current_ != nullptr || queueHead_ != nullptr)
        return MIDIERR_STILLPLAYING;
    started_ = false;
    closed_ = true;
    call(MIM_CLOSE, 0, 0);
    return MMSYSERR_NOERROR;
}

void MidiInDevice::abandon()
{
    std::lock_guard lock(mutex_);
    started_ = false;
    closed_ = true;
}

} // namespace platform::midi
