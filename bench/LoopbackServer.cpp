#include "bench/LoopbackServer.h"

#include <arpa/inet.h>
#include <linux/tcp.h>
#include <cerrno>
#include <cstddef>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

namespace bench {

const char* const LoopbackServer::kTooManyClients = "Telnet client too much to login, please try again later";

LoopbackServer::LoopbackServer() = default;

void LoopbackServer::SetBehaviour(Behaviour behaviour) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_behaviour = behaviour;
}

LoopbackServer::Behaviour LoopbackServer::GetBehaviour() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_behaviour;
}

bool LoopbackServer::Refuse(Connection& c, const std::string& banner) {
    switch (GetBehaviour()) {
    case Behaviour::CloseAtOnce:
        return true;
    case Behaviour::Silent:
        c.Drain();
        return true;
    case Behaviour::TooManyClients:
        c.Write(banner + kTooManyClients + "\r\n");
        c.Drain();
        return true;
    default:
        return false;
    }
}

LoopbackServer::~LoopbackServer() {
    Stop();
}

bool LoopbackServer::Start(const std::string& address, uint16_t port) {
    m_listen.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    m_wake.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_listen || !m_wake)
        return false;
    int on = 1;
    ::setsockopt(m_listen.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1 ||
        ::bind(m_listen.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listen.Get(), 16) != 0)
        return false;
    socklen_t len = sizeof addr;
    ::getsockname(m_listen.Get(), reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Loop(); });
    return true;
}

void LoopbackServer::Stop() {
    if (m_stopping.exchange(true))
        return;
    if (m_wake) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake.Get(), &one, sizeof one);
    }
    if (m_thread.joinable())
        m_thread.join();
}

std::vector<std::string> LoopbackServer::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

std::vector<int> LoopbackServer::DataSegmentsReceived() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dataSegments;
}

int LoopbackServer::ConnectionCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_received.size());
}

bool LoopbackServer::WaitForServed(int count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_servedChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&] { return m_served >= count; });
}

void LoopbackServer::Record(size_t index, const char* data, size_t length) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received[index].append(data, length);
}

void LoopbackServer::Loop() {
    while (!m_stopping.load()) {
        pollfd p[2] = {{m_listen.Get(), POLLIN, 0}, {m_wake.Get(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno != EINTR)
            return;
        if (p[1].revents)
            return;
        if (!(p[0].revents & POLLIN))
            continue;
        platform::UniqueFd client(::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!client)
            continue;
        size_t index;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            index = m_received.size();
            m_received.emplace_back();
        }
        int segments;
        {
            Connection connection(*this, std::move(client), index);
            Serve(connection);
            segments = connection.DataSegmentsIn();
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_dataSegments.push_back(segments);
        ++m_served;
        m_servedChanged.notify_all();
    }
}

LoopbackServer::Connection::Connection(LoopbackServer& server, platform::UniqueFd fd, size_t index)
    : m_server(server), m_fd(std::move(fd)), m_index(index) {}

bool LoopbackServer::Connection::Fill() {
    pollfd p[2] = {{m_fd.Get(), POLLIN, 0}, {m_server.m_wake.Get(), POLLIN, 0}};
    for (;;) {
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (p[1].revents)
            return false;
        char buffer[4096];
        ssize_t n = ::recv(m_fd.Get(), buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        m_server.Record(m_index, buffer, static_cast<size_t>(n));
        m_pending.append(buffer, static_cast<size_t>(n));
        return true;
    }
}

bool LoopbackServer::Connection::ReadLine(std::string& line, char terminator, char ignored) {
    for (;;) {
        size_t end = m_pending.find(terminator);
        if (end != std::string::npos) {
            line.clear();
            for (size_t i = 0; i < end; ++i)
                if (m_pending[i] != ignored)
                    line += m_pending[i];
            m_pending.erase(0, end + 1);
            return true;
        }
        if (!Fill())
            return false;
    }
}

bool LoopbackServer::Connection::Write(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(m_fd.Get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

int LoopbackServer::Connection::DataSegmentsIn() const {
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(m_fd.Get(), IPPROTO_TCP, TCP_INFO, &info, &length) != 0 ||
        length < offsetof(tcp_info, tcpi_data_segs_in) + sizeof info.tcpi_data_segs_in)
        return -1;
    return static_cast<int>(info.tcpi_data_segs_in);
}

void LoopbackServer::Connection::Drain() {
    while (Fill())
        m_pending.clear();
}

} // namespace bench
