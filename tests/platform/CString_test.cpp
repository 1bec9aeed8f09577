#include <gtest/gtest.h>

#include "platform/files/ProgramDirectory.h"
#include "platform/text/Arrays.h"
#include "platform/text/CString.h"
#include "platform/text/Gbk.h"

namespace {

// "中文" in GBK: D6 D0 CE C4. "ＡＢ"-style pairs whose trail bytes are ASCII letters: 0x81 0x61 ('a').
const char kGbkZhongWen[] = "\xD6\xD0\xCE\xC4";

TEST(CString, SubstringBoundsClamp) {
    struct Case {
        const char* what;
        CString got;
        const char* want;
    } cases[] = {
        {"Left negative", CString("abc").Left(-1), ""},
        {"Left beyond", CString("abc").Left(10), "abc"},
        {"Right beyond", CString("abc").Right(10), "abc"},
        {"Right negative", CString("abc").Right(-2), ""},
        {"Mid negative start", CString("abcdef").Mid(-3, 2), "ab"},
        {"Mid start beyond", CString("abc").Mid(7), ""},
        {"Mid count beyond", CString("abcdef").Mid(4, 100), "ef"},
        {"Mid negative count", CString("abcdef").Mid(1, -1), ""},
        {"Mid at end", CString("abc").Mid(3, 1), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(CString, FindAndReverseFind) {
    CString s("a\\b\\c");
    EXPECT_EQ(s.Find('\\'), 1);
    EXPECT_EQ(s.Find('\\', 2), 3);
    EXPECT_EQ(s.Find('\\', 99), -1);
    EXPECT_EQ(s.Find('\\', -5), 1);
    EXPECT_EQ(s.ReverseFind('\\'), 3);
    EXPECT_EQ(s.Find("b\\c"), 2);
    EXPECT_EQ(s.Find("zz"), -1);
    EXPECT_EQ(s.Find("", 5), 5);
    EXPECT_EQ(s.Find("", 6), -1);
    EXPECT_EQ(CString().ReverseFind('x'), -1);
    EXPECT_EQ(CString("abc").GetAt(3), '\0');
}

TEST(CString, CaseFoldingLeavesGbkTrailBytes) {
    // 0x81 0x61 is one GBK character whose trail byte is 'a'; it must stay as it is.
    CString mixed("ab\x81\x61Z");
    mixed.MakeUpper();
    EXPECT_EQ(mixed, "AB\x81\x61Z");
    mixed.MakeLower();
    EXPECT_EQ(mixed, "ab\x81\x61z");

    CString zh(kGbkZhongWen);
    zh.MakeUpper();
    EXPECT_EQ(zh, kGbkZhongWen);

    EXPECT_EQ(CString("FIRMWARE_Version").CompareNoCase("firmware_version"), 0);
    EXPECT_NE(CString("\x81\x41").CompareNoCase("\x81\x61"), 0);
    EXPECT_LT(CString("abc").CompareNoCase("ABD"), 0);
}

TEST(CString, TrimReplaceAndFormat) {
    CString s("  \t value \r\n");
    s.Trim();
    EXPECT_EQ(s, "value");

    // Trimming a set at the right keeps a GBK pair whose trail byte is in the set.
    CString t("x\x81\x61");
    t.TrimRight("a");
    EXPECT_EQ(t, "x\x81\x61");

    CString r("a&&b&c");
    EXPECT_EQ(r.Replace("&", "%26"), 3);
    EXPECT_EQ(r, "a%26%26b%26c");
    EXPECT_EQ(r.Replace("", "x"), 0);

    CString f;
    f.Format("%s-%03d", "port", 7);
    EXPECT_EQ(f, "port-007");
    f.AppendFormat("/%d", 24);
    EXPECT_EQ(f, "port-007/24");

    std::string big(10000, 'x');
    f.Format("%s", big.c_str());
    EXPECT_EQ(f.GetLength(), 10000);

    // The string's own text as an argument is read before it is replaced or grown.
    CString self("ab");
    self.Format("%s-%s", self.GetString(), self.GetString());
    EXPECT_EQ(self, "ab-ab");
    self = big.c_str();
    self.AppendFormat("%s", self.GetString());
    EXPECT_EQ(self.GetLength(), 20000);
    EXPECT_EQ(self.Right(3), "xxx");

    CString withZero("a\0b", 3);
    EXPECT_EQ(withZero.GetLength(), 3);
}

TEST(CString, Tokenize) {
    CString line("admin:1234::x");
    int pos = 0;
    std::vector<std::string> parts;
    for (CString tok = line.Tokenize(":", pos); pos >= 0; tok = line.Tokenize(":", pos))
        parts.push_back(tok.str());
    EXPECT_EQ(parts, (std::vector<std::string>{"admin", "1234", "x"}));
}

TEST(CString, GbkUtf8RoundTrip) {
    EXPECT_EQ(GbkToUtf8(kGbkZhongWen), u8"中文");
    EXPECT_EQ(Utf8ToGbk(u8"中文"), kGbkZhongWen);
    // Narrow literals are compiled to GBK.
    EXPECT_EQ(CString("中文"), kGbkZhongWen);
    // Characters GBK cannot hold and broken bytes become '?'.
    EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80"
                        "b"),
              "a?b");
    EXPECT_EQ(GbkToUtf8("a\xFF"
                        "b"),
              "a?b");
}

TEST(CString, ArraysForgiveBadIndices) {
    CStringArray a;
    EXPECT_EQ(a.Add("one"), 0);
    EXPECT_EQ(a.Add("two"), 1);
    EXPECT_EQ(a.GetAt(5), "");
    a.SetAt(9, "ignored");
    EXPECT_EQ(a.GetSize(), 2);
    a.RemoveAt(7);
    a.InsertAt(1, "mid");
    EXPECT_EQ(a.GetAt(1), "mid");
    a.RemoveAt(0, 10);
    EXPECT_TRUE(a.IsEmpty());
}

TEST(CString, JoinPathTakesEitherSlash) {
    EXPECT_EQ(platform::JoinPath("/opt/corvay/", "\\Config.ini"), "/opt/corvay/Config.ini");
    EXPECT_EQ(platform::JoinPath("/opt/corvay", "Config.ini"), "/opt/corvay/Config.ini");
    EXPECT_EQ(platform::JoinPath("/d", "a\\b.txt"), "/d/a/b.txt");
    platform::SetProgramDirectory("/tmp/x");
    EXPECT_EQ(platform::ProgramDirectory(), "/tmp/x/");
    platform::SetProgramDirectory("");
    EXPECT_NE(platform::ProgramDirectory(), "/tmp/x/");
    EXPECT_EQ(platform::ProgramDirectory().Right(1), "/");
}

} // namespace
