#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "engine/log/StringTable.h"
#include "tests/engine/jobs/JobFixture.h"

using namespace jobtest;

namespace {

using ModemTest = JobTest;

size_t Count(const std::vector<std::string>& entries, const std::string& entry) {
    return static_cast<size_t>(std::count(entries.begin(), entries.end(), entry));
}

std::vector<uintptr_t> PortUpdates(const RecordingViewSink& view) {
    std::vector<uintptr_t> ports;
    for (const auto& e : view.Entries())
        if (e.message == WM_PORT_UPDATED)
            ports.push_back(e.wParam);
    return ports;
}

} // namespace

TEST_F(ModemTest, StandardRoutineRecordsEachPortsModemAndLine) {
    sw.LoseLinkOnEnable(4);
    dslam.SetRow(1, 2, "1/2  ADSL2+  down  0  0");
    ASSERT_EQ(Run(&BaseModemTester::Start), kJobFinished);

    const auto one = Record(1).Modem;
    EXPECT_EQ(one.Model, kBenchModelName);
    EXPECT_EQ(one.FirmwareVersion, "V1.2.3"); // "&nbsp;" stripped
    EXPECT_EQ(one.IpAddress, kModemIps[0]);
    EXPECT_EQ(one.MacAddress, ""); // loopback has no ARP entry
    EXPECT_TRUE(one.HasInfo);
    EXPECT_EQ(one.DslStatus, 1);
    EXPECT_EQ(one.DownRate, 4001);
    EXPECT_EQ(one.UpRate, 512);

    // Another model answers but is not recognised: nothing of it is kept, the line still is.
    const auto two = Record(2).Modem;
    EXPECT_EQ(two.Model, "");
    EXPECT_EQ(two.IpAddress, "");
    EXPECT_FALSE(two.HasInfo);
    EXPECT_EQ(two.DslStatus, 2);

    // No modem: no scan result, but the DSLAM row.
    const auto three = Record(3).Modem;
    EXPECT_EQ(three.FirmwareVersion, "");
    EXPECT_EQ(three.DownRate, 4003);

    // Link lost after enabling: neither scanned nor asked, but its row is posted.
    const auto four = Record(4).Modem;
    EXPECT_EQ(four.Model, "");
    EXPECT_EQ(four.DslStatus, 0);
    EXPECT_EQ(dslam.ConnectionCount(), 3);

    EXPECT_EQ(PortUpdates(View()), (std::vector<uintptr_t>{1, 2, 3, 4}));
    EXPECT_EQ(lastResult.DslStatus, 0); // the context holds the last port's result
    EXPECT_EQ(SwitchCalls(), (std::vector<std::string>{
                                 "switch disable-all", "switch enable 1", "switch disable 1",
                                 "switch enable 2", "switch disable 2", "switch enable 3", "switch disable 3",
                                 "switch enable 4", "switch disable 4", "switch enable-all"}));
    const auto entries = journal.Entries();
    EXPECT_EQ(Count(entries, "sleep 4000"), 8u);
    // The scan gives up on the unknown model after a second try with the ARP table cleared.
    const std::string log = LogText();
    EXPECT_NE(log.find("Scan(127.0.0.12) failed,try again."), std::string::npos);
    EXPECT_NE(log.find("Unsupport device:127.0.0.12 "), std::string::npos);
    // No ping answer on port 3: each address twice (the ARP table cleared between), the last named.
    EXPECT_EQ(Count(entries, "ping 127.0.0.13"), 2u);
    EXPECT_NE(log.find("Ping 127.0.0.13 失败。"), std::string::npos);
    EXPECT_NE(log.find("端口4 Link Down,无法进行测试。"), std::string::npos);
    EXPECT_NE(log.find("未用到的变量：Serial_Number，值为：SN0001"), std::string::npos);
}

TEST_F(ModemTest, SimplifiedAsksOnlyTheDslamAndUpgraderOnlyScans) {
    ASSERT_EQ(Run(&SimplyTester::Start, Tester::Mode_Simply), kJobFinished);
    EXPECT_EQ(Record(1).Modem.Model, "");
    EXPECT_EQ(Record(1).Modem.DownRate, 4001);
    EXPECT_EQ(dslam.ConnectionCount(), kPorts);
    EXPECT_EQ(Count(journal.Entries(), "ping 127.0.0.11"), 0u);
    EXPECT_EQ(PortUpdates(View()), (std::vector<uintptr_t>{1, 2, 3, 4}));

    RecordingViewSink fresh(kPorts);
    fresh.SetLinkUpPorts(View().GetLinkUpPorts());
    tester = std::make_unique<Tester>(&fresh, Tester::Mode_Upgrade);
    tester->SetEnvironment(env);
    tester->GetLinkUpPortList();
    TestContext context(*tester);
    ASSERT_EQ(Upgrader::Start(context), kJobFinished);
    EXPECT_EQ(fresh.GetTestInfo(1)->Get().Modem.FirmwareVersion, "V1.2.3");
    EXPECT_EQ(fresh.GetTestInfo(4)->Get().Modem.FirmwareVersion, "V2.0");
    EXPECT_EQ(fresh.GetTestInfo(1)->Get().Modem.DslStatus, 0);
    EXPECT_EQ(dslam.ConnectionCount(), kPorts); // no further DSLAM query
    EXPECT_EQ(context.Result.FirmwareVersion, "V2.0");
}

// Whatever step the stop comes at, the routine ends stopped and touches the switch no more.
TEST_F(ModemTest, StopAtAnyStepEndsStoppedWithNoLaterSwitchCall) {
    ASSERT_EQ(Run(&BaseModemTester::Start), kJobFinished);
    const auto full = journal.Entries();
    ASSERT_GT(full.size(), 20u);
    for (size_t stopAt = 0; stopAt < full.size(); ++stopAt) {
        Journal local;
        JournalClock localClock(local);
        ScriptedSwitch localSwitch(local, kPorts);
        env.switchManager = &localSwitch;
        env.clock = &localClock;
        env.clearArp = [&] { local.Add("arp"); };
        auto ping = env.ping;
        env.ping = [&](const CString& ip, int timeoutMs) {
            local.Add("ping " + ip.str());
            bool reachable = ip.str() == (localSwitch.Enabled() == 1   ? kModemIps[0]
                                          : localSwitch.Enabled() == 2 ? kModemIps[1]
                                          : localSwitch.Enabled() == 4 ? kModemIps[2]
                                                                       : "");
            if (!reachable)
                localClock.ManualClock::SleepFor(std::chrono::milliseconds(timeoutMs));
            return reachable;
        };
        Tester* job = nullptr;
        local.hook = [&](size_t index, const std::string&) {
            if (index == stopAt && job)
                job->Stop();
        };
        LocalJob job2(localSwitch, env, kPorts);
        job = &job2.tester;
        TestContext context(job2.tester);
        EXPECT_EQ(BaseModemTester::Start(context), kJobStopped)
            << "stop at " << stopAt << ": " << full[stopAt];
        // Only the first disabling of the ports comes unchecked after clearing the ARP table.
        const auto entries = local.Entries();
        for (size_t i = stopAt + 1; i < entries.size(); ++i)
            EXPECT_TRUE(!IsSwitchCall(entries[i]) || (i == 1 && entries[i] == "switch disable-all"))
                << "stop at " << stopAt << ", then " << entries[i];
        env.ping = ping;
    }
}

TEST_F(ModemTest, FailuresAbortWithTheirBoxAndLogAndLeaveThePorts) {
    using Thrower = std::function<void()>;
    struct Case {
        const char* name;
        std::string throwAt; // the journal entry at which the failure comes ("" : the DSLAM's)
        Thrower raise;
        bench::LoopbackServer::Behaviour dslamBehaviour;
        std::string dslamPassword;
        std::string box; // "" for none
        std::string log;
    };
    const std::string dslamFailed = LoadStringId(143).str();
    const auto normal = bench::LoopbackServer::Behaviour::Normal;
    const Case cases[] = {
        {"dslam login", "", nullptr, normal, "wrong", dslamFailed + "登录Dslam失败！", "Throw_Error"},
        {"dslam socket", "", nullptr, bench::LoopbackServer::Behaviour::CloseAtOnce, "admin",
         dslamFailed + "Socket错误。", "Throw_Error"},
        {"dslam clients", "", nullptr, bench::LoopbackServer::Behaviour::TooManyClients, "admin",
         dslamFailed + "Telnet客户端太多。", "Throw_Error"},
        {"switch time-out", "switch enable 2", [] { throw SwitchTimeoutError(); }, normal, "admin",
         LoadStringId(1).str(), "BaseModemTester::Start():与交换机通讯超时"},
        {"switch login", "switch enable 2", [] { throw Error_LoginFailed; }, normal, "admin",
         "登录交换机失败，请检查登录用户名与密码。", "Manager_Throw_Error"},
        {"switch socket", "switch disable 1", [] { throw Error_SocketError; }, normal, "admin",
         "Socket错误。", "Manager_Throw_Error"},
        {"switch clients", "switch enable 2", [] { throw Error_TooManyClients; }, normal, "admin",
         "Telnet客户端太多。", "Manager_Throw_Error"},
        {"other long", "switch enable 2", [] { throw 7L; }, normal, "admin", "", "未知错误，错误代码：7"},
        {"long 258", "switch enable 2", [] { throw 258L; }, normal, "admin", LoadStringId(1).str(),
         "BaseModemTester::Start():与交换机通讯超时"},
        {"other", "switch enable 2", [] { throw std::logic_error("x"); }, normal, "admin", "",
         "BaseModemTester::Start()：未知的异常，线程中止。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bench::FakeDslam localDslam("Birch", "admin", c.dslamPassword);
        ASSERT_TRUE(localDslam.Start());
        localDslam.SetBehaviour(c.dslamBehaviour);
        localDslam.SetRow(1, 1, "1/1  ADSL2+  up  4064  512");
        env.dslamTelnetPort = localDslam.GetTcpPort();
        Journal local;
        ScriptedSwitch localSwitch(local, kPorts);
        env.switchManager = &localSwitch;
        local.hook = [&](size_t, const std::string& entry) {
            if (c.raise && entry == c.throwAt)
                c.raise();
        };
        platform::RecordingPromptService boxes;
        platform::ScopedPromptService scoped(boxes);
        LocalJob job(localSwitch, env, kPorts);
        TestContext context(job.tester);
        EXPECT_EQ(BaseModemTester::Start(context), kJobAborted);
        auto shown = boxes.Boxes();
        if (c.box.empty()) {
            EXPECT_TRUE(shown.empty());
        } else {
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].text, c.box.c_str());
            EXPECT_EQ(shown[0].caption, "错误");
            EXPECT_EQ(shown[0].type, platform::kMbOk | platform::kMbIconError);
        }
        EXPECT_NE(LogText().find(c.log), std::string::npos) << c.log;
        // The ports stay as they were: no further port is tested, none enabled again.
        const auto entries = local.Entries();
        EXPECT_EQ(Count(entries, "switch enable-all"), 0u);
        EXPECT_EQ(Count(entries, "switch enable 3"), 0u);
        EXPECT_EQ(Count(entries, "switch disable 2"), 0u);
    }
}

TEST_F(ModemTest, StripNbspAndTheMacOfWhatIsNoNeighbour) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"V1.0&nbsp;", "V1.0"}, {"&nbsp;V&nbspX&nbsp;;", "VX;"}, {"&nbs", "&nbs"}, {"", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(StripNbsp(c.in), c.out) << c.in;
    // No card's network, no address: no MAC and no wait.
    for (const char* ip : {"127.0.0.11", "not an address", ""})
        EXPECT_EQ(GetMacByArp(ip), "") << ip;
}

// A port the view keeps no record of is passed over, but still switched off again.
TEST_F(ModemTest, PortWithoutRecordIsSkippedAndLogged) {
    RecordingViewSink small(2);
    std::vector<SwitchPort*> linkUp;
    for (int p = 1; p <= kPorts; ++p)
        linkUp.push_back(sw.GetPortStatus(p));
    small.SetLinkUpPorts(linkUp);
    Tester t(&small);
    t.SetEnvironment(env);
    t.GetLinkUpPortList();
    TestContext context(t);
    EXPECT_EQ(BaseModemTester::Start(context), kJobFinished);
    EXPECT_EQ(PortUpdates(small), (std::vector<uintptr_t>{1, 2}));
    const auto calls = SwitchCalls();
    EXPECT_EQ(Count(calls, "switch enable 4"), 1u);
    EXPECT_EQ(Count(calls, "switch disable 4"), 1u);
    EXPECT_NE(LogText().find("端口3没有测试记录，跳过。"), std::string::npos);
    EXPECT_EQ(dslam.ConnectionCount(), 2);
}

// The simplified and the upgrade job end their failures as the standard one, in their own names.
TEST_F(ModemTest, SimplifiedAndUpgradeJobsNameThemselvesInTheirFailures) {
    struct Case {
        int (*routine)(TestContext&);
        bool timeOut; // else a failure of no known kind
        const char* log;
    } cases[] = {
        {&SimplyTester::Start, true, "SimplyTester::Start():与交换机通讯超时"},
        {&SimplyTester::Start, false, "SimplyTester::Start()：未知的异常，线程中止。"},
        {&Upgrader::Start, true, "Upgrader::Start():与交换机通讯超时"},
        {&Upgrader::Start, false, "Upgrader::Start()：未知的异常，线程中止。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        NewCase();
        journal.hook = [&](size_t, const std::string& entry) {
            if (entry != "switch disable 1")
                return;
            if (c.timeOut)
                throw SwitchTimeoutError();
            throw std::bad_alloc();
        };
        EXPECT_EQ(Run(c.routine), kJobAborted);
        journal.hook = nullptr;
        EXPECT_NE(LogText().find(c.log), std::string::npos);
        EXPECT_EQ(Prompts().Count(), c.timeOut ? 1u : 0u);
    }
    // The simplified job's DSLAM failure has the standard job's box.
    NewCase();
    dslam.SetBehaviour(bench::LoopbackServer::Behaviour::TooManyClients);
    EXPECT_EQ(Run(&SimplyTester::Start), kJobAborted);
    ASSERT_EQ(Prompts().Count(), 1u);
    EXPECT_EQ(Prompts().Boxes()[0].text, LoadStringId(143) + "Telnet客户端太多。");
    dslam.SetBehaviour(bench::LoopbackServer::Behaviour::Normal);
}
