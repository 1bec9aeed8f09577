#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "platform/net/IcmpEcho.h"
#include "tests/hostnet/PcAndModem.h"

using namespace std::chrono_literals;
using platform::IcmpEchoBatch;
using platform::IcmpSocketKind;
using Steady = std::chrono::steady_clock;

namespace {

uint32_t Ip(const std::string& text) { return inet_addr(text.c_str()); }

class IcmpEcho : public testsupport::NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (!IsSkipped())
            net = std::make_unique<testsupport::PcAndModem>(3);
    }
    std::unique_ptr<testsupport::PcAndModem> net;
};

TEST_F(IcmpEcho, EachTargetGetsItsOwnAnswerInOneTimeOut) {
    for (IcmpSocketKind kind : {IcmpSocketKind::Raw, IcmpSocketKind::Datagram}) {
        SCOPED_TRACE(kind == IcmpSocketKind::Raw ? "raw" : "datagram");
        // Datagram sockets are allowed only for the groups of this range.
        net->pc->Shell("sysctl -qw net.ipv4.ping_group_range='0 2147483647'");
        testsupport::RunInside(*net->pc, [&] {
            std::vector<uint32_t> targets = {
                Ip(net->Answering(0)), Ip(net->Silent(0)),  Ip(net->Answering(1)),
                Ip("203.0.113.5"), // no route at all
                INADDR_NONE,       // what an unreadable address becomes
                Ip(net->Answering(2)), Ip("198.51.100.2"), Ip(net->Answering(0)) // twice in one batch
            };
            auto start = Steady::now();
            auto result = IcmpEchoBatch(targets, 700ms, kind);
            auto elapsed = Steady::now() - start;
            ASSERT_TRUE(result.ran) << result.error;
            EXPECT_EQ(result.answered, (std::vector<uint8_t>{1, 0, 1, 0, 0, 1, 1, 1}));
            EXPECT_GE(elapsed, 650ms);
            EXPECT_LT(elapsed, 1200ms);
        });
    }
}

TEST_F(IcmpEcho, ReturnsAsSoonAsEveryTargetHasAnswered) {
    testsupport::RunInside(*net->pc, [&] {
        auto start = Steady::now();
        auto result = IcmpEchoBatch({Ip(net->Answering(0)), Ip(net->Answering(1))}, 5000ms);
        EXPECT_EQ(result.answered, (std::vector<uint8_t>{1, 1}));
        EXPECT_LT(Steady::now() - start, 1000ms);
    });
}

TEST_F(IcmpEcho, OwnRequestSeenOnLoopbackIsNoAnswer) {
    // With echo answering off, the only ICMP on loopback is the request itself.
    net->pc->Shell("sysctl -qw net.ipv4.icmp_echo_ignore_all=1");
    testsupport::RunInside(*net->pc, [&] {
        auto result = IcmpEchoBatch({Ip("127.0.0.1"), Ip("192.0.2.1")}, 300ms, IcmpSocketKind::Raw);
        ASSERT_TRUE(result.ran);
        EXPECT_EQ(result.answered, (std::vector<uint8_t>{0, 0}));
    });
    net->pc->Shell("sysctl -qw net.ipv4.icmp_echo_ignore_all=0");
    testsupport::RunInside(*net->pc, [&] {
        EXPECT_EQ(IcmpEchoBatch({Ip("127.0.0.1")}, 1000ms, IcmpSocketKind::Raw).answered, std::vector<uint8_t>{1});
    });
}

TEST_F(IcmpEcho, RepliesToAnotherBatchAreNotTaken) {
    // A raw socket sees every reply in the namespace; a busy batch next door must not lend
    // its replies to a batch whose target is silent, even for the same address later.
    net->modem->Ip("addr add 192.0.2.200/32 dev m0");
    std::atomic<bool> stop{false};
    std::jthread busy([&] {
        testsupport::RunInside(*net->pc, [&] {
            while (!stop)
                IcmpEchoBatch({Ip("192.0.2.200"), Ip(net->Answering(0))}, 200ms);
        });
    });
    testsupport::RunInside(*net->pc, [&] {
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(IcmpEchoBatch({Ip(net->Silent(1))}, 300ms).answered, std::vector<uint8_t>{0});
    });
    stop = true;
}

TEST_F(IcmpEcho, DatagramSocketRefusedWhereNotPermitted) {
    net->pc->Shell("sysctl -qw net.ipv4.ping_group_range='1 0'");
    testsupport::RunInside(*net->pc, [&] {
        auto result = IcmpEchoBatch({Ip(net->Answering(0))}, 300ms, IcmpSocketKind::Datagram);
        EXPECT_FALSE(result.ran);
        EXPECT_NE(result.error, 0);
        EXPECT_EQ(result.answered, std::vector<uint8_t>{0});
        // Automatic takes the raw socket as root.
        EXPECT_EQ(IcmpEchoBatch({Ip(net->Answering(0))}, 1000ms).answered, std::vector<uint8_t>{1});
    });
}

} // namespace
