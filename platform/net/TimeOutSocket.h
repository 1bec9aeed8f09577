#pragma once
// A blocking TCP client socket whose every blocking call gives up after a guard time, as the
// telnet clients of the switch and the DSLAM need: connect, send and receive each fail once
// the guard has run out instead of hanging on a silent peer.

#include <cstdint>

#include "platform/files/UniqueFd.h"
#include "platform/text/CString.h"

namespace platform {

class TimeOutSocket {
public:
    static constexpr uint32_t kDefaultGuardMs = 3000;

    explicit TimeOutSocket(uint32_t guardMs = kDefaultGuardMs) : m_guardMs(guardMs) {}

    // Connects to a dotted IPv4 address; false on refusal, time-out or a bad address.
    bool Connect(const char* address, uint16_t port);
    // Sends every byte; false on an error or when the peer takes nothing within the guard.
    bool Send(const char* data, int length);
    bool Send(const CString& text) { return Send(text.GetString(), text.GetLength()); }
    // Receives at most length bytes: the count, 0 when the peer closed, -1 on an error or when
    // nothing came within the guard (GetLastError then gives ETIMEDOUT).
    int Receive(char* buffer, int length);
    void Close() { m_fd.Reset(); }
    bool IsOpen() const { return m_fd.IsValid(); }
    int GetLastError() const { return m_lastError; }
    uint32_t GetGuardMs() const { return m_guardMs; }

private:
    bool WaitFor(short events);

    uint32_t m_guardMs;
    UniqueFd m_fd;
    int m_lastError = 0;
};

// Appends the printable bytes, carriage returns and line feeds; drops everything else
// (telnet negotiation and control bytes).
void AppendPrintable(CString& text, const char* data, int length);

} // namespace platform
