// The flat exports, bound by name from libostrel.so of the program directory, on a PC namespace
// with two cards (lan0 to a modem, wan0 to a far peer).

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/files/Registry.h"
#include "platform/files/RunDirectory.h"
#include "platform/net/Daemon.h"
#include "platform/net/DhcpClient.h"
#include "platform/wmi/LinuxProvider.h"
#include "tests/hostnet/OstrelFlat.h"
#include "tests/hostnet/TempAddressBench.h"
#include "tests/support/DhcpServer.h"

using namespace std::chrono_literals;
using testsupport::RunInside;
using Flat = testsupport::OstrelFlat;

namespace {

// The host as the kernel shows it, except that the named links are wireless cards, or that no
// connection can be made at all.
class MarkedHost : public platform::wmi::Provider {
public:
    std::vector<std::string> wireless;
    bool unreachable = false;

    int Connect() override { return unreachable ? 111 : platform::wmi::LinuxProvider::Instance().Connect(); }
    int ExecQuery(const std::string& className, std::vector<platform::wmi::Object>& objects) override {
        int result = platform::wmi::LinuxProvider::Instance().ExecQuery(className, objects);
        for (auto& object : objects) {
            auto id = object.find("NetConnectionID");
            if (id != object.end() && Wireless(id->second.text))
                object["Name"] = platform::wmi::Value::Text(id->second.text + " (Wireless)");
        }
        return result;
    }
    int ListDevices(std::vector<platform::wmi::Device>& devices) override {
        return platform::wmi::LinuxProvider::Instance().ListDevices(devices);
    }

private:
    bool Wireless(const std::string& name) const {
        return std::find(wireless.begin(), wireless.end(), name) != wireless.end();
    }
};

class OstrelFlatNet : public testsupport::TempAddressBench {
protected:
    void TearDown() override {
        platform::wmi::SetProvider(nullptr);
        TempAddressBench::TearDown();
    }
    Flat flat;
};

std::vector<std::string> Slots(const NetCardInfoText& info) {
    std::vector<std::string> slots;
    for (const auto& slot : info.slot)
        slots.emplace_back(slot, strnlen(slot, sizeof slot));
    return slots;
}

TEST_F(OstrelFlatNet, GetNetCardInfoGivesEachSlotOfTheCard) {
    pc->Ip("addr add 192.0.2.5/24 dev lan0");
    pc->Ip("route add default via 192.0.2.2 dev lan0");
    // Enough addresses that the bracketed lists no longer fit a slot.
    pc->Shell("for i in $(seq 101 118); do ip addr add 198.51.100.$i/24 dev wan0; done");
    RunInside(*pc, [&] {
        NetCardInfoText info;
        std::memset(&info, 'x', sizeof info);
        ASSERT_EQ(flat.GetNetCardInfo(lan, &info), 1);
        EXPECT_EQ(Slots(info), (std::vector<std::string>{"lan0", "FALSE", "[192.0.2.1][192.0.2.5]",
                                                         "[255.255.255.0][255.255.255.0]", "[192.0.2.2]", "",
                                                         Index(lan)}));

        ASSERT_EQ(flat.GetNetCardInfo(wan, &info), 1);
        EXPECT_EQ(Slots(info), (std::vector<std::string>{"wan0", "FALSE", "[198.51.100.1]", "[255.255.255.0]",
                                                         "", "", Index(wan)}));

        // Loopback is no card; an index nobody has; nowhere to write.
        std::memset(&info, 'x', sizeof info);
        EXPECT_EQ(flat.GetNetCardInfo(lo, &info), 0);
        EXPECT_EQ(flat.GetNetCardInfo(999999, &info), 0);
        EXPECT_EQ(info.slot[NetCardInfoText::Description][0], 'x');
        EXPECT_EQ(flat.GetNetCardInfo(lan, nullptr), 0);
    });
    pc->Shell("for i in $(seq 101 118); do ip addr del 198.51.100.$i/24 dev wan0; done");
    pc->Ip("addr del 192.0.2.5/24 dev lan0");
}

TEST_F(OstrelFlatNet, GetNicCountByTypeCountsWiredAndWirelessCards) {
    pc->Ip("link set wan0 down");
    MarkedHost host;
    struct Case {
        std::vector<std::string> wireless;
        int type, includeDisabled, expected;
    } cases[] = {
        {{}, 1, 1, 2},        {{}, 1, 0, 1},        {{}, 2, 1, 0},       {{}, 3, 1, -1},
        {{"lan0"}, 1, 1, 1},  {{"lan0"}, 2, 1, 1},  {{"wan0"}, 2, 0, 0}, {{"wan0"}, 2, 1, 1},
        {{"wan0"}, 3, 1, -1}, {{"wan0"}, 0, 1, -1},
    };
    platform::wmi::SetProvider(&host);
    for (const Case& c : cases) {
        host.wireless = c.wireless;
        RunInside(*pc, [&] {
            EXPECT_EQ(flat.GetNicCountByType(c.type, c.includeDisabled), c.expected)
                << "type " << c.type << ", includeDisabled " << c.includeDisabled << ", wireless "
                << (c.wireless.empty() ? "none" : c.wireless[0]);
        });
    }
    EXPECT_TRUE(Logged("GetNicCountByType -------")) << Log();
    EXPECT_NE(Log().find(" wan0,   Forbidden: TRUE"), std::string::npos) << Log();
    // No card can be read at all.
    host.unreachable = true;
    RunInside(*pc, [&] { EXPECT_EQ(flat.GetNicCountByType(1, 1), -1); });
}

TEST_F(OstrelFlatNet, IsWMIInstalledWhenTheHostCanBeAsked) {
    MarkedHost host;
    RunInside(*pc, [&] { EXPECT_EQ(flat.IsWMIInstalled(), 1); });
    host.unreachable = true;
    platform::wmi::SetProvider(&host);
    RunInside(*pc, [&] { EXPECT_EQ(flat.IsWMIInstalled(), 0); });
}

TEST_F(OstrelFlatNet, PingingReadsRepliesAndRoundTripsOfThePingTool) {
    RunInside(*pc, [&] {
        char peer[] = "192.0.2.2";
        int maximum = 7, minimum = 7;
        EXPECT_EQ(flat.Pinging(peer, &maximum, &minimum), 1);
        EXPECT_GE(minimum, 0);
        EXPECT_LE(minimum, maximum);
        EXPECT_LT(maximum, 1000);

        char silent[] = "192.0.2.101";
        maximum = minimum = 7;
        EXPECT_EQ(flat.Pinging(silent, &maximum, &minimum), 0);
        EXPECT_EQ(maximum, -1);
        EXPECT_EQ(minimum, -1);
    });
}

TEST_F(OstrelFlatNet, PingingRunsNothingForAnAddressThatIsNoPlainWord) {
    // Whatever the export runs, it runs through this stand-in, which only leaves a mark.
    std::filesystem::path tools = dir / "tools";
    std::filesystem::create_directories(tools);
    testsupport::WriteFileBytes(tools / "env", "#!/bin/sh\necho \"$@\" >> " + (dir / "ran").string() + "\n");
    std::filesystem::permissions(tools / "env", std::filesystem::perms::owner_all);
    std::string path = std::getenv("PATH");
    ::setenv("PATH", tools.c_str(), 1);
    for (const char* refused : {"-f", "-c", "192.0.2.2 -f", "192.0.2.2\t-f", "\"192.0.2.2", ""}) {
        std::string address = refused;
        int maximum = 7, minimum = 7;
        EXPECT_EQ(flat.Pinging(address.data(), &maximum, &minimum), 0) << refused;
        EXPECT_EQ(maximum, -1);
        EXPECT_EQ(minimum, -1);
    }
    EXPECT_EQ(flat.Pinging(nullptr, nullptr, nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "ran"));
    char good[] = "192.0.2.2";
    EXPECT_EQ(flat.Pinging(good, nullptr, nullptr), 0);
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "ran"), "LC_ALL=C ping -c 6 -W 3 192.0.2.2\n");
}

TEST_F(OstrelFlatNet, GetConnectedNetCardLooksAtTheCableOfTheBestCard) {
    struct Case {
        const char* what;
        const char* address;
        bool peerUp;
        int expected;
        int index; // -1: none
        const char* logged;
    } cases[] = {
        {"peer up", "192.0.2.2", true, 1, lan, "GetConnectedNetCard, return true, nicIndex: "},
        {"peer down", "192.0.2.2", false, 0, lan,
         "GetConnectedNetCard, return true, check cable disconnected"},
        {"no card", "127.0.0.1", true, 1, lo, "GetConnectedNetCard, return true, nicIndex: "},
        {"no route", "203.0.113.9", true, 0, -1,
         "GetConnectedNetCard, return false, GetBestInterface failed"},
    };
    for (const Case& c : cases) {
        modem->Ip(std::string("link set m0 ") + (c.peerUp ? "up" : "down"));
        std::filesystem::remove(dir / "info.log");
        RunInside(*pc, [&] {
            std::string address = c.address;
            unsigned long index = 12345;
            EXPECT_EQ(flat.GetConnectedNetCard(address.data(), &index), c.expected) << c.what;
            EXPECT_EQ(index, c.index < 0 ? 0xFFFFFFFFUL : static_cast<unsigned long>(c.index)) << c.what;
            EXPECT_EQ(flat.GetConnectedNetCard(address.data(), nullptr), 0);
        });
        EXPECT_NE(Log().find(c.logged), std::string::npos) << c.what << "\n" << Log();
    }
    modem->Ip("link set m0 up");
}

TEST_F(OstrelFlatNet, FindModemIPUnpacksTheGroupList) {
    modem->Ip("addr add 203.0.113.1/24 dev m0");
    std::string port = Serve(*modem, "203.0.113.1");
    // The entry without its mask comes first, with ports that would fail the modem.
    FindModemGroupEntry noMask{"203.0.113.7", {}}, behind{"203.0.113.1:255.255.255.0", {}};
    noMask.ports.Add("9");
    behind.ports.Add("9");
    behind.ports.Add(port.c_str());
    FindModemGroupEntry* entries[] = {&noMask, nullptr, &behind};
    FindModemGroupList list{0, entries, 3};
    FindModemGroups groups{&list};
    RunInside(*pc, [&] {
        char buffer[32];
        std::memset(buffer, 'x', sizeof buffer);
        unsigned long index = 0;
        ASSERT_EQ(flat.FindModemIP(&groups, &index, buffer, 300), 1);
        EXPECT_STREQ(buffer, "203.0.113.1");
        EXPECT_EQ(index, static_cast<unsigned long>(lan));
        EXPECT_EQ(std::string(buffer + 16, 16), std::string(16, 'x')) << "written past 16 bytes";

        // Nothing found: the buffer is emptied, the index kept.
        FindModemGroupList none{0, entries, 1};
        FindModemGroups noGroups{&none};
        index = 77;
        EXPECT_EQ(flat.FindModemIP(&noGroups, &index, buffer, 300), 0);
        EXPECT_STREQ(buffer, "");
        EXPECT_EQ(index, 77u);
        EXPECT_EQ(flat.FindModemIP(nullptr, &index, buffer, 300), 0);
        EXPECT_EQ(flat.FindModemIP(&groups, nullptr, buffer, 300), 0);
        EXPECT_EQ(flat.FindModemIP(&groups, &index, nullptr, 300), 0);
    });
}

TEST_F(OstrelFlatNet, TemporaryAddressesOfTwoThreadsStayOnTheKeptObject) {
    std::atomic<int> added{0};
    std::thread everyCard([&] {
        RunInside(*pc, [&] {
            char network[] = "192.0.2.0", mask[] = "255.255.255.0";
            added += flat.AddIpAddress(network, mask); // wan0 alone lacks it
        });
    });
    std::thread oneCard([&] {
        RunInside(*pc, [&] {
            char network[] = "203.0.113.0", mask[] = "255.255.255.0";
            added += flat.AddIpAddressEx(network, mask, CString(Index(lan).c_str()));
        });
    });
    everyCard.join();
    oneCard.join();
    EXPECT_EQ(added, 2);
    std::vector<std::string> now = Added();
    ASSERT_EQ(now.size(), 2u) << ::testing::PrintToString(now);
    EXPECT_EQ(now[0].rfind("lan0 203.0.113.", 0), 0u) << now[0];
    EXPECT_EQ(now[1].rfind("wan0 192.0.2.", 0), 0u) << now[1];
    std::thread([&] { RunInside(*pc, [&] { flat.DeleteIpAddress(); }); }).join();
    EXPECT_TRUE(Added().empty());
}

TEST_F(OstrelFlatNet, GetConnectedNetCardExReachesAModemThroughATemporaryAddress) {
    modem->Ip("addr add 203.0.113.1/24 dev m0");
    RunInside(*pc, [&] {
        unsigned long index = 0;
        EXPECT_EQ(flat.GetConnectedNetCardEx("203.0.113.1", "255.255.255.0", &index, 10), 1);
        EXPECT_EQ(index, static_cast<unsigned long>(lan));
        EXPECT_EQ(flat.GetConnectedNetCardEx("203.0.113.1", "255.255.255.0", nullptr, 10), 0);
    });
    std::vector<std::string> now = Added();
    ASSERT_EQ(now.size(), 1u) << ::testing::PrintToString(now);
    EXPECT_EQ(now[0].rfind("lan0 203.0.113.", 0), 0u) << now[0];
    // Reached directly now: nothing more is added.
    RunInside(*pc, [&] {
        unsigned long index = 0;
        EXPECT_EQ(flat.GetConnectedNetCardEx("203.0.113.1", "255.255.255.0", &index, 10), 1);
    });
    EXPECT_EQ(Added(), now);
    RunInside(*pc, [&] { flat.DeleteIpAddress(); });

    // A modem nowhere: every interface is tried, loopback is never given an address.
    modem->Ip("addr del 203.0.113.1/24 dev m0");
    RunInside(*pc, [&] {
        unsigned long index = 0;
        EXPECT_EQ(flat.GetConnectedNetCardEx("203.0.113.1", "255.255.255.0", &index, 10), 0);
    });
    for (const std::string& address : Added())
        EXPECT_NE(address.rfind("lo ", 0), 0u) << address;
    RunInside(*pc, [&] { flat.DeleteIpAddress(); });
}

TEST_F(OstrelFlatNet, GetNetCardRecvSendDataOfACard) {
    RunInside(*pc, [&] {
        NetCardTraffic before{static_cast<uint32_t>(lan), 0, 0, 0, 0};
        ASSERT_EQ(flat.GetNetCardRecvSendData(&before), 1);
        EXPECT_EQ(before.dwIndex, static_cast<uint32_t>(lan));
        EXPECT_EQ(before.dwMtu, 1500u);
        char peer[] = "192.0.2.2";
        ASSERT_EQ(AsynPing(peer, 1000), 1);
        NetCardTraffic after{static_cast<uint32_t>(lan), 0, 0, 0, 0};
        ASSERT_EQ(flat.GetNetCardRecvSendData(&after), 1);
        EXPECT_GT(after.dwInOctets, before.dwInOctets);
        EXPECT_GT(after.dwOutOctets, before.dwOutOctets);

        NetCardTraffic unknown{999999, 1, 2, 3, 4};
        EXPECT_EQ(flat.GetNetCardRecvSendData(&unknown), 0);
        EXPECT_EQ(unknown.dwMtu, 1u);
        EXPECT_EQ(unknown.dwSpeed, 2u);
        EXPECT_EQ(unknown.dwInOctets, 3u);
        EXPECT_EQ(unknown.dwOutOctets, 4u);
        EXPECT_EQ(flat.GetNetCardRecvSendData(nullptr), 0);
    });
}

TEST_F(OstrelFlatNet, GetAllNetCardIndexsListsEachInterfaceOnce) {
    pc->Ip("addr add 192.0.2.5/24 dev lan0");
    RunInside(*pc, [&] {
        CStringArray indexes;
        indexes.Add("stale");
        ASSERT_EQ(flat.GetAllNetCardIndexs(&indexes), 1);
        std::vector<std::string> texts;
        for (const CString& index : indexes)
            texts.push_back(index.str());
        EXPECT_EQ(texts, (std::vector<std::string>{Index(lo), Index(lan), Index(wan)}));
        EXPECT_EQ(flat.GetAllNetCardIndexs(nullptr), 0);
    });
    pc->Ip("addr del 192.0.2.5/24 dev lan0");
}

// Card configuration: the registry store, the run directory of the DHCP client and its event
// script are the test's own.
class OstrelFlatCards : public OstrelFlatNet {
protected:
    void SetUp() override {
        OstrelFlatNet::SetUp();
        if (IsSkipped())
            return;
        testsupport::AdoptOrphanedDaemons();
        const char* binary = std::getenv("CORVAY_BINARY_DIR");
        ASSERT_TRUE(binary) << "run under ctest";
        std::filesystem::copy_file(std::filesystem::path(binary) / "bin" / "dhcp-event", dir / "dhcp-event");
        platform::SetRegistryRoot(CString((dir / "registry").string()));
        platform::SetRunDirectory((dir / "run").string());
    }
    void TearDown() override {
        // Only once the run directory is the test's: never a host's client.
        if (pc)
            RunInside(*pc, [] { platform::DhcpClient("lan0").Stop(); });
        server.reset();
        platform::SetRunDirectory("");
        platform::SetRegistryRoot(CString());
        OstrelFlatNet::TearDown();
    }
    std::string Slot(unsigned long index, NetCardInfoText::Slot slot) {
        NetCardInfoText info{};
        EXPECT_EQ(flat.GetNetCardInfo(index, &info), 1);
        return info.slot[slot];
    }
    std::vector<std::string> LanAddresses() {
        std::vector<std::string> lanOnly;
        for (const std::string& address : Addresses())
            if (address.rfind("lan0 ", 0) == 0)
                lanOnly.push_back(address);
        return lanOnly;
    }
    std::unique_ptr<testsupport::DhcpServer> server;
};

TEST_F(OstrelFlatCards, SettersReachOnlyTheCardOfTheExactIndexText) {
    char address[] = "192.0.2.7", mask[] = "255.255.255.0", gateway[] = "192.0.2.2", dns[] = "192.0.2.53";
    std::vector<std::string> lanBefore = LanAddresses();
    RunInside(*pc, [&] {
        for (std::string refused : {std::string("999999"), std::string(""), " " + Index(lan),
                                    Index(lan) + " ", "0" + Index(lan), std::string("lan0")}) {
            EXPECT_EQ(flat.SetNetCardIP(address, mask, refused.data()), 0) << "'" << refused << "'";
            EXPECT_EQ(flat.SetNetCardGateway(gateway, refused.data()), 0) << "'" << refused << "'";
            EXPECT_EQ(flat.SetNetCardDNS(dns, refused.data()), 0) << "'" << refused << "'";
            EXPECT_EQ(flat.EnableNetCardDHCP(refused.data()), 0) << "'" << refused << "'";
        }
        EXPECT_EQ(flat.SetNetCardIP(address, mask, nullptr), 0);
        EXPECT_EQ(Slot(lan, NetCardInfoText::Gateways), "");
        EXPECT_EQ(Slot(lan, NetCardInfoText::DnsServers), "");
        EXPECT_EQ(platform::DhcpClient("lan0").Pid(), 0);
    });
    EXPECT_EQ(LanAddresses(), lanBefore);

    std::string lanText = Index(lan);
    RunInside(*pc, [&] {
        EXPECT_EQ(flat.SetNetCardIP(address, mask, lanText.data()), 10);
        EXPECT_EQ(Slot(lan, NetCardInfoText::IpAddresses), "[192.0.2.7]");
        EXPECT_EQ(flat.SetNetCardGateway(gateway, lanText.data()), 10);
        EXPECT_EQ(Slot(lan, NetCardInfoText::Gateways), "[192.0.2.2]");
        EXPECT_EQ(flat.SetNetCardDNS(dns, lanText.data()), 10);
        EXPECT_EQ(Slot(lan, NetCardInfoText::DnsServers), "[192.0.2.53]");
        EXPECT_EQ(Slot(wan, NetCardInfoText::DnsServers), "");
        char none[] = "NULL", original[] = "192.0.2.1";
        EXPECT_EQ(flat.SetNetCardDNS(none, lanText.data()), 10);
        EXPECT_EQ(Slot(lan, NetCardInfoText::DnsServers), "");
        EXPECT_EQ(flat.SetNetCardIP(original, mask, lanText.data()), 10);
    });
    EXPECT_EQ(LanAddresses(), lanBefore);
}

TEST_F(OstrelFlatCards, EnableNetCardDHCPTakesTheLeaseWithItsNameServers) {
    if (platform::FindProgram("busybox").empty())
        GTEST_SKIP() << "busybox is not installed";
    server = std::make_unique<testsupport::DhcpServer>(*modem, "m0", "203.0.113");
    std::string lanText = Index(lan);
    RunInside(*pc, [&] {
        ASSERT_EQ(flat.EnableNetCardDHCP(lanText.data()), 10);
        platform::DhcpClient client("lan0");
        ASSERT_TRUE(platform::PollUntil([&] { return client.State() == platform::DhcpState::Bound; },
                                        std::chrono::seconds(5)));
        EXPECT_EQ(Slot(lan, NetCardInfoText::DhcpEnabled), "TRUE");
        EXPECT_EQ(Slot(lan, NetCardInfoText::DnsServers), "[203.0.113.53][203.0.113.54]");
        EXPECT_NE(Slot(lan, NetCardInfoText::IpAddresses).find("[203.0.113.1"), std::string::npos);
        EXPECT_EQ(Slot(wan, NetCardInfoText::DhcpEnabled), "FALSE");
        client.Stop();
    });
    pc->Ip("addr flush dev lan0");
    pc->Ip("addr add 192.0.2.1/24 dev lan0");
}

// Three callers enabling DHCP on one card at once leave one client, and a static address set
// afterwards ends it: no client is left to renew a lease over that address.
TEST_F(OstrelFlatCards, ConcurrentEnableNetCardDHCPStartsOneClientThatSetNetCardIPEnds) {
    if (platform::FindProgram("busybox").empty())
        GTEST_SKIP() << "busybox is not installed";
    server = std::make_unique<testsupport::DhcpServer>(*modem, "m0", "203.0.113");
    std::string lanText = Index(lan);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        std::latch ready(3);
        std::vector<int> results(3);
        std::vector<std::thread> callers;
        for (int i = 0; i < 3; ++i)
            callers.emplace_back([&, i] {
                RunInside(*pc, [&] {
                    std::string text = lanText;
                    ready.arrive_and_wait();
                    results[i] = flat.EnableNetCardDHCP(text.data());
                });
            });
        for (auto& caller : callers)
            caller.join();
        EXPECT_EQ(results, (std::vector<int>{10, 10, 10}));
        EXPECT_EQ(testsupport::DhcpClientsOf(*pc, "lan0").size(), 1u);
        RunInside(*pc, [&] {
            EXPECT_TRUE(platform::PollUntil(
                [] { return platform::DhcpClient("lan0").State() == platform::DhcpState::Bound; },
                std::chrono::seconds(5)));
            char address[] = "192.0.2.1", mask[] = "255.255.255.0";
            EXPECT_EQ(flat.SetNetCardIP(address, mask, lanText.data()), 10);
        });
        EXPECT_TRUE(testsupport::DhcpClientsOf(*pc, "lan0").empty());
        EXPECT_EQ(LanAddresses(), std::vector<std::string>{"lan0 192.0.2.1/24"});
    }
}

// A temporary address put on a card whose lease came by DHCP is the library's until it deletes
// it: the lease's renewal and its deconfig take off only the leased address.
TEST_F(OstrelFlatCards, ATemporaryAddressOutlivesTheRenewalAndDeconfigOfTheLease) {
    if (platform::FindProgram("busybox").empty())
        GTEST_SKIP() << "busybox is not installed";
    server = std::make_unique<testsupport::DhcpServer>(*modem, "m0", "203.0.113");
    std::string lanText = Index(lan);
    Draws({20});
    RunInside(*pc, [&] {
        ASSERT_EQ(flat.EnableNetCardDHCP(lanText.data()), 10);
        platform::DhcpClient client("lan0");
        ASSERT_TRUE(platform::PollUntil([&] { return client.State() == platform::DhcpState::Bound; },
                                        std::chrono::seconds(5)));
        char network[] = "198.18.5.0", mask[] = "255.255.255.0";
        ASSERT_EQ(flat.AddIpAddressEx(network, mask, CString(lanText.c_str())), 1);
    });
    std::vector<std::string> leased = LanAddresses();
    ASSERT_EQ(leased.size(), 2u) << ::testing::PrintToString(leased);
    EXPECT_EQ(leased[0].rfind("lan0 198.18.5.20/24", 0), 0u) << leased[0];
    EXPECT_EQ(leased[1].rfind("lan0 203.0.113.1", 0), 0u) << leased[1];
    RunInside(*pc, [&] {
        platform::DhcpClient client("lan0");
        ASSERT_TRUE(client.Renew());
        EXPECT_TRUE(platform::PollUntil([&] { return client.Lease() && client.Lease()->counter == 2; },
                                        std::chrono::seconds(5)));
    });
    EXPECT_EQ(LanAddresses(), leased);
    RunInside(*pc, [&] {
        platform::DhcpClient client("lan0");
        ASSERT_EQ(::kill(client.Pid(), SIGUSR2), 0); // a release deconfigures
        EXPECT_TRUE(platform::PollUntil([&] { return client.Lease() && client.Lease()->event == "deconfig"; },
                                        std::chrono::seconds(5)));
    });
    EXPECT_EQ(LanAddresses(), std::vector<std::string>{leased[0]});
    RunInside(*pc, [&] { flat.DeleteIpAddress(); });
    EXPECT_TRUE(LanAddresses().empty());
    pc->Ip("addr add 192.0.2.1/24 dev lan0");
}

} // namespace
