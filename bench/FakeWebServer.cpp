#include "bench/FakeWebServer.h"

#include "platform/files/UniqueFd.h"
#include "platform/http/HttpMessageReader.h"
#include "platform/net/TcpConnect.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <random>
#include <stdexcept>

namespace bench {

namespace {

const char* ReasonOf(int status) {
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// Parses the name="value", name=value list of a Digest answer.
std::map<std::string, std::string> DigestFields(const std::string& text) {
    std::map<std::string, std::string> fields;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ','))
            ++i;
        size_t eq = text.find('=', i);
        if (eq == std::string::npos)
            break;
        std::string name = platform::AsciiLower(platform::TrimBlanks(text.substr(i, eq - i)));
        i = eq + 1;
        std::string value;
        if (i < text.size() && text[i] == '"') {
            ++i;
            while (i < text.size() && text[i] != '"') {
                if (text[i] == '\\' && i + 1 < text.size())
                    ++i;
                value += text[i++];
            }
            ++i;
        } else {
            size_t end = text.find(',', i);
            if (end == std::string::npos)
                end = text.size();
            value = platform::TrimBlanks(text.substr(i, end - i));
            i = end;
        }
        fields[name] = value;
    }
    return fields;
}

std::string Serialize(const WebResponse& r) {
    if (r.raw)
        return *r.raw;
    bool http10 = r.framing == WebResponse::Framing::ReadToClose;
    std::string out = std::string(http10 ? "HTTP/1.0 " : "HTTP/1.1 ") + std::to_string(r.status) + " " +
                      (r.reason.empty() ? ReasonOf(r.status) : r.reason) + "\r\n";
    bool hasLength = false;
    for (const auto& [name, value] : r.headers) {
        out += name + ": " + value + "\r\n";
        hasLength = hasLength || platform::AsciiLower(name) == "content-length";
    }
    switch (r.framing) {
    case WebResponse::Framing::Length:
        if (!hasLength)
            out += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
        if (r.close)
            out += "Connection: close\r\n";
        out += "\r\n" + r.body;
        break;
    case WebResponse::Framing::Chunked: {
        out += "Transfer-Encoding: chunked\r\n\r\n";
        // Three pieces, so a reader that stops after the first chunk shows.
        size_t piece = r.body.size() / 3 + 1;
        for (size_t at = 0; at < r.body.size(); at += piece) {
            std::string chunk = r.body.substr(at, piece);
            char size[32];
            std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
            out += size + chunk + "\r\n";
        }
        out += "0\r\n\r\n";
        break;
    }
    case WebResponse::Framing::ReadToClose:
        out += "\r\n" + r.body;
        break;
    }
    return out;
}

} // namespace

std::string WebRequest::Header(const std::string& name) const {
    std::string key = platform::AsciiLower(name);
    for (const auto& [n, v] : headers)
        if (platform::AsciiLower(n) == key)
            return v;
    return "";
}

bool WebRequest::HasHeader(const std::string& name) const {
    return HeaderCount(name) > 0;
}

int WebRequest::HeaderCount(const std::string& name) const {
    std::string key = platform::AsciiLower(name);
    return static_cast<int>(std::count_if(
        headers.begin(), headers.end(), [&](const auto& h) { return platform::AsciiLower(h.first) == key; }));
}

WebResponse WebResponse::Ok(std::string body, std::string contentType) {
    WebResponse r;
    r.body = std::move(body);
    if (!contentType.empty())
        r.headers.emplace_back("Content-Type", std::move(contentType));
    return r;
}

WebResponse WebResponse::Status(int status, std::string body) {
    WebResponse r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

WebResponse WebResponse::Raw(std::string bytes) {
    WebResponse r;
    r.raw = std::move(bytes);
    return r;
}

WebResponse& WebResponse::Header(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
    return *this;
}

std::string Md5Hex(const std::string& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr);
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

std::string Base64(const std::string& data) {
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    int n =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

FakeWebServer::FakeWebServer() {
    std::random_device rd;
    char nonce[33];
    std::snprintf(nonce, sizeof nonce, "%08x%08x%08x%08x", rd(), rd(), rd(), rd());
    m_nonce = nonce;
}

FakeWebServer::~FakeWebServer() {
    Stop();
}

void FakeWebServer::Start(const std::string& address, int port) {
    if (m_acceptThread.joinable())
        return;
    m_address = address;
    platform::UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    int fd = listener.Get();
    if (fd < 0)
        throw std::runtime_error("FakeWebServer: socket failed");
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 64) != 0) {
        throw std::runtime_error("FakeWebServer: cannot listen on " + address);
    }
    socklen_t len = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    m_port = ntohs(sa.sin_port);
    platform::UniqueFd stop(::eventfd(0, EFD_CLOEXEC));
    if (!stop)
        throw std::runtime_error("FakeWebServer: eventfd failed");
    m_listen = std::move(listener);
    m_stopFd = std::move(stop);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

void FakeWebServer::Stop() {
    if (!m_acceptThread.joinable())
        return;
    uint64_t one = 1;
    (void)!::write(m_stopFd.Get(), &one, sizeof one);
    m_acceptThread.join();
    // No connection thread starts once the accept loop has ended.
    for (auto& t : m_connections)
        t.join();
    m_connections.clear();
    m_listen.Reset();
    m_stopFd.Reset();
}

void FakeWebServer::Route(const std::string& method, const std::string& path, WebHandler handler) {
    std::lock_guard lock(m_mutex);
    m_routes[{method, path}] = std::move(handler);
}

void FakeWebServer::Route(const std::string& method, const std::string& path, WebResponse fixed) {
    Route(method, path, [fixed = std::move(fixed)](const WebRequest&) { return fixed; });
}

void FakeWebServer::RequireAuth(const std::string& path, WebAuth scheme, std::string user,
                                std::string password, std::string realm) {
    std::lock_guard lock(m_mutex);
    m_guards[path] = Guard{scheme, std::move(user), std::move(password), std::move(realm)};
}

std::vector<WebRequest> FakeWebServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

size_t FakeWebServer::RequestCount() const {
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

void FakeWebServer::ClearRequests() {
    std::lock_guard lock(m_mutex);
    m_requests.clear();
}

bool FakeWebServer::WaitForRequests(size_t n, int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_recorded.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return m_requests.size() >= n; });
}

void FakeWebServer::Record(WebRequest request) {
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(std::move(request));
    }
    m_recorded.notify_all();
}

bool FakeWebServer::WaitReadable(int fd, int timeoutMs) const {
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_stopFd.Get(), POLLIN, 0}};
    for (;;) {
        int n = ::poll(fds, 2, timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        return n > 0 && !(fds[1].revents & POLLIN) && fds[0].revents;
    }
}

bool FakeWebServer::SleepUnlessStopped(int ms) const {
    pollfd stop{m_stopFd.Get(), POLLIN, 0};
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return true;
        int n = ::poll(&stop, 1, static_cast<int>(left.count()));
        if (n > 0)
            return false;
    }
}

void FakeWebServer::AcceptLoop() {
    for (;;) {
        if (!WaitReadable(m_listen.Get(), -1))
            return;
        int fd = ::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(m_mutex);
        int id = m_nextConnection++;
        m_connections.emplace_back([this, fd, id] { Serve(fd, id); });
    }
}

std::optional<WebResponse> FakeWebServer::Challenge(const WebRequest& request) const {
    Guard guard;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_guards.find(request.path);
        if (it == m_guards.end())
            it = m_guards.find("*");
        if (it == m_guards.end() || it->second.scheme == WebAuth::None)
            return std::nullopt;
        guard = it->second;
    }
    std::string answer = request.Header("Authorization");
    if (guard.scheme == WebAuth::Basic) {
        if (answer == "Basic " + Base64(guard.user + ":" + guard.password))
            return std::nullopt;
        return WebResponse::Status(401, "401 Unauthorized")
            .Header("WWW-Authenticate", "Basic realm=\"" + guard.realm + "\"");
    }
    if (answer.rfind("Digest ", 0) == 0) {
        auto f = DigestFields(answer.substr(7));
        std::string ha1 = Md5Hex(guard.user + ":" + guard.realm + ":" + guard.password);
        std::string ha2 = Md5Hex(request.method + ":" + f["uri"]);
        std::string expected = f["qop"].empty() ? Md5Hex(ha1 + ":" + m_nonce + ":" + ha2)
                                                : Md5Hex(ha1 + ":" + m_nonce + ":" + f["nc"] + ":" +
                                                         f["cnonce"] + ":" + f["qop"] + ":" + ha2);
        if (f["username"] == guard.user && f["realm"] == guard.realm && f["nonce"] == m_nonce &&
            f["uri"] == request.target && f["response"] == expected)
            return std::nullopt;
    }
    return WebResponse::Status(401, "401 Unauthorized")
        .Header("WWW-Authenticate", "Digest realm=\"" + guard.realm + "\", qop=\"auth\", nonce=\"" + m_nonce +
                                        "\", opaque=\"5ccc069c403ebaf9f0171e9517f40e41\", algorithm=MD5");
}

WebResponse FakeWebServer::Dispatch(const WebRequest& request) const {
    if (auto challenge = Challenge(request))
        return *challenge;
    WebHandler handler;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& key :
             {std::pair{request.method, request.target}, std::pair{std::string("*"), request.target},
              std::pair{request.method, request.path}, std::pair{std::string("*"), request.path}}) {
            auto it = m_routes.find(key);
            if (it != m_routes.end()) {
                handler = it->second;
                break;
            }
        }
    }
    if (!handler)
        return WebResponse::Status(404, "404 Not Found");
    return handler(request);
}

void FakeWebServer::Serve(int rawFd, int id) {
    platform::UniqueFd fd(rawFd);
    char chunk[65536];
    platform::HttpMessageReader reader([&](char* buffer, size_t size) -> ssize_t {
        if (!WaitReadable(fd.Get(), -1))
            return -1;
        return ::recv(fd.Get(), buffer, size, 0);
    });
    for (;;) {
        platform::HttpMessage message;
        auto result = reader.ReadRequestHead(message);
        if (result == platform::HttpMessageReader::Result::Closed)
            return;
        if (result == platform::HttpMessageReader::Result::Error) {
            if (!reader.Error().empty())
                platform::SendAll(fd.Get(), Serialize(WebResponse::Status(400, reader.Error())));
            return;
        }
        if (platform::AsciiLower(message.Header("Expect")) == "100-continue")
            platform::SendAll(fd.Get(), "HTTP/1.1 100 Continue\r\n\r\n");
        result = reader.ReadRequestBody(message, m_keepBodies);
        if (result != platform::HttpMessageReader::Result::Message) {
            if (message.HasHeader("Transfer-Encoding") && !message.IsChunked())
                platform::SendAll(fd.Get(), Serialize(WebResponse::Status(501, reader.Error())));
            else if (reader.Error() != "connection closed inside the body")
                platform::SendAll(fd.Get(), Serialize(WebResponse::Status(400, reader.Error())));
            return;
        }
        WebRequest request;
        request.connection = id;
        request.head = std::move(message.head);
        request.method = std::move(message.method);
        request.target = std::move(message.target);
        request.version = std::move(message.version);
        request.headers = std::move(message.headers);
        request.body = std::move(message.body);
        request.bodyLength = message.bodyLength;
        size_t q = request.target.find('?');
        request.path = request.target.substr(0, q);
        request.query = q == std::string::npos ? "" : request.target.substr(q + 1);

        bool closeAfter = platform::AsciiLower(request.Header("Connection")) == "close" ||
                          (request.version == "HTTP/1.0" &&
                           platform::AsciiLower(request.Header("Connection")) != "keep-alive");
        WebResponse response = Dispatch(request);
        Record(std::move(request));

        if (response.delayMs > 0 && !SleepUnlessStopped(response.delayMs))
            return;
        if (response.dropConnection)
            return;
        if (response.silent) {
            // Hold the connection, reading nothing more, until the peer gives up or we stop.
            while (WaitReadable(fd.Get(), -1) && ::recv(fd.Get(), chunk, sizeof chunk, 0) > 0) {
            }
            return;
        }
        if (response.trickleMs > 0) {
            // The head at once, the body byte by byte.
            std::string bytes = Serialize(response);
            size_t body = bytes.find("\r\n\r\n");
            body = body == std::string::npos ? 0 : body + 4;
            if (!platform::SendAll(fd.Get(), bytes.data(), body))
                return;
            for (size_t i = body; i < bytes.size(); ++i)
                if (!SleepUnlessStopped(response.trickleMs) || !platform::SendAll(fd.Get(), &bytes[i], 1))
                    return;
        } else if (!platform::SendAll(fd.Get(), Serialize(response))) {
            return;
        }
        if (closeAfter || response.close || response.raw ||
            response.framing == WebResponse::Framing::ReadToClose) {
            ::shutdown(fd.Get(), SHUT_WR);
            return;
        }
    }
}

} // namespace bench
