// An end signal during the wireless test's ping phase: the main window on the simulated bench,
// the port's test page pinging the modem over wl0 with the LAN card off, then SIGTERM to the
// process. The program ends as its close does: the dialog aborted, the panel's clean-up run,
// the job stopped, the window gone, with the LAN card on and nothing of the wireless test left.

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "bench/SimulatedBench.h"
#include "corvay/app/CorvayApp.h"
#include "corvay/app/CorvayPrompts.h"
#include "corvay/app/MainFrame.h"
#include "corvay/wlantest/WLanTestDlg.h"
#include "engine/config/Configer.h"
#include "engine/config/PcNICInfo.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/files/FileIo.h"
#include "platform/files/RunDirectory.h"
#include "platform/net/Daemon.h"
#include "platform/net/DhcpClient.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Application.h"
#include "platform/wifi/WlanService.h"
#include "tests/support/BenchWireless.h"
#include "tests/support/DhcpServer.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/PackText.h"
#include "tests/support/TempDir.h"
#include "tests/support/UiTestDriver.h"

namespace {

namespace fs = std::filesystem;
using platform::ui::CallOnUiThread;
using platform::ui::CallOnUiThreadFor;

using testsupport::Utf8;

class WifiSignal : public testsupport::NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped())
            return;
        if (platform::FindProgram("wpa_cli").empty() || platform::FindProgram("busybox").empty())
            GTEST_SKIP() << "wpasupplicant or busybox is not installed";
        testsupport::AdoptOrphanedDaemons();
        bench::SimulatedBenchConfig config;
        config.modems.assign(1, {});
        config.modems[0].wireless = bench::Wireless::Lit;
        // Long enough that the signal lands well inside the pings.
        config.wlanPingTestPeriodMs = 600000;
        sim = testsupport::BuildWirelessBench(config, m_run.str());
        ASSERT_TRUE(sim) << "run under ctest";
        ASSERT_TRUE(bench::EnterNamespace(sim->Pc()));
        SetLogLevel(LOG_LEVEL_DEBUG);
        Configer::GetInstance();
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

    std::string Shell(const std::string& command) {
        std::string text;
        sim->Pc().Shell(command, &text);
        return text;
    }
    bool CardUp(const std::string& card) {
        const std::string flags = Shell("ip -o link show " + card);
        return flags.find(",UP") != std::string::npos || flags.find("<UP") != std::string::npos;
    }
    bool Carrier(const std::string& card) {
        return Shell("ip -o link show " + card).find("state UP") != std::string::npos;
    }
    // The card's network blocks in the supplicant's configuration and its profile files.
    bool HoldsAProfile() {
        auto config = platform::ReadWholeFile(platform::WlanPaths::ConfigFile("wl0"));
        if (config && config->find("network={") != std::string::npos)
            return true;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(platform::WlanPaths::ProfileDirectory("wl0"), error))
            if (entry.path().extension() == ".xml")
                return true;
        return false;
    }
    // The DHCP client of wl0, from its pid file (0: none).
    static pid_t WirelessClient() {
        auto text = platform::ReadWholeFile(platform::DhcpClient("wl0").PidFile());
        return text ? std::atoi(text->c_str()) : 0;
    }
    static bool Alive(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno != ESRCH); }

    std::unique_ptr<bench::SimulatedBench> sim;
    testsupport::TempDir m_run{"wifi-signal-run"};
};

TEST_F(WifiSignal, SigtermDuringThePingsEndsTheProgramWithTheLanCardOnAndNoProfileOrLeaseLeft) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    if (IsSkipped())
        return;
    platform::ui::Application::EndOnSignals();
    CCorvayView::Options options;
    options.timeScale = 2;
    SetShowSplashFlag(false);
    auto frame = std::make_unique<CMainFrame>(options);
    CorvayPrompts prompts;
    ui.Run(
        [&] {
            platform::SetPromptService(&prompts);
            ASSERT_TRUE(CallOnUiThreadFor([&] {
                const bool made = frame->Create();
                frame->ShowMaximized();
                return made;
            }));
            CallOnUiThread([&] { frame->GetView()->OnInitialUpdate(); });
            CallOnUiThread([] { PcNICInfo::Instance()->FindLanNicIndex(); });
            ASSERT_NE(PcNICInfo::Instance()->GetLanNicIndex(), -1);
            ui.Settle(500);
            ui.Key(0x75);
            CString caption;
            caption.Format(LoadStringId(69).GetString(), 1);
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == GbkToUtf8(caption); }, 60000))
                << ui.ActiveCaption();
            ui.Settle(1000);
            // Step 1: the modem is on the air as "port1", an open network, as the page defaults.
            ASSERT_EQ(testsupport::PostWirelessPage(sim->Pc(), "ssid=port1&security=0&key="), "200");
            ASSERT_TRUE(ui.Select(WLanTestDlg::IDC_TAB, 1));
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.Text(WLanTestPanel::IDC_SSID) == "port1"; }));
            ASSERT_TRUE(ui.Click(WLanTestPanel::IDC_TEST));
            // The wireless service was not running: it says it has started it.
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "Information"; }, 60000))
                << ui.ActiveCaption();
            EXPECT_TRUE(ui.ClickAnswer(platform::kIdOk));
            ASSERT_TRUE(ui.WaitUntil(
                [&] { return ui.Text(WLanTestPanel::IDC_RESULT).find(Utf8(71)) != std::string::npos; },
                90000))
                << ui.Text(WLanTestPanel::IDC_RESULT);
            ASSERT_FALSE(CardUp("lan0")) << "the LAN card is on during the pings";
            ASSERT_TRUE(HoldsAProfile());
            const pid_t client = WirelessClient();
            ASSERT_TRUE(Alive(client));
            ui.Screenshot("WifiSignal_pinging");

            ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
            // The loop itself ends with the last window.
            const bool closed = platform::PollUntil(
                [&] {
                    bool open = true;
                    return !CallOnUiThread([&] { open = frame->HasWindow(); }) || !open;
                },
                std::chrono::seconds(120));
            EXPECT_TRUE(closed) << "the main window is still open: " << ui.ActiveCaption();
            EXPECT_TRUE(platform::ui::Application::Ending());
            EXPECT_TRUE(CardUp("lan0"));
            EXPECT_FALSE(HoldsAProfile());
            // The client was told to end; it releases its lease on the way out.
            EXPECT_TRUE(platform::PollUntil([&] { return !Alive(client); }, std::chrono::seconds(20)))
                << "udhcpc " << client << " still runs on wl0";
            EXPECT_FALSE(fs::exists(platform::DhcpClient("wl0").PidFile()));
            EXPECT_FALSE(fs::exists(platform::DhcpClient("wl0").LeaseFile()));
            platform::SetPromptService(nullptr);
        },
        std::chrono::seconds(400));
    frame.reset();
}

} // namespace
