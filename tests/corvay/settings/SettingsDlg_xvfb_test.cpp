// The settings dialogs as real windows: each opened through the window layer, a value changed,
// OK, and the result read back from Config.ini.

#include <gtest/gtest.h>

#include "corvay/settings/DslamConfigDlg.h"
#include "corvay/settings/LogSettingDlg.h"
#include "corvay/settings/SwitchConfigDlg.h"
#include "corvay/settings/SystemConfigDlg.h"
#include "engine/log/Logger.h"
#include "tests/corvay/WindowFixture.h"
#include "tests/corvay/settings/SettingsFixture.h"

namespace {

using testsupport::RunningDialog;

// Settings of the test's own, then the window layer with its boxes.
struct SettingsWindows : testsupport::SettingsFixture, testsupport::WindowFixture {
    explicit SettingsWindows(const char* pack = "cn") : WindowFixture(pack) {}
};

TEST(SettingsDlgWindow, SystemConfigRefusesARangeThenSavesAndItsStaticOpensTheLogLevel) {
    SettingsWindows f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    const std::string ini = "[Modem]\r\nStandTestPeriod=300000\r\n";
    f.WriteIni(ini);
    SetLogLevel(LOG_LEVEL_INFO);
    f.ui.Run([&] {
        SystemConfigDlg dlg;
        RunningDialog window(f.ui, dlg);
        ASSERT_TRUE(window.Open());
        EXPECT_EQ(f.ui.ActiveCaption(), u8"系统设置");
        EXPECT_EQ(f.ui.Text(SystemConfigDlg::IDC_STAND_PERIOD), "300");
        EXPECT_EQ(f.ui.Text(SystemConfigDlg::IDC_WLAN_PERIOD), "300");
        f.ui.Screenshot("SettingsDlg_system");

        window.SetText(SystemConfigDlg::IDC_STAND_PERIOD, "3601");
        ASSERT_TRUE(f.ui.Click(1));
        ASSERT_TRUE(f.WaitForCaption("Corvay"));
        f.ui.Screenshot("SettingsDlg_system_range");
        ASSERT_TRUE(f.ui.ClickAnswer(platform::kIdOk));
        ASSERT_TRUE(f.WaitForCaption(u8"系统设置"));
        EXPECT_EQ(testsupport::ReadFileBytes(f.Ini()), ini);

        // Two clicks in a row on the empty static: the log settings.
        f.ui.Click(SystemConfigDlg::IDC_LOG_SETTING);
        f.ui.Click(SystemConfigDlg::IDC_LOG_SETTING);
        ASSERT_TRUE(f.WaitForCaption(u8"日志设置")) << f.ui.ActiveCaption();
        f.ui.Screenshot("SettingsDlg_log_level");
        ASSERT_TRUE(f.ui.Select(LogSettingDlg::IDC_LOG_LEVEL, LOG_LEVEL_WARNING));
        ASSERT_TRUE(f.ui.Click(1));
        ASSERT_TRUE(f.WaitForCaption(u8"系统设置"));
        EXPECT_EQ(f.Saved("System", "Logger"), "3");
        EXPECT_EQ(ReadSharedLogLevel(), LOG_LEVEL_WARNING);

        window.SetText(SystemConfigDlg::IDC_STAND_PERIOD, "600");
        ASSERT_TRUE(f.ui.Click(1));
        EXPECT_EQ(window.Result(), 1);
    });
    EXPECT_EQ(f.Saved("Modem", "StandTestPeriod"), "600000");
    EXPECT_EQ(f.Saved("WLan", "PingTestPeriod"), "300000");
    SetLogLevel(LOG_LEVEL_INFO);
}

TEST(SettingsDlgWindow, DslamSlotListsFollowTheModelAndEqualSlotsAreRefused) {
    SettingsWindows f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    f.WriteIni("[Dslam]\r\nIp=172.16.0.9\r\n");
    f.ui.Run([&] {
        DslamConfigDlg dlg;
        RunningDialog window(f.ui, dlg);
        ASSERT_TRUE(window.Open());
        auto enabled = [&](int id) {
            return window.OnUi([id](platform::ui::Dialog& w) { return w.Item(id).IsEnabled(); });
        };
        EXPECT_EQ(window.OnUi([](platform::ui::Dialog& w) { return std::string(w.Item(1044).GetAddress()); }),
                  "172.16.0.9");
        EXPECT_FALSE(enabled(DslamConfigDlg::IDC_SLOT_1TO24)); // "Torvex Birch"
        EXPECT_FALSE(enabled(DslamConfigDlg::IDC_SLOT_25TO48));
        f.ui.Screenshot("SettingsDlg_dslam_birch");
        ASSERT_TRUE(f.ui.Select(DslamConfigDlg::IDC_MODEL, 0));
        EXPECT_TRUE(enabled(DslamConfigDlg::IDC_SLOT_1TO24));
        EXPECT_TRUE(enabled(DslamConfigDlg::IDC_SLOT_25TO48));
        window.SetText(DslamConfigDlg::IDC_USER, "operator");
        ASSERT_TRUE(f.ui.Select(DslamConfigDlg::IDC_SLOT_25TO48, 1)); // slot 2, as the other list
        f.ui.Screenshot("SettingsDlg_dslam_alder");
        ASSERT_TRUE(f.ui.Click(1));
        ASSERT_TRUE(f.WaitForCaption("Corvay"));
        f.ui.Screenshot("SettingsDlg_dslam_same_slot");
        ASSERT_TRUE(f.ui.ClickAnswer(platform::kIdOk));
        EXPECT_EQ(f.Saved("Dslam", "Login.User"), "<missing>");
        ASSERT_TRUE(f.ui.Select(DslamConfigDlg::IDC_SLOT_25TO48, 3));
        ASSERT_TRUE(f.ui.Click(1));
        EXPECT_EQ(window.Result(), 1);
    });
    EXPECT_EQ(f.Saved("Dslam", "Model"), "Torvex Alder");
    EXPECT_EQ(f.Saved("Dslam", "Login.User"), "operator");
    EXPECT_EQ(f.Saved("Dslam", "Ip"), "172.16.0.9");
    EXPECT_EQ(f.Saved("Dslam", "Switch1to24"), "2");
    EXPECT_EQ(f.Saved("Dslam", "Switch25to48"), "4");
}

// In both packs: the connection entries are the pack's texts, the saved values the same; Enter
// ends it with OK.
class SettingsDlgWindowSwitch : public ::testing::TestWithParam<const char*> {};

TEST_P(SettingsDlgWindowSwitch, ConnectionChosenAndSaved) {
    const std::string pack = GetParam();
    SettingsWindows f(pack.c_str());
    SKIP_WITHOUT_DISPLAY(f.ui);
    f.WriteIni("[Switch]\r\nConnectMode=Serial\r\nSerial=2\r\n");
    f.ui.Run([&] {
        SwitchConfigDlg dlg;
        RunningDialog window(f.ui, dlg);
        ASSERT_TRUE(window.Open());
        EXPECT_EQ(f.ui.ActiveCaption(), pack == "cn" ? u8"交换机设置" : "Switch Settings");
        auto entry = [&](int index) {
            return window.OnUi([index](platform::ui::Dialog& w) {
                return std::string(w.Item(SwitchConfigDlg::IDC_CONNECTION).GetItemText(index));
            });
        };
        EXPECT_EQ(entry(1), pack == "cn" ? "串口2" : "COM2"); // GBK, as the program holds it
        EXPECT_EQ(entry(2), "TCP/IP");
        EXPECT_EQ(window.OnUi([](platform::ui::Dialog& w) {
            return w.Item(SwitchConfigDlg::IDC_CONNECTION).GetCurSel();
        }),
                  1);
        ASSERT_TRUE(f.ui.Select(SwitchConfigDlg::IDC_CONNECTION, 2));
        window.SetText(SwitchConfigDlg::IDC_IP, "10.9.8.7");
        f.ui.Screenshot("SettingsDlg_switch_" + pack);
        // Enter in a field presses OK, the default button.
        ASSERT_TRUE(f.ui.Click(SwitchConfigDlg::IDC_IP));
        f.ui.Key(13);
        EXPECT_EQ(window.Result(), 1);
    });
    EXPECT_EQ(f.Saved("Switch", "ConnectMode"), "TCPIP");
    EXPECT_EQ(f.Saved("Switch", "Serial"), "1");
    EXPECT_EQ(f.Saved("Switch", "Ip"), "10.9.8.7");
    EXPECT_EQ(f.Saved("Switch", "Model"), "Halvet 40S");
}

INSTANTIATE_TEST_SUITE_P(SettingsDlgWindow, SettingsDlgWindowSwitch, ::testing::Values("cn", "en"));

} // namespace
