// Content codings undone for pages a server compressed although it was asked not to: every
// coding a modem may send, and damaged or oversized data refused.

#include <gtest/gtest.h>

#include "platform/http/ContentDecoder.h"
#include "tests/support/Deflate.h"

using platform::DecodeContent;
using testsupport::Deflate;

namespace {

TEST(ContentDecoderTest, EveryCodingOfAPageIsUndone) {
    const std::string page = "<html><td>\xB0\xE6\xB1\xBE V2.0.3</td>" + std::string(5000, 'a') + "</html>";
    const std::string gzip = Deflate(page, 31);
    struct Case {
        const char* coding;
        std::string body;
    } cases[] = {
        {"", page},
        {"identity", page},
        {"gzip", gzip},
        {"X-GZIP", gzip},
        {" gzip ", gzip},
        {"deflate", Deflate(page, 15)},
        {"deflate", Deflate(page, -15)},
        {"gzip, identity", gzip},
        {"deflate, gzip", Deflate(Deflate(page, 15), 31)},
    };
    for (const Case& c : cases) {
        auto decoded = DecodeContent(c.coding, c.body, 1u << 20);
        ASSERT_TRUE(decoded.has_value()) << c.coding;
        EXPECT_TRUE(*decoded == page) << c.coding;
    }
    // A gzip file of two members is both of them.
    auto two = DecodeContent("gzip", Deflate("first,", 31) + Deflate("second", 31), 100);
    ASSERT_TRUE(two.has_value());
    EXPECT_EQ(*two, "first,second");
}

TEST(ContentDecoderTest, UnknownDamagedAndOversizedBodiesAreRefused) {
    const std::string page(100000, 'v');
    const std::string gzip = Deflate(page, 31);
    std::string badCheck = gzip; // the trailer's CRC-32 no longer matches
    badCheck[badCheck.size() - 8] ^= 0x55;
    struct Case {
        const char* what;
        const char* coding;
        std::string body;
        size_t max;
    } cases[] = {
        {"unknown coding", "br", page, 1u << 20},
        {"cut short", "gzip", gzip.substr(0, gzip.size() - 4), 1u << 20},
        {"damaged", "gzip", badCheck, 1u << 20},
        {"not compressed", "deflate", page, 1u << 20},
        {"trailing bytes", "deflate", Deflate(page, 15) + "x", 1u << 20},
        {"larger than allowed", "gzip", gzip, page.size() - 1},
        {"plain and larger than allowed", "", page, page.size() - 1},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(DecodeContent(c.coding, c.body, c.max).has_value()) << c.what;
    EXPECT_TRUE(DecodeContent("gzip", gzip, page.size()).has_value());
}

} // namespace
