#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <linux/if_packet.h>
#include <memory>
#include <mutex>
#include <net/ethernet.h>
#include <net/if.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <vector>

#include "bench/TrafficBench.h"
#include "engine/config/Configer.h"
#include "engine/jobs/Tester.h"
#include "engine/jobs/ViewSink.h"
#include "engine/ping/NicMonitors.h"
#include "engine/ping/PingTest.h"
#include "engine/records/TestRecords.h"
#include "engine/switch/SwitchPort.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/files/UniqueFd.h"
#include "platform/net/Capture.h"
#include "platform/net/CardGuid.h"
#include "platform/prompt/Prompt.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/PingJob.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/TempDir.h"

using namespace std::chrono_literals;

namespace {

// Time that passes 'scale' times faster than the real one, and only while the job sleeps, so
// the number of passes is exact while frames still need real time to cross the bench.
class ScaledClock : public platform::ManualClock {
public:
    explicit ScaledClock(int scale) : m_scale(scale) {}
    void SleepFor(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration / m_scale);
        Advance(duration);
    }

private:
    const int m_scale;
};

void ParseMac(const char* text, uint8_t mac[6]) {
    unsigned b[6];
    std::sscanf(text, "%x:%x:%x:%x:%x:%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]);
    for (int i = 0; i < 6; ++i)
        mac[i] = static_cast<uint8_t>(b[i]);
}

using Job = testsupport::PingJob;

// Both monitors, started.
struct CapturingMonitors {
    explicit CapturingMonitors(const PingCards& cards, platform::Clock& clock = platform::RealClock())
        : lan(cards, clock), wan(cards, clock) {
        lan.Start();
        wan.Start();
    }
    bool Capturing() { return lan.WaitUntilCapturing(5000) && wan.WaitUntilCapturing(5000); }
    LANic_Monitor lan;
    WANic_Monitor wan;
};

// A clock that holds every reader up while its gate is shut: a monitor that asks it for the
// time stops reading frames, as a busy machine would stop it.
class GateClock : public platform::ManualClock {
public:
    Steady::time_point Now() const override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
        return ManualClock::Now();
    }
    bool WaitEntered() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_entered; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    mutable bool m_entered = false;
    bool m_open = false;
};

struct ThreadPriorities {
    int realTime = 0;    // threads under SCHED_FIFO or SCHED_RR
    int highestNice = 0; // threads at nice -20
};

ThreadPriorities PrioritiesOfThisProcess() {
    ThreadPriorities found;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        const pid_t tid = std::stoi(task.path().filename().string());
        const int policy = sched_getscheduler(tid);
        if (policy == SCHED_FIFO || policy == SCHED_RR)
            ++found.realTime;
        errno = 0;
        if (getpriority(PRIO_PROCESS, static_cast<id_t>(tid)) == -20 && errno == 0)
            ++found.highestNice;
    }
    return found;
}

struct TestingFlag {
    TestingFlag() { SetTestingFlag(true); }
    ~TestingFlag() { SetTestingFlag(false); }
};

} // namespace

class PingBench : public testsupport::PcBenchTest {
protected:
    void SetUp() override {
        PcBenchTest::SetUp();
        if (IsSkipped())
            return;
        cards.Lan.Device = cards.Lan.Description = "lan0";
        cards.Wan.Device = cards.Wan.Description = "wan0";
        ParseMac(kLanMac, cards.Lan.Mac);
        ParseMac(kWanMac, cards.Wan.Mac);
        forwarder = std::make_unique<bench::TrafficForwarder>(bench->Fd(), "lanpeer", "wanpeer");
    }
    void StartForwarder() {
        std::string error;
        ASSERT_TRUE(forwarder->Start(&error)) << error;
    }

    PingCards cards;
    std::unique_ptr<bench::TrafficForwarder> forwarder;
};

TEST_F(PingBench, LossFiguresAndVerdictsOfFivePortsOverTheBench) {
    // VLAN id = port + 1.
    forwarder->SetPolicy(3, bench::PortPolicy::DropAll());
    forwarder->SetPolicy(4, bench::PortPolicy::DropEveryKth(10, 1500, bench::Direction::Upstream, 1));
    forwarder->SetPolicy(5, bench::PortPolicy::Delay(100)); // 2 s of the job's time
    StartForwarder();

    Job job(5);
    testsupport::RunInside(*pc, [&] {
        ScaledClock clock(20);
        CapturingMonitors monitors(cards, clock);
        ASSERT_TRUE(monitors.Capturing());
        TestingFlag testing;
        PingTest test(*job.tester, cards, job.raw, clock);
        // Passes 100 ms apart until whole seconds exceed 18 s: 191 passes, 96 big and 95 small.
        test.SetPeriod(18000);
        EXPECT_EQ(test.Run(), 0);
        test.Close();
    });

    for (int port : {1, 4, 5}) {
        SCOPED_TRACE(port);
        PingStatistics s = job.Ping(port);
        EXPECT_EQ(s.BigPingCount, 96);
        EXPECT_EQ(s.SmallPingCount, 95);
        EXPECT_EQ(s.BigPingRecvCount, 96);
        EXPECT_EQ(s.SmallPingRecvCount, 95);
        EXPECT_EQ(s.BigPingReplyRecvCount, 96);
        EXPECT_EQ(s.SmallPingReplyRecvCount, 95);
        EXPECT_TRUE(s.IsPassed());
        EXPECT_EQ(s.GetResultText(), "Ping测试通过");
    }
    PingStatistics dead = job.Ping(2);
    EXPECT_FALSE(dead.IsPassed());
    EXPECT_EQ(dead.GetResultText(),
              "Ping测试结果：\r\n上行发送96个大包，包丢失率：100%；\r\n上行发送95个小包，包丢失率：100%;\r\n"
              "下行发送96个大包，包丢失率：100%；\r\n下行发送95个小包，包丢失率：100%");
    // Frames 1, 11, .., 91 of the big upstream ones: 10 of 96, which reads as 10 %.
    PingStatistics tenth = job.Ping(3);
    EXPECT_EQ(tenth.BigPingRecvCount, 86);
    EXPECT_EQ(forwarder->GetCounters(4, bench::Direction::Upstream).dropped, 10u);
    EXPECT_FALSE(tenth.IsPassed());
    EXPECT_EQ(tenth.GetResultText(),
              "Ping测试结果：\r\n上行发送96个大包，包丢失率：10%；\r\n上行发送95个小包，包丢失率：0%;\r\n"
              "下行发送96个大包，包丢失率：0%；\r\n下行发送95个小包，包丢失率：0%");
    for (int port = 1; port <= 5; ++port)
        EXPECT_EQ(job.view.GetTestInfo(port)->Get().Ping.State, 2);
    // The delayed port's frames were late on the job's clock, logged and counted all the same.
    const std::string log = testsupport::LogText();
    EXPECT_NE(log.find("_nic_packet_handler 端口：4 ,包序号："), std::string::npos);
    EXPECT_EQ(log.find("delay < 0"), std::string::npos);
}

TEST_F(PingBench, MonitorThreadsRunAtTheNormalClasssHighestLevelNeverRealTime) {
    testsupport::RunInside(*pc, [&] {
        ASSERT_EQ(PrioritiesOfThisProcess().highestNice, 0);
        CapturingMonitors monitors(cards);
        ASSERT_TRUE(monitors.Capturing());
        const ThreadPriorities running = PrioritiesOfThisProcess();
        EXPECT_EQ(running.realTime, 0);
        EXPECT_EQ(running.highestNice, 2);
    });
    EXPECT_EQ(testsupport::LogText().find("SetThreadPriority失败"), std::string::npos);
}

TEST_F(PingBench, FramesArrivingWhileTheMonitorIsHeldUpAreAllCountedAfterwards) {
    // Half a second of line rate (1500-byte frames at 1 GbE) reaches the WAN card while its
    // monitor is held up in its first frame; the kernel's ring must keep them all.
    constexpr int kBurst = 40000;
    GateClock gate;
    PingPort port(1);
    const uint32_t run = RegisterPingRun({&port});
    const uint8_t* lanMac = cards.Lan.Mac;
    const uint8_t* wanMac = cards.Wan.Mac;
    PingFrameSource source{lanMac, wanMac, run, nullptr};
    std::vector<std::vector<uint8_t>> frames(kBurst + 1, std::vector<uint8_t>(kBigPingFrame));
    for (auto& frame : frames)
        ASSERT_TRUE(CreatePingRequestPacket(frame.data(), port, kBigPingFrame, source));
    // Sent from the far end of the WAN card's link, straight into the card.
    platform::UniqueFd raw;
    int wanPeer = 0;
    testsupport::RunInside(*bench, [&] {
        raw.Reset(::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ALL)));
        wanPeer = static_cast<int>(if_nametoindex("wanpeer"));
    });
    ASSERT_TRUE(raw && wanPeer > 0);
    int buffer = 64 << 20;
    ::setsockopt(raw.Get(), SOL_SOCKET, SO_SNDBUFFORCE, &buffer, sizeof buffer);
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_ifindex = wanPeer;
    to.sll_halen = 6;
    std::memcpy(to.sll_addr, wanMac, 6);
    auto send = [&](const std::vector<uint8_t>& frame) {
        while (::sendto(raw.Get(), frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to),
                        sizeof to) < 0)
            std::this_thread::sleep_for(1ms);
    };
    testsupport::RunInside(*pc, [&] {
        WANic_Monitor wan(cards, gate);
        wan.Start();
        ASSERT_TRUE(wan.WaitUntilCapturing(5000));
        TestingFlag testing;
        send(frames[0]);
        ASSERT_TRUE(gate.WaitEntered());
        for (int i = 1; i <= kBurst; ++i)
            send(frames[static_cast<size_t>(i)]);
        gate.Open();
        int last = -1;
        for (int i = 0; i < 100 && wan.GetCount() != last; ++i) {
            last = wan.GetCount();
            std::this_thread::sleep_for(100ms);
        }
        EXPECT_EQ(wan.GetCount(), kBurst + 1);
    });
    UnregisterPingRun(run);
}

TEST_F(PingBench, MonitorsCountOnlyWhileTestingAndStopAtOnce) {
    StartForwarder();
    Job job(1);
    testsupport::RunInside(*pc, [&] {
        WANic_Monitor wan(cards);
        wan.Start();
        ASSERT_TRUE(wan.WaitUntilCapturing(5000));
        PingTest test(*job.tester, cards, job.raw);
        PingPort& port = *job.raw[0];

        // The flag is clear: the request crosses but marks nothing.
        test.SendRequest(port, true);
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(wan.GetCount(), 0);
        {
            TestingFlag testing;
            test.SendRequest(port, false);
            test.SendRequest(port, true);
            for (int i = 0; i < 100 && wan.GetCount() < 2; ++i)
                std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(wan.GetCount(), 2);
        auto packets = port.GetPackets(PingDirection::Upstream);
        ASSERT_EQ(packets.size(), 3u);
        EXPECT_FALSE(packets[0].Replied);
        EXPECT_TRUE(packets[1].Replied);
        EXPECT_TRUE(packets[2].Replied);
        EXPECT_GE(packets[2].ReceiveTick, packets[2].SendTick);

        // An idle capture loop ends as soon as it is told to.
        const auto before = std::chrono::steady_clock::now();
        wan.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
        EXPECT_FALSE(wan.IsRunning());
    });
}

TEST_F(PingBench, MonitorWhoseCardVanishesEndsWithTheLibrarysReasonInTheLog) {
    testsupport::RunInside(*pc, [&] {
        WANic_Monitor wan(cards);
        wan.Start();
        ASSERT_TRUE(wan.WaitUntilCapturing(5000));
        pc->Ip("link del wan0");
        ASSERT_TRUE(wan.WaitForEnd(5000));
    });
    // An error line with the library's text, before the usual exit line.
    const std::string log = testsupport::LogText();
    const size_t reason = log.find("WANic_Monitor: ");
    ASSERT_NE(reason, std::string::npos);
    const size_t lineStart = log.rfind('\n', reason) + 1;
    EXPECT_NE(log.substr(lineStart, reason - lineStart).find("Error"), std::string::npos);
    EXPECT_GT(log.find('\n', reason), reason + std::strlen("WANic_Monitor: ") + 1);
    EXPECT_NE(log.find("WANic_Monitor Capture() Exited.", reason), std::string::npos);
}

TEST_F(PingBench, SendingHandleKeepsNoCopyOfTheTrafficItNeverReads) {
    StartForwarder();
    testsupport::RunInside(*pc, [&] {
        std::string error;
        platform::PcapHandle sender = platform::OpenForSending("wan0", &error);
        ASSERT_TRUE(sender) << error;
        // Frames from the bench arrive on wan0 while nobody reads the handle.
        Job job(1);
        PingTest test(*job.tester, cards, job.raw);
        for (int i = 0; i < 2000; ++i)
            test.SendRequest(*job.raw[0], i % 2 == 0);
        std::this_thread::sleep_for(200ms);
        pcap_stat stats{};
        ASSERT_EQ(pcap_stats(sender.Get(), &stats), 0);
        EXPECT_EQ(stats.ps_recv, 0u);
        EXPECT_EQ(stats.ps_drop, 0u);
    });
    EXPECT_EQ(forwarder->GetCounters(2, bench::Direction::Upstream).forwarded, 2000u);
}

TEST_F(PingBench, CardThatCannotBeOpenedLosesItsDirectionAndTheMonitorAsksThroughThePromptService) {
    StartForwarder();
    platform::RecordingPromptService prompts;
    platform::ScopedPromptService scoped(prompts);
    PingCards broken = cards;
    broken.Wan.Device = "nosuch0";
    Job job(1);
    testsupport::RunInside(*pc, [&] {
        WANic_Monitor missing(broken);
        missing.Start();
        EXPECT_TRUE(missing.WaitForEnd(5000));
        EXPECT_FALSE(missing.WaitUntilCapturing(0));

        CapturingMonitors monitors(cards);
        ASSERT_TRUE(monitors.Capturing());
        TestingFlag testing;
        platform::ManualClock clock;
        PingTest test(*job.tester, broken, job.raw, clock);
        test.SetPeriod(1000); // 21 passes; the 5 s wait is no real wait on this clock
        EXPECT_EQ(test.Run(), 0);
        // Run's final wait did not really pass: give the last frames their time before the tally is read
        // again.
        std::this_thread::sleep_for(300ms);
    });
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Boxes()[0].text,
              "无法打开网卡nosuch0，可能是WinPcap不支持此网卡，建议更换网卡后重试。");
    EXPECT_EQ(prompts.Boxes()[0].caption, "错误");
    PingStatistics s = TallyPingPort(*job.raw[0]);
    EXPECT_EQ(s.BigPingCount, 11);
    EXPECT_EQ(s.BigPingRecvCount, 11);
    EXPECT_EQ(s.SmallPingRecvCount, 10);
    EXPECT_EQ(s.BigPingReplyCount, 11);
    EXPECT_EQ(s.BigPingReplyRecvCount, 0); // nothing left the WAN card
    EXPECT_EQ(s.SmallPingReplyRecvCount, 0);
}

TEST_F(PingBench, InstanceStartsEachMonitorOnceOnTheConfiguredCardsOnly) {
    testsupport::TempDir dir{"corvay-ping-monitors"};
    platform::SetProgramDirectory((dir.str() + "/").c_str());
    std::filesystem::create_directory(dir / "registry");
    platform::SetRegistryRoot((dir / "registry").c_str());
    // Each child starts without singletons and sees the PC namespace's cards.
    testsupport::RunInChild(*pc, [] {
        EXPECT_EQ(LANic_Monitor::Instance(), nullptr);
        EXPECT_EQ(WANic_Monitor::Instance(), nullptr);
    });
    auto role = [](const char* name, const char* card, std::vector<uint8_t> mac) {
        CString key = CString("Software\\Tellvane\\") + name;
        platform::RegSetString(platform::Hive::LocalMachine, key, "Name", card);
        platform::RegSetString(platform::Hive::LocalMachine, key, "Guid",
                               CString(platform::CardGuidFromMac(mac)));
    };
    role("LAN", "lan0", {2, 0, 0, 0, 0x0a, 1});
    role("WAN", "wan0", {2, 0, 0, 0, 0x0b, 1});
    // Forked children must not inherit running threads: the forwarder runs inside the child.
    testsupport::RunInChild(*pc, [&] {
        StartForwarder();
        LANic_Monitor* lan = LANic_Monitor::Instance();
        WANic_Monitor* wan = WANic_Monitor::Instance();
        ASSERT_TRUE(lan && wan);
        EXPECT_EQ(LANic_Monitor::Instance(), lan);
        ASSERT_TRUE(lan->WaitUntilCapturing(5000));
        ASSERT_TRUE(wan->WaitUntilCapturing(5000));
        // The configured cards are the ones captured: a request reaches the WAN monitor.
        Job job(1);
        TestingFlag testing;
        PingTest test(*job.tester, cards, job.raw);
        test.SendRequest(*job.raw[0], true);
        test.SendReply(*job.raw[0], false);
        for (int i = 0; i < 100 && (wan->GetCount() < 1 || lan->GetCount() < 1); ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(wan->GetCount(), 1);
        EXPECT_EQ(lan->GetCount(), 1);
        LANic_Monitor::DeleteInstance();
        WANic_Monitor::DeleteInstance();
        LANic_Monitor* again = LANic_Monitor::Instance(); // a new monitor after the deletion
        ASSERT_NE(again, nullptr);
        EXPECT_TRUE(again->WaitUntilCapturing(5000));
        LANic_Monitor::DeleteInstance();
        Configer::DeleteInstance();
    });
    platform::SetProgramDirectory("");
    platform::SetRegistryRoot("");
}
