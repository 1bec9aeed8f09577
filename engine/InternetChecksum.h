#pragma once
// The Internet checksum over a buffer: 16-bit words summed in the machine's byte order, a last
// odd byte as a low byte, carries folded back, the sum complemented. Stored back in the same
// byte order it gives the checksum bytes of the frame.

#include <cstdint>

uint16_t InternetChecksum(int length, const void* bytes);
