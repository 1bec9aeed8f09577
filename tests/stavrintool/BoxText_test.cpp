// Page bytes in a text box: what the box shows, what an unedited box gives back (the bytes as
// they were) and what an edited one gives (the text in the page's charset). A box's text goes
// through the toolkit's UTF-8 and back as GBK, as the windows' binding takes it.

#include <gtest/gtest.h>

#include "platform/text/Gbk.h"
#include "stavrintool/app/BoxText.h"

namespace {

CString ThroughBox(const CString& shown) {
    return Utf8ToGbk(GbkToUtf8(shown));
}

struct Case {
    const char* name;
    std::string bytes;
    const char* charset;
    const char* shownUtf8; // nullptr: not checked
    std::string edited;    // the bytes for the shown text with "-2" typed at its end
};
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}
const Case kCases[] = {
    {"gbk", "固件三号版", "gb2312", u8"固件三号版", "固件三号版-2"},
    {"utf8", u8"固件三号版", "UTF-8", u8"固件三号版", u8"固件三号版-2"},
    {"utf8 guessed", u8"user=管理员", "", u8"user=管理员", u8"user=管理员-2"},
    {"gbk guessed", "user=管理员", "", u8"user=管理员", "user=管理员-2"},
    {"not gbk", "FW-\xff\xff-3", "gb2312", nullptr, "FW-??-3-2"},
    {"utf8 beyond gbk", u8"V1 \u00e9\u263a", "utf-8", nullptr, u8"V1 \u00e9?-2"},
    {"ascii", "V1.2.3", "", "V1.2.3", "V1.2.3-2"},
};

class BoxTextCases : public ::testing::TestWithParam<Case> {};

TEST_P(BoxTextCases, UneditedGivesTheBytesBackAndEditedTheTextInThePagesCharset) {
    const Case& c = GetParam();
    const BoxText box(CString(c.bytes), c.charset);
    if (c.shownUtf8)
        EXPECT_EQ(GbkToUtf8(box.Shown()), c.shownUtf8);
    const CString unedited = ThroughBox(box.Shown());
    EXPECT_EQ(box.Read(unedited).str(), c.bytes);
    EXPECT_EQ(box.Read(unedited + "-2").str(), c.edited);
}

INSTANTIATE_TEST_SUITE_P(Pages, BoxTextCases, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
});

TEST(BoxTexts, EachBoxKeepsItsOwnBytesAndABoxNeverShownGivesItsText) {
    BoxTexts boxes;
    const CString a = boxes.Show(1, CString(u8"固件"), "utf-8");
    boxes.Show(2, CString("\xff"), "gbk");
    EXPECT_EQ(boxes.Read(1, ThroughBox(a)).str(), u8"固件");
    EXPECT_EQ(boxes.Read(2, ThroughBox(CString("\xff"))).str(), "\xff");
    EXPECT_EQ(boxes.Read(3, "typed").str(), "typed");
    // Shown again with other bytes: those are what it keeps.
    boxes.Show(1, CString("V2"), "utf-8");
    EXPECT_EQ(boxes.Read(1, "V2").str(), "V2");
}

} // namespace
