// The input device's reading of a byte stream: bytes arrive in pieces of any
// size while the caller queues, takes back, frees and re-queues
// system-exclusive buffers and starts, stops, resets and closes the device.
// Whatever comes, the callback must only get well-formed short messages and
// headers that were queued, never filled past their length, and nothing
// after close.

#include "TempFolder.h"
#include "platform/midi/MidiInDevice.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using namespace platform::midi;
using fuzzing::check;

struct Buffer {
    explicit Buffer(std::size_t size)
        : data(new std::uint8_t[size]) // exactly `size`, so a write past it is caught
    {
        header.lpData = data.get();
        header.dwBufferLength = static_cast<std::uint32_t>(size);
    }
    std::unique_ptr<std::uint8_t[]> data;
    MIDIHDR header;
    bool queued = false; // added and not handed back yet
};

struct Caller {
    std::vector<std::unique_ptr<Buffer>> buffers;
    std::int64_t now = 1000;
    bool opening = false;
    bool closing = false;
    bool closed = false;

    Buffer* find(const MIDIHDR* header)
    {
        for (auto& b : buffers)
            if (&b->header == header)
                return b.get();
        return nullptr;
    }
    std::size_t queuedCount() const
    {
        return static_cast<std::size_t>(
            std::count_if(buffers.begin(), buffers.end(), [](const auto& b) { return b->queued; }));
    }
};

void checkShortMessage(std::uintptr_t packed)
{
    check(packed <= 0xFFFFFF, "a short message wider than three bytes");
    const auto status = static_cast<std::uint8_t>(packed & 0xFF);
    const auto data1 = static_cast<std::uint8_t>(packed >> 8 & 0xFF);
    const auto data2 = static_cast<std::uint8_t>(packed >> 16 & 0xFF);
    check(status >= 0x80, "a short message without a status byte");
    check(status != 0xF0 && status != 0xF7 && status != 0xF4 && status != 0xF5,
          "a short message with a status that is not one");
    check(data1 < 0x80 && data2 < 0x80, "a status byte among the data bytes");
    std::size_t length = 2;
    if (status >= 0xF8 || status == 0xF6)
        length = 0;
    else if ((status & 0xE0) == 0xC0 || status == 0xF1 || status == 0xF3)
        length = 1;
    check(length >= 1 || data1 == 0, "data after a status that has none");
    check(length >= 2 || data2 == 0, "a second data byte after a status that has one");
}

void checkHeader(Caller& caller, std::uintptr_t param)
{
    auto* header = reinterpret_cast<MIDIHDR*>(param);
    Buffer* buffer = caller.find(header);
    check(buffer != nullptr, "a header that was never added");
    check(buffer->queued, "a header handed back twice");
    buffer->queued = false;
    check(header->dwBytesRecorded <= header->dwBufferLength,
          "more bytes recorded than the buffer holds");
    check((header->dwFlags & MHDR_DONE) != 0 && (header->dwFlags & MHDR_INQUEUE) == 0,
          "a header handed back still marked queued");
    check((header->dwFlags & MHDR_PREPARED) != 0, "a header handed back unprepared");
    for (std::uint32_t i = 0; i < header->dwBytesRecorded; ++i) {
        const std::uint8_t b = header->lpData[i];
        check(b < 0x80 || (b == 0xF0 && i == 0) || (b == 0xF7 && i + 1 == header->dwBytesRecorded),
              "a status byte inside system-exclusive data");
    }
}

void callback(HMIDIIN device, std::uint32_t message, std::uintptr_t instance, std::uintptr_t param1,
              std::uintptr_t /*param2*/)
{
    auto& caller = *reinterpret_cast<Caller*>(instance);
    check(device == 1, "a call for another device");
    check(!caller.closed, "a call after close");
    switch (message) {
    case MIM_DATA:
        checkShortMessage(param1);
        break;
    case MIM_LONGDATA:
    case MIM_LONGERROR:
        checkHeader(caller, param1);
        break;
    case MIM_OPEN:
        check(caller.opening, "MIM_OPEN out of turn");
        break;
    case MIM_CLOSE:
        check(caller.closing, "MIM_CLOSE out of turn");
        break;
    default:
        fuzzing::fail("an unknown message");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    Caller caller;
    InputOptions options;
    options.sysexLimit = in.ConsumeIntegralInRange<std::size_t>(0, 48);
    options.clock = [&caller] { return caller.now; };
    MidiInDevice device(1, &callback, reinterpret_cast<std::uintptr_t>(&caller), options);

    caller.opening = true;
    device.opened();
    caller.opening = false;
    check(device.start() == MMSYSERR_NOERROR, "start failed");

    const auto pick = [&]() -> Buffer* {
        if (caller.buffers.empty())
            return nullptr;
        return caller.buffers[in.ConsumeIntegralInRange<std::size_t>(0, caller.buffers.size() - 1)]
            .get();
    };

    while (in.remaining_bytes() > 0) {
        const auto op = in.ConsumeIntegralInRange<int>(0, 15);
        if (caller.closed && op > 7)
            continue; // the handle is gone; only the backend's thread may still deliver
        switch (op) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 7: {
            const auto piece =
                in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 24));
            caller.now += in.ConsumeIntegralInRange<int>(0, 3);
            device.receive(piece);
            break;
        }
        case 8: { // a new buffer, prepared and queued
            if (caller.buffers.size() >= 8)
                break;
            caller.buffers.push_back(
                std::make_unique<Buffer>(in.ConsumeIntegralInRange<std::size_t>(1, 40)));
            Buffer& b = *caller.buffers.back();
            check(device.addBuffer(&b.header) == MIDIERR_UNPREPARED,
                  "an unprepared header was queued");
            check(device.prepare(&b.header) == MMSYSERR_NOERROR, "prepare failed");
            check(device.addBuffer(&b.header) == MMSYSERR_NOERROR, "addBuffer failed");
            b.queued = true;
            break;
        }
        case 9: { // queue a buffer again, as the program does with each one handed back
            Buffer* b = pick();
            if (b == nullptr)
                break;
            const MMRESULT result = device.addBuffer(&b->header);
            check(result == (b->queued ? MIDIERR_STILLPLAYING : MMSYSERR_NOERROR),
                  "addBuffer of a queued header did not fail, or of a free one failed");
            b->queued = true;
            break;
        }
        case 10: { // take a buffer away and free it
            Buffer* b = pick();
            if (b == nullptr)
                break;
            const MMRESULT result = device.unprepare(&b->header);
            check(result == (b->queued ? MIDIERR_STILLPLAYING : MMSYSERR_NOERROR),
                  "unprepare of a queued header did not fail, or of a free one failed");
            if (result == MMSYSERR_NOERROR)
                std::erase_if(caller.buffers, [b](const auto& p) { return p.get() == b; });
            break;
        }
        case 11:
            check(device.start() == MMSYSERR_NOERROR, "start failed");
            break;
        case 12:
            check(device.stop() == MMSYSERR_NOERROR, "stop failed");
            for (const auto& b : caller.buffers)
                check(!b->queued || b->header.dwBytesRecorded == 0,
                      "stop kept a partly filled header");
            break;
        case 13:
            check(device.reset() == MMSYSERR_NOERROR, "reset failed");
            check(caller.queuedCount() == 0, "reset kept a header");
            break;
        case 14: {
            MIDIHDR none;
            check(device.prepare(&none) == MMSYSERR_INVALPARAM &&
                      device.addBuffer(&none) == MMSYSERR_INVALPARAM &&
                      device.prepare(nullptr) == MMSYSERR_INVALPARAM,
                  "a header without a buffer was taken");
            break;
        }
        case 15: {
            const bool busy = caller.queuedCount() > 0;
            caller.closing = true;
            const MMRESULT result = device.close();
            caller.closing = false;
            check(result == (busy ? MIDIERR_STILLPLAYING : MMSYSERR_NOERROR),
                  "close with headers queued did not fail, or without them failed");
            caller.closed = result == MMSYSERR_NOERROR;
            break;
        }
        }
    }

    if (!caller.closed) {
        check(device.reset() == MMSYSERR_NOERROR, "reset failed");
        check(caller.queuedCount() == 0, "reset kept a header");
        caller.closing = true;
        check(device.close() == MMSYSERR_NOERROR, "close after reset failed");
        caller.closing = false;
        caller.closed = true;
    }
    const std::uint8_t late[] = {0x90, 60, 100, 0xF8, 0xF0, 1, 2, 0xF7};
    device.receive(late);
    return 0;
}
