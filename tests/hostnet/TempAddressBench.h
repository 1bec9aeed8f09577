#pragma once
// A "pc" namespace whose card lan0 (192.0.2.1/24) leads to a "modem" namespace (m0 192.0.2.2/24)
// and whose card wan0 (198.51.100.1/24) leads to a "far" namespace (f0 198.51.100.2/24), so a
// modem behind one card cannot be reached through the other. The temporary-address members
// wait on a manual clock; the debug log is on. Each case must leave the PC's addresses as it
// found them.

#include <algorithm>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "bench/FakeWebServer.h"
#include "hostnet/dunmore/Function.h"
#include "platform/clock/Clock.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/net/Netlink.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"

namespace testsupport {

class TempAddressBench : public NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped())
            return;
        pc = &AddNamespace();
        modem = &AddNamespace();
        far = &AddNamespace();
        AddVethPair(*pc, "lan0", *modem, "m0");
        AddVethPair(*pc, "wan0", *far, "f0");
        pc->Ip("addr add 192.0.2.1/24 dev lan0");
        pc->Ip("addr add 198.51.100.1/24 dev wan0");
        modem->Ip("addr add 192.0.2.2/24 dev m0");
        far->Ip("addr add 198.51.100.2/24 dev f0");
        // Unanswered neighbour lookups give up quickly, so silent addresses cost little.
        pc->Shell("for d in lan0 wan0; do sysctl -qw net.ipv4.neigh.$d.mcast_solicit=1 "
                  "net.ipv4.neigh.$d.retrans_time_ms=100; done");
        lan = pc->IfIndex("lan0");
        wan = pc->IfIndex("wan0");
        lo = pc->IfIndex("lo");
        platform::SetProgramDirectory(dir.str().c_str());
        WriteFileBytes(dir / "log.debug", "");
        CFunction::SetAddressClock(&clock);
        before = Addresses();
    }
    void TearDown() override {
        servers.clear();
        if (pc) {
            EXPECT_EQ(Addresses(), before) << "a temporary address was left behind";
        }
        CFunction::SetAddressClock(nullptr);
        CFunction::SetHostNumberSource(nullptr);
        platform::SetProgramDirectory("");
    }

    // Every IPv4 address of the PC as "link address/prefix", sorted.
    std::vector<std::string> Addresses() {
        std::vector<std::string> rows;
        RunInside(*pc, [&] {
            platform::Netlink netlink;
            std::vector<platform::LinkInfo> links;
            std::vector<platform::Ipv4Address> addresses;
            ASSERT_TRUE(netlink.ListLinks(links));
            ASSERT_TRUE(netlink.ListAddresses(addresses));
            for (const auto& a : addresses) {
                auto link =
                    std::find_if(links.begin(), links.end(), [&](auto& l) { return l.index == a.ifindex; });
                rows.push_back((link != links.end() ? link->name : "?") + " " +
                               platform::FormatIpv4(a.address) + "/" + std::to_string(a.prefixLength));
            }
        });
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    // What the PC holds beyond what it held when the case began.
    std::vector<std::string> Added() {
        std::vector<std::string> now = Addresses(), added;
        std::set_difference(now.begin(), now.end(), before.begin(), before.end(), std::back_inserter(added));
        return added;
    }
    // The host numbers drawn, in order; the last one again once they run out.
    static void Draws(std::vector<unsigned> draws) {
        auto next = std::make_shared<size_t>(0);
        CFunction::SetHostNumberSource([draws, next] {
            size_t at = std::min(*next, draws.size() - 1);
            ++*next;
            return draws[at];
        });
    }
    // A web server of a namespace at one of its addresses; its port.
    std::string Serve(NetNamespace& ns, const std::string& address) {
        servers.push_back(std::make_unique<bench::FakeWebServer>());
        bench::FakeWebServer& server = *servers.back();
        server.Route("GET", "/", bench::WebResponse::Ok("modem"));
        RunInside(ns, [&] { server.Start(address); });
        return std::to_string(server.Port());
    }
    std::string Log() const { return ReadFileBytes(dir / "info.log"); }
    bool Logged(const std::string& line) const { return Log().find("\r\n" + line) != std::string::npos; }
    long long WaitedMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock.Now() - start).count();
    }
    static std::string Index(int ifindex) { return std::to_string(ifindex); }

    TempDir dir;
    platform::ManualClock clock;
    platform::Clock::Steady::time_point start = clock.Now();
    NetNamespace* pc = nullptr;
    NetNamespace* modem = nullptr;
    NetNamespace* far = nullptr;
    int lan = 0, wan = 0, lo = 0;
    std::vector<std::string> before;
    std::vector<std::unique_ptr<bench::FakeWebServer>> servers;
};

} // namespace testsupport
