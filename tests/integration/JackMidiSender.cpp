#include "JackMidiSender.h"

#include <jack/midiport.h>

#include <stdexcept>
#include <thread>

namespace tessaly::integration {

namespace {

constexpr std::size_t RingSize = 1 << 16;

void silent(const char*) {}

} // namespace

bool JackMidiSender::serverRunning()
{
    // Without a server libjack explains at length why it cannot connect.
    jack_set_error_function(silent);
    jack_set_info_function(silent);
    jack_status_t status{};
    jack_client_t* client = jack_client_open("tessaly-check", JackNoStartServer, &status);
    if (client == nullptr)
        return false;
    jack_client_close(client);
    return true;
}

JackMidiSender::JackMidiSender(const std::string& clientName)
{
    jack_status_t status{};
    client_ = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (client_ == nullptr)
        throw std::runtime_error("cannot open JACK client " + clientName);
    port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    ring_ = jack_ringbuffer_create(RingSize);
    if (port_ == nullptr || ring_ == nullptr ||
        jack_set_process_callback(client_, &JackMidiSender::process, this) != 0 ||
        jack_set_port_connect_callback(client_, &JackMidiSender::connectionChanged, this) != 0 ||
        jack_activate(client_) != 0) {
        jack_client_close(client_);
        if (ring_ != nullptr)
            jack_ringbuffer_free(ring_);
        throw std::runtime_error("cannot set up JACK MIDI output of " + clientName);
    }
}

JackMidiSender::~JackMidiSender()
{
    // Closing the client stops its process thread before the ring goes.
    jack_client_close(client_);
    jack_ringbuffer_free(ring_);
}

std::string JackMidiSender::portName() const { return jack_port_name(port_); }

bool JackMidiSender::connected() const { return jack_port_connected(port_) > 0; }

int JackMidiSender::connectTo(const std::string& destination)
{
    const char** names =
        jack_get_ports(client_, destination.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    if (names == nullptr)
        return 0;
    int connected = 0;
    for (const char** name = names; *name != nullptr; ++name)
        if (jack_connect(client_, jack_port_name(port_), *name) == 0)
            ++connected;
    jack_free(static_cast<void*>(names));
    return connected;
}

bool JackMidiSender::waitUntilConnected(std::chrono::milliseconds timeout)
{
    // Woken by JACK's notice of a connection; the short slices cover a
    // notice that comes before the graph shows the connection.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    while (!connected()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        connectionsChanged_.wait_for(lock, std::chrono::milliseconds(10));
    }
    return true;
}

void JackMidiSender::send(std::span<const std::uint8_t> message)
{
    const auto size = static_cast<std::uint32_t>(message.size());
    if (jack_ringbuffer_write_space(ring_) < sizeof size + size)
        throw std::runtime_error("JACK sender: too much waiting to be sent");
    // Size first: the reader takes a message only when all of it is there.
    jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(&size), sizeof size);
    jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(message.data()), size);
}

void JackMidiSender::sendPaced(const std::vector<std::vector<std::uint8_t>>& messages,
                               std::chrono::milliseconds interval)
{
    for (const auto& message : messages) {
        send(message);
        std::this_thread::sleep_for(interval);
    }
}

int JackMidiSender::process(jack_nframes_t frames, void* self)
{
    auto* sender = static_cast<JackMidiSender*>(self);
    void* buffer = jack_port_get_buffer(sender->port_, frames);
    jack_midi_clear_buffer(buffer);
    std::uint32_t size = 0;
    while (jack_ringbuffer_read_space(sender->ring_) >= sizeof size) {
        jack_ringbuffer_peek(sender->ring_, reinterpret_cast<char*>(&size), sizeof size);
        if (jack_ringbuffer_read_space(sender->ring_) < sizeof size + size)
            break;
        // All at the start of the cycle, in order; a full port buffer leaves
        // the rest for the next cycle.
        jack_midi_data_t* event = jack_midi_event_reserve(buffer, 0, size);
        if (event == nullptr)
            break;
        jack_ringbuffer_read_advance(sender->ring_, sizeof size);
        jack_ringbuffer_read(sender->ring_, reinterpret_cast<char*>(event), size);
    }
    return 0;
}

void JackMidiSender::connectionChanged(jack_port_id_t, jack_port_id_t, int, void* self)
{
    auto* sender = static_cast<JackMidiSender*>(self);
    {
        std::lock_guard lock(sender->mutex_);
    }
    sender->connectionsChanged_.notify_all();
}

} // namespace tessaly::integration
