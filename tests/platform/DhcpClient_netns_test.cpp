#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <latch>
#include <thread>

#include "platform/files/FileIo.h"
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

// Addresses of a link as "address/prefix", sorted.
std::vector<std::string> AddressesOf(testsupport::NetNamespace& ns, const std::string& link) {
    std::vector<std::string> texts;
    testsupport::RunInside(ns, [&] {
        platform::Netlink netlink;
        std::vector<platform::Ipv4Address> addresses;
        ASSERT_TRUE(netlink.ListAddresses(addresses, ns.IfIndex(link)));
        for (const auto& a : addresses)
            texts.push_back(platform::FormatIpv4(a.address) + "/" + std::to_string(a.prefixLength));
    });
    std::sort(texts.begin(), texts.end());
    return texts;
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
        for (auto* ns : {pc, other})
            if (ns)
                testsupport::RunInside(*ns, [] { DhcpClient("lan0").Stop(); });
        server.reset();
        platform::SetRunDirectory("");
        platform::SetProgramDirectory("");
    }

    void StartServer() { server = std::make_unique<testsupport::DhcpServer>(*peer, "lanpeer", "10.9.0"); }

    testsupport::NetNamespace* pc = nullptr;
    testsupport::NetNamespace* peer = nullptr;
    testsupport::NetNamespace* other = nullptr; // a second PC, when a test makes one

    std::unique_ptr<testsupport::DhcpServer> server;

    testsupport::TempDir m_files{"dhcp-test"};
};

// A static address and a temporary one (as the host libraries add) were on the card before
// the lease: renewals and a deconfig leave them, and take off only what a lease put there.
TEST_F(DhcpClientTest, LeaseAddsItsAddressAndRouteRenewsAndTakesOffOnlyWhatItAdded) {
    pc->Ip("addr add 192.168.77.5/24 dev lan0");
    pc->Ip("addr add 203.0.113.7/24 dev lan0");
    const std::vector<std::string> others = {"192.168.77.5/24", "203.0.113.7/24"};
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
        const std::string leased = platform::FormatIpv4(lease->address) + "/24";
        std::vector<std::string> withLease = others;
        withLease.push_back(leased);
        std::sort(withLease.begin(), withLease.end());

        platform::Netlink netlink;
        int lan0 = pc->IfIndex("lan0");
        EXPECT_EQ(AddressesOf(*pc, "lan0"), withLease);
        std::string shown;
        pc->Shell("ip -4 -o addr show dev lan0 to " + platform::FormatIpv4(lease->address), &shown);
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
        EXPECT_EQ(AddressesOf(*pc, "lan0"), withLease);

        // An earlier lease's address goes when the next lease differs from it.
        pc->Ip("addr add 10.9.0.99/24 dev lan0");
        std::string text = platform::ReadWholeFile(client.LeaseFile()).value_or("");
        size_t added = text.find("added=" + leased);
        ASSERT_NE(added, std::string::npos) << text;
        text.replace(added, 6 + leased.size(), "added=10.9.0.99/24");
        ASSERT_TRUE(platform::SaveFileAtomically(client.LeaseFile(), text));
        ASSERT_TRUE(client.Renew());
        ASSERT_TRUE(platform::PollUntil([&] { return client.Lease() && client.Lease()->counter == 3; },
                                        std::chrono::seconds(5)));
        EXPECT_EQ(AddressesOf(*pc, "lan0"), withLease);

        // A release deconfigures: the lease's address and route go, the card's others stay.
        pid_t pid = client.Pid();
        ASSERT_NE(pid, 0);
        ASSERT_EQ(::kill(pid, SIGUSR2), 0);
        ASSERT_TRUE(platform::PollUntil([&] { return client.Lease() && client.Lease()->event == "deconfig"; },
                                        std::chrono::seconds(5)));
        EXPECT_EQ(AddressesOf(*pc, "lan0"), others);
        EXPECT_FALSE(netlink.LookupRoute(Ip("192.0.2.1")));
        EXPECT_EQ(client.State(), DhcpState::Requesting);

        EXPECT_TRUE(client.Stop());
        EXPECT_FALSE(platform::IsRunning(pid));
        EXPECT_EQ(client.State(), DhcpState::Stopped);
        EXPECT_FALSE(client.Renew());
        EXPECT_TRUE(DhcpClient::RunningLinks().empty());
        EXPECT_TRUE(std::filesystem::is_empty(platform::RunDirectory())); // no pid, lease or temporary file
    });
}

// However many callers start the link's client at once, threads of one program or programs of
// their own (the wireless listener's tool), one client runs, and a stop leaves none.
TEST_F(DhcpClientTest, OneClientPerLinkWhateverTheNumberOfCallers) {
    StartServer();
    const std::string tool = std::string(std::getenv("CORVAY_BINARY_DIR")) + "/bin/dhcp-client";
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        if (round % 2 == 0) {
            std::latch ready(3);
            std::vector<DhcpClient::StartResult> results(3);
            std::vector<std::thread> callers;
            for (int i = 0; i < 3; ++i)
                callers.emplace_back([&, i] {
                    testsupport::RunInside(*pc, [&] {
                        ready.arrive_and_wait();
                        results[i] = DhcpClient("lan0").Start();
                    });
                });
            for (auto& caller : callers)
                caller.join();
            EXPECT_EQ(std::count(results.begin(), results.end(), DhcpClient::StartResult::Started), 1);
            EXPECT_EQ(std::count(results.begin(), results.end(), DhcpClient::StartResult::AlreadyRunning), 2);
        } else {
            std::string start = bench::ShellQuote(tool) + " start lan0 & ";
            std::string output;
            EXPECT_EQ(pc->Shell("export CORVAY_RUN_DIR=" + bench::ShellQuote(platform::RunDirectory()) +
                                    "; " + start + "a=$!; " + start + "b=$!; " + start +
                                    "c=$!; s=0; for p in $a $b $c; do wait $p || s=1; done; exit $s",
                                &output),
                      0)
                << output;
        }
        std::vector<pid_t> running = testsupport::DhcpClientsOf(*pc, "lan0");
        ASSERT_EQ(running.size(), 1u);
        testsupport::RunInside(*pc, [&] {
            EXPECT_EQ(DhcpClient("lan0").Pid(), running[0]);
            EXPECT_TRUE(DhcpClient("lan0").Stop());
        });
        EXPECT_TRUE(testsupport::DhcpClientsOf(*pc, "lan0").empty());
    }
}

// Cards of one name in two namespaces are two cards: neither sees nor stops the other's client,
// and a pid of the other namespace is never taken for this one's client.
TEST_F(DhcpClientTest, SameNamedCardsInTwoNamespacesKeepTheirOwnClients) {
    other = &AddNamespace();
    testsupport::AddVethPair(*other, "lan0", *peer, "otherpeer");
    StartServer();
    pid_t first = 0;
    std::string firstPidFile;
    testsupport::RunInside(*pc, [&] {
        DhcpClient client("lan0");
        ASSERT_EQ(client.Start(), DhcpClient::StartResult::Started);
        ASSERT_TRUE(
            platform::PollUntil([&] { return client.State() == DhcpState::Bound; }, std::chrono::seconds(5)));
        first = client.Pid();
        firstPidFile = client.PidFile();
    });
    testsupport::RunInside(*other, [&] {
        DhcpClient client("lan0");
        EXPECT_NE(client.PidFile(), firstPidFile);
        EXPECT_EQ(client.Pid(), 0);
        EXPECT_EQ(client.State(), DhcpState::Stopped);
        EXPECT_FALSE(client.Lease());
        EXPECT_TRUE(DhcpClient::RunningLinks().empty());
        EXPECT_FALSE(client.Renew());
        EXPECT_TRUE(client.Stop());
        EXPECT_TRUE(platform::IsRunning(first));
        // A pid file naming the first namespace's client.
        ASSERT_TRUE(platform::SaveFileAtomically(client.PidFile(), std::to_string(first) + "\n"));
        EXPECT_EQ(client.Pid(), 0);
        EXPECT_EQ(client.Start(), DhcpClient::StartResult::Started);
        EXPECT_NE(client.Pid(), first);
        EXPECT_TRUE(client.Stop());
        EXPECT_TRUE(platform::IsRunning(first));
    });
    testsupport::RunInside(*pc, [&] {
        EXPECT_EQ(DhcpClient("lan0").Pid(), first);
        EXPECT_EQ(DhcpClient("lan0").State(), DhcpState::Bound);
        EXPECT_EQ(DhcpClient::RunningLinks(), std::vector<std::string>{"lan0"});
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
    // A file where the run directory's parent would be.
    const std::filesystem::path blocker = m_files / "blocker";
    testsupport::WriteFileBytes(blocker, "");
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
        {"a run directory that cannot be made", "lan0",
         [&] { platform::SetRunDirectory((blocker / "run").string()); },
         [&] { platform::SetRunDirectory((m_files / "run").string()); },
         DhcpClient::StartResult::NoRunDirectory},
        {"no such link", "lan9", [] {}, [] {}, DhcpClient::StartResult::Failed},
        {"a name that is a path", "../lan0", [] {}, [] {}, DhcpClient::StartResult::Failed},
    };
    testsupport::RunInside(*pc, [&] {
        for (const Case& c : cases) {
            c.arrange();
            DhcpClient client(c.link);
            EXPECT_EQ(client.Start(), c.result) << c.what;
            if (c.result == DhcpClient::StartResult::NoRunDirectory) {
                // Never a file of the root directory, "/dhcp-lan0.pid".
                EXPECT_EQ(client.PidFile(), "");
                EXPECT_EQ(client.LeaseFile(), "");
                EXPECT_TRUE(client.Stop());
                EXPECT_FALSE(client.Lease());
            }
            c.restore();
            EXPECT_EQ(client.Pid(), 0) << c.what;
            EXPECT_EQ(client.State(), DhcpState::Stopped) << c.what;
        }
        EXPECT_TRUE(std::filesystem::is_empty(platform::RunDirectory()));
    });
}

} // namespace
