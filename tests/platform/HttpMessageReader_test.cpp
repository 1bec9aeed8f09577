// The message reader on whole and byte-by-byte input: every framing, several messages in one
// stream, and malformed input refused with a reason.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/http/HttpMessageReader.h"

using namespace std::string_literals;
using platform::HttpMessage;
using platform::HttpMessageReader;
using platform::HttpReaderLimits;
using Result = HttpMessageReader::Result;

namespace {

// Hands out 'bytes' in pieces of 'piece' bytes, then the end (or a give-up).
HttpMessageReader::Source Feed(const std::string& bytes, size_t piece, bool giveUpAtEnd = false) {
    auto at = std::make_shared<size_t>(0);
    return [bytes, piece, giveUpAtEnd, at](char* buffer, size_t size) -> ssize_t {
        if (*at == bytes.size())
            return giveUpAtEnd ? -1 : 0;
        size_t n = std::min({piece, size, bytes.size() - *at});
        std::memcpy(buffer, bytes.data() + *at, n);
        *at += n;
        return static_cast<ssize_t>(n);
    };
}

TEST(HttpMessageReaderTest, RequestsOfEveryFramingInOneStream) {
    const std::string stream =
        "POST /a?x=1 HTTP/1.1\r\nHost: h\r\nX-Two:  v 2 \r\nContent-Length: 5\r\n\r\n" +
        std::string("a\0b\r\n", 5) +
        "\r\n" // a stray line end between messages
        "PUT /b HTTP/1.1\r\ntransfer-encoding: chunked\r\n\r\n"
        "3;name=v\r\nabc\r\nA\r\n0123456789\r\n0\r\nTrailer: t\r\n\r\n"
        "GET / HTTP/1.0\n\n";
    for (size_t piece : {size_t(1), size_t(7), stream.size()}) {
        HttpMessageReader reader(Feed(stream, piece));
        HttpMessage m;
        ASSERT_EQ(reader.ReadRequestHead(m), Result::Message) << piece << reader.Error();
        ASSERT_EQ(reader.ReadRequestBody(m), Result::Message);
        EXPECT_EQ(m.method, "POST");
        EXPECT_EQ(m.target, "/a?x=1");
        ASSERT_EQ(m.headers.size(), 3u);
        EXPECT_EQ(m.headers[1], (std::pair<std::string, std::string>("X-Two", "v 2")));
        EXPECT_EQ(m.body, std::string("a\0b\r\n", 5));
        EXPECT_EQ(m.head, "POST /a?x=1 HTTP/1.1\r\nHost: h\r\nX-Two:  v 2 \r\nContent-Length: 5\r\n\r\n");

        ASSERT_EQ(reader.ReadRequestHead(m), Result::Message) << piece << reader.Error();
        ASSERT_EQ(reader.ReadRequestBody(m), Result::Message) << reader.Error();
        EXPECT_EQ(m.body, "abc0123456789");
        EXPECT_EQ(m.bodyLength, 13u);

        ASSERT_EQ(reader.ReadRequestHead(m), Result::Message);
        ASSERT_EQ(reader.ReadRequestBody(m), Result::Message);
        EXPECT_EQ(m.version, "HTTP/1.0");
        EXPECT_EQ(m.body, "");
        EXPECT_EQ(reader.ReadRequestHead(m), Result::Closed);
    }
}

TEST(HttpMessageReaderTest, AnswersByLengthChunkedAndToTheClose) {
    struct Case {
        std::string bytes;
        bool noBody;
        int status;
        std::string body;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcEXTRA", false, 200, "abc"},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n", false, 200, "ab"},
        {"HTTP/1.0 200\r\n\r\nto the\0 end"s, false, 200, std::string("to the\0 end", 11)},
        {"HTTP/1.1 304 Not Modified\r\nContent-Length: 99\r\n\r\n", true, 304, ""},
        {"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n", false, 500, ""},
    };
    for (const Case& c : cases) {
        HttpMessageReader reader(Feed(c.bytes, 3));
        HttpMessage m;
        ASSERT_EQ(reader.ReadResponseHead(m), Result::Message) << c.bytes << reader.Error();
        ASSERT_EQ(reader.ReadResponseBody(m, c.noBody), Result::Message) << c.bytes << reader.Error();
        EXPECT_EQ(m.status, c.status);
        EXPECT_EQ(m.body, c.body) << c.bytes;
    }
}

TEST(HttpMessageReaderTest, BodiesCanBeCountedWithoutKeeping) {
    HttpMessageReader reader(Feed("POST / HTTP/1.1\r\nContent-Length: 6\r\n\r\nabcdef", 4));
    HttpMessage m;
    ASSERT_EQ(reader.ReadRequestHead(m), Result::Message);
    ASSERT_EQ(reader.ReadRequestBody(m, false), Result::Message);
    EXPECT_EQ(m.bodyLength, 6u);
    EXPECT_TRUE(m.body.empty());
}

TEST(HttpMessageReaderTest, ASinkTakesTheBodyAsItArrivesAndMayStopIt) {
    const std::string body = "0123456789abcdef";
    struct Case {
        const char* framing;
        std::string bytes;
    } cases[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 16\r\n\r\n" + body},
        {"chunked",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n6\r\n012345\r\na\r\n6789abcdef\r\n0\r\n\r\n"},
        {"to the close", "HTTP/1.0 200 OK\r\n\r\n" + body},
    };
    for (const Case& c : cases) {
        HttpMessageReader reader(Feed(c.bytes, 3));
        HttpMessage m;
        ASSERT_EQ(reader.ReadResponseHead(m), Result::Message);
        std::string got;
        size_t calls = 0;
        ASSERT_EQ(reader.ReadResponseBody(m, false,
                                          [&](const char* data, size_t size) {
                                              got.append(data, size);
                                              ++calls;
                                              return true;
                                          }),
                  Result::Message)
            << c.framing;
        EXPECT_EQ(got, body) << c.framing;
        EXPECT_GT(calls, 1u) << c.framing;
        EXPECT_TRUE(m.body.empty()) << c.framing;
    }

    // An endless body: the sink sees it piece by piece, none of it held, and ends it.
    HttpMessageReader endless(
        [head = std::string("HTTP/1.1 200 OK\r\n\r\n"), sent = size_t(0)](char* buffer, size_t size) mutable {
            size_t n = std::min<size_t>(size, 100);
            for (size_t i = 0; i < n; ++i)
                buffer[i] = sent + i < head.size() ? head[sent + i] : 'x';
            sent += n;
            return static_cast<ssize_t>(n);
        });
    HttpMessage m;
    ASSERT_EQ(endless.ReadResponseHead(m), Result::Message);
    size_t taken = 0;
    EXPECT_EQ(endless.ReadResponseBody(m, false,
                                       [&](const char*, size_t size) {
                                           taken += size;
                                           return taken < (10u << 20);
                                       }),
              Result::Error);
    EXPECT_EQ(endless.Error(), "stopped");
    EXPECT_GE(taken, 10u << 20);
    EXPECT_TRUE(m.body.empty());
}

TEST(HttpMessageReaderTest, MalformedInputIsRefusedWithAReason) {
    HttpReaderLimits small;
    small.maxHeadBytes = 200;
    small.maxHeaders = 3;
    small.maxBodyBytes = 10;
    struct Case {
        std::string bytes;
        bool request;
        const char* error;
    } cases[] = {
        {"GET /a b HTTP/1.1\r\n\r\n", true, "bad request line"},
        {"GET  /a HTTP/1.1\r\n\r\n", true, "bad request line"},
        {"GET /\xD6\xD0 HTTP/1.1\r\n\r\n", true, "bad request line"},
        {"GET / HTTX/1.1\r\n\r\n", true, "bad request line"},
        {"GET / HTTP/1.1\r\nNo colon\r\n\r\n", true, "bad header line"},
        {"GET / HTTP/1.1\r\nA: 1\r\n continued\r\n\r\n", true, "folded header line"},
        {"GET / HTTP/1.1\r\nA: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\n\r\n", true, "too many headers"},
        {"GET / HTTP/1.1\r\nA: " + std::string(300, 'a') + "\r\n\r\n", true, "head too long"},
        {"GET /" + std::string(300, 'a') + " HTTP/1.1\r\n\r\n", true, "head too long"},
        {"GET / HTTP/1.1\r\nHost: h\r\n", true, "connection closed inside the head"},
        {"POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", true, "bad Content-Length"},
        {"POST / HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc", true,
         "conflicting Content-Length"},
        {"POST / HTTP/1.1\r\nContent-Length: 11\r\n\r\n", true, "body too large"},
        {"POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nabc", true, "connection closed inside the body"},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", true, "unsupported transfer coding"},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", true, "bad chunk size"},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n", true,
         "chunk not followed by a line end"},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n6\r\nabcdef\r\n6\r\nabcdef\r\n0\r\n\r\n", true,
         "body too large"},
        {"HTTP/1.1 2000 OK\r\n\r\n", false, "bad status line"},
        {"ICY 200 OK\r\n\r\n", false, "bad status line"},
        {"HTTP/1.1 200 OK\r\n\r\n" + std::string(11, 'x'), false, "body too large"},
    };
    for (const Case& c : cases) {
        HttpMessageReader reader(Feed(c.bytes, 5), small);
        HttpMessage m;
        Result r = c.request ? reader.ReadRequestHead(m) : reader.ReadResponseHead(m);
        if (r == Result::Message)
            r = c.request ? reader.ReadRequestBody(m) : reader.ReadResponseBody(m, false);
        EXPECT_EQ(r, Result::Error) << c.bytes;
        EXPECT_EQ(reader.Error(), c.error) << c.bytes;
    }
}

TEST(HttpMessageReaderTest, AGiveUpIsNoEndOfABodyReadToTheClose) {
    HttpMessageReader reader(Feed("HTTP/1.0 200 OK\r\n\r\npart", 100, true));
    HttpMessage m;
    ASSERT_EQ(reader.ReadResponseHead(m), Result::Message);
    EXPECT_EQ(reader.ReadResponseBody(m, false), Result::Error);
    EXPECT_EQ(reader.Error(), "no end of the body in time");
}

} // namespace
