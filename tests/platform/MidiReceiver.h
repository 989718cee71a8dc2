#pragma once

// The receiving end of a MIDI input device in tests: a callback that records
// every call with a copy of what it carried, hands returned headers to the
// test thread through a queue (as the program hands them to the GUI thread),
// and notices calls that overlap or come after the test said the device was
// closed.

#include "platform/midi/MidiService.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace platform::midi::testing {

struct Received {
    std::uint32_t message = 0;
    std::uint32_t shortMessage = 0;  // MIM_DATA
    MIDIHDR* header = nullptr;       // MIM_LONGDATA, MIM_LONGERROR
    std::vector<std::uint8_t> bytes; // the header's recorded bytes, copied at the call
    std::uint32_t flags = 0;         // the header's flags at the call
    std::uint32_t timeStamp = 0;
    std::thread::id thread;
};

class MidiReceiver {
public:
    static void callback(HMIDIIN /*device*/, std::uint32_t message, std::uintptr_t instance,
                         std::uintptr_t param1, std::uintptr_t param2)
    {
        reinterpret_cast<MidiReceiver*>(instance)->record(message, param1, param2);
    }

    std::uintptr_t instance() { return reinterpret_cast<std::uintptr_t>(this); }

    std::vector<Received> all() const
    {
        std::lock_guard lock(mutex_);
        return received_;
    }

    std::vector<std::uint32_t> messages() const
    {
        std::vector<std::uint32_t> result;
        for (const Received& r : all())
            result.push_back(r.message);
        return result;
    }

    std::vector<std::uint32_t> shortMessages() const
    {
        std::vector<std::uint32_t> result;
        for (const Received& r : all())
            if (r.message == MIM_DATA)
                result.push_back(r.shortMessage);
        return result;
    }

    // The headers handed back, in order.
    std::vector<Received> headers() const
    {
        std::vector<Received> result;
        for (const Received& r : all())
            if (r.header != nullptr)
                result.push_back(r);
        return result;
    }

    // The next header handed back that the test has not taken yet; none
    // when nothing comes within the time-out (a guard against hanging, not a
    // measurement).
    std::optional<Received> takeHeader(std::chrono::seconds timeout = std::chrono::seconds(20))
    {
        std::unique_lock lock(mutex_);
        if (!arrived_.wait_for(lock, timeout, [this] { return !handedOver_.empty(); }))
            return std::nullopt;
        Received r = std::move(handedOver_.front());
        handedOver_.pop_front();
        return r;
    }

    // Waits until `count` calls carrying `message` have come.
    bool waitFor(std::uint32_t message, std::size_t count,
                 std::chrono::seconds timeout = std::chrono::seconds(20))
    {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, timeout, [&] {
            std::size_t n = 0;
            for (const Received& r : received_)
                n += r.message == message ? 1 : 0;
            return n >= count;
        });
    }

    // From now on every call is a fault.
    void forbidCalls() { forbidden_ = true; }
    int forbiddenCalls() const { return forbiddenCalls_; }
    bool overlapped() const { return overlapped_; }

private:
    void record(std::uint32_t message, std::uintptr_t param1, std::uintptr_t param2)
    {
        if (active_.fetch_add(1) != 0)
            overlapped_ = true;
        if (forbidden_)
            ++forbiddenCalls_;
        Received r;
        r.message = message;
        r.timeStamp = static_cast<std::uint32_t>(param2);
        r.thread = std::this_thread::get_id();
        if (message == MIM_DATA) {
            r.shortMessage = static_cast<std::uint32_t>(param1);
        } else if (message == MIM_LONGDATA || message == MIM_LONGERROR) {
            r.header = reinterpret_cast<MIDIHDR*>(param1);
            r.bytes.assign(r.header->lpData, r.header->lpData + r.header->dwBytesRecorded);
            r.flags = r.header->dwFlags;
        }
        {
            std::lock_guard lock(mutex_);
            if (r.header != nullptr)
                handedOver_.push_back(r);
            received_.push_back(std::move(r));
        }
        arrived_.notify_all();
        active_.fetch_sub(1);
    }

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Received> received_;
    std::deque<Received> handedOver_;
    std::atomic<int> active_{0};
    std::atomic<bool> overlapped_{false};
    std::atomic<bool> forbidden_{false};
    std::atomic<int> forbiddenCalls_{0};
};

// System-exclusive buffers owned by the test, kept in place while queued.
class SysexBuffers {
public:
    SysexBuffers(std::size_t count, std::size_t size)
        : data_(count, std::vector<std::uint8_t>(size)),
          headers_(count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            headers_[i].lpData = data_[i].data();
            headers_[i].dwBufferLength = static_cast<std::uint32_t>(size);
            headers_[i].dwUser = i;
        }
    }

    MIDIHDR* operator[](std::size_t i) { return &headers_[i]; }
    std::size_t size() const { return headers_.size(); }

    // Prepares and queues every buffer; the first failing result, if any.
    MMRESULT queueAll(MidiInService& service, HMIDIIN device)
    {
        for (MIDIHDR& header : headers_) {
            if (MMRESULT r = service.midiInPrepareHeader(device, &header); r != MMSYSERR_NOERROR)
                return r;
            if (MMRESULT r = service.midiInAddBuffer(device, &header); r != MMSYSERR_NOERROR)
                return r;
        }
        return MMSYSERR_NOERROR;
    }

    MMRESULT unprepareAll(MidiInService& service, HMIDIIN device)
    {
        for (MIDIHDR& header : headers_)
            if (MMRESULT r = service.midiInUnprepareHeader(device, &header); r != MMSYSERR_NOERROR)
                return r;
        return MMSYSERR_NOERROR;
    }

private:
    std::vector<std::vector<std::uint8_t>> data_;
    std::vector<MIDIHDR> headers_;
};

// F0, `length` data bytes counting up from `first` (kept below 0x80), F7.
inline std::vector<std::uint8_t> sysexMessage(std::size_t length, std::uint8_t first = 0)
{
    std::vector<std::uint8_t> bytes{0xF0};
    for (std::size_t i = 0; i < length; ++i)
        bytes.push_back(static_cast<std::uint8_t>((first + i) % 0x80));
    bytes.push_back(0xF7);
    return bytes;
}

} // namespace platform::midi::testing
