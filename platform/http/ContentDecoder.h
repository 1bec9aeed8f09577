#pragma once
// Undoes the content codings a server may put on an answer body (Content-Encoding): gzip,
// deflate (zlib-wrapped, or raw as some servers send it) and identity, applied in the reverse
// of the order the header lists them.

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

// The decoded body; none for an unknown coding, damaged data, or a result longer than
// 'maxDecoded' bytes.
std::optional<std::string> DecodeContent(const std::string& contentEncoding, std::string body,
                                         size_t maxDecoded);

} // namespace platform
