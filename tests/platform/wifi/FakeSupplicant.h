#pragma once
// The supplicant's sockets in the run directory, answered by the bench's supplicant link: the
// global one names the one link it controls.

#include <memory>
#include <string>

#include "bench/SupplicantLink.h"
#include "bench/WpaSocketServer.h"
#include "platform/wifi/WlanService.h"

namespace testsupport {

inline std::unique_ptr<bench::WpaSocketServer> FakeGlobalSocket(const std::string& link) {
    return std::make_unique<bench::WpaSocketServer>(
        platform::WlanPaths::GlobalSocket(),
        [link](const std::string& request) -> std::optional<std::string> {
            if (request == "PING")
                return "PONG\n";
            if (request == "INTERFACES")
                return link + "\n";
            return "UNKNOWN COMMAND\n";
        });
}

inline std::unique_ptr<bench::WpaSocketServer> FakeLinkSocket(const std::string& link,
                                                              bench::SupplicantLink& fake) {
    return std::make_unique<bench::WpaSocketServer>(
        platform::WlanPaths::InterfaceSocket(link),
        [&fake](const std::string& request) { return fake.Answer(request); });
}

} // namespace testsupport
