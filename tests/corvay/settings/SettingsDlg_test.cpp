#include <gtest/gtest.h>

#include <string>

#include "corvay/settings/DslamConfigDlg.h"
#include "corvay/settings/LogSettingDlg.h"
#include "corvay/settings/SwitchConfigDlg.h"
#include "corvay/settings/SystemConfigDlg.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "platform/files/SharedMemory.h"
#include "tests/corvay/settings/SettingsFixture.h"

namespace {

class SettingsDlgTest : public ::testing::Test, public testsupport::SettingsFixture {};

TEST_F(SettingsDlgTest, SystemConfigShowsUnitsAndSavesMilliseconds) {
    struct Case {
        const char* section;
        const char* key;
        const char* stored;
        unsigned field;
        const char* shown;
        const char* saved;
    } cases[] = {
        {"Modem", "StandTestPeriod", "300000", SystemConfigDlg::IDC_STAND_PERIOD, "300", "300000"},
        {"Modem", "StandTestPeriod", "1500", SystemConfigDlg::IDC_STAND_PERIOD, "1", "1000"},
        {"Modem", "LongPingTestPeriod", "7200000", SystemConfigDlg::IDC_LONG_PERIOD, "120", "7200000"},
        {"Modem", "LongPingTestPeriod", "90000", SystemConfigDlg::IDC_LONG_PERIOD, "1", "60000"},
        {"WLan", "PingTestPeriod", "2500", SystemConfigDlg::IDC_WLAN_PERIOD, "2", "2000"},
        {"Dslam", "UploadRate", "640", SystemConfigDlg::IDC_UPLOAD_RATE, "640", "640"},
        {"Dslam", "DownloadRate", "8000", SystemConfigDlg::IDC_DOWNLOAD_RATE, "8000", "8000"},
        {"WLan", "SingalQualityStandard", "65", SystemConfigDlg::IDC_WLAN_QUALITY, "65", "65"},
    };
    for (const Case& c : cases) {
        WriteIni(std::string("[") + c.section + "]\r\n" + c.key + "=" + c.stored + "\r\n");
        SystemConfigDlg dlg;
        EXPECT_EQ(dlg.Text(c.field), c.shown) << c.key << "=" << c.stored;
        ASSERT_TRUE(dlg.OnOK().IsClose());
        EXPECT_EQ(Saved(c.section, c.key), c.saved) << c.key << "=" << c.stored;
    }
    EXPECT_EQ(prompts.Count(), 0u);
}

TEST_F(SettingsDlgTest, SystemConfigCheckBoxesAndEveryFieldTogether) {
    WriteIni("[Modem]\r\nAutoUpgradeFirmware=True\r\n");
    SystemConfigDlg dlg;
    EXPECT_TRUE(dlg.m_AutoUpgradeFirmware);
    EXPECT_FALSE(dlg.m_AutoUpgradeConfig);
    dlg.m_AutoUpgradeFirmware = false;
    dlg.m_AutoUpgradeConfig = true;
    dlg.SetText(SystemConfigDlg::IDC_STAND_PERIOD, " 3600 ");
    dlg.SetText(SystemConfigDlg::IDC_LONG_PERIOD, "2880");
    dlg.SetText(SystemConfigDlg::IDC_WLAN_PERIOD, "2147483"); // the most milliseconds 32 bits hold
    ASSERT_TRUE(dlg.OnOK().IsClose());
    EXPECT_EQ(Saved("Modem", "AutoUpgradeFirmware"), "False");
    EXPECT_EQ(Saved("Modem", "AutoUpgradeConfig"), "True");
    EXPECT_EQ(Saved("Modem", "StandTestPeriod"), "3600000");
    EXPECT_EQ(Saved("Modem", "LongPingTestPeriod"), "172800000");
    EXPECT_EQ(Saved("WLan", "PingTestPeriod"), "2147483000");
    // The live configuration is the saved one.
    EXPECT_EQ(Configer::GetInstance()->GetSystemConfig().PingTestPeriod, 2147483000);
}

TEST_F(SettingsDlgTest, SystemConfigRefusesValuesOutsideTheRangeAndSavesNothing) {
    struct Case {
        unsigned field;
        const char* text;
        const char* range;
    } cases[] = {
        {SystemConfigDlg::IDC_STAND_PERIOD, "0", "1 和 3600"},
        {SystemConfigDlg::IDC_STAND_PERIOD, "3601", "1 和 3600"},
        {SystemConfigDlg::IDC_LONG_PERIOD, "0", "1 和 2880"},
        {SystemConfigDlg::IDC_LONG_PERIOD, "2881", "1 和 2880"},
        {SystemConfigDlg::IDC_UPLOAD_RATE, "0", "1 和 9999999"},
        {SystemConfigDlg::IDC_UPLOAD_RATE, "10000000", "1 和 9999999"},
        {SystemConfigDlg::IDC_DOWNLOAD_RATE, "0", "1 和 99999999"},
        {SystemConfigDlg::IDC_DOWNLOAD_RATE, "100000000", "1 和 99999999"},
        {SystemConfigDlg::IDC_WLAN_PERIOD, "0", "1 和 2147483"},
        {SystemConfigDlg::IDC_WLAN_PERIOD, "2147484", "1 和 2147483"}, // would overflow as ms
        {SystemConfigDlg::IDC_WLAN_PERIOD, "99999999", "1 和 2147483"},
        {SystemConfigDlg::IDC_WLAN_QUALITY, "0", "1 和 100"},
        {SystemConfigDlg::IDC_WLAN_QUALITY, "101", "1 和 100"},
        {SystemConfigDlg::IDC_UPLOAD_RATE, "12abc", "1 和 9999999"},
        {SystemConfigDlg::IDC_UPLOAD_RATE, "", "1 和 9999999"},
        {SystemConfigDlg::IDC_DOWNLOAD_RATE, "99999999999", "1 和 99999999"},
    };
    for (const Case& c : cases) {
        WriteIni("");
        SystemConfigDlg dlg;
        dlg.SetText(c.field, c.text);
        size_t before = prompts.Count();
        DialogOutcome outcome = dlg.OnOK();
        EXPECT_TRUE(outcome.IsStayOpen()) << c.field << " " << c.text;
        EXPECT_EQ(outcome.controlId, c.field) << c.text;
        ASSERT_EQ(prompts.Count(), before + 1) << c.field << " " << c.text;
        EXPECT_EQ(prompts.Boxes().back().text, CString("请输入一个介于 ") + c.range + " 之间的整数。");
        EXPECT_EQ(prompts.Boxes().back().caption, "Corvay");
        EXPECT_FALSE(Exists()) << c.field << " " << c.text;
        EXPECT_EQ(Configer::GetInstance()->GetSystemConfig().Modem.StandTestPeriod, 300000);
    }
}

TEST_F(SettingsDlgTest, SystemConfigDoubleClickRunsTheLogSettings) {
    SystemConfigDlg dlg;
    DialogOutcome outcome = dlg.OnLogSettingDoubleClick();
    ASSERT_TRUE(outcome.IsRunDialog());
    EXPECT_EQ(outcome.dialogId, LogSettingDlg::IDD);
    EXPECT_NE(dynamic_cast<LogSettingDlg*>(dlg.Child()), nullptr);
    dlg.ChildEnded(kDialogCancel);
    EXPECT_EQ(dlg.Child(), nullptr);
    EXPECT_FALSE(Exists());
}

TEST_F(SettingsDlgTest, DslamModelBirchDisablesBothSlotLists) {
    struct Case {
        const char* ini;
        bool enabledAtStart;
        int changeTo;
        bool enabledAfter;
    } cases[] = {
        {"", false, 0, true}, // the default model is "Torvex Birch"
        {"[Dslam]\r\nModel=Torvex Alder\r\n", true, 1, false},
        {"[Dslam]\r\nModel=Other\r\n", true, 1, false},
    };
    for (const Case& c : cases) {
        WriteIni(c.ini);
        DslamConfigDlg dlg;
        EXPECT_EQ(dlg.SlotListsEnabled(), c.enabledAtStart) << c.ini;
        dlg.OnModelChanged(c.changeTo);
        EXPECT_EQ(dlg.SlotListsEnabled(), c.enabledAfter) << c.ini;
    }
}

TEST_F(SettingsDlgTest, DslamEqualSlotsAreRefusedAndNothingChanges) {
    WriteIni("[Dslam]\r\nModel=Torvex "
             "Birch\r\nIp=10.0.0.9\r\nLogin.User=old\r\nSwitch1to24=2\r\nSwitch25to48=3\r\n");
    DslamConfigDlg dlg;
    EXPECT_EQ(dlg.m_Ip, "10.0.0.9");
    EXPECT_EQ(dlg.m_Model, 1);
    EXPECT_EQ(dlg.m_Slot1to24, 1);
    EXPECT_EQ(dlg.m_Slot25to48, 2);
    dlg.m_Ip = "10.1.2.3";
    dlg.m_User = "admin";
    dlg.m_Password = "secret";
    dlg.OnModelChanged(0);
    dlg.OnModelChanged(1); // lists disabled again; the check still applies
    dlg.m_Slot25to48 = 1;
    DialogOutcome outcome = dlg.OnOK();
    ASSERT_TRUE(outcome.IsStayOpen());
    EXPECT_EQ(outcome.stringId, DslamConfigDlg::IDS_SAME_SLOT);
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Boxes()[0].text, "槽位号不应该相同");
    // Neither the live nor the saved configuration took any of the refused values.
    DslamConfig live = Configer::GetInstance()->GetSystemConfig().Dslam;
    EXPECT_EQ(live.Ip, "10.0.0.9");
    EXPECT_EQ(live.Login.User, "old");
    EXPECT_EQ(live.Login.Password, "");
    EXPECT_EQ(live.Switch25to48, 3);
    EXPECT_EQ(Saved("Dslam", "Ip"), "10.0.0.9");
    EXPECT_EQ(Saved("Dslam", "Login.User"), "old");
    EXPECT_EQ(Saved("Dslam", "ConnectMode"), "<missing>"); // never saved

    // The user then picks another slot: everything goes in at once.
    dlg.m_Slot25to48 = 3;
    dlg.m_Model = 0;
    ASSERT_TRUE(dlg.OnOK().IsClose());
    EXPECT_EQ(Saved("Dslam", "Model"), "Torvex Alder");
    EXPECT_EQ(Saved("Dslam", "Ip"), "10.1.2.3");
    EXPECT_EQ(Saved("Dslam", "Login.User"), "admin");
    EXPECT_EQ(Saved("Dslam", "Login.Password"), "secret");
    EXPECT_EQ(Saved("Dslam", "Switch1to24"), "2");
    EXPECT_EQ(Saved("Dslam", "Switch25to48"), "4");
}

TEST_F(SettingsDlgTest, DslamAddressField) {
    struct Case {
        const char* text;
        bool accepted;
        const char* saved;
    } cases[] = {
        {"192.168.010.1", true, "192.168.10.1"},
        {"1..2.3", true, "1.0.2.3"}, // an empty field of the address
                                     // control is 0
        {"256.1.1.1", false, nullptr},
        {"1.2.3", false, nullptr},
        {"1.2.3.4.5", false, nullptr},
        {"", false, nullptr},
    };
    for (const Case& c : cases) {
        WriteIni("");
        DslamConfigDlg dlg;
        dlg.m_Ip = c.text;
        DialogOutcome outcome = dlg.OnOK();
        EXPECT_EQ(outcome.IsClose(), c.accepted) << c.text;
        EXPECT_EQ(Saved("Dslam", "Ip"), c.accepted ? c.saved : "<missing>") << c.text;
        if (!c.accepted) {
            EXPECT_EQ(prompts.Boxes().back().text, "请输入一个介于 0 和 255 之间的整数。") << c.text;
        }
    }
}

TEST_F(SettingsDlgTest, SwitchConnectionEntries) {
    struct Case {
        const char* ini;
        int shown; // -1: no entry
        int chosen;
        const char* connectMode;
        const char* serial;
    } cases[] = {
        {"ConnectMode=Serial\r\nSerial=2\r\n", 1, 2, "TCPIP", "1"},
        {"ConnectMode=TCPIP\r\nSerial=1\r\n", 2, 1, "Serial", "2"},
        {"ConnectMode=Serial\r\nSerial=1\r\n", 0, 0, "Serial", "1"},
        {"ConnectMode=TCPIP\r\nSerial=2\r\n", 2, 2, "TCPIP", "1"},
    };
    for (const Case& c : cases) {
        WriteIni(std::string("[Switch]\r\n") + c.ini);
        SwitchConfigDlg dlg;
        EXPECT_EQ(dlg.m_Connection, c.shown) << c.ini;
        dlg.m_Connection = c.chosen;
        dlg.m_User = "root";
        dlg.m_Password = "pw";
        dlg.m_Ip = "not checked";
        ASSERT_TRUE(dlg.OnOK().IsClose()) << c.ini;
        EXPECT_EQ(Saved("Switch", "ConnectMode"), c.connectMode) << c.ini;
        EXPECT_EQ(Saved("Switch", "Serial"), c.serial) << c.ini;
        EXPECT_EQ(Saved("Switch", "Model"), "Halvet 40S");
        EXPECT_EQ(Saved("Switch", "Login.User"), "root");
        EXPECT_EQ(Saved("Switch", "Login.Password"), "pw");
        EXPECT_EQ(Saved("Switch", "Ip"), "not checked");
    }
}

TEST_F(SettingsDlgTest, SwitchSerialPortWithoutAnEntryIsNotShownAsTelnet) {
    const std::string ini = "[Switch]\r\nConnectMode=Serial\r\nSerial=3\r\n";
    WriteIni(ini);
    SwitchConfigDlg dlg;
    EXPECT_EQ(dlg.m_Connection, -1);
    DialogOutcome outcome = dlg.OnOK();
    EXPECT_TRUE(outcome.IsStayOpen());
    EXPECT_EQ(outcome.controlId, SwitchConfigDlg::IDC_CONNECTION);
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Boxes()[0].text, "请输入一个介于 0 和 2 之间的整数。");
    EXPECT_EQ(testsupport::ReadFileBytes(Ini()), ini);
    EXPECT_TRUE(Configer::GetInstance()->GetSwitchConfig().IsSerial);
    dlg.m_Connection = 0;
    ASSERT_TRUE(dlg.OnOK().IsClose());
    EXPECT_EQ(Saved("Switch", "ConnectMode"), "Serial");
    EXPECT_EQ(Saved("Switch", "Serial"), "1");
}

// Writes a level text into the shared memory as another process would.
void WriteSharedLevel(const char* text) {
    ReadSharedLogLevel(); // makes it when missing
    platform::SharedMemory shared;
    ASSERT_TRUE(shared.OpenExisting(testsupport::PrivateLogEnvironment::SharedName()));
    ASSERT_TRUE(shared.Map());
    snprintf(shared.Data(), shared.Size(), "%s", text);
    shared.Flush();
}

TEST_F(SettingsDlgTest, LogSettingPreselectsTheSharedLevel) {
    struct Case {
        const char* shared;
        int entry;
    } cases[] = {{"0", 0}, {"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}, {"5", 5}, {"7", 2}, {"x", 2}};
    for (const Case& c : cases) {
        WriteSharedLevel(c.shared);
        EXPECT_EQ(LogSettingDlg().m_Level, c.entry) << c.shared;
    }
    SetLogLevel(LOG_LEVEL_INFO);
}

TEST_F(SettingsDlgTest, LogSettingOkSetsTheSharedLevelSuperLogIniAndLogger) {
    WriteIni("[System]\r\nLogger=1\r\nVersion=v7\r\n");
    SetLogLevel(LOG_LEVEL_INFO);
    LogSettingDlg dlg;
    EXPECT_EQ(dlg.m_Level, LOG_LEVEL_INFO);
    dlg.m_Level = LOG_LEVEL_ERROR;
    ASSERT_TRUE(dlg.OnOK().IsClose());
    EXPECT_EQ(ReadSharedLogLevel(), LOG_LEVEL_ERROR);
    CString superLog = (testsupport::PrivateLogEnvironment::Directory() / "SuperLog.ini").c_str();
    EXPECT_EQ(platform::ReadProfileString(superLog, "SuperLog", "LogLevel", ""), "4");
    EXPECT_EQ(Saved("System", "Logger"), "4");
    EXPECT_EQ(Saved("System", "Version"), "v7");
    // A cancelled dialog changes nothing.
    LogSettingDlg second;
    second.m_Level = LOG_LEVEL_DEBUG;
    EXPECT_TRUE(second.OnCancel().IsClose());
    EXPECT_EQ(ReadSharedLogLevel(), LOG_LEVEL_ERROR);
    EXPECT_EQ(Saved("System", "Logger"), "4");
    SetLogLevel(LOG_LEVEL_INFO);
}

} // namespace
