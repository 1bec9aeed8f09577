// The capturing proxy against the bench's web server, with a plain socket as the browser.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "bench/FakeWebServer.h"
#include "platform/files/UniqueFd.h"
#include "platform/http/HttpMessageReader.h"
#include "platform/net/TcpConnect.h"
#include "stavrintool/capture/CaptureProxy.h"

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
    explicit Browser(int port) {
        auto c = platform::TcpConnect("127.0.0.1", static_cast<uint16_t>(port), std::chrono::seconds(5));
        m_fd = std::move(c.socket);
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
    HttpMessage Answer(bool toHead = false) {
        HttpMessage answer;
        do
            if (m_reader->ReadResponseHead(answer) != HttpMessageReader::Result::Message)
                return HttpMessage();
        while (answer.status < 200);
        bool noBody = toHead || answer.status == 204 || answer.status == 304;
        if (m_reader->ReadResponseBody(answer, noBody) != HttpMessageReader::Result::Message)
            return HttpMessage();
        return answer;
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
    for (auto framing :
         {WebResponse::Framing::Length, WebResponse::Framing::Chunked, WebResponse::Framing::ReadToClose}) {
        WebResponse answer = WebResponse::Ok(page);
        answer.framing = framing;
        server.Route("GET", "/page", answer);
        Browser browser(proxy.Port());
        ASSERT_TRUE(browser.Send(Get("/page?a=1")));
        HttpMessage got = browser.Answer();
        EXPECT_EQ(got.status, 200);
        EXPECT_TRUE(got.body == page) << static_cast<int>(framing);
        EXPECT_EQ(got.Header("Content-Length"), std::to_string(page.size()));
        EXPECT_FALSE(got.HasHeader("Transfer-Encoding"));
        auto kept = proxy.KeptAnswer(Origin() + "/page?a=1#top");
        ASSERT_TRUE(kept.has_value());
        EXPECT_TRUE(*kept == page);
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
        {"Keep-Alive", false},
        {"Proxy-Connection", false},
        {"Proxy-Authorization", false},
        {"TE", false},
        {"Upgrade", false},
        {"Accept-Encoding", false},
        {"X-Hop", false},
        {"Cookie", true},
        {"Referer", true},
        {"Host", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sent.HasHeader(c.header), c.reaches) << c.header;
    EXPECT_EQ(sent.Header("Connection"), "close");
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

} // namespace
