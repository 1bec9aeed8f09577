#include "stavrintool/capture/CaptureProxy.h"

#include "platform/files/UniqueFd.h"
#include "platform/http/ContentDecoder.h"
#include "platform/http/HttpMessageReader.h"
#include "platform/net/TcpConnect.h"
#include "stavrintool/capture/RequestCapture.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

using platform::HttpMessage;
using platform::HttpMessageReader;
using Result = HttpMessageReader::Result;

using Framing = HttpMessageReader::Framing;
using Clock = std::chrono::steady_clock;

constexpr auto kConnectTimeout = std::chrono::seconds(10);
// Waits between accepts while the process is out of descriptors (or memory), doubling.
constexpr int kFirstBackoffMs = 50;
constexpr int kLastBackoffMs = 1000;
// What a kept page costs besides its bytes, so that many empty pages are bounded too.
constexpr size_t kKeptOverhead = 256;

// Where a request goes, from an absolute target (or an origin-form one and its Host).
struct Target {
    std::string host;
    uint16_t port = 80;
    std::string pathAndQuery; // as sent, "/" when empty
    std::string url;          // "http://host[:port]/path?query", the key of arming and kept answers
};

bool ParseHostPort(const std::string& authority, uint16_t defaultPort, std::string& host, uint16_t& port) {
    std::string text =
        authority.substr(authority.rfind('@') == std::string::npos ? 0 : authority.rfind('@') + 1);
    port = defaultPort;
    size_t colon = text.rfind(':');
    if (colon != std::string::npos && text.find(']') == std::string::npos) {
        std::string digits = text.substr(colon + 1);
        if (digits.empty() || digits.size() > 5 ||
            !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
            return false;
        long value = std::stol(digits);
        if (value <= 0 || value > 65535)
            return false;
        port = static_cast<uint16_t>(value);
        text = text.substr(0, colon);
    }
    host = platform::AsciiLower(text);
    return !host.empty();
}

// The form both the browser's URLs and the request targets are compared in: no fragment,
// scheme and host in lower case, the default port left out, "/" for an empty path.
std::string NormalUrl(const std::string& url) {
    std::string rest = url.substr(0, url.find('#'));
    size_t scheme = rest.find("://");
    if (scheme == std::string::npos)
        return rest;
    size_t pathAt = rest.find_first_of("/?", scheme + 3);
    std::string authority =
        rest.substr(scheme + 3, pathAt == std::string::npos ? pathAt : pathAt - scheme - 3);
    std::string tail = pathAt == std::string::npos ? "/" : rest.substr(pathAt);
    if (tail[0] == '?')
        tail = "/" + tail;
    std::string schemeName = platform::AsciiLower(rest.substr(0, scheme));
    std::string host;
    uint16_t port = 0;
    uint16_t defaultPort = schemeName == "https" ? 443 : 80;
    if (!ParseHostPort(authority, defaultPort, host, port))
        return rest;
    return schemeName + "://" + host + (port == defaultPort ? "" : ":" + std::to_string(port)) + tail;
}

bool ParseTarget(const HttpMessage& request, Target& target) {
    std::string authority;
    const std::string& t = request.target;
    if (platform::AsciiLower(t.substr(0, 7)) == "http://") {
        size_t pathAt = t.find_first_of("/?", 7);
        authority = t.substr(7, pathAt == std::string::npos ? pathAt : pathAt - 7);
        target.pathAndQuery = pathAt == std::string::npos ? "/" : t.substr(pathAt);
    } else if (!t.empty() && t[0] == '/') {
        authority = request.Header("Host");
        target.pathAndQuery = t;
    } else {
        return false;
    }
    if (target.pathAndQuery[0] == '?')
        target.pathAndQuery = "/" + target.pathAndQuery;
    if (!ParseHostPort(authority, 80, target.host, target.port))
        return false;
    target.url = NormalUrl("http://" + authority + target.pathAndQuery);
    return true;
}

bool IsHopByHop(const std::string& lowerName, const std::string& connectionTokens) {
    static const char* const kHop[] = {"connection",
                                       "keep-alive",
                                       "proxy-connection",
                                       "proxy-authorization",
                                       "proxy-authenticate",
                                       "te",
                                       "trailer",
                                       "transfer-encoding",
                                       "upgrade"};
    for (const char* hop : kHop)
        if (lowerName == hop)
            return true;
    // Headers the Connection header names are this hop's too.
    size_t at = 0;
    while (at <= connectionTokens.size()) {
        size_t comma = connectionTokens.find(',', at);
        std::string token = connectionTokens.substr(at, comma == std::string::npos ? comma : comma - at);
        token.erase(0, token.find_first_not_of(" \t"));
        token.erase(token.find_last_not_of(" \t") + 1);
        if (!token.empty() && token == lowerName)
            return true;
        if (comma == std::string::npos)
            break;
        at = comma + 1;
    }
    return false;
}

std::string SimpleAnswer(int status, const std::string& reason, const std::string& text) {
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nCache-Control: no-store\r\nContent-Length: " +
           std::to_string(text.size()) + "\r\nConnection: close\r\n\r\n" + text;
}

// Answers the locator never reads as a page.
bool IsPageLike(const std::string& contentType) {
    std::string type = platform::AsciiLower(platform::TrimBlanks(contentType));
    for (const char* media : {"image/", "audio/", "video/", "font/", "application/octet-stream"})
        if (type.rfind(media, 0) == 0)
            return false;
    return true;
}

int MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

// For a refusal from the accept loop, which must not wait on a browser.
void SendNow(int fd, const std::string& bytes) {
    (void)!::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void SetSendTimeout(int fd, std::chrono::milliseconds timeout) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>(timeout.count() % 1000 * 1000);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool ResolveIpv4(const std::string& host, uint32_t& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, host.c_str(), &parsed) == 1) {
        address = parsed.s_addr;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return true;
}

} // namespace

struct CaptureProxy::Impl {
    struct Connection {
        std::thread thread;
        // Closed by its own thread under the mutex, so that others may shut it down meanwhile.
        platform::UniqueFd browser;
        int server = -1; // the open connection to the server, under the mutex; not owned
        std::atomic<bool> waitingForHead{false};
        std::atomic<bool> done{false};
    };
    struct KeptPage {
        std::string url;
        std::string body;
    };

    explicit Impl(const Limits& l) : limits(l) {}

    const Limits limits;
    platform::UniqueFd listen;
    platform::UniqueFd stop; // eventfd: readable once Stop began
    int port = 0;
    std::thread acceptThread;

    std::mutex mutex;
    std::list<Connection> connections;
    bool armed = false;
    std::string armedUrl;
    Mode armedMode = Mode::Forward;
    std::function<void(const CapturedRequest&)> captured;
    std::list<KeptPage> kept; // oldest first
    std::map<std::string, std::list<KeptPage>::iterator> keptByUrl;
    size_t keptBytes = 0;

    bool Stopping() const {
        pollfd p{stop.Get(), POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }

    // Waits for the socket (or the stop signal, or the time-out): its readiness, or false;
    // 'timedOut' tells the time-out apart.
    bool WaitReadable(int fd, int timeoutMs, bool* timedOut = nullptr) const {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stop.Get(), POLLIN, 0}};
        for (;;) {
            int n = ::poll(fds, 2, timeoutMs);
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0 && timedOut)
                *timedOut = true;
            return n > 0 && !(fds[1].revents & POLLIN) && fds[0].revents;
        }
    }

    // An error answer to the browser; none once stopping, when the error is the stop itself.
    void Refuse(int browser, const std::string& answer) const {
        if (!Stopping())
            platform::SendAll(browser, answer);
    }

    static ssize_t Receive(int fd, char* buffer, size_t size) {
        ssize_t n;
        do
            n = ::recv(fd, buffer, size, 0);
        while (n < 0 && errno == EINTR);
        return n;
    }

    // A loop: the browser asking the proxy to connect to the proxy.
    bool IsOwnAddress(uint32_t address, uint16_t targetPort) const {
        return targetPort == port && (address == htonl(INADDR_LOOPBACK) || address == htonl(INADDR_ANY));
    }

    void AcceptLoop();
    void Admit(platform::UniqueFd browser);
    // Shuts down the connections that wait for a browser's request head.
    void CloseWaitingConnections();
    void Serve(Connection& c);
    // One request and its answer; false when the browser connection is to close.
    bool Relay(Connection& c, HttpMessage& request, const Target& target, uint32_t address);
    void Tunnel(Connection& c, const HttpMessage& request, HttpMessageReader& reader);
    // Takes the request when it is the armed one: the mode it was armed with.
    std::optional<Mode> TakeIfArmed(const HttpMessage& request, const Target& target);
    // Keeps the answer for the locator (its coding undone), or forgets the URL's last one.
    void Keep(const std::string& url, std::optional<std::string> body, const std::string& coding);
};

// The connection to the server, known to Stop while it is open.
class ServerLink {
public:
    ServerLink(std::mutex& mutex, int& slot, platform::UniqueFd socket)
        : m_mutex(mutex), m_slot(slot), m_socket(std::move(socket)) {
        std::lock_guard lock(m_mutex);
        m_slot = m_socket.Get();
    }
    ~ServerLink() {
        std::lock_guard lock(m_mutex);
        m_slot = -1;
        m_socket.Reset();
    }
    ServerLink(const ServerLink&) = delete;
    ServerLink& operator=(const ServerLink&) = delete;
    int Get() const { return m_socket.Get(); }

private:
    std::mutex& m_mutex;
    int& m_slot;
    platform::UniqueFd m_socket;
};

CaptureProxy& CaptureProxy::Instance() {
    static CaptureProxy proxy;
    static std::once_flag started;
    std::call_once(started, [] { proxy.Start(); });
    return proxy;
}

CaptureProxy::CaptureProxy() : CaptureProxy(Limits()) {}

CaptureProxy::CaptureProxy(const Limits& limits) : m_impl(std::make_unique<Impl>(limits)) {}

CaptureProxy::~CaptureProxy() {
    Stop();
}

void CaptureProxy::Start() {
    Impl& d = *m_impl;
    if (d.acceptThread.joinable())
        return;
    platform::UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener)
        throw std::runtime_error(std::string("capture proxy: socket: ") + std::strerror(errno));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(listener.Get(), 64) != 0)
        throw std::runtime_error(std::string("capture proxy: cannot listen on 127.0.0.1: ") +
                                 std::strerror(errno));
    socklen_t len = sizeof sa;
    ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&sa), &len);
    platform::UniqueFd stop(::eventfd(0, EFD_CLOEXEC));
    if (!stop)
        throw std::runtime_error("capture proxy: eventfd failed");
    d.port = ntohs(sa.sin_port);
    d.listen = std::move(listener);
    d.stop = std::move(stop);
    d.acceptThread = std::thread([&d] { d.AcceptLoop(); });
}

void CaptureProxy::Stop() {
    Impl& d = *m_impl;
    if (!d.acceptThread.joinable())
        return;
    uint64_t one = 1;
    (void)!::write(d.stop.Get(), &one, sizeof one);
    d.acceptThread.join();
    // No connection thread starts once the accept loop has ended; each one sees the stop, and
    // one blocked sending learns it from the shutdown.
    std::list<Impl::Connection> connections;
    {
        std::lock_guard lock(d.mutex);
        for (auto& c : d.connections) {
            if (c.browser)
                ::shutdown(c.browser.Get(), SHUT_RDWR);
            if (c.server >= 0)
                ::shutdown(c.server, SHUT_RDWR);
        }
        connections.swap(d.connections);
    }
    for (auto& c : connections)
        c.thread.join();
    d.listen.Reset();
    d.stop.Reset();
    d.port = 0;
}

int CaptureProxy::Port() const {
    return m_impl->port;
}

std::string CaptureProxy::Url() const {
    return "http://127.0.0.1:" + std::to_string(m_impl->port);
}

void CaptureProxy::Arm(const std::string& url, Mode mode,
                       std::function<void(const CapturedRequest&)> captured) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->armed = true;
    m_impl->armedUrl = NormalUrl(url);
    m_impl->armedMode = mode;
    m_impl->captured = std::move(captured);
}

void CaptureProxy::Disarm() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->armed = false;
    m_impl->captured = nullptr;
}

bool CaptureProxy::IsArmed() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->armed;
}

std::optional<std::string> CaptureProxy::KeptAnswer(const std::string& url) const {
    std::lock_guard lock(m_impl->mutex);
    auto it = m_impl->keptByUrl.find(NormalUrl(url));
    if (it == m_impl->keptByUrl.end())
        return std::nullopt;
    return it->second->body;
}

void CaptureProxy::Impl::AcceptLoop() {
    int backoffMs = 0;
    for (;;) {
        if (backoffMs > 0) {
            pollfd p{stop.Get(), POLLIN, 0};
            if (::poll(&p, 1, backoffMs) > 0)
                return;
        }
        if (!WaitReadable(listen.Get(), -1))
            return;
        int fd = ::accept4(listen.Get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors or memory: retrying at once would spin. Room is made by the
            // connections that only wait for a browser, and the next try waits.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                CloseWaitingConnections();
                backoffMs = backoffMs == 0 ? kFirstBackoffMs : std::min(2 * backoffMs, kLastBackoffMs);
            }
            continue;
        }
        backoffMs = 0;
        Admit(platform::UniqueFd(fd));
    }
}

void CaptureProxy::Impl::Admit(platform::UniqueFd browser) {
    SetSendTimeout(browser.Get(), limits.headTimeout);
    std::lock_guard lock(mutex);
    // Finished connections are joined here, so a long session does not pile them up.
    size_t open = 0;
    for (auto it = connections.begin(); it != connections.end();) {
        if (it->done) {
            it->thread.join();
            it = connections.erase(it);
        } else {
            ++open;
            ++it;
        }
    }
    if (open >= limits.maxConnections) {
        SendNow(browser.Get(), SimpleAnswer(503, "Service Unavailable", "too many connections"));
        return;
    }
    Connection& c = connections.emplace_back();
    c.browser = std::move(browser);
    try {
        c.thread = std::thread([this, &c] {
            Serve(c);
            {
                std::lock_guard closing(mutex);
                c.browser.Reset();
            }
            c.done = true;
        });
    } catch (const std::system_error&) {
        // No thread to be had (a process or cgroup limit): this browser is refused, the others
        // go on.
        SendNow(c.browser.Get(), SimpleAnswer(503, "Service Unavailable", "no thread for the connection"));
        connections.pop_back();
    }
}

void CaptureProxy::Impl::CloseWaitingConnections() {
    std::lock_guard lock(mutex);
    for (auto& c : connections)
        if (!c.done && c.waitingForHead && c.browser)
            ::shutdown(c.browser.Get(), SHUT_RDWR);
}

void CaptureProxy::Impl::Serve(Connection& c) {
    const int browser = c.browser.Get();
    const int pauseMs = static_cast<int>(limits.headTimeout.count());
    // A whole head within one time-out; inside a body, each pause within one.
    bool inHead = false;
    bool timedOut = false;
    Clock::time_point headDeadline;
    HttpMessageReader reader([&](char* buffer, size_t size) -> ssize_t {
        c.waitingForHead = inHead;
        bool ready = WaitReadable(browser, inHead ? MillisecondsUntil(headDeadline) : pauseMs, &timedOut);
        c.waitingForHead = false;
        return ready ? Receive(browser, buffer, size) : -1;
    });
    auto refuseRead = [&](const std::string& error) {
        Refuse(browser, timedOut ? SimpleAnswer(408, "Request Timeout", "the request came too slowly")
                                 : SimpleAnswer(400, "Bad Request", error));
    };
    for (;;) {
        HttpMessage request;
        inHead = true;
        timedOut = false;
        headDeadline = Clock::now() + limits.headTimeout;
        Result result = reader.ReadRequestHead(request);
        inHead = false;
        if (result == Result::Closed)
            return;
        if (result == Result::Error) {
            refuseRead(reader.Error());
            return;
        }
        if (request.method == "CONNECT") {
            Tunnel(c, request, reader);
            return;
        }
        Target target;
        if (!ParseTarget(request, target)) {
            Refuse(browser, SimpleAnswer(400, "Bad Request", "not an http:// request: " + request.target));
            return;
        }
        uint32_t address = 0;
        if (!ResolveIpv4(target.host, address)) {
            Refuse(browser, SimpleAnswer(502, "Bad Gateway", "cannot resolve " + target.host));
            return;
        }
        if (IsOwnAddress(address, target.port)) {
            Refuse(browser, SimpleAnswer(400, "Bad Request", "a request for the proxy itself"));
            return;
        }
        if (platform::AsciiLower(request.Header("Expect")) == "100-continue" &&
            !platform::SendAll(browser, "HTTP/1.1 100 Continue\r\n\r\n"))
            return;
        if (reader.ReadRequestBody(request) != Result::Message) {
            refuseRead(reader.Error());
            return;
        }
        if (!Relay(c, request, target, address))
            return;
    }
}

std::optional<CaptureProxy::Mode> CaptureProxy::Impl::TakeIfArmed(const HttpMessage& request,
                                                                  const Target& target) {
    std::function<void(const CapturedRequest&)> callback;
    Mode mode = Mode::Forward;
    {
        std::lock_guard lock(mutex);
        if (!armed || armedUrl != target.url)
            return std::nullopt;
        armed = false;
        mode = armedMode;
        callback = std::move(captured);
        captured = nullptr;
    }
    CapturedRequest taken;
    taken.action = capture::ActionFromUrl(target.pathAndQuery);
    taken.headers = capture::KeptHeaders(request.headers);
    taken.postData = CString(request.body);
    taken.isPost = request.HasHeader("Content-Length") || request.HasHeader("Transfer-Encoding");
    if (callback)
        callback(taken);
    return mode;
}

bool CaptureProxy::Impl::Relay(Connection& c, HttpMessage& request, const Target& target, uint32_t address) {
    const int browser = c.browser.Get();
    std::string browserConnection =
        platform::AsciiLower(request.Header("Connection") + "," + request.Header("Proxy-Connection"));
    bool keepBrowser = request.version == "HTTP/1.1"
                           ? browserConnection.find("close") == std::string::npos
                           : browserConnection.find("keep-alive") != std::string::npos;

    if (TakeIfArmed(request, target) == Mode::Block)
        return platform::SendAll(browser,
                                 "HTTP/1.1 204 No Content\r\nCache-Control: no-store\r\nContent-Length: "
                                 "0\r\n" +
                                     std::string(keepBrowser ? "" : "Connection: close\r\n") + "\r\n") &&
               keepBrowser;

    std::string out = request.method + " " + target.pathAndQuery + " HTTP/1.1\r\n";
    bool hasHost = false;
    for (const auto& [name, value] : request.headers) {
        std::string key = platform::AsciiLower(name);
        if (IsHopByHop(key, browserConnection) || key == "accept-encoding" || key == "content-length" ||
            key == "expect")
            continue;
        hasHost = hasHost || key == "host";
        out += name + ": " + value + "\r\n";
    }
    if (!hasHost)
        out.insert(out.find("\r\n") + 2, "Host: " + target.host +
                                             (target.port == 80 ? "" : ":" + std::to_string(target.port)) +
                                             "\r\n");
    bool framed = request.HasHeader("Content-Length") || request.HasHeader("Transfer-Encoding");
    if (framed || !request.body.empty())
        out += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
    // The locator reads the pages as text.
    out += "Accept-Encoding: identity\r\n";
    // One server connection per request: an answer read to the close then needs no care.
    out += "Connection: close\r\n\r\n";

    std::string where = target.host + ":" + std::to_string(target.port);
    platform::TcpConnectResult connected = platform::TcpConnect(address, target.port, kConnectTimeout);
    if (!connected.Connected()) {
        Refuse(browser, SimpleAnswer(502, "Bad Gateway",
                                     "cannot reach " + where + ": " + std::strerror(connected.error)));
        return false;
    }
    ServerLink server(mutex, c.server, std::move(connected.socket));
    SetSendTimeout(server.Get(), limits.answerTimeout);
    if (!platform::SendAll(server.Get(), out) || !platform::SendAll(server.Get(), request.body)) {
        Refuse(browser, SimpleAnswer(502, "Bad Gateway", "connection to " + where + " lost while sending"));
        return false;
    }

    // The answer is streamed, never held whole, so its reader has no size limit. Waiting for
    // it ends when the browser closes: nobody would read it. (A browser never half-closes.)
    bool browserGone = false;
    platform::HttpReaderLimits unbounded;
    unbounded.maxBodyBytes = UINT64_MAX;
    const int answerMs = static_cast<int>(limits.answerTimeout.count());
    HttpMessageReader reader(
        [&](char* buffer, size_t size) -> ssize_t {
            pollfd fds[3] = {{server.Get(), POLLIN, 0}, {browser, POLLRDHUP, 0}, {stop.Get(), POLLIN, 0}};
            int n;
            do
                n = ::poll(fds, 3, answerMs);
            while (n < 0 && errno == EINTR);
            if (n <= 0 || fds[2].revents)
                return -1;
            if (fds[1].revents) {
                browserGone = true;
                return -1;
            }
            return Receive(server.Get(), buffer, size);
        },
        unbounded);
    HttpMessage answer;
    Result result;
    do
        result = reader.ReadResponseHead(answer);
    while (result == Result::Message && answer.status >= 100 && answer.status < 200);
    bool noBody = request.method == "HEAD" || answer.status == 204 || answer.status == 304;
    Framing framing = Framing::None;
    uint64_t length = 0;
    if (result == Result::Message && !reader.BodyFraming(answer, false, noBody, framing, length))
        result = Result::Error;
    if (result != Result::Message) {
        std::string why = result == Result::Closed ? "no answer" : reader.Error();
        if (!browserGone)
            Refuse(browser, SimpleAnswer(502, "Bad Gateway", "bad answer from " + where + ": " + why));
        return false;
    }

    // A body of unknown length goes on chunked, or to an HTTP/1.0 browser up to the close.
    const bool unknownLength = framing == Framing::Chunked || framing == Framing::ToClose;
    const bool chunkedOut = unknownLength && request.version == "HTTP/1.1";
    keepBrowser = keepBrowser && (!unknownLength || chunkedOut);
    std::string answerTokens = platform::AsciiLower(answer.Header("Connection"));
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + answer.reason + "\r\n";
    for (const auto& [name, value] : answer.headers) {
        std::string key = platform::AsciiLower(name);
        if (IsHopByHop(key, answerTokens) || key == "cache-control" || (key == "content-length" && !noBody))
            continue;
        head += name + ": " + value + "\r\n";
    }
    head += "Cache-Control: no-store\r\n";
    if (framing == Framing::Length)
        head += "Content-Length: " + std::to_string(length) + "\r\n";
    if (chunkedOut)
        head += "Transfer-Encoding: chunked\r\n";
    head += std::string(keepBrowser ? "" : "Connection: close\r\n") + "\r\n";

    // A copy for the locator while the answer fits what a page may be. It is kept before the
    // browser can see the answer's end, so that a page shown is a page kept.
    bool copying = !noBody && IsPageLike(answer.Header("Content-Type")) &&
                   (framing != Framing::Length || length <= limits.maxKeptAnswer);
    std::string copy;
    if (copying && framing == Framing::Length)
        copy.reserve(static_cast<size_t>(length));
    bool keptNow = false;
    auto keepNow = [&] {
        if (!std::exchange(keptNow, true))
            Keep(target.url, copying ? std::optional<std::string>(std::move(copy)) : std::nullopt,
                 answer.Header("Content-Encoding"));
    };
    if ((noBody || (framing == Framing::Length && length == 0)))
        keepNow();
    if (!platform::SendAll(browser, head))
        return false;
    uint64_t relayed = 0;
    auto relay = [&](const char* data, size_t size) {
        if (copying && copy.size() + size > limits.maxKeptAnswer) {
            copying = false;
            std::string().swap(copy);
        } else if (copying) {
            copy.append(data, size);
        }
        relayed += size;
        if (framing == Framing::Length && relayed == length)
            keepNow();
        if (!chunkedOut)
            return platform::SendAll(browser, data, size);
        char line[24];
        int n = std::snprintf(line, sizeof line, "%zx\r\n", size);
        return platform::SendAll(browser, line, static_cast<size_t>(n)) &&
               platform::SendAll(browser, data, size) && platform::SendAll(browser, "\r\n", 2);
    };
    if (framing != Framing::None && reader.ReadResponseBody(answer, noBody, relay) != Result::Message)
        return false; // the browser sees the answer cut off
    keepNow();
    if (chunkedOut && !platform::SendAll(browser, "0\r\n\r\n"))
        return false;
    return keepBrowser;
}

void CaptureProxy::Impl::Keep(const std::string& url, std::optional<std::string> body,
                              const std::string& coding) {
    std::optional<std::string> page;
    if (body)
        page = platform::DecodeContent(coding, std::move(*body), limits.maxKeptAnswer);
    std::lock_guard lock(mutex);
    auto it = keptByUrl.find(url);
    if (it != keptByUrl.end()) {
        keptBytes -= it->second->body.size() + it->second->url.size() + kKeptOverhead;
        kept.erase(it->second);
        keptByUrl.erase(it);
    }
    if (!page || page->size() + url.size() + kKeptOverhead > limits.maxKeptTotal)
        return;
    keptBytes += page->size() + url.size() + kKeptOverhead;
    keptByUrl[url] = kept.insert(kept.end(), KeptPage{url, std::move(*page)});
    while (keptBytes > limits.maxKeptTotal) {
        const KeptPage& oldest = kept.front();
        keptBytes -= oldest.body.size() + oldest.url.size() + kKeptOverhead;
        keptByUrl.erase(oldest.url);
        kept.pop_front();
    }
}

void CaptureProxy::Impl::Tunnel(Connection& c, const HttpMessage& request, HttpMessageReader& reader) {
    const int browser = c.browser.Get();
    std::string host;
    uint16_t port = 0;
    uint32_t address = 0;
    if (!ParseHostPort(request.target, 443, host, port) || !ResolveIpv4(host, address) ||
        IsOwnAddress(address, port)) {
        Refuse(browser, SimpleAnswer(400, "Bad Request", "bad tunnel target " + request.target));
        return;
    }
    platform::TcpConnectResult connected = platform::TcpConnect(address, port, kConnectTimeout);
    if (!connected.Connected()) {
        Refuse(browser,
               SimpleAnswer(502, "Bad Gateway",
                            "cannot reach " + request.target + ": " + std::strerror(connected.error)));
        return;
    }
    ServerLink link(mutex, c.server, std::move(connected.socket));
    const int server = link.Get();
    SetSendTimeout(server, limits.answerTimeout);
    if (!platform::SendAll(browser, "HTTP/1.1 200 Connection Established\r\n\r\n") ||
        !platform::SendAll(server, reader.TakeBuffered()))
        return;
    // Bytes both ways, untouched, until either side closes or the proxy stops.
    pollfd fds[3] = {{browser, POLLIN, 0}, {server, POLLIN, 0}, {stop.Get(), POLLIN, 0}};
    char buffer[65536];
    for (;;) {
        int n = ::poll(fds, 3, -1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || fds[2].revents)
            return;
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents)
                continue;
            ssize_t got = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
            if (got <= 0 || !platform::SendAll(fds[1 - i].fd, buffer, static_cast<size_t>(got)))
                return;
        }
    }
}
