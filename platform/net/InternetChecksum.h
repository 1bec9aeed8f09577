#pragma once
// The Internet checksum over a buffer: 16-bit words summed in the machine's byte order, a last
// odd byte as a low byte, carries folded back, the sum complemented. Stored back in the same
// byte order it gives the checksum bytes of the frame. The one implementation for the ICMP
// echo engine and the ping test frames.

#include <cstdint>

namespace platform {

uint16_t InternetChecksum(int length, const void* bytes);

} // namespace platform
