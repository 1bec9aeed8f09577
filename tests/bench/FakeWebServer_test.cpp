// The bench's web server reads requests the way the product's reader does: chunked bodies
// taken whole, malformed requests refused with the reason.

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <chrono>

#include "bench/FakeWebServer.h"
#include "platform/http/HttpMessageReader.h"
#include "platform/net/TcpConnect.h"

using namespace std::string_literals;

namespace {

// Sends one request on a connection of its own; the answer's status and body.
std::pair<int, std::string> Exchange(int port, const std::string& request) {
    auto c = platform::TcpConnect("127.0.0.1", static_cast<uint16_t>(port), std::chrono::seconds(5));
    int fd = c.socket.Get();
    if (fd < 0 || !platform::SendAll(fd, request))
        return {0, ""};
    platform::HttpMessageReader reader([fd](char* buffer, size_t size) -> ssize_t {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 10000) == 1 ? ::recv(fd, buffer, size, 0) : -1;
    });
    platform::HttpMessage answer;
    if (reader.ReadResponseHead(answer) != platform::HttpMessageReader::Result::Message ||
        reader.ReadResponseBody(answer, false) != platform::HttpMessageReader::Result::Message)
        return {0, ""};
    return {answer.status, answer.body};
}

TEST(FakeWebServerTest, ReadsChunkedRequestsAndRefusesMalformedOnes) {
    bench::FakeWebServer server;
    server.Start();
    server.Route("POST", "/up", bench::WebResponse::Ok("ok"));
    struct Case {
        std::string request;
        int status;
        std::string body;
    } cases[] = {
        {"POST /up HTTP/1.1\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
         "4\r\nab\0c\r\n2\r\nde\r\n0\r\n\r\n"s,
         200, "ok"},
        {"POST /up HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", 501, "unsupported transfer coding"},
        {"POST /up HTTP/1.1\r\nContent-Length: 1x\r\n\r\n", 400, "bad Content-Length"},
        {"POST /a b HTTP/1.1\r\n\r\n", 400, "bad request line"},
    };
    for (const Case& c : cases) {
        auto [status, body] = Exchange(server.Port(), c.request);
        EXPECT_EQ(status, c.status) << c.request;
        EXPECT_EQ(body, c.body) << c.request;
    }
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, "ab\0cde"s);
    EXPECT_EQ(requests[0].bodyLength, 6u);
}

} // namespace
