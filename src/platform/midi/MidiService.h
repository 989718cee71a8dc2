#pragma once

// The platform's MIDI input service, in the shape of the multimedia MIDI
// input calls the program is written against: devices by number, their
// capabilities, open with a function callback and instance data, start,
// stop, reset, and system-exclusive buffers the caller prepares and queues.
//
// Threads: every call of MidiInService is made on the GUI thread. Incoming
// data reaches the callback on a thread of the backend's own; MIM_OPEN,
// MIM_CLOSE and the headers that midiInStop / midiInReset hand back reach it
// on the calling thread, before that call returns. The callback is never run
// twice at once for one device, must not block, allocate or call back into
// the service, and is never run after midiInClose has returned.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::midi {

using MMRESULT = std::uint32_t;

// Result codes.
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_BADERRNUM = 9;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MIDIERR_UNPREPARED = 64;
constexpr MMRESULT MIDIERR_STILLPLAYING = 65;

// Messages the callback receives.
constexpr std::uint32_t MIM_OPEN = 0x3C1;
constexpr std::uint32_t MIM_CLOSE = 0x3C2;
constexpr std::uint32_t MIM_DATA = 0x3C3;
constexpr std::uint32_t MIM_LONGDATA = 0x3C4;
constexpr std::uint32_t MIM_ERROR = 0x3C5;
constexpr std::uint32_t MIM_LONGERROR = 0x3C6;

// dwFlags of a header.
constexpr std::uint32_t MHDR_DONE = 0x1;
constexpr std::uint32_t MHDR_PREPARED = 0x2;
constexpr std::uint32_t MHDR_INQUEUE = 0x4;

// A system-exclusive receive buffer. The caller owns the header and its
// data and keeps both in place from midiInPrepareHeader to
// midiInUnprepareHeader. The backend writes the data, dwBytesRecorded and
// dwFlags of a queued header only, and hands it back through the callback
// (MIM_LONGDATA or MIM_LONGERROR with dwParam1 = the header's address).
struct MIDIHDR {
    std::uint8_t* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
    MIDIHDR* lpNext = nullptr;
    std::uintptr_t reserved = 0;
    std::uint32_t dwOffset = 0;
    std::array<std::uintptr_t, 4> dwReserved{};
};

// What a device says about itself.
struct MIDIINCAPS {
    std::uint16_t wMid = 0;           // manufacturer id
    std::uint16_t wPid = 0;           // product id
    std::uint32_t vDriverVersion = 0; // major in the high byte, minor in the low byte
    std::string szPname;              // product name, at most 31 characters
    std::uint32_t dwSupport = 0;
};

// An open device, as the service hands it out; 0 is none.
using HMIDIIN = std::uintptr_t;

// dwInstance is what the caller gave midiInOpen. For MIM_DATA, dwParam1 is
// the packed short message (status in bits 0..7, data bytes in 8..15 and
// 16..23) and dwParam2 the milliseconds since midiInStart; for
// MIM_LONGDATA / MIM_LONGERROR dwParam1 is the MIDIHDR* and dwParam2 the
// time stamp. MIM_OPEN and MIM_CLOSE carry nothing.
using MidiInCallback = void (*)(HMIDIIN device, std::uint32_t message, std::uintptr_t dwInstance,
                                std::uintptr_t dwParam1, std::uintptr_t dwParam2);

class MidiInService {
public:
    virtual ~MidiInService() = default;

    virtual std::uint32_t midiInGetNumDevs() = 0;
    virtual MMRESULT midiInGetDevCaps(std::uint32_t deviceId, MIDIINCAPS& caps) = 0;
    // The text of a result code; MMSYSERR_BADERRNUM (and `text` left alone)
    // for a code the service does not know.
    virtual MMRESULT midiInGetErrorText(MMRESULT code, std::string& text) = 0;

    // MMSYSERR_BADDEVICEID for a number the service does not list,
    // MMSYSERR_ALLOCATED for a device that is already open (here or in
    // another program). The callback gets MIM_OPEN before this returns;
    // data only flows after midiInStart.
    virtual MMRESULT midiInOpen(HMIDIIN& device, std::uint32_t deviceId, MidiInCallback callback,
                                std::uintptr_t dwInstance) = 0;
    // Fails with MIDIERR_STILLPLAYING while headers are still queued;
    // otherwise MIM_CLOSE is the last call of the callback.
    virtual MMRESULT midiInClose(HMIDIIN device) = 0;
    // Time stamps count from here. Starting a started device changes nothing.
    virtual MMRESULT midiInStart(HMIDIIN device) = 0;
    // Input is dropped until the next start; a partly filled header goes back
    // (MIM_LONGDATA), empty headers stay queued.
    virtual MMRESULT midiInStop(HMIDIIN device) = 0;
    // Stops input and hands every queued header back (MIM_LONGDATA with the
    // bytes recorded so far, MHDR_DONE set) before it returns.
    virtual MMRESULT midiInReset(HMIDIIN device) = 0;

    virtual MMRESULT midiInPrepareHeader(HMIDIIN device, MIDIHDR* header) = 0;
    virtual MMRESULT midiInUnprepareHeader(HMIDIIN device, MIDIHDR* header) = 0;
    // Queues a prepared header (MIDIERR_UNPREPARED otherwise) for the next
    // system-exclusive data.
    virtual MMRESULT midiInAddBuffer(HMIDIIN device, MIDIHDR* header) = 0;

    // Beyond the multimedia calls: input ports of the program's own, which
    // other programs (a virtual keyboard, a sequencer) play into. The
    // drivers that can offer one now, by name ("ALSA", "JACK"); none by
    // default.
    virtual std::vector<std::string> virtualPortDrivers() { return {}; }
    // Opens a port named `portName` with driver `driver` (an index into
    // virtualPortDrivers()); from there on the handle behaves as one of
    // midiInOpen. MMSYSERR_BADDEVICEID for a driver the service does not
    // offer (MMSYSERR_NOTENABLED by default).
    virtual MMRESULT midiInOpenVirtual(HMIDIIN& device, std::uint32_t driver,
                                       const std::string& portName, MidiInCallback callback,
                                       std::uintptr_t dwInstance)
    {
        (void)driver;
        (void)portName;
        (void)callback;
        (void)dwInstance;
        device = 0;
        return MMSYSERR_NOTENABLED;
    }
};

// The texts every backend gives for the common result codes; false for a
// code outside the table.
bool standardErrorText(MMRESULT code, std::string& text);

} // namespace platform::midi
