// Any byte stream as a run of requests (first byte even) or one answer (odd), handed to the
// reader in pieces of the second byte's size: it ends every time, and what it calls a message
// holds no more than the limits allow.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/http/HttpMessageReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const bool requests = (data[0] & 1) == 0;
    const size_t piece = data[1] % 64 + 1;
    std::string bytes(reinterpret_cast<const char*>(data + 2), size - 2);
    size_t at = 0;
    platform::HttpReaderLimits limits;
    limits.maxHeadBytes = 4096;
    limits.maxHeaders = 20;
    limits.maxBodyBytes = 1 << 16;
    platform::HttpMessageReader reader(
        [&](char* buffer, size_t room) -> ssize_t {
            size_t n = std::min({piece, room, bytes.size() - at});
            std::memcpy(buffer, bytes.data() + at, n);
            at += n;
            return static_cast<ssize_t>(n);
        },
        limits);
    using Result = platform::HttpMessageReader::Result;
    for (int i = 0; i < 64; ++i) {
        platform::HttpMessage m;
        Result r = requests ? reader.ReadRequestHead(m) : reader.ReadResponseHead(m);
        if (r != Result::Message)
            return 0;
        if (m.headers.size() > limits.maxHeaders || m.head.size() > limits.maxHeadBytes + 2 ||
            m.head.size() < 4 || m.head.compare(m.head.size() - 4, 4, "\r\n\r\n") != 0)
            abort();
        r = requests ? reader.ReadRequestBody(m) : reader.ReadResponseBody(m, m.status == 204);
        if (r != Result::Message)
            return 0;
        if (m.body.size() != m.bodyLength || m.bodyLength > limits.maxBodyBytes)
            abort();
        if (!requests)
            return 0;
    }
    return 0;
}
