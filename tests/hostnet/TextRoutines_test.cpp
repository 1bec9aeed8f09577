// PCInfo's text routines and the parsers of the media-status tools' "/all" listings, on
// fixture listings and through a tool script run from the program directory.

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "hostnet/pellar/ItemNames.h"
#include "hostnet/pellar/PCInfo.h"
#include "platform/files/ProgramDirectory.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<std::string> Strings(const CStringArray& array) {
    std::vector<std::string> out;
    for (int i = 0; i < array.GetSize(); ++i)
        out.push_back(array[i].str());
    return out;
}

CStringArray Array(std::initializer_list<const char*> texts) {
    CStringArray array;
    for (const char* text : texts)
        array.Add(text);
    return array;
}

struct Card {
    int connected;
    std::string mac;
    int dhcp;
    std::string name;
    bool operator==(const Card&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Card& c) {
    return out << "{" << c.connected << "," << c.mac << "," << c.dhcp << "," << c.name << "}";
}

std::vector<Card> Cards(const MediaStatusStruct* records, int count) {
    std::vector<Card> cards;
    for (int i = 0; i < count; ++i)
        cards.push_back({records[i].connected, records[i].mac.str(), records[i].dhcp, records[i].name.str()});
    return cards;
}

const char kHeading2000[] = "\r\nWindows IP Configuration\r\n\r\n"
                            "        Host Name . . . . . . . . . . . . : bench\r\n"
                            "        Primary Dns Suffix  . . . . . . . : \r\n"
                            "        Node Type . . . . . . . . . . . . : Hybrid\r\n"
                            "        IP Routing Enabled. . . . . . . . : No\r\n"
                            "        WINS Proxy Enabled. . . . . . . . : No\r\n\r\n";

const char kEnglish2000[] = "Ethernet adapter Local Area Connection:\r\n\r\n"
                            "        Media State . . . . . . . . . . . : Media disconnected\r\n"
                            "        Description . . . . . . . . . . . : Intel(R) PRO/100\r\n"
                            "        Physical Address. . . . . . . . . : 00-0C-29-AA-BB-CC\r\n\r\n"
                            "Ethernet adapter LAN 2:\r\n\r\n"
                            "        Description . . . . . . . . . . . : Realtek RTL8139\r\n"
                            "        Physical Address. . . . . . . . . : 00-0C-29-DD-EE-FF\r\n"
                            "        Dhcp Enabled. . . . . . . . . . . : Yes\r\n";

const char kHeading98[] = "\r\nWindows 98 IP Configuration\r\n\r\n"
                          "        Host Name . . . . . . . . . : BENCH\r\n"
                          "        DNS Servers . . . . . . . . : \r\n\r\n";

class TextRoutines : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirectory((dir.str() + "/").c_str());
        testsupport::WriteFileBytes(dir / "log.debug", "");
    }
    void TearDown() override {
        pellar::SetMessagePoster(nullptr);
        platform::SetProgramDirectory("");
    }
    bool Logged(const std::string& line) const {
        return testsupport::ReadFileBytes(dir / "info.log").find(line) != std::string::npos;
    }
    // A media tool in the program directory that prints the listing for "/all".
    void InstallTool(const std::string& name, const std::string& listing) {
        testsupport::WriteFileBytes(dir / (name + ".txt"), listing);
        testsupport::WriteFileBytes(dir / name, "#!/bin/sh\n[ \"$1\" = /all ] && cat \"$0.txt\"\n");
        std::filesystem::permissions(dir / name, std::filesystem::perms::owner_all);
    }

    testsupport::TempDir dir;
    PCInfo info;
    MediaStatusStruct records[PCInfo::kMaxCards];
};

TEST_F(TextRoutines, LinesAndWords) {
    struct RidCase {
        const char* text;
        int n;
        int result;
        const char* left;
    } rids[] = {
        {"a\nb\nc", 1, 1, "b\nc"}, {"  a\r\n\r\n\r\n  b  \r\n", 1, 1, "b"},
        {"a\nb", 2, 0, "b"},       {"a\nb\nc", 2, 1, "c"},
        {"one", 1, 0, "one"},      {"", 0, 0, ""},
        {"  x  ", 0, 1, "x"},
    };
    for (const RidCase& c : rids) {
        CString text = c.text;
        EXPECT_EQ(info.GetRidOfLine(text, c.n), c.result) << c.text;
        EXPECT_EQ(text.str(), c.left) << c.text;
    }

    struct WordsCase {
        const char* text;
        int result;
        const char* words;
        const char* rest;
        const char* left;
    } words[] = {
        {"ethernet adapter local area connection:\r\nnext", 1, "ethernet adapter",
         "local area connection:", "next"},
        {"  one two  \n", 0, "", "", ""},
        {"one two three", 1, "one two", "three", ""},
        {"   \r\n ", -1, "", "", ""},
        {"solo\nethernet adapter x:", 0, "", "", "ethernet adapter x:"},
    };
    for (const WordsCase& c : words) {
        CString text = c.text, first = "old", rest = "old";
        EXPECT_EQ(info.GetFirstTwoWords(text, first, rest), c.result) << c.text;
        EXPECT_EQ(first.str(), c.words) << c.text;
        EXPECT_EQ(rest.str(), c.rest) << c.text;
        EXPECT_EQ(text.str(), c.left) << c.text;
    }

    struct NameCase {
        const char* block;
        const char* name;
    } names[] = {
        {"ethernet adapter local area connection:\r\n  media state : x\r\n", "local area connection"},
        {"  description . . : intel\r\n", ""},
        {"ethernet adapter first:\r\nethernet adapter second one :\r\n", "second one"},
        {"ethernet adapter :x\r\n", ""},
        {"ppp adapter dial:\r\n", ""},
    };
    for (const NameCase& c : names) {
        CString name = "old";
        info.GetConnectionName2000(c.block, name);
        EXPECT_EQ(name.str(), c.name) << c.block;
    }

    struct IndexCase {
        const char* name;
        const char* left;
    } indexes[] = {{"[00000007] Intel(R) PRO/1000", "Intel(R) PRO/1000"},
                   {"Intel(R) PRO/1000", "Intel(R) PRO/1000"},
                   {"[7 Intel", "[7 Intel"},
                   {"]x", "]x"},
                   {"[1] [2] b", "[2] b"}};
    for (const IndexCase& c : indexes) {
        CString name = c.name;
        info.GetRidIndexOfName(name);
        EXPECT_EQ(name.str(), c.left) << c.name;
    }
}

TEST_F(TextRoutines, NameSearchAndAddressLists) {
    CStringArray lines =
        Array({"Realtek RTL8139 Family PCI Fast Ethernet NIC", "Intel(R) PRO/1000 MT Network",
               "Intel(R) PRO/1000 MT Desktop Adapter", "Ethernet Adapter"});
    struct SearchCase {
        const char* name;
        int index;
    } searches[] = {{"  Intel(R) PRO/1000 MT Desktop Adapter ", 2},
                    {"intel(r) pro/1000", 1},
                    {"Realtek Ethernet", 0},
                    {"Ethernet Adapter", -1},
                    {"Broadcom", -1}};
    for (const SearchCase& c : searches)
        EXPECT_EQ(info.IntellSearchName(lines, const_cast<char*>(c.name)), c.index) << c.name;
    CStringArray empty;
    EXPECT_EQ(info.IntellSearchName(empty, const_cast<char*>("Intel")), -1);

    struct SplitCase {
        const char* list;
        std::vector<std::string> out;
    } splits[] = {{"[0.0.0.0][192.168.1.2]", {"192.168.1.2"}},
                  {"n/a", {}},
                  {"N/A", {}},
                  {"", {}},
                  {"[10.0.0.1][10.0.0.2][0.0.0.0]", {"10.0.0.1", "10.0.0.2"}},
                  {"[10.0.0.1][10.0.", {"10.0.0.1"}}};
    for (const SplitCase& c : splits) {
        CStringArray out = Array({"stale"});
        EXPECT_EQ(info.SplitIpAddress(c.list, out), static_cast<int>(c.out.size())) << c.list;
        EXPECT_EQ(Strings(out), c.out) << c.list;
    }

    CStringArray used = Array({"192.168.1.1", "192.168.1.20"});
    EXPECT_EQ(info.IsValidIpAddress("192.168.1.20", used), 0);
    EXPECT_EQ(info.IsValidIpAddress("192.168.1.2", used), 1);

    CStringArray sources = Array({"kept"});
    EXPECT_EQ(info.GetSourceIpAddress(const_cast<char*>(" 192.168.1.1 ,10.0.0.1,, 172.16.0.1"), sources), 1);
    EXPECT_EQ(Strings(sources), (std::vector<std::string>{"kept", "192.168.1.1", "10.0.0.1", "172.16.0.1"}));
    EXPECT_TRUE(Logged("GetSourceIpAddress \r\n\t192.168.1.1\r\n\t10.0.0.1\r\n\t172.16.0.1"));

    struct MaskCase {
        const char* ips;
        const char* masks;
        const char* ip;
        const char* mask;
    } masks[] = {{"192.168.1.5,192.168.1.77", "255.255.255.0,255.255.0.0", "192.168.1.5", "255.255.255.0"},
                 {"10.0.0.1", "255.0.0.0", "10.0.0.1", "255.0.0.0"},
                 {"", ",255.0.0.0", "", ""}};
    for (const MaskCase& c : masks) {
        CString ip, mask;
        info.DeleteIpMask98(const_cast<char*>(c.ips), const_cast<char*>(c.masks), ip, mask);
        EXPECT_EQ(ip.str(), c.ip);
        EXPECT_EQ(mask.str(), c.mask);
    }

    // The addresses in use on the kept cards: addresses, gateways, DNS servers, DHCP server.
    auto item = [](const char* name) {
        return pellar::kNetAdapterItemCount +
               PCInfo::SearchItemIndex(pellar::NetConfigItems, pellar::kNetConfigItemCount, name);
    };
    for (int card = 0; card < 2; ++card)
        for (int i = 0; i < pellar::kCardItemCount; ++i)
            info.m_NetCardInfo[card].Add("N/A");
    info.m_NetCardCount = 2;
    info.m_NetCardInfo[0].SetAt(item("IPAddress"), "[192.168.1.5][0.0.0.0]");
    info.m_NetCardInfo[0].SetAt(item("DefaultIPGateway"), "[192.168.1.1]");
    info.m_NetCardInfo[0].SetAt(item("DHCPServer"), "192.168.1.1");
    info.m_NetCardInfo[1].SetAt(item("IPAddress"), "[10.0.0.2]");
    info.m_NetCardInfo[1].SetAt(item("DNSServerSearchOrder"), "[10.0.0.53][10.0.0.54]");
    CStringArray inUse;
    info.GetNetCardUsedIpAddress(inUse);
    EXPECT_EQ(Strings(inUse), (std::vector<std::string>{"192.168.1.5", "192.168.1.1", "192.168.1.1",
                                                        "10.0.0.2", "10.0.0.53", "10.0.0.54"}));
}

TEST_F(TextRoutines, Windows2000Listings) {
    struct Case {
        const char* what;
        std::string listing;
        std::vector<Card> cards;
        const char* logged;
    } cases[] = {
        {"english",
         std::string(kHeading2000) + kEnglish2000,
         {{0, "00:0c:29:aa:bb:cc", 0, "local area connection"}, {1, "00:0c:29:dd:ee:ff", 0, "lan 2"}},
         "GetMediaStatus2000 Find Card:2"},
        {"no heading",
         std::string(kHeading2000) + "        Physical Address. . . : 00-0C-29-11-22-33\r\n        x : y\r\n",
         {{1, "00:0c:29:11:22:33", 0, ""}},
         nullptr},
        {"no physical address",
         std::string(kHeading2000) + "Ethernet adapter LAN:\r\n   Description : x\r\n",
         {},
         "GetMediaStatus2000 Find Card:0"},
        {"no colon",
         std::string(kHeading2000) +
             "Ethernet adapter A:\r\n  Physical Address. . . 00-0C-29-AA-BB-CC\r\n"
             "Ethernet adapter B:\r\n  Physical Address. . . : 00-0C-29-DD-EE-FF\r\n  x\r\n",
         {{1, "", 0, "a"}, {1, "00:0c:29:dd:ee:ff", 0, "b"}},
         "[RLog]===>GetMediaStatus2000 ddress. . . 00-0c-29-aa-bb-cc"},
        {"no line end",
         std::string(kHeading2000) + "Ethernet adapter A:\r\n  Physical Address. . . : 00-0C-29-AA",
         {{1, "", 0, "a"}},
         "[RLog]===>GetMediaStatus2000 ddress. . . : 00-0c-29-aa, "},
    };
    for (const Case& c : cases) {
        int count = info.ParseMediaStatus2000(c.listing.c_str(), records);
        EXPECT_EQ(Cards(records, count), c.cards) << c.what;
        if (c.logged)
            EXPECT_TRUE(Logged(c.logged)) << c.what;
    }
}

TEST_F(TextRoutines, Windows98Listings) {
    struct Case {
        const char* what;
        std::string listing;
        std::vector<Card> cards;
    } cases[] = {
        {"english",
         std::string(kHeading98) + "0 Ethernet adapter :\r\n\r\n"
                                   "        Description . . . . : PPP Adapter.\r\n"
                                   "        Physical Address. . : 44-45-53-54-00-00\r\n"
                                   "        DHCP Enabled. . . . : YES\r\n"
                                   "        IP Address. . . . . : 0.0.0.0\r\n\r\n"
                                   "1 Ethernet adapter :\r\n\r\n"
                                   "        Description . . . . : Realtek\r\n"
                                   "        Media State . . . . : Cable Disconnected\r\n"
                                   "        Physical Address. . : 00-E0-4C-01-02-03\r\n"
                                   "        DHCP Enabled. . . . : No\r\n"
                                   "        IP Address. . . . . : 192.168.1.5\r\n",
         {{1, "44:45:53:54:00:00", 1, ""}, {0, "00:e0:4c:01:02:03", 0, ""}}},
        {"spanish",
         std::string(kHeading98) + "0 Ethernet adaptador :\r\n\r\n"
                                   "        Estado del medio. . : Cable desconectado\r\n"
                                   "        Direcci\xa2n f\xa1sica. . : 00-E0-4C-0A-0B-0C\r\n"
                                   "        DHCP habilitado . . : S\xa1\r\n\r\n"
                                   "1 Ethernet adaptador :\r\n\r\n"
                                   "        Direcci\xa2n f\xa1sica. . : 00-E0-4C-0D-0E-0F\r\n"
                                   "        DHCP habilitado . . : No\r\n",
         {{0, "00:e0:4c:0a:0b:0c", 1, ""}, {1, "00:e0:4c:0d:0e:0f", 0, ""}}},
        // The walk ends at the first missing number.
        {"gap",
         std::string(kHeading98) + "0 Ethernet adapter :\r\n  Physical Address. : 00-00-00-00-00-01\r\n"
                                   "2 Ethernet adapter :\r\n  Physical Address. : 00-00-00-00-00-02\r\n",
         {{1, "00:00:00:00:00:01", 0, ""}}},
        {"no physical address", std::string(kHeading98) + "Ethernet adapter :\r\n  Description : x\r\n", {}},
    };
    for (const Case& c : cases) {
        int count = info.ParseMediaStatus98(c.listing.c_str(), records);
        EXPECT_EQ(Cards(records, count), c.cards) << c.what;
    }
    EXPECT_TRUE(
        Logged("GetMediaStatus98 , Find Adapter :2\r\n\tConnection Status=0 Mac address:00:e0:4c:0a:0b:0c "
               "DHCP=1"));
}

TEST_F(TextRoutines, ToolsRunFromTheProgramDirectory) {
    int windowTag = 0;
    std::vector<uintptr_t> posted;
    pellar::SetMessagePoster([&](HWND, unsigned message, uintptr_t wParam, intptr_t) {
        if (message == WM_NETCARD_NOTIFY)
            posted.push_back(wParam);
    });
    info.SetMainWindowHandle(reinterpret_cast<HWND>(&windowTag));
    EXPECT_EQ(info.GetMediaStatus2000(records), 0);
    EXPECT_EQ(info.GetMediaStatus98(records), 0);
    EXPECT_TRUE(Logged("GetMediaStatus2000 File:[" + dir.str() + "/bindwell] not found.Please Reinstall!!"));
    EXPECT_TRUE(Logged("GetMediaStatus98 File:[" + dir.str() + "/bindwell98] not found.Please Reinstall!!"));
    EXPECT_EQ(posted, (std::vector<uintptr_t>{NETCARD_NOTIFY_NO_MEDIA_TOOL, NETCARD_NOTIFY_NO_MEDIA_TOOL}));

    InstallTool("bindwell", std::string(kHeading2000) + kEnglish2000);
    InstallTool("bindwell98", std::string(kHeading98) +
                                  "0 Ethernet adapter :\r\n  Physical Address. : 00-00-00-"
                                  "00-00-09\r\n  DHCP Enabled. : Yes\r\n");
    EXPECT_EQ(info.GetMediaStatus2000(records), 2);
    EXPECT_EQ(records[1].mac.str(), "00:0c:29:dd:ee:ff");
    ASSERT_EQ(info.GetMediaStatus98(records), 1);
    EXPECT_EQ(Cards(records, 1), (std::vector<Card>{{1, "00:00:00:00:00:09", 1, ""}}));
    EXPECT_EQ(posted.size(), 2u);
}

} // namespace
