// The capturing proxy against the bench's web server, with a plain socket as the browser; and
// against hostile local clients, with what the process holds read from /proc/self.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/FakeWebServer.h"
#include "platform/files/UniqueFd.h"
#include "platform/http/HttpMessageReader.h"
#include "platform/net/TcpConnect.h"
#include "stavrintool/capture/CaptureProxy.h"
#include "tests/support/Deflate.h"

using namespace std::string_literals;
using bench::FakeWebServer;
using bench::WebRequest;
using bench::WebResponse;
using platform::HttpMessage;
using platform::HttpMessageReader;

namespace {

// A browser connection to the proxy: raw requests out, answers read as a browser would.
class Browser {
public:
    explicit Browser(int port)
        : Browser(platform::UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), port) {}
    // On a socket made beforehand (for a process out of descriptors).
    Browser(platform::UniqueFd socket, int port) : m_fd(std::move(socket)) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(m_fd.Get(), reinterpret_cast<sockaddr*>(&to), sizeof to), 0)
            << std::strerror(errno);
        m_reader = std::make_unique<HttpMessageReader>([this](char* buffer, size_t size) -> ssize_t {
            pollfd p{m_fd.Get(), POLLIN, 0};
            if (::poll(&p, 1, 20000) <= 0)
                return -1;
            return ::recv(m_fd.Get(), buffer, size, 0);
        });
    }
    bool Send(const std::string& bytes) {
        return ::send(m_fd.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // The next final answer (interim 1xx skipped); status 0 when none came.
    HttpMessage Answer(bool toHead = false, bool keepBody = true) {
        HttpMessage answer;
        do
            if (m_reader->ReadResponseHead(answer) != HttpMessageReader::Result::Message)
                return HttpMessage();
        while (answer.status < 200);
        bool noBody = toHead || answer.status == 204 || answer.status == 304;
        if (m_reader->ReadResponseBody(answer, noBody, keepBody) != HttpMessageReader::Result::Message)
            return HttpMessage();
        return answer;
    }
    // Whether bytes (or the close) wait to be read, within 'ms'.
    bool Readable(int ms) {
        pollfd p{m_fd.Get(), POLLIN, 0};
        return ::poll(&p, 1, ms) == 1;
    }
    // True when the proxy closed the connection (within the poll's time). One it had not yet
    // taken from its listening socket when it stopped is reset by the system instead.
    bool Closed() {
        char byte;
        pollfd p{m_fd.Get(), POLLIN, 0};
        if (::poll(&p, 1, 20000) != 1)
            return false;
        const ssize_t got = ::recv(m_fd.Get(), &byte, 1, 0);
        return got == 0 || (got < 0 && errno == ECONNRESET);
    }
    HttpMessageReader& Reader() { return *m_reader; }

private:
    platform::UniqueFd m_fd;
    std::unique_ptr<HttpMessageReader> m_reader;
};

class CaptureProxyTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.Start();
        proxy.Start();
        server.Route("*", "/echo", [](const WebRequest& r) { return WebResponse::Ok(r.body, "text/plain"); });
    }

    std::string Origin() const { return "http://127.0.0.1:" + std::to_string(server.Port()); }
    std::string Post(const std::string& path, const std::string& body, const std::string& extra = "") {
        return "POST " + Origin() + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
               "\r\n" + extra + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    }
    std::string Get(const std::string& path, const std::string& extra = "") {
        return "GET " + Origin() + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
               "\r\n" + extra + "\r\n";
    }

    FakeWebServer server;
    CaptureProxy proxy;
};

std::string Multipart(size_t fileBytes) {
    std::string file(fileBytes, '\0');
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<char>((i * 7919) >> 3);
    return "--XyZ\r\nContent-Disposition: form-data; name=\"filename\"; filename=\"fw.bin\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n" +
           file + "\r\n--XyZ--\r\n";
}

TEST_F(CaptureProxyTest, BodiesReachTheServerByteForByte) {
    const std::vector<std::string> bodies = {
        "user=%D6%D0%CE%C4&pass=%B0%A1x",
        std::string("a\0b\0\0c=\xD6\xD0", 9),
        Multipart(5u << 20),
    };
    Browser browser(proxy.Port());
    for (const std::string& body : bodies) {
        ASSERT_TRUE(browser.Send(Post("/echo", body, "Content-Type: application/x-www-form-urlencoded\r\n")));
        HttpMessage answer = browser.Answer();
        ASSERT_EQ(answer.status, 200);
        EXPECT_TRUE(answer.body == body) << "answer of " << body.size() << " bytes";
        EXPECT_EQ(answer.Header("Cache-Control"), "no-store");
    }
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), bodies.size());
    for (size_t i = 0; i < bodies.size(); ++i)
        EXPECT_TRUE(requests[i].body == bodies[i]) << i;
}

TEST_F(CaptureProxyTest, ChunkedRequestGoesOnWithContentLength) {
    Browser browser(proxy.Port());
    ASSERT_TRUE(browser.Send("POST " + Origin() +
                             "/echo HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
                             "5;ext=1\r\nab\0cd\r\n3\r\nefg\r\n0\r\nTrailer: x\r\n\r\n"s));
    EXPECT_EQ(browser.Answer().body, std::string("ab\0cdefg", 8));
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("Content-Length"), "8");
    EXPECT_FALSE(requests[0].HasHeader("Transfer-Encoding"));
    EXPECT_EQ(requests[0].body, std::string("ab\0cdefg", 8));
}

TEST_F(CaptureProxyTest, AnswersOfEveryFramingAreRelayedWholeAndKept) {
    const std::string page = "<html>" + std::string(100000, 'v') + std::string("\0\xB0\xA1</html>", 10);
    using Framing = WebResponse::Framing;
    // A length known from the server goes on; an unknown one goes chunked to an HTTP/1.1
    // browser and up to the close to an HTTP/1.0 one.
    struct Case {
        Framing framing;
        const char* browserVersion;
        bool length, chunked, closed;
    } cases[] = {
        {Framing::Length, "HTTP/1.1", true, false, false},
        {Framing::Chunked, "HTTP/1.1", false, true, false},
        {Framing::ReadToClose, "HTTP/1.1", false, true, false},
        {Framing::Length, "HTTP/1.0", true, false, true},
        {Framing::Chunked, "HTTP/1.0", false, false, true},
    };
    for (const Case& c : cases) {
        WebResponse answer = WebResponse::Ok(page);
        answer.framing = c.framing;
        server.Route("GET", "/page", answer);
        Browser browser(proxy.Port());
        std::string request = Get("/page?a=1");
        request.replace(request.find("HTTP/1.1"), 8, c.browserVersion);
        ASSERT_TRUE(browser.Send(request));
        HttpMessage got = browser.Answer();
        const std::string what = std::to_string(static_cast<int>(c.framing)) + " " + c.browserVersion;
        EXPECT_EQ(got.status, 200) << what;
        EXPECT_TRUE(got.body == page) << what;
        EXPECT_EQ(got.Header("Content-Length"), c.length ? std::to_string(page.size()) : "") << what;
        EXPECT_EQ(got.IsChunked(), c.chunked) << what;
        EXPECT_EQ(got.Header("Connection"), c.closed ? "close" : "") << what;
        if (c.closed) {
            EXPECT_TRUE(browser.Closed()) << what;
        }
        auto kept = proxy.KeptAnswer(Origin() + "/page?a=1#top");
        ASSERT_TRUE(kept.has_value()) << what;
        EXPECT_TRUE(*kept == page) << what;
    }
    EXPECT_FALSE(proxy.KeptAnswer(Origin() + "/page").has_value());
}

TEST_F(CaptureProxyTest, BrowserConnectionIsKeptAcrossRequests) {
    server.Route("GET", "/a", WebResponse::Ok("first"));
    server.Route("GET", "/b", WebResponse::Ok("second"));
    Browser browser(proxy.Port());
    // The second request is sent before the first answer is read.
    ASSERT_TRUE(browser.Send(Get("/a") + Get("/b", "Connection: close\r\n")));
    EXPECT_EQ(browser.Answer().body, "first");
    EXPECT_EQ(browser.Answer().body, "second");
    EXPECT_TRUE(browser.Closed());
    EXPECT_EQ(server.RequestCount(), 2u);
}

TEST_F(CaptureProxyTest, HeadersAreFilteredBothWays) {
    server.Route("GET", "/h", [](const WebRequest&) {
        return WebResponse::Ok("x")
            .Header("Cache-Control", "max-age=3600")
            .Header("Keep-Alive", "timeout=5")
            .Header("Set-Cookie", "sid=1");
    });
    Browser browser(proxy.Port());
    ASSERT_TRUE(
        browser.Send(Get("/h?q=%D6", "Connection: keep-alive, X-Hop\r\nKeep-Alive: 300\r\n"
                                     "Proxy-Connection: keep-alive\r\nProxy-Authorization: Basic eA==\r\n"
                                     "TE: trailers\r\nUpgrade: h2c\r\nAccept-Encoding: gzip, deflate\r\n"
                                     "X-Hop: 1\r\nCookie: sid=1\r\nReferer: http://x/\r\n")));
    HttpMessage answer = browser.Answer();
    EXPECT_EQ(answer.Header("Cache-Control"), "no-store");
    EXPECT_FALSE(answer.HasHeader("Keep-Alive"));
    EXPECT_EQ(answer.Header("Set-Cookie"), "sid=1");

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const WebRequest& sent = requests[0];
    EXPECT_EQ(sent.head.substr(0, sent.head.find("\r\n")), "GET /h?q=%D6 HTTP/1.1");
    struct Case {
        const char* header;
        bool reaches;
    } cases[] = {
        {"Connection", true}, // ours: "close"
        {"Keep-Alive", false}, {"Proxy-Connection", false}, {"Proxy-Authorization", false},
        {"TE", false},         {"Upgrade", false},          {"X-Hop", false},
        {"Cookie", true},      {"Referer", true},           {"Host", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sent.HasHeader(c.header), c.reaches) << c.header;
    EXPECT_EQ(sent.Header("Connection"), "close");
    EXPECT_EQ(sent.Header("Accept-Encoding"), "identity");
    EXPECT_EQ(sent.HeaderCount("Accept-Encoding"), 1);
}

TEST_F(CaptureProxyTest, ArmedUrlIsCapturedOnceAndForwarded) {
    std::mutex mutex;
    std::vector<CapturedRequest> captured;
    proxy.Arm(Origin() + "/login.cgi?lang=cn#form", CaptureProxy::Mode::Forward,
              [&](const CapturedRequest& r) {
                  std::lock_guard lock(mutex);
                  captured.push_back(r);
              });
    server.Route("POST", "/login.cgi", WebResponse::Ok("welcome"));
    const std::string body = std::string("user=tolva&pw=%B0%A1\0z", 22);
    Browser browser(proxy.Port());
    // A request for another URL first: not taken.
    ASSERT_TRUE(browser.Send(Get("/login.cgi")));
    EXPECT_EQ(browser.Answer().status, 404);
    EXPECT_TRUE(proxy.IsArmed());
    const std::string extra =
        "Content-Type: application/x-www-form-urlencoded\r\nCookie: sid=9\r\n"
        "Origin: http://127.0.0.1\r\nAuthorization: Basic eA==\r\nreferer: http://r/\r\n";
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(browser.Send(Post("/login.cgi?lang=cn", body, extra)));
        EXPECT_EQ(browser.Answer().body, "welcome");
    }
    EXPECT_FALSE(proxy.IsArmed());
    EXPECT_EQ(server.RequestCount(), 3u);
    std::lock_guard lock(mutex);
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0].action, "/login.cgi?lang=cn");
    EXPECT_EQ(captured[0].headers, "Content-Type: application/x-www-form-urlencoded\r\n"
                                   "Origin: http://127.0.0.1\r\nreferer: http://r/\r\n");
    EXPECT_TRUE(captured[0].postData.str() == body);
    EXPECT_TRUE(captured[0].isPost);
}

TEST_F(CaptureProxyTest, CapturedGetIsNoPost) {
    std::mutex mutex;
    int calls = 0;
    CapturedRequest got;
    proxy.Arm(Origin() + "/reboot.cgi?now=1", CaptureProxy::Mode::Forward, [&](const CapturedRequest& r) {
        std::lock_guard lock(mutex);
        got = r;
        ++calls;
    });
    Browser browser(proxy.Port());
    ASSERT_TRUE(browser.Send(Get("/reboot.cgi?now=1")));
    browser.Answer();
    std::lock_guard lock(mutex);
    ASSERT_EQ(calls, 1);
    EXPECT_EQ(got.action, "/reboot.cgi?now=1");
    EXPECT_FALSE(got.isPost);
    EXPECT_TRUE(got.postData.IsEmpty());
}

TEST_F(CaptureProxyTest, BlockedRequestGets204AndNeverReachesTheServer) {
    std::atomic<int> calls{0};
    std::atomic<size_t> capturedBytes{0};
    proxy.Arm(Origin() + "/upgrade.cgi", CaptureProxy::Mode::Block, [&](const CapturedRequest& r) {
        capturedBytes = r.postData.str().size();
        ++calls;
    });
    const std::string body = Multipart(1u << 20);
    Browser browser(proxy.Port());
    ASSERT_TRUE(browser.Send(Post("/upgrade.cgi", body, "Expect: 100-continue\r\n")));
    HttpMessage answer = browser.Answer();
    EXPECT_EQ(answer.status, 204);
    EXPECT_EQ(answer.Header("Cache-Control"), "no-store");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(capturedBytes, body.size());
    // The connection goes on; the next upload is not armed and is sent.
    ASSERT_TRUE(browser.Send(Post("/echo", "after")));
    EXPECT_EQ(browser.Answer().body, "after");
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/echo");
}

TEST_F(CaptureProxyTest, UnreachableServerGives502AndBadInputGives400) {
    int freePort;
    {
        platform::UniqueFd s(::socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(s.Get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        socklen_t len = sizeof sa;
        ::getsockname(s.Get(), reinterpret_cast<sockaddr*>(&sa), &len);
        freePort = ntohs(sa.sin_port);
    }
    struct Case {
        std::string request;
        int status;
    } cases[] = {
        {"GET http://127.0.0.1:" + std::to_string(freePort) + "/ HTTP/1.1\r\nHost: x\r\n\r\n", 502},
        {"GET ftp://127.0.0.1/ HTTP/1.1\r\n\r\n", 400},
        {"GET /page HTTP/1.1 extra\r\n\r\n", 400},
        {"POST " + Origin() + "/echo HTTP/1.1\r\nContent-Length: 1x\r\n\r\n", 400},
    };
    for (const Case& c : cases) {
        Browser browser(proxy.Port());
        ASSERT_TRUE(browser.Send(c.request));
        EXPECT_EQ(browser.Answer().status, c.status) << c.request;
        EXPECT_TRUE(browser.Closed());
    }
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(CaptureProxyTest, ConnectIsTunnelledBlindly) {
    Browser browser(proxy.Port());
    // The bytes after the head arrive with it, so they wait in the proxy's buffer.
    ASSERT_TRUE(browser.Send("CONNECT 127.0.0.1:" + std::to_string(server.Port()) +
                             " HTTP/1.1\r\nHost: x\r\n\r\n" +
                             "POST /echo HTTP/1.1\r\nAccept-Encoding: gzip\r\nContent-Length: 3\r\n\r\nabc"));
    HttpMessage established;
    ASSERT_EQ(browser.Reader().ReadResponseHead(established), HttpMessageReader::Result::Message);
    EXPECT_EQ(established.status, 200);
    HttpMessage answer = browser.Answer();
    EXPECT_EQ(answer.body, "abc");
    EXPECT_FALSE(answer.HasHeader("Cache-Control"));
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("Accept-Encoding"), "gzip");
}

TEST_F(CaptureProxyTest, StopJoinsWithConnectionsOpen) {
    WebResponse silent;
    silent.silent = true;
    server.Route("GET", "/silent", silent);
    Browser idle(proxy.Port());
    ASSERT_TRUE(idle.Send(Get("/echo")));
    EXPECT_EQ(idle.Answer().status, 200);
    Browser waiting(proxy.Port());
    ASSERT_TRUE(waiting.Send(Get("/silent")));
    Browser halfSent(proxy.Port());
    ASSERT_TRUE(halfSent.Send("POST " + Origin() + "/echo HTTP/1.1\r\nContent-Length: 100\r\n\r\nabc"));
    Browser tunnel(proxy.Port());
    ASSERT_TRUE(tunnel.Send("CONNECT 127.0.0.1:" + std::to_string(server.Port()) + " HTTP/1.1\r\n\r\n"));
    HttpMessage established;
    ASSERT_EQ(tunnel.Reader().ReadResponseHead(established), HttpMessageReader::Result::Message);
    ASSERT_TRUE(server.WaitForRequests(2, 10000));

    proxy.Stop();
    for (Browser* b : {&idle, &waiting, &halfSent, &tunnel})
        EXPECT_TRUE(b->Closed());
    // It starts again, at a port of its own.
    proxy.Start();
    Browser again(proxy.Port());
    ASSERT_TRUE(again.Send(Get("/echo")));
    EXPECT_EQ(again.Answer().status, 200);
}

// ---- Hostile local clients: what each can make the proxy hold, measured.

size_t Entries(const char* dir) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
        ++n;
    return n;
}
size_t ThreadCount() {
    return Entries("/proc/self/task");
}
size_t FdCount() {
    return Entries("/proc/self/fd");
}
long RssMb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE) / (1 << 20);
}

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr long kSanitizerMemoryFactor = 5;
#else
constexpr long kSanitizerMemoryFactor = 1;
#endif

// Waits for a state with a generous deadline.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// What the process held when made; whether it is back to no more than that.
struct Baseline {
    size_t threads = ThreadCount();
    size_t fds = FdCount();
    bool Regained() const {
        return WaitUntil([&] { return ThreadCount() <= threads && FdCount() <= fds; });
    }
};

CaptureProxy::Limits WithHeadTimeout(int ms) {
    CaptureProxy::Limits limits;
    limits.headTimeout = std::chrono::milliseconds(ms);
    return limits;
}

void Figure(const std::string& text) {
    std::printf("[ figure   ] %s\n", text.c_str());
}

TEST_F(CaptureProxyTest, RequestsForTheProxyItselfAreRefusedAtOnce) {
    const std::string own = std::to_string(proxy.Port());
    const Baseline before;
    const std::string cases[] = {
        "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + own + "\r\n\r\n",
        "GET http://127.0.0.1:" + own + "/ HTTP/1.1\r\nHost: 127.0.0.1:" + own + "\r\n\r\n",
        "POST http://LocalHost:" + own + "/x HTTP/1.1\r\nContent-Length: 1\r\n\r\nx",
        "GET http://0.0.0.0:" + own + "/ HTTP/1.1\r\n\r\n",
        "CONNECT 127.0.0.1:" + own + " HTTP/1.1\r\n\r\n",
    };
    size_t peakThreads = 0, peakFds = 0;
    for (const std::string& request : cases) {
        Browser browser(proxy.Port());
        ASSERT_TRUE(browser.Send(request));
        // A loop shows within this time; a refusal comes at once.
        browser.Readable(2000);
        peakThreads = std::max(peakThreads, ThreadCount() - before.threads);
        peakFds = std::max(peakFds, FdCount() - before.fds);
        EXPECT_EQ(browser.Answer().status, 400) << request;
        EXPECT_TRUE(browser.Closed()) << request;
    }
    Figure("loop: +" + std::to_string(peakThreads) + " threads, +" + std::to_string(peakFds) + " fds");
    EXPECT_LE(peakThreads, 1u);
    EXPECT_LE(peakFds, 2u); // the browser's socket and the proxy's end of it
    EXPECT_TRUE(before.Regained());
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(CaptureProxyTest, ConnectionsAreCappedAndIdleOnesTimeOut) {
    const CaptureProxy::Limits limits = WithHeadTimeout(3000);
    CaptureProxy capped(limits);
    capped.Start();
    const Baseline before;
    std::vector<std::unique_ptr<Browser>> idle;
    for (size_t i = 0; i < limits.maxConnections; ++i)
        idle.push_back(std::make_unique<Browser>(capped.Port()));
    ASSERT_TRUE(WaitUntil([&] { return ThreadCount() >= before.threads + limits.maxConnections; }));
    // Beyond the cap each is refused at once; an idle crowd costs a thread and a socket each.
    const size_t crowd = 100;
    for (size_t i = limits.maxConnections; i < crowd; ++i) {
        Browser extra(capped.Port());
        ASSERT_EQ(extra.Answer().status, 503) << i;
    }
    // The last refused connection's socket may still be on its way out.
    const auto proxyFdCount = [&] { return FdCount() - before.fds - idle.size(); }; // less the browsers'
    WaitUntil([&] { return proxyFdCount() <= limits.maxConnections; });
    const size_t proxyThreads = ThreadCount() - before.threads;
    const size_t proxyFds = proxyFdCount();
    Figure("idle: " + std::to_string(crowd) + " connections: +" + std::to_string(proxyThreads) +
           " threads, +" + std::to_string(proxyFds) + " fds");
    EXPECT_LE(proxyThreads, limits.maxConnections);
    EXPECT_LE(proxyFds, limits.maxConnections);
    // No request head in time: each is closed.
    for (auto& browser : idle)
        EXPECT_TRUE(browser->Closed());
    idle.clear();
    EXPECT_TRUE(before.Regained());
}

TEST_F(CaptureProxyTest, ASlowRequestIsCutOffWith408) {
    CaptureProxy strict(WithHeadTimeout(500));
    strict.Start();
    const Baseline before;
    struct Case {
        const char* what;
        std::string start; // sent at once
        std::string rest;  // then a byte every 50 ms while the proxy listens, then nothing
    } cases[] = {
        {"head", "", Get("/echo")},
        {"body pause", "POST " + Origin() + "/echo HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\nab", ""},
    };
    for (const Case& c : cases) {
        Browser slow(strict.Port());
        ASSERT_TRUE(slow.Send(c.start));
        size_t sent = 0;
        const auto started = std::chrono::steady_clock::now();
        while (sent < c.rest.size() && !slow.Readable(50))
            slow.Send(c.rest.substr(sent++, 1));
        EXPECT_LE(sent, c.rest.size() / 2) << c.what;
        EXPECT_EQ(slow.Answer().status, 408) << c.what;
        const auto held = std::chrono::steady_clock::now() - started;
        EXPECT_TRUE(slow.Closed()) << c.what;
        Figure(std::string("slow ") + c.what + ": held " +
               std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(held).count()) + " ms, " +
               std::to_string(sent) + " bytes");
    }
    EXPECT_TRUE(before.Regained());
    EXPECT_EQ(server.RequestCount(), 0u);
}

// The lowest descriptor number not in use: with the limit there, no descriptor can be made.
struct NoFreeDescriptors {
    NoFreeDescriptors() {
        ::getrlimit(RLIMIT_NOFILE, &saved);
        int lowest = ::dup(0);
        ::close(lowest);
        rlimit tight = saved;
        tight.rlim_cur = static_cast<rlim_t>(lowest);
        ::setrlimit(RLIMIT_NOFILE, &tight);
    }
    ~NoFreeDescriptors() { ::setrlimit(RLIMIT_NOFILE, &saved); }
    rlimit saved{};
};

double ProcessCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

TEST_F(CaptureProxyTest, OutOfDescriptorsTheProxyWaitsAndClosesIdleConnections) {
    const std::string notHttp = "GET ftp://x/ HTTP/1.1\r\n\r\n"; // answered by the proxy alone
    const size_t threads = ThreadCount();
    {
        // Nothing to close: the waiting client costs no busy loop, and is served once
        // descriptors are free again.
        platform::UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        std::optional<NoFreeDescriptors> full;
        full.emplace();
        Browser waiting(std::move(socket), proxy.Port());
        const double before = ProcessCpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(1)); // the span measured
        const double busy = ProcessCpuSeconds() - before;
        full.reset();
        Figure("accept failing for 1 s: " + std::to_string(static_cast<int>(busy * 1000)) + " ms of CPU");
        EXPECT_LT(busy, 0.25);
        ASSERT_TRUE(waiting.Send(notHttp));
        EXPECT_EQ(waiting.Answer().status, 400);
    }
    // Connections that only wait for a browser make room for a new one. The first client's
    // thread may still be ending: count from the proxy at rest.
    ASSERT_TRUE(WaitUntil([&] { return ThreadCount() <= threads; }));
    Browser idle1(proxy.Port()), idle2(proxy.Port());
    ASSERT_TRUE(WaitUntil([&] { return ThreadCount() >= threads + 2; }));
    platform::UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    NoFreeDescriptors full;
    Browser newcomer(std::move(socket), proxy.Port());
    EXPECT_TRUE(idle1.Closed());
    EXPECT_TRUE(idle2.Closed());
    ASSERT_TRUE(newcomer.Send(notHttp));
    EXPECT_EQ(newcomer.Answer().status, 400);
}

// This process in a pids cgroup of its own, which allows only 'spare' more threads.
class ThreadLimit {
public:
    explicit ThreadLimit(int spare) {
        std::ifstream own("/proc/self/cgroup");
        for (std::string line; std::getline(own, line);)
            if (line.find(":pids:") != std::string::npos)
                m_home = kRoot + line.substr(line.find(":pids:") + 6);
        m_dir = kRoot + "/corvay-test-" + std::to_string(::getpid());
        if (m_home.empty() || !std::filesystem::create_directory(m_dir, m_error))
            return;
        m_made = Write(m_dir + "/pids.max", std::to_string(ThreadCount() + spare)) &&
                 Write(m_dir + "/cgroup.procs", std::to_string(::getpid()));
    }
    ~ThreadLimit() {
        Write(m_home + "/cgroup.procs", std::to_string(::getpid()));
        std::filesystem::remove(m_dir, m_error);
    }
    bool Made() const { return m_made; }

private:
    static bool Write(const std::string& path, const std::string& text) {
        std::ofstream file(path);
        file << text;
        file.flush();
        return static_cast<bool>(file);
    }
    static inline const std::string kRoot = "/sys/fs/cgroup/pids";
    std::string m_home, m_dir;
    std::error_code m_error;
    bool m_made = false;
};

TEST_F(CaptureProxyTest, AConnectionWithoutAThreadIsRefusedAndTheProxyGoesOn) {
    std::vector<std::unique_ptr<Browser>> browsers;
    int served = 0, refused = 0;
    {
        ThreadLimit limit(3);
        if (!limit.Made())
            GTEST_SKIP() << "no pids cgroup of our own here";
        for (int i = 0; i < 12; ++i) {
            const size_t threads = ThreadCount();
            browsers.push_back(std::make_unique<Browser>(proxy.Port()));
            Browser& b = *browsers.back();
            ASSERT_TRUE(WaitUntil([&] { return ThreadCount() > threads || b.Readable(0); }));
            if (b.Readable(0)) {
                EXPECT_EQ(b.Answer().status, 503);
                ++refused;
            } else {
                ++served;
            }
        }
    }
    Figure("12 connections, 3 threads to spare: " + std::to_string(served) + " served, " +
           std::to_string(refused) + " refused");
    EXPECT_GE(refused, 9);
    browsers.clear();
    Browser after(proxy.Port());
    ASSERT_TRUE(after.Send(Get("/echo")));
    EXPECT_EQ(after.Answer().status, 200);
}

TEST_F(CaptureProxyTest, KeptPagesAreBoundedOldestDroppedFirst) {
    const std::string page = "<html>" + std::string((16u << 20) - 13, 'p') + "</html>";
    server.Route("GET", "/big", WebResponse::Ok(page));
    const long rss = RssMb();
    Browser browser(proxy.Port());
    const int answers = 20;
    for (int i = 0; i < answers; ++i) {
        ASSERT_TRUE(browser.Send(Get("/big?n=" + std::to_string(i))));
        HttpMessage answer = browser.Answer(false, false);
        ASSERT_EQ(answer.bodyLength, page.size()) << i;
    }
    const long growth = RssMb() - rss;
    Figure(std::to_string(answers) + " answers of 16 MB: RSS +" + std::to_string(growth) + " MB");
    // 64 MB kept at most, the answer in flight at each end, and what the allocator holds back,
    // which grows on a loaded machine (a sanitizer's holds much more, and shadows it); keeping
    // every answer would take 320 MB.
    EXPECT_LT(growth, 160 * kSanitizerMemoryFactor);
    EXPECT_FALSE(proxy.KeptAnswer(Origin() + "/big?n=0").has_value());
    auto last = proxy.KeptAnswer(Origin() + "/big?n=" + std::to_string(answers - 1));
    ASSERT_TRUE(last.has_value());
    EXPECT_TRUE(*last == page);
}

// Answers every request with a page that never ends, until the peer goes.
class EndlessServer {
public:
    EndlessServer() : m_listen(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        if (::bind(m_listen.Get(), reinterpret_cast<sockaddr*>(&sa), len) != 0 ||
            ::listen(m_listen.Get(), 4) != 0)
            throw std::runtime_error("endless server cannot listen");
        ::getsockname(m_listen.Get(), reinterpret_cast<sockaddr*>(&sa), &len);
        m_port = ntohs(sa.sin_port);
        m_thread = std::thread([this] {
            platform::UniqueFd peer(::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!peer)
                return;
            char head[4096];
            (void)!::recv(peer.Get(), head, sizeof head, 0);
            std::string block = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>";
            while (platform::SendAll(peer.Get(), block))
                block.assign(65536, 'e');
            m_ended = true;
        });
    }
    ~EndlessServer() {
        ::shutdown(m_listen.Get(), SHUT_RDWR);
        m_thread.join();
    }
    int Port() const { return m_port; }
    bool Ended() const { return m_ended; }

private:
    platform::UniqueFd m_listen;
    int m_port = 0;
    std::atomic<bool> m_ended{false};
    std::thread m_thread;
};

TEST_F(CaptureProxyTest, AnEndlessAnswerStreamsAndEndsWithTheBrowser) {
    EndlessServer endless;
    const long rss = RssMb();
    const size_t want = 256u << 20;
    size_t got = 0;
    {
        Browser browser(proxy.Port());
        ASSERT_TRUE(browser.Send("GET http://127.0.0.1:" + std::to_string(endless.Port()) +
                                 "/endless HTTP/1.1\r\nHost: x\r\n\r\n"));
        HttpMessage answer;
        ASSERT_EQ(browser.Reader().ReadResponseHead(answer), HttpMessageReader::Result::Message);
        ASSERT_EQ(answer.status, 200);
        browser.Reader().ReadResponseBody(answer, false, [&](const char*, size_t size) {
            got += size;
            return got < want;
        });
        EXPECT_GE(got, want);
        const long growth = RssMb() - rss;
        Figure("/endless: 256 MB streamed, RSS +" + std::to_string(growth) + " MB");
        EXPECT_LT(growth, 40 * kSanitizerMemoryFactor);
    }
    EXPECT_TRUE(WaitUntil([&] { return endless.Ended(); }));
}

TEST_F(CaptureProxyTest, AWaitForASilentServerEndsWithTheBrowser) {
    WebResponse silent;
    silent.silent = true;
    server.Route("GET", "/silent", silent);
    const Baseline before;
    {
        Browser browser(proxy.Port());
        ASSERT_TRUE(browser.Send(Get("/silent")));
        ASSERT_TRUE(server.WaitForRequests(1, 10000));
    }
    // The proxy's two sockets and the server's go; so do their threads.
    EXPECT_TRUE(before.Regained());
}

TEST_F(CaptureProxyTest, ACompressedPageGoesOnAsSentAndIsKeptDecoded) {
    const std::string page =
        "<html><td>\xB0\xE6\xB1\xBE</td><td>V2.0.3</td>" + std::string(20000, ' ') + "</html>";
    const std::string gzip = testsupport::Deflate(page, 31);
    struct Case {
        const char* coding;
        std::string body;
        bool kept;
    } cases[] = {
        {"gzip", gzip, true},
        {"deflate", testsupport::Deflate(page, 15), true},
        {"deflate", testsupport::Deflate(page, -15), true},
        {"gzip", gzip.substr(0, gzip.size() / 2), false},
    };
    for (const Case& c : cases) {
        // The server compresses although it is asked not to.
        server.Route(
            "GET", "/status.htm",
            WebResponse::Ok(c.body).Header("Content-Encoding", c.coding).Header("Vary", "Accept-Encoding"));
        server.ClearRequests();
        Browser browser(proxy.Port());
        ASSERT_TRUE(browser.Send(Get("/status.htm", "Accept-Encoding: gzip, deflate\r\n")));
        HttpMessage answer = browser.Answer();
        EXPECT_TRUE(answer.body == c.body) << c.coding;
        EXPECT_EQ(answer.Header("Content-Encoding"), c.coding);
        auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].Header("Accept-Encoding"), "identity");
        auto kept = proxy.KeptAnswer(Origin() + "/status.htm");
        ASSERT_EQ(kept.has_value(), c.kept) << c.coding << " " << c.body.size();
        if (c.kept) {
            EXPECT_TRUE(*kept == page) << c.coding;
        }
    }
}

} // namespace
