#include "platform/net/IcmpEcho.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>

#include "platform/files/UniqueFd.h"
#include "platform/net/Checksum.h"

namespace platform {
namespace {

constexpr size_t kPayloadSize = 16;
constexpr size_t kEchoSize = sizeof(icmphdr) + kPayloadSize;

// Every batch draws its own id, sequence base and payload tag, so batches running at once in
// other threads or processes (each raw socket sees every reply) never take each other's replies.
struct BatchKey {
    uint16_t id;
    uint16_t sequenceBase;
    uint64_t tag;
};

BatchKey NewBatchKey() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    uint64_t bits = random();
    return {static_cast<uint16_t>(bits), static_cast<uint16_t>(bits >> 16), random()};
}

void Payload(const BatchKey& key, uint32_t index, uint8_t* out) {
    std::memcpy(out, &key.tag, 8);
    std::memcpy(out + 8, &index, 4);
    std::memcpy(out + 12, "CRVY", 4);
}

UniqueFd OpenSocket(IcmpSocketKind kind, bool& raw, int& error) {
    if (kind != IcmpSocketKind::Datagram) {
        UniqueFd fd(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
        if (fd) {
            raw = true;
            return fd;
        }
        error = errno;
        if (kind == IcmpSocketKind::Raw)
            return fd;
    }
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (!fd)
        error = errno;
    raw = false;
    return fd;
}

} // namespace

IcmpEchoResult IcmpEchoBatch(const std::vector<uint32_t>& targets, std::chrono::milliseconds timeout,
                             IcmpSocketKind kind) {
    IcmpEchoResult result;
    result.answered.assign(targets.size(), 0);
    bool raw = false;
    UniqueFd socket = OpenSocket(kind, raw, result.error);
    if (!socket)
        return result;
    result.ran = true;
    result.error = 0;
    if (targets.empty())
        return result;

    // Room for every reply of a large batch arriving at once.
    int receiveBuffer = 1 << 20;
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);

    const BatchKey key = NewBatchKey();
    size_t outstanding = 0;
    std::vector<uint8_t> pending(targets.size(), 0);
    for (size_t i = 0; i < targets.size(); ++i) {
        // 0.0.0.0 and 255.255.255.255 (what an unreadable address converts to) are never pinged.
        if (targets[i] == INADDR_ANY || targets[i] == INADDR_NONE)
            continue;
        uint8_t packet[kEchoSize] = {};
        auto* header = reinterpret_cast<icmphdr*>(packet);
        header->type = ICMP_ECHO;
        header->un.echo.id = htons(key.id);
        header->un.echo.sequence = htons(static_cast<uint16_t>(key.sequenceBase + i));
        Payload(key, static_cast<uint32_t>(i), packet + sizeof(icmphdr));
        header->checksum = InternetChecksum(packet, sizeof packet);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = targets[i];
        ssize_t sent;
        do
            sent =
                ::sendto(socket.Get(), packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        while (sent < 0 && errno == EINTR);
        // A target that cannot be sent to (no route, unreachable) simply stays unanswered.
        if (sent == static_cast<ssize_t>(sizeof packet)) {
            pending[i] = 1;
            ++outstanding;
        }
    }

    // The kernel puts its own id on datagram sockets: the socket's local port.
    uint16_t expectedId = key.id;
    if (!raw) {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&local), &length) == 0)
            expectedId = ntohs(local.sin_port);
    }

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    uint8_t buffer[2048];
    while (outstanding > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd waitFor{socket.Get(), POLLIN, 0};
        int ready = ::poll(&waitFor, 1, static_cast<int>(left.count()) + 1);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        for (;;) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            ssize_t size = ::recvfrom(socket.Get(), buffer, sizeof buffer, MSG_DONTWAIT,
                                      reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (size < 0)
                break;
            const uint8_t* icmp = buffer;
            size_t icmpSize = static_cast<size_t>(size);
            if (raw) {
                if (icmpSize < sizeof(iphdr))
                    continue;
                size_t headerSize = static_cast<size_t>(reinterpret_cast<const iphdr*>(buffer)->ihl) * 4;
                if (headerSize < sizeof(iphdr) || headerSize > icmpSize)
                    continue;
                icmp += headerSize;
                icmpSize -= headerSize;
            }
            if (icmpSize != kEchoSize)
                continue;
            icmphdr reply;
            std::memcpy(&reply, icmp, sizeof reply);
            if (reply.type != ICMP_ECHOREPLY || reply.code != 0 || ntohs(reply.un.echo.id) != expectedId)
                continue;
            size_t index = static_cast<uint16_t>(ntohs(reply.un.echo.sequence) - key.sequenceBase);
            if (index >= targets.size() || !pending[index] || from.sin_addr.s_addr != targets[index])
                continue;
            uint8_t expected[kPayloadSize];
            Payload(key, static_cast<uint32_t>(index), expected);
            if (std::memcmp(icmp + sizeof(icmphdr), expected, kPayloadSize) != 0)
                continue;
            pending[index] = 0;
            result.answered[index] = 1;
            --outstanding;
        }
    }
    return result;
}

} // namespace platform
