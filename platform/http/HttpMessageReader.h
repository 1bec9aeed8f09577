#pragma once
// Reads HTTP/1.1 messages off a byte stream, for the servers and relays of our own: a request
// or status line, the headers in arrival order, and a body framed by Content-Length, chunked
// or (answers only) by the peer closing. Malformed input and input past the limits end in an
// error with a reason; nothing is guessed.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace platform {

// Header names compare in ASCII lower case; values lose their blanks (spaces, tabs) at both ends.
std::string AsciiLower(std::string text);
std::string TrimBlanks(const std::string& text);

struct HttpMessage {
    std::string head; // start line and headers exactly as received, up to the blank line
    // Request: method, target, version. Answer: version, status, reason.
    std::string method, target, version;
    int status = 0;
    std::string reason;
    std::vector<std::pair<std::string, std::string>> headers; // in arrival order, values trimmed
    std::string body;                                         // decoded (no chunk framing)
    uint64_t bodyLength = 0;                                  // body bytes received, kept or not

    // First value of a header, matched without regard to case; "" when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
    bool IsChunked() const;
};

struct HttpReaderLimits {
    size_t maxHeadBytes = 64u << 10;
    size_t maxHeaders = 200;
    uint64_t maxBodyBytes = 1ull << 30;
};

class HttpMessageReader {
public:
    // Fills 'buffer' with up to 'size' bytes: the count, 0 when the peer closed, <0 on an error
    // or when the caller gives up (stop, time-out).
    using Source = std::function<ssize_t(char* buffer, size_t size)>;

    // Takes a body's bytes as they arrive; false stops the reading with an error.
    using Sink = std::function<bool(const char* data, size_t size)>;

    enum class Result {
        Message, // read whole
        Closed,  // the peer closed (or the source gave up) before the first byte of a message
        Error,   // see Error()
    };

    enum class Framing {
        None,    // no body
        Length,  // Content-Length bytes
        Chunked, // chunked transfer coding
        ToClose, // up to the peer's close (answers only)
    };

    explicit HttpMessageReader(Source source, HttpReaderLimits limits = {});

    // The head of the next request or answer; its body is read by ReadBody.
    Result ReadRequestHead(HttpMessage& message);
    Result ReadResponseHead(HttpMessage& message);
    // The body the head announces. An answer without Content-Length or chunking runs to the
    // close; a request without either has none. 'noBody' is for answers that never carry one
    // (to HEAD, 1xx, 204, 304). With keep false only bodyLength counts.
    Result ReadRequestBody(HttpMessage& message, bool keep = true);
    Result ReadResponseBody(HttpMessage& message, bool noBody, bool keep = true);
    // The same, handing the bytes to 'sink' as they arrive (a relay that must not hold them).
    Result ReadResponseBody(HttpMessage& message, bool noBody, const Sink& sink);
    // How the body after this head is framed, and its length for Framing::Length; false with
    // Error() set when the head frames it badly (bad or conflicting Content-Length, a request's
    // unknown coding, a length over the limit). ReadBody reads what this tells.
    bool BodyFraming(const HttpMessage& message, bool request, bool noBody, Framing& framing,
                     uint64_t& length);

    const std::string& Error() const { return m_error; }
    // Bytes received past the last message read (a tunnel passes them on).
    std::string TakeBuffered() { return std::exchange(m_buffer, std::string()); }

private:
    enum class Kind { Request, Response };
    Result ReadHead(HttpMessage& message, Kind kind);
    Result ReadBody(HttpMessage& message, bool request, bool noBody, bool keep);
    Result ReadBody(HttpMessage& message, bool request, bool noBody, const Sink& sink);
    // A null sink only counts.
    Result ReadLength(HttpMessage& message, uint64_t length, const Sink& sink);
    Result ReadChunked(HttpMessage& message, const Sink& sink);
    Result ReadToClose(HttpMessage& message, const Sink& sink);
    // One line ending in CRLF (or LF), without it; false at the end of input or past 'max'.
    Result ReadLine(std::string& line, size_t max);
    bool Fill(); // false at the end of input
    Result Fail(std::string reason);

    Source m_source;
    HttpReaderLimits m_limits;
    std::string m_buffer;
    std::string m_error;
    bool m_gaveUp = false; // the source failed, as opposed to a clean close
};

} // namespace platform
