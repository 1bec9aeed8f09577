#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

#include "platform/files/ProgramDirectory.h"
#include "platform/files/RunDirectory.h"
#include "platform/net/Daemon.h"
#include "platform/net/DhcpClient.h"
#include "platform/net/Netlink.h"
#include "tests/support/DhcpServer.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"

using platform::DhcpClient;
using platform::DhcpState;

namespace {

uint32_t Ip(const char* text) {
    uint32_t address = 0;
    EXPECT_TRUE(platform::ParseIpv4(text, address)) << text;
    return address;
}

// A PC namespace whose card lan0 faces a peer namespace where busybox udhcpd may serve
// 10.9.0.100-110 with router 10.9.0.1 and two name servers.
class DhcpClientTest : public testsupport::NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped())
            return;
        if (platform::FindProgram("busybox").empty())
            GTEST_SKIP() << "busybox is not installed";
        const char* binary = std::getenv("CORVAY_BINARY_DIR");
        ASSERT_TRUE(binary) << "run under ctest";
        testsupport::AdoptOrphanedDaemons();
        platform::SetProgramDirectory((std::string(binary) + "/bin").c_str());
        platform::SetRunDirectory((m_files / "run").string());
        pc = &AddNamespace();
        peer = &AddNamespace();
        testsupport::AddVethPair(*pc, "lan0", *peer, "lanpeer");
    }
    void TearDown() override {
        // Only once the run directory is the test's (pc is set after it): never a host's client.
        if (pc)
            DhcpClient("lan0").Stop();
        server.reset();
        platform::SetRunDirectory("");
        platform::SetProgramDirectory("");
    }

    void StartServer() { server = std::make_unique<testsupport::DhcpServer>(*peer, "lanpeer", "10.9.0"); }

    testsupport::NetNamespace* pc = nullptr;
    testsupport::NetNamespace* peer = nullptr;

    std::unique_ptr<testsupport::DhcpServer> server;

private:
    testsupport::TempDir m_files{"dhcp-test"};
};

TEST_F(DhcpClientTest, LeaseReplacesTheAddressesSetsTheRouteAndRenews) {
    pc->Ip("addr add 192.168.77.5/24 dev lan0");
    StartServer();
    testsupport::RunInside(*pc, [&] {
        DhcpClient client("lan0");
        ASSERT_EQ(client.Start(), DhcpClient::StartResult::Started);
        EXPECT_EQ(client.Start(), DhcpClient::StartResult::AlreadyRunning);
        ASSERT_TRUE(
            platform::PollUntil([&] { return client.State() == DhcpState::Bound; }, std::chrono::seconds(5)));

        auto lease = client.Lease();
        ASSERT_TRUE(lease);
        EXPECT_EQ(lease->event, "bound");
        EXPECT_GE(ntohl(lease->address), ntohl(Ip("10.9.0.100")));
        EXPECT_LE(ntohl(lease->address), ntohl(Ip("10.9.0.110")));
        EXPECT_EQ(lease->mask, Ip("255.255.255.0"));
        EXPECT_EQ(lease->router, Ip("10.9.0.1"));
        EXPECT_EQ(lease->dnsServers, (std::vector<uint32_t>{Ip("10.9.0.53"), Ip("10.9.0.54")}));
        EXPECT_EQ(lease->server, Ip("10.9.0.1"));
        EXPECT_EQ(lease->leaseSeconds, 3600u);
        EXPECT_EQ(lease->counter, 1u);

        platform::Netlink netlink;
        int lan0 = pc->IfIndex("lan0");
        std::vector<platform::Ipv4Address> addresses;
        ASSERT_TRUE(netlink.ListAddresses(addresses, lan0));
        ASSERT_EQ(addresses.size(), 1u); // the static one is gone
        EXPECT_EQ(addresses[0].address, lease->address);
        EXPECT_EQ(addresses[0].prefixLength, 24);
        std::string shown;
        pc->Shell("ip -4 -o addr show dev lan0", &shown);
        size_t at = shown.find("valid_lft ");
        ASSERT_NE(at, std::string::npos) << shown;
        int lifetime = std::atoi(shown.c_str() + at + 10); // "valid_lft 3599sec"
        EXPECT_GT(lifetime, 3500) << shown;
        EXPECT_LE(lifetime, 3600) << shown;
        auto route = netlink.LookupRoute(Ip("192.0.2.1"));
        ASSERT_TRUE(route);
        EXPECT_EQ(route->gateway, Ip("10.9.0.1"));
        EXPECT_EQ(route->ifindex, lan0);
        EXPECT_EQ(DhcpClient::RunningLinks(), std::vector<std::string>{"lan0"});

        ASSERT_TRUE(client.Renew());
        ASSERT_TRUE(platform::PollUntil([&] { return client.Lease() && client.Lease()->counter == 2; },
                                        std::chrono::seconds(5)));
        EXPECT_EQ(client.Lease()->event, "renew");
        EXPECT_EQ(client.Lease()->address, lease->address);
        EXPECT_EQ(client.State(), DhcpState::Bound);

        pid_t pid = client.Pid();
        ASSERT_NE(pid, 0);
        EXPECT_TRUE(client.Stop());
        EXPECT_FALSE(platform::IsRunning(pid));
        EXPECT_EQ(client.State(), DhcpState::Stopped);
        EXPECT_FALSE(client.Renew());
        EXPECT_TRUE(DhcpClient::RunningLinks().empty());
        EXPECT_TRUE(std::filesystem::is_empty(platform::RunDirectory())); // no pid, lease or temporary file
    });
}

TEST_F(DhcpClientTest, NoServerMeansNoLeaseUntilOneAnswers) {
    testsupport::RunInside(*pc, [&] {
        DhcpClient client("lan0");
        ASSERT_EQ(client.Start(), DhcpClient::StartResult::Started);
        EXPECT_NE(client.State(), DhcpState::Bound);
        ASSERT_TRUE(platform::PollUntil([&] { return client.State() == DhcpState::NoLease; },
                                        std::chrono::seconds(8)));
        EXPECT_FALSE(client.Lease()->HasLease());
        EXPECT_EQ(client.Lease()->counter, 0u);
    });
    StartServer();
    testsupport::RunInside(*pc, [&] {
        DhcpClient client("lan0");
        ASSERT_TRUE(platform::PollUntil([&] { return client.State() == DhcpState::Bound; },
                                        std::chrono::seconds(12)));
        EXPECT_EQ(client.Lease()->counter, 1u);
    });
}

TEST_F(DhcpClientTest, StartRefusalsLeaveNoProcess) {
    testsupport::TempDir empty("dhcp-empty");
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    struct Case {
        const char* what;
        std::string link;
        std::function<void()> arrange, restore;
        DhcpClient::StartResult result;
    } cases[] = {
        {"no busybox on PATH", "lan0", [&] { ::setenv("PATH", empty.str().c_str(), 1); },
         [&] { ::setenv("PATH", path.c_str(), 1); }, DhcpClient::StartResult::ClientMissing},
        {"no event script", "lan0", [&] { platform::SetProgramDirectory(empty.str().c_str()); },
         [&] {
             platform::SetProgramDirectory((std::string(std::getenv("CORVAY_BINARY_DIR")) + "/bin").c_str());
         },
         DhcpClient::StartResult::Failed},
        {"no such link", "lan9", [] {}, [] {}, DhcpClient::StartResult::Failed},
        {"a name that is a path", "../lan0", [] {}, [] {}, DhcpClient::StartResult::Failed},
    };
    testsupport::RunInside(*pc, [&] {
        for (const Case& c : cases) {
            c.arrange();
            DhcpClient client(c.link);
            EXPECT_EQ(client.Start(), c.result) << c.what;
            c.restore();
            EXPECT_EQ(client.Pid(), 0) << c.what;
            EXPECT_EQ(client.State(), DhcpState::Stopped) << c.what;
        }
        EXPECT_TRUE(std::filesystem::is_empty(platform::RunDirectory()));
    });
}

} // namespace
