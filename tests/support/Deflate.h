#pragma once
// Compressed fixtures for tests of content codings, made with the same library the product
// decodes with.

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace testsupport {

// windowBits: 15 + 16 gzip, 15 zlib, -15 raw deflate.
inline std::string Deflate(const std::string& data, int windowBits) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

} // namespace testsupport
