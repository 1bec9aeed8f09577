// Card configuration on the host's own links, in a private namespace: a PC with lan0
// (10.5.0.2/16, default route via 10.5.0.254) and wan0 (10.2.0.1/24), whose peers sit in a
// second namespace, where busybox udhcpd may serve lan0's side.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <linux/rtnetlink.h>
#include <memory>
#include <regex>
#include <string>
#include <sys/prctl.h>
#include <thread>
#include <vector>

#include "hostnet/pellar/ItemNames.h"
#include "hostnet/pellar/PCInfo.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/files/RunDirectory.h"
#include "platform/net/CardGuid.h"
#include "platform/net/Daemon.h"
#include "platform/net/DhcpClient.h"
#include "platform/net/Netlink.h"
#include "tests/support/DhcpServer.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"

using platform::DhcpClient;

namespace {

constexpr const char* kLanMac = "02:00:00:00:0a:01";
constexpr const char* kWanMac = "02:00:00:00:0b:01";
const std::string kLanGuid = platform::CardGuidFromMac({2, 0, 0, 0, 0x0a, 1});

// Positions in a card's row of the inventory.
enum Item {
    kName = 0,
    kDisabled = 2,
    kDhcp = 4,
    kAddress = 5,
    kMask = 6,
    kGateway = 7,
    kDns = 8,
    kDnsStatic = 11
};

struct Posted {
    HWND window;
    unsigned message;
    uintptr_t wParam;
    intptr_t lParam;
    bool operator==(const Posted&) const = default;
};

class CardConfigHost : public testsupport::NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped())
            return;
        const char* binary = std::getenv("CORVAY_BINARY_DIR");
        ASSERT_TRUE(binary) << "run under ctest";
        // The DHCP client leaves its starter; its end is reaped here, not left as a zombie.
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        std::filesystem::copy_file(std::filesystem::path(binary) / "bin" / "dhcp-event", dir / "dhcp-event");
        testsupport::WriteFileBytes(dir / "log.debug", "");
        platform::SetProgramDirectory(dir.str().c_str());
        platform::SetRegistryRoot(CString((dir / "registry").string()));
        platform::SetRunDirectory((dir / "run").string());
        pellar::SetMessagePoster([this](HWND w, unsigned m, uintptr_t wp, intptr_t lp) {
            posted.push_back({w, m, wp, lp});
        });
        pc = &AddNamespace();
        peer = &AddNamespace();
        testsupport::AddVethPair(*pc, "lan0", *peer, "lanpeer", kLanMac);
        testsupport::AddVethPair(*pc, "wan0", *peer, "wanpeer", kWanMac);
        pc->Ip("addr add 10.5.0.2/16 dev lan0");
        pc->Ip("route add default via 10.5.0.254 dev lan0");
        pc->Ip("addr add 10.2.0.1/24 dev wan0");
    }
    void TearDown() override {
        // Only once the run directory is the test's (pc is set after it): never a host's client.
        if (pc)
            testsupport::RunInside(*pc, [] { DhcpClient("lan0").Stop(); });
        server.reset();
        pellar::SetMessagePoster(nullptr);
        platform::SetRunDirectory("");
        platform::SetRegistryRoot(CString());
        platform::SetProgramDirectory("");
    }

    std::string Log() const { return testsupport::ReadFileBytes(dir / "info.log"); }
    // What was logged since the last call.
    std::string NewLog() {
        std::string log = Log();
        std::string added = log.substr(std::min(logSeen, log.size()));
        logSeen = log.size();
        return added;
    }

    // The inventory, one row of 13 texts per card.
    static std::vector<std::vector<std::string>> Inventory(PCInfo& info) {
        CWordArray items;
        CPtrArray* texts = nullptr;
        EXPECT_EQ(info.NetCardInfoGet(items, &texts), 1);
        std::vector<std::vector<std::string>> rows;
        for (int i = 0; texts && i < texts->GetSize(); ++i) {
            if (i % pellar::kCardOutputCount == 0)
                rows.emplace_back();
            rows.back().push_back(static_cast<const char*>(texts->GetAt(i)));
        }
        return rows;
    }

    std::vector<std::string> Addresses(const std::string& link) {
        platform::Netlink netlink;
        std::vector<platform::Ipv4Address> addresses;
        EXPECT_TRUE(netlink.ListAddresses(addresses, pc->IfIndex(link)));
        std::vector<std::string> texts;
        for (const auto& a : addresses)
            texts.push_back(platform::FormatIpv4(a.address) + "/" + std::to_string(a.prefixLength));
        return texts;
    }

    // The default routes through a link as "gateway metric".
    std::vector<std::string> DefaultRoutes(const std::string& link) {
        platform::Netlink netlink;
        std::vector<platform::Route> routes;
        EXPECT_TRUE(netlink.ListRoutes(routes));
        std::vector<std::string> texts;
        for (const auto& r : routes)
            if (r.ifindex == pc->IfIndex(link) && r.prefixLength == 0 && r.table == RT_TABLE_MAIN)
                texts.push_back(platform::FormatIpv4(r.gateway) + " " + std::to_string(r.priority));
        return texts;
    }

    bool IsUp(const std::string& link) {
        platform::Netlink netlink;
        auto info = netlink.GetLink(link);
        return info && info->IsAdminUp();
    }

    void StartServer() { server = std::make_unique<testsupport::DhcpServer>(*peer, "lanpeer", "10.9.0"); }

    testsupport::TempDir dir{"card-config"};
    testsupport::NetNamespace* pc = nullptr;
    testsupport::NetNamespace* peer = nullptr;
    std::vector<Posted> posted;
    size_t logSeen = 0;
    std::unique_ptr<testsupport::DhcpServer> server;
};

TEST_F(CardConfigHost, EnableNetCardChangesTheLinkStateOnlyWhenNeeded) {
    testsupport::RunInside(*pc, [&] {
        PCInfo info;
        ASSERT_EQ(info.InitWMI(1), 1);
        auto rows = Inventory(info);
        ASSERT_EQ(rows.size(), 2u);
        ASSERT_EQ(rows[0][kName], "lan0");
        SetupCardRecord& lan = *info.m_SetupCards[0];
        struct Case {
            const char* what;
            int card, enable;
            int flagBefore;
            int result;
            bool upAfter;
            int flagAfter;
            const char* line;
        } cases[] = {
            {"disable an enabled card", 0, 0, 0, 1, false, 1,
             "NetCardStateChangeXP Status Changed. Status=0X2400 Problem=0X16"},
            {"disable a disabled card", 0, 0, 0, 0, false, 1,
             "NetCardStateChangeXP Net Card has been Disabled.Exit!!!"},
            {"enable a disabled card", 0, 1, 1, 1, true, 0,
             "NetCardStateChange2003 Net Card has been Enabled.Exit!!!"},
            {"enable an enabled card", 0, 1, 1, 0, true, 0,
             "NetCardStateChangeXP Net Card has been Enabled.Exit!!!"},
            {"a card outside the inventory", 2, 0, 0, 0, true, 0, "EnableNetCard NetIndex AdapterNum:2,2"},
        };
        for (const Case& c : cases) {
            lan.disabled = c.flagBefore;
            NewLog();
            EXPECT_EQ(info.EnableNetCard(c.card, c.enable), c.result) << c.what;
            EXPECT_EQ(IsUp("lan0"), c.upAfter) << c.what;
            EXPECT_EQ(lan.disabled, c.flagAfter) << c.what;
            std::string log = NewLog();
            EXPECT_NE(log.find(c.line), std::string::npos) << c.what << "\n" << log;
            if (c.card == 0) {
                EXPECT_NE(log.find("EnableNetCard iIndex=0, return " + std::to_string(c.result)),
                          std::string::npos)
                    << c.what;
            }
        }

        // The inventory taken afterwards shows the change.
        ASSERT_EQ(info.EnableNetCard(0, 0), 1);
        EXPECT_EQ(Inventory(info)[0][kDisabled], "TRUE");
        ASSERT_EQ(info.EnableNetCard(0, 1), 1);
        EXPECT_EQ(Inventory(info)[0][kDisabled], "FALSE");
    });

    // Another card takes wan0's number: the inventory's card is gone, the new link stays as it is.
    int wanIndex = pc->IfIndex("wan0");
    testsupport::RunInside(*pc, [&] {
        PCInfo info;
        ASSERT_EQ(info.InitWMI(1), 1);
        ASSERT_EQ(Inventory(info).size(), 2u);
        pc->Ip("link del wan0");
        pc->Ip("link add wan0 index " + std::to_string(wanIndex) +
               " address 02:00:00:00:0c:01 type veth peer name spare0");
        ASSERT_EQ(pc->IfIndex("wan0"), wanIndex);
        NewLog();
        EXPECT_EQ(info.EnableNetCard(1, 1), 0);
        EXPECT_FALSE(IsUp("wan0"));
        EXPECT_NE(NewLog().find("EnableNetCard Find Adapter DDK ValidAdapter:2,2"), std::string::npos);
    });
}

TEST_F(CardConfigHost, StaticAddressGatewayAndNameServers) {
    testsupport::RunInside(*pc, [&] {
        PCInfo info;
        ASSERT_EQ(info.InitWMI(1), 1);
        ASSERT_EQ(Inventory(info).size(), 2u);

        ASSERT_EQ(info.SetIPAddr("10.5.0.7", "255.255.0.0", 0), 10);
        EXPECT_EQ(Addresses("lan0"), std::vector<std::string>{"10.5.0.7/16"});
        struct Refusal {
            const char* ip;
            const char* mask;
            const char* text;
        } refusals[] = {
            {"10.5.0.300", "255.255.0.0", "Invalid IP address."},
            {"", "255.255.0.0", "Invalid IP address."},
            {"255.255.255.255", "255.255.0.0", "Invalid IP address."},
            {"10.5.0.8", "255.0.255.0", "Invalid subnet mask."},
            {"10.5.0.8", "0.0.0.0", "Invalid subnet mask."},
        };
        for (const Refusal& r : refusals) {
            NewLog();
            EXPECT_EQ(info.SetIPAddr(r.ip, r.mask, 0), 0) << r.ip << " " << r.mask;
            EXPECT_NE(NewLog().find(r.text), std::string::npos) << r.ip << " " << r.mask;
            EXPECT_EQ(Addresses("lan0"), std::vector<std::string>{"10.5.0.7/16"}) << r.ip << " " << r.mask;
        }

        // The gateway replaces every default route through the card, with metric 1.
        pc->Ip("route replace default via 10.5.0.254 dev lan0 metric 5");
        ASSERT_EQ(info.SetGateway("10.5.0.1", 0, 0), 10);
        EXPECT_EQ(DefaultRoutes("lan0"), std::vector<std::string>{"10.5.0.1 1"});
        for (const char* gateway : {"10.6.0.1", "10.5.0.x", "224.0.0.1"}) {
            NewLog();
            EXPECT_EQ(info.SetGateway(gateway, 0, 0), 0) << gateway;
            EXPECT_NE(NewLog().find("WMISetGateway Error=Invalid gateway IP address.,id=71"),
                      std::string::npos)
                << gateway;
            EXPECT_EQ(DefaultRoutes("lan0"), std::vector<std::string>{"10.5.0.1 1"}) << gateway;
        }

        // Static servers show in the inventory until cleared; SetDynaDNS clears them too.
        struct Step {
            std::function<int()> call;
            const char* servers;
            const char* isStatic;
            int query;
        } steps[] = {
            {[&] { return info.SetDNS("192.0.2.53", 0, "", 0); }, "[192.0.2.53]", "TRUE", 1},
            {[&] { return info.SetDNS("null", 0, "", 0); }, "N/A", "FALSE", 0},
            {[&] { return info.SetDNS("192.0.2.54", 0, "", 0); }, "[192.0.2.54]", "TRUE", 1},
            {[&] { return info.SetDynaDNS(0, 0); }, "N/A", "FALSE", 0},
        };
        for (const Step& s : steps) {
            EXPECT_EQ(s.call(), 10) << s.servers;
            auto rows = Inventory(info);
            EXPECT_EQ(rows[0][kDns], s.servers);
            EXPECT_EQ(rows[0][kDnsStatic], s.isStatic);
            EXPECT_EQ(info.IsNetCardDNSStatic(0), s.query) << s.servers;
            EXPECT_EQ(rows[1][kDnsStatic], "FALSE");
        }
        EXPECT_EQ(info.SetDNS("192.0.2.x", 0, "", 0), 0);
        EXPECT_EQ(Inventory(info)[0][kDns], "N/A");
    });
}

TEST_F(CardConfigHost, DhcpLeaseFromUdhcpdRenewsAndStopsForAStaticAddress) {
    if (platform::FindProgram("busybox").empty())
        GTEST_SKIP() << "busybox is not installed";
    StartServer();
    testsupport::RunInside(*pc, [&] {
        PCInfo info;
        ASSERT_EQ(info.InitWMI(1), 1);
        ASSERT_EQ(Inventory(info).size(), 2u);
        ASSERT_EQ(info.EnableDhcp(0, -1), 10);
        EXPECT_EQ(info.EnableDhcp(0, -1), 10) << "a running client is no failure";
        DhcpClient client("lan0");
        ASSERT_TRUE(platform::PollUntil([&] { return client.State() == platform::DhcpState::Bound; },
                                        std::chrono::seconds(5)));

        auto rows = Inventory(info);
        EXPECT_EQ(rows[0][kDhcp], "True");
        EXPECT_TRUE(std::regex_match(rows[0][kAddress], std::regex(R"(\[10\.9\.0\.1(0\d|10)\])")))
            << rows[0][kAddress];
        EXPECT_EQ(rows[0][kMask], "[255.255.255.0]");
        EXPECT_EQ(rows[0][kGateway], "[10.9.0.1]");
        EXPECT_EQ(rows[0][kDns], "[10.9.0.53][10.9.0.54]");
        EXPECT_EQ(rows[0][kDnsStatic], "FALSE");
        EXPECT_EQ(info.m_NetCardInfo[0].GetAt(pellar::CardItemIndex("DHCPServer")), std::string("10.9.0.1"));
        EXPECT_EQ(rows[1][kDhcp], "False");

        // One card, then every card (a number outside the inventory).
        ASSERT_EQ(info.RenewDhcp(0, 5), 10);
        EXPECT_EQ(client.Lease()->counter, 2u);
        ASSERT_EQ(info.RenewDhcp(-1, 5), 10);
        EXPECT_EQ(client.Lease()->counter, 3u);

        pid_t pid = client.Pid();
        ASSERT_EQ(info.SetIPAddr("10.9.0.50", "255.255.255.0", 0), 10);
        EXPECT_FALSE(platform::IsRunning(pid));
        EXPECT_EQ(Addresses("lan0"), std::vector<std::string>{"10.9.0.50/24"});
        EXPECT_EQ(Inventory(info)[0][kDhcp], "False");
        NewLog();
        EXPECT_EQ(info.RenewDhcp(0, 5), 0);
        EXPECT_NE(NewLog().find("WMIRenewDHCP Error:DHCP not enabled on adapter.,id=100"), std::string::npos);
    });
}

TEST_F(CardConfigHost, BindingsTurnIpv6OffAndOnAndRefuseIpv4) {
    testsupport::RunInside(*pc, [&] {
        PCInfo info;
        ASSERT_EQ(info.InitWMI(1), 1);
        ASSERT_EQ(Inventory(info).size(), 2u);
        platform::Netlink netlink;

        NewLog();
        EXPECT_EQ(info.EnableTCPIPBinding(0, 0), 1);
        EXPECT_TRUE(netlink.GetLink("lan0")->ipv6Disabled);
        EXPECT_FALSE(netlink.GetLink("wan0")->ipv6Disabled);
        std::string log = NewLog();
        EXPECT_NE(log.find("EnableBinding Protocol TCPIP6, return 1"), std::string::npos) << log;
        EXPECT_NE(log.find("EnableBinding Protocol TCPIP, return -1"), std::string::npos) << log;
        EXPECT_NE(log.find("EnableTCPIPBinding NetIndex TotalAdapter:0,2"), std::string::npos) << log;
        // The refusal is announced, with no window set.
        EXPECT_EQ(posted,
                  (std::vector<Posted>{{nullptr, WM_NETCARD_NOTIFY, NETCARD_NOTIFY_BIND_REFUSED, 0}}));

        EXPECT_EQ(info.EnableTCPIPBinding(0, 1), 1);
        EXPECT_FALSE(netlink.GetLink("lan0")->ipv6Disabled);
        EXPECT_EQ(posted.size(), 1u);

        // A link too small for IPv6 loses its IPv6 settings: with IPv4 refused nothing was done.
        pc->Ip("link set wan0 mtu 1000");
        NewLog();
        EXPECT_EQ(info.EnableTCPIPBinding(1, 0), 0);
        log = NewLog();
        EXPECT_NE(log.find("EnableBinding Protocol TCPIP6, return 0"), std::string::npos) << log;
        EXPECT_NE(log.find("Bindwell Search:TCPIP6_Found,"), std::string::npos) << log;
        EXPECT_EQ(posted.size(), 2u);

        // No card has a PPPoE binding: both lookups dump what there is.
        NewLog();
        EXPECT_EQ(info.EnablePPPOEBinding(0, 1), 0);
        log = NewLog();
        EXPECT_NE(log.find("Bindwell Search:RASPPPOE,guid=" + kLanGuid), std::string::npos) << log;
        EXPECT_NE(log.find("Bindwell Search:PPPOE,guid="), std::string::npos) << log;
        EXPECT_NE(log.find("\tCard Name:lan0\r\n\ttoken:lan0\r\n"), std::string::npos) << log;
        EXPECT_NE(log.find("EnablePPPOEBinding NetIndex TotalAdapter:0,2"), std::string::npos) << log;

        EXPECT_EQ(info.IsTCPIPInstalled(), 1);
        EXPECT_EQ(info.IsTCPIP6Installed(), 1);
        EXPECT_EQ(info.IsPPPOEInstalled(), 0);
        EXPECT_EQ(info.InstallProtocol(nullptr), 0);
    });
}

} // namespace
