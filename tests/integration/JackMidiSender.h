#pragma once

// A JACK client with one MIDI output port, standing in for a keyboard behind
// JACK: whatever the test sends leaves the port at the next process cycle,
// in order. Whoever listens connects to portName().

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace tessaly::integration {

class JackMidiSender {
public:
    // True when a JACK server runs; never starts one.
    static bool serverRunning();

    // Throws std::runtime_error when the client or its port cannot be made.
    explicit JackMidiSender(const std::string& clientName);
    ~JackMidiSender();
    JackMidiSender(const JackMidiSender&) = delete;
    JackMidiSender& operator=(const JackMidiSender&) = delete;

    // "client:port", as JACK lists it.
    std::string portName() const;
    bool connected() const;
    // Connects the port to every input port whose full name matches the
    // extended regular expression `destination`; how many it connected.
    int connectTo(const std::string& destination);
    // False when nothing connects within `timeout`.
    bool waitUntilConnected(std::chrono::milliseconds timeout);

    // Queues one complete message (a short message or a whole sysex).
    void send(std::span<const std::uint8_t> message);
    // Sends the messages one by one with `interval` between them, the way a
    // player's notes come, not as one burst.
    void sendPaced(const std::vector<std::vector<std::uint8_t>>& messages,
                   std::chrono::milliseconds interval);

private:
    static int process(jack_nframes_t frames, void* self);
    static void connectionChanged(jack_port_id_t a, jack_port_id_t b, int connect, void* self);

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    // Test thread writes [size][bytes], the process thread reads.
    jack_ringbuffer_t* ring_ = nullptr;

    std::mutex mutex_;
    std::condition_variable connectionsChanged_;
};

} // namespace tessaly::integration
