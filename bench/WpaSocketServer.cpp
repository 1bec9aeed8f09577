#include "bench/WpaSocketServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench {

bool WpaSocketServer::Client::operator==(const Client& other) const {
    return length == other.length && std::memcmp(&address, &other.address, length) == 0;
}

WpaSocketServer::WpaSocketServer(std::string path, Handler handler)
    : m_path(std::move(path)), m_handler(std::move(handler)) {
    ::unlink(m_path.c_str());
    m_socket.Reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_path.size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path too long: " + m_path);
    std::memcpy(address.sun_path, m_path.c_str(), m_path.size());
    if (::bind(m_socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot bind " + m_path + ": " + std::strerror(errno));
    m_stop.Reset(::eventfd(0, EFD_CLOEXEC));
    m_thread = std::thread([this] { Serve(); });
}

WpaSocketServer::~WpaSocketServer() {
    uint64_t one = 1;
    (void)!::write(m_stop.Get(), &one, sizeof one);
    m_thread.join();
    ::unlink(m_path.c_str());
}

void WpaSocketServer::SendEvent(const std::string& event) {
    std::lock_guard lock(m_mutex);
    // A client that went without DETACH is dropped.
    std::erase_if(m_attached, [&](const Client& client) {
        return ::sendto(m_socket.Get(), event.data(), event.size(), MSG_DONTWAIT,
                        reinterpret_cast<const sockaddr*>(&client.address), client.length) < 0 &&
               (errno == ECONNREFUSED || errno == ENOENT);
    });
}

void WpaSocketServer::EventBeforeNextReply(const std::string& event) {
    std::lock_guard lock(m_mutex);
    m_pendingEvent = event;
}

std::vector<std::string> WpaSocketServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

size_t WpaSocketServer::AttachedCount() const {
    std::lock_guard lock(m_mutex);
    return m_attached.size();
}

void WpaSocketServer::Serve() {
    pollfd fds[2] = {{m_socket.Get(), POLLIN, 0}, {m_stop.Get(), POLLIN, 0}};
    for (;;) {
        int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || fds[1].revents)
            return;
        if (!fds[0].revents)
            continue;
        char buffer[4096];
        Client from;
        from.length = sizeof from.address;
        ssize_t got = ::recvfrom(m_socket.Get(), buffer, sizeof buffer, 0,
                                 reinterpret_cast<sockaddr*>(&from.address), &from.length);
        if (got < 0)
            continue;
        std::string request(buffer, static_cast<size_t>(got));
        std::optional<std::string> reply;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
            if (request == "ATTACH") {
                m_attached.push_back(from);
                reply = "OK\n";
            } else if (request == "DETACH") {
                std::erase(m_attached, from);
                reply = "OK\n";
            }
            if (!m_pendingEvent.empty()) {
                ::sendto(m_socket.Get(), m_pendingEvent.data(), m_pendingEvent.size(), MSG_DONTWAIT,
                         reinterpret_cast<const sockaddr*>(&from.address), from.length);
                m_pendingEvent.clear();
            }
        }
        if (!reply)
            reply = m_handler(request);
        if (reply)
            ::sendto(m_socket.Get(), reply->data(), reply->size(), MSG_DONTWAIT,
                     reinterpret_cast<const sockaddr*>(&from.address), from.length);
    }
}

} // namespace bench
