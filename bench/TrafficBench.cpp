#include "bench/TrafficBench.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <poll.h>
#include <queue>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

struct TrafficForwarder::Delayed {
    Clock::time_point due;
    uint64_t order;
    int socket;
    int ifIndex;
    std::vector<uint8_t> frame;
    bool operator>(const Delayed& other) const {
        return due != other.due ? due > other.due : order > other.order;
    }
};

namespace {

platform::UniqueFd OpenPeer(const std::string& name, int* ifIndex, std::string* error) {
    *ifIndex = static_cast<int>(if_nametoindex(name.c_str()));
    if (*ifIndex == 0) {
        *error = name + ": " + std::strerror(errno);
        return platform::UniqueFd();
    }
    platform::UniqueFd fd(::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, htons(ETH_P_ALL)));
    if (!fd) {
        *error = std::string("packet socket: ") + std::strerror(errno);
        return fd;
    }
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_protocol = htons(ETH_P_ALL);
    address.sll_ifindex = *ifIndex;
    int one = 1, buffer = 8 << 20;
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::setsockopt(fd.Get(), SOL_PACKET, PACKET_AUXDATA, &one, sizeof one) != 0) {
        *error = name + ": " + std::strerror(errno);
        return platform::UniqueFd();
    }
    // What this bench sends itself on a peer is no input.
    ::setsockopt(fd.Get(), SOL_PACKET, PACKET_IGNORE_OUTGOING, &one, sizeof one);
    if (::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0)
        ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    return fd;
}

// Reads one frame with its 802.1Q tag put back where the kernel took it off. 0 when none.
size_t ReadFrame(int fd, std::vector<uint8_t>& frame) {
    frame.resize(65536 + 4);
    iovec io{frame.data() + 4, 65536};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(tpacket_auxdata))];
    sockaddr_ll from{};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got = ::recvmsg(fd, &message, MSG_DONTWAIT);
    if (got < 14 || from.sll_pkttype == PACKET_OUTGOING)
        return 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_PACKET || c->cmsg_type != PACKET_AUXDATA)
            continue;
        tpacket_auxdata aux;
        std::memcpy(&aux, CMSG_DATA(c), sizeof aux);
        if (aux.tp_status & TP_STATUS_VLAN_VALID) {
            // Addresses move 4 bytes forward; the tag goes between them and the type.
            std::memmove(frame.data(), frame.data() + 4, 12);
            const uint16_t tpid =
                (aux.tp_status & TP_STATUS_VLAN_TPID_VALID) ? aux.tp_vlan_tpid : ETH_P_8021Q;
            frame[12] = static_cast<uint8_t>(tpid >> 8);
            frame[13] = static_cast<uint8_t>(tpid);
            frame[14] = static_cast<uint8_t>(aux.tp_vlan_tci >> 8);
            frame[15] = static_cast<uint8_t>(aux.tp_vlan_tci);
            frame.resize(static_cast<size_t>(got) + 4);
            return frame.size();
        }
    }
    frame.erase(frame.begin(), frame.begin() + 4);
    frame.resize(static_cast<size_t>(got));
    return frame.size();
}

void SendFrame(int fd, int ifIndex, const std::vector<uint8_t>& frame) {
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_ifindex = ifIndex;
    to.sll_halen = 6;
    std::memcpy(to.sll_addr, frame.data(), 6);
    while (::sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
        if (errno != ENOBUFS && errno != EAGAIN && errno != EINTR)
            return;
        // The peer's queue is full for a moment: wait for room rather than lose the frame.
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 10);
    }
}

} // namespace

TrafficForwarder::TrafficForwarder(int namespaceFd, std::string lanPeer, std::string wanPeer)
    : m_namespaceFd(namespaceFd), m_lanPeer(std::move(lanPeer)), m_wanPeer(std::move(wanPeer)) {}

TrafficForwarder::~TrafficForwarder() {
    Stop();
}

void TrafficForwarder::SetPolicy(int vlanId, const PortPolicy& policy) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vlans[vlanId].policy = policy;
}

VlanCounters TrafficForwarder::GetCounters(int vlanId, Direction direction) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_vlans.find(vlanId);
    return it == m_vlans.end() ? VlanCounters{} : it->second.counters[static_cast<size_t>(direction)];
}

bool TrafficForwarder::Start(std::string* error) {
    if (m_thread.joinable())
        return true;
    std::string reason;
    // The sockets are made on a thread inside the bench namespace and kept by this object.
    std::thread opener([&] {
        if (::setns(m_namespaceFd, CLONE_NEWNET) != 0) {
            reason = std::string("setns: ") + std::strerror(errno);
            return;
        }
        m_lanSocket = OpenPeer(m_lanPeer, &m_lanIndex, &reason);
        if (m_lanSocket)
            m_wanSocket = OpenPeer(m_wanPeer, &m_wanIndex, &reason);
    });
    opener.join();
    m_wake.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_lanSocket || !m_wanSocket || !m_wake) {
        if (error)
            *error = reason.empty() ? "eventfd failed" : reason;
        m_lanSocket.Reset();
        m_wanSocket.Reset();
        return false;
    }
    m_stop = false;
    m_thread = std::thread([this] { Loop(); });
    return true;
}

void TrafficForwarder::Stop() {
    if (!m_thread.joinable())
        return;
    m_stop = true;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(m_wake.Get(), &one, sizeof one);
    m_thread.join();
    m_lanSocket.Reset();
    m_wanSocket.Reset();
}

void TrafficForwarder::Loop() {
    std::priority_queue<Delayed, std::vector<Delayed>, std::greater<Delayed>> delayed;
    uint64_t order = 0;
    std::vector<uint8_t> frame;
    while (!m_stop.load()) {
        int timeout = -1;
        if (!delayed.empty()) {
            auto wait =
                std::chrono::ceil<std::chrono::milliseconds>(delayed.top().due - Clock::now()).count();
            timeout = wait < 0 ? 0 : static_cast<int>(wait);
        }
        pollfd fds[3] = {
            {m_lanSocket.Get(), POLLIN, 0}, {m_wanSocket.Get(), POLLIN, 0}, {m_wake.Get(), POLLIN, 0}};
        if (::poll(fds, 3, timeout) < 0 && errno != EINTR)
            break;
        while (!delayed.empty() && delayed.top().due <= Clock::now()) {
            SendFrame(delayed.top().socket, delayed.top().ifIndex, delayed.top().frame);
            delayed.pop();
        }
        for (int side = 0; side < 2; ++side) {
            if (!(fds[side].revents & POLLIN))
                continue;
            const Direction direction = side == 0 ? Direction::Upstream : Direction::Downstream;
            const int in = fds[side].fd;
            const int out = side == 0 ? m_wanSocket.Get() : m_lanSocket.Get();
            const int outIndex = side == 0 ? m_wanIndex : m_lanIndex;
            // A bounded batch per side, so one busy side cannot starve the other.
            for (int n = 0; n < 256; ++n) {
                if (ReadFrame(in, frame) == 0) {
                    if (errno == EAGAIN || errno == EWOULDBLOCK)
                        break;
                    continue;
                }
                if (frame.size() < 18 || frame[12] != 0x81 || frame[13] != 0x00)
                    continue; // untagged: no modem carries it
                const int vlan = (frame[14] & 0x0F) << 8 | frame[15];
                bool drop = false;
                int delayMs = 0;
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    VlanState& state = m_vlans[vlan];
                    const PortPolicy& p = state.policy;
                    const size_t d = static_cast<size_t>(direction);
                    switch (p.kind) {
                    case PortPolicy::Kind::Pass:
                        break;
                    case PortPolicy::Kind::DropAll:
                        drop = true;
                        break;
                    case PortPolicy::Kind::DropEveryKth:
                        if (direction == p.direction && static_cast<int>(frame.size()) == p.frameLength &&
                            p.k > 0) {
                            const uint64_t number = ++state.matching[d];
                            drop =
                                number >= static_cast<uint64_t>(p.first) &&
                                (number - static_cast<uint64_t>(p.first)) % static_cast<uint64_t>(p.k) == 0;
                        }
                        break;
                    case PortPolicy::Kind::Delay:
                        delayMs = p.delayMs;
                        break;
                    }
                    ++(drop ? state.counters[d].dropped : state.counters[d].forwarded);
                }
                if (drop)
                    continue;
                if (delayMs > 0)
                    delayed.push(
                        {Clock::now() + std::chrono::milliseconds(delayMs), order++, out, outIndex, frame});
                else
                    SendFrame(out, outIndex, frame);
            }
        }
    }
}

} // namespace bench
