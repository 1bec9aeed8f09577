#include "platform/net/TimeOutSocket.h"

#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include "platform/net/TcpConnect.h"

namespace platform {

bool TimeOutSocket::Connect(const char* address, uint16_t port) {
    Close();
    TcpConnectResult result = TcpConnect(address, port, std::chrono::milliseconds(m_guardMs));
    m_lastError = result.error;
    if (!result.Connected())
        return false;
    m_fd = std::move(result.socket);
    // Short lines of a dialogue go out at once instead of waiting for the last one's ack.
    int on = 1;
    ::setsockopt(m_fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return true;
}

bool TimeOutSocket::WaitFor(short events) {
    if (!m_fd.IsValid()) {
        m_lastError = EBADF;
        return false;
    }
    pollfd p{m_fd.Get(), events, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_guardMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        int n = ::poll(&p, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (n > 0)
            return true; // ready, or an error the next call reports
        if (n == 0) {
            m_lastError = ETIMEDOUT;
            return false;
        }
        if (errno != EINTR) {
            m_lastError = errno;
            return false;
        }
    }
}

bool TimeOutSocket::Send(const char* data, int length) {
    int sent = 0;
    while (sent < length) {
        if (!WaitFor(POLLOUT))
            return false;
        ssize_t n = ::send(m_fd.Get(), data + sent, static_cast<size_t>(length - sent), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            m_lastError = errno;
            return false;
        }
        sent += static_cast<int>(n);
    }
    return true;
}

int TimeOutSocket::Receive(char* buffer, int length) {
    if (!WaitFor(POLLIN))
        return -1;
    for (;;) {
        ssize_t n = ::recv(m_fd.Get(), buffer, static_cast<size_t>(length), 0);
        if (n >= 0) {
            // A device that writes its reply in pieces with Nagle on sends the next piece only
            // once this one is acknowledged: acknowledge at once instead of after the delayed
            // ACK's 40 ms. The kernel drops the setting again by itself, hence every time.
            int on = 1;
            ::setsockopt(m_fd.Get(), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
            return static_cast<int>(n);
        }
        if (errno != EINTR) {
            m_lastError = errno;
            return -1;
        }
    }
}

void AppendPrintable(CString& text, const char* data, int length) {
    for (int i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        if ((c >= 0x20 && c <= 0x7E) || c == '\r' || c == '\n')
            text += static_cast<char>(c);
    }
}

} // namespace platform
