#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "templates/RuleEvaluator.h"
#include "templates/TemplateStore.h"

namespace {

using Locators = std::vector<LocatorRecord>;

ParameterRecord Parameter(const char* join, std::vector<RuleRecord> rules) {
    ParameterRecord p;
    p.joinWord = join;
    p.rules = std::move(rules);
    return p;
}

// Hands out fixed pages and counts every request, so the order and number of fetches show.
class CountingPages : public PageSource {
public:
    int FetchPage(const CString& page, CString& text) override {
        requests.push_back(page.str());
        auto found = pages.find(page.str());
        if (found == pages.end())
            return 0;
        text = found->second;
        return 1;
    }
    int Count(const std::string& page) const {
        int n = 0;
        for (const auto& r : requests)
            n += r == page;
        return n;
    }
    std::map<std::string, std::string> pages;
    std::vector<std::string> requests;
};

struct Key {
    const char* name;
    const char* page;
    const char* key;
    const char* head;
    const char* tail;
    const char* equal; // the value the rule wants; none when null
};

TerminalRecord* AddTerminal(TemplateStore& store, const char* id, std::vector<Key> keys) {
    auto t = std::make_unique<TerminalRecord>();
    t->id = id;
    t->name = id;
    t->authKind = "WEB";
    for (const Key& k : keys) {
        auto p = std::make_unique<ParameterRecord>();
        p->name = k.name;
        p->page = k.page;
        p->keyFlag = k.key;
        p->arraySpec = "FALSE";
        p->localLocators = {{k.head, k.tail}};
        p->joinWord = "AND";
        if (k.equal)
            p->rules = {{"EQUAL", k.equal, 0}};
        t->parameters.push_back(std::move(p));
    }
    store.Terminals().push_back(std::move(t));
    return store.Terminals().back().get();
}

TEST(RuleEvaluator, CompareByRuleComparesText) {
    struct Case {
        const char* op;
        const char* ref;
        const char* value;
        int expected;
    };
    const Case cases[] = {
        {"EQUAL", "V1.0", "V1.0", 1},     {"EQUAL", "V1.0", "v1.0", 0},
        {"MORE", "1.0", "1.0", 1},                                // at least
        {"LESS", "1.0", "1.0", 0},        {"MORE", "9", "10", 0}, // versions are text: "10" sorts before "9"
        {"LESS", "9", "10", 1},           {"LESS", "V2.1.9", "V2.1.10", 1},
        {"MORE", "V2.1.9", "V2.1.10", 0}, {"MORE", "\xB0\xE6", "\xB0\xE7", 1}, // GBK bytes are unsigned
        {"LESS", "z", "\xB0\xE6", 0},     {"NOT_EQUAL", "A", "B", 1},
        {"NOT_EQUAL", "A", "A", 0},       {"INCLUDE", "2.1", "RG100A_V2.1.3_CN", 1},
        {"INCLUDE", "", "anything", 1},   {"INCLUDE", "", "", 1},
        {"INCLUDE", "3.0", "V2.1", 0},    {"equal", "A", "A", 0}, // operator words are exact
        {"BETWEEN", "A", "A", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RuleEvaluator::CompareByRule(c.op, c.ref, c.value), c.expected)
            << c.op << " " << c.ref << " " << c.value;
}

TEST(RuleEvaluator, RuleListJoinsByWord) {
    const std::vector<RuleRecord> aOrB = {{"EQUAL", "A", 1}, {"EQUAL", "B", 2}};
    EXPECT_EQ(RuleEvaluator::EvaluateRuleList(Parameter("OR", aOrB), "B"), 1);
    EXPECT_EQ(RuleEvaluator::EvaluateRuleList(Parameter("OR", aOrB), "C"), 0);
    EXPECT_EQ(RuleEvaluator::EvaluateRuleList(Parameter("AND", aOrB), "A"), 0);
    EXPECT_EQ(RuleEvaluator::EvaluateRuleList(Parameter("AND", aOrB), "B"), 0);
    // "and" is not the word: a disjunction.
    EXPECT_EQ(RuleEvaluator::EvaluateRuleList(Parameter("and", aOrB), "A"), 1);
    const std::vector<RuleRecord> range = {{"MORE", "V1.2", 0}, {"LESS", "V1.5", 0}};
    EXPECT_EQ(RuleEvaluator::EvaluateRuleList(Parameter("AND", range), "V1.3"), 1);
    EXPECT_EQ(RuleEvaluator::EvaluateRuleList(Parameter("AND", range), "V1.6"), 0);
    // No rules: any value passes, code 0.
    EXPECT_EQ(RuleEvaluator::EvaluateRuleList(Parameter("AND", {}), "whatever"), 1);
    EXPECT_EQ(RuleEvaluator::GetEncodeCode(Parameter("AND", {}), "whatever"), 0);
}

TEST(RuleEvaluator, GetEncodeCodeFirstHoldingRuleOrSmallestFreeCode) {
    struct Case {
        std::vector<int> codes; // each an EQUAL rule on "c<code>"
        const char* value;
        int expected;
    };
    const Case cases[] = {
        {{0, 1, 3}, "c3", 3},    {{0, 1, 3}, "none", 2}, {{1, 0}, "none", 2},
        {{5, 6}, "none", 0},     {{7}, "c7", 7},         {{-1, 0}, "none", 1}, // -1 is 65535 as a 16-bit code
        {{65536, 1}, "none", 2},                                               // 65536 is 0 as a 16-bit code
        {{-5}, "c-5", -5}, // a code is handed back as stored
    };
    for (const Case& c : cases) {
        ParameterRecord p;
        for (int code : c.codes)
            p.rules.push_back({"EQUAL", ("c" + std::to_string(code)).c_str(), code});
        EXPECT_EQ(RuleEvaluator::GetEncodeCode(p, c.value), c.expected) << c.value;
    }
    // The first rule that holds wins even when a later one holds too.
    ParameterRecord p;
    p.rules = {{"INCLUDE", "V", 4}, {"EQUAL", "V1", 9}};
    EXPECT_EQ(RuleEvaluator::GetEncodeCode(p, "V1"), 4);
}

TEST(RuleEvaluator, ExtractBetweenAndSplitItem) {
    CString out;
    int start = -1;
    ASSERT_EQ(RuleEvaluator::ExtractBetween("abc", "", "", out, &start), 1);
    EXPECT_EQ(out, "abc");
    EXPECT_EQ(start, 0);
    ASSERT_EQ(RuleEvaluator::ExtractBetween("<td>Version: V1.2<br>", "Version:", "<", out, &start), 1);
    EXPECT_EQ(out, " V1.2"); // the blank stays here; ExtractValue trims it
    EXPECT_EQ(start, 12);
    ASSERT_EQ(RuleEvaluator::ExtractBetween("x=1;y=2", "y=", "", out), 1);
    EXPECT_EQ(out, "2");
    // The tail is searched behind the head only.
    EXPECT_EQ(RuleEvaluator::ExtractBetween("</b> <b>V1", "<b>", "</b>", out), 0);
    EXPECT_EQ(RuleEvaluator::ExtractBetween("abc", "x", "", out), 0);
    // Head and tail that overlap: the tail must start behind the whole head.
    EXPECT_EQ(RuleEvaluator::ExtractBetween("aXa", "aXa", "a", out), 0);

    EXPECT_EQ(RuleEvaluator::SplitItem(";a;;b;", ";", 0), "a");
    EXPECT_EQ(RuleEvaluator::SplitItem(";a;;b;", ";", 1), "b");
    EXPECT_EQ(RuleEvaluator::SplitItem(";a;;b;", ";", 2), "");
    EXPECT_EQ(RuleEvaluator::SplitItem("a;b", ";", -1), "");
    EXPECT_EQ(RuleEvaluator::SplitItem("a,b c", ", ", 2), "c");
    EXPECT_EQ(RuleEvaluator::SplitItem("", ";", 0), "");
}

TEST(RuleEvaluator, ExtractValueTable) {
    // Two tables with rows of the same markers; GBK labels, &nbsp; and line breaks as modems write them.
    const CString page =
        "  <html>\r\n<table id=lan>\r\n\t<tr><td>\xB0\xE6\xB1\xBE</td><td>LAN-9</td></tr>\r\n"
        "</table>\n<table id=wan>\r\n<tr><td>\xB0\xE6\xB1\xBE</td><td> V2.1&nbsp;</td></tr>\r\n"
        "<tr><td>MAC</td><td>00:11</td></tr>\r\n<tr><td>MTU</td><td>1492</td></tr></table>\r\n";
    const LocatorRecord wanTable{"<table id=wan>", "</table>"};
    const LocatorRecord versionRow{"<td>\xB0\xE6\xB1\xBE</td><td>", "&nbsp;</td>"};
    const LocatorRecord cell{"<td>", "</td>"};
    struct Case {
        const char* what;
        Locators locators;
        const char* spec;
        int ok;
        const char* value;
    };
    const Case cases[] = {
        {"row of the second table", {wanTable, versionRow}, "FALSE", 1, "V2.1"},
        {"first match of the page", {{"<td>\xB0\xE6\xB1\xBE</td><td>", "</td>"}}, "FALSE", 1, "LAN-9"},
        {"empty head", {{"", "<table"}}, "FALSE", 1, "<html>"},
        {"empty tail", {{"<td>MTU</td><td>", ""}}, "FALSE", 1, "1492</td></tr></table>"},
        {"missing marker", {wanTable, {"<td>SSID", "</td>"}}, "FALSE", 0, ""},
        {"no locators", {}, "FALSE", 0, ""},
        {"cells joined", {wanTable, cell}, "0", 1, "\xB0\xE6\xB1\xBE;V2.1&nbsp;;MAC;00:11;MTU;1492"},
        // The items are split at every ";", so the one of "&nbsp;" splits an item too.
        {"second cell", {wanTable, cell}, "2", 1, "V2.1&nbsp"},
        {"last cell", {wanTable, cell}, "6", 1, "1492"},
        {"beyond the cells", {wanTable, cell}, "7", 1, ""},
        {"spec with a tail of text", {wanTable, cell}, "4,1", 1, "00:11"},
        {"negative spec keeps the list",
         {wanTable, {"<tr><td>", "</td>"}},
         "-1",
         1,
         "\xB0\xE6\xB1\xBE;MAC;MTU"},
        // Row then cell: the first cell of each row.
        {"row then cell", {wanTable, {"<tr>", "</tr>"}, cell}, "0", 1, "\xB0\xE6\xB1\xBE;MAC;MTU"},
        // A row without the inner marker ends the passes.
        {"row then missing cell", {wanTable, {"<tr>", "</tr>"}, {"<td>M", "</td>"}}, "0", 0, ""},
        {"array with one locator", {wanTable}, "0", 0, ""},
        {"array block missing", {{"<table id=dsl>", "</table>"}, cell}, "0", 0, ""},
        {"array cell missing", {wanTable, {"<th>", "</th>"}}, "0", 0, ""},
        // Inner locators without markers must end, not loop for ever.
        {"empty inner locators",
         {wanTable, {"", ""}},
         "0",
         1,
         "<tr><td>\xB0\xE6\xB1\xBE</td><td> V2.1&nbsp;</td></tr>"
         "<tr><td>MAC</td><td>00:11</td></tr><tr><td>MTU</td>"
         "<td>1492</td></tr>"},
        {"empty inner head only", {wanTable, {"", "</tr>"}}, "3", 1, "<tr><td>MAC</td><td>00:11</td>"},
        {"empty inner tail only", {wanTable, {"<td>MTU</td>", ""}}, "0", 1, "<td>1492</td></tr>"},
    };
    for (const Case& c : cases) {
        CString value = "stale";
        EXPECT_EQ(RuleEvaluator::ExtractValue(page, c.locators, c.spec, value), c.ok) << c.what;
        EXPECT_EQ(value, c.value) << c.what;
    }
}

TEST(RuleEvaluator, ExtractValueEndsOnBlocksOfNothing) {
    CString value;
    EXPECT_EQ(RuleEvaluator::ExtractValue("<a></a>", {{"<a>", "</a>"}, {"", ""}}, "0", value), 0);
    EXPECT_EQ(value, "");
    EXPECT_EQ(RuleEvaluator::ExtractValue("", {{"", ""}, {"", ""}}, "0", value), 0);
    EXPECT_EQ(RuleEvaluator::ExtractValue("x", {{"", ""}, {"", ""}, {"", ""}}, "0", value), 1);
    EXPECT_EQ(value, "x");
}

TEST(RuleEvaluator, ValuesAreHeldPerEvaluatorNotInTheRecords) {
    TemplateStore store;
    TerminalRecord* t = AddTerminal(store, "A", {{"Version", "/s.htm", "TRUE", "v=", ";", "1"}});
    store.BuildParameterIndex();
    RuleEvaluator first, second;
    ASSERT_EQ(first.ReadParameters({{"/s.htm", "v=1;"}}, *t, 1), 1);
    ASSERT_EQ(second.ReadParameters({{"/s.htm", "v=2;"}}, *t, 1), 1);
    const ParameterRecord& p = *t->parameters[0];
    EXPECT_EQ(first.GetValue(p), "1");
    EXPECT_EQ(second.GetValue(p), "2");
    EXPECT_EQ(first.CheckParameters(*t, 1), 1);
    EXPECT_EQ(second.CheckParameters(*t, 1), 0);
    // A page that no longer holds the value leaves no stale value behind.
    EXPECT_EQ(first.ReadParameters({{"/s.htm", "nothing"}}, *t, 1), 0);
    EXPECT_EQ(first.GetValue(p), "");
}

TEST(RuleEvaluator, ReadAndCheckSelectByMode) {
    TemplateStore store;
    TerminalRecord* t = AddTerminal(store, "A",
                                    {{"Model", "/a.htm", "TRUE", "m=", ";", "X"},
                                     {"Serial", "/b.htm", "FALSE", "s=", ";", "S1"},
                                     {"Odd", "/a.htm", "MAYBE", "o=", ";", "O"}});
    store.BuildParameterIndex();
    RuleEvaluator e;
    RuleEvaluator::PageMap pages = {{"/a.htm", "m=X;o=O;"}};
    // Mode 1 reads the key and the odd flag; the non-key page is not needed.
    EXPECT_EQ(e.ReadParameters(pages, *t, 1), 1);
    EXPECT_EQ(e.CheckParameters(*t, 1), 1);
    EXPECT_EQ(e.GetValue(*t->parameters[1]), "");
    // Mode 0 without the non-key page: that one is empty, the odd flag is read again.
    EXPECT_EQ(e.ReadParameters(pages, *t, 0), 0);
    EXPECT_EQ(e.CheckParameters(*t, 0), 0);
    pages["/b.htm"] = "s=S1;";
    EXPECT_EQ(e.ReadParameters(pages, *t, 0), 1);
    EXPECT_EQ(e.CheckParameters(*t, 0), 1);
    EXPECT_EQ(e.GetValue(*t->parameters[1]), "S1");
    // English locators are tried when the local ones miss.
    t->parameters[0]->englishLocators = {{"Model:", ";"}};
    EXPECT_EQ(e.ReadParameters({{"/a.htm", "Model:X;o=O;"}}, *t, 1), 1);
    EXPECT_EQ(e.GetValue(*t->parameters[0]), "X");
}

TEST(RuleEvaluator, PageMostCandidatesNeedIsFetchedFirst) {
    TemplateStore store;
    // A and B need pages /a and /b; C needs /b only. Only C matches.
    TerminalRecord* a =
        AddTerminal(store, "A", {{"K1", "/a", "TRUE", "a=", ";", "A"}, {"K2", "/b", "TRUE", "b=", ";", "A"}});
    TerminalRecord* b =
        AddTerminal(store, "B", {{"K1", "/a", "TRUE", "a=", ";", "B"}, {"K2", "/b", "TRUE", "b=", ";", "B"}});
    TerminalRecord* c = AddTerminal(store, "C", {{"K", "/b", "TRUE", "b=", ";", "C"}});
    store.BuildParameterIndex();
    RuleEvaluator::TerminalList candidates = {a, b, c};
    EXPECT_EQ(RuleEvaluator::ChooseNextPage(candidates, {}), "/b");
    EXPECT_EQ(RuleEvaluator::ChooseNextPage(candidates, {"/b"}), "/a");
    EXPECT_EQ(RuleEvaluator::ChooseNextPage(candidates, {"/a", "/b"}), "");

    CountingPages source;
    source.pages = {{"/a", "a=X;"}, {"/b", "b=C;"}};
    RuleEvaluator e;
    e.SetConnection(&source);
    RuleEvaluator::PageMap pages;
    EXPECT_EQ(e.IdentifyAmong(candidates, pages), c);
    // C is judged as soon as /b is at hand: /a is never fetched.
    EXPECT_EQ(source.requests, (std::vector<std::string>{"/b"}));
}

TEST(RuleEvaluator, IdentifyAmongFetchesEachPageOnce) {
    TemplateStore store;
    TerminalRecord* a = AddTerminal(
        store, "A", {{"K1", "/gone", "TRUE", "g=", ";", "A"}, {"K2", "/s", "TRUE", "s=", ";", "A"}});
    TerminalRecord* b = AddTerminal(store, "B", {{"K", "/gone", "TRUE", "g=", ";", "B"}});
    TerminalRecord* c = AddTerminal(store, "C",
                                    {{"K", "/s", "TRUE", "s=", ";", "C"},
                                     {"Version", "/v", "FALSE", "v=", ";", nullptr},
                                     {"Status", "/s", "FALSE", "st=", ";", nullptr},
                                     {"Lost", "/gone", "FALSE", "l=", ";", nullptr}});
    store.BuildParameterIndex();
    CountingPages source;
    // "/gone" fails (most candidates need it, so it is asked for first).
    source.pages = {{"/s", "s=C;st=up;"}, {"/v", "v=3.1;"}};
    RuleEvaluator e;
    e.SetConnection(&source);
    RuleEvaluator::PageMap pages;
    TerminalRecord* found = e.IdentifyAmong({a, b, c}, pages);
    ASSERT_EQ(found, c);
    EXPECT_EQ(source.requests, (std::vector<std::string>{"/gone", "/s"}));

    e.ReadRemainingParameters(*c, pages);
    for (const char* page : {"/s", "/v", "/gone"})
        EXPECT_LE(source.Count(page), 2) << page;
    EXPECT_EQ(source.Count("/s"), 1);
    EXPECT_EQ(source.Count("/v"), 1);
    EXPECT_EQ(e.GetValue(*c->parameters[1]), "3.1");
    EXPECT_EQ(e.GetValue(*c->parameters[2]), "up");
    EXPECT_EQ(e.GetValue(*c->parameters[3]), "");
    // A second read over the same map fetches only what is still missing.
    size_t before = source.requests.size();
    e.ReadRemainingParameters(*c, pages);
    EXPECT_EQ(source.requests.size(), before + 1);
    EXPECT_EQ(source.requests.back(), "/gone");
}

// A judged before its second page is at hand is judged again once that page came in for B.
TEST(RuleEvaluator, SurvivorsAreJudgedAgainOnMorePages) {
    TemplateStore store;
    TerminalRecord* a =
        AddTerminal(store, "A", {{"K", "/a", "TRUE", "a=", ";", "A"}, {"Odd", "/b", "", "b=", ";", "A"}});
    TerminalRecord* d = AddTerminal(store, "D", {{"K", "/a", "TRUE", "a=", ";", "D"}});
    TerminalRecord* b = AddTerminal(store, "B", {{"K", "/b", "TRUE", "b=", ";", "B"}});
    store.BuildParameterIndex();
    CountingPages source;
    source.pages = {{"/a", "a=A;"}, {"/b", "b=A;"}};
    RuleEvaluator e;
    e.SetConnection(&source);
    RuleEvaluator::PageMap pages;
    EXPECT_EQ(e.IdentifyAmong({a, d, b}, pages), a);
    EXPECT_EQ(source.requests, (std::vector<std::string>{"/a", "/b"}));
}

TEST(RuleEvaluator, IdentifyAmongWithoutMatch) {
    TemplateStore store;
    TerminalRecord* a = AddTerminal(store, "A", {{"K", "/a", "TRUE", "a=", ";", "A"}});
    TerminalRecord* b = AddTerminal(store, "B", {{"K", "/b", "TRUE", "b=", ";", "B"}});
    store.BuildParameterIndex();
    CountingPages source;
    source.pages = {{"/a", "a=Z;"}, {"/b", "nothing here"}};
    RuleEvaluator e;
    e.SetConnection(&source);
    RuleEvaluator::PageMap pages;
    EXPECT_EQ(e.IdentifyAmong({a, b}, pages), nullptr);
    EXPECT_EQ(source.requests.size(), 2u);
    // No connection: nothing can be fetched, nothing matches.
    RuleEvaluator alone;
    RuleEvaluator::PageMap empty;
    EXPECT_EQ(alone.IdentifyAmong({a, b}, empty), nullptr);
}

TEST(RuleEvaluator, FilterCandidatesKeepsThoseWithAllKeyPages) {
    TemplateStore store;
    TerminalRecord* a = AddTerminal(
        store, "A", {{"K1", "/a", "TRUE", "", "", nullptr}, {"K2", "/b", "TRUE", "", "", nullptr}});
    TerminalRecord* b = AddTerminal(store, "B", {{"K", "/b", "TRUE", "", "", nullptr}});
    TerminalRecord* none = AddTerminal(store, "N", {{"V", "/v", "FALSE", "", "", nullptr}});
    store.BuildParameterIndex();
    RuleEvaluator::PageMap pages = {{"/b", ""}};
    EXPECT_EQ(RuleEvaluator::FilterCandidates({a, b, none}, pages), (RuleEvaluator::TerminalList{b, none}));
    pages["/a"] = "";
    EXPECT_EQ(RuleEvaluator::FilterCandidates({a, b, none}, pages),
              (RuleEvaluator::TerminalList{a, b, none}));
    std::vector<CString> ids = {"A"};
    EXPECT_EQ(RuleEvaluator::FilterCandidates({a, b, none}, pages, &ids), (RuleEvaluator::TerminalList{a}));
}

} // namespace

TEST(RuleEvaluator, MarkersAndIncludeMatchOnlyAtCharacterBoundaries) {
    // "版本" is B0 E6 B1 BE: E6 B1 is a trail byte and the next lead byte, no character of it.
    // In 81 40 the ASCII "@" is a trail byte.
    struct Case {
        const char* what;
        std::string text, head, tail;
        int ok;
        std::string value;
    } cases[] = {
        {"head across two characters", "\xB0\xE6\xB1\xBE:1<", "\xE6\xB1", "<", 0, ""},
        {"head on the characters", "\xB0\xE6\xB1\xBE:1<", "\xB0\xE6\xB1\xBE:", "<", 1, "1"},
        {"head that is a trail byte first", "\x81@@x<", "@", "<", 1, "x"},
        {"tail that is only a trail byte", "A\xB1\xBE<", "A", "\xBE", 0, ""},
        {"tail after a double-byte character", "A\xB1\xBE\xBE<", "A", "\xBE", 1, "\xB1\xBE"},
        {"tail behind the characters", "A\xB1\xBEZ<", "A", "Z", 1, "\xB1\xBE"},
        // A zero byte inside a marker is part of it.
        {"zero byte in the head", std::string("a\0cBAD<a\0bGOOD<", 15), std::string("a\0b", 3), "<", 1,
         "GOOD"},
    };
    for (const Case& c : cases) {
        CString out = "stale";
        EXPECT_EQ(RuleEvaluator::ExtractBetween(CString(c.text), CString(c.head), CString(c.tail), out), c.ok)
            << c.what;
        if (c.ok) {
            EXPECT_EQ(out.str(), c.value) << c.what;
        }
    }
    EXPECT_EQ(RuleEvaluator::CompareByRule("INCLUDE", "\xE6\xB1", "\xB0\xE6\xB1\xBE"), 0);
    EXPECT_EQ(RuleEvaluator::CompareByRule("INCLUDE", "\xB1\xBE", "\xB0\xE6\xB1\xBE"), 1);
    EXPECT_EQ(RuleEvaluator::CompareByRule("INCLUDE", "@", "\x81@"), 0);
    EXPECT_EQ(RuleEvaluator::CompareByRule("INCLUDE", "@", "\x81@@"), 1);
    EXPECT_EQ(RuleEvaluator::CompareByRule("INCLUDE", "", "\xB0\xE6"), 1);
    // The array path searches the same way: a cell marker inside a character is no cell.
    CString value;
    EXPECT_EQ(RuleEvaluator::ExtractValue("<t>\x81@x;@y;</t>", {{"<t>", "</t>"}, {"@", ";"}}, "0", value), 1);
    EXPECT_EQ(value, "y");
}

TEST(RuleEvaluator, ArrayExtractionTimeGrowsWithThePageNotItsSquare) {
    // 4 MiB of cells; a pass that copied the rest of the block would take minutes here.
    std::string cells;
    for (int i = 0; cells.size() < (4u << 20); ++i)
        cells += "<td>" + std::to_string(i) + "</td>";
    const CString page = CString("<table>" + cells + "</table>");
    CString value;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(RuleEvaluator::ExtractValue(page, {{"<table>", "</table>"}, {"<td>", "</td>"}}, "0", value), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(value.str().substr(0, 6), "0;1;2;");
}
