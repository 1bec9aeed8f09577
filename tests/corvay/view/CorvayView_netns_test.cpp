// The main view's test starts and stops on the simulated bench over telnet, its window
// recorded: real cards, switch, modems and jobs.

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <thread>

#include "bench/FakeTelnetSwitch.h"
#include "bench/SimulatedBench.h"
#include "corvay/app/MainFrame.h"
#include "corvay/app/TestFlags.h"
#include "corvay/view/CCorvayView.h"
#include "engine/config/Configer.h"
#include "engine/log/StringTable.h"
#include "engine/ping/PingFrames.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/files/UniqueFd.h"
#include "platform/prompt/Prompt.h"
#include "tests/corvay/view/CorvayViewRecorder.h"
#include "tests/support/NetNamespace.h"

namespace {

using namespace std::chrono_literals;
using testsupport::CorvayViewRecorder;

std::string Text(unsigned id) {
    return LoadStringId(id).str();
}

class ViewBenchTest : public testsupport::NetnsTest {
protected:
    void Build(int modems, int absentFrom) {
        bench::SimulatedBenchConfig config;
        config.modems.assign(modems, {});
        for (int i = absentFrom; i < modems; ++i)
            config.modems[i].kind = bench::ModemKind::Absent;
        config.rebootMs = 400;
        config.waitModemConnectMs = 20000;
        config.standTestPeriodMs = 2000;
        config.longPingTestPeriodMs = 20000;
        bench = std::make_unique<bench::SimulatedBench>(config);
        bench->Build();
    }
    // Builds the bench in a child process (forked while the test has no thread yet; the bench's
    // peers are threads) and runs the body there in the PC's namespace with the bench's program
    // directory.
    void OnBench(int modems, int absentFrom, const std::function<void()>& body) {
        testsupport::RunInChildProcess(
            [&] {
                Build(modems, absentFrom);
                platform::UniqueFd home(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC));
                ASSERT_TRUE(home.IsValid() && testsupport::EnterWithOwnSys(bench->Pc()));
                platform::SetProgramDirectory((bench->Directory() + "/").c_str());
                platform::SetRegistryRoot((bench->Directory() + "/registry").c_str());
                body();
                // The bench is taken down from the namespace it was built in.
                ASSERT_EQ(::setns(home.Get(), CLONE_NEWNET), 0) << std::strerror(errno);
                bench.reset();
            },
            180);
    }
    // One run of the program, ended as the program ends: its singletons (the capture threads
    // too) are made afresh for the next.
    static void Run(const std::function<void()>& body) {
        body();
        DeleteProgramSingletons(true);
    }
    std::unique_ptr<bench::SimulatedBench> bench;
};

struct Session {
    explicit Session(CCorvayView::Options options = {}) {
        options.timeScale = 100;
        view = std::make_unique<CCorvayView>(window, std::move(options));
        view->OnInitialUpdate();
        window.Pump(*view);
    }
    ~Session() { view.reset(); }
    std::vector<std::string> Boxes() const { return testsupport::BoxTexts(prompts); }
    bool WaitForBox(const std::string& text, std::chrono::milliseconds limit = 60s) {
        return window.PumpUntil(
            *view,
            [&] {
                for (const auto& b : prompts.Boxes())
                    if (b.text.str() == text)
                        return true;
                return false;
            },
            limit);
    }
    platform::RecordingPromptService prompts;
    platform::ScopedPromptService scoped{prompts};
    CorvayViewRecorder window;
    std::unique_ptr<CCorvayView> view;
};

TEST_F(ViewBenchTest, CorvayViewStandardTestRunsItsPhasesToTheEnd) {
    OnBench(3, 2, [] {
        Run([] {
            Session s;
            ASSERT_EQ(s.window.rows.size(), 3u);
            s.window.titles.clear();
            ASSERT_TRUE(s.view->OnCommand(CCorvayView::ID_START_STANDARD));
            ASSERT_TRUE(s.view->HasTester()) << testing::PrintToString(s.Boxes());
            EXPECT_TRUE(s.view->IsTesting());
            EXPECT_TRUE(IsMonitorsStartedFlagSet());
            EXPECT_EQ(s.window.cursor, 3);
            EXPECT_FALSE(s.window.screenSaver);
            const std::string title = "Corvay-" + Text(37);
            EXPECT_EQ(s.window.titles,
                      (std::vector<std::string>{title, title + ":" + Text(39), title + ":" + Text(46),
                                                title + ":" + Text(40)}));
            EXPECT_EQ(s.window.dialogs,
                      std::vector<std::string>{"WaitingDlg " + title + ":" + Text(46) + " 200"});
            // A second start while the job runs changes nothing.
            s.window.titles.clear();
            s.view->OnCommand(CCorvayView::ID_START_PING);
            s.view->OnCommand(CCorvayView::ID_REFRESH);
            EXPECT_TRUE(s.window.titles.empty());
            EXPECT_EQ(s.view->GetMode(), 0);
            bool enabled = true;
            s.view->UpdateCommand(CCorvayView::ID_START_STANDARD, enabled);
            EXPECT_FALSE(enabled);

            ASSERT_TRUE(s.WaitForBox(Text(26), 120s)) << testing::PrintToString(s.Boxes());
            EXPECT_EQ(s.Boxes(), std::vector<std::string>{Text(26)});
            EXPECT_FALSE(s.view->IsTesting());
            EXPECT_FALSE(s.view->HasTester());
            EXPECT_EQ(s.window.Title(), title);
            EXPECT_EQ(s.window.cursor, 0);
            EXPECT_TRUE(s.window.screenSaver);
            // Live rows: both modems identified and passed, the empty port untouched.
            for (int row : {0, 1}) {
                EXPECT_EQ(s.window.rows[row].image, 5) << row;
                EXPECT_NE(s.window.rows[row].info.find("V1.0"), std::string::npos) << s.window.rows[row].info;
                EXPECT_EQ(s.window.rows[row].result, Text(28));
            }
            EXPECT_EQ(s.window.rows[2].result, "");
            EXPECT_EQ(s.view->GetTestInfo(1)->Get().EndState, 0);
        });
    });
}

TEST_F(ViewBenchTest, CorvayViewStopInTimeAndAJobThatIgnoresTheStop) {
    OnBench(2, 2, [this] {
        // Ping test: the job polls the stop flag and ends; every port is enabled again.
        Run([this] {
            Session s;
            ASSERT_TRUE(s.view->OnCommand(CCorvayView::ID_START_BURNIN));
            ASSERT_TRUE(s.view->HasTester()) << testing::PrintToString(s.Boxes());
            // Let the ping phase begin.
            s.window.PumpUntil(
                *s.view, [&] { return s.view->GetTestInfo(1)->Get().Ping.State == 1; }, 20s);
            ASSERT_TRUE(s.view->OnCommand(CCorvayView::ID_STOP));
            EXPECT_EQ(s.window.timers.count(CCorvayView::Timer_StopWait), 1u);
            ASSERT_TRUE(s.WaitForBox(Text(136), 40s)) << testing::PrintToString(s.Boxes());
            EXPECT_EQ(s.window.timers.count(CCorvayView::Timer_StopWait), 0u);
            EXPECT_FALSE(s.view->IsTesting());
            EXPECT_FALSE(s.view->HasTester());
            EXPECT_EQ(s.window.Title(), "Corvay-" + Text(38));
            for (int p = 1; p <= bench->PortCount(); ++p)
                EXPECT_EQ(s.view->GetTestInfo(p)->Get().EndState, 1) << p;
        });
        for (int p = 1; p <= bench->PortCount(); ++p)
            EXPECT_TRUE(bench->TelnetSwitch().GetSwitchPort(p).enabled) << p;

        // A job that does not look at the stop flag: the stop times out, the job is kept.
        Run([] {
            std::atomic<bool> release{false};
            CCorvayView::Options options;
            options.routine = [&](Tester&) {
                while (!release)
                    std::this_thread::sleep_for(10ms);
                return kJobStopped;
            };
            Session s(options);
            ASSERT_TRUE(s.view->OnCommand(CCorvayView::ID_START_PING));
            ASSERT_TRUE(s.view->HasTester());
            s.view->OnBtnStop();
            s.window.Pump(*s.view);
            s.view->OnTimer(CCorvayView::Timer_StopWait);
            s.window.Pump(*s.view);
            EXPECT_TRUE(s.view->IsTesting());
            EXPECT_TRUE(s.view->HasTester());
            bool enabled = false;
            s.view->UpdateCommand(CCorvayView::ID_STOP, enabled);
            EXPECT_TRUE(enabled);
            s.view->UpdateCommand(57665, enabled); // exit
            EXPECT_FALSE(enabled);
            // No second job on the switch.
            s.view->OnCommand(CCorvayView::ID_START_STANDARD);
            EXPECT_EQ(s.view->GetMode(), 2);
            EXPECT_TRUE(s.Boxes().empty());
            release = true;
            ASSERT_TRUE(s.WaitForBox(Text(136), 20s));
            EXPECT_FALSE(s.view->IsTesting());
            EXPECT_FALSE(s.view->HasTester());
            EXPECT_EQ(s.Boxes(), std::vector<std::string>{Text(136)});
        });
    });
}

TEST_F(ViewBenchTest, CorvayViewStartFailuresEndIdle) {
    OnBench(2, 0, [] {
        // The trunk taken as the empty port: its link is down.
        Run([] {
            SwitchConfig sw = Configer::GetInstance()->GetSwitchConfig();
            sw.TrunkPortNo = 2;
            Configer::GetInstance()->SetSwitchConfig(sw);
            Session s;
            s.view->OnCommand(CCorvayView::ID_START_STANDARD);
            EXPECT_EQ(s.Boxes(), std::vector<std::string>{Text(36)});
            EXPECT_FALSE(s.view->IsTesting());
            EXPECT_EQ(s.window.Title(), "Corvay");
            EXPECT_EQ(s.window.cursor, 0);
            EXPECT_TRUE(s.window.screenSaver);
        });
        // No modem with link (the only modem port is empty).
        Run([] {
            SwitchConfig sw = Configer::GetInstance()->GetSwitchConfig();
            sw.TrunkPortNo = 3;
            Configer::GetInstance()->SetSwitchConfig(sw);
            Session s;
            ASSERT_EQ(s.window.rows.size(), 2u);
            s.view->GetTestInfo(1)->Update([](TestInfo::Data& d) { d.Modem.FirmwareVersion = "V0"; });
            s.view->OnCommand(CCorvayView::ID_START_SIMPLE);
            EXPECT_EQ(s.Boxes(), std::vector<std::string>{Text(33)});
            EXPECT_FALSE(s.view->IsTesting());
            EXPECT_FALSE(s.view->HasTester());
            // Mode 5 keeps its title text; the refresh of the start cleared the records.
            EXPECT_EQ(s.window.Title(), "Corvay-" + Text(150));
            EXPECT_EQ(s.view->GetTestInfo(1)->Get().Modem.FirmwareVersion.str(), "");
        });
    });
}

} // namespace
