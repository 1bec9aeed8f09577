// The wireless test end to end: the main window on the simulated bench, F6, the port's dialog and
// its test page driven with real clicks; the PC's card wl0 joins the modem's network through the
// real supplicant (its wired driver over a veth to the modem's bridge) and pings the modem there
// while the LAN card is off.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>

#include "bench/SimulatedBench.h"
#include "corvay/app/CorvayPrompts.h"
#include "corvay/view/CorvayViewBinding.h"
#include "corvay/wlantest/WLanTestDlg.h"
#include "engine/config/Configer.h"
#include "engine/config/PcNICInfo.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "engine/ping/PingFrames.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/files/RunDirectory.h"
#include "platform/net/Daemon.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Application.h"
#include "platform/wifi/WlanService.h"
#include "tests/corvay/view/ViewFrame.h"
#include "tests/support/DhcpServer.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"
#include "tests/support/UiTestDriver.h"

namespace {

namespace fs = std::filesystem;
using platform::ui::CallOnUiThread;
using platform::ui::CallOnUiThreadFor;

std::string Utf8(unsigned id) {
    return GbkToUtf8(LoadStringId(id));
}

std::string WithPort(unsigned id, int port) {
    CString text;
    text.Format(LoadStringId(id).GetString(), port);
    return GbkToUtf8(text);
}

// The join, its lease and the ping phase take well over the driver's usual limit on a loaded
// machine under a sanitizer.
constexpr std::chrono::seconds kScriptLimit{400};

class WifiTestBench : public testsupport::NetnsTest {
protected:
    // The bench with one modem of that wireless side, the program's directory with the wireless
    // event scripts and the programs they run (a join's DHCP client, a leave's release), and this
    // thread (the window's, the view's and its jobs') in the PC's namespace.
    void Enter(bench::Wireless wireless) {
        if (platform::FindProgram("wpa_supplicant").empty() || platform::FindProgram("busybox").empty())
            GTEST_SKIP() << "wpasupplicant or busybox is not installed";
        const char* binary = std::getenv("CORVAY_BINARY_DIR");
        ASSERT_TRUE(binary) << "run under ctest";
        testsupport::AdoptOrphanedDaemons();
        bench::SimulatedBenchConfig config;
        config.modems.assign(1, {});
        config.modems[0].wireless = wireless;
        config.wlanPingTestPeriodMs = 4000;
        sim = std::make_unique<bench::SimulatedBench>(config);
        sim->Build();
        for (const char* script : {"wlan-event", "dhcp-event", "dhcp-client", "wlan-link"})
            fs::copy_file(fs::path(binary) / "bin" / script, fs::path(sim->Directory()) / script,
                          fs::copy_options::overwrite_existing);
        platform::SetProgramDirectory((sim->Directory() + "/").c_str());
        platform::SetRegistryRoot((sim->Directory() + "/registry").c_str());
        platform::SetRunDirectory(m_run.str());
        platform::WlanService::SetOptions(platform::WlanServiceOptions{{"wl0"}, "wired"});
        ASSERT_TRUE(bench::EnterNamespace(sim->Pc()));
        SetLogLevel(LOG_LEVEL_DEBUG);
        Configer::GetInstance();
        SwitchManager2::DeleteInstance();
        ASSERT_TRUE(platform::PollUntil([&] { return Carrier("lan0") && Carrier("wan0"); },
                                        std::chrono::seconds(60)));
    }
    void TearDown() override {
        if (sim)
            platform::WlanService::Stop();
        platform::WlanService::SetOptions(std::nullopt);
        platform::SetRunDirectory("");
        SwitchManager2::DeleteInstance();
        PcNICInfo::DeleteInstance();
        Configer::DeleteInstance();
    }

    bool CardUp(const std::string& card) {
        std::string flags;
        sim->Pc().Shell("ip -o link show " + card, &flags);
        return flags.find(",UP") != std::string::npos || flags.find("<UP") != std::string::npos;
    }
    bool Carrier(const std::string& card) {
        std::string text;
        sim->Pc().Shell("ip -o link show " + card, &text);
        return text.find("state UP") != std::string::npos;
    }
    std::string Addresses(const std::string& card) {
        std::string text;
        sim->Pc().Shell("ip -o -4 addr show " + card, &text);
        return text;
    }

    // F6 on the main window up to the port's test page, the test button pressed.
    void StartTest(testsupport::UiTestDriver& ui, CorvayViewBinding& binding, platform::ui::Frame& frame) {
        ASSERT_TRUE(CallOnUiThreadFor([&] { return OpenViewFrame(frame, binding); }));
        ui.Settle(200);
        CallOnUiThread([&] { binding.View().OnInitialUpdate(); });
        // As the program finds it at its start.
        CallOnUiThread([] { PcNICInfo::Instance()->FindLanNicIndex(); });
        ASSERT_NE(PcNICInfo::Instance()->GetLanNicIndex(), -1);
        ui.Key(0x75);
        const bool shown = ui.WaitUntil([&] { return ui.ActiveCaption() == WithPort(69, 1); }, 60000);
        if (!shown)
            ui.Screenshot("WifiTest_bench_no_dialog");
        ASSERT_TRUE(shown) << ui.ActiveCaption();
        ui.Settle(1000);
        ASSERT_TRUE(ui.Select(WLanTestDlg::IDC_TAB, 1));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.Text(WLanTestPanel::IDC_SSID) == "port1"; }));
        ASSERT_TRUE(ui.Click(WLanTestPanel::IDC_TEST));
        // The wireless service was not running: it says it has started it.
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "Information"; }, 60000))
            << ui.ActiveCaption();
        EXPECT_TRUE(ui.ClickAnswer(platform::kIdOk));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == WithPort(69, 1); }));
    }
    // "测试下一个Modem", the job to its end and the end box answered; the port's row text.
    std::string FinishJob(testsupport::UiTestDriver& ui, CorvayViewBinding& binding, const std::string& shot) {
        EXPECT_TRUE(ui.WaitUntil([&] { return ui.IsEnabled(WLanTestPanel::IDC_TEST); }, 30000));
        // The button comes back as the steps tidy up; until they are done the dialog refuses
        // with its "still testing" box, which is answered and the click made again.
        const std::string testing = Utf8(74);
        bool ended = false;
        for (int tries = 0; tries < 30; ++tries) {
            EXPECT_TRUE(ui.Click(1));
            if (!ui.WaitUntil([&] { return !IsTestingFlagSet() || ui.BoxText() == testing; }, 60000))
                break;
            if (!IsTestingFlagSet()) {
                ended = true;
                break;
            }
            ui.ClickAnswer(platform::kIdOk);
            ui.Settle(200);
        }
        EXPECT_TRUE(ended);
        ui.Settle(500);
        ui.Screenshot(shot);
        if (ui.ActiveCaption().rfind("Corvay", 0) != 0)
            ui.ClickAnswer(platform::kIdOk);
        return GbkToUtf8(CallOnUiThreadFor([&] { return binding.List().GetItemText(0, 2); }));
    }

    std::unique_ptr<bench::SimulatedBench> sim;
    testsupport::TempDir m_run{"wifi-run"};
};

TEST_F(WifiTestBench, TheCardJoinsThePortsNetworkAndPingsTheModemWithTheLanCardOff) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    ASSERT_NO_FATAL_FAILURE(Enter(bench::Wireless::Lit));
    if (IsSkipped())
        return;
    CCorvayView::Options options;
    options.timeScale = 2; // the 20 s wait for the network and its lease before the pings: 10 s
    platform::ui::Frame frame;
    CorvayViewBinding binding(frame, options);
    CorvayPrompts prompts;
    ui.Run([&] {
        platform::SetPromptService(&prompts);
        ASSERT_NO_FATAL_FAILURE(StartTest(ui, binding, frame));
        // Joined by its profile: the network is listed and its lease is on the card.
        const bool answered = ui.WaitUntil(
            [&] { return ui.Text(WLanTestPanel::IDC_RESULT).find(Utf8(71)) != std::string::npos; }, 60000);
        if (!answered)
            ui.Screenshot("WifiTest_bench_no_answer");
        std::string routes;
        sim->Pc().Shell("ip -4 route; ip -o link; ps -ef | grep -c udhcpc", &routes);
        ASSERT_TRUE(answered) << ui.Text(WLanTestPanel::IDC_RESULT) << Addresses("wl0") << routes;
        EXPECT_FALSE(CardUp("lan0")) << "the LAN card is on during the pings";
        // A lease from the modem's pool, .150 to .160.
        EXPECT_TRUE(std::regex_search(Addresses("wl0"), std::regex(R"(inet 192\.168\.1\.(15\d|160)/24)")))
            << Addresses("wl0");
        // The control may keep the lines' "\r\n" or give "\n".
        std::string lines = ui.Text(WLanTestPanel::IDC_RESULT);
        std::erase(lines, '\r');
        EXPECT_NE(lines.find(Utf8(109) + "\n\tport1"), std::string::npos) << lines;
        EXPECT_NE(lines.find(Utf8(84)), std::string::npos) << lines;
        ui.Screenshot("WifiTest_bench_pinging");

        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == Utf8(103); }, 120000)) << ui.ActiveCaption();
        ui.Settle(300);
        ui.Screenshot("WifiTest_bench_passed");
        EXPECT_TRUE(ui.ClickAnswer(platform::kIdOk));
        EXPECT_TRUE(CardUp("lan0"));
        EXPECT_EQ(FinishJob(ui, binding, "WifiTest_bench_row"), Utf8(99));
        EXPECT_TRUE(CardUp("lan0"));
        const WifiTestResult wifi = binding.View().GetTestInfo(1)->Get().Wifi;
        EXPECT_TRUE(wifi.HasResult);
        EXPECT_EQ(wifi.FailureCount, 0);
        EXPECT_GE(wifi.SuccessCount, 4);
        platform::SetPromptService(nullptr);
    }, kScriptLimit);
}

// Nothing on the modem's wireless side: the supplicant's wired driver still reports the network
// joined, so every ping over the air fails; the verdict gives the counts, the LAN card is on again.
TEST_F(WifiTestBench, ADarkWirelessSideFailsItsPingsAndTheLanCardIsOnAgain) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    ASSERT_NO_FATAL_FAILURE(Enter(bench::Wireless::Dark));
    if (IsSkipped())
        return;
    CCorvayView::Options options;
    options.timeScale = 4;
    platform::ui::Frame frame;
    CorvayViewBinding binding(frame, options);
    CorvayPrompts prompts;
    ui.Run([&] {
        platform::SetPromptService(&prompts);
        ASSERT_NO_FATAL_FAILURE(StartTest(ui, binding, frame));
        ASSERT_TRUE(ui.WaitUntil(
            [&] { return ui.Text(WLanTestPanel::IDC_RESULT).find(Utf8(72)) != std::string::npos; }, 120000))
            << ui.Text(WLanTestPanel::IDC_RESULT);
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == Utf8(103); }, 120000)) << ui.ActiveCaption();
        ui.Settle(300);
        ui.Screenshot("WifiTest_bench_dark");
        EXPECT_TRUE(ui.ClickAnswer(platform::kIdOk));
        EXPECT_TRUE(CardUp("lan0"));
        EXPECT_NE(ui.Text(WLanTestPanel::IDC_RESULT).find(Utf8(86)), std::string::npos);
        const std::string row = FinishJob(ui, binding, "WifiTest_bench_dark_row");
        const WifiTestResult wifi = binding.View().GetTestInfo(1)->Get().Wifi;
        EXPECT_TRUE(wifi.HasResult);
        EXPECT_EQ(wifi.SuccessCount, 0);
        EXPECT_GE(wifi.FailureCount, 3);
        CString verdict;
        verdict.Format(LoadStringId(101).GetString(), 0, wifi.FailureCount);
        EXPECT_EQ(row, GbkToUtf8(verdict));
        EXPECT_TRUE(CardUp("lan0"));
        platform::SetPromptService(nullptr);
    }, kScriptLimit);
}

} // namespace
