#pragma once

#include "JackMidiSender.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace tessaly::integration {

// Tests that need a running JACK server: skipped without one, unless
// TESSALY_REQUIRE_JACK is set (CI starts a server and must not pass by
// skipping).
class JackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (JackMidiSender::serverRunning())
            return;
        if (std::getenv("TESSALY_REQUIRE_JACK") != nullptr)
            FAIL() << "TESSALY_REQUIRE_JACK is set but no JACK server is running.";
        GTEST_SKIP() << "No JACK server is running; start one (jackd -r -d dummy) to run the "
                        "JACK input tests.";
    }

    // Runs the event loop until `done` or ten seconds have passed.
    template <class Done> static bool runUntil(Done done)
    {
        using namespace std::chrono_literals;
        QDeadlineTimer deadline(10s);
        while (!done() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(1ms);
        }
        return done();
    }
};

} // namespace tessaly::integration
