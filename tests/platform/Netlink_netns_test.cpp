#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <linux/if_arp.h>
#include <linux/neighbour.h>
#include <thread>

#include "platform/net/Netlink.h"
#include "tests/support/NetNamespace.h"

using platform::LinkInfo;
using platform::Netlink;

namespace {

uint32_t Ip(const char* text) {
    uint32_t address = 0;
    EXPECT_TRUE(platform::ParseIpv4(text, address)) << text;
    return address;
}

// Operstate follows carrier changes a moment later; poll for it.
bool WaitOperUp(Netlink& netlink, const std::string& name, bool up) {
    for (int i = 0; i < 300; ++i) {
        auto link = netlink.GetLink(name);
        if (link && link->IsOperUp() == up)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class NetlinkTest : public testsupport::NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped())
            return;
        a = &AddNamespace();
        b = &AddNamespace();
        testsupport::AddVethPair(*a, "a0", *b, "b0", "02:00:00:00:0a:01", "02:00:00:00:0b:01");
        testsupport::AddVethPair(*a, "a1", *b, "b1", "02:00:00:00:0a:02", "02:00:00:00:0b:02");
    }
    testsupport::NetNamespace* a = nullptr;
    testsupport::NetNamespace* b = nullptr;
};

TEST(NetlinkText, ParseIpv4TakesDottedQuadsOnly) {
    struct Case {
        const char* text;
        bool ok;
    } cases[] = {{"10.1.2.3", true},   {"0.0.0.0", true},    {"255.255.255.255", true}, {"10.1.2", false},
                 {"256.1.1.1", false}, {" 10.1.2.3", false}, {"10.1.2.3x", false},      {"", false}};
    for (const Case& c : cases) {
        uint32_t address = 0;
        EXPECT_EQ(platform::ParseIpv4(c.text, address), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(platform::FormatIpv4(address), c.text);
        }
    }
}

TEST_F(NetlinkTest, ListsLinksOfItsOwnNamespaceInIfindexOrder) {
    testsupport::RunInside(*a, [&] {
        Netlink netlink;
        ASSERT_TRUE(netlink.IsOpen());
        std::vector<LinkInfo> links;
        ASSERT_TRUE(netlink.ListLinks(links));
        ASSERT_EQ(links.size(), 3u); // lo, a0, a1: nothing of the host or of b
        EXPECT_TRUE(std::is_sorted(links.begin(), links.end(),
                                   [](const LinkInfo& x, const LinkInfo& y) { return x.index < y.index; }));
        EXPECT_EQ(links[0].name, "lo");
        EXPECT_EQ(links[0].type, ARPHRD_LOOPBACK);

        auto a0 = netlink.GetLink("a0");
        ASSERT_TRUE(a0);
        EXPECT_EQ(a0->index, a->IfIndex("a0"));
        EXPECT_EQ(a0->type, ARPHRD_ETHER);
        EXPECT_EQ(a0->kind, "veth");
        EXPECT_EQ(a0->mtu, 1500u);
        EXPECT_FALSE(a0->isWireless);
        std::vector<uint8_t> mac = {0x02, 0, 0, 0, 0x0a, 0x01};
        EXPECT_EQ(a0->mac, mac);
        // A veth has no burnt-in address: the current one stands in.
        EXPECT_EQ(a0->permanentMac, mac);
        EXPECT_TRUE(a0->IsAdminUp());
        EXPECT_TRUE(WaitOperUp(netlink, "a0", true));
        EXPECT_FALSE(netlink.GetLink("b0"));
        EXPECT_FALSE(netlink.GetLink(9999));
    });
}

TEST_F(NetlinkTest, LinkDownOnOneEndTakesTheCarrierOfTheOther) {
    testsupport::RunInside(*a, [&] {
        Netlink inA;
        ASSERT_TRUE(WaitOperUp(inA, "a0", true));
        testsupport::RunInside(*b, [&] {
            Netlink inB;
            auto b0 = inB.GetLink("b0");
            ASSERT_TRUE(b0);
            ASSERT_TRUE(inB.SetLinkUp(b0->index, false));
            EXPECT_FALSE(inB.GetLink("b0")->IsAdminUp());
        });
        auto a0 = inA.GetLink("a0");
        EXPECT_TRUE(a0->IsAdminUp());
        EXPECT_TRUE(WaitOperUp(inA, "a0", false));
        EXPECT_TRUE(WaitOperUp(inA, "a1", true)); // the other pair is untouched
        b->Ip("link set b0 up");
        EXPECT_TRUE(WaitOperUp(inA, "a0", true));
        EXPECT_FALSE(inA.SetLinkUp(9999, false));
        EXPECT_EQ(inA.LastError(), ENODEV);
    });
}

TEST_F(NetlinkTest, AddressesRoutesAndLookup) {
    b->Ip("addr add 10.1.0.2/24 dev b0");
    testsupport::RunInside(*a, [&] {
        Netlink netlink;
        int a0 = a->IfIndex("a0");
        int a1 = a->IfIndex("a1");
        ASSERT_TRUE(netlink.AddAddress(a0, Ip("10.1.0.1"), 24));
        ASSERT_TRUE(netlink.AddAddress(a1, Ip("10.2.0.1"), 16));
        EXPECT_FALSE(netlink.AddAddress(a0, Ip("10.1.0.1"), 24));
        EXPECT_EQ(netlink.LastError(), EEXIST);

        std::vector<platform::Ipv4Address> addresses;
        ASSERT_TRUE(netlink.ListAddresses(addresses, a0));
        ASSERT_EQ(addresses.size(), 1u);
        EXPECT_EQ(addresses[0].address, Ip("10.1.0.1"));
        EXPECT_EQ(addresses[0].prefixLength, 24);
        EXPECT_EQ(addresses[0].label, "a0");
        ASSERT_TRUE(netlink.ListAddresses(addresses));
        EXPECT_EQ(addresses.size(), 3u); // with 127.0.0.1

        std::vector<platform::Route> routes;
        ASSERT_TRUE(netlink.ListRoutes(routes));
        EXPECT_TRUE(std::any_of(routes.begin(), routes.end(), [&](const platform::Route& r) {
            return r.destination == Ip("10.2.0.0") && r.prefixLength == 16 && r.ifindex == a1;
        }));

        auto route = netlink.LookupRoute(Ip("10.1.0.2"));
        ASSERT_TRUE(route);
        EXPECT_EQ(route->ifindex, a0);
        EXPECT_EQ(route->preferredSource, Ip("10.1.0.1"));
        route = netlink.LookupRoute(Ip("10.2.200.1"));
        ASSERT_TRUE(route);
        EXPECT_EQ(route->ifindex, a1);
        EXPECT_FALSE(netlink.LookupRoute(Ip("192.0.2.1"))); // no default route in here

        ASSERT_TRUE(netlink.DeleteAddress(a0, Ip("10.1.0.1"), 24));
        ASSERT_TRUE(netlink.ListAddresses(addresses, a0));
        EXPECT_TRUE(addresses.empty());
        EXPECT_FALSE(netlink.LookupRoute(Ip("10.1.0.2")));
        EXPECT_FALSE(netlink.DeleteAddress(a0, Ip("10.1.0.1"), 24));
    });
}

TEST_F(NetlinkTest, CountersFollowTraffic) {
    a->Ip("addr add 10.1.0.1/24 dev a0");
    b->Ip("addr add 10.1.0.2/24 dev b0");
    testsupport::RunInside(*a, [&] {
        Netlink netlink;
        ASSERT_TRUE(WaitOperUp(netlink, "a0", true));
        auto before = netlink.GetLink("a0");
        ASSERT_EQ(a->Shell("ping -c 3 -i 0.2 -W 2 10.1.0.2 >/dev/null"), 0);
        auto after = netlink.GetLink("a0");
        EXPECT_GE(after->counters.txPackets, before->counters.txPackets + 3);
        EXPECT_GE(after->counters.rxPackets, before->counters.rxPackets + 3);
        EXPECT_GT(after->counters.txBytes, before->counters.txBytes);
    });
}

TEST_F(NetlinkTest, FlushRemovesLearntNeighboursAndKeepsPermanentOnes) {
    a->Ip("addr add 10.1.0.1/24 dev a0");
    a->Ip("addr add 10.2.0.1/24 dev a1");
    a->Ip("neigh add 10.1.0.7 lladdr 02:00:00:00:00:07 nud permanent dev a0");
    a->Ip("neigh add 10.1.0.8 lladdr 02:00:00:00:00:08 nud stale dev a0");
    a->Ip("neigh add 10.1.0.9 lladdr 02:00:00:00:00:09 nud reachable dev a0");
    a->Ip("neigh add 10.2.0.8 lladdr 02:00:00:00:00:18 nud stale dev a1");
    testsupport::RunInside(*a, [&] {
        Netlink netlink;
        int a0 = a->IfIndex("a0");
        int a1 = a->IfIndex("a1");
        std::vector<platform::Neighbour> neighbours;
        ASSERT_TRUE(netlink.ListNeighbours(neighbours, a0));
        ASSERT_EQ(neighbours.size(), 3u);
        auto seven = std::find_if(neighbours.begin(), neighbours.end(),
                                  [&](const platform::Neighbour& n) { return n.address == Ip("10.1.0.7"); });
        ASSERT_NE(seven, neighbours.end());
        EXPECT_TRUE(seven->IsPermanent());
        EXPECT_EQ(seven->mac, (std::vector<uint8_t>{2, 0, 0, 0, 0, 7}));

        ASSERT_TRUE(netlink.FlushNeighbours(a0));
        ASSERT_TRUE(netlink.ListNeighbours(neighbours, a0));
        ASSERT_EQ(neighbours.size(), 1u);
        EXPECT_EQ(neighbours[0].address, Ip("10.1.0.7"));
        ASSERT_TRUE(netlink.ListNeighbours(neighbours, a1));
        EXPECT_EQ(neighbours.size(), 1u); // another link keeps its entries

        ASSERT_TRUE(netlink.DeleteNeighbour(a0, Ip("10.1.0.7")));
        ASSERT_TRUE(netlink.ListNeighbours(neighbours, a0));
        EXPECT_TRUE(neighbours.empty());
        EXPECT_FALSE(netlink.DeleteNeighbour(a0, Ip("10.1.0.7")));
        EXPECT_EQ(netlink.LastError(), ENOENT);
    });
}

TEST_F(NetlinkTest, HelperThreadEntersTheOtherNamespace) {
    std::atomic<int> seen{0};
    {
        testsupport::NamespaceThread peer(*b, [&](std::stop_token stop) {
            Netlink netlink;
            if (netlink.GetLink("b0") && !netlink.GetLink("a0"))
                seen = 1;
            while (!stop.stop_requested())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        });
        testsupport::RunInside(*a, [&] { EXPECT_TRUE(Netlink().GetLink("a0")); });
    }
    EXPECT_EQ(seen, 1);
}

} // namespace
