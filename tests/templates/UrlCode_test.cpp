#include <gtest/gtest.h>

#include "templates/TemplateConnection.h"
#include "templates/UrlCode.h"

namespace {

TEST(UrlCode, EncodeStringTable) {
    struct Case {
        std::string in, encoded, value;
    } cases[] = {
        {"", "", ""},
        {"AZaz09*+-.@_", "AZaz09*+-.@_", "AZaz09*%2B-.@_"},
        {" ", "%20", "%20"},
        {"&&", "%26%26", "%26%26"},
        {"/", "%2F", "%2F"},
        {"100%", "100%25", "100%25"},
        {"5%4", "5%254", "5%254"},
        {"%4A%4a", "%4A%4a", "%254A%254a"},
        {"%G1", "%25G1", "%25G1"},
        {"!\"#$'(),:;<=>?[\\]^`{|}~\x7f",
         "%21%22%23%24%27%28%29%2C%3A%3B%3C%3D%3E%3F%5B%5C%5D%5E%60%7B%7C%7D%7E%7F",
         "%21%22%23%24%27%28%29%2C%3A%3B%3C%3D%3E%3F%5B%5C%5D%5E%60%7B%7C%7D%7E%7F"},
        {"\t\r\n\x01", "%09%0D%0A%01", "%09%0D%0A%01"},
        {std::string("a\0b", 3), "a%00b", "a%00b"},
        {"管理员", "管理员", "管理员"}, // GBK bytes pass raw
    };
    CUrlCode code;
    for (const auto& c : cases) {
        EXPECT_EQ(code.EncodeString(CString(c.in)).str(), c.encoded) << c.in;
        EXPECT_EQ(code.EncodeValue(CString(c.in)).str(), c.value) << c.in;
    }
}

TEST(UrlCode, EncodeIntoABuffer) {
    CUrlCode code;
    char out[16];
    EXPECT_EQ(code.Encode(out, sizeof out, "a b/c"), 9);
    EXPECT_STREQ(out, "a%20b%2Fc");
    // Only the given length is read; a "%4" at the end of it is not a code.
    EXPECT_EQ(code.Encode(out, sizeof out, "%4A", 2), 4);
    EXPECT_STREQ(out, "%254");
    // Output that does not fit is cut and still terminated.
    EXPECT_EQ(code.Encode(out, 6, "      "), 5);
    EXPECT_STREQ(out, "%20%2");
    EXPECT_EQ(code.Encode(out, sizeof out, nullptr), 0);
    EXPECT_STREQ(out, "");
}

TEST(UrlCode, FormEncodingTable) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},
        {"   ", ""},
        {"a=b", "a=b"},
        {"  user=my name&&flag&x=", "user=my%20name&flag&x="},
        {"&&&", ""},
        {"url=http://h/p?q=1", "url=http%3A%2F%2Fh%2Fp%3Fq%3D1"},
        {"k=100%&m=%4A", "k=100%25&m=%4A"},
        {"名=值", "名=值"},
        {"=v", "=v"},
        // Placeholders are plain text to the encoder itself.
        {"u=<username>", "u=%3Cusername%3E"},
    };
    TemplateConnection c;
    for (const auto& k : cases)
        EXPECT_EQ(c.EncodeForm(k.in), k.out) << k.in;
}

} // namespace
