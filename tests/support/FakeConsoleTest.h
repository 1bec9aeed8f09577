#pragma once
// The bench's fake switch console on a pty, and the console's configuration and options aimed
// at it with short waits, for the tests of the console and of the manager over it. Derived
// fixtures declare the console after these members, so the fake outlives it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/FakeSwitchConsole.h"
#include "engine/switch/SwitchManagerImpl.h"

namespace testsupport {

class FakeConsoleTest : public ::testing::Test {
protected:
    explicit FakeConsoleTest(int portCount = 24) : fake{portCount}, ports(portCount) {}

    void SetUp() override {
        std::string error;
        if (!fake.Start(&error))
            GTEST_SKIP() << "no pty: " << error;
        config.PortCount = ports;
        config.TrunkPortNo = ports;
        config.Login.User = "admin";
        config.Login.Password = "admin";
        options.devicePath = fake.DevicePath();
        options.processState = &state;
        options.viewReady = &viewReady;
        options.timings = {0, 0, 0, 500, 600000, 5000};
    }

    // The lines the fake received that begin with head, in order.
    std::vector<std::string> LinesStartingWith(const std::string& head) const {
        std::vector<std::string> found;
        for (const auto& line : fake.Lines())
            if (line.rfind(head, 0) == 0)
                found.push_back(line);
        return found;
    }

    bench::FakeSwitchConsole fake;
    const int ports;
    SwitchConfig config;
    SwitchConsoleOptions options;
    SwitchConsoleProcessState state;
    platform::Event viewReady{true, false};
};

} // namespace testsupport
