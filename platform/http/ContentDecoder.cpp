#include "platform/http/ContentDecoder.h"

#include "platform/http/HttpMessageReader.h"

#include <zlib.h>

#include <vector>

namespace platform {

namespace {

// windowBits: 15 + 16 gzip, 15 zlib, -15 raw deflate.
bool Inflate(const std::string& in, int windowBits, size_t maxDecoded, std::string& out) {
    out.clear();
    z_stream z{};
    if (inflateInit2(&z, windowBits) != Z_OK)
        return false;
    struct End {
        z_stream& z;
        ~End() { inflateEnd(&z); }
    } end{z};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    char chunk[65536];
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        int r = inflate(&z, Z_NO_FLUSH);
        size_t produced = sizeof chunk - z.avail_out;
        if (out.size() + produced > maxDecoded)
            return false;
        out.append(chunk, produced);
        if (r == Z_STREAM_END) {
            if (z.avail_in == 0)
                return true;
            // A gzip file may hold several members one after another.
            if (windowBits <= 15 || inflateReset(&z) != Z_OK)
                return false;
            continue;
        }
        if (r != Z_OK && !(r == Z_BUF_ERROR && z.avail_out == 0))
            return false;
        if (z.avail_in == 0 && z.avail_out != 0)
            return false; // the data ended before the stream did
    }
}

std::vector<std::string> Codings(const std::string& header) {
    std::vector<std::string> codings;
    size_t at = 0;
    for (;;) {
        size_t comma = header.find(',', at);
        std::string coding =
            AsciiLower(TrimBlanks(header.substr(at, comma == std::string::npos ? comma : comma - at)));
        if (!coding.empty())
            codings.push_back(coding);
        if (comma == std::string::npos)
            return codings;
        at = comma + 1;
    }
}

} // namespace

std::optional<std::string> DecodeContent(const std::string& contentEncoding, std::string body,
                                         size_t maxDecoded) {
    std::vector<std::string> codings = Codings(contentEncoding);
    for (auto it = codings.rbegin(); it != codings.rend(); ++it) {
        if (*it == "identity")
            continue;
        std::string out;
        bool ok = false;
        if (*it == "gzip" || *it == "x-gzip")
            ok = Inflate(body, 15 + 16, maxDecoded, out);
        else if (*it == "deflate")
            ok = Inflate(body, 15, maxDecoded, out) || Inflate(body, -15, maxDecoded, out);
        if (!ok)
            return std::nullopt;
        body = std::move(out);
    }
    if (body.size() > maxDecoded)
        return std::nullopt;
    return body;
}

} // namespace platform
