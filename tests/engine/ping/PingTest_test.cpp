#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "engine/jobs/Tester.h"
#include "engine/jobs/ViewSink.h"
#include "engine/ping/PingTest.h"
#include "engine/records/TestRecords.h"
#include "engine/switch/SwitchPort.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/TempDir.h"

using namespace std::chrono_literals;

namespace {

// A view that notes the clock at each refresh and may act on a message.
class ClockedView : public RecordingViewSink {
public:
    ClockedView(int ports, platform::Clock& clock) : RecordingViewSink(ports), m_clock(clock) {}
    void PostViewMessage(unsigned message, uintptr_t wParam, intptr_t lParam, uint64_t serial) override {
        if (message == WM_PORTS_REFRESH)
            refreshTicks.push_back(m_clock.TickMs());
        RecordingViewSink::PostViewMessage(message, wParam, lParam, serial);
        if (onMessage)
            onMessage(message);
    }
    std::vector<long long> refreshTicks;
    std::function<void(unsigned)> onMessage;

private:
    platform::Clock& m_clock;
};

// Each reading of this clock is 1.5 s after the one before: a pass that takes longer than the period.
class SlowPassClock : public platform::ManualClock {
public:
    Steady::time_point Now() const override {
        const_cast<SlowPassClock*>(this)->Advance(1500ms);
        return ManualClock::Now();
    }
};

// A job over the given ports with a PingPort for each of 'pingPorts', on cards that cannot be
// opened (no capture device): every frame is built and recorded, none goes out.
struct Bench {
    Bench(std::vector<int> ports, std::vector<int> pingPorts, platform::Clock& clock, int viewPorts = 8)
        : view(viewPorts, clock) {
        for (int p : ports)
            switchPorts.push_back(
                std::make_unique<SwitchPort>(p, SwitchPort::Enable_Enabled, SwitchPort::Link_Up));
        std::vector<SwitchPort*> list;
        for (auto& sp : switchPorts)
            list.push_back(sp.get());
        view.SetLinkUpPorts(list);
        tester = std::make_unique<Tester>(&view, Tester::Mode_Ping);
        tester->GetLinkUpPortList();
        for (int p : pingPorts)
            records.push_back(std::make_unique<PingPort>(p));
        std::vector<PingPort*> raw;
        for (auto& r : records)
            raw.push_back(r.get());
        test = std::make_unique<PingTest>(*tester, PingCards{}, raw, clock);
    }
    PingPort& Record(int index) { return *records[static_cast<size_t>(index)]; }
    TestInfo::Data Info(int port) { return view.GetTestInfo(port)->Get(); }

    ClockedView view;
    std::vector<std::unique_ptr<SwitchPort>> switchPorts;
    std::unique_ptr<Tester> tester;
    std::vector<std::unique_ptr<PingPort>> records;
    std::unique_ptr<PingTest> test;
};

std::vector<int> Lengths(const PingPort& port, PingDirection direction) {
    std::vector<int> lengths;
    for (const PingPacket& p : port.GetPackets(direction))
        lengths.push_back(p.Length);
    return lengths;
}

} // namespace

TEST(PingTest, PassesAlternateBigAndSmallAndTalliesLandInEveryPortRecord) {
    platform::ManualClock clock;
    const long long start = clock.TickMs();
    Bench bench({2, 5}, {2, 5}, clock);
    bench.test->SetPeriod(2000);
    EXPECT_EQ(bench.test->Run(), 0);

    // 100 ms per pass; done once whole seconds exceed the period: passes at 0 .. 3000 ms.
    std::vector<int> expected;
    for (int pass = 0; pass < 31; ++pass)
        expected.push_back(pass % 2 == 0 ? 1500 : 128);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Lengths(bench.Record(i), PingDirection::Upstream), expected);
        EXPECT_EQ(Lengths(bench.Record(i), PingDirection::Downstream), expected);
    }
    EXPECT_EQ(clock.TickMs() - start, 3000 + PingTest::kLateFrameWaitMs);

    for (int port : {2, 5}) {
        TestInfo::Data d = bench.Info(port);
        // Nothing left the cards, so every frame counts as sent and lost.
        EXPECT_EQ(d.Ping.BigPingCount, 16);
        EXPECT_EQ(d.Ping.SmallPingCount, 15);
        EXPECT_EQ(d.Ping.BigPingReplyCount, 16);
        EXPECT_EQ(d.Ping.SmallPingReplyCount, 15);
        EXPECT_EQ(d.Ping.BigPingRecvCount + d.Ping.SmallPingRecvCount + d.Ping.BigPingReplyRecvCount +
                      d.Ping.SmallPingReplyRecvCount,
                  0);
        EXPECT_EQ(d.Ping.State, 2);
        EXPECT_EQ(d.Ping.Percent, 100);
        EXPECT_EQ(d.PingFlag, 1);
        EXPECT_FALSE(d.Ping.IsPassed());
    }
    EXPECT_EQ(bench.Info(3).Ping.State, 0); // not a test port

    // Refreshes in the loop at 0, 1 and 2 s, then the final one after the wait.
    const std::vector<long long> refreshes = {start, start + 1000, start + 2000, start + 3000 + 5000};
    EXPECT_EQ(bench.view.refreshTicks, refreshes);
    for (const auto& e : bench.view.Entries())
        EXPECT_EQ(e.jobSerial, bench.tester->GetSerial());
}

TEST(PingTest, ProgressIsWrittenWhileRunning) {
    platform::ManualClock clock;
    Bench bench({1}, {1}, clock);
    bench.test->SetPeriod(4000);
    std::vector<std::pair<int, int>> seen; // percent, remaining at each refresh
    bench.view.onMessage = [&](unsigned m) {
        if (m == WM_PORTS_REFRESH) {
            TestInfo::Data d = bench.Info(1);
            seen.push_back({d.Ping.Percent, d.Ping.Remaining});
            EXPECT_EQ(d.Ping.State, seen.size() <= 5 ? 1 : 2);
        }
    };
    EXPECT_EQ(bench.test->Run(), 0);
    const std::vector<std::pair<int, int>> expected = {{0, 4},  {25, 3},  {50, 2},
                                                       {75, 1}, {100, 0}, {100, -1}};
    EXPECT_EQ(seen, expected);
}

TEST(PingTest, PeriodShorterThanOnePassSendsOneBigPass) {
    SlowPassClock clock;
    Bench bench({1, 2, 3}, {1, 2, 3}, clock);
    bench.test->SetPeriod(500);
    EXPECT_EQ(bench.test->Run(), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Lengths(bench.Record(i), PingDirection::Upstream), std::vector<int>{1500});
        EXPECT_EQ(Lengths(bench.Record(i), PingDirection::Downstream), std::vector<int>{1500});
    }
    EXPECT_EQ(bench.Info(1).Ping.BigPingCount, 1);
    EXPECT_EQ(bench.Info(1).Ping.SmallPingCount, 0);
}

TEST(PingTest, ZeroPeriodShowsFullProgressWithoutDividingByIt) {
    platform::ManualClock clock;
    Bench bench({4}, {4}, clock);
    bench.test->SetPeriod(0);
    EXPECT_EQ(bench.test->Run(), 0);
    // The first pass is at 0 s, which is not more than 0; there is no period to divide by.
    EXPECT_EQ(bench.Info(4).Ping.Percent, 100);
    EXPECT_EQ(bench.Info(4).Ping.State, 2);
}

TEST(PingTest, StopEndsWithOneStoresNoTalliesAndSendsNothingMore) {
    platform::ManualClock clock;
    Bench bench({1, 2}, {1, 2}, clock);
    bench.test->SetPeriod(60000);
    bench.view.onMessage = [&](unsigned m) {
        if (m == WM_PORTS_REFRESH)
            bench.tester->Stop();
    };
    EXPECT_EQ(bench.test->Run(), 1);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(bench.Record(i).GetPackets(PingDirection::Upstream).size(), 1u);
    TestInfo::Data d = bench.Info(1);
    EXPECT_EQ(d.Ping.State, 1);
    EXPECT_EQ(d.Ping.BigPingCount, 0);
    EXPECT_EQ(d.PingFlag, 0);
    EXPECT_EQ(bench.view.refreshTicks.size(), 1u); // no final refresh
}

TEST(PingTest, MissingRecordsEndWithTwoAfterTallyingThoseBefore) {
    platform::ManualClock clock;
    // Port 2 has no PingPort; port 9 has no TestInfo (the view has 8).
    Bench bench({1, 2, 3}, {1, 3}, clock);
    bench.test->SetPeriod(1000);
    EXPECT_EQ(bench.test->Run(), 2);
    EXPECT_EQ(bench.Info(1).Ping.State, 2);
    EXPECT_GT(bench.Info(1).Ping.BigPingCount, 0);
    // The pass leaves its port loop at the missing record, and so does the tally.
    EXPECT_TRUE(bench.Record(1).GetPackets(PingDirection::Upstream).empty());
    EXPECT_NE(bench.Info(3).Ping.State, 2);

    Bench noInfo({1, 9}, {1, 9}, clock);
    noInfo.test->SetPeriod(1000);
    EXPECT_EQ(noInfo.test->Run(), 2);
    EXPECT_EQ(noInfo.Info(1).Ping.State, 2);
}

TEST(PingTest, PortsBeyondTheVlanByteAreRefusedBeforeAnyFrame) {
    platform::ManualClock clock;
    Bench bench({1, 300}, {1}, clock);
    bench.test->SetPeriod(1000);
    EXPECT_EQ(bench.test->Run(), 2);
    EXPECT_TRUE(bench.Record(0).GetPackets(PingDirection::Upstream).empty());
    EXPECT_TRUE(bench.view.Entries().empty());
    EXPECT_NE(testsupport::LogText().find("PortCount 300 is too large"), std::string::npos);
}

TEST(PingTest, JobFormTakesTheViewsRecordsAndCountsUnconfiguredCardsAsLost) {
    // No card roles in an empty program directory and registry: the frames go nowhere.
    testsupport::TempDir dir("pingtest-job");
    platform::SetProgramDirectory(dir.str().c_str());
    platform::SetRegistryRoot(dir.str().c_str());
    platform::ManualClock clock;
    Bench bench({3}, {}, clock);
    PingPort record(3);
    bench.view.SetPingPortList({&record});
    PingTest test(*bench.tester, clock);
    EXPECT_EQ(test.FindPingPort(3), &record);
    test.SetPeriod(100);
    EXPECT_EQ(test.Run(), 0);
    EXPECT_FALSE(record.GetPackets(PingDirection::Upstream).empty());
    EXPECT_EQ(bench.Info(3).Ping.Percent, 100);
    platform::SetProgramDirectory("");
}
