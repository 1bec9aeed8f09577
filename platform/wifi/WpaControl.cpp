#include "platform/wifi/WpaControl.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sstream>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <vector>

namespace platform {

namespace {

std::mutex g_logMutex;
std::function<void(const std::string&)> g_log;

bool IsEvent(const std::string& message) {
    return !message.empty() && message[0] == '<';
}

} // namespace

void SetWpaRequestLog(std::function<void(const std::string&)> log) {
    std::lock_guard lock(g_logMutex);
    g_log = std::move(log);
}

std::string MaskWpaRequest(const std::string& request) {
    static const char* const kSecret[] = {"psk",      "wep_key0",   "wep_key1",           "wep_key2",
                                          "wep_key3", "password",   "private_key_passwd", "sae_password",
                                          "pin",      "passphrase", "new_password"};
    std::istringstream words(request);
    std::string command, id, field;
    if (!(words >> command >> id >> field) || command != "SET_NETWORK")
        return request;
    for (const char* secret : kSecret)
        if (field == secret)
            return command + " " + id + " " + field + " *";
    return request;
}

WpaControl::WpaControl(std::string socketPath) : m_path(std::move(socketPath)) {
    m_stop.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
}

bool WpaControl::Open() {
    m_socket.Reset();
    sockaddr_un server{};
    if (m_path.size() >= sizeof server.sun_path) {
        m_error = ENAMETOOLONG;
        return false;
    }
    UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket) {
        m_error = errno;
        return false;
    }
    // An address of its own in the abstract namespace, so that replies find their way back and
    // nothing is left in the file system.
    sa_family_t family = AF_UNIX;
    if (::bind(socket.Get(), reinterpret_cast<sockaddr*>(&family), sizeof family) != 0) {
        m_error = errno;
        return false;
    }
    server.sun_family = AF_UNIX;
    std::memcpy(server.sun_path, m_path.c_str(), m_path.size());
    if (::connect(socket.Get(), reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        m_error = errno;
        return false;
    }
    m_socket = std::move(socket);
    m_error = 0;
    return true;
}

void WpaControl::Stop() {
    uint64_t one = 1;
    (void)!::write(m_stop.Get(), &one, sizeof one);
}

bool WpaControl::IsStopped() const {
    pollfd fd{m_stop.Get(), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1;
}

WpaControl::Wait WpaControl::Receive(std::chrono::steady_clock::time_point deadline, std::string& message) {
    if (!m_socket)
        return Wait::Failed;
    pollfd fds[2] = {{m_socket.Get(), POLLIN, 0}, {m_stop.Get(), POLLIN, 0}};
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() < 0)
            left = std::chrono::milliseconds(0);
        int ready = ::poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0) {
            m_error = errno;
            return Wait::Failed;
        }
        if (fds[1].revents)
            return Wait::Stopped;
        if (ready == 0)
            return Wait::TimedOut;
        std::vector<char> buffer(65536);
        ssize_t got = ::recv(m_socket.Get(), buffer.data(), buffer.size(), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            m_error = errno;
            return Wait::Failed;
        }
        message.assign(buffer.data(), static_cast<size_t>(got));
        return Wait::Message;
    }
}

std::optional<std::string> WpaControl::Request(const std::string& command,
                                               std::chrono::milliseconds timeout) {
    if (!m_socket || IsStopped())
        return std::nullopt;
    {
        std::lock_guard lock(g_logMutex);
        if (g_log)
            g_log(MaskWpaRequest(command));
    }
    // A reply that came after an earlier time-out would pass for this request's.
    std::string message;
    while (Receive(std::chrono::steady_clock::now(), message) == Wait::Message)
        if (IsEvent(message))
            m_events.push_back(message);
    if (::send(m_socket.Get(), command.data(), command.size(), MSG_NOSIGNAL) < 0) {
        m_error = errno;
        return std::nullopt;
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Wait wait = Receive(deadline, message);
        if (wait != Wait::Message) {
            if (wait == Wait::TimedOut)
                m_error = ETIMEDOUT;
            return std::nullopt;
        }
        if (!IsEvent(message))
            return message;
        m_events.push_back(message);
    }
}

bool WpaControl::Attach() {
    std::optional<std::string> reply = Request("ATTACH");
    return reply && reply->rfind("OK", 0) == 0;
}

std::optional<std::string> WpaControl::NextEvent(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_events.empty()) {
        if (IsStopped())
            return std::nullopt;
        std::string message;
        Wait wait = Receive(deadline, message);
        if (wait == Wait::TimedOut)
            m_error = ETIMEDOUT;
        if (wait != Wait::Message)
            return std::nullopt;
        if (IsEvent(message)) // a stray late reply is dropped
            m_events.push_back(message);
    }
    if (IsStopped())
        return std::nullopt;
    std::string event = std::move(m_events.front());
    m_events.pop_front();
    m_error = 0;
    return event;
}

} // namespace platform
