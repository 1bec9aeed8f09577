#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "bench/FakeSwitchConsole.h"
#include "engine/switch/SwitchManager.h"
#include "tests/support/FakeConsoleTest.h"
#include "tests/support/PrivateLog.h"

using bench::FakeSwitchConsole;

namespace {

// The notification types the manager passed on, in order.
class TypeRecorder : public Observer {
public:
    void Update(Subject* subject) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_types.push_back(static_cast<SwitchSubject*>(subject)->GetNotifyType());
        m_changed.notify_all();
    }
    bool WaitFor(int type, int ms = 5000) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [&] {
            return std::find(m_types.begin(), m_types.end(), type) != m_types.end();
        });
    }
    std::vector<int> Types() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_types;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_types;
};

// The pty fake console and a manager over it, logged in.
class SwitchManagerConsoleTest : public testsupport::FakeConsoleTest {
protected:
    explicit SwitchManagerConsoleTest(int portCount = 24) : FakeConsoleTest(portCount) {}

    void LogIn(uint32_t replyWaitMs = 5000) {
        options.timings.replyWaitMs = static_cast<int>(replyWaitMs);
        manager = std::make_unique<SwitchManager>(config, options);
        manager->Attach(&recorder);
        // As the view does: ready once attached, so that no notification passes it by.
        viewReady.Set();
        ASSERT_TRUE(recorder.WaitFor(SwitchSubject::LoginSwitchSuccessNotify));
        ASSERT_EQ(manager->IsLoggedIn(), 1);
    }

    void TearDown() override {
        if (manager)
            manager->Detach(&recorder);
        manager.reset();
    }

    TypeRecorder recorder;
    std::unique_ptr<SwitchManager> manager;
};

// A switch of the most ports Config.ini allows, with every pause of the console and the reply
// wait at a tenth of the real ones.
class SwitchManagerSweepTest : public SwitchManagerConsoleTest {
protected:
    SwitchManagerSweepTest() : SwitchManagerConsoleTest(48) {}
    void SetUp() override {
        SwitchManagerConsoleTest::SetUp();
        const SwitchConsoleTimings real;
        auto scaled = [](int ms) { return ms / 10; };
        options.timings = {scaled(real.sendPauseMs),      scaled(real.receivePauseMs),
                           scaled(real.showReplyPauseMs), scaled(real.answerTimeoutMs),
                           scaled(real.keepAliveMs),      scaled(real.viewReadyWaitMs),
                           scaled(real.replyWaitMs)};
    }
};

std::vector<std::string> SetPortLines(const char* word, int from, int to) {
    std::vector<std::string> lines;
    for (int p = from; p <= to; ++p)
        lines.push_back("set port " + std::to_string(p) + " " + word);
    return lines;
}

} // namespace

TEST_F(SwitchManagerConsoleTest, StatusOfOnePortAndOfAllPorts) {
    LogIn();
    fake.SetPortFields(5, {"disabled", "up", 305});
    fake.SetPortFields(24, {"enabled", "up", 324});
    SwitchPort* port = manager->GetPortStatus(5);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->GetPortNo(), 5);
    EXPECT_EQ(port->GetEnableState(), SwitchPort::Enable_Disabled);
    EXPECT_EQ(port->GetLinkState(), SwitchPort::Link_Up);
    EXPECT_EQ(port->GetVlanId(), 305);

    auto ports = manager->GetAllPortStatus();
    ASSERT_EQ(ports.size(), 24u);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(ports[i]->GetPortNo(), i + 1);
    EXPECT_EQ(ports[23]->GetVlanId(), 324);
    EXPECT_EQ(ports[23]->GetLinkState(), SwitchPort::Link_Up);
    EXPECT_EQ(ports[0]->GetLinkState(), SwitchPort::Link_Down);
    EXPECT_EQ(LinesStartingWith("show port").size(), 25u);
    // Queries release only the caller; the view is not told of them.
    for (int type : recorder.Types())
        EXPECT_GE(type, 4);
}

TEST_F(SwitchManagerConsoleTest, SilentConsoleRaisesTheTimeOut) {
    LogIn(300);
    fake.SetSilent(true);
    const auto start = std::chrono::steady_clock::now();
    try {
        manager->GetPortStatus(3);
        FAIL() << "no time-out";
    } catch (const SwitchTimeoutError& e) {
        EXPECT_EQ(e.Code(), 258);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_THROW(manager->DisableAllPortsExceptTrunk(), SwitchTimeoutError);
    EXPECT_THROW(manager->GetAllPortStatus(), SwitchTimeoutError);
}

TEST_F(SwitchManagerConsoleTest, AllPortCommandsLeaveTheLastPortWhateverTheTrunk) {
    config.TrunkPortNo = 1;
    LogIn();
    manager->DisableAllPortsExceptTrunk();
    EXPECT_EQ(LinesStartingWith("set port"), SetPortLines("disable", 1, 23));
    EXPECT_EQ(fake.GetPortFields(24).enable, "enabled");
    manager->EnableAllPorts();
    auto lines = LinesStartingWith("set port");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 23, lines.end()), SetPortLines("enable", 1, 23));
}

TEST_F(SwitchManagerConsoleTest, SinglePortCommandsReturnAtOnceAndNotify) {
    LogIn();
    manager->DisablePort(6);
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::PortEnDisableNotify));
    ASSERT_TRUE(fake.WaitForLines(
        [](const std::vector<std::string>& lines) {
            return std::find(lines.begin(), lines.end(), "set port 6 disable") != lines.end();
        },
        5000));
    ASSERT_NE(manager->GetEnDisabledPort(), nullptr);
    EXPECT_EQ(manager->GetEnDisabledPort()->GetPortNo(), 6);
    EXPECT_EQ(manager->GetEnDisabledPort()->GetEnableState(), SwitchPort::Enable_Disabled);
}

TEST_F(SwitchManagerConsoleTest, LinkTrapsReachTheView) {
    LogIn();
    fake.SendTrap(9, true);
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::PortLinkUpDownNotify));
    ASSERT_NE(manager->GetLinkChangedPort(), nullptr);
    EXPECT_EQ(manager->GetLinkChangedPort()->GetPortNo(), 9);
    EXPECT_EQ(manager->GetLinkChangedPort()->GetLinkState(), SwitchPort::Link_Up);
}

TEST_F(SwitchManagerConsoleTest, ConcurrentCallersAreServedOneAtATime) {
    LogIn();
    for (int p = 1; p <= 6; ++p)
        fake.SetPortFields(p, {"enabled", "up", 400 + p});
    std::vector<std::future<int>> calls;
    for (int p = 1; p <= 6; ++p)
        calls.push_back(
            std::async(std::launch::async, [this, p] { return manager->GetPortStatus(p)->GetVlanId(); }));
    for (int p = 1; p <= 6; ++p)
        EXPECT_EQ(calls[p - 1].get(), 400 + p);
}

TEST_F(SwitchManagerConsoleTest, PortOutsideTheListGivesNullWithoutWaiting) {
    LogIn(20000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(manager->GetPortStatus(25), nullptr);
    EXPECT_EQ(manager->GetPortStatus(0), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(LinesStartingWith("show port").empty());
}

TEST_F(SwitchManagerConsoleTest, EnableOrDisableOfAPortOutsideTheListSendsNothing) {
    LogIn();
    manager->EnablePort(25);
    manager->DisablePort(0);
    manager->EnablePort(-1);
    manager->DisablePort(3); // the one that goes out, after the others would have
    ASSERT_TRUE(fake.WaitForLines(
        [](const std::vector<std::string>& lines) {
            return std::find(lines.begin(), lines.end(), "set port 3 disable") != lines.end();
        },
        5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(LinesStartingWith("set port"), std::vector<std::string>{"set port 3 disable"});
    auto types = recorder.Types();
    EXPECT_EQ(std::count(types.begin(), types.end(), SwitchSubject::PortEnDisableNotify), 1);
}

TEST_F(SwitchManagerConsoleTest, InstanceTakesTheConsoleOptions) {
    options.timings.replyWaitMs = 5000;
    SwitchManager* first = SwitchManager::InstanceWithObserver(config, &recorder, options);
    viewReady.Set();
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::LoginSwitchSuccessNotify));
    EXPECT_EQ(SwitchManager::Instance(config), first);
    fake.SetPortFields(4, {"enabled", "up", 304});
    ASSERT_NE(first->GetPortStatus(4), nullptr);
    EXPECT_EQ(first->GetPortStatus(4)->GetVlanId(), 304);
    first->Detach(&recorder);
    SwitchManager::DeleteInstance();
}

TEST_F(SwitchManagerSweepTest, WholeSweepCompletesAndASilentSwitchStillTimesOut) {
    LogIn(static_cast<uint32_t>(options.timings.replyWaitMs));
    for (int p = 1; p <= 48; ++p)
        fake.SetPortFields(p, {"enabled", p % 2 ? "up" : "down", 100 + p});
    const auto start = std::chrono::steady_clock::now();
    std::vector<SwitchPort*> list;
    ASSERT_NO_THROW(list = manager->GetAllPortStatus());
    // Longer than one reply wait: only a wait that restarts at every reply lets it finish.
    EXPECT_GT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(options.timings.replyWaitMs));
    ASSERT_EQ(list.size(), 48u);
    for (int p = 1; p <= 48; ++p)
        EXPECT_EQ(list[p - 1]->GetVlanId(), 100 + p) << p;

    fake.SetSilent(true);
    const auto silent = std::chrono::steady_clock::now();
    EXPECT_THROW(manager->GetAllPortStatus(), SwitchTimeoutError);
    const auto waited = std::chrono::steady_clock::now() - silent;
    EXPECT_GE(waited, std::chrono::milliseconds(options.timings.replyWaitMs));
    EXPECT_LT(waited, std::chrono::milliseconds(options.timings.replyWaitMs * 2));
}
