#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "engine/log/StringTable.h"
#include "engine/ping/PingFrames.h"
#include "tests/engine/jobs/JobFixture.h"

using namespace jobtest;

namespace {

class TestJob : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        env.system.Modem.AutoUpgradeFirmware = true;
        for (const auto& [name, version] :
             {std::pair{"fw13.bin", "V1.3"}, {"fw14.bin", "V1.4"}, {"fw20.bin", "V2.0"}})
            WriteFileBytes(SharedBench::Get().dir / name, std::string("CV-100 firmware ") + version + "\n");
    }

    std::string Firmware(const char* name) { return (SharedBench::Get().dir / name).string(); }

    // Only port 1 (the CV-100 with V1.2.3) is tested.
    int RunPortOne() {
        View().SetLinkUpPorts({sw.GetPortStatus(1)});
        return Run(&BaseModemTester::Start);
    }

    // The upload makes modem 1 reboot: it answers the pings of the script, then serves
    // 'version' (its old one when empty); or it never comes back.
    void RebootsInto(const std::string& version, std::deque<bool> script, bool never = false) {
        Modem(0).SetUploadHook([this, version, script, never](const std::string&) {
            if (!version.empty())
                SetModem(0, BenchModemValues(kBenchModelName, version));
            std::lock_guard lock(m_mutex);
            pingScript = script;
            if (never)
                down[kModemIps[0]] = true;
        });
    }

    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const auto& b : Prompts().Boxes())
            texts.push_back(b.text.str());
        return texts;
    }
    size_t PortOneUpdates() {
        size_t n = 0;
        for (const auto& e : View().Entries())
            n += e.message == WM_PORT_UPDATED && e.wParam == 1;
        return n;
    }
};

} // namespace

TEST_F(TestJob, UpgradeRulesGiveTheBoxTheChooserOrNothing) {
    const std::string box = "端口：1，目前版本是：V1.2.3，确认是否升级到版本：V1.3？";
    struct Rule {
        const char *oldVersion, *version, *file;
    };
    struct Case {
        const char* name;
        std::vector<Rule> rules;
        std::vector<std::string> shown; // texts of the boxes; a chooser's is the version, then its items
    } cases[] = {
        {"older version contained", {{"V1.2", "V1.3", "fw13.bin"}}, {box}},
        {"already that version", {{"V1.2", "V1.2.3", "fw13.bin"}}, {}},
        {"not contained", {{"V1.4", "V2.0", "fw20.bin"}}, {}},
        {"same pair twice", {{"V1.2", "V1.3", "fw13.bin"}, {"V1.", "V1.3", "fw13.bin"}}, {box}},
        {"two versions",
         {{"V1.2", "V1.4", "fw14.bin"}, {"1.2.3", "V1.3", "fw13.bin"}},
         {"V1.2.3\nV1.3\t" + SharedBench::Get().dir.str() + "/fw13.bin\nV1.4\t" +
          SharedBench::Get().dir.str() + "/fw14.bin"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewCase();
        for (const auto& r : c.rules)
            AddRule(r.oldVersion, r.version, Firmware(r.file));
        EXPECT_EQ(RunPortOne(), kJobFinished);
        EXPECT_EQ(Texts(), c.shown);
        // Declined (the safe answers) or nothing to offer: no upload.
        EXPECT_EQ(Record(1).Modem.Status, c.shown.empty() ? 0 : 3);
        EXPECT_TRUE(Modem(0).Uploads().empty());
        if (!c.shown.empty() && c.shown[0] == box) {
            EXPECT_EQ(Prompts().Boxes()[0].type, platform::kMbYesNo | platform::kMbIconQuestion);
        } else if (!c.shown.empty()) {
            EXPECT_EQ(Prompts().Boxes()[0].type, platform::RecordingPromptService::kChooseItem);
        }
    }
}

// A rule for every version must not flash what answers on a port that was not scanned now:
// a port without a modem, a port whose link went down, an unknown model.
TEST_F(TestJob, PortsNotScannedInThisPassGetNoUpgrade) {
    AddRule("", "V9.9", Firmware("fw20.bin"));
    sw.LoseLinkOnEnable(4);
    View().GetTestInfo(4)->Update(
        [](TestInfo::Data& d) { d.Modem.FirmwareVersion = "V0.1"; }); // from an earlier run
    View().SetLinkUpPorts({sw.GetPortStatus(2), sw.GetPortStatus(3), sw.GetPortStatus(4)});
    EXPECT_EQ(Run(&BaseModemTester::Start), kJobFinished);
    EXPECT_TRUE(Prompts().Boxes().empty());
    for (int m = 0; m < 3; ++m)
        EXPECT_TRUE(Modem(m).Uploads().empty());
}

TEST_F(TestJob, AcceptedUpgradeUploadsWaitsRescansAndRestores) {
    enum class Back { NewVersion, OldVersion, Never };
    struct Case {
        const char* name;
        Back back;
        bool restore;
        int choice; // -1: one candidate, answered Yes
        int status;
        const char* version;
        const char* log;
        int code;
    } cases[] = {
        {"upgraded and restored", Back::NewVersion, true, -1, 1, "V1.3", "升级成功：V1.2.3 升级为 V1.3",
         kJobFinished},
        {"chosen of two", Back::NewVersion, false, 1, 1, "V1.4", "升级成功：V1.2.3 升级为 V1.4",
         kJobFinished},
        {"same version back", Back::OldVersion, false, -1, 2, "V1.2.3", "升级失败：V1.2.3", kJobFinished},
        {"never back", Back::Never, false, -1, 2, "V1.2.3", "升级后重新获取Modem信息失败。", kJobFinished},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewCase();
        env.system.Modem.AutoUpgradeConfig = c.restore;
        AddRule("V1.2", "V1.3", Firmware("fw13.bin"));
        if (c.choice >= 0) {
            AddRule("V1.2.3", "V1.4", Firmware("fw14.bin"));
            Prompts().QueueChoice(c.choice);
        } else {
            Prompts().QueueAnswer(platform::kIdYes);
        }
        // Down twice, then back with all six confirmation pings; or never.
        const bool never = c.back == Back::Never;
        RebootsInto(c.back == Back::NewVersion ? (c.choice == 1 ? "V1.4" : "V1.3") : "",
                    never ? std::deque<bool>{}
                          : std::deque<bool>{false, false, true, true, true, true, true, true, true},
                    never);
        const size_t uploadsBefore = Modem(0).Uploads().size();
        const size_t restoresBefore = Modem(0).FunctionCalls().size();
        EXPECT_EQ(RunPortOne(), c.code);
        const auto modem = Record(1).Modem;
        EXPECT_EQ(modem.Status, c.status);
        EXPECT_EQ(modem.FirmwareVersion, c.version);
        ASSERT_EQ(Modem(0).Uploads().size(), uploadsBefore + 1);
        EXPECT_NE(LogText().find(c.log), std::string::npos) << c.log;
        const auto calls = Modem(0).FunctionCalls();
        EXPECT_EQ(
            std::count(calls.begin() + static_cast<long>(restoresBefore), calls.end(), "GET /restore.cgi"),
            c.restore ? 1 : 0);
        // Posted after the scan, and again after the re-scan read a version.
        EXPECT_EQ(PortOneUpdates(), c.back == Back::Never ? 1u : 2u);
        if (c.back == Back::Never) {
            EXPECT_NE(LogText().find("等待Modem重启超时"), std::string::npos);
        }
    }
}

// A factory restore whose reboot never ends is no failure of the step: it ends the routine.
TEST_F(TestJob, RestoreThatNeverComesBackAbortsTheRoutine) {
    env.system.Modem.AutoUpgradeConfig = true;
    AddRule("V1.2", "V1.3", Firmware("fw13.bin"));
    Prompts().QueueAnswer(platform::kIdYes);
    RebootsInto("V1.3", {true, true, true, true, true, true, true});
    Modem(0).SetFunctionHook([this](const std::string& function) {
        std::lock_guard lock(m_mutex);
        if (function == "RestoreConfig")
            down[kModemIps[0]] = true;
    });
    EXPECT_EQ(RunPortOne(), kJobAborted);
    EXPECT_EQ(Record(1).Modem.Status, 1);
    EXPECT_NE(LogText().find("BaseModemTester::Start()：未知的异常，线程中止。"), std::string::npos);
    EXPECT_EQ(SwitchCalls(), (std::vector<std::string>{"switch disable-all", "switch enable 1"}));
}

TEST_F(TestJob, RebootWaitNeedsFiveOfSixConfirmations) {
    struct Case {
        const char* name;
        std::deque<bool> script; // then no answer
        const char* ip;
        bool back;
    } cases[] = {
        {"all six", {true, true, true, true, true, true, true}, "10.1.1.1", true},
        {"five, the sixth missing", {false, true, true, true, true, true, true, false}, "10.1.1.1", true},
        {"four then a miss", {true, true, true, true, true, false}, "", false},
        {"never", {}, "10.1.1.1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Journal local;
        JournalClock localClock(local);
        env.clock = &localClock;
        std::deque<bool> script = c.script;
        std::vector<std::string> asked;
        env.ping = [&](const CString& ip, int timeoutMs) {
            asked.push_back(ip.str());
            bool answer = !script.empty() && script.front();
            if (!script.empty())
                script.pop_front();
            if (!answer)
                localClock.ManualClock::SleepFor(std::chrono::milliseconds(timeoutMs));
            return answer;
        };
        Tester t(&View());
        t.SetEnvironment(env);
        TestContext context(t);
        const long long start = localClock.TickMs();
        if (c.back) {
            EXPECT_NO_THROW(WaitModemReboot(c.ip, context));
            EXPECT_TRUE(script.empty());
        } else {
            try {
                WaitModemReboot(c.ip, context);
                ADD_FAILURE() << "came back";
            } catch (const ModemRebootTimeout& e) {
                EXPECT_EQ(e.Code(), -14);
            }
            // It gives up only once the limit is passed (whole seconds), not before.
            const long long waited = localClock.TickMs() - start;
            EXPECT_GT(waited, 240000);
            EXPECT_LE(waited, 240000 + 1000 + 2000 + 6 * 3000);
        }
        EXPECT_EQ(asked.front(), *c.ip ? c.ip : "192.168.1.1");
    }
}

// A ping that fails at once (no route) still costs each cycle its time-out: about one cycle per
// time-out up to the limit, not a spin that floods the log.
TEST_F(TestJob, RebootWaitWithAPingThatFailsAtOnceWaitsItsTimeOut) {
    platform::ManualClock localClock;
    env.clock = &localClock;
    Tester t(&View());
    int pings = 0;
    env.ping = [&](const CString&, int) {
        if (++pings == 10000)
            t.Stop(); // the spin, ended so that the test can tell it
        return false;
    };
    t.SetEnvironment(env);
    TestContext context(t);
    const size_t logBefore = LogText().size();
    EXPECT_THROW(WaitModemReboot("10.1.1.1", context), ModemRebootTimeout);
    const int cycles = 240000 / 2000;
    EXPECT_GE(pings, cycles);
    EXPECT_LE(pings, cycles + 2);
    const std::string log = LogText().substr(logBefore);
    size_t lines = 0;
    for (size_t at = log.find("Modem is rebooting."); at != std::string::npos;
         at = log.find("Modem is rebooting.", at + 1))
        ++lines;
    EXPECT_EQ(lines, static_cast<size_t>(pings));
}

// However fast the job's time runs, no time-out falls below what a loopback peer can meet.
TEST(TestTimings, ScaledTimeOutsKeepAFloor) {
    for (int scale : {1, 100, 1000, 1000000}) {
        const TestTimings t = TestTimings().Scaled(scale);
        EXPECT_EQ(t.pingTimeoutMs, std::max(2000 / scale, kScaledTimeoutFloorMs)) << scale;
        EXPECT_EQ(t.rebootLimitMs, std::max(240000 / scale, kScaledTimeoutFloorMs)) << scale;
        EXPECT_EQ(t.portSettleMs, 4000 / scale) << scale;
    }
    EXPECT_EQ(ScaledTimeout(30, 100), 30); // a short one is never stretched
}

TEST_F(TestJob, ModeDispatchRunsTheRoutineThenThePingTest) {
    enum End { Finished, Stopped, Aborted };
    struct Case {
        int mode;
        End end; // how the per-port routine ends
        int code;
        bool pingTest;
        int pingPeriod;
    } cases[] = {
        {Tester::Mode_Standard, Finished, 0, true, 2000}, {Tester::Mode_Standard, Stopped, 1, false, 0},
        {Tester::Mode_Standard, Aborted, 2, false, 0},    {Tester::Mode_Simply, Finished, 0, true, 2000},
        {Tester::Mode_Simply, Stopped, 1, false, 0},      {Tester::Mode_Simply, Aborted, 2, false, 0},
        {Tester::Mode_Upgrade, Finished, 0, false, 0},    {Tester::Mode_Upgrade, Aborted, 2, false, 0},
        {Tester::Mode_LongPing, Finished, 0, true, 6000}, {Tester::Mode_Ping, Finished, 0, true, 2000},
        {Tester::Mode_Wifi, Finished, 2, false, 0},       {42, Finished, 0, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " end " << c.end);
        Journal local;
        JournalClock localClock(local);
        ScriptedSwitch localSwitch(local, kPorts);
        env.clock = &localClock;
        env.switchManager = &localSwitch;
        env.system.Modem.AutoUpgradeFirmware = false;
        env.system.Modem.StandTestPeriod = 2000;
        env.system.Modem.LongPingTestPeriod = 6000;
        RecordingViewSink localView(kPorts);
        std::vector<std::unique_ptr<PingPort>> pingPorts;
        std::vector<PingPort*> rawPingPorts;
        for (int p = 1; p <= kPorts; ++p) {
            pingPorts.push_back(std::make_unique<PingPort>(p));
            rawPingPorts.push_back(pingPorts.back().get());
        }
        localView.SetPingPortList(rawPingPorts);
        localView.SetLinkUpPorts({localSwitch.GetPortStatus(3)});
        Tester t(&localView, c.mode);
        t.SetEnvironment(env);
        local.hook = [&](size_t, const std::string& entry) {
            if (entry != "switch enable 3")
                return;
            if (c.end == Stopped)
                t.Stop();
            else if (c.end == Aborted)
                throw SwitchTimeoutError();
        };
        ASSERT_TRUE(t.Start());
        ASSERT_TRUE(t.WaitForEnd(20000));
        const auto entries = localView.Entries();
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries.back().message, WM_TEST_FINISHED);
        EXPECT_EQ(entries.back().wParam, static_cast<uintptr_t>(c.code));
        const bool refreshed = std::any_of(entries.begin(), entries.end(),
                                           [](const auto& e) { return e.message == WM_PORTS_REFRESH; });
        EXPECT_EQ(refreshed, c.pingTest);
        const auto journalled = local.Entries();
        const bool paused = std::count(journalled.begin(), journalled.end(), "sleep 10000") == 1;
        EXPECT_EQ(paused, c.pingTest && (c.mode == Tester::Mode_Standard || c.mode == Tester::Mode_Simply));
        if (c.pingTest) {
            // The ping test ran for its period: the pauses of its passes add up to it.
            long long passes = std::count(journalled.begin(), journalled.end(), "sleep 100");
            EXPECT_GE(passes * 100, c.pingPeriod);
            EXPECT_LE(passes * 100, c.pingPeriod + 1000);
        }
    }
    const std::string log = LogText();
    EXPECT_NE(log.find("BaseModemTester异常终止，因此不做后续Ping测试。"), std::string::npos);
    EXPECT_NE(log.find("simplyTester异常终止，因此不做后续Ping测试。"), std::string::npos);
    EXPECT_NE(log.find("It is impossible."), std::string::npos);
}

namespace {

// Says Yes, and the operator presses stop meanwhile.
class StoppingPrompts : public platform::PromptService {
public:
    explicit StoppingPrompts(std::function<void()> stop) : m_stop(std::move(stop)) {}
    int MessageBox(const CString&, const CString&, unsigned) override {
        m_stop();
        return platform::kIdYes;
    }

private:
    std::function<void()> m_stop;
};

} // namespace

TEST_F(TestJob, StopAtTheUpgradeBoxOrInTheRebootWaitEndsStopped) {
    for (bool atBox : {true, false}) {
        SCOPED_TRACE(atBox ? "at the box" : "in the reboot wait");
        NewCase();
        AddRule("V1.2", "V1.3", Firmware("fw13.bin"));
        View().SetLinkUpPorts({sw.GetPortStatus(1), sw.GetPortStatus(2)});
        tester = std::make_unique<Tester>(&View());
        tester->SetEnvironment(env);
        tester->GetLinkUpPortList();
        Tester* job = tester.get();
        StoppingPrompts stopping([&] {
            if (atBox)
                job->Stop();
        });
        platform::ScopedPromptService scoped(stopping);
        // Away for good after the upload; the stop comes during the wait.
        RebootsInto("", {}, true);
        size_t pingsAfterUpload = 0;
        journal.hook = [&](size_t, const std::string& entry) {
            if (!atBox && entry == "ping 127.0.0.11" && !Modem(0).Uploads().empty() &&
                ++pingsAfterUpload == 3)
                job->Stop();
        };
        const auto before = clock.TickMs();
        const size_t firstEntry = journal.Entries().size();
        TestContext context(*tester);
        EXPECT_EQ(BaseModemTester::Start(context), kJobStopped);
        journal.hook = nullptr;
        std::vector<std::string> calls;
        const auto entries = journal.Entries();
        for (size_t i = firstEntry; i < entries.size(); ++i)
            if (IsSwitchCall(entries[i]))
                calls.push_back(entries[i]);
        EXPECT_EQ(calls, (std::vector<std::string>{"switch disable-all", "switch enable 1"}));
        // The wait ended with the stop, not at its limit.
        EXPECT_LT(clock.TickMs() - before, 240000);
    }
}
