#pragma once
// A TCP server on 127.0.0.1 at an ephemeral port for the bench's telnet fakes. It serves one
// connection at a time on a thread of its own, records every byte each client sent, and stops
// cooperatively (an eventfd wakes every wait).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/files/UniqueFd.h"
#include "platform/text/CString.h"

namespace bench {

class LoopbackServer {
public:
    // How the fake meets a client: its dialogue, or one of the ways a device turns it away.
    enum class Behaviour { Normal, TooManyClients, Silent, CloseAtOnce, SilentAfterLogin };
    static const char* const kTooManyClients;

    LoopbackServer();
    virtual ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Binds (127.0.0.1 at an ephemeral port unless told otherwise), listens and starts
    // serving; false when the socket could not be set up.
    bool Start(const std::string& address = "127.0.0.1", uint16_t port = 0);
    // Ends the current connection and the thread; a derived class calls it in its destructor.
    void Stop();
    uint16_t GetTcpPort() const { return m_port; }

    // The bytes each connection received, one entry per connection, in order.
    std::vector<std::string> Received() const;
    // How many TCP segments with data each served connection's client sent: a line written in
    // one send arrives as one segment.
    std::vector<int> DataSegmentsReceived() const;
    int ConnectionCount() const;
    void SetBehaviour(Behaviour behaviour);
    Behaviour GetBehaviour() const;
    // Waits until this many connections have been served to their end; true when in time.
    bool WaitForServed(int count, int timeoutMs = 5000) const;

protected:
    // One client connection as the dialogue sees it.
    class Connection {
    public:
        Connection(LoopbackServer& server, platform::UniqueFd fd, size_t index);
        // Reads up to the next terminator (dropping the byte `ignored` wherever it appears);
        // false when the client left or the server stops.
        bool ReadLine(std::string& line, char terminator, char ignored);
        bool Write(const std::string& bytes);
        // Keeps reading (and recording) until the client leaves or the server stops.
        void Drain();
        // The kernel's count of data segments received so far, -1 when unknown.
        int DataSegmentsIn() const;

    private:
        bool Fill();

        LoopbackServer& m_server;
        platform::UniqueFd m_fd;
        size_t m_index;
        std::string m_pending;
    };

    // Runs the dialogue of one connection; it returns when the connection should close.
    virtual void Serve(Connection& connection) = 0;
    // Carries out a refusal of the current behaviour (banner first, which holds telnet option
    // bytes); false when the client is to be served.
    bool Refuse(Connection& connection, const std::string& banner);

private:
    void Loop();
    void Record(size_t index, const char* data, size_t length);

    platform::UniqueFd m_listen;
    platform::UniqueFd m_wake;
    uint16_t m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_servedChanged;
    std::vector<std::string> m_received;
    std::vector<int> m_dataSegments;
    int m_served = 0;
    Behaviour m_behaviour = Behaviour::Normal;
};

} // namespace bench
