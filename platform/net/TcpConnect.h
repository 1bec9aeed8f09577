#pragma once
// A TCP connect over IPv4 that waits no longer than it is told: non-blocking connect, a poll
// for writability, then the socket's own verdict (SO_ERROR).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files/UniqueFd.h"

namespace platform {

struct TcpConnectResult {
    UniqueFd socket; // connected and back in blocking mode; invalid on failure
    int error = 0;   // 0, or ECONNREFUSED, ETIMEDOUT (no answer in time), EHOSTUNREACH, ...
    bool Connected() const { return socket.IsValid(); }
};

// Address in network byte order. A refusal comes back as soon as the peer sends it.
TcpConnectResult TcpConnect(uint32_t address, uint16_t port, std::chrono::milliseconds timeout);

// The same for dotted text; text that is no IPv4 address gives EINVAL without connecting.
TcpConnectResult TcpConnect(const char* dottedAddress, uint16_t port, std::chrono::milliseconds timeout);

// Sends every byte, resuming after short sends and signals; false when the peer is gone (never
// SIGPIPE).
bool SendAll(int socket, const char* data, size_t size);
bool SendAll(int socket, const std::string& bytes);

} // namespace platform
