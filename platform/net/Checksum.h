#pragma once
// The Internet checksum (ones' complement sum of 16-bit words, complemented) of ICMP, IP and the
// ping frames. Words are summed in the machine's byte order and a last odd byte is padded with
// a zero byte after it, so the result, stored in the machine's byte order, is the checksum field.

#include <cstddef>
#include <cstdint>

namespace platform {

uint16_t InternetChecksum(const void* bytes, size_t length);

} // namespace platform
