// The calls of the MIDI input service, on the Loopback backend: result
// codes, open and close, headers, and which thread the callback runs on.

#include "MidiReceiver.h"
#include "platform/midi/LoopbackMidiService.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

namespace platform::midi {
namespace {

using testing::MidiReceiver;
using testing::SysexBuffers;

TEST(LoopbackDevices, ListDevicesWithTheirCapabilities)
{
    LoopbackMidiService service(
        {{"Keys", 0x41, 0x1234, 0x0203}, {"An Extremely Long Keyboard Name Of Forty Chars"}});
    ASSERT_EQ(service.midiInGetNumDevs(), 2u);

    MIDIINCAPS caps;
    ASSERT_EQ(service.midiInGetDevCaps(0, caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.szPname, "Keys");
    EXPECT_EQ(caps.wMid, 0x41);
    EXPECT_EQ(caps.wPid, 0x1234);
    EXPECT_EQ(caps.vDriverVersion, 0x0203u);

    ASSERT_EQ(service.midiInGetDevCaps(1, caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.szPname, "An Extremely Long Keyboard Name");
    EXPECT_EQ(service.midiInGetDevCaps(2, caps), MMSYSERR_BADDEVICEID);

    service.setDevices({});
    EXPECT_EQ(service.midiInGetNumDevs(), 0u);
    EXPECT_EQ(service.midiInGetDevCaps(0, caps), MMSYSERR_BADDEVICEID);
}

TEST(LoopbackDevices, ErrorTextIsGivenForKnownCodesOnly)
{
    LoopbackMidiService service;
    for (MMRESULT code : {MMSYSERR_NOERROR, MMSYSERR_ALLOCATED, MMSYSERR_BADDEVICEID,
                          MMSYSERR_NOMEM, MIDIERR_UNPREPARED, MIDIERR_STILLPLAYING}) {
        std::string text;
        std::string expected;
        ASSERT_TRUE(standardErrorText(code, expected));
        EXPECT_EQ(service.midiInGetErrorText(code, text), MMSYSERR_NOERROR) << code;
        EXPECT_EQ(text, expected);
    }
    std::string text = "unchanged";
    EXPECT_EQ(service.midiInGetErrorText(12345, text), MMSYSERR_BADERRNUM);
    EXPECT_EQ(service.midiInGetErrorText(MMSYSERR_BADERRNUM + 100, text), MMSYSERR_BADERRNUM);
    EXPECT_EQ(text, "unchanged");
}

// Device 0 is open with header 0 queued and header 1 untouched; device 1 is
// held by another program; device 2 was opened and closed again.
class ServiceCalls : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_EQ(service.midiInOpen(open, 0, &MidiReceiver::callback, receiver.instance()),
                  MMSYSERR_NOERROR);
        ASSERT_EQ(service.midiInPrepareHeader(open, buffers[0]), MMSYSERR_NOERROR);
        ASSERT_EQ(service.midiInAddBuffer(open, buffers[0]), MMSYSERR_NOERROR);
        service.setHeldElsewhere(1, true);
        ASSERT_EQ(service.midiInOpen(closed, 2, nullptr, 0), MMSYSERR_NOERROR);
        ASSERT_EQ(service.midiInClose(closed), MMSYSERR_NOERROR);
    }

    void TearDown() override
    {
        EXPECT_EQ(service.midiInReset(open), MMSYSERR_NOERROR);
        EXPECT_EQ(buffers.unprepareAll(service, open), MMSYSERR_NOERROR);
        EXPECT_EQ(service.midiInClose(open), MMSYSERR_NOERROR);
    }

    MidiReceiver receiver;
    SysexBuffers buffers{2, 64};
    LoopbackMidiService service{{{"Keys"}, {"Busy"}, {"Pads"}}};
    HMIDIIN open = 0;
    HMIDIIN closed = 0;
};

struct CallCase {
    const char* name;
    std::function<MMRESULT(ServiceCalls&)> call;
    MMRESULT expected;
};

void PrintTo(const CallCase& row, std::ostream* os) { *os << row.name; }

class ServiceCallResults : public ServiceCalls, public ::testing::WithParamInterface<CallCase> {};

const CallCase callCases[] = {
    {"OpenUnknownDevice",
     [](ServiceCalls& f) {
         HMIDIIN h = 0;
         return f.service.midiInOpen(h, 3, nullptr, 0);
     },
     MMSYSERR_BADDEVICEID},
    {"OpenDeviceAlreadyOpen",
     [](ServiceCalls& f) {
         HMIDIIN h = 0;
         return f.service.midiInOpen(h, 0, nullptr, 0);
     },
     MMSYSERR_ALLOCATED},
    {"OpenDeviceHeldElsewhere",
     [](ServiceCalls& f) {
         HMIDIIN h = 0;
         return f.service.midiInOpen(h, 1, nullptr, 0);
     },
     MMSYSERR_ALLOCATED},
    {"CloseNoHandle", [](ServiceCalls& f) { return f.service.midiInClose(0); },
     MMSYSERR_INVALHANDLE},
    {"CloseClosedHandle", [](ServiceCalls& f) { return f.service.midiInClose(f.closed); },
     MMSYSERR_INVALHANDLE},
    {"StartClosedHandle", [](ServiceCalls& f) { return f.service.midiInStart(f.closed); },
     MMSYSERR_INVALHANDLE},
    {"StopClosedHandle", [](ServiceCalls& f) { return f.service.midiInStop(f.closed); },
     MMSYSERR_INVALHANDLE},
    {"ResetClosedHandle", [](ServiceCalls& f) { return f.service.midiInReset(f.closed); },
     MMSYSERR_INVALHANDLE},
    {"PrepareOnClosedHandle",
     [](ServiceCalls& f) { return f.service.midiInPrepareHeader(f.closed, f.buffers[1]); },
     MMSYSERR_INVALHANDLE},
    {"UnprepareOnClosedHandle",
     [](ServiceCalls& f) { return f.service.midiInUnprepareHeader(f.closed, f.buffers[1]); },
     MMSYSERR_INVALHANDLE},
    {"AddBufferOnClosedHandle",
     [](ServiceCalls& f) { return f.service.midiInAddBuffer(f.closed, f.buffers[1]); },
     MMSYSERR_INVALHANDLE},
    {"AddUnpreparedBuffer",
     [](ServiceCalls& f) { return f.service.midiInAddBuffer(f.open, f.buffers[1]); },
     MIDIERR_UNPREPARED},
    {"AddBufferAlreadyQueued",
     [](ServiceCalls& f) { return f.service.midiInAddBuffer(f.open, f.buffers[0]); },
     MIDIERR_STILLPLAYING},
    {"UnprepareQueuedBuffer",
     [](ServiceCalls& f) { return f.service.midiInUnprepareHeader(f.open, f.buffers[0]); },
     MIDIERR_STILLPLAYING},
    {"CloseWithBufferQueued", [](ServiceCalls& f) { return f.service.midiInClose(f.open); },
     MIDIERR_STILLPLAYING},
    {"PrepareNoHeader",
     [](ServiceCalls& f) { return f.service.midiInPrepareHeader(f.open, nullptr); },
     MMSYSERR_INVALPARAM},
    {"PrepareHeaderWithoutData",
     [](ServiceCalls& f) {
         MIDIHDR empty;
         return f.service.midiInPrepareHeader(f.open, &empty);
     },
     MMSYSERR_INVALPARAM},
    {"PrepareWhenOutOfMemory",
     [](ServiceCalls& f) {
         f.service.failHeaderPreparation(MMSYSERR_NOMEM);
         return f.service.midiInPrepareHeader(f.open, f.buffers[1]);
     },
     MMSYSERR_NOMEM},
};

TEST_P(ServiceCallResults, GiveTheCodeOfTheFault)
{
    EXPECT_EQ(GetParam().call(*this), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ServiceCallResults, ::testing::ValuesIn(callCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ServiceCalls, FailedCallsChangeNothing)
{
    EXPECT_EQ(service.midiInClose(open), MIDIERR_STILLPLAYING);
    EXPECT_EQ(service.midiInAddBuffer(open, buffers[1]), MIDIERR_UNPREPARED);
    EXPECT_EQ(buffers[1]->dwFlags, 0u);
    service.failHeaderPreparation(MMSYSERR_NOMEM);
    EXPECT_EQ(service.midiInPrepareHeader(open, buffers[1]), MMSYSERR_NOMEM);
    EXPECT_EQ(buffers[1]->dwFlags & MHDR_PREPARED, 0u);
    service.failHeaderPreparation(MMSYSERR_NOERROR);

    // The device is still open and still takes data into the queued header.
    ASSERT_EQ(service.midiInStart(open), MMSYSERR_NOERROR);
    ASSERT_TRUE(service.send(0, {0xF0, 0x01, 0xF7}));
    service.flush(0);
    ASSERT_EQ(receiver.headers().size(), 1u);
    EXPECT_EQ(receiver.headers()[0].bytes, (std::vector<std::uint8_t>{0xF0, 0x01, 0xF7}));
}

TEST(LoopbackDevices, HeaderPreparationFailsAfterTheGivenSuccesses)
{
    LoopbackMidiService service({{"Keys"}});
    HMIDIIN device = 0;
    ASSERT_EQ(service.midiInOpen(device, 0, nullptr, 0), MMSYSERR_NOERROR);
    SysexBuffers buffers(4, 16);

    service.failHeaderPreparation(MMSYSERR_NOMEM, 2);
    EXPECT_EQ(service.midiInPrepareHeader(device, buffers[0]), MMSYSERR_NOERROR);
    EXPECT_EQ(service.midiInPrepareHeader(device, buffers[1]), MMSYSERR_NOERROR);
    EXPECT_EQ(service.midiInPrepareHeader(device, buffers[2]), MMSYSERR_NOMEM);
    EXPECT_EQ(service.midiInPrepareHeader(device, buffers[3]), MMSYSERR_NOMEM);
    EXPECT_EQ(buffers[2]->dwFlags & MHDR_PREPARED, 0u);

    service.failHeaderPreparation(MMSYSERR_NOERROR);
    EXPECT_EQ(service.midiInPrepareHeader(device, buffers[2]), MMSYSERR_NOERROR);
    EXPECT_EQ(service.midiInClose(device), MMSYSERR_NOERROR);
}

TEST(LoopbackDevices, DeviceIsFreeAgainAfterCloseOrWhenReleasedElsewhere)
{
    LoopbackMidiService service({{"Keys"}});
    HMIDIIN first = 0;
    ASSERT_EQ(service.midiInOpen(first, 0, nullptr, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(service.midiInClose(first), MMSYSERR_NOERROR);

    HMIDIIN second = 0;
    ASSERT_EQ(service.midiInOpen(second, 0, nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_NE(second, first) << "a stale handle must not name the new opening";
    EXPECT_EQ(service.midiInStart(first), MMSYSERR_INVALHANDLE);
    ASSERT_EQ(service.midiInClose(second), MMSYSERR_NOERROR);

    service.setHeldElsewhere(0, true);
    HMIDIIN third = 0;
    EXPECT_EQ(service.midiInOpen(third, 0, nullptr, 0), MMSYSERR_ALLOCATED);
    EXPECT_EQ(third, 0u);
    service.setHeldElsewhere(0, false);
    ASSERT_EQ(service.midiInOpen(third, 0, nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(service.midiInClose(third), MMSYSERR_NOERROR);
}

TEST(LoopbackDevices, HeaderFlagsFollowPrepareQueueReturnAndUnprepare)
{
    LoopbackMidiService service({{"Keys"}});
    MidiReceiver receiver;
    HMIDIIN device = 0;
    ASSERT_EQ(service.midiInOpen(device, 0, &MidiReceiver::callback, receiver.instance()),
              MMSYSERR_NOERROR);
    SysexBuffers buffers(1, 16);
    MIDIHDR* header = buffers[0];

    ASSERT_EQ(service.midiInPrepareHeader(device, header), MMSYSERR_NOERROR);
    EXPECT_EQ(header->dwFlags, MHDR_PREPARED);
    ASSERT_EQ(service.midiInPrepareHeader(device, header), MMSYSERR_NOERROR) << "prepared twice";
    ASSERT_EQ(service.midiInAddBuffer(device, header), MMSYSERR_NOERROR);
    EXPECT_EQ(header->dwFlags, MHDR_PREPARED | MHDR_INQUEUE);

    ASSERT_EQ(service.midiInStart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(service.send(0, {0xF0, 0x7D, 0xF7}));
    service.flush(0);
    ASSERT_EQ(receiver.headers().size(), 1u);
    EXPECT_EQ(receiver.headers()[0].flags, MHDR_PREPARED | MHDR_DONE);

    // Queued again, the header starts empty and loses its done flag.
    ASSERT_EQ(service.midiInAddBuffer(device, header), MMSYSERR_NOERROR);
    EXPECT_EQ(header->dwBytesRecorded, 0u);
    EXPECT_EQ(header->dwFlags, MHDR_PREPARED | MHDR_INQUEUE);
    ASSERT_EQ(service.midiInReset(device), MMSYSERR_NOERROR);

    ASSERT_EQ(service.midiInUnprepareHeader(device, header), MMSYSERR_NOERROR);
    EXPECT_EQ(header->dwFlags & MHDR_PREPARED, 0u);
    EXPECT_EQ(service.midiInAddBuffer(device, header), MIDIERR_UNPREPARED);
    EXPECT_EQ(service.midiInClose(device), MMSYSERR_NOERROR);
}

TEST(LoopbackDevices, SendOnlyReachesAnOpenDevice)
{
    LoopbackMidiService service({{"Keys"}, {"Pads"}});
    EXPECT_FALSE(service.send(0, {0x90, 0x3C, 0x64}));
    EXPECT_FALSE(service.send(7, {0x90, 0x3C, 0x64}));
    service.flush(0); // returns at once for a closed device

    HMIDIIN device = 0;
    ASSERT_EQ(service.midiInOpen(device, 1, nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_FALSE(service.send(0, {0x90, 0x3C, 0x64}));
    EXPECT_TRUE(service.send(1, {0x90, 0x3C, 0x64}));
    ASSERT_EQ(service.midiInClose(device), MMSYSERR_NOERROR);
    EXPECT_FALSE(service.send(1, {0x90, 0x3C, 0x64}));
}

// The callback: what reaches it, on which thread, and when it stops.
class CallbackThreads : public ::testing::Test {
protected:
    MidiReceiver receiver;
    SysexBuffers buffers{16, 64};
    std::unique_ptr<LoopbackMidiService> service =
        std::make_unique<LoopbackMidiService>(std::vector<LoopbackDevice>{{"Keys"}});
    HMIDIIN device = 0;

    void open()
    {
        ASSERT_EQ(service->midiInOpen(device, 0, &MidiReceiver::callback, receiver.instance()),
                  MMSYSERR_NOERROR);
    }
};

TEST_F(CallbackThreads, DataComesOnTheDevicesThreadAndOpenCloseOnTheCallers)
{
    open();
    ASSERT_EQ(buffers.queueAll(*service, device), MMSYSERR_NOERROR);
    ASSERT_EQ(service->midiInStart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(service->send(0, {0x90, 0x3C, 0x64, 0xF0, 0x01, 0xF7}));
    service->flush(0);
    ASSERT_EQ(service->midiInReset(device), MMSYSERR_NOERROR);
    ASSERT_EQ(buffers.unprepareAll(*service, device), MMSYSERR_NOERROR);
    ASSERT_EQ(service->midiInClose(device), MMSYSERR_NOERROR);

    const auto calls = receiver.all();
    ASSERT_EQ(calls.size(), 2u + 2u + 15u);
    const auto me = std::this_thread::get_id();
    EXPECT_EQ(calls.front().message, MIM_OPEN);
    EXPECT_EQ(calls.front().thread, me);
    EXPECT_EQ(calls[1].message, MIM_DATA);
    EXPECT_NE(calls[1].thread, me);
    EXPECT_EQ(calls[2].message, MIM_LONGDATA);
    EXPECT_NE(calls[2].thread, me);
    for (std::size_t i = 3; i + 1 < calls.size(); ++i) {
        EXPECT_EQ(calls[i].message, MIM_LONGDATA) << "the headers reset hands back";
        EXPECT_EQ(calls[i].thread, me);
    }
    EXPECT_EQ(calls.back().message, MIM_CLOSE);
    EXPECT_EQ(calls.back().thread, me);
}

TEST_F(CallbackThreads, NoCallAfterCloseReturnsEvenWithDataStillComing)
{
    open();
    ASSERT_EQ(service->midiInStart(device), MMSYSERR_NOERROR);
    // Far more than the producer delivers before close is called.
    for (int i = 0; i < 2000; ++i)
        ASSERT_TRUE(service->send(0, {0x90, 0x3C, 0x64, 0x80, 0x3C, 0x00, 0xFE, 0xF8}));
    ASSERT_EQ(service->midiInClose(device), MMSYSERR_NOERROR);
    receiver.forbidCalls();
    service->flush(0);
    service.reset(); // joins every thread the service ran

    EXPECT_EQ(receiver.forbiddenCalls(), 0);
    EXPECT_EQ(receiver.messages().back(), MIM_CLOSE);
    EXPECT_FALSE(receiver.overlapped());
}

TEST_F(CallbackThreads, ResetWhileDataFlowsHandsEveryHeaderBackOnce)
{
    open();
    ASSERT_EQ(buffers.queueAll(*service, device), MMSYSERR_NOERROR);
    ASSERT_EQ(service->midiInStart(device), MMSYSERR_NOERROR);
    // 100-byte messages fill two 64-byte buffers each: more than are queued.
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(service->send(0, testing::sysexMessage(98, static_cast<std::uint8_t>(i))));
        ASSERT_TRUE(service->send(0, {0x90, 0x3C, 0x64}));
    }
    ASSERT_EQ(service->midiInReset(device), MMSYSERR_NOERROR);
    service->flush(0);

    std::vector<int> returns(buffers.size());
    for (const auto& r : receiver.headers())
        ++returns[r.header->dwUser];
    for (std::size_t i = 0; i < buffers.size(); ++i)
        EXPECT_EQ(returns[i], 1) << "header " << i;
    EXPECT_FALSE(receiver.overlapped());
    EXPECT_EQ(buffers.unprepareAll(*service, device), MMSYSERR_NOERROR);
    EXPECT_EQ(service->midiInClose(device), MMSYSERR_NOERROR);
}

TEST_F(CallbackThreads, DestroyingTheServiceStopsADeviceLeftOpenWithoutClosingIt)
{
    open();
    ASSERT_EQ(service->midiInStart(device), MMSYSERR_NOERROR);
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(service->send(0, {0x90, 0x3C, 0x64}));
    service.reset();

    const auto messages = receiver.messages();
    EXPECT_EQ(messages.front(), MIM_OPEN);
    for (std::size_t i = 1; i < messages.size(); ++i)
        EXPECT_EQ(messages[i], MIM_DATA);
}

// --- A device unplugged while open ------------------------------------------------------

// Device 0 is open and started, header 0 queued and header 1 prepared, with
// data delivered before it was unplugged; device 1 is open and stays.
class UnpluggedDevice : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_EQ(service.midiInOpen(device, 0, &MidiReceiver::callback, receiver.instance()),
                  MMSYSERR_NOERROR);
        ASSERT_EQ(service.midiInPrepareHeader(device, buffers[0]), MMSYSERR_NOERROR);
        ASSERT_EQ(service.midiInAddBuffer(device, buffers[0]), MMSYSERR_NOERROR);
        ASSERT_EQ(service.midiInPrepareHeader(device, buffers[1]), MMSYSERR_NOERROR);
        ASSERT_EQ(service.midiInStart(device), MMSYSERR_NOERROR);
        ASSERT_TRUE(service.send(0, {0x90, 0x3C, 0x64}));
        service.flush(0);
        ASSERT_EQ(receiver.shortMessages(), (std::vector<std::uint32_t>{0x643C90}));

        ASSERT_EQ(service.midiInOpen(other, 1, &MidiReceiver::callback, otherReceiver.instance()),
                  MMSYSERR_NOERROR);
        ASSERT_EQ(service.midiInStart(other), MMSYSERR_NOERROR);

        service.unplug(0);
        receiver.forbidCalls();
    }

    void TearDown() override
    {
        if (!closed) {
            EXPECT_EQ(service.midiInClose(device), MMSYSERR_NODRIVER);
        }
        EXPECT_EQ(service.midiInClose(other), MMSYSERR_NOERROR);
        EXPECT_EQ(receiver.forbiddenCalls(), 0) << "the callback ran after the unplugging";
    }

    MidiReceiver receiver, otherReceiver;
    SysexBuffers buffers{2, 64};
    LoopbackMidiService service{{{"Keys"}, {"Pads"}}};
    HMIDIIN device = 0;
    HMIDIIN other = 0;
    bool closed = false;
};

struct UnpluggedCase {
    const char* name;
    std::function<MMRESULT(UnpluggedDevice&)> call;
};

void PrintTo(const UnpluggedCase& row, std::ostream* os) { *os << row.name; }

class UnpluggedCallResults : public UnpluggedDevice,
                             public ::testing::WithParamInterface<UnpluggedCase> {};

const UnpluggedCase unpluggedCases[] = {
    {"Start", [](UnpluggedDevice& f) { return f.service.midiInStart(f.device); }},
    {"Stop", [](UnpluggedDevice& f) { return f.service.midiInStop(f.device); }},
    {"Reset", [](UnpluggedDevice& f) { return f.service.midiInReset(f.device); }},
    {"PrepareHeader",
     [](UnpluggedDevice& f) {
         MIDIHDR fresh;
         std::uint8_t byte = 0;
         fresh.lpData = &byte;
         fresh.dwBufferLength = 1;
         return f.service.midiInPrepareHeader(f.device, &fresh);
     }},
    {"PrepareHeaderWhileOutOfMemory",
     [](UnpluggedDevice& f) {
         f.service.failHeaderPreparation(MMSYSERR_NOMEM);
         return f.service.midiInPrepareHeader(f.device, f.buffers[1]);
     }},
    {"UnprepareHeader",
     [](UnpluggedDevice& f) { return f.service.midiInUnprepareHeader(f.device, f.buffers[1]); }},
    {"AddBuffer",
     [](UnpluggedDevice& f) { return f.service.midiInAddBuffer(f.device, f.buffers[1]); }},
    {"Close",
     [](UnpluggedDevice& f) {
         f.closed = true;
         return f.service.midiInClose(f.device);
     }},
};

TEST_P(UnpluggedCallResults, FailWithNoDriver)
{
    EXPECT_EQ(GetParam().call(*this), MMSYSERR_NODRIVER);
    if (!closed) {
        // Nothing the failed call would have done reaches the headers.
        EXPECT_EQ(buffers[0]->dwFlags, MHDR_PREPARED | MHDR_INQUEUE);
        EXPECT_EQ(buffers[1]->dwFlags, MHDR_PREPARED);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, UnpluggedCallResults, ::testing::ValuesIn(unpluggedCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(UnpluggedDevice, SendFailsAndNothingMoreArrives)
{
    EXPECT_FALSE(service.send(0, {0x90, 0x3E, 0x64}));
    service.flush(0); // returns at once
    EXPECT_EQ(receiver.messages(), (std::vector<std::uint32_t>{MIM_OPEN, MIM_DATA}));

    // The other device goes on as before.
    ASSERT_TRUE(service.send(1, {0x90, 0x40, 0x64}));
    service.flush(1);
    EXPECT_EQ(otherReceiver.shortMessages(), (std::vector<std::uint32_t>{0x644090}));
}

TEST_F(UnpluggedDevice, ClosingFreesTheHandleAndTheDeviceNumber)
{
    closed = true;
    ASSERT_EQ(service.midiInClose(device), MMSYSERR_NODRIVER);
    EXPECT_EQ(receiver.messages().back(), MIM_DATA) << "no MIM_CLOSE from a device that is gone";
    // Let go, yet not handed back through the callback.
    EXPECT_EQ(buffers[0]->dwFlags, MHDR_PREPARED | MHDR_DONE);
    EXPECT_EQ(buffers[1]->dwFlags, MHDR_PREPARED);

    // The handle is gone: a second close is told so, and nothing else knows it.
    EXPECT_EQ(service.midiInClose(device), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(service.midiInStart(device), MMSYSERR_INVALHANDLE);
    EXPECT_FALSE(service.send(0, {0x90, 0x3C, 0x64}));

    // Plugged in again, the device opens afresh and delivers.
    MidiReceiver again;
    HMIDIIN reopened = 0;
    ASSERT_EQ(service.midiInOpen(reopened, 0, &MidiReceiver::callback, again.instance()),
              MMSYSERR_NOERROR);
    EXPECT_NE(reopened, device);
    ASSERT_EQ(service.midiInStart(reopened), MMSYSERR_NOERROR);
    ASSERT_TRUE(service.send(0, {0x90, 0x41, 0x64}));
    service.flush(0);
    EXPECT_EQ(again.messages(), (std::vector<std::uint32_t>{MIM_OPEN, MIM_DATA}));
    EXPECT_EQ(again.shortMessages(), (std::vector<std::uint32_t>{0x644190}));
    EXPECT_EQ(service.midiInClose(reopened), MMSYSERR_NOERROR);
    EXPECT_EQ(again.messages().back(), MIM_CLOSE);
}

TEST(LoopbackDevices, UnpluggingWhileDataFlowsStopsTheCallbackAtOnce)
{
    auto service = std::make_unique<LoopbackMidiService>(std::vector<LoopbackDevice>{{"Keys"}});
    MidiReceiver receiver;
    SysexBuffers buffers(4, 64);
    HMIDIIN device = 0;
    ASSERT_EQ(service->midiInOpen(device, 0, &MidiReceiver::callback, receiver.instance()),
              MMSYSERR_NOERROR);
    ASSERT_EQ(buffers.queueAll(*service, device), MMSYSERR_NOERROR);
    ASSERT_EQ(service->midiInStart(device), MMSYSERR_NOERROR);
    // Far more than the producer delivers before the unplugging.
    for (int i = 0; i < 2000; ++i)
        ASSERT_TRUE(service->send(0, {0x90, 0x3C, 0x64, 0x80, 0x3C, 0x00}));
    ASSERT_TRUE(receiver.waitFor(MIM_DATA, 1));

    service->unplug(0);
    receiver.forbidCalls();
    const std::size_t heard = receiver.all().size();
    EXPECT_FALSE(service->send(0, {0x90, 0x3C, 0x64}));
    service->flush(0);
    EXPECT_EQ(service->midiInClose(device), MMSYSERR_NODRIVER);
    service.reset(); // joins every thread the service ran

    EXPECT_EQ(receiver.forbiddenCalls(), 0);
    EXPECT_EQ(receiver.all().size(), heard);
    EXPECT_FALSE(receiver.overlapped());
}

TEST(LoopbackDevices, UnpluggingADeviceThatIsNotOpenChangesNothing)
{
    LoopbackMidiService service({{"Keys"}});
    service.unplug(0);
    service.unplug(7);

    MidiReceiver receiver;
    HMIDIIN device = 0;
    ASSERT_EQ(service.midiInOpen(device, 0, &MidiReceiver::callback, receiver.instance()),
              MMSYSERR_NOERROR);
    ASSERT_EQ(service.midiInStart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(service.send(0, {0x90, 0x3C, 0x64}));
    service.flush(0);
    EXPECT_EQ(receiver.shortMessages(), (std::vector<std::uint32_t>{0x643C90}));
    EXPECT_EQ(service.midiInClose(device), MMSYSERR_NOERROR);
}

} // namespace
} // namespace platform::midi
