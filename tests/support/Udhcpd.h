#pragma once
// A busybox udhcpd for DHCP tests, serving 10.9.0.100-110 on one link of a namespace whose
// side holds 10.9.0.1/24: router 10.9.0.1, name servers 10.9.0.53 and 10.9.0.54, one hour's
// lease. The caller ends it by its pid (platform::StopDaemon).

#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>

#include "platform/net/Daemon.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"

namespace testsupport {

// Files of the server go to 'files'; its pid, or 0 after a failed assertion.
inline pid_t StartUdhcpd(const NetNamespace& ns, const std::string& link,
                         const std::filesystem::path& files) {
    WriteFileBytes(files / "udhcpd.conf", "start 10.9.0.100\nend 10.9.0.110\ninterface " + link +
                                              "\nlease_file " + (files / "udhcpd.leases").string() +
                                              "\npidfile " + (files / "udhcpd.pid").string() +
                                              "\noption subnet 255.255.255.0\noption router 10.9.0.1\n"
                                              "option dns 10.9.0.53 10.9.0.54\noption lease 3600\n");
    pid_t server = 0;
    RunInside(ns, [&] {
        int error = 0;
        server = platform::StartDaemon(
            {platform::FindProgram("busybox"), "udhcpd", "-f", (files / "udhcpd.conf").string()}, {}, &error);
        ASSERT_NE(server, 0) << error;
    });
    return server;
}

// Polls the condition every 20 ms; false when it still fails after the time-out.
inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace testsupport
