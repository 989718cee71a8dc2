#include "platform/midi/RtMidiService.h"

#include <RtMidi.h>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <span>
#include <utility>

namespace platform::midi {

namespace {

constexpr const char* ClientName = "Tessaly Notes";
constexpr const char* InputPortName = "Tessaly Notes input";
// RtMidi's own queue stays unused: everything goes through the callback.
constexpr unsigned int RtMidiQueueSize = 16;

// Looking for a JACK server that is not there makes libjack print several
// lines; while we only look, they are noise. Other JACK messages still go to
// stderr, as libjack would print them.
thread_local bool jackQuiet = false;

void printJackMessage(const char* text)
{
    if (!jackQuiet)
        std::fprintf(stderr, "%s\n", text);
}

class QuietJack {
public:
    QuietJack()
    {
        static std::once_flag installed;
        std::call_once(installed, [] {
            jack_set_error_function(printJackMessage);
            jack_set_info_function(printJackMessage);
        });
        jackQuiet = true;
    }
    ~QuietJack() { jackQuiet = false; }
    QuietJack(const QuietJack&) = delete;
    QuietJack& operator=(const QuietJack&) = delete;
};

bool alsaSequencerPresent()
{
    // Without the device, RtMidi's ALSA client fails after alsa-lib has
    // printed its complaint.
    std::error_code error;
    return std::filesystem::exists("/dev/snd/seq", error);
}

bool jackServerRunning()
{
    QuietJack quiet;
    jack_status_t status{};
    jack_client_t* client = jack_client_open("tessaly-probe", JackNoStartServer, &status);
    if (client == nullptr)
        return false;
    jack_client_close(client);
    return true;
}

RtMidi::Api rtMidiApi(PortApi api)
{
    return api == PortApi::Alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
}

bool available(PortApi api)
{
    return api == PortApi::Alsa ? alsaSequencerPresent() : jackServerRunning();
}

// Once set as RtMidi's error callback, RtMidi reports here instead of
// printing and throwing, which it would otherwise do from its own threads.
struct DriverErrors {
    std::atomic<bool> failed{false};
};

void onDriverError(RtMidiError::Type type, const std::string& /*text*/, void* userData)
{
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        static_cast<DriverErrors*>(userData)->failed = true;
}

// `errors` must outlive the result.
std::unique_ptr<RtMidiIn> makeInput(PortApi api, DriverErrors& errors)
{
    if (!available(api))
        return nullptr;
    QuietJack quiet;
    try {
        auto input = std::make_unique<RtMidiIn>(rtMidiApi(api), ClientName, RtMidiQueueSize);
        // RtMidi falls back to another API when the one asked for is missing.
        if (input->getCurrentApi() != rtMidiApi(api))
            return nullptr;
        input->setErrorCallback(onDriverError, &errors);
        return input;
    } catch (const std::exception&) {
        return nullptr;
    }
}

// The ports `input` sees, by name.
void listPorts(PortApi api, RtMidiIn& input, const DriverErrors& errors, std::vector<PortId>& ports)
{
    try {
        const unsigned int count = input.getPortCount();
        for (unsigned int i = 0; i < count && !errors.failed; ++i) {
            std::string name = input.getPortName(i);
            if (!name.empty())
                ports.push_back({api, std::move(name)});
        }
    } catch (const std::exception&) {
    }
}

std::uint32_t rtMidiVersion()
{
    unsigned int major = 0;
    unsigned int minor = 0;
    if (std::sscanf(RtMidi::getVersion().c_str(), "%u.%u", &major, &minor) != 2)
        return 0;
    return ((major & 0xFF) << 8) | (minor & 0xFF);
}

void onInput(double /*deltaSeconds*/, std::vector<unsigned char>* message, void* userData)
{
    if (message != nullptr && !message->empty())
        static_cast<MidiInDevice*>(userData)->receive(
            std::span<const std::uint8_t>(message->data(), message->size()));
}

// One RtMidi input connected to one port. Destroying it stops RtMidi's
// thread for the port; that never happens inside RtMidi's callback, since
// the service is only called on the GUI thread.
// Set by the JACK server's shutdown notice, for every JACK port opened
// while that server ran.
using ServerGone = std::shared_ptr<const std::atomic<bool>>;

class RtMidiPort final : public BasicMidiInService::Port {
public:
    // `serverGone`: for a JACK port, the flag of the server it is opened on.
    explicit RtMidiPort(ServerGone serverGone = nullptr)
        : serverGone_(std::move(serverGone))
    {
    }
    ~RtMidiPort() override
    {
        // Closing a JACK client whose server has gone crashes inside libjack
        // (it unregisters the port through the dead connection). Such a
        // client is let go unclosed: its thread has ended already, and a few
        // hundred bytes stay behind until the program ends. The server is
        // not looked for here: opening a client while a server dies can
        // hang inside libjack, and a program closing must never hang.
        if (serverGone_ && serverGone_->load(std::memory_order_acquire))
            static_cast<void>(input_.release());
    }
    RtMidiPort(const RtMidiPort&) = delete;
    RtMidiPort& operator=(const RtMidiPort&) = delete;

    MMRESULT open(const PortEntry& entry, MidiInDevice& device)
    {
        input_ = makeInput(entry.api, errors_);
        if (!input_)
            return MMSYSERR_NODRIVER;
        QuietJack quiet;
        try {
            // The port list may have changed since it was read: find the
            // port by its name, never by its old place.
            const unsigned int count = input_->getPortCount();
            unsigned int index = 0;
            while (index < count && input_->getPortName(index) != entry.portName)
                ++index;
            if (index == count || errors_.failed)
                return MMSYSERR_NODRIVER;
            // Sysex, clock and active sensing all go to the device; the
            // program's callback decides what it keeps.
            input_->ignoreTypes(false, false, false);
            input_->setCallback(onInput, &device);
            input_->openPort(index, InputPortName);
            return errors_.failed ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
        } catch (const std::exception&) {
            return MMSYSERR_ERROR;
        }
    }

    // The program's own port, which other programs connect to.
    MMRESULT openVirtual(PortApi api, const std::string& portName, MidiInDevice& device)
    {
        input_ = makeInput(api, errors_);
        if (!input_)
            return MMSYSERR_NODRIVER;
        QuietJack quiet;
        try {
            input_->ignoreTypes(false, false, false);
            input_->setCallback(onInput, &device);
            input_->openVirtualPort(portName);
            return errors_.failed ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
        } catch (const std::exception&) {
            return MMSYSERR_ERROR;
        }
    }

private:
    ServerGone serverGone_;
    // Declared first so that RtMidi's error callback outlives the input.
    DriverErrors errors_;
    std::unique_ptr<RtMidiIn> input_;
};

} // namespace

// One ALSA sequencer client kept for listing: a client made for each poll
// would be announced to every program watching the sequencer, once a
// second. It has no ports; the sequencer answers its queries live.
class RtMidiService::AlsaLister {
public:
    void midiInputs(std::vector<PortId>& ports)
    {
        if (!input_) {
            if (!alsaSequencerPresent())
                return;
            errors_.failed = false;
            input_ = makeInput(PortApi::Alsa, errors_);
            if (!input_)
                return;
        }
        listPorts(PortApi::Alsa, *input_, errors_, ports);
        if (errors_.failed)
            input_.reset(); // made again at the next poll
    }

private:
    // Declared first so that RtMidi's error callback outlives the input.
    DriverErrors errors_;
    std::unique_ptr<RtMidiIn> input_;
};

// One JACK client kept for listing: opening and closing a client costs a
// few of the server's cycles (tens of milliseconds), too much for a poll on
// the GUI thread every second, while reading the port list through an open
// client is a look into shared memory. It is activated so that the server
// tells it when it shuts down; it has no ports and no process callback.
class RtMidiService::JackLister {
public:
    JackLister() = default;
    ~JackLister() { close(); }
    JackLister(const JackLister&) = delete;
    JackLister& operator=(const JackLister&) = delete;

    // True while a server runs: connects to one that has started, and lets
    // go of one that has gone.
    bool connected()
    {
        if (client_ != nullptr && serverGone_->load(std::memory_order_acquire))
            close();
        if (client_ == nullptr) {
            // Looking for a server that is not there costs a few
            // milliseconds; a server started later is found within seconds.
            const auto now = std::chrono::steady_clock::now();
            if (tried_ && now - lastTry_ < RetryAfter)
                return false;
            tried_ = true;
            lastTry_ = now;
            open();
        }
        return client_ != nullptr;
    }

    // The flag the server's shutdown sets, while one runs; none otherwise.
    std::shared_ptr<const std::atomic<bool>> serverGone()
    {
        return connected() ? serverGone_ : nullptr;
    }

    // The server's MIDI output ports, in its order.
    void midiOutputs(std::vector<PortId>& ports)
    {
        if (!connected())
            return;
        const char** names =
            jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
        if (names == nullptr)
            return;
        for (const char** name = names; *name != nullptr; ++name)
            ports.push_back({PortApi::Jack, *name});
        jack_free(static_cast<void*>(names));
    }

private:
    static void onShutdown(void* flag)
    {
        static_cast<std::atomic<bool>*>(flag)->store(true, std::memory_order_release);
    }

    void open()
    {
        QuietJack quiet;
        jack_status_t status{};
        client_ = jack_client_open("Tessaly Notes ports", JackNoStartServer, &status);
        if (client_ == nullptr)
            return;
        // A flag of its own for each server: ports opened on this one keep
        // it after the lister has moved on to the next.
        serverGone_ = std::make_shared<std::atomic<bool>>(false);
        jack_on_shutdown(client_, &JackLister::onShutdown, serverGone_.get());
        if (jack_activate(client_) != 0)
            close();
    }

    void close()
    {
        if (client_ == nullptr)
            return;
        QuietJack quiet;
        jack_client_close(client_);
        client_ = nullptr;
    }

    static constexpr std::chrono::seconds RetryAfter{3};

    jack_client_t* client_ = nullptr;
    std::shared_ptr<std::atomic<bool>> serverGone_;
    bool tried_ = false;
    std::chrono::steady_clock::time_point lastTry_;
};

RtMidiService::RtMidiService(InputOptions options)
    : BasicMidiInService(std::move(options)),
      alsa_(std::make_unique<AlsaLister>()),
      jack_(std::make_unique<JackLister>())
{
}

RtMidiService::~RtMidiService() = default;

std::uint32_t RtMidiService::midiInGetNumDevs()
{
    std::vector<PortId> found;
    alsa_->midiInputs(found);
    jack_->midiOutputs(found);
    ports_ = makePortList(std::move(found));
    listed_ = true;
    return static_cast<std::uint32_t>(ports_.size());
}

MMRESULT RtMidiService::midiInGetDevCaps(std::uint32_t deviceId, MIDIINCAPS& caps)
{
    const std::vector<PortEntry>& list = ports();
    if (deviceId >= list.size())
        return MMSYSERR_BADDEVICEID;
    caps = MIDIINCAPS{0xFFFF, 0xFFFF, rtMidiVersion(), list[deviceId].productName, 0};
    return MMSYSERR_NOERROR;
}

MMRESULT RtMidiService::deviceKey(std::uint32_t deviceId, std::string& key)
{
    const std::vector<PortEntry>& list = ports();
    if (deviceId >= list.size())
        return MMSYSERR_BADDEVICEID;
    const PortEntry& entry = list[deviceId];
    key = (entry.api == PortApi::Alsa ? "alsa:" : "jack:") + entry.portName;
    return MMSYSERR_NOERROR;
}

MMRESULT RtMidiService::openPort(std::uint32_t deviceId, MidiInDevice& device,
                                 std::unique_ptr<Port>& port)
{
    const std::vector<PortEntry>& list = ports();
    if (deviceId >= list.size())
        return MMSYSERR_BADDEVICEID;
    ServerGone serverGone;
    if (list[deviceId].api == PortApi::Jack && !(serverGone = jack_->serverGone()))
        return MMSYSERR_NODRIVER;
    auto opened = std::make_unique<RtMidiPort>(std::move(serverGone));
    if (const MMRESULT result = opened->open(list[deviceId], device); result != MMSYSERR_NOERROR)
        return result;
    port = std::move(opened);
    return MMSYSERR_NOERROR;
}

std::vector<std::string> RtMidiService::virtualPortDrivers()
{
    virtualApis_.clear();
    std::vector<std::string> names;
    for (const PortApi api : {PortApi::Alsa, PortApi::Jack}) {
        if (api == PortApi::Alsa ? alsaSequencerPresent() : jack_->connected()) {
            virtualApis_.push_back(api);
            names.emplace_back(api == PortApi::Alsa ? "ALSA" : "JACK");
        }
    }
    return names;
}

MMRESULT RtMidiService::openVirtualPort(std::uint32_t driver, const std::string& portName,
                                        MidiInDevice& device, std::unique_ptr<Port>& port)
{
    if (driver >= virtualApis_.size())
        return MMSYSERR_BADDEVICEID;
    ServerGone serverGone;
    if (virtualApis_[driver] == PortApi::Jack && !(serverGone = jack_->serverGone()))
        return MMSYSERR_NODRIVER;
    auto opened = std::make_unique<RtMidiPort>(std::move(serverGone));
    if (const MMRESULT result = opened->openVirtual(virtualApis_[driver], portName, device);
        result != MMSYSERR_NOERROR)
        return result;
    port = std::move(opened);
    return MMSYSERR_NOERROR;
}

const std::vector<PortEntry>& RtMidiService::ports()
{
    if (!listed_)
        midiInGetNumDevs();
    return ports_;
}

} // namespace platform::midi
