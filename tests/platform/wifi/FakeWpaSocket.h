#pragma once
// A control socket that answers like the supplicant, from a handler of the test: a Unix
// datagram server on its own thread, with attached clients that receive events.

#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/files/UniqueFd.h"

namespace testsupport {

class FakeWpaSocket {
public:
    // The reply to a request, or nothing for a daemon that does not answer it.
    using Handler = std::function<std::optional<std::string>(const std::string& request)>;

    FakeWpaSocket(std::string path, Handler handler)
        : m_path(std::move(path)), m_handler(std::move(handler)) {
        ::unlink(m_path.c_str());
        m_socket.Reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_path.c_str(), sizeof address.sun_path - 1);
        if (::bind(m_socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot bind " + m_path + ": " + std::strerror(errno));
        m_stop.Reset(::eventfd(0, EFD_CLOEXEC));
        m_thread = std::thread([this] { Serve(); });
    }
    ~FakeWpaSocket() {
        uint64_t one = 1;
        (void)!::write(m_stop.Get(), &one, sizeof one);
        m_thread.join();
        ::unlink(m_path.c_str());
    }

    // To every attached client.
    void SendEvent(const std::string& event) {
        std::lock_guard lock(m_mutex);
        for (const Client& client : m_attached)
            ::sendto(m_socket.Get(), event.data(), event.size(), 0,
                     reinterpret_cast<const sockaddr*>(&client.address), client.length);
    }
    // Sent to the attached clients just before the reply to the next request.
    void EventBeforeNextReply(const std::string& event) {
        std::lock_guard lock(m_mutex);
        m_pendingEvent = event;
    }
    std::vector<std::string> Requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    size_t AttachedCount() const {
        std::lock_guard lock(m_mutex);
        return m_attached.size();
    }

private:
    struct Client {
        sockaddr_un address{};
        socklen_t length = 0;
    };

    void Serve() {
        pollfd fds[2] = {{m_socket.Get(), POLLIN, 0}, {m_stop.Get(), POLLIN, 0}};
        while (::poll(fds, 2, -1) >= 0 && !fds[1].revents) {
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
                    reply = "OK\n";
                }
                if (!m_pendingEvent.empty()) {
                    ::sendto(m_socket.Get(), m_pendingEvent.data(), m_pendingEvent.size(), 0,
                             reinterpret_cast<const sockaddr*>(&from.address), from.length);
                    m_pendingEvent.clear();
                }
            }
            if (!reply)
                reply = m_handler(request);
            if (reply)
                ::sendto(m_socket.Get(), reply->data(), reply->size(), 0,
                         reinterpret_cast<const sockaddr*>(&from.address), from.length);
        }
    }

    std::string m_path;
    Handler m_handler;
    platform::UniqueFd m_socket, m_stop;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::vector<Client> m_attached;
    std::string m_pendingEvent;
    std::thread m_thread;
};

} // namespace testsupport
