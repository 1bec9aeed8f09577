// The wireless test end to end: the main window on the simulated bench, F6, the port's dialog and
// its test page driven with real clicks. Step 1 sets the modem's wireless page as the operator
// does; the PC's card wl0 meets the bench's air, joins only a network of the name and key the
// modem is on the air under, and pings the modem there while the LAN card is off.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

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
#include "platform/files/RunDirectory.h"
#include "platform/net/Daemon.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Application.h"
#include "platform/wifi/WlanService.h"
#include "tests/corvay/view/ViewFrame.h"
#include "tests/support/DhcpServer.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/PackText.h"
#include "tests/support/TempDir.h"
#include "tests/support/UiTestDriver.h"
#include "tests/support/BenchWireless.h"

namespace {

namespace fs = std::filesystem;
using platform::ui::CallOnUiThread;
using platform::ui::CallOnUiThreadFor;

using testsupport::Utf8;
using testsupport::WithPort;

// The join, its lease and the ping phase take well over the driver's usual limit on a loaded
// machine under a sanitizer.
constexpr std::chrono::seconds kScriptLimit{400};

class WifiTestBench : public testsupport::NetnsTest {
protected:
    // The bench with a modem of each of these wireless sides, its program directory the
    // program's, and this thread (the window's, the view's and its jobs') in the PC's namespace.
    void Enter(const std::vector<bench::Wireless>& modems) {
        if (platform::FindProgram("wpa_cli").empty() || platform::FindProgram("busybox").empty())
            GTEST_SKIP() << "wpasupplicant or busybox is not installed";
        testsupport::AdoptOrphanedDaemons();
        bench::SimulatedBenchConfig config;
        config.modems.assign(modems.size(), {});
        for (size_t i = 0; i < modems.size(); ++i)
            config.modems[i].wireless = modems[i];
        config.wlanPingTestPeriodMs = 4000;
        sim = testsupport::BuildWirelessBench(config, m_run.str());
        ASSERT_TRUE(sim) << "run under ctest";
        ASSERT_TRUE(bench::EnterNamespace(sim->Pc()));
        SetLogLevel(LOG_LEVEL_DEBUG);
        // Its [WLan] keys name the card and the air.
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

    // F6 on the main window up to port 1's dialog.
    void OpenFirstPort(testsupport::UiTestDriver& ui, CorvayViewBinding& binding, platform::ui::Frame& frame) {
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
    }
    // The port's test page filled in (name, security entry, key) and its test button pressed.
    void StartTest(testsupport::UiTestDriver& ui, int port, const std::string& name, int security,
                   const std::string& key, bool serviceStarts) {
        ASSERT_TRUE(ui.Select(WLanTestDlg::IDC_TAB, 1));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.Text(WLanTestPanel::IDC_SSID) == "port" + std::to_string(port); }));
        if (name != ui.Text(WLanTestPanel::IDC_SSID)) {
            ASSERT_TRUE(ui.Paste(WLanTestPanel::IDC_SSID, name));
        }
        ASSERT_TRUE(ui.Select(WLanTestPanel::IDC_SECURITY, security));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.SelectedItem(WLanTestPanel::IDC_SECURITY) == security; }));
        if (!key.empty()) {
            ASSERT_TRUE(ui.Paste(WLanTestPanel::IDC_PASSWORD, key));
        }
        ASSERT_TRUE(ui.WaitUntil([&] {
            return ui.Text(WLanTestPanel::IDC_SSID) == name && ui.Text(WLanTestPanel::IDC_PASSWORD) == key;
        })) << ui.Text(WLanTestPanel::IDC_SSID);
        ASSERT_TRUE(ui.Click(WLanTestPanel::IDC_TEST));
        if (!serviceStarts)
            return;
        // The wireless service was not running: it says it has started it.
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "Information"; }, 60000))
            << ui.ActiveCaption();
        EXPECT_TRUE(ui.ClickAnswer(platform::kIdOk));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == WithPort(69, port); }));
    }
    // "测试下一个Modem", the job to its end and the end box answered; the port's row text.
    std::string FinishJob(testsupport::UiTestDriver& ui, CorvayViewBinding& binding, const std::string& shot,
                          int port = 1) {
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
        return GbkToUtf8(CallOnUiThreadFor([&] { return binding.List().GetItemText(port - 1, 2); }));
    }

    std::unique_ptr<bench::SimulatedBench> sim;
    testsupport::TempDir m_run{"wifi-run"};
};

// What step 1 set on modem 1's wireless page, what the operator tests (which port, with which
// name, security and key), and what the test ends with.
enum class Outcome { Pass, NoNetwork, JoinFails, PingsFail };
struct AirCase {
    const char* name;
    std::vector<bench::Wireless> modems;
    const char* page; // posted to modem 1 while its dialog is up
    int port;
    const char* ssid;
    int security;
    const char* key;
    Outcome outcome;
    int code; // the result's Code
};

void PrintTo(const AirCase& c, std::ostream* out) {
    *out << c.name;
}

class WifiTestOnTheAir : public WifiTestBench, public ::testing::WithParamInterface<AirCase> {};

TEST_P(WifiTestOnTheAir, TheModemIsReachedOnlyUnderTheNameAndKeyOfItsPage) {
    const AirCase& c = GetParam();
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    ASSERT_NO_FATAL_FAILURE(Enter(c.modems));
    if (IsSkipped())
        return;
    CCorvayView::Options options;
    // The 20 s wait for the network and its lease before the pings: 10 s (5 s where they fail).
    options.timeScale = c.outcome == Outcome::PingsFail ? 4 : 2;
    platform::ui::Frame frame;
    CorvayViewBinding binding(frame, options);
    CorvayPrompts prompts;
    const std::string shot = std::string("WifiTest_air_") + c.name;
    ui.Run([&] {
        platform::SetPromptService(&prompts);
        ASSERT_NO_FATAL_FAILURE(OpenFirstPort(ui, binding, frame));
        // Step 1, with only this port open.
        ASSERT_EQ(testsupport::PostWirelessPage(sim->Pc(), c.page), "200");
        if (c.port != 1) {
            // The next modem: the job opens its port alone and shows its dialog. The panel's
            // clean-up on the way starts the wireless service and says so.
            ASSERT_TRUE(ui.Click(1));
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "Information"; }, 60000))
                << ui.ActiveCaption();
            EXPECT_TRUE(ui.ClickAnswer(platform::kIdOk));
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == WithPort(69, c.port); }, 60000))
                << ui.ActiveCaption();
            ui.Settle(1000);
        }
        ASSERT_NO_FATAL_FAILURE(StartTest(ui, c.port, c.ssid, c.security, c.key, c.port == 1));
        switch (c.outcome) {
        case Outcome::NoNetwork:
        case Outcome::JoinFails: {
            CString missing;
            missing.Format(LoadStringId(67).GetString(), c.ssid);
            const std::string box = c.outcome == Outcome::NoNetwork ? GbkToUtf8(missing) : Utf8(70);
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.BoxText() == box; }, 120000))
                << ui.BoxText() << "\n" << ui.Text(WLanTestPanel::IDC_RESULT);
            ui.Screenshot(shot + "_box");
            EXPECT_TRUE(ui.ClickAnswer(platform::kIdOk));
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == WithPort(69, c.port); }))
                << ui.ActiveCaption();
            // The scan saw what is on the air: modem 1 under the name its page set.
            std::string lines = ui.Text(WLanTestPanel::IDC_RESULT);
            std::erase(lines, '\r');
            EXPECT_NE(lines.find(Utf8(109) + "\n\tport1"), std::string::npos) << lines;
            // Nothing was joined: the LAN card was never off.
            EXPECT_TRUE(CardUp("lan0"));
            EXPECT_EQ(sim->AirJoined(), 0);
            break;
        }
        case Outcome::Pass: {
            // Joined by its profile: the network is listed and its lease is on the card.
            const bool answered = ui.WaitUntil(
                [&] { return ui.Text(WLanTestPanel::IDC_RESULT).find(Utf8(71)) != std::string::npos; }, 60000);
            if (!answered)
                ui.Screenshot(shot + "_no_answer");
            ASSERT_TRUE(answered) << ui.Text(WLanTestPanel::IDC_RESULT) << Addresses("wl0");
            EXPECT_FALSE(CardUp("lan0")) << "the LAN card is on during the pings";
            EXPECT_EQ(sim->AirJoined(), 1);
            // A lease from the modem's pool, .150 to .160.
            EXPECT_TRUE(std::regex_search(Addresses("wl0"), std::regex(R"(inet 192\.168\.1\.(15\d|160)/24)")))
                << Addresses("wl0");
            // The control may keep the lines' "\r\n" or give "\n".
            std::string lines = ui.Text(WLanTestPanel::IDC_RESULT);
            std::erase(lines, '\r');
            EXPECT_NE(lines.find(Utf8(109) + "\n\tport1"), std::string::npos) << lines;
            EXPECT_NE(lines.find(Utf8(84)), std::string::npos) << lines;
            ui.Screenshot(shot + "_pinging");
            break;
        }
        case Outcome::PingsFail:
            // Joined, and nothing comes back over the air.
            ASSERT_TRUE(ui.WaitUntil(
                [&] { return ui.Text(WLanTestPanel::IDC_RESULT).find(Utf8(72)) != std::string::npos; }, 120000))
                << ui.Text(WLanTestPanel::IDC_RESULT);
            EXPECT_FALSE(CardUp("lan0")) << "the LAN card is on during the pings";
            EXPECT_EQ(sim->AirJoined(), 1);
            break;
        }
        if (c.outcome == Outcome::Pass || c.outcome == Outcome::PingsFail) {
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == Utf8(103); }, 120000))
                << ui.ActiveCaption() << "\n" << ui.Text(WLanTestPanel::IDC_RESULT);
            ui.Settle(300);
            ui.Screenshot(shot + "_verdict");
            EXPECT_TRUE(ui.ClickAnswer(platform::kIdOk));
            EXPECT_TRUE(CardUp("lan0"));
            EXPECT_NE(ui.Text(WLanTestPanel::IDC_RESULT).find(Utf8(86)), std::string::npos);
        }
        const std::string row = FinishJob(ui, binding, shot + "_row", c.port);
        EXPECT_TRUE(CardUp("lan0"));
        const WifiTestResult wifi = binding.View().GetTestInfo(c.port)->Get().Wifi;
        EXPECT_TRUE(wifi.HasResult);
        EXPECT_EQ(wifi.Code, c.code);
        switch (c.outcome) {
        case Outcome::Pass:
            EXPECT_EQ(row, Utf8(99));
            EXPECT_EQ(wifi.FailureCount, 0);
            EXPECT_GE(wifi.SuccessCount, 4);
            break;
        case Outcome::PingsFail: {
            EXPECT_EQ(wifi.SuccessCount, 0);
            EXPECT_GE(wifi.FailureCount, 3);
            CString verdict;
            verdict.Format(LoadStringId(101).GetString(), 0, wifi.FailureCount);
            EXPECT_EQ(row, GbkToUtf8(verdict));
            break;
        }
        case Outcome::NoNetwork:
            EXPECT_EQ(row, Utf8(91));
            break;
        case Outcome::JoinFails:
            EXPECT_EQ(row, Utf8(98));
            break;
        }
        platform::SetPromptService(nullptr);
    }, kScriptLimit);
}

using bench::Wireless;
INSTANTIATE_TEST_SUITE_P(
    Air, WifiTestOnTheAir,
    ::testing::Values(
        AirCase{"its_name_and_key", {Wireless::Lit}, "ssid=port1&security=3&key=secret12", 1, "port1", 3, "secret12",
                Outcome::Pass, 0},
        AirCase{"a_name_not_on_the_air", {Wireless::Lit}, "ssid=port1&security=3&key=secret12", 1, "port9", 3,
                "secret12", Outcome::NoNetwork, -4},
        // Modem 1 is on the air as "port1" with the key the operator types for port 2.
        AirCase{"a_modem_without_a_wireless_side", {Wireless::Lit, Wireless::None},
                "ssid=port1&security=3&key=secret12", 2, "port2", 3, "secret12", Outcome::NoNetwork, -4},
        AirCase{"a_wrong_key", {Wireless::Lit}, "ssid=port1&security=3&key=secret12", 1, "port1", 3, "secret13",
                Outcome::JoinFails, -11},
        AirCase{"a_dark_modem", {Wireless::Dark}, "ssid=port1&security=3&key=secret12", 1, "port1", 3, "secret12",
                Outcome::PingsFail, 0}),
    [](const ::testing::TestParamInfo<AirCase>& info) { return std::string(info.param.name); });

} // namespace
