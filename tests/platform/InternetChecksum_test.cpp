#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "platform/net/InternetChecksum.h"

namespace {

// The checksum as the frame carries it: the value stored in machine byte order.
std::vector<uint8_t> Stored(uint16_t checksum) {
    uint8_t bytes[2];
    std::memcpy(bytes, &checksum, 2);
    return {bytes[0], bytes[1]};
}

// Ones' complement sum by arithmetic modulo 0xffff, independent of any carry folding.
uint16_t ModuloReference(const std::vector<uint8_t>& data) {
    uint64_t total = 0;
    for (size_t i = 0; i < data.size(); i += 2)
        total += (i + 1 < data.size() ? data[i] | (data[i + 1] << 8) : data[i]);
    uint64_t sum = total % 0xffff;
    if (sum == 0 && total != 0)
        sum = 0xffff;
    return static_cast<uint16_t>(~sum);
}

} // namespace

TEST(InternetChecksum, KnownVectors) {
    struct Case {
        std::vector<uint8_t> data;
        std::vector<uint8_t> checksum;
    } cases[] = {
        {{0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7}, {0x22, 0x0d}}, // the RFC 1071 example
        // An IPv4 header with its checksum field cleared.
        {{0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11,
          0x00, 0x00, 0xc0, 0xa8, 0x00, 0x01, 0xc0, 0xa8, 0x00, 0xc7},
         {0xb8, 0x61}},
        {{0x00, 0x01, 0xf2}, {0x0d, 0xfe}}, // odd length: the last byte leads a zero-padded word
        {{0xab}, {0x54, 0xff}},
        {{}, {0xff, 0xff}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Stored(platform::InternetChecksum(static_cast<int>(c.data.size()), c.data.data())),
                  c.checksum)
            << "length " << c.data.size();
}

TEST(InternetChecksum, FrameWithItsChecksumSumsToZero) {
    std::vector<uint8_t> header = {0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11,
                                   0x00, 0x00, 0xc0, 0xa8, 0x00, 0x01, 0xc0, 0xa8, 0x00, 0xc7};
    uint16_t checksum = platform::InternetChecksum(static_cast<int>(header.size()), header.data());
    std::memcpy(&header[10], &checksum, 2);
    EXPECT_EQ(platform::InternetChecksum(static_cast<int>(header.size()), header.data()), 0);
}

// Buffers long enough that the sum passes 32 bits need more than two folds.
TEST(InternetChecksum, LongBuffersFoldEveryCarry) {
    for (size_t length : {140000u, 1000001u}) {
        std::vector<uint8_t> data(length, 0xff);
        for (size_t i = 0; i < length; i += 97)
            data[i] = static_cast<uint8_t>(i);
        EXPECT_EQ(platform::InternetChecksum(static_cast<int>(length), data.data()), ModuloReference(data))
            << length;
    }
    std::vector<uint8_t> ones(200000, 0xff);
    EXPECT_EQ(platform::InternetChecksum(static_cast<int>(ones.size()), ones.data()), 0);
}
