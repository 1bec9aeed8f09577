#pragma once
// A control socket that answers like the supplicant's: a Unix datagram server on its own thread
// whose replies come from a handler, with attached clients (ATTACH, DETACH) that receive events.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <sys/un.h>
#include <thread>
#include <vector>

#include "platform/files/UniqueFd.h"

namespace bench {

class WpaSocketServer {
public:
    // The reply to a request, or nothing for a daemon that does not answer it.
    using Handler = std::function<std::optional<std::string>(const std::string& request)>;

    // Binds the path (a file left there is replaced); throws std::runtime_error when it cannot.
    WpaSocketServer(std::string path, Handler handler);
    ~WpaSocketServer();
    WpaSocketServer(const WpaSocketServer&) = delete;
    WpaSocketServer& operator=(const WpaSocketServer&) = delete;

    const std::string& Path() const { return m_path; }
    // To every attached client.
    void SendEvent(const std::string& event);
    // Sent to the attached clients just before the reply to the next request.
    void EventBeforeNextReply(const std::string& event);
    std::vector<std::string> Requests() const;
    size_t AttachedCount() const;

private:
    struct Client {
        sockaddr_un address{};
        socklen_t length = 0;
        bool operator==(const Client& other) const;
    };

    void Serve();

    std::string m_path;
    Handler m_handler;
    platform::UniqueFd m_socket, m_stop;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::vector<Client> m_attached;
    std::string m_pendingEvent;
    std::thread m_thread;
};

} // namespace bench
