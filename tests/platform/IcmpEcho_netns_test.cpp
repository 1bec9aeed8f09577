#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>

#include "platform/files/UniqueFd.h"
#include "platform/net/IcmpEcho.h"
#include "platform/net/InternetChecksum.h"
#include "tests/hostnet/PcAndModem.h"

using namespace std::chrono_literals;
using platform::IcmpEchoBatch;
using platform::IcmpSocketKind;
using Steady = std::chrono::steady_clock;

namespace {

uint32_t Ip(const std::string& text) {
    return inet_addr(text.c_str());
}

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
                Ip(net->Answering(0)), Ip(net->Silent(0)), Ip(net->Answering(1)),
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
        EXPECT_EQ(IcmpEchoBatch({Ip("127.0.0.1")}, 1000ms, IcmpSocketKind::Raw).answered,
                  std::vector<uint8_t>{1});
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

// What a forged reply changes against the request it answers.
enum class Forgery { None, Id, Sequence, Payload, Source, Type };

// Answers every echo request that reaches the modem in place of its kernel, with one field
// of the reply forged as told.
void ForgeReplies(std::stop_token stop, const std::atomic<Forgery>& forgery, std::atomic<bool>& ready) {
    platform::UniqueFd raw(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
    int on = 1;
    ASSERT_TRUE(raw && ::setsockopt(raw.Get(), IPPROTO_IP, IP_HDRINCL, &on, sizeof on) == 0);
    ready = true;
    uint8_t in[2048];
    while (!stop.stop_requested()) {
        pollfd ready{raw.Get(), POLLIN, 0};
        if (::poll(&ready, 1, 20) <= 0)
            continue;
        ssize_t size = ::recv(raw.Get(), in, sizeof in, 0);
        iphdr request;
        if (size < static_cast<ssize_t>(sizeof request))
            continue;
        std::memcpy(&request, in, sizeof request);
        size_t headerSize = request.ihl * 4u, icmpSize = static_cast<size_t>(size) - headerSize;
        if (icmpSize < sizeof(icmphdr) || in[headerSize] != ICMP_ECHO)
            continue;
        Forgery f = forgery.load();
        std::vector<uint8_t> out(sizeof(iphdr) + icmpSize);
        iphdr reply{};
        reply.version = 4;
        reply.ihl = 5;
        reply.ttl = 64;
        reply.protocol = IPPROTO_ICMP;
        reply.saddr = f == Forgery::Source ? Ip("192.0.2.2") : request.daddr;
        reply.daddr = request.saddr;
        reply.tot_len = htons(static_cast<uint16_t>(out.size()));
        std::memcpy(out.data(), &reply, sizeof reply);
        uint8_t* icmp = out.data() + sizeof reply;
        std::memcpy(icmp, in + headerSize, icmpSize);
        icmp[0] = f == Forgery::Type ? ICMP_ECHO : ICMP_ECHOREPLY;
        icmp[4] ^= f == Forgery::Id ? 1 : 0;
        icmp[7] ^= f == Forgery::Sequence ? 1 : 0;
        icmp[sizeof(icmphdr)] ^= f == Forgery::Payload ? 0xff : 0;
        icmp[2] = icmp[3] = 0;
        uint16_t checksum = platform::InternetChecksum(static_cast<int>(icmpSize), icmp);
        std::memcpy(icmp + 2, &checksum, 2);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = request.saddr;
        ::sendto(raw.Get(), out.data(), out.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
}

TEST_F(IcmpEcho, OnlyAReplyMatchingTheRequestInEveryFieldCounts) {
    net->modem->Shell("sysctl -qw net.ipv4.icmp_echo_ignore_all=1");
    net->pc->Shell("sysctl -qw net.ipv4.ping_group_range='0 2147483647'");
    std::atomic<Forgery> forgery{Forgery::None};
    std::atomic<bool> ready{false};
    testsupport::NamespaceThread modem(*net->modem,
                                       [&](std::stop_token stop) { ForgeReplies(stop, forgery, ready); });
    while (!ready)
        std::this_thread::sleep_for(1ms);
    struct Case {
        const char* label;
        Forgery forgery;
        uint8_t answered;
    } cases[] = {
        {"faithful reply", Forgery::None, 1},     {"other id", Forgery::Id, 0},
        {"other sequence", Forgery::Sequence, 0}, {"other payload", Forgery::Payload, 0},
        {"other source", Forgery::Source, 0},     {"request sent back", Forgery::Type, 0},
    };
    for (IcmpSocketKind kind : {IcmpSocketKind::Raw, IcmpSocketKind::Datagram}) {
        for (const Case& c : cases) {
            forgery = c.forgery;
            testsupport::RunInside(*net->pc, [&] {
                SCOPED_TRACE(std::string(kind == IcmpSocketKind::Raw ? "raw, " : "datagram, ") + c.label);
                // An answer ends the batch at once; a forgery costs the whole time-out.
                auto result = IcmpEchoBatch({Ip(net->Answering(0))}, c.answered ? 2000ms : 300ms, kind);
                ASSERT_TRUE(result.ran) << result.error;
                EXPECT_EQ(result.answered, std::vector<uint8_t>{c.answered});
            });
        }
    }
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
