#include "platform/http/HttpMessageReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace platform {

namespace {

bool IsTokenChar(unsigned char c) {
    return std::isalnum(c) || std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool IsToken(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return IsTokenChar(c); });
}

bool IsVersion(const std::string& text) {
    return text.size() == 8 && text.compare(0, 5, "HTTP/") == 0 &&
           std::isdigit(static_cast<unsigned char>(text[5])) && text[6] == '.' &&
           std::isdigit(static_cast<unsigned char>(text[7]));
}

// Decimal digits only, no sign, no overflow.
bool ParseLength(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 19)
        return false;
    value = 0;
    for (unsigned char c : text) {
        if (!std::isdigit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

} // namespace

std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string TrimBlanks(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string HttpMessage::Header(const std::string& name) const {
    std::string key = AsciiLower(name);
    for (const auto& [n, v] : headers)
        if (AsciiLower(n) == key)
            return v;
    return "";
}

bool HttpMessage::HasHeader(const std::string& name) const {
    std::string key = AsciiLower(name);
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& h) { return AsciiLower(h.first) == key; });
}

bool HttpMessage::IsChunked() const {
    std::string coding = AsciiLower(Header("Transfer-Encoding"));
    size_t comma = coding.rfind(',');
    return TrimBlanks(comma == std::string::npos ? coding : coding.substr(comma + 1)) == "chunked";
}

HttpMessageReader::HttpMessageReader(Source source, HttpReaderLimits limits)
    : m_source(std::move(source)), m_limits(limits) {}

HttpMessageReader::Result HttpMessageReader::Fail(std::string reason) {
    m_error = std::move(reason);
    return Result::Error;
}

bool HttpMessageReader::Fill() {
    char chunk[65536];
    ssize_t n = m_source(chunk, sizeof chunk);
    if (n < 0)
        m_gaveUp = true;
    if (n <= 0)
        return false;
    m_buffer.append(chunk, static_cast<size_t>(n));
    return true;
}

HttpMessageReader::Result HttpMessageReader::ReadLine(std::string& line, size_t max) {
    size_t searched = 0;
    for (;;) {
        size_t lf = m_buffer.find('\n', searched);
        if (lf != std::string::npos) {
            if (lf > max)
                return Fail("line too long");
            size_t end = lf > 0 && m_buffer[lf - 1] == '\r' ? lf - 1 : lf;
            line.assign(m_buffer, 0, end);
            m_buffer.erase(0, lf + 1);
            return Result::Message;
        }
        if (m_buffer.size() > max)
            return Fail("line too long");
        searched = m_buffer.size();
        if (!Fill())
            return Result::Closed;
    }
}

HttpMessageReader::Result HttpMessageReader::ReadRequestHead(HttpMessage& message) {
    return ReadHead(message, Kind::Request);
}

HttpMessageReader::Result HttpMessageReader::ReadResponseHead(HttpMessage& message) {
    return ReadHead(message, Kind::Response);
}

HttpMessageReader::Result HttpMessageReader::ReadHead(HttpMessage& message, Kind kind) {
    message = HttpMessage();
    m_error.clear();
    size_t headLimit = m_limits.maxHeadBytes;
    std::string line;
    // Blank lines before a message are tolerated (a client's stray CRLF after a body).
    for (;;) {
        Result r = ReadLine(line, headLimit);
        if (r == Result::Closed)
            return !m_buffer.empty() ? Fail("connection closed inside the head") : Result::Closed;
        if (r != Result::Message)
            return Fail("head too long");
        if (!line.empty())
            break;
    }
    message.head = line + "\r\n";

    if (kind == Kind::Request) {
        // Three words split by single blanks, a target of visible ASCII.
        size_t s1 = line.find(' ');
        size_t s2 = s1 == std::string::npos ? s1 : line.find(' ', s1 + 1);
        if (s2 == std::string::npos || s2 == s1 + 1 || line.find(' ', s2 + 1) != std::string::npos)
            return Fail("bad request line");
        message.method = line.substr(0, s1);
        message.target = line.substr(s1 + 1, s2 - s1 - 1);
        message.version = line.substr(s2 + 1);
        bool visible = std::all_of(message.target.begin(), message.target.end(),
                                   [](unsigned char c) { return c > 0x20 && c < 0x7F; });
        if (!IsToken(message.method) || !visible || !IsVersion(message.version))
            return Fail("bad request line");
    } else {
        if (line.size() < 12 || !IsVersion(line.substr(0, 8)) || line[8] != ' ' ||
            !std::all_of(line.begin() + 9, line.begin() + 12,
                         [](unsigned char c) { return std::isdigit(c); }) ||
            (line.size() > 12 && line[12] != ' '))
            return Fail("bad status line");
        message.version = line.substr(0, 8);
        message.status = std::stoi(line.substr(9, 3));
        message.reason = line.size() > 13 ? line.substr(13) : "";
    }

    for (;;) {
        if (message.head.size() > headLimit)
            return Fail("head too long");
        Result r = ReadLine(line, headLimit - message.head.size());
        if (r == Result::Closed)
            return Fail("connection closed inside the head");
        if (r != Result::Message)
            return Fail("head too long");
        message.head += line + "\r\n";
        if (line.empty())
            break;
        if (line[0] == ' ' || line[0] == '\t')
            return Fail("folded header line");
        size_t colon = line.find(':');
        if (colon == std::string::npos || !IsToken(line.substr(0, colon)))
            return Fail("bad header line");
        if (message.headers.size() >= m_limits.maxHeaders)
            return Fail("too many headers");
        message.headers.emplace_back(line.substr(0, colon), TrimBlanks(line.substr(colon + 1)));
    }
    return Result::Message;
}

HttpMessageReader::Result HttpMessageReader::ReadRequestBody(HttpMessage& message, bool keep) {
    return ReadBody(message, true, false, keep);
}

HttpMessageReader::Result HttpMessageReader::ReadResponseBody(HttpMessage& message, bool noBody, bool keep) {
    return ReadBody(message, false, noBody, keep);
}

HttpMessageReader::Result HttpMessageReader::ReadResponseBody(HttpMessage& message, bool noBody,
                                                              const Sink& sink) {
    return ReadBody(message, false, noBody, sink);
}

bool HttpMessageReader::BodyFraming(const HttpMessage& message, bool request, bool noBody, Framing& framing,
                                    uint64_t& length) {
    m_error.clear();
    length = 0;
    framing = Framing::None;
    if (noBody)
        return true;
    if (message.HasHeader("Transfer-Encoding")) {
        if (message.IsChunked()) {
            framing = Framing::Chunked;
            return true;
        }
        if (request) {
            Fail("unsupported transfer coding");
            return false;
        }
        framing = Framing::ToClose;
        return true;
    }
    std::string text;
    for (const auto& [name, value] : message.headers) {
        if (AsciiLower(name) != "content-length")
            continue;
        if (!text.empty() && value != text) {
            Fail("conflicting Content-Length");
            return false;
        }
        text = value;
    }
    if (text.empty()) {
        framing = request ? Framing::None : Framing::ToClose;
        return true;
    }
    if (!ParseLength(text, length)) {
        Fail("bad Content-Length");
        return false;
    }
    if (length > m_limits.maxBodyBytes) {
        Fail("body too large");
        return false;
    }
    framing = Framing::Length;
    return true;
}

HttpMessageReader::Result HttpMessageReader::ReadBody(HttpMessage& message, bool request, bool noBody,
                                                      bool keep) {
    if (!keep)
        return ReadBody(message, request, noBody, Sink());
    Framing framing;
    uint64_t length = 0;
    if (BodyFraming(message, request, noBody, framing, length) && framing == Framing::Length)
        message.body.reserve(message.body.size() + static_cast<size_t>(length));
    return ReadBody(message, request, noBody, [&message](const char* data, size_t size) {
        message.body.append(data, size);
        return true;
    });
}

HttpMessageReader::Result HttpMessageReader::ReadBody(HttpMessage& message, bool request, bool noBody,
                                                      const Sink& sink) {
    Framing framing;
    uint64_t length = 0;
    if (!BodyFraming(message, request, noBody, framing, length))
        return Result::Error;
    switch (framing) {
    case Framing::None:
        return Result::Message;
    case Framing::Length:
        return ReadLength(message, length, sink);
    case Framing::Chunked:
        return ReadChunked(message, sink);
    case Framing::ToClose:
        break;
    }
    return ReadToClose(message, sink);
}

HttpMessageReader::Result HttpMessageReader::ReadLength(HttpMessage& message, uint64_t length,
                                                        const Sink& sink) {
    uint64_t goal = message.bodyLength + length;
    while (message.bodyLength < goal) {
        if (m_buffer.empty() && !Fill())
            return Fail("connection closed inside the body");
        size_t take = static_cast<size_t>(std::min<uint64_t>(goal - message.bodyLength, m_buffer.size()));
        if (sink && !sink(m_buffer.data(), take))
            return Fail("stopped");
        m_buffer.erase(0, take);
        message.bodyLength += take;
    }
    return Result::Message;
}

HttpMessageReader::Result HttpMessageReader::ReadChunked(HttpMessage& message, const Sink& sink) {
    std::string line;
    for (;;) {
        Result r = ReadLine(line, 1024);
        if (r == Result::Closed)
            return Fail("connection closed inside the body");
        if (r != Result::Message)
            return Fail("bad chunk size");
        std::string size = TrimBlanks(line.substr(0, line.find(';')));
        uint64_t chunk = 0;
        if (size.empty() || size.size() > 15 ||
            !std::all_of(size.begin(), size.end(), [](unsigned char c) { return std::isxdigit(c); }))
            return Fail("bad chunk size");
        chunk = std::stoull(size, nullptr, 16);
        if (chunk == 0)
            break;
        if (message.bodyLength + chunk > m_limits.maxBodyBytes)
            return Fail("body too large");
        if ((r = ReadLength(message, chunk, sink)) != Result::Message)
            return r;
        r = ReadLine(line, 2);
        if (r == Result::Closed)
            return Fail("connection closed inside the body");
        if (r != Result::Message || !line.empty())
            return Fail("chunk not followed by a line end");
    }
    // Trailers, up to the blank line; dropped.
    size_t trailers = 0;
    for (;;) {
        Result r = ReadLine(line, m_limits.maxHeadBytes);
        if (r == Result::Closed)
            return Fail("connection closed inside the trailers");
        if (r != Result::Message)
            return r;
        if (line.empty())
            return Result::Message;
        trailers += line.size();
        if (trailers > m_limits.maxHeadBytes)
            return Fail("trailers too long");
    }
}

HttpMessageReader::Result HttpMessageReader::ReadToClose(HttpMessage& message, const Sink& sink) {
    for (;;) {
        if (message.bodyLength + m_buffer.size() > m_limits.maxBodyBytes)
            return Fail("body too large");
        if (sink && !m_buffer.empty() && !sink(m_buffer.data(), m_buffer.size()))
            return Fail("stopped");
        message.bodyLength += m_buffer.size();
        m_buffer.clear();
        if (!Fill())
            return m_gaveUp ? Fail("no end of the body in time") : Result::Message;
    }
}

} // namespace platform
