// What an open device makes of the bytes it receives: short messages,
// system-exclusive buffers, time stamps. On the Loopback backend, whose
// producer thread delivers each send() as one piece.

#include "MidiReceiver.h"
#include "platform/midi/LoopbackMidiService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <ostream>
#include <string>

namespace platform::midi {
namespace {

using testing::MidiReceiver;
using testing::Received;
using testing::SysexBuffers;
using testing::sysexMessage;
using Bytes = std::vector<std::uint8_t>;

// One started device; buffers are queued by the test that needs them.
class OpenDevice : public ::testing::Test {
protected:
    explicit OpenDevice(InputOptions options = {})
        : service(std::make_unique<LoopbackMidiService>(std::vector<LoopbackDevice>{{"Keys"}},
                                                        std::move(options)))
    {
    }

    void SetUp() override
    {
        ASSERT_EQ(service->midiInOpen(device, 0, &MidiReceiver::callback, receiver.instance()),
                  MMSYSERR_NOERROR);
        ASSERT_EQ(service->midiInStart(device), MMSYSERR_NOERROR);
    }

    void TearDown() override
    {
        EXPECT_EQ(service->midiInReset(device), MMSYSERR_NOERROR);
        if (buffers) {
            EXPECT_EQ(buffers->unprepareAll(*service, device), MMSYSERR_NOERROR);
        }
        EXPECT_EQ(service->midiInClose(device), MMSYSERR_NOERROR);
        EXPECT_FALSE(receiver.overlapped());
    }

    void queueBuffers(std::size_t count, std::size_t size)
    {
        buffers = std::make_unique<SysexBuffers>(count, size);
        ASSERT_EQ(buffers->queueAll(*service, device), MMSYSERR_NOERROR);
    }

    // Sends each piece and waits until all of them are delivered.
    void play(const std::vector<Bytes>& pieces)
    {
        for (const Bytes& piece : pieces)
            ASSERT_TRUE(service->send(0, piece));
        service->flush(0);
    }

    // The calls after MIM_OPEN, as (message, short message or bytes).
    std::vector<Received> calls() const
    {
        auto all = receiver.all();
        all.erase(all.begin());
        return all;
    }

    MidiReceiver receiver;
    std::unique_ptr<SysexBuffers> buffers;
    std::unique_ptr<LoopbackMidiService> service;
    HMIDIIN device = 0;
};

struct StreamCase {
    const char* name;
    std::vector<Bytes> pieces;
    std::vector<std::uint32_t> expected;
};

void PrintTo(const StreamCase& row, std::ostream* os) { *os << row.name; }

class ShortMessages : public OpenDevice, public ::testing::WithParamInterface<StreamCase> {};

const StreamCase streamCases[] = {
    {"NoteOn", {{0x90, 60, 100}}, {0x64'3C'90}},
    {"NoteOffOnChannel3", {{0x82, 60, 0}}, {0x00'3C'82}},
    {"RunningStatus", {{0x90, 60, 100, 62, 100, 64, 0}}, {0x643C90, 0x643E90, 0x004090}},
    {"OneDataByteMessages", {{0xC1, 5, 6, 0xD2, 0x40}}, {0x0005C1, 0x0006C1, 0x0040D2}},
    {"PitchBend", {{0xE0, 0x00, 0x40}}, {0x4000E0}},
    {"SplitAcrossPieces", {{0x90}, {60}, {100, 0x80}, {60, 64}}, {0x643C90, 0x403C80}},
    {"RealTimeInsideAMessage", {{0x90, 60, 0xF8, 100}}, {0xF8, 0x643C90}},
    {"RealTimeAlone", {{0xFE, 0xF8, 0xFA, 0xFC, 0xFF}}, {0xFE, 0xF8, 0xFA, 0xFC, 0xFF}},
    {"StrayDataBytesDropped", {{60, 100, 0x90, 60, 100}}, {0x643C90}},
    {"SystemCommon",
     {{0xF1, 0x21, 0xF2, 0x10, 0x20, 0xF3, 5, 0xF6}},
     {0x21F1, 0x2010F2, 0x05F3, 0xF6}},
    {"SystemCommonEndsRunningStatus", {{0x90, 60, 100, 0xF6, 62, 100}}, {0x643C90, 0xF6}},
    {"UndefinedStatusEndsRunningStatus", {{0x90, 60, 100, 0xF4, 62, 100}}, {0x643C90}},
    {"UnfinishedMessageGivesWayToTheNext", {{0x90, 60, 0x80, 60, 64}}, {0x403C80}},
    {"StrayEndOfExclusive", {{0xF7, 0x90, 60, 100}}, {0x643C90}},
};

TEST_P(ShortMessages, ArrivePackedAndInOrder)
{
    play(GetParam().pieces);
    EXPECT_EQ(receiver.shortMessages(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ShortMessages, ::testing::ValuesIn(streamCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(OpenDevice, ManyNotesArriveInOrder)
{
    std::vector<std::uint32_t> expected;
    for (int piece = 0; piece < 50; ++piece) {
        Bytes bytes;
        for (int i = 0; i < 20; ++i) {
            const auto key = static_cast<std::uint8_t>((piece * 20 + i) % 128);
            bytes.insert(bytes.end(), {0x90, key, 100, 0x80, key, 0});
            expected.push_back(0x640090u | (std::uint32_t{key} << 8));
            expected.push_back(0x000080u | (std::uint32_t{key} << 8));
        }
        ASSERT_TRUE(service->send(0, bytes));
    }
    service->flush(0);
    EXPECT_EQ(receiver.shortMessages(), expected);
}

TEST_F(OpenDevice, NothingArrivesWhileStopped)
{
    ASSERT_EQ(service->midiInStop(device), MMSYSERR_NOERROR);
    play({{0x90, 60, 100, 0xF8}});
    EXPECT_TRUE(receiver.shortMessages().empty());

    ASSERT_EQ(service->midiInStart(device), MMSYSERR_NOERROR);
    play({{0x90, 61, 100}});
    EXPECT_EQ(receiver.shortMessages(), (std::vector<std::uint32_t>{0x643D90}));
}

class TimeStamps : public OpenDevice {
protected:
    TimeStamps()
        : OpenDevice(InputOptions{DefaultSysexLimit, [this] { return now.load(); }})
    {
    }
    // Before the fixture starts the device.
    std::atomic<std::int64_t> now{5'000};
};

TEST_F(TimeStamps, CountMillisecondsFromStart)
{
    queueBuffers(1, 16);
    now = 5'250;
    play({{0x90, 60, 100}});
    now = 5'300;
    play({{0xF0, 1, 0xF7}});
    // Starting a started device keeps its time base.
    ASSERT_EQ(service->midiInStart(device), MMSYSERR_NOERROR);
    now = 5'301;
    play({{0x80, 60, 0}});

    ASSERT_EQ(service->midiInStop(device), MMSYSERR_NOERROR);
    now = 90'000;
    ASSERT_EQ(service->midiInStart(device), MMSYSERR_NOERROR);
    now = 90'007;
    play({{0x90, 62, 100}});

    std::vector<std::uint32_t> stamps;
    for (const Received& r : calls())
        stamps.push_back(r.timeStamp);
    EXPECT_EQ(stamps, (std::vector<std::uint32_t>{250, 300, 301, 7}));
}

// Concatenated bytes of the headers handed back, with each header's size.
struct Returned {
    Bytes bytes;
    std::vector<std::size_t> sizes;
    std::vector<std::uint32_t> messages;
};

Returned returnedHeaders(const MidiReceiver& receiver)
{
    Returned result;
    for (const Received& r : receiver.headers()) {
        result.bytes.insert(result.bytes.end(), r.bytes.begin(), r.bytes.end());
        result.sizes.push_back(r.bytes.size());
        result.messages.push_back(r.message);
    }
    return result;
}

class SysexSizes : public OpenDevice, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(SysexSizes, ArriveWholeAndInOrderAcrossBuffers)
{
    const std::size_t dataBytes = GetParam();
    constexpr std::size_t BufferSize = 4096;
    queueBuffers(16, BufferSize);
    const Bytes message = sysexMessage(dataBytes, 3);
    // A driver hands bytes over in pieces of its own choosing.
    std::vector<Bytes> pieces;
    for (std::size_t at = 0; at < message.size(); at += 1000)
        pieces.emplace_back(message.begin() + static_cast<std::ptrdiff_t>(at),
                            message.begin() +
                                static_cast<std::ptrdiff_t>(std::min(message.size(), at + 1000)));
    play(pieces);

    const Returned returned = returnedHeaders(receiver);
    EXPECT_EQ(returned.bytes, message);
    const std::size_t buffersUsed = (message.size() + BufferSize - 1) / BufferSize;
    ASSERT_EQ(returned.sizes.size(), buffersUsed);
    for (std::size_t i = 0; i + 1 < buffersUsed; ++i)
        EXPECT_EQ(returned.sizes[i], BufferSize) << "only the last buffer is part-filled";
    EXPECT_EQ(returned.messages, std::vector<std::uint32_t>(buffersUsed, MIM_LONGDATA));
    // Headers come back in the order they were queued.
    const auto headers = receiver.headers();
    for (std::size_t i = 0; i < headers.size(); ++i)
        EXPECT_EQ(headers[i].header, (*buffers)[i]);
}

INSTANTIATE_TEST_SUITE_P(DataBytes, SysexSizes, ::testing::Values(0, 1, 4096, 10000),
                         [](const auto& row) { return std::to_string(row.param); });

TEST_F(OpenDevice, SysexCyclesThroughBuffersTheReceiverQueuesAgain)
{
    constexpr std::size_t BufferCount = 16;
    constexpr int Messages = 100;
    queueBuffers(BufferCount, 4096);

    std::vector<Bytes> sent;
    int received = 0;
    while (received < Messages) {
        // Never more messages on the way than buffers, as with a sender
        // that waits for replies; the producer runs while we re-queue.
        while (static_cast<int>(sent.size()) < Messages &&
               sent.size() - static_cast<std::size_t>(received) < BufferCount) {
            const std::size_t length = (sent.size() * 397) % 4000;
            sent.push_back(sysexMessage(length, static_cast<std::uint8_t>(sent.size())));
            // Interleaved short messages must not disturb the sysex.
            Bytes piece = sent.back();
            piece.insert(piece.begin() + 1, 0xF8);
            piece.insert(piece.end(), {0x90, 60, 100});
            ASSERT_TRUE(service->send(0, piece));
        }
        const auto header = receiver.takeHeader();
        ASSERT_TRUE(header) << "no buffer came back for message " << received;
        EXPECT_EQ(header->message, MIM_LONGDATA);
        EXPECT_EQ(header->bytes, sent[static_cast<std::size_t>(received)])
            << "message " << received;
        ASSERT_EQ(service->midiInAddBuffer(device, header->header), MMSYSERR_NOERROR);
        ++received;
    }
    service->flush(0);
    EXPECT_EQ(receiver.shortMessages().size(), 2u * Messages);
}

TEST_F(OpenDevice, SysexInterruptedByAStatusByteIsReportedAndTheNoteKept)
{
    queueBuffers(4, 64);
    play({{0xF0, 1, 2, 3, 0x90, 60, 100, 0xF0, 5, 0xF0, 6, 0xF7}});

    const auto got = calls();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].message, MIM_LONGERROR);
    EXPECT_EQ(got[0].bytes, (Bytes{0xF0, 1, 2, 3}));
    EXPECT_EQ(got[1].message, MIM_DATA);
    EXPECT_EQ(got[1].shortMessage, 0x643C90u);
    EXPECT_EQ(got[2].message, MIM_LONGERROR) << "a new F0 breaks the message before it";
    EXPECT_EQ(got[2].bytes, (Bytes{0xF0, 5}));
    EXPECT_EQ(got[3].message, MIM_LONGDATA);
    EXPECT_EQ(got[3].bytes, (Bytes{0xF0, 6, 0xF7}));
}

TEST_F(OpenDevice, RealTimeBytesInsideSysexArriveAsShortData)
{
    queueBuffers(1, 64);
    play({{0xF0, 1, 0xF8, 2}, {0xFE, 3, 0xF7}});

    const auto got = calls();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].shortMessage, 0xF8u);
    EXPECT_EQ(got[1].shortMessage, 0xFEu);
    EXPECT_EQ(got[2].message, MIM_LONGDATA);
    EXPECT_EQ(got[2].bytes, (Bytes{0xF0, 1, 2, 3, 0xF7}));
}

TEST_F(OpenDevice, SysexThatFilledItsBufferAndThenBrokeIsReportedWithAnEmptyOne)
{
    queueBuffers(3, 4);
    play({{0xF0, 1, 2, 3, 0x90, 60, 100}});

    const auto got = calls();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].message, MIM_LONGDATA);
    EXPECT_EQ(got[0].bytes, (Bytes{0xF0, 1, 2, 3}));
    EXPECT_EQ(got[1].message, MIM_LONGERROR);
    EXPECT_TRUE(got[1].bytes.empty());
    EXPECT_EQ(got[2].shortMessage, 0x643C90u);
}

TEST_F(OpenDevice, SysexWithNoBufferQueuedIsDroppedAndNotGluedToTheNext)
{
    play({{0xF0, 1, 2}});
    EXPECT_TRUE(receiver.headers().empty());

    // A buffer queued in the middle of a message does not take its tail.
    queueBuffers(1, 64);
    play({{3, 4, 0xF7, 0xF0, 9, 0xF7}});

    const auto headers = receiver.headers();
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers[0].message, MIM_LONGDATA);
    EXPECT_EQ(headers[0].bytes, (Bytes{0xF0, 9, 0xF7}));
}

class SysexLimit : public OpenDevice {
protected:
    SysexLimit()
        : OpenDevice(InputOptions{5000, {}})
    {
    }
};

TEST_F(SysexLimit, RunawayMessageIsReportedAndItsRestDropped)
{
    queueBuffers(4, 4096);
    Bytes runaway = sysexMessage(20'000);
    runaway.insert(runaway.end(), {0x90, 60, 100});
    const Bytes next = sysexMessage(10, 7);
    play({runaway, next});

    const auto got = calls();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].message, MIM_LONGDATA);
    EXPECT_EQ(got[0].bytes.size(), 4096u);
    EXPECT_EQ(got[1].message, MIM_LONGERROR);
    EXPECT_EQ(got[1].bytes.size(), 5000u - 4096u) << "everything up to the limit";
    EXPECT_EQ(got[1].bytes, Bytes(runaway.begin() + 4096, runaway.begin() + 5000));
    EXPECT_EQ(got[2].shortMessage, 0x643C90u);
    EXPECT_EQ(got[3].message, MIM_LONGDATA);
    EXPECT_EQ(got[3].bytes, next);
}

TEST_F(SysexLimit, MessageOfExactlyTheLimitIsWhole)
{
    queueBuffers(2, 4096);
    const Bytes message = sysexMessage(5000 - 2);
    play({message});
    EXPECT_EQ(returnedHeaders(receiver).bytes, message);
    EXPECT_EQ(returnedHeaders(receiver).messages,
              (std::vector<std::uint32_t>{MIM_LONGDATA, MIM_LONGDATA}));
}

TEST_F(OpenDevice, ResetHandsBackEveryQueuedHeaderBeforeItReturns)
{
    queueBuffers(4, 64);
    play({{0xF0, 1, 2}});
    ASSERT_TRUE(receiver.headers().empty());

    ASSERT_EQ(service->midiInReset(device), MMSYSERR_NOERROR);
    const auto headers = receiver.headers();
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(headers[0].bytes, (Bytes{0xF0, 1, 2})) << "the one being filled, as far as it got";
    for (std::size_t i = 0; i < headers.size(); ++i) {
        EXPECT_EQ(headers[i].message, MIM_LONGDATA);
        EXPECT_EQ(headers[i].header, (*buffers)[i]);
        EXPECT_EQ(headers[i].flags, MHDR_PREPARED | MHDR_DONE);
        if (i > 0) {
            EXPECT_TRUE(headers[i].bytes.empty());
        }
    }

    // Reset also stopped the device and forgot the broken message.
    play({{0x90, 60, 100}});
    EXPECT_TRUE(receiver.shortMessages().empty());
    ASSERT_EQ(service->midiInAddBuffer(device, (*buffers)[0]), MMSYSERR_NOERROR);
    ASSERT_EQ(service->midiInStart(device), MMSYSERR_NOERROR);
    play({{3, 0xF7, 0xF0, 5, 0xF7}});
    ASSERT_EQ(receiver.headers().size(), 5u);
    EXPECT_EQ(receiver.headers()[4].bytes, (Bytes{0xF0, 5, 0xF7}));
}

TEST_F(OpenDevice, StopHandsBackThePartlyFilledHeaderAndKeepsTheEmptyOnes)
{
    queueBuffers(3, 64);
    play({{0xF0, 1, 2}});
    ASSERT_EQ(service->midiInStop(device), MMSYSERR_NOERROR);

    const auto headers = receiver.headers();
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers[0].message, MIM_LONGDATA);
    EXPECT_EQ(headers[0].bytes, (Bytes{0xF0, 1, 2}));
    EXPECT_EQ(service->midiInClose(device), MIDIERR_STILLPLAYING);

    ASSERT_EQ(service->midiInStart(device), MMSYSERR_NOERROR);
    play({{3, 0xF7, 0xF0, 4, 0xF7}});
    ASSERT_EQ(receiver.headers().size(), 2u);
    EXPECT_EQ(receiver.headers()[1].bytes, (Bytes{0xF0, 4, 0xF7}));
}

} // namespace
} // namespace platform::midi
