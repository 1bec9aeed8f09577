#include "stavrintool/capture/CaptureProxy.h"

#include "platform/files/UniqueFd.h"
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
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

using platform::HttpMessage;
using platform::HttpMessageReader;
using Result = HttpMessageReader::Result;

constexpr auto kConnectTimeout = std::chrono::seconds(10);
// A modem writing its flash may keep an upload's answer for minutes.
constexpr int kAnswerTimeoutMs = 300000;
// Answers larger than this are relayed but not kept: the locator wants pages, not firmware.
constexpr size_t kMaxKeptBody = 16u << 20;

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
        std::atomic<bool> done{false};
    };

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
    std::map<std::string, std::string> kept;

    // Waits for the socket (or the stop signal, or the time-out): its readiness, or false.
    bool WaitReadable(int fd, int timeoutMs) const {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stop.Get(), POLLIN, 0}};
        for (;;) {
            int n = ::poll(fds, 2, timeoutMs);
            if (n < 0 && errno == EINTR)
                continue;
            return n > 0 && !(fds[1].revents & POLLIN) && fds[0].revents;
        }
    }

    // An error answer to the browser; none once stopping, when the error is the stop itself.
    void Refuse(int browser, const std::string& answer) const {
        pollfd p{stop.Get(), POLLIN, 0};
        if (::poll(&p, 1, 0) == 0)
            platform::SendAll(browser, answer);
    }

    HttpMessageReader::Source SourceOf(int fd, int timeoutMs) const {
        return [this, fd, timeoutMs](char* buffer, size_t size) -> ssize_t {
            if (!WaitReadable(fd, timeoutMs))
                return -1;
            ssize_t n;
            do
                n = ::recv(fd, buffer, size, 0);
            while (n < 0 && errno == EINTR);
            return n;
        };
    }

    void AcceptLoop();
    void Serve(int fd);
    // One request and its answer; false when the browser connection is to close.
    bool Relay(int browser, HttpMessage& request, const Target& target);
    void Tunnel(int browser, const HttpMessage& request, HttpMessageReader& reader);
    // Takes the request when it is the armed one: the mode it was armed with.
    std::optional<Mode> TakeIfArmed(const HttpMessage& request, const Target& target);
};

CaptureProxy& CaptureProxy::Instance() {
    static CaptureProxy proxy;
    static std::once_flag started;
    std::call_once(started, [] { proxy.Start(); });
    return proxy;
}

CaptureProxy::CaptureProxy() : m_impl(std::make_unique<Impl>()) {}

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
    // No connection thread starts once the accept loop has ended; each one sees the stop.
    std::list<Impl::Connection> connections;
    {
        std::lock_guard lock(d.mutex);
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
    auto it = m_impl->kept.find(NormalUrl(url));
    if (it == m_impl->kept.end())
        return std::nullopt;
    return it->second;
}

void CaptureProxy::Impl::AcceptLoop() {
    for (;;) {
        if (!WaitReadable(listen.Get(), -1))
            return;
        int fd = ::accept4(listen.Get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(mutex);
        // Finished connections are joined here, so a long session does not pile them up.
        for (auto it = connections.begin(); it != connections.end();) {
            if (it->done) {
                it->thread.join();
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
        Connection& c = connections.emplace_back();
        c.thread = std::thread([this, fd, &c] {
            Serve(fd);
            c.done = true;
        });
    }
}

void CaptureProxy::Impl::Serve(int rawFd) {
    platform::UniqueFd browser(rawFd);
    HttpMessageReader reader(SourceOf(browser.Get(), -1));
    for (;;) {
        HttpMessage request;
        Result result = reader.ReadRequestHead(request);
        if (result == Result::Closed)
            return;
        if (result == Result::Error) {
            Refuse(browser.Get(), SimpleAnswer(400, "Bad Request", reader.Error()));
            return;
        }
        if (request.method == "CONNECT") {
            Tunnel(browser.Get(), request, reader);
            return;
        }
        Target target;
        if (!ParseTarget(request, target)) {
            Refuse(browser.Get(),
                   SimpleAnswer(400, "Bad Request", "not an http:// request: " + request.target));
            return;
        }
        if (platform::AsciiLower(request.Header("Expect")) == "100-continue" &&
            !platform::SendAll(browser.Get(), "HTTP/1.1 100 Continue\r\n\r\n"))
            return;
        if (reader.ReadRequestBody(request) != Result::Message) {
            Refuse(browser.Get(), SimpleAnswer(400, "Bad Request", reader.Error()));
            return;
        }
        if (!Relay(browser.Get(), request, target))
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

bool CaptureProxy::Impl::Relay(int browser, HttpMessage& request, const Target& target) {
    std::string browserConnection =
        platform::AsciiLower(request.Header("Connection") + "," + request.Header("Proxy-Connection"));
    bool keepBrowser = request.version == "HTTP/1.1"
                           ? browserConnection.find("close") == std::string::npos
                           : browserConnection.find("keep-alive") != std::string::npos;
    std::string keepAlive = keepBrowser ? "" : "Connection: close\r\n";

    if (TakeIfArmed(request, target) == Mode::Block)
        return platform::SendAll(
                   browser, "HTTP/1.1 204 No Content\r\nCache-Control: no-store\r\nContent-Length: 0\r\n" +
                                keepAlive + "\r\n") &&
               keepBrowser;

    std::string tokens =
        platform::AsciiLower(request.Header("Connection") + "," + request.Header("Proxy-Connection"));
    std::string out = request.method + " " + target.pathAndQuery + " HTTP/1.1\r\n";
    bool hasHost = false;
    for (const auto& [name, value] : request.headers) {
        std::string key = platform::AsciiLower(name);
        if (IsHopByHop(key, tokens) || key == "accept-encoding" || key == "content-length" || key == "expect")
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
    // One server connection per request: an answer read to the close then needs no care.
    out += "Connection: close\r\n\r\n";

    std::string where = target.host + ":" + std::to_string(target.port);
    uint32_t address = 0;
    if (!ResolveIpv4(target.host, address)) {
        Refuse(browser, SimpleAnswer(502, "Bad Gateway", "cannot resolve " + target.host));
        return false;
    }
    platform::TcpConnectResult connected = platform::TcpConnect(address, target.port, kConnectTimeout);
    if (!connected.Connected()) {
        Refuse(browser, SimpleAnswer(502, "Bad Gateway",
                                     "cannot reach " + where + ": " + std::strerror(connected.error)));
        return false;
    }
    int server = connected.socket.Get();
    if (!platform::SendAll(server, out) || !platform::SendAll(server, request.body)) {
        Refuse(browser, SimpleAnswer(502, "Bad Gateway", "connection to " + where + " lost while sending"));
        return false;
    }

    HttpMessageReader reader(SourceOf(server, kAnswerTimeoutMs));
    HttpMessage answer;
    Result result;
    do
        result = reader.ReadResponseHead(answer);
    while (result == Result::Message && answer.status >= 100 && answer.status < 200);
    bool noBody = request.method == "HEAD" || answer.status == 204 || answer.status == 304;
    if (result == Result::Message)
        result = reader.ReadResponseBody(answer, noBody);
    if (result != Result::Message) {
        std::string why = result == Result::Closed ? "no answer" : reader.Error();
        Refuse(browser, SimpleAnswer(502, "Bad Gateway", "bad answer from " + where + ": " + why));
        return false;
    }

    std::string answerTokens = platform::AsciiLower(answer.Header("Connection"));
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + answer.reason + "\r\n";
    for (const auto& [name, value] : answer.headers) {
        std::string key = platform::AsciiLower(name);
        if (IsHopByHop(key, answerTokens) || key == "cache-control" || (key == "content-length" && !noBody))
            continue;
        head += name + ": " + value + "\r\n";
    }
    head += "Cache-Control: no-store\r\n";
    if (!noBody)
        head += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
    head += keepAlive + "\r\n";

    {
        std::lock_guard lock(mutex);
        if (answer.body.size() <= kMaxKeptBody && !noBody)
            kept[target.url] = answer.body;
        else
            kept.erase(target.url);
    }
    return platform::SendAll(browser, head) && platform::SendAll(browser, answer.body) && keepBrowser;
}

void CaptureProxy::Impl::Tunnel(int browser, const HttpMessage& request, HttpMessageReader& reader) {
    std::string host;
    uint16_t port = 0;
    uint32_t address = 0;
    if (!ParseHostPort(request.target, 443, host, port) || !ResolveIpv4(host, address)) {
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
    int server = connected.socket.Get();
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
