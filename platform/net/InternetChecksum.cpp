#include "platform/net/InternetChecksum.h"

#include <cstddef>
#include <cstring>

namespace platform {

uint16_t InternetChecksum(int length, const void* bytes) {
    const size_t size = length > 0 ? static_cast<size_t>(length) : 0;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint64_t sum = 0;
    size_t i = 0;
    for (; i + 1 < size; i += 2) {
        uint16_t word;
        std::memcpy(&word, p + i, sizeof word);
        sum += word;
    }
    if (i < size) {
        // The odd byte takes the first place of a word, as if a zero byte followed it.
        uint8_t last[2] = {p[i], 0};
        uint16_t word;
        std::memcpy(&word, last, sizeof word);
        sum += word;
    }
    // Fold until no carry is left: twice is not enough for every sum.
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

} // namespace platform
