#include "midi/MidiIn.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/testing/QueuedNotifyTarget.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <ostream>
#include <string>
#include <thread>

namespace midi {
namespace {

namespace pm = platform::midi;
using Bytes = std::vector<std::uint8_t>;

std::string errorText(pm::MMRESULT code)
{
    std::string text;
    pm::standardErrorText(code, text);
    return text;
}

// A component on loopback devices, with the test standing in for the GUI
// thread: deliver() waits for the device's thread, then runs the posted
// notifications, whose handler takes every waiting event.
class MidiInput : public ::testing::Test {
protected:
    explicit MidiInput(std::vector<pm::LoopbackDevice> devices = {{"Keys One"}, {"Keys Two"}})
        : service(std::move(devices))
    {
    }

    std::unique_ptr<TMidiInput> component()
    {
        auto in = std::make_unique<TMidiInput>(service, targets);
        in->setOnMidiInput([this](TMidiInput& sender) {
            ++inputCalls;
            while (sender.pendingEvents() > 0)
                events.push_back(*sender.takeEvent());
        });
        in->setOnOverflow([this](TMidiInput&) { ++overflows; });
        return in;
    }
    void deliver(std::uint32_t device = 0)
    {
        service.flush(device);
        targets.drain();
    }
    // The system-exclusive data received so far, buffers joined.
    Bytes sysexStream() const
    {
        Bytes all;
        for (const TMyMidiEvent& e : events) {
            EXPECT_EQ(e.statusByte, 0xF0);
            EXPECT_EQ(e.sysexByteCount, e.sysexBytes.size());
            all.insert(all.end(), e.sysexBytes.begin(), e.sysexBytes.end());
        }
        return all;
    }

    pm::LoopbackMidiService service;
    platform::testing::QueuedNotifyTargets targets;
    std::vector<TMyMidiEvent> events;
    int inputCalls = 0;
    int overflows = 0;
};

class NoDevice : public MidiInput {
protected:
    NoDevice()
        : MidiInput({})
    {
    }
};

// --- Choosing a device ------------------------------------------------------------

TEST_F(NoDevice, NothingIsSelectedAndSelectingChangesNothing)
{
    auto in = component();
    EXPECT_EQ(in->deviceCount(), 0);
    EXPECT_EQ(in->DeviceID(), 0);
    EXPECT_EQ(in->ProductName(), "");
    EXPECT_EQ(in->state(), MidiInputState::Closed);
    EXPECT_NO_THROW(in->setDeviceID(0));
    EXPECT_NO_THROW(in->setDeviceID(3));
    EXPECT_EQ(in->DeviceID(), 0);
    // Naming a device asks device 0, which is not there.
    try {
        in->setProductName("Keys One");
        FAIL() << "no error";
    } catch (const EMidiInputError& e) {
        EXPECT_EQ(e.what(), errorText(pm::MMSYSERR_BADDEVICEID));
    }
    EXPECT_EQ(in->Error(), pm::MMSYSERR_BADDEVICEID);
    in->openDevice();
    EXPECT_EQ(in->state(), MidiInputState::Closed);
    EXPECT_EQ(in->pendingEvents(), 0);
}

TEST_F(MidiInput, DevicesAreChosenByNumberOrExactName)
{
    auto in = component();
    EXPECT_EQ(in->deviceCount(), 2);
    EXPECT_EQ(in->ProductName(), "Keys One");
    in->setDeviceID(1);
    EXPECT_EQ(in->ProductName(), "Keys Two");
    EXPECT_EQ(in->manufacturerId(), 0xFFFF);
    EXPECT_EQ(in->driverVersion(), 0x0100u);
    in->setDeviceID(2); // beyond the last device: nothing changes
    EXPECT_EQ(in->DeviceID(), 1);
    EXPECT_EQ(in->ProductName(), "Keys Two");

    in->setDeviceID(0);
    in->setProductName("Keys Two");
    EXPECT_EQ(in->DeviceID(), 1);
    try {
        in->setProductName("keys two");
        FAIL() << "no error";
    } catch (const EMidiInputError& e) {
        EXPECT_STREQ(e.what(), "MIDI Input Device keys two not installed ");
    }
    EXPECT_EQ(in->DeviceID(), 1);
}

TEST_F(MidiInput, SettingsThatNeedAClosedDeviceAreRefusedWhileOpen)
{
    auto in = component();
    in->openDevice();
    ASSERT_EQ(in->state(), MidiInputState::Open);
    const std::vector<std::pair<std::function<void()>, const char*>> refused{
        {[&] { in->setDeviceID(1); }, "Change to DeviceID while device was open"},
        {[&] { in->setProductName("Keys Two"); }, "Change to ProductName while device was open"},
        {[&] { in->setSysexBufferSize(10); }, "Change to SysexBufferSize while device was open"},
        {[&] { in->setSysexBufferCount(2); }, "Change to SysexBuffercount while device was open"}};
    for (const auto& [change, text] : refused) {
        try {
            change();
            ADD_FAILURE() << "no error for: " << text;
        } catch (const EMidiInputError& e) {
            EXPECT_STREQ(e.what(), text);
        }
    }
    EXPECT_EQ(in->DeviceID(), 0);
    EXPECT_EQ(in->SysexBufferSize(), 4096);
    EXPECT_EQ(in->SysexBufferCount(), 16);
    in->closeDevice();
    in->setSysexBufferCount(2);
    EXPECT_EQ(in->SysexBufferCount(), 2);
}

TEST_F(MidiInput, UnknownResultCodesHaveTheFallbackText)
{
    auto in = component();
    EXPECT_EQ(in->deviceErrorText(12345), "Specified error number is out of range");
    EXPECT_EQ(in->deviceErrorText(pm::MMSYSERR_ALLOCATED), errorText(pm::MMSYSERR_ALLOCATED));
}

// --- Opening fails ------------------------------------------------------------------

TEST_F(MidiInput, ADeviceHeldElsewhereLeavesTheComponentClosedWithTheCode)
{
    service.setHeldElsewhere(0, true);
    auto in = component();
    EXPECT_NO_THROW(in->openDevice());
    EXPECT_EQ(in->state(), MidiInputState::Closed);
    EXPECT_EQ(in->Error(), pm::MMSYSERR_ALLOCATED);
    EXPECT_NO_THROW(in->startInput());
    EXPECT_EQ(in->pendingEvents(), 0);
    EXPECT_FALSE(service.send(0, {0x90, 60, 100}));

    service.setHeldElsewhere(0, false);
    in->openDevice();
    EXPECT_EQ(in->state(), MidiInputState::Open);
}

TEST_F(MidiInput, ARingCapacityOutOfRangeIsAFailedOpening)
{
    auto in = component();
    for (std::uint16_t capacity : {std::uint16_t{0}, std::uint16_t{5462}}) {
        in->setCapacity(capacity);
        EXPECT_NO_THROW(in->openDevice());
        EXPECT_EQ(in->state(), MidiInputState::Closed) << capacity;
        EXPECT_NE(in->Error(), 0) << capacity;
    }
    in->setCapacity(5461);
    in->openDevice();
    EXPECT_EQ(in->state(), MidiInputState::Open);
}

TEST_F(MidiInput, AFailedBufferPreparationClosesTheDeviceAgain)
{
    auto in = component();
    service.failHeaderPreparation(pm::MMSYSERR_NOMEM, 5);
    EXPECT_NO_THROW(in->openDevice());
    EXPECT_EQ(in->state(), MidiInputState::Closed);
    EXPECT_EQ(in->Error(), pm::MMSYSERR_NOMEM);
    EXPECT_FALSE(service.send(0, {0x90, 60, 100})); // the device is closed, not left running

    service.failHeaderPreparation(pm::MMSYSERR_NOERROR);
    in->openDevice();
    ASSERT_EQ(in->state(), MidiInputState::Open);
    in->startInput();
    ASSERT_TRUE(service.send(0, {0x90, 61, 1}));
    deliver();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].dataByte1, 61);
}

// --- Receiving ----------------------------------------------------------------------

TEST_F(MidiInput, NoteMessagesArriveAsTheirThreeBytes)
{
    auto in = component();
    in->openDevice();
    in->startInput();
    ASSERT_TRUE(service.send(0, {0x90, 60, 100}));
    ASSERT_TRUE(service.send(0, {0x82, 60, 0}));
    deliver();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].statusByte, 0x90);
    EXPECT_EQ(events[0].dataByte1, 60);
    EXPECT_EQ(events[0].dataByte2, 100);
    EXPECT_EQ(events[0].sysexByteCount, 0);
    EXPECT_TRUE(events[0].sysexBytes.empty());
    EXPECT_EQ(events[1].statusByte, 0x82);
    EXPECT_LE(events[0].timeStamp, events[1].timeStamp);
}

TEST_F(MidiInput, TenEventsBeforeTheGuiRunsMakeOneHandlerCallInArrivalOrder)
{
    auto in = component();
    in->openDevice();
    in->startInput();
    for (std::uint8_t key = 50; key < 60; ++key)
        ASSERT_TRUE(service.send(0, {0x90, key, 64}));
    service.flush(0);
    EXPECT_EQ(in->pendingEvents(), 10);
    EXPECT_EQ(targets.drain(), 10); // ten notifications, the first takes everything
    EXPECT_EQ(inputCalls, 1);
    ASSERT_EQ(events.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(events[i].dataByte1, 50 + i);
}

TEST_F(MidiInput, SysexOnlyKeepsSystemExclusiveAndRequeuesItsBuffers)
{
    auto in = component();
    in->setSysexBufferCount(4);
    in->setSysexOnly(true);
    in->openDevice();
    in->startInput();
    // More messages than buffers: each taken buffer must go back to the device.
    for (std::uint8_t n = 0; n < 12; ++n) {
        ASSERT_TRUE(service.send(0, {0x90, 60, 100}));
        ASSERT_TRUE(service.send(0, {0xF0, 0x7D, n, 0xF7}));
        deliver();
    }
    ASSERT_EQ(events.size(), 12u);
    for (std::uint8_t n = 0; n < 12; ++n)
        EXPECT_EQ(events[n].sysexBytes, (Bytes{0xF0, 0x7D, n, 0xF7}));

    in->setSysexOnly(false); // at once, while open
    ASSERT_TRUE(service.send(0, {0x90, 62, 100}));
    deliver();
    ASSERT_EQ(events.size(), 13u);
    EXPECT_EQ(events.back().statusByte, 0x90);
}

struct SysexCase {
    const char* name;
    std::size_t dataBytes; // between F0 and F7
};
void PrintTo(const SysexCase& row, std::ostream* os) { *os << row.name; }

class SysexSizes : public MidiInput, public ::testing::WithParamInterface<SysexCase> {};

TEST_P(SysexSizes, ArriveWholeAcrossBuffers)
{
    auto in = component();
    in->openDevice();
    in->startInput();
    Bytes message{0xF0};
    for (std::size_t i = 0; i < GetParam().dataBytes; ++i)
        message.push_back(static_cast<std::uint8_t>(i % 128));
    message.push_back(0xF7);
    ASSERT_TRUE(service.send(0, message));
    deliver();
    EXPECT_EQ(sysexStream(), message);
    for (const TMyMidiEvent& e : events)
        EXPECT_LE(e.sysexBytes.size(), 4096u);
}

INSTANTIATE_TEST_SUITE_P(MidiInput, SysexSizes,
                         ::testing::Values(SysexCase{"Empty", 0}, SysexCase{"OneByte", 1},
                                           SysexCase{"OneBufferFull", 4094},
                                           SysexCase{"FourThousand", 4096},
                                           SysexCase{"TenThousand", 10000}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(MidiInput, AHundredMessagesCycleThroughSixteenBuffers)
{
    auto in = component();
    in->openDevice();
    in->startInput();
    Bytes expected;
    for (std::uint8_t n = 0; n < 100; ++n) {
        const Bytes message{0xF0, 0x7D, n, static_cast<std::uint8_t>(n ^ 0x55), 0xF7};
        ASSERT_TRUE(service.send(0, message));
        expected.insert(expected.end(), message.begin(), message.end());
        if (n % 10 == 9)
            deliver(); // ten at a time: fewer than the sixteen buffers wait at once
    }
    EXPECT_EQ(sysexStream(), expected);
    EXPECT_EQ(events.size(), 100u);
}

TEST_F(MidiInput, AnInterruptedMessageIsNotGluedToTheNextNote)
{
    auto in = component();
    in->openDevice();
    in->startInput();
    ASSERT_TRUE(service.send(0, {0xF0, 0x01, 0x02}));
    ASSERT_TRUE(service.send(0, {0x90, 64, 90}));
    deliver();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].statusByte, 0xF0);
    EXPECT_EQ(events[0].sysexBytes, (Bytes{0xF0, 0x01, 0x02}));
    EXPECT_EQ(events[1].statusByte, 0x90);
    EXPECT_EQ(events[1].dataByte1, 64);
}

// --- The ring -------------------------------------------------------------------------

TEST_F(MidiInput, ANewCapacityCountsFromTheNextOpening)
{
    auto in = component();
    in->setOnMidiInput(nullptr); // leave the events waiting
    in->openDevice();
    in->startInput();
    in->setCapacity(2);
    for (std::uint8_t key = 60; key < 65; ++key)
        ASSERT_TRUE(service.send(0, {0x90, key, 1}));
    deliver();
    EXPECT_EQ(in->pendingEvents(), 5);
    EXPECT_EQ(overflows, 0);

    in->closeDevice();
    EXPECT_EQ(in->pendingEvents(), 0);
    in->openDevice();
    in->startInput();
    for (std::uint8_t key = 60; key < 65; ++key)
        ASSERT_TRUE(service.send(0, {0x90, key, 1}));
    deliver();
    EXPECT_EQ(in->pendingEvents(), 2);
    EXPECT_EQ(overflows, 3);
    const auto first = in->takeEvent();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->dataByte1, 60);
}

TEST_F(MidiInput, NothingIsHandedOverOnceClosed)
{
    auto in = component();
    in->openDevice();
    in->startInput();
    ASSERT_TRUE(service.send(0, {0x90, 60, 100}));
    service.flush(0);
    in->closeDevice(); // the reset hands the queued buffers back too
    EXPECT_GE(targets.drain(), 1);
    EXPECT_EQ(inputCalls, 0);
    EXPECT_EQ(in->takeEvent(), nullptr);
    EXPECT_NO_THROW(in->startInput());
    EXPECT_NO_THROW(in->stopInput());
}

TEST_F(MidiInput, DestroyingAnOpenComponentClosesTheDevice)
{
    {
        auto in = component();
        in->openDevice();
        in->startInput();
        ASSERT_TRUE(service.send(0, {0x90, 60, 100}));
    }
    EXPECT_EQ(targets.drain(), 0); // its notifications went with it
    auto again = component();
    again->openDevice();
    EXPECT_EQ(again->state(), MidiInputState::Open);
}

TEST_F(MidiInput, ClosingAnUnpluggedDeviceStillLetsItGo)
{
    // Every call on the handle fails now; closing goes all the way all the
    // same, and reports the first failure.
    auto in = component();
    in->openDevice();
    ASSERT_EQ(in->state(), MidiInputState::Open);
    service.unplug(0);
    EXPECT_THROW(in->closeDevice(), EMidiInputError);
    EXPECT_EQ(in->Error(), pm::MMSYSERR_NODRIVER);
    EXPECT_EQ(in->state(), MidiInputState::Closed);
    in->openDevice(); // the device number was let go
    EXPECT_EQ(in->state(), MidiInputState::Open) << errorText(in->Error());
}

// --- Threads -------------------------------------------------------------------------

#ifndef NDEBUG
TEST_F(MidiInput, AGuiThreadOperationCalledOnAnotherThreadAborts)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto in = component();
    EXPECT_DEATH(std::thread([&] { in->openDevice(); }).join(),
                 "TMidiInput::openDevice called off the GUI thread");
    EXPECT_DEATH(std::thread([&] { in->takeEvent(); }).join(),
                 "TMidiInput::takeEvent called off the GUI thread");
    in->openDevice(); // on its own thread all is well
    EXPECT_EQ(in->state(), MidiInputState::Open);
}

// Every operation of the GUI thread, on a device that is open, started and
// has an event waiting (closed first for the settings refused while open), so
// that no early return can pass over the check.
struct Scene {
    std::unique_ptr<TMidiInput>& in;
    platform::testing::QueuedNotifyTargets& targets;
};

struct GuiOperation {
    const char* name; // as the message names it
    bool closedFirst;
    std::function<void(Scene&)> call;
};
void PrintTo(const GuiOperation& op, std::ostream* os) { *os << op.name; }

class MidiInputOffTheGuiThread : public MidiInput,
                                 public ::testing::WithParamInterface<GuiOperation> {};

TEST_P(MidiInputOffTheGuiThread, Aborts)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const GuiOperation& op = GetParam();
    auto in = component();
    in->openDevice();
    ASSERT_EQ(in->state(), MidiInputState::Open);
    in->startInput();
    ASSERT_TRUE(service.send(0, {0x90, 60, 100}));
    service.flush(0);
    ASSERT_EQ(in->pendingEvents(), 1);
    if (op.closedFirst)
        in->closeDevice();
    Scene scene{in, targets};
    EXPECT_DEATH(std::thread([&] { op.call(scene); }).join(),
                 std::string(op.name) + " called off the GUI thread");
    // On the GUI thread the same call goes through.
    op.call(scene);
}

INSTANTIATE_TEST_SUITE_P(
    Threads, MidiInputOffTheGuiThread,
    ::testing::Values(
        GuiOperation{"TMidiInput::closeDevice", false, [](Scene& s) { s.in->closeDevice(); }},
        GuiOperation{"TMidiInput::startInput", false, [](Scene& s) { s.in->startInput(); }},
        GuiOperation{"TMidiInput::stopInput", false, [](Scene& s) { s.in->stopInput(); }},
        GuiOperation{"TMidiInput::pendingEvents", false,
                     [](Scene& s) { (void)s.in->pendingEvents(); }},
        GuiOperation{"TMidiInput::takeEvent", false, [](Scene& s) { (void)s.in->takeEvent(); }},
        GuiOperation{"TMidiInput::setDeviceID", true, [](Scene& s) { s.in->setDeviceID(1); }},
        GuiOperation{"TMidiInput::setProductName", true,
                     [](Scene& s) { s.in->setProductName("Keys Two"); }},
        GuiOperation{"TMidiInput::setCapacity", false, [](Scene& s) { s.in->setCapacity(8); }},
        GuiOperation{"TMidiInput::setSysexBufferSize", true,
                     [](Scene& s) { s.in->setSysexBufferSize(256); }},
        GuiOperation{"TMidiInput::setSysexBufferCount", true,
                     [](Scene& s) { s.in->setSysexBufferCount(4); }},
        GuiOperation{"TMidiInput::setSysexOnly", false, [](Scene& s) { s.in->setSysexOnly(true); }},
        GuiOperation{"TMidiInput::setOnMidiInput", false,
                     [](Scene& s) { s.in->setOnMidiInput(nullptr); }},
        GuiOperation{"TMidiInput::setOnOverflow", false,
                     [](Scene& s) { s.in->setOnOverflow(nullptr); }},
        GuiOperation{"TMidiInput::deviceErrorText", false,
                     [](Scene& s) { (void)s.in->deviceErrorText(pm::MMSYSERR_ALLOCATED); }},
        GuiOperation{"TMidiInput::DeviceID", false, [](Scene& s) { (void)s.in->DeviceID(); }},
        GuiOperation{"TMidiInput::ProductName", false, [](Scene& s) { (void)s.in->ProductName(); }},
        GuiOperation{"TMidiInput::Capacity", false, [](Scene& s) { (void)s.in->Capacity(); }},
        GuiOperation{"TMidiInput::Error", false, [](Scene& s) { (void)s.in->Error(); }},
        GuiOperation{"TMidiInput::SysexBufferSize", false,
                     [](Scene& s) { (void)s.in->SysexBufferSize(); }},
        GuiOperation{"TMidiInput::SysexBufferCount", false,
                     [](Scene& s) { (void)s.in->SysexBufferCount(); }},
        GuiOperation{"TMidiInput::SysexOnly", false, [](Scene& s) { (void)s.in->SysexOnly(); }},
        GuiOperation{"TMidiInput::deviceCount", false, [](Scene& s) { (void)s.in->deviceCount(); }},
        GuiOperation{"TMidiInput::driverVersion", false,
                     [](Scene& s) { (void)s.in->driverVersion(); }},
        GuiOperation{"TMidiInput::manufacturerId", false,
                     [](Scene& s) { (void)s.in->manufacturerId(); }},
        GuiOperation{"TMidiInput::productId", false, [](Scene& s) { (void)s.in->productId(); }},
        GuiOperation{"TMidiInput::state", false, [](Scene& s) { (void)s.in->state(); }},
        // The notification handler runs where the target delivers it.
        GuiOperation{"TMidiInput::handleNotification", false, [](Scene& s) { s.targets.drain(); }},
        GuiOperation{"TMidiInput::~TMidiInput", false, [](Scene& s) { s.in.reset(); }}),
    [](const auto& row) {
        const std::string name = std::string(row.param.name).substr(sizeof "TMidiInput::" - 1);
        return name.front() == '~' ? std::string("Destructor") : name;
    });
#else
TEST_F(MidiInput, AGuiThreadOperationCalledOnAnotherThreadAborts)
{
    GTEST_SKIP() << "the thread checks are built into Debug builds only";
}
#endif

} // namespace
} // namespace midi
