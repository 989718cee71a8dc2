#pragma once

#include "JackMidiSender.h"

#include <gtest/gtest.h>

#include <cstdlib>

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
};

} // namespace tessaly::integration
