// The version locator without a browser: markers derived from GBK status pages (CR LF and LF
// line breaks) and checked by the engine's own extraction, the source-failure count, the
// selection's text, the matcher, and the confirmation and source dialogs' rules.

#include <gtest/gtest.h>

#include "stavrintool/locator/ParamInfoModel.h"
#include "stavrintool/locator/PatternMatch.h"
#include "stavrintool/locator/SelectionScript.h"
#include "stavrintool/locator/VersionLocator.h"
#include "templates/RuleEvaluator.h"

namespace {

// Pages are written with LF; each case runs once so and once with CR LF.
const char* const kHead =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\n"
    "<title>状态信息</title></head><body>\n"
    "<table class=\"menu\"><tr><td>首页</td><td>状态</td></tr></table>\n";
const char* const kTail = "</body></html>\n";

CString Page(const std::string& body, bool crlf) {
    std::string page = std::string(kHead) + body + kTail;
    if (crlf) {
        std::string converted;
        for (char c : page) {
            if (c == '\n')
                converted += '\r';
            converted += c;
        }
        page = converted;
    }
    return CString(page);
}

struct LocateCase {
    const char* name;
    std::string body;
    CString version; // as the selection gives it
    int code;        // 0: located
    CString spelled; // the version as the source writes it; empty: no locator
};

const LocateCase kLocateCases[] = {
    {"InACell",
     "<table class=\"status\">\n<tr><td>设备型号</td><td>DSL-100</td></tr>\n<tr><td>软件版本</td>\n"
     "    <td>V1.2.3</td></tr>\n<tr><td>硬件版本</td><td>V1.2.3B</td></tr>\n</table>\n",
     "V1.2.3", 0, "V1.2.3"},
    {"InTheInnerOfNestedTables",
     "<table><tr><td>设备型号</td><td>DSL-100</td></tr>\n<tr><td>软件版本</td><td>\n"
     "<table><tr><td>V2.0.3</td></tr></table>\n</td></tr></table>\n",
     "V2.0.3", 0, "V2.0.3"},
    {"BehindNbsp", "<table><tr><td>软件版本</td><td>&nbsp;V1.2.3&nbsp;Build&nbsp;5</td></tr></table>\n",
     "V1.2.3 Build 5", 0, "V1.2.3&nbsp;Build&nbsp;5"},
    {"WithAmpersandAndLessThan", "<table><tr><td>软件版本</td><td>R&amp;D&lt;1.0&gt;</td></tr></table>\n",
     "R&D<1.0>", 0, "R&amp;D&lt;1.0&gt;"},
    {"InAScriptStatement",
     "<script language=\"javascript\">\nvar model = \"DSL-100\";\nvar swver = \"V3.1.0\";\n"
     "document.write(swver);\n</script>\n",
     "V3.1.0", 0, "V3.1.0"},
    {"InATableOutsideAnyCell", "<table><tr><td>软件版本</td></tr>\nV1.2.3\n</table>\n", "V1.2.3",
     kLocateNotInTable, ""},
    {"Nowhere", "<table><tr><td>软件版本</td><td>V1.2.3</td></tr></table>\n", "V9.9.9", kLocateNotInSource,
     ""},
    {"InNeitherTableNorScript", "<p>软件版本 V1.2.3</p>\n", "V1.2.3", 0, ""},
};

class VersionLocatorTable : public ::testing::TestWithParam<std::tuple<LocateCase, bool>> {};

TEST_P(VersionLocatorTable, FindsTheVersionAndItsMarkersGiveItBack) {
    const auto& [c, crlf] = GetParam();
    const CString page = Page(c.body, crlf);
    if (c.code != 0) {
        try {
            VersionLocator::Analyse(page, c.version);
            FAIL() << "no failure";
        } catch (const LocateError& e) {
            EXPECT_EQ(e.Code(), c.code);
        }
        return;
    }
    const std::vector<LocatorRecord> locators = VersionLocator::Analyse(page, c.version);
    if (c.spelled.IsEmpty()) {
        EXPECT_TRUE(locators.empty());
        return;
    }
    ASSERT_FALSE(locators.empty());
    // Only the last marker pair has a tail; every line is a whole trimmed line.
    for (size_t i = 0; i + 1 < locators.size(); ++i)
        EXPECT_TRUE(locators[i].tail.IsEmpty()) << i;
    EXPECT_FALSE(locators.back().tail.IsEmpty());
    for (const LocatorRecord& l : locators) {
        EXPECT_EQ(l.head.Find('\n'), -1);
        EXPECT_EQ(l.head.Find('\r'), -1);
    }
    CString value;
    ASSERT_EQ(RuleEvaluator::ExtractValue(page, locators, "FALSE", value), 1);
    EXPECT_EQ(value, c.spelled);
}

INSTANTIATE_TEST_SUITE_P(VersionLocatorPages, VersionLocatorTable,
                         ::testing::Combine(::testing::ValuesIn(kLocateCases), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "CrLf" : "Lf");
                         });

TEST(VersionLocator, MarkersThatGiveAnotherTextThanTheVersionFail) {
    // The version breaks a line; the engine reads the page without line breaks, so the markers
    // give a non-empty text, but not the version as the source spells it.
    const CString page = Page("<table><tr><td>版本</td><td>V1.2\n.3</td></tr></table>\n", false);
    try {
        VersionLocator::Analyse(page, "V1.2\n.3");
        FAIL() << "no failure";
    } catch (const LocateError& e) {
        EXPECT_EQ(e.Code(), kLocateCheckFailed);
    }
}

TEST(VersionLocator, SourceFailuresGive126TwiceThen127AndASuccessStartsAgain) {
    SourceFailureCounter counter;
    int reloads = 0;
    auto attempt = [&](std::optional<std::string> kept) -> unsigned {
        try {
            PageSourceFromAnswer(kept, counter, [&] { ++reloads; });
            return 0;
        } catch (const LocateError& e) {
            return LocateFailureMessage(e.Code()).stringId;
        }
    };
    EXPECT_EQ(attempt(std::nullopt), 126u);
    EXPECT_EQ(attempt(std::nullopt), 126u);
    EXPECT_EQ(attempt(std::nullopt), 127u);
    EXPECT_EQ(attempt(std::nullopt), 127u);
    EXPECT_EQ(reloads, 2);
    EXPECT_EQ(attempt(std::string("<p>\tV1</p>")), 0u);
    EXPECT_EQ(attempt(std::nullopt), 126u);
    EXPECT_EQ(attempt(std::string("")), 127u); // an empty body is no source
    EXPECT_EQ(attempt(std::nullopt), 126u);
    EXPECT_EQ(attempt(std::nullopt), 127u);
    EXPECT_EQ(reloads, 4);

    SourceFailureCounter fresh;
    EXPECT_EQ(PageSourceFromAnswer(std::optional<std::string>("a\tb\t"), fresh, [] {}), "ab");
}

TEST(VersionLocator, MessagesOfTheCodesAndWhichShowTheSource) {
    const std::pair<int, LocateMessage> expected[] = {
        {-1, {121, false}}, {-2, {122, false}}, {-3, {123, false}}, {-4, {126, false}},
        {-5, {127, false}}, {-6, {124, true}},  {-7, {125, true}},  {-8, {0, false}},
    };
    for (const auto& [code, message] : expected) {
        EXPECT_EQ(LocateFailureMessage(code).stringId, message.stringId) << code;
        EXPECT_EQ(LocateFailureMessage(code).showSource, message.showSource) << code;
    }
    EXPECT_EQ(NoLocatorMessage("<p></p>").stringId, 120u);
    EXPECT_TRUE(NoLocatorMessage("<p></p>").showSource);
    EXPECT_FALSE(NoLocatorMessage("").showSource);
}

TEST(VersionLocator, SelectionIsTheFirstFrameWithTextTrimmedInTheDocumentsCharset) {
    CString version;
    const std::vector<FrameSelection> frames = {
        {"", "GBK", "http://192.168.1.1/top.htm"},
        {u8" \u00a0 ", "GBK", "http://192.168.1.1/menu.htm"},
        {u8"\u00a0 软件 V1.0\u00a0", "gb2312", "http://192.168.1.1/status.htm"},
        {u8"V2.0", "GBK", "http://192.168.1.1/other.htm"},
    };
    EXPECT_EQ(ChooseSelection(frames, version), 2u);
    EXPECT_EQ(version, "软件 V1.0");

    EXPECT_EQ(VersionTextOf({u8"  V1.2.3 ", "UTF-8", ""}), "V1.2.3");
    EXPECT_EQ(VersionTextOf({u8"软件", "UTF-8", ""}).str(), std::string(u8"软件"));
    EXPECT_EQ(VersionTextOf({u8"V1\U0001F600", "GBK", ""}), "V1?");

    try {
        ChooseSelection({{" ", "GBK", ""}}, version);
        FAIL() << "no failure";
    } catch (const LocateError& e) {
        EXPECT_EQ(e.Code(), kLocateNoSelection);
    }
}

TEST(VersionLocator, TheBrowsersAnswerGivesEveryDocumentInFrameOrder) {
    const std::vector<FrameSelection> frames = ParseSelections(
        "%20 GBK http%3A%2F%2F192.168.1.1%2Ftop.htm\n"
        "%C2%A0V1.0%20%E8%BD%AF%E4%BB%B6 gb2312 http%3A%2F%2F192.168.1.1%2Fs.htm%3Fa%3D1%25\n");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].text, " ");
    EXPECT_EQ(frames[1].text, std::string(u8"\u00a0V1.0 软件"));
    EXPECT_EQ(frames[1].charset, "gb2312");
    EXPECT_EQ(frames[1].url, "http://192.168.1.1/s.htm?a=1%");
    CString version;
    EXPECT_EQ(ChooseSelection(frames, version), 1u);
    EXPECT_EQ(version, "V1.0 软件");
    EXPECT_TRUE(ParseSelections("").empty());
}

TEST(VersionLocator, PagePathIsTheUrlsPathAndQuery) {
    EXPECT_EQ(PagePathOf("http://192.168.1.1/cgi-bin/status.cgi?page=1#top"), "/cgi-bin/status.cgi?page=1");
    EXPECT_EQ(PagePathOf("https://192.168.1.1:8443/status.htm"), "/status.htm");
    EXPECT_EQ(PagePathOf("http://192.168.1.1"), "/");
}

struct PatternCase {
    const char* pattern;
    const char* text;
    int start; // -1: no match
    int end;
};

TEST(PatternMatch, AbbreviationsGroupsAndTheFirstMatch) {
    const PatternCase cases[] = {
        {"\\a+", "--ab9-", 2, 5},
        {"x\\by", "x\ty", 0, 3},
        {"x\\by", "x y", 0, 3},
        {"\\c+", "12abC3", 2, 5},
        {"\\d+", "v12x", 1, 3},
        {"\\h+", "xyzBEEFg", 3, 7},
        {"a\\nb", "a\r\nb", 0, 4},
        {"a\\nb", "a\rb", 0, 3},
        {"a\\nb", "a\nb", 0, 3},
        {"\\q", "x=\"ab\"y", 2, 6},
        {"\\q", "x='c'", 2, 5},
        {"\\w", "12abc3", 2, 5},
        {"\\z", "ab123c", 2, 5},
        {"abc", "xABCabc", 4, 7}, // case counts
        {"{\\d+}\\.(\\d+)", "v1.22", 1, 5},
        {"a.c", "a\nc", 0, 3},
        {"[^0-9]+", "12ab3", 2, 4},
        {"版本\\d", "软件版本3", 4, 9},
        {"V\\d*\\.", "V2.0.3", 0, 3},
        {"V\\d*\\.", "V2.", 0, 3},
        {"V\\d*\\.", "2.0", -1, -1},
        {"a+?", "baaa", 1, 2}, // a repeat made lazy
        {"a\\+", "a+", 0, 2},
    };
    for (const PatternCase& c : cases) {
        PatternMatch match;
        ASSERT_TRUE(match.Compile(c.pattern)) << c.pattern;
        int start = -1, end = -1;
        EXPECT_EQ(match.Match(c.text, &start, &end), c.start >= 0) << c.pattern << " on " << c.text;
        if (c.start >= 0) {
            EXPECT_EQ(start, c.start) << c.pattern << " on " << c.text;
            EXPECT_EQ(end, c.end) << c.pattern << " on " << c.text;
        }
    }
}

TEST(PatternMatch, APatternWithoutATranslationDoesNotCompileAndMatchesNothing) {
    // A repeat of a repeat has no meaning: taken, it backtracked without end on a short text.
    for (const char* pattern : {"a!b", "{abc", "abc}", "[abc", "a\\", "(ab", "\\t", "*a", "a++", "\\d*+",
                                "a*?+", "{\\d*++++}\\.(\\d+)"}) {
        PatternMatch match;
        EXPECT_FALSE(match.Compile(pattern)) << pattern;
        EXPECT_FALSE(match.Match("a!b abc")) << pattern;
    }
}

TEST(ParamInfoDlg, IncludeValueRowsAndWhatOkStores) {
    ParamInfoModel model;
    model.SetVersion(VersionTextOf({"  V1.2.3 ", "GBK", ""}));
    model.SetLocators({{"<td>软件版本</td>", ""}, {"<td>", "</td>"}});
    model.Init();
    EXPECT_EQ(model.version, "V1.2.3");
    EXPECT_EQ(model.includeValue, "V1.");
    EXPECT_EQ(model.parameterName, "Firmware_Version");
    EXPECT_TRUE(model.keyword);
    EXPECT_EQ(ParamInfoModel::IncludeValueFor("V2."), "V2.");
    EXPECT_EQ(ParamInfoModel::IncludeValueFor("2.0"), "2.0");
    EXPECT_EQ(ParamInfoModel::IncludeValueFor("版本V10.4.1"), "版本V10.");

    ASSERT_EQ(model.Rows().size(), 2u);
    model.SelectRow(1);
    EXPECT_EQ(model.head, "<td>");
    EXPECT_EQ(model.tail, "</td>");
    model.SelectRow(5);
    EXPECT_EQ(model.head, "<td>");

    // An emptied box would make the rule hold for every text.
    model.includeValue = "";
    EXPECT_EQ(model.IncludeToStore(), "V1.2.3");
    EXPECT_EQ(RuleEvaluator::CompareByRule("INCLUDE", model.IncludeToStore(), "V2.0.0"), 0);
}

TEST(HtmlCodeDlg, LoneLineBreaksBecomeCrLf) {
    const std::pair<const char*, const char*> cases[] = {
        {"a\nb\n", "a\r\nb\r\n"}, {"a\rb", "a\r\nb"}, {"a\r\nb\nc", "a\r\nb\nc"},
        {"a\rb\nc", "a\rb\nc"},   {"abc", "abc"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(HtmlCodeText(in), out) << in;
}

} // namespace
