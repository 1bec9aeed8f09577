#pragma once
// The one ICMP echo engine: one request to each of many IPv4 targets, all sent before any
// wait, and the replies collected together under a single time-out.

#include <chrono>
#include <cstdint>
#include <vector>

namespace platform {

enum class IcmpSocketKind {
    Automatic, // raw socket when allowed (root), else an ICMP datagram socket
    Raw,
    Datagram,
};

struct IcmpEchoResult {
    bool ran = false;              // false: no ICMP socket could be opened (see error)
    int error = 0;                 // errno of the failed socket call
    std::vector<uint8_t> answered; // one entry per target: 1 answered, 0 not
};

// Targets are IPv4 addresses in network byte order. A reply counts only when its type is echo
// reply and its id, sequence, source address and payload are those of the request to that
// target, so another process's replies and a request seen on loopback are never taken for an
// answer. The call returns as soon as every target has answered, else after the time-out.
IcmpEchoResult IcmpEchoBatch(const std::vector<uint32_t>& targets, std::chrono::milliseconds timeout,
                             IcmpSocketKind kind = IcmpSocketKind::Automatic);

} // namespace platform
