#pragma once
// A client of one control socket of the supplicant (a Unix datagram socket): requests with their
// replies under a time-out, and the events of an attached client. Messages that begin with '<'
// are events, never replies. One thread uses an object; Stop() may come from any thread and
// ends every wait at once.

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "platform/files/UniqueFd.h"

namespace platform {

class WpaControl {
public:
    explicit WpaControl(std::string socketPath);
    WpaControl(const WpaControl&) = delete;
    WpaControl& operator=(const WpaControl&) = delete;

    // Connects to the socket; false (errno in Error()) when nobody listens there.
    bool Open();
    bool IsOpen() const { return m_socket.IsValid(); }
    int Error() const { return m_error; }
    const std::string& Path() const { return m_path; }

    // The reply, or nothing on a time-out, a stop or a socket error.
    std::optional<std::string> Request(const std::string& command,
                                       std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
    // Asks for events; true when the supplicant said OK.
    bool Attach();
    // The next event ("<level>text"), or nothing on a time-out (Error() ETIMEDOUT), a stop or
    // an error.
    std::optional<std::string> NextEvent(std::chrono::milliseconds timeout);
    void Stop();
    bool IsStopped() const;

private:
    enum class Wait { Message, TimedOut, Stopped, Failed };
    Wait Receive(std::chrono::steady_clock::time_point deadline, std::string& message);

    std::string m_path;
    UniqueFd m_socket;
    UniqueFd m_stop; // an eventfd
    std::deque<std::string> m_events;
    int m_error = 0;
};

// Where requests are logged (keys masked); nothing by default.
void SetWpaRequestLog(std::function<void(const std::string&)> log);
// The request as it may be logged: the values of key and password fields are masked.
std::string MaskWpaRequest(const std::string& request);

} // namespace platform
