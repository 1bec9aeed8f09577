#pragma once
// One HTTP connection to one web server (a modem), over libcurl: one easy handle, so the TCP
// connection is reused between requests, with its own in-memory cookie jar and credentials.
// Requests carry exactly the headers the caller gives: libcurl's own defaults are taken out,
// and Host and Content-Length are always the real ones.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Calls curl_global_init once per program; every connection does it on construction.
void EnsureCurlGlobalInit();

struct HttpTimeouts {
    long connectMs = 10000;
    // A page aborts when less than one byte per second arrives for this long.
    long stallSeconds = 30;
    // An upload's answer may take minutes while the modem writes its flash.
    long uploadAnswerSeconds = 300;
    // A longer answer body is refused: a modem's pages are small, and one that never ends
    // must not take the memory every job shares.
    size_t maxBodyBytes = 16u << 20;
};

// A request body produced piece by piece, so a large file is never held whole.
class HttpBodySource {
public:
    virtual ~HttpBodySource() = default;
    virtual uint64_t Size() const = 0;
    // Fills up to 'capacity' bytes; 0 at the end; -1 on a read error.
    virtual long Read(char* buffer, size_t capacity) = 0;
    // Back to the first byte (an authentication retry sends the body again).
    virtual bool Rewind() = 0;
};

struct HttpRequest {
    std::string method = "GET"; // "GET" or "POST"
    std::string target;         // path and query, sent as given but for blanks, control bytes
                                // and bytes above 0x7F, which go as %XX
    // Header lines "Name: value" (CRLF or LF separated, or one per entry); each name once.
    std::vector<std::string> headers;
    std::string body;                     // used when bodySource is null
    HttpBodySource* bodySource = nullptr; // not owned
    bool upload = false;                  // wait for the answer with the upload limit
};

struct HttpResponse {
    bool answered = false;   // a status line arrived
    unsigned statusCode = 0; // 0 when nothing answered
    std::string rawHeaders;  // status line and headers of the final response, CRLF ended
    std::string body;
    std::string error; // libcurl's message when the transfer failed
};

class HttpConnection {
public:
    // user and password empty: no credentials. keepProxy: use the proxy of the environment.
    HttpConnection(std::string host, int port, std::string user, std::string password,
                   bool keepProxy = false);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    const std::string& Host() const { return m_host; }
    int Port() const { return m_port; }
    void SetTimeouts(const HttpTimeouts& timeouts) { m_timeouts = timeouts; }
    const HttpTimeouts& Timeouts() const { return m_timeouts; }

    // Sends one request and waits for the whole answer. Never throws.
    HttpResponse Send(const HttpRequest& request);

    // Splits a header text into trimmed "Name: value" lines, dropping blank or nameless lines.
    static std::vector<std::string> SplitHeaderLines(const std::string& text);

private:
    struct CurlDeleter {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, CurlDeleter> m_curl;
    std::string m_host;
    int m_port;
    std::string m_user;
    std::string m_password;
    bool m_keepProxy;
    HttpTimeouts m_timeouts;
};

} // namespace platform
