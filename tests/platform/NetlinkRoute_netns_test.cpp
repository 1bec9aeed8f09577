#include <algorithm>
#include <cerrno>
#include <gtest/gtest.h>

#include "platform/net/Netlink.h"
#include "tests/support/NetNamespace.h"

using platform::Netlink;
using platform::Route;

namespace {

uint32_t Ip(const char* text) {
    uint32_t address = 0;
    EXPECT_TRUE(platform::ParseIpv4(text, address)) << text;
    return address;
}

class NetlinkRouteTest : public testsupport::NetnsTest {};

TEST_F(NetlinkRouteTest, AddsAndDeletesRoutesThroughALink) {
    auto& a = AddNamespace();
    auto& b = AddNamespace();
    testsupport::AddVethPair(a, "a0", b, "b0");
    a.Ip("addr add 10.1.0.1/24 dev a0");
    testsupport::RunInside(a, [&] {
        Netlink netlink;
        int a0 = a.IfIndex("a0");
        auto defaults = [&] {
            std::vector<Route> routes, found;
            EXPECT_TRUE(netlink.ListRoutes(routes));
            std::copy_if(routes.begin(), routes.end(), std::back_inserter(found),
                         [](const Route& r) { return r.prefixLength == 0 && r.table == 254; });
            return found;
        };

        Route viaGateway{.gateway = Ip("10.1.0.254"), .ifindex = a0, .priority = 1};
        ASSERT_TRUE(netlink.AddRoute(viaGateway)) << netlink.LastError();
        auto found = defaults();
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].gateway, Ip("10.1.0.254"));
        EXPECT_EQ(found[0].ifindex, a0);
        EXPECT_EQ(found[0].priority, 1u);
        EXPECT_EQ(netlink.LookupRoute(Ip("192.0.2.9"))->gateway, Ip("10.1.0.254"));

        struct Case {
            const char* what;
            Route route;
            int error;
        } refused[] = {
            {"twice", viaGateway, EEXIST},
            {"gateway off the link", {.gateway = Ip("10.7.0.1"), .ifindex = a0, .priority = 5}, ENETUNREACH},
            {"no such link", {.destination = Ip("10.6.0.0"), .prefixLength = 16, .ifindex = 9999}, ENODEV},
            {"bad prefix", {.prefixLength = 33, .ifindex = a0}, EINVAL},
        };
        for (const Case& c : refused) {
            EXPECT_FALSE(netlink.AddRoute(c.route)) << c.what;
            EXPECT_EQ(netlink.LastError(), c.error) << c.what;
        }

        Route onLink{.destination = Ip("10.5.0.0"), .prefixLength = 16, .ifindex = a0};
        ASSERT_TRUE(netlink.AddRoute(onLink)) << netlink.LastError();
        EXPECT_EQ(netlink.LookupRoute(Ip("10.5.3.3"))->gateway, 0u);

        ASSERT_TRUE(netlink.DeleteRoute(viaGateway));
        EXPECT_TRUE(defaults().empty());
        EXPECT_FALSE(netlink.DeleteRoute(viaGateway));
        EXPECT_EQ(netlink.LastError(), ESRCH);
        ASSERT_TRUE(netlink.DeleteRoute(onLink));
        EXPECT_FALSE(netlink.LookupRoute(Ip("10.5.3.3")));
    });
}

} // namespace
