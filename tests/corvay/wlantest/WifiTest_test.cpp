// The wireless test without windows: the panel's steps over the fake wireless-card module, a
// recording LAN card, a scripted ping and a manual clock; and the job over a recording switch
// and view with a scripted dialog in place of the windows.

#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>
#include <thread>

#include "corvay/wlantest/WLanTestSession.h"
#include "corvay/wlantest/WifiTester.h"
#include "engine/log/StringTable.h"
#include "engine/records/TestRecords.h"
#include "tests/engine/jobs/JobFixture.h"
#include "tests/wireless/WlanLibraryTest.h"

using namespace testsupport;
using namespace platform;

namespace {

std::string S(unsigned id) {
    return LoadStringId(id).str();
}

std::string AppCaption() {
    return S(57344).empty() ? "Corvay" : S(57344);
}

std::string Formatted(unsigned id, const char* value) {
    CString text;
    text.Format(LoadStringId(id).GetString(), value);
    return text.str();
}

class RecordingCard : public LanCardSwitch {
public:
    std::deque<int> indices; // the next answers of GetLanNicIndex; then 'index'
    int index = 0;
    std::deque<bool> results; // the next answers of EnableNetCard; then true
    std::vector<std::string> calls;
    bool on = true;
    std::function<void()> onEnable;

    int GetLanNicIndex() override {
        if (indices.empty())
            return index;
        int next = indices.front();
        indices.pop_front();
        return next;
    }
    bool EnableNetCard(int card, bool enable) override {
        calls.push_back(std::string(enable ? "on " : "off ") + std::to_string(card));
        bool ok = true;
        if (!results.empty()) {
            ok = results.front();
            results.pop_front();
        }
        if (ok)
            on = enable;
        if (enable && onEnable)
            onEnable();
        return ok;
    }
};

class RecordingPanel : public WLanPanelView {
public:
    std::vector<std::string> lines;
    std::vector<bool> testing;
    std::string name;
    int focus = 0;

    void AppendLine(const CString& line) override { lines.push_back(line.str()); }
    void ClearLines() override { lines.clear(); }
    void SetTesting(bool t) override { testing.push_back(t); }
    void ShowNetworkName(const CString& n) override { name = n.str(); }
    void FocusControl(int id) override { focus = id; }
    bool Has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

class WifiTestBase : public WlanLibraryTest {
protected:
    void SetUp() override {
        WlanLibraryTest::SetUp();
        fake.interfaces.push_back({kCardA, "wl0"});
    }
    // The modem's network in range, joined.
    FakeNetwork& Network(const std::string& ssid = "port3") {
        FakeNetwork network{ssid, ssid};
        network.flags = kWlanNetworkConnected;
        fake.interfaces[0].networks.push_back(network);
        return fake.interfaces[0].networks.back();
    }
    WLanTestEnvironment Environment() {
        WLanTestEnvironment env;
        env.clock = &clock;
        env.ping = [this](const CString& ip, int timeoutMs) {
            pinged.push_back(ip.str());
            if (onPing)
                onPing(pinged.size());
            if (answers.empty())
                return answerRest;
            bool answer = answers.front();
            answers.pop_front();
            if (!answer)
                clock.SleepFor(std::chrono::milliseconds(timeoutMs));
            return answer;
        };
        env.clearArp = [this] { ++arpClears; };
        env.card = &card;
        env.showPleaseWait = [this](const CString& text) { pleaseWait.push_back("show " + text.str()); };
        env.hidePleaseWait = [this] { pleaseWait.push_back("hide"); };
        env.modemIp = "192.168.1.1";
        env.pingPeriodMs = 3000;
        return env;
    }
    bool ProfilesLeft() const {
        for (const FakeInterface& i : fake.interfaces)
            if (!i.profiles.empty())
                return true;
        return false;
    }

    RecordingCard card;
    std::deque<bool> answers;
    bool answerRest = true;
    std::function<void(size_t)> onPing;
    std::vector<std::string> pinged;
    std::vector<std::string> pleaseWait;
    int arpClears = 0;
};

// ---- the panel's steps ----

class WifiTestSteps : public WifiTestBase {
public: // for the cases' arrangements
    using WifiTestBase::answerRest;
    using WifiTestBase::answers;
    using WifiTestBase::card;
    using WifiTestBase::fake;
    using WifiTestBase::Network;
    using WifiTestBase::onPing;
    WLanTestEnvironment env;
    std::atomic<bool> abort{false};
};

TEST_F(WifiTestSteps, EachWayThroughThePanelsTest) {
    struct Case {
        const char* what;
        WLanTestInput input;
        std::function<void(WifiTestSteps&)> arrange;
        std::vector<std::string> boxes; // texts, in order
        int code;                       // the record's Code afterwards
        bool hasResult;
        int successes, failures;
        std::vector<std::string> cardCalls;
        std::string lastLine;         // of the panel ("" for none)
        const char* logged = nullptr; // a line the log must hold
        bool cardOnAtEnd = true;
        bool pleaseWait = false; // the panel's end switched the card on behind the box
    } cases[] = {
        {"blanks around the name; no key needed without security",
         {"  port3  ", 0, ""},
         [](auto& t) { t.Network(); },
         {S(99)},
         0,
         true,
         4,
         0,
         {"off 0", "on 0"},
         S(99)},
        {"an empty name", {"   ", 0, ""}, [](auto& t) { t.Network(); }, {S(106)}, -7, false, 0, 0, {}, S(76)},
        {"WEP without a key",
         {"port3", 1, "  "},
         [](auto& t) { t.Network(); },
         {S(107)},
         -7,
         false,
         0,
         0,
         {},
         S(76)},
        {"no wireless service",
         {"port3", 0, ""},
         [](auto& t) { t.fake.openResult = kWlanServiceNotActive; },
         {S(66)},
         -7,
         false,
         0,
         0,
         {},
         S(66)},
        {"the network is not in range",
         {"port3", 0, ""},
         [](auto& t) { t.Network("port2"); },
         {Formatted(67, "port3")},
         -4,
         true,
         0,
         0,
         {},
         Formatted(67, "port3")},
        {"joining fails",
         {"port3", 2, "secret12"},
         [](auto& t) {
             FakeNetwork& weak = t.Network();
             weak.flags = 0;
             weak.quality = 10;
         },
         {S(70)},
         -8,
         true,
         0,
         0,
         {},
         S(70)},
        {"the LAN card cannot be switched off",
         {"port3", 0, ""},
         [](auto& t) {
             t.Network();
             t.card.results = {false};
         },
         {S(83)},
         0,
         true,
         0,
         0,
         {"off 0"},
         S(83)},
        {"no LAN card",
         {"port3", 0, ""},
         [](auto& t) {
             t.Network();
             t.card.index = -1;
         },
         {S(82)},
         0,
         true,
         0,
         0,
         {},
         S(82)},
        {"the LAN card is lost during the pings",
         {"port3", 0, ""},
         [](auto& t) {
             t.Network();
             t.card.indices = {0};
             t.card.index = -1;
         },
         {S(82)},
         0,
         true,
         0,
         0,
         {"off 0"},
         S(82),
         "It is impossblie,EnableLanNic failed.",
         false,
         true},
        {"the LAN card does not come back at once",
         {"port3", 0, ""},
         [](auto& t) {
             t.Network();
             t.card.results = {true, false};
         },
         {S(99)},
         0,
         true,
         4,
         0,
         {"off 0", "on 0", "on 0"},
         S(99),
         "启用Lan侧网卡",
         true,
         true},
        {"four failed pings",
         {"port3", 0, ""},
         [](auto& t) {
             t.Network();
             t.answerRest = false;
             t.env.pingPeriodMs = 300000;
         },
         {"Ping成功0个，失败4个"},
         0,
         true,
         0,
         4,
         {"off 0", "on 0"},
         "Ping成功0个，失败4个"},
        {"all answered for 300000 ms",
         {"port3", 0, ""},
         [](auto& t) {
             t.Network();
             t.env.pingPeriodMs = 300000;
         },
         {S(99)},
         0,
         true,
         301,
         0,
         {"off 0", "on 0"},
         S(99)},
        {"a failure during the pings",
         {"port3", 0, ""},
         [](auto& t) {
             t.Network();
             t.onPing = [](size_t n) {
                 if (n == 2)
                     throw std::runtime_error("ping broke");
             };
         },
         {},
         0,
         true,
         0,
         0,
         {"off 0", "on 0"},
         S(71),
         "WLanTestPanel: ping broke"},
        {"abort in the ping phase",
         {"port3", 0, ""},
         [](auto& t) {
             t.Network();
             t.env.pingPeriodMs = 300000;
             t.onPing = [&t](size_t n) {
                 if (n == 3)
                     t.abort = true;
             };
         },
         {},
         0,
         true,
         0,
         0,
         {"off 0", "on 0"},
         S(86),
         nullptr,
         true,
         true},
        {"abort while the card comes back after four failed pings",
         {"port3", 0, ""},
         [](auto& t) {
             t.Network();
             t.answerRest = false;
             t.env.pingPeriodMs = 300000;
             t.card.onEnable = [&t] { t.abort = true; };
         },
         {},
         0,
         true,
         0,
         0,
         {"off 0", "on 0"},
         S(86),
         nullptr,
         true,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake = FakeWlan();
        fake.interfaces.push_back({kCardA, "wl0"});
        card.indices.clear();
        card.index = 0;
        card.results.clear();
        card.calls.clear();
        card.on = true;
        card.onEnable = nullptr;
        answers.clear();
        answerRest = true;
        onPing = nullptr;
        abort = false;
        pleaseWait.clear();
        pinged.clear();
        const size_t boxStart = prompts.Count();
        const size_t logStart = NewLog().size();
        env = Environment();
        c.arrange(*this);

        TestInfo info(3);
        info.Update([](TestInfo::Data& d) { d.Wifi.Code = -7; });
        RecordingPanel panel;
        {
            WLanTestSteps steps(info, 3, env, panel);
            steps.SetAbortCheck([this] { return abort.load(); });
            steps.Run(c.input);
            EXPECT_EQ(steps.IsLanNicOn(), card.on);
            steps.Close();
        }

        // The panel's boxes; the library shows its own about the service.
        std::vector<std::string> boxes;
        const auto shown = ShownBoxes();
        for (auto box = shown.begin() + static_cast<long>(boxStart); box != shown.end(); ++box)
            if (box->second == AppCaption() || box->second == S(103))
                boxes.push_back(box->first);
        EXPECT_EQ(boxes, c.boxes);
        const TestInfo::Data d = info.Get();
        EXPECT_EQ(d.Wifi.Code, c.code);
        EXPECT_EQ(d.Wifi.HasResult, c.hasResult);
        EXPECT_EQ(d.Wifi.SuccessCount, c.successes);
        EXPECT_EQ(d.Wifi.FailureCount, c.failures);
        EXPECT_EQ(card.calls, c.cardCalls);
        ASSERT_FALSE(panel.lines.empty());
        EXPECT_EQ(panel.lines.back(), c.lastLine);
        EXPECT_EQ(panel.testing, (std::vector<bool>{true, false}));
        EXPECT_EQ(card.on, c.cardOnAtEnd);
        const std::vector<std::string> shownBehind{"show " + S(113), "hide"};
        EXPECT_EQ(pleaseWait, c.pleaseWait ? shownBehind : std::vector<std::string>());
        EXPECT_FALSE(ProfilesLeft()) << "a profile of the test stayed on the PC";
        if (c.logged) {
            EXPECT_NE(NewLog().find(c.logged, logStart), std::string::npos);
        }
    }
}

TEST_F(WifiTestSteps, TheNameIsTrimmedAndTheVerdictBoxCloses) {
    Network();
    env = Environment();
    TestInfo info(3);
    RecordingPanel panel;
    WLanTestSteps steps(info, 3, env, panel);
    const long long start = clock.TickMs();
    steps.Run({" port3\t", 0, ""});
    EXPECT_EQ(panel.name, "port3");
    EXPECT_TRUE(panel.Has(Formatted(61203, "port3")));
    EXPECT_TRUE(panel.Has(S(109)));
    EXPECT_TRUE(panel.Has("\tport3"));
    ASSERT_FALSE(prompts.Boxes().empty());
    EXPECT_EQ(prompts.Boxes().back().caption, S(103)); // "测试完毕"
    // 20000 ms before the pings, four ticks, 5000 ms for the card and 5000 ms after.
    EXPECT_GE(clock.TickMs() - start, 20000 + 4000 + 5000 + 5000);
    EXPECT_EQ(std::set<std::string>(pinged.begin(), pinged.end()), std::set<std::string>{"192.168.1.1"});
}

// ---- the job ----

// The dialog of each port as a script: what the operator does while the job serves the dialog.
class ScriptedDialogs : public WifiTesterUi {
public:
    using Script = std::function<int(WLanTestSession&)>; // the dialog's end code
    explicit ScriptedDialogs(jobtest::Journal& journal) : m_journal(journal) {}
    ~ScriptedDialogs() override { Join(); }

    std::map<int, Script> scripts; // by port; none: "next modem" at once
    bool pleaseWaitExists = false;

    void ShowPortWait(int durationMs, const CString& text) override {
        m_journal.Add("wait " + std::to_string(durationMs) + " " + text.str());
    }
    void ShowPleaseWait(const CString& text) override {
        pleaseWaitExists = true;
        m_journal.Add("please-wait " + text.str());
    }
    void HidePleaseWait() override { m_journal.Add("please-wait hidden"); }
    bool DeletePleaseWait() override { return std::exchange(pleaseWaitExists, false); }
    void OpenTestDialog(WLanTestSession& session) override {
        Join();
        m_journal.Add("dialog " + std::to_string(session.Port()));
        auto found = scripts.find(session.Port());
        Script script = found != scripts.end() ? found->second
                                               : Script([](WLanTestSession& s) { return s.OnOK().result; });
        m_thread = std::thread([&session, script] { session.DialogEnded(script(session)); });
    }

private:
    void Join() {
        if (m_thread.joinable())
            m_thread.join();
    }
    jobtest::Journal& m_journal;
    std::thread m_thread;
};

// Waits (really) until the steps have ended.
void WaitUntilIdle(WLanTestSession& session) {
    while (session.IsTesting())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

class WifiTestRun : public WifiTestBase {
protected:
    static constexpr int kPorts = 3;

    void SetUp() override {
        WifiTestBase::SetUp();
        for (const char* name : {"port1", "port2", "port3"})
            Network(name);
        env.switchManager = &sw;
        env.clock = &clock;
        env.clearArp = [this] { journal.Add("arp"); };
        const WLanTestEnvironment steps = Environment();
        env.ping = steps.ping;
        env.system.PingTestPeriod = 3000;
        job = std::make_unique<jobtest::LocalJob>(sw, env, kPorts, Tester::Mode_Wifi);
        for (int p = 1; p <= kPorts; ++p)
            job->view.GetTestInfo(p)->Update([](TestInfo::Data& d) {
                d.Wifi.SuccessCount = 7;
                d.Wifi.HasResult = true;
            });
    }
    int Run() {
        WifiTester tester(job->tester, dialogs, card);
        return tester.Run();
    }
    // The switch commands and the dialogs, in order.
    std::vector<std::string> Steps() const {
        std::vector<std::string> out;
        for (const std::string& e : journal.Entries())
            if (jobtest::IsSwitchCall(e) || e.rfind("dialog", 0) == 0)
                out.push_back(e);
        return out;
    }
    // The view's messages as "1124 2".
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& e : job->view.Entries())
            out.push_back(std::to_string(e.message) + " " + std::to_string(e.wParam));
        return out;
    }
    WifiTestResult Record(int port) { return job->view.GetTestInfo(port)->Get().Wifi; }

    // The operator runs the test with the port's name, then goes to the next modem.
    static ScriptedDialogs::Script TestThenNext(int port) {
        return [port](WLanTestSession& s) {
            s.RequestTest({("port" + std::to_string(port)).c_str(), 0, ""});
            WaitUntilIdle(s);
            return s.OnOK().result;
        };
    }

    jobtest::Journal journal;
    jobtest::ScriptedSwitch sw{journal, kPorts};
    JobEnvironment env;
    std::unique_ptr<jobtest::LocalJob> job;
    ScriptedDialogs dialogs{journal};
};

TEST_F(WifiTestRun, StopBeforeTheFirstPortSendsOnlyTheDisable) {
    job->tester.Stop();
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Steps(), std::vector<std::string>{"switch disable-all"});
    EXPECT_TRUE(Messages().empty());
}

TEST_F(WifiTestRun, EveryPortTestedInTurn) {
    for (int p = 1; p <= kPorts; ++p)
        dialogs.scripts[p] = TestThenNext(p);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Steps(), (std::vector<std::string>{"switch disable-all", "switch enable 1", "dialog 1",
                                                 "switch disable 1", "switch enable 2", "dialog 2",
                                                 "switch disable 2", "switch enable 3", "dialog 3",
                                                 "switch disable 3", "switch enable-all"}));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"1124 1", "1125 0", "1124 2", "1125 0", "1124 3",
                                                    "1125 0", "1125 0"}));
    for (int p = 1; p <= kPorts; ++p) {
        EXPECT_EQ(Record(p).SuccessCount, 4);
        EXPECT_TRUE(Record(p).HasResult);
        EXPECT_EQ(Record(p).ToText().str(), S(99));
    }
    CString wait;
    wait.Format(LoadStringId(110).GetString(), 2);
    const auto entries = journal.Entries();
    EXPECT_NE(std::find(entries.begin(), entries.end(), "wait 4000 " + wait.str()), entries.end());
    EXPECT_NE(std::find(entries.begin(), entries.end(), "please-wait " + S(59)), entries.end());
    EXPECT_TRUE(card.on);
    EXPECT_NE(NewLog().find("WlanTestDlg Get 1"), std::string::npos);
    EXPECT_NE(NewLog().find("AsynWaitingDlg::Delete()"), std::string::npos);
}

TEST_F(WifiTestRun, AbortInTheSecondDialogClearsItsRecordAndLeavesTheThirdAlone) {
    dialogs.scripts[2] = [](WLanTestSession& s) {
        s.RequestTest({"port2", 0, ""});
        return s.OnCancel().result; // at once, while the test runs
    };
    EXPECT_EQ(Run(), 1);
    EXPECT_TRUE(job->tester.IsStopped());
    EXPECT_EQ(Steps(), (std::vector<std::string>{"switch disable-all", "switch enable 1", "dialog 1",
                                                 "switch disable 1", "switch enable 2", "dialog 2",
                                                 "switch enable-all"}));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"1124 1", "1125 0", "1125 0"}));
    const WifiTestResult second = Record(2);
    EXPECT_EQ(second.SuccessCount, 0);
    EXPECT_EQ(second.FailureCount, 0);
    EXPECT_FALSE(second.HasResult);
    EXPECT_EQ(second.Code, 0);
    EXPECT_EQ(Record(3).SuccessCount, 7);
    EXPECT_TRUE(card.on);
}

TEST_F(WifiTestRun, ALinkDownPortGetsNoDialogButTheRestOfItsTurn) {
    sw.GetPortStatus(2)->SetLinkState(SwitchPort::Link_Down);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Steps(), (std::vector<std::string>{"switch disable-all", "switch enable 1", "dialog 1",
                                                 "switch disable 1", "switch enable 2", "switch disable 2",
                                                 "switch enable 3", "dialog 3", "switch disable 3",
                                                 "switch enable-all"}));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"1124 1", "1125 0", "1124 2", "1125 0", "1124 3",
                                                    "1125 0", "1125 0"}));
    CString down;
    down.Format("端口%d Link Down,无法进行测试。", 2);
    EXPECT_NE(NewLog().find(down.str()), std::string::npos);
}

TEST_F(WifiTestRun, SwitchFailuresAbortWithTheirBoxAndLeaveThePortsAsTheyAre) {
    struct Case {
        const char* what;
        std::function<void()> fail;
        std::string box; // "" for none
    } cases[] = {
        {"a time-out", [] { throw SwitchTimeoutError(); }, S(1)},
        {"a time-out code", [] { throw 258L; }, S(1)},
        {"another code", [] { throw 7L; }, ""},
        {"log-in", [] { throw Error_LoginFailed; }, S(14)},
        {"socket", [] { throw Error_SocketError; }, S(55)},
        {"too many clients", [] { throw Error_TooManyClients; }, S(56)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        jobtest::Journal local;
        jobtest::ScriptedSwitch failing(local, kPorts);
        env.switchManager = &failing;
        jobtest::LocalJob localJob(failing, env, kPorts, Tester::Mode_Wifi);
        local.hook = [&](size_t, const std::string& entry) {
            if (entry == "switch enable 2")
                c.fail();
        };
        const size_t before = prompts.Count();
        ScriptedDialogs ui(local);
        WifiTester tester(localJob.tester, ui, card);
        EXPECT_EQ(tester.Run(), 2);
        const auto entries = local.Entries();
        EXPECT_EQ(std::count(entries.begin(), entries.end(), "switch enable-all"), 0);
        const auto boxes = prompts.Boxes();
        if (c.box.empty()) {
            EXPECT_EQ(boxes.size(), before);
        } else {
            ASSERT_EQ(boxes.size(), before + 1);
            EXPECT_EQ(boxes.back().text.str(), c.box);
        }
    }
}

TEST_F(WifiTestRun, AStopFromTheMainWindowWhileADialogIsOpenActsAsItsAbortButton) {
    env.system.PingTestPeriod = 300000;
    job->tester.SetEnvironment(env);
    // The stop comes during the pings of port 1, with the LAN card off.
    onPing = [this](size_t n) {
        if (n == 2) {
            EXPECT_FALSE(card.on);
            job->tester.Stop();
        }
    };
    dialogs.scripts[1] = [](WLanTestSession& s) {
        s.RequestTest({"port1", 0, ""});
        // The dialog's poll sees the job's request and ends as aborted; a job that never asks
        // gets "next modem" after a while.
        for (int i = 0; i < 5000 && !s.EndRequested(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return s.EndRequested() ? s.OnCancel().result : s.OnOK().result;
    };
    EXPECT_EQ(Run(), 1);
    EXPECT_TRUE(card.on);
    EXPECT_EQ(card.calls, (std::vector<std::string>{"off 0", "on 0"}));
    EXPECT_EQ(Steps(), (std::vector<std::string>{"switch disable-all", "switch enable 1", "dialog 1",
                                                 "switch enable-all"}));
    EXPECT_FALSE(Record(1).HasResult);
    EXPECT_EQ(Record(1).SuccessCount, 0);
    EXPECT_EQ(pinged.size(), 2u);
}

} // namespace
