#pragma once
// A modem's web server for tests, in-process on loopback: routes per method and path, answers
// built from parts or given as raw bytes, HTTP authentication (Basic, Digest with MD5), slow,
// silent and dropped answers, chunked and read-to-close bodies. Requests are read by the
// product's message reader (by length or chunked); every request is recorded as it arrived.
// It listens on an ephemeral port and serves from its own threads until Stop.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/files/UniqueFd.h"

namespace bench {

struct WebRequest {
    std::string head; // request line and headers exactly as received, up to the blank line
    std::string method, target, path, query, version;
    std::vector<std::pair<std::string, std::string>> headers; // in arrival order
    std::string body;                                         // empty when the server keeps no bodies
    uint64_t bodyLength = 0;                                  // bytes received, kept or not
    int connection = 0; // which TCP connection carried it, counting from 1

    std::string Raw() const { return head + body; }
    // First value of a header, matched without regard to case; "" when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
    int HeaderCount(const std::string& name) const;
};

struct WebResponse {
    enum class Framing { Length, Chunked, ReadToClose };

    int status = 200;
    std::string reason; // standard text of the status when empty
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    Framing framing = Framing::Length; // ReadToClose answers as HTTP/1.0 and closes
    std::optional<std::string> raw;    // sent verbatim in place of all the above, then closed
    int delayMs = 0;                   // wait before answering
    int trickleMs = 0;                 // send the body one byte at a time, this far apart
    bool silent = false;               // never answer; hold the connection until the peer goes
    bool dropConnection = false;       // close without any answer
    bool close = false;                // close after answering

    static WebResponse Ok(std::string body, std::string contentType = "text/html");
    static WebResponse Status(int status, std::string body = "");
    static WebResponse Raw(std::string bytes);
    WebResponse& Header(std::string name, std::string value);
};

using WebHandler = std::function<WebResponse(const WebRequest&)>;

enum class WebAuth { None, Basic, Digest };

class FakeWebServer {
public:
    FakeWebServer();
    ~FakeWebServer();
    FakeWebServer(const FakeWebServer&) = delete;
    FakeWebServer& operator=(const FakeWebServer&) = delete;

    // Listens on 127.0.0.1 (or the given address) at an ephemeral port, or at the given one.
    // Throws on failure.
    void Start(const std::string& address = "127.0.0.1", int port = 0);
    void Stop();
    int Port() const { return m_port; }
    const std::string& Address() const { return m_address; }

    // Method "*" matches any method. A route for path and query wins over one for the path.
    // Unknown routes answer 404.
    void Route(const std::string& method, const std::string& path, WebHandler handler);
    void Route(const std::string& method, const std::string& path, WebResponse fixed);
    // Guards a path ("*" for every path) with HTTP authentication.
    void RequireAuth(const std::string& path, WebAuth scheme, std::string user, std::string password,
                     std::string realm = "Fake Modem");
    // Large uploads: record sizes only.
    void KeepBodies(bool keep) { m_keepBodies = keep; }

    std::vector<WebRequest> Requests() const;
    size_t RequestCount() const;
    void ClearRequests();
    // Waits until at least n requests were recorded; false on time-out.
    bool WaitForRequests(size_t n, int timeoutMs) const;

    // The nonce of the Digest challenge (tests that forge answers need it).
    const std::string& DigestNonce() const { return m_nonce; }

private:
    struct Guard {
        WebAuth scheme;
        std::string user, password, realm;
    };

    void AcceptLoop();
    void Serve(int fd, int id);
    // Waits for the socket or the stop signal; false when stopping or on time-out.
    bool WaitReadable(int fd, int timeoutMs) const;
    bool SleepUnlessStopped(int ms) const;
    std::optional<WebResponse> Challenge(const WebRequest& request) const;
    WebResponse Dispatch(const WebRequest& request) const;
    void Record(WebRequest request);

    std::string m_address;
    int m_port = 0;
    platform::UniqueFd m_listen;
    platform::UniqueFd m_stopFd; // eventfd: readable once Stop began
    std::atomic<bool> m_keepBodies{true};
    std::string m_nonce;
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_recorded;
    std::map<std::pair<std::string, std::string>, WebHandler> m_routes;
    std::map<std::string, Guard> m_guards;
    std::vector<WebRequest> m_requests;
    std::vector<std::thread> m_connections;
    int m_nextConnection = 1;
};

// Helpers shared with tests that check authentication by hand.
std::string Md5Hex(const std::string& data);
std::string Base64(const std::string& data);

} // namespace bench
