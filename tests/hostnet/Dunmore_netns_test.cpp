#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <linux/if_arp.h>
#include <sys/socket.h>

#include "hostnet/dunmore/Function.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/net/Netlink.h"
#include "tests/hostnet/PcAndModem.h"
#include "tests/support/TempDir.h"

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;
using testsupport::PcAndModem;
using testsupport::RunInside;

namespace {

class DunmoreNet : public testsupport::NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped())
            return;
        net = std::make_unique<PcAndModem>(20);
        platform::SetProgramDirectory(dir.str().c_str());
    }
    void TearDown() override { platform::SetProgramDirectory(""); }
    bool HasNeighbour(const char* address) {
        platform::Netlink netlink;
        std::vector<platform::Neighbour> neighbours;
        EXPECT_TRUE(netlink.ListNeighbours(neighbours));
        for (const auto& n : neighbours)
            if (n.address == inet_addr(address))
                return true;
        return false;
    }
    testsupport::TempDir dir;
    std::unique_ptr<PcAndModem> net;
    CFunction function;
};

template <typename Body> std::chrono::milliseconds Timed(Body body) {
    auto start = Steady::now();
    body();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start);
}

TEST_F(DunmoreNet, BatchOfFortyAnswersPerAddressInOneTimeOut) {
    testsupport::WriteFileBytes(dir / "log.debug", "");
    CStringArray addresses;
    std::vector<uint8_t> expected;
    for (int i = 0; i < 20; ++i) {
        addresses.Add(PcAndModem::Answering(i).c_str());
        expected.push_back(1);
        addresses.Add(PcAndModem::Silent(i).c_str());
        expected.push_back(0);
    }
    CByteArray results;
    for (int i = 0; i < 40; ++i)
        results.Add(1); // stale success from an earlier batch
    RunInside(*net->pc, [&] {
        auto elapsed = Timed([&] { EXPECT_EQ(function.AsynPing(addresses, results, 800), 1); });
        EXPECT_GE(elapsed, 750ms);
        EXPECT_LT(elapsed, 1500ms);
    });
    EXPECT_EQ(std::vector<uint8_t>(results.begin(), results.end()), expected);
    std::string log = testsupport::ReadFileBytes(dir / "info.log");
    EXPECT_NE(log.find("UP  :  192.0.2.29\r\n"), std::string::npos);
    EXPECT_NE(log.find("DOWN:  192.0.2.119\r\n"), std::string::npos);
}

TEST_F(DunmoreNet, SinglePingEmptiesLearntNeighboursAndKeepsPermanentOnes) {
    net->pc->Ip("neigh replace 192.0.2.50 lladdr 02:00:00:00:00:50 dev lan0 nud stale");
    net->pc->Ip("neigh replace 198.51.100.50 lladdr 02:00:00:00:01:50 dev wan0 nud reachable");
    net->pc->Ip("neigh replace 192.0.2.51 lladdr 02:00:00:00:00:51 dev lan0 nud permanent");
    RunInside(*net->pc, [&] {
        ASSERT_TRUE(HasNeighbour("192.0.2.50"));
        auto elapsed =
            Timed([&] { EXPECT_EQ(function.AsynPing(CString(PcAndModem::Silent(3).c_str()), 400), 0); });
        EXPECT_LT(elapsed, 900ms);
        EXPECT_FALSE(HasNeighbour("192.0.2.50"));
        EXPECT_FALSE(HasNeighbour("198.51.100.50"));
        EXPECT_TRUE(HasNeighbour("192.0.2.51"));
        EXPECT_EQ(function.AsynPing(CString("192.0.2.12"), 1000), 1);
        EXPECT_EQ(function.AsynPing(CString("not an address"), 100), 0);
    });
}

TEST_F(DunmoreNet, BestInterfaceFollowsTheRoutes) {
    int lan = net->pc->IfIndex("lan0"), wan = net->pc->IfIndex("wan0");
    RunInside(*net->pc, [&] {
        EXPECT_EQ(function.GetBestInterfaceXXX("192.0.2.77"), static_cast<unsigned long>(lan));
        EXPECT_EQ(function.GetBestInterfaceXXX("198.51.100.9"), static_cast<unsigned long>(wan));
        EXPECT_EQ(function.GetBestInterfaceXXX("203.0.113.1"), 0xFFFFFFFFUL); // no default route
        // Texts the address parser refuses: no interface, whatever the routes.
        for (const char* refused : {"192.0.2.256", "192.0.2.", "198.51.100.9x", "", "not an address"})
            EXPECT_EQ(function.GetBestInterfaceXXX(refused), 0xFFFFFFFFUL) << refused;
        // Texts it reads otherwise than they look, as the platform's parser does: a short
        // form fills with zeros (198.51.100 is 198.51.0.100, off the WAN subnet), a lone number
        // is the whole address (3221225986 is 192.0.2.2), 0x and a leading 0 change the base.
        EXPECT_EQ(function.GetBestInterfaceXXX("198.51.100"), 0xFFFFFFFFUL);
        EXPECT_EQ(function.GetBestInterfaceXXX("3221225986"), static_cast<unsigned long>(lan));
        EXPECT_EQ(function.GetBestInterfaceXXX("0306.0x33.100.9"), static_cast<unsigned long>(wan));
    });
}

TEST_F(DunmoreNet, HttpLinkCheckTellsListenerRefusalAndSilence) {
    // The modem listens on 80, refuses 82 and drops everything sent to 81.
    platform::UniqueFd listener;
    RunInside(*net->modem, [&] {
        listener.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(80);
        at.sin_addr.s_addr = inet_addr("192.0.2.2");
        ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
        ASSERT_EQ(::listen(listener.Get(), 8), 0);
    });
    ASSERT_EQ(net->modem->Shell(
                  "nft add table inet t && nft add chain inet t in '{ type filter hook input priority 0; }'"
                  " && nft add rule inet t in tcp dport 81 drop"),
              0);
    char address[] = "192.0.2.2";
    RunInside(*net->pc, [&] {
        struct Case {
            const char* ports;
            int result;
        } fast[] = {{"80", 1}, {"82", 0}, {" 82 , 80,", 1}, {",80", 0}, {"", 0}, {"99999", 0}};
        for (const Case& c : fast) {
            auto elapsed =
                Timed([&] { EXPECT_EQ(function.CheckHttpLinks(address, c.ports), c.result) << c.ports; });
            EXPECT_LT(elapsed, 1000ms) << c.ports;
        }
        char bad[] = "192.0.2";
        EXPECT_EQ(function.CheckHttpLinks(bad, "80"), 0);
        auto elapsed = Timed([&] { EXPECT_EQ(function.CheckHttpLinks(address, "81"), 0); });
        EXPECT_GE(elapsed, 4900ms);
        EXPECT_LT(elapsed, 6000ms);
    });
}

TEST_F(DunmoreNet, TrafficTableListsEveryInterfaceWithItsState) {
    net->pc->Ip("link set wan0 down");
    int lan = net->pc->IfIndex("lan0");
    RunInside(*net->pc, [&] {
        ASSERT_EQ(function.AsynPing(CString("192.0.2.10"), 1000), 1);
        NetCardDataSendRecvStruct rows[50] = {};
        ASSERT_EQ(function.GetNetCardTransData(rows), 3); // lo, lan0, wan0
        EXPECT_EQ(rows[0].dwType, 24u);
        EXPECT_EQ(rows[0].dwOperStatus, 5u);
        const auto& row = rows[1];
        EXPECT_EQ(row.dwIndex, static_cast<uint32_t>(lan));
        EXPECT_EQ(row.dwType, 6u);
        EXPECT_EQ(row.dwMtu, 1500u);
        EXPECT_EQ(row.dwAdminStatus, 1u);
        EXPECT_EQ(row.dwOperStatus, 5u);
        EXPECT_GE(row.dwOutOctets, 42u); // at least the echo request
        EXPECT_GE(row.dwInOctets, 42u);
        EXPECT_EQ(rows[2].dwAdminStatus, 2u);
        EXPECT_EQ(rows[2].dwOperStatus, 0u);
        std::string dump = function.text.str();
        EXPECT_NE(dump.find("lan0\r\ndwIndex:" + std::to_string(lan) + "\r\ndwType:6\r\ndwMtu:1500\r\n"),
                  std::string::npos);
        EXPECT_NE(dump.find("===========================\r\n"), std::string::npos);
        function.GetNetCardTransData(rows); // the dump grows with every call
        std::string again = function.text.str();
        EXPECT_EQ(again.compare(0, dump.size(), dump), 0);
        EXPECT_NE(again.find("lan0\r\ndwIndex:", dump.size()), std::string::npos);
    });
}

TEST_F(DunmoreNet, TrafficTableFillsNoMoreThanFiftyRows) {
    // lo, lan0, wan0 and 52 more.
    ASSERT_EQ(
        net->pc->Shell("for i in $(seq 1 26); do ip link add v$i type veth peer name w$i || exit 1; done"),
        0);
    RunInside(*net->pc, [&] {
        NetCardDataSendRecvStruct rows[52];
        std::memset(rows, 0xAB, sizeof rows);
        EXPECT_EQ(function.GetNetCardTransData(rows), 50);
        EXPECT_EQ(rows[49].dwMtu, 1500u);
        for (int i = 50; i < 52; ++i)
            EXPECT_EQ(rows[i].dwIndex, 0xABABABABu) << "row " << i << " was written";
    });
}

TEST_F(DunmoreNet, ConsolePingReadsTheToolsOutput) {
    RunInside(*net->pc, [&] {
        char answering[] = "192.0.2.11", invalid[] = "no.such.host.invalid";
        EXPECT_EQ(function.Ping(answering), 1);
        EXPECT_EQ(function.Ping(invalid), 0);
        // Text that would reach the tool as options of its own is no address.
        char withOptions[] = "192.0.2.11 -c 1", option[] = "-c1";
        EXPECT_EQ(function.Ping(withOptions), 0);
        EXPECT_EQ(function.Ping(option), 0);
        EXPECT_EQ(function.Ping(nullptr), 0);
    });
}

} // namespace
