#include "platform/net/TcpConnect.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace platform {

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool SendAll(int fd, const std::string& bytes) {
    return SendAll(fd, bytes.data(), bytes.size());
}

TcpConnectResult TcpConnect(uint32_t address, uint16_t port, std::chrono::milliseconds timeout) {
    TcpConnectResult result;
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) {
        result.error = errno;
        return result;
    }
    int on = 1;
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            result.error = errno;
            return result;
        }
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() < 0)
                left = std::chrono::milliseconds(0);
            pollfd waitFor{fd.Get(), POLLOUT, 0};
            int ready = ::poll(&waitFor, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0) {
                result.error = errno;
                return result;
            }
            if (ready == 0) {
                result.error = ETIMEDOUT;
                return result;
            }
            break;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        if (error != 0) {
            result.error = error;
            return result;
        }
    }
    int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        result.error = errno;
        return result;
    }
    result.socket = std::move(fd);
    return result;
}

TcpConnectResult TcpConnect(const char* dottedAddress, uint16_t port, std::chrono::milliseconds timeout) {
    in_addr address{};
    if (!dottedAddress || ::inet_pton(AF_INET, dottedAddress, &address) != 1) {
        TcpConnectResult result;
        result.error = EINVAL;
        return result;
    }
    return TcpConnect(address.s_addr, port, timeout);
}

} // namespace platform
