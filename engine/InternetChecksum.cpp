#include "engine/InternetChecksum.h"

#include "platform/net/Checksum.h"

uint16_t InternetChecksum(int length, const void* bytes) {
    return platform::InternetChecksum(bytes, length > 0 ? static_cast<size_t>(length) : 0);
}
