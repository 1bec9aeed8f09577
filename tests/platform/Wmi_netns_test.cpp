// The Linux provider against links set up in a private namespace.

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/net/CardGuid.h"
#include "platform/net/Netlink.h"
#include "platform/wmi/Provider.h"
#include "tests/support/NetNamespace.h"

using platform::wmi::Object;
using platform::wmi::Value;

namespace {

// The text of a value, arrays as "a,b", for comparing whole objects at a glance.
std::string Show(const Object& object, const std::string& property) {
    auto found = object.find(property);
    if (found == object.end())
        return "<none>";
    const Value& v = found->second;
    std::string text;
    switch (v.kind) {
    case Value::Kind::Null:
        return "<null>";
    case Value::Kind::Text:
        return v.text;
    case Value::Kind::Integer:
        return std::to_string(v.integer);
    case Value::Kind::Boolean:
        return v.boolean ? "true" : "false";
    case Value::Kind::TextArray:
        for (const auto& t : v.texts)
            text += (text.empty() ? "" : ",") + t;
        return text;
    default:
        return "<other>";
    }
}

class WmiLinux : public testsupport::NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped())
            return;
        pc = &AddNamespace();
        peer = &AddNamespace();
        pc->Ip("link set lo up");
        testsupport::AddVethPair(*pc, "up0", *peer, "p0", "02:00:00:00:01:01");
        testsupport::AddVethPair(*pc, "dark0", *peer, "p1", "02:00:00:00:01:02");
        testsupport::AddVethPair(*pc, "down0", *peer, "p2", "02:00:00:00:01:03");
        peer->Ip("link set p1 down"); // up without carrier
        pc->Ip("link set down0 down");
        pc->Ip("link add br0 type bridge");
        pc->Ip("addr add 10.5.0.1/24 dev up0 valid_lft 300 preferred_lft 300");
        pc->Ip("addr add 10.6.0.1/16 dev dark0");
        pc->Ip("route add default via 10.5.0.254 dev up0");
        ASSERT_EQ(pc->Shell("sysctl -qw net.ipv6.conf.dark0.disable_ipv6=1"), 0);
    }
    testsupport::NetNamespace* pc = nullptr;
    testsupport::NetNamespace* peer = nullptr;
};

TEST_F(WmiLinux, AdaptersConfigurationsAndDevicesOfEveryLink) {
    testsupport::RunInside(*pc, [&] {
        auto& provider = platform::wmi::CurrentProvider();
        ASSERT_EQ(provider.Connect(), 0);
        std::vector<Object> adapters, configurations;
        ASSERT_EQ(provider.ExecQuery("Win32_NetworkAdapter", adapters), 0);
        ASSERT_EQ(provider.ExecQuery("win32_networkadapterconfiguration", configurations), 0);
        std::vector<platform::wmi::Device> devices;
        ASSERT_EQ(provider.ListDevices(devices), 0);
        ASSERT_EQ(adapters.size(), 5u); // lo, three veths, br0
        ASSERT_EQ(configurations.size(), adapters.size());
        ASSERT_EQ(devices.size(), adapters.size());

        struct Expected {
            const char* name;
            std::string status, error, service, enumerator, disabled;
            std::string addresses, masks, gateways, dhcp;
        } expected[] = {
            {"lo", "2", "0", "<none>", "ROOT", "0", "127.0.0.1", "255.0.0.0", "<null>", "false"},
            {"up0", "2", "0", "veth", "VETH", "0", "10.5.0.1", "255.255.255.0", "10.5.0.254", "true"},
            {"dark0", "7", "0", "veth", "VETH", "0", "10.6.0.1", "255.255.0.0", "<null>", "false"},
            {"down0", "0", "22", "veth", "VETH", "1", "<null>", "<null>", "<null>", "false"},
            {"br0", "0", "22", "bridge", "ROOT", "1", "<null>", "<null>", "<null>", "false"},
        };
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        platform::Netlink netlink;
        for (size_t i = 0; i < adapters.size(); ++i) {
            const Expected& e = expected[i];
            SCOPED_TRACE(e.name);
            const Object& a = adapters[i];
            const Object& c = configurations[i];
            int index = pc->IfIndex(e.name);
            EXPECT_EQ(Show(a, "NetConnectionID"), e.name);
            EXPECT_EQ(Show(a, "Name"), e.name);
            EXPECT_EQ(Show(a, "DeviceID"), std::to_string(index));
            EXPECT_EQ(Show(a, "AdapterType"), i == 0 ? "<none>" : "Ethernet 802.3");
            EXPECT_EQ(Show(a, "NetConnectionStatus"), e.status);
            EXPECT_EQ(Show(a, "ConfigManagerErrorCode"), e.error);
            EXPECT_EQ(Show(a, "ServiceName"), e.service);
            EXPECT_EQ(devices[i].className, "Net");
            EXPECT_EQ(devices[i].enumerator, e.enumerator);
            EXPECT_EQ(devices[i].driverKey,
                      "Net\\" + std::string(4 - std::to_string(index).size(), '0') + std::to_string(index));
            EXPECT_EQ(std::to_string(devices[i].disabled), e.disabled);
            EXPECT_EQ(devices[i].index, index);

            EXPECT_EQ(Show(c, "Index"), std::to_string(index));
            EXPECT_EQ(Show(c, "IPAddress"), e.addresses);
            EXPECT_EQ(Show(c, "IPSubnet"), e.masks);
            EXPECT_EQ(Show(c, "DefaultIPGateway"), e.gateways);
            EXPECT_EQ(Show(c, "DHCPEnabled"), e.dhcp);
            EXPECT_EQ(Show(c, "IPEnabled"), "true");
            EXPECT_EQ(Show(c, "DNSHostName"), host);
            auto link = netlink.GetLink(e.name);
            ASSERT_TRUE(link);
            EXPECT_EQ(Show(c, "SettingID"), platform::CardGuidFromMac(link->permanentMac));
            EXPECT_EQ(link->ipv6Disabled, std::string(e.name) == "dark0");
        }
        EXPECT_EQ(Show(configurations[1], "MACAddress"), "02:00:00:00:01:01");

        // A leased address counts down from its lifetime; a static one has none.
        std::vector<platform::Ipv4Address> addresses;
        ASSERT_TRUE(netlink.ListAddresses(addresses, pc->IfIndex("up0")));
        ASSERT_EQ(addresses.size(), 1u);
        EXPECT_LE(addresses[0].validLifetime, 300u);
        EXPECT_GT(addresses[0].validLifetime, 200u);
        ASSERT_TRUE(netlink.ListAddresses(addresses, pc->IfIndex("dark0")));
        ASSERT_EQ(addresses.size(), 1u);
        EXPECT_EQ(addresses[0].validLifetime, platform::Ipv4Address::kForever);

        std::vector<Object> none;
        EXPECT_EQ(provider.ExecQuery("Win32_Fan", none), platform::wmi::kInvalidClass);
        EXPECT_EQ(
            provider.ExecMethod("Win32_NetworkAdapterConfiguration=" + std::to_string(pc->IfIndex("up0")),
                                "SetTcpipNetbios", {}),
            platform::wmi::kMethodNotSupported);
    });
}

} // namespace
