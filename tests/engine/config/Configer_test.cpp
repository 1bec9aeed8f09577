#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>

#include "engine/Common.h"
#include "engine/config/Configer.h"
#include "platform/files/Profile.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/prompt/Prompt.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/TempDir.h"

namespace {

using platform::Hive;

NicConfig SomeRoles() {
    NicConfig roles;
    roles.WAN_Name = "wan0";
    roles.WAN_Guid = "{W}";
    roles.LAN_Name = "lan0";
    roles.LAN_Guid = "{L}";
    return roles;
}

// A program directory and a registry store of the test's own.
class ConfigerTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirectory((dir.str() + "/").c_str());
        std::filesystem::create_directory(dir / "registry");
        platform::SetRegistryRoot((dir / "registry").c_str());
        platform::SetPromptService(&prompts);
    }
    void TearDown() override {
        Configer::DeleteInstance();
        platform::SetPromptService(nullptr);
        platform::SetProgramDirectory("");
        platform::SetRegistryRoot("");
    }
    void WriteIni(const std::string& text) { testsupport::WriteFileBytes(Ini(), text); }
    std::filesystem::path Ini() const { return dir / "Config.ini"; }
    CString IniText() const { return CString(Ini().string()); }

    testsupport::TempDir dir{"corvay-configer"};
    platform::RecordingPromptService prompts;
};

TEST_F(ConfigerTest, MissingFileGivesEveryDefault) {
    Configer config;
    EXPECT_EQ(config.GetIniPath(), CString((dir.str() + "/Config.ini").c_str()));
    EXPECT_EQ(config.GetVersion(), "");
    EXPECT_EQ(config.GetLogger(), 0);
    EXPECT_EQ(config.GetLanguage(), "auto");
    SystemConfig system = config.GetSystemConfig();
    EXPECT_EQ(system.ModemInfoColumWidth, 50);
    EXPECT_EQ(system.Dslam.Model, "Torvex Birch");
    EXPECT_EQ(system.Dslam.Ip, "172.16.0.1");
    EXPECT_EQ(system.Dslam.Login.User, "");
    EXPECT_EQ(system.Dslam.Login.Password, "");
    EXPECT_EQ(system.Dslam.Serial, 2);
    EXPECT_FALSE(system.Dslam.IsSerial);
    EXPECT_EQ(system.Dslam.UploadRate, 512);
    EXPECT_EQ(system.Dslam.DownloadRate, 4000);
    EXPECT_EQ(system.Dslam.Switch1to24, 2);
    EXPECT_EQ(system.Dslam.Switch25to48, 3);
    EXPECT_EQ(system.Modem.StandTestPeriod, 300000);
    EXPECT_EQ(system.Modem.LongPingTestPeriod, 7200000);
    EXPECT_EQ(system.Modem.DefaultModemIp, "192.168.1.1");
    EXPECT_EQ(system.Modem.WaitModemConnect, 60000);
    EXPECT_FALSE(system.Modem.AutoUpgradeFirmware);
    EXPECT_FALSE(system.Modem.AutoUpgradeConfig);
    EXPECT_EQ(system.PingTestPeriod, 300000);
    EXPECT_EQ(system.SingalQualityStandard, 80);
    SwitchConfig sw = config.GetSwitchConfig();
    EXPECT_EQ(sw.Model, "");
    EXPECT_EQ(sw.PortCount, 24);
    EXPECT_EQ(sw.TrunkPortNo, 24);
    EXPECT_EQ(sw.Ip, "192.168.1.200");
    EXPECT_EQ(sw.Login.User, "");
    EXPECT_EQ(sw.Login.Password, "");
    EXPECT_EQ(sw.Serial.Port, 1);
    EXPECT_FALSE(sw.IsSerial);
    EXPECT_EQ(sw.Serial.BaudRate, 9600);
    EXPECT_EQ(sw.Serial.DataBits, 8);
    EXPECT_EQ(sw.Serial.Parity, "None");
    EXPECT_EQ(sw.Serial.StopBits, 1);
    EXPECT_EQ(sw.Serial.FlowControl, "Hardware");
    NicConfig roles = config.GetNicConfig();
    EXPECT_TRUE(roles.WAN_Name.IsEmpty() && roles.WAN_Guid.IsEmpty() && roles.LAN_Name.IsEmpty() &&
                roles.LAN_Guid.IsEmpty());
    EXPECT_FALSE(config.CheckNicConfigured());
    EXPECT_FALSE(std::filesystem::exists(Ini())); // reading writes nothing
}

TEST_F(ConfigerTest, SaveWritesTheSavedKeysInOrder) {
    Configer config;
    ASSERT_TRUE(config.Save());
    struct Section {
        const char* name;
        std::vector<std::pair<const char*, const char*>> keys;
    } expected[] = {
        {"System", {{"Version", ""}, {"Logger", "0"}}},
        {"Dslam",
         {{"Model", "Torvex Birch"},
          {"Ip", "172.16.0.1"},
          {"Login.User", ""},
          {"Login.Password", ""},
          {"Serial", "2"},
          {"ConnectMode", "TCPIP"},
          {"UploadRate", "512"},
          {"DownloadRate", "4000"},
          {"Switch1to24", "2"},
          {"Switch25to48", "3"}}},
        {"WLan", {{"PingTestPeriod", "300000"}, {"SingalQualityStandard", "80"}}},
        {"Modem",
         {{"StandTestPeriod", "300000"},
          {"LongPingTestPeriod", "7200000"},
          {"WaitModemConnect", "60000"},
          {"AutoUpgradeFirmware", "False"},
          {"AutoUpgradeConfig", "False"}}},
        {"Switch",
         {{"Model", ""},
          {"PortCount", "24"},
          {"TrunkPortNo", "24"},
          {"Ip", "192.168.1.200"},
          {"Login.User", ""},
          {"Login.Password", ""},
          {"Serial", "1"},
          {"ConnectMode", "TCPIP"}}},
    };
    std::string text = testsupport::ReadFileBytes(Ini());
    size_t previous = 0;
    for (const Section& section : expected) {
        size_t at = text.find(std::string("[") + section.name + "]");
        ASSERT_NE(at, std::string::npos) << section.name;
        EXPECT_GE(at, previous) << section.name << " out of order";
        previous = at;
        CStringArray keys = platform::ReadProfileKeys(IniText(), section.name);
        ASSERT_EQ(keys.GetSize(), static_cast<int>(section.keys.size())) << section.name;
        for (int i = 0; i < keys.GetSize(); ++i) {
            EXPECT_EQ(keys[i], section.keys[i].first) << section.name;
            EXPECT_EQ(platform::ReadProfileString(IniText(), section.name, keys[i], "?"),
                      section.keys[i].second)
                << section.name << " " << section.keys[i].first;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "Config.ini.saving"));
}

TEST_F(ConfigerTest, ValueRules) {
    struct Case {
        const char* section;
        const char* key;
        const char* text;
        std::function<int(const Configer&)> read;
        int expected;
        const char* savedAs; // nullptr: not saved
    };
    auto dslamSerial = [](const Configer& c) { return int(c.GetSystemConfig().Dslam.IsSerial); };
    auto switchSerial = [](const Configer& c) { return int(c.GetSwitchConfig().IsSerial); };
    auto firmware = [](const Configer& c) { return int(c.GetSystemConfig().Modem.AutoUpgradeFirmware); };
    auto configUp = [](const Configer& c) { return int(c.GetSystemConfig().Modem.AutoUpgradeConfig); };
    auto portCount = [](const Configer& c) { return c.GetSwitchConfig().PortCount; };
    auto trunk = [](const Configer& c) { return c.GetSwitchConfig().TrunkPortNo; };
    auto wait = [](const Configer& c) { return c.GetSystemConfig().Modem.WaitModemConnect; };
    auto period = [](const Configer& c) { return c.GetSystemConfig().Modem.StandTestPeriod; };
    auto width = [](const Configer& c) { return c.GetSystemConfig().ModemInfoColumWidth; };
    Case cases[] = {
        {"Dslam", "ConnectMode", "Serial", dslamSerial, 1, "Serial"},
        {"Dslam", "ConnectMode", "serial", dslamSerial, 0, "TCPIP"},
        {"Switch", "ConnectMode", "Serial", switchSerial, 1, "Serial"},
        {"Switch", "ConnectMode", "SERIAL", switchSerial, 0, "TCPIP"},
        {"Switch", "ConnectMode", "TCPIP", switchSerial, 0, "TCPIP"},
        {"Modem", "AutoUpgradeFirmware", "true", firmware, 1, "True"},
        {"Modem", "AutoUpgradeFirmware", " True ", firmware, 1, "True"},
        {"Modem", "AutoUpgradeFirmware", "yes", firmware, 0, "False"},
        {"Modem", "AutoUpgradeFirmware", "1", firmware, 0, "False"},
        {"Modem", "AutoUpgradeConfig", "TRUE", configUp, 1, "True"},
        {"Modem", "AutoUpgradeConfig", "False", configUp, 0, "False"},
        {"Switch", "PortCount", "48", portCount, 48, "48"},
        {"Switch", "PortCount", "12ports", portCount, 12, "12"},
        // Outside 1..48 (no number reads as 0): the default, with a warning.
        {"Switch", "PortCount", "-3", portCount, 24, "24"},
        {"Switch", "PortCount", "many", portCount, 24, "24"},
        {"Switch", "PortCount", "0", portCount, 24, "24"},
        {"Switch", "PortCount", "49", portCount, 24, "24"},
        {"Switch", "PortCount", "99999999999", portCount, 24, "24"},
        {"Switch", "PortCount", "1", portCount, 1, "1"},
        {"Switch", "TrunkPortNo", "1", trunk, 1, "1"},
        {"Switch", "TrunkPortNo", "25", trunk, 24, "24"},
        {"Switch", "TrunkPortNo", "0", trunk, 24, "24"},
        {"Switch", "TrunkPortNo", "-1", trunk, 24, "24"},
        {"Modem", "WaitModemConnect", "99999999999", wait, 60000, "60000"}, // too large for a number
        {"Modem", "StandTestPeriod", "", period, 0, "0"},
        {"System", "ModemInfoColumWidth", "80", width, 80, nullptr},
    };
    for (const Case& c : cases) {
        WriteIni(std::string("[") + c.section + "]\r\n" + c.key + "=" + c.text + "\r\n");
        Configer config;
        EXPECT_EQ(c.read(config), c.expected) << c.section << " " << c.key << "=" << c.text;
        ASSERT_TRUE(config.Save());
        CString saved = platform::ReadProfileString(IniText(), c.section, c.key, "<none>");
        if (c.savedAs)
            EXPECT_EQ(saved, c.savedAs) << c.key << "=" << c.text;
        else
            EXPECT_EQ(saved, c.text) << "left as it was: " << c.key;
    }
}

TEST_F(ConfigerTest, NumbersThatAreNoNumberAreLoggedAsWarnings) {
    WriteIni("[Switch]\r\nPortCount=many\r\nTrunkPortNo=24\r\n[Modem]\r\nStandTestPeriod=\r\n");
    const size_t before = testsupport::LogText().size(); // earlier tests' lines are not this one's
    Configer config;
    std::string log = testsupport::LogText().substr(before);
    EXPECT_NE(log.find("Warning:Config.ini [Switch] PortCount=\"many\" is no number"), std::string::npos)
        << log;
    EXPECT_NE(log.find("Warning:Config.ini [Modem] StandTestPeriod=\"\" is no number"), std::string::npos);
    EXPECT_EQ(log.find("TrunkPortNo"), std::string::npos);
}

TEST_F(ConfigerTest, PortCountAndTrunkOutsideTheSwitchAreWarnedAndReplaced) {
    WriteIni("[Switch]\r\nPortCount=99999999999\r\nTrunkPortNo=30\r\n");
    {
        Configer config;
        EXPECT_EQ(config.GetSwitchConfig().PortCount, 24);
        EXPECT_EQ(config.GetSwitchConfig().TrunkPortNo, 24);
        std::string log = testsupport::LogText();
        EXPECT_NE(log.find("Warning:Config.ini [Switch] PortCount=\"99999999999\" is out of range"),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("Warning:Config.ini [Switch] TrunkPortNo=30 is outside 1..24; 24 is used."),
                  std::string::npos)
            << log;
    }
    // A smaller switch: the trunk falls back to its last port.
    WriteIni("[Switch]\r\nPortCount=8\r\nTrunkPortNo=9\r\n");
    Configer config;
    EXPECT_EQ(config.GetSwitchConfig().PortCount, 8);
    EXPECT_EQ(config.GetSwitchConfig().TrunkPortNo, 8);
}

TEST_F(ConfigerTest, SerialDeviceIsReadAndWrittenOnlyWhenSet) {
    {
        Configer config;
        EXPECT_TRUE(config.GetSwitchConfig().SerialDevice.IsEmpty());
        ASSERT_TRUE(config.Save());
        EXPECT_FALSE(platform::ProfileKeyExists(IniText(), "Switch", "SerialDevice"));
        SwitchConfig sw = config.GetSwitchConfig();
        sw.SerialDevice = "/dev/ttyUSB0";
        ASSERT_TRUE(config.SetSwitchConfig(sw));
    }
    EXPECT_EQ(platform::ReadProfileString(IniText(), "Switch", "SerialDevice", ""), "/dev/ttyUSB0");
    Configer config;
    EXPECT_EQ(config.GetSwitchConfig().SerialDevice, "/dev/ttyUSB0");
    EXPECT_EQ(config.GetSwitchConfig().Serial.Port, 1);
}

TEST_F(ConfigerTest, SaveWritesTheCardRolesAlsoWhenConfigIniCannotBeWritten) {
    const NicConfig roles = SomeRoles();
    Configer config;
    // Config.ini becomes something no save can read or replace.
    std::filesystem::create_directories(dir / "Config.ini" / "in-the-way");
    EXPECT_FALSE(config.SetNicConfig(roles));
    CString value;
    ASSERT_EQ(platform::RegGetString(Hive::LocalMachine, "Software\\Tellvane\\LAN", "Guid", value), 0);
    EXPECT_EQ(value, "{L}");
    ASSERT_EQ(platform::RegGetString(Hive::LocalMachine, "Software\\Tellvane\\WAN", "Name", value), 0);
    EXPECT_EQ(value, "wan0");
}

TEST_F(ConfigerTest, SaveReportsARegistryThatCannotBeWritten) {
    Configer config;
    // The store's root is a file: no hive can be written under it.
    testsupport::WriteFileBytes(dir / "not-a-directory", "x");
    platform::SetRegistryRoot((dir / "not-a-directory").c_str());
    const NicConfig roles = SomeRoles();
    EXPECT_FALSE(config.SetNicConfig(roles));
    // Config.ini itself was written.
    EXPECT_EQ(platform::ReadProfileString(IniText(), "Switch", "PortCount", ""), "24");
}

TEST_F(ConfigerTest, GbkTextAndUnsavedKeysSurviveASave) {
    // Narrow literals are GBK.
    const CString password = "密码：测试";
    const CString model = "交换机 S-24";
    WriteIni(
        "; bench "
        "3\r\n[System]\r\nLanguage=en\r\nModemInfoColumWidth=70\r\n[Modem]\r\nDefaultModemIp=10.0.0.1\r\n"
        "[Dslam]\r\nLogin.Password=" +
        password.str() + "\r\n[Extra]\r\nKeep=me\r\n");
    {
        Configer config;
        EXPECT_EQ(config.GetSystemConfig().Dslam.Login.Password, password);
        SwitchConfig sw = config.GetSwitchConfig();
        sw.Model = model;
        ASSERT_TRUE(config.SetSwitchConfig(sw));
    }
    std::string text = testsupport::ReadFileBytes(Ini());
    EXPECT_NE(text.find("Login.Password=" + password.str()), std::string::npos);
    EXPECT_NE(text.find("Model=" + model.str()), std::string::npos);
    EXPECT_NE(text.find("; bench 3"), std::string::npos);
    Configer again;
    EXPECT_EQ(again.GetSystemConfig().Dslam.Login.Password, password);
    EXPECT_EQ(again.GetSwitchConfig().Model, model);
    EXPECT_EQ(again.GetLanguage(), "en");
    EXPECT_EQ(again.GetSystemConfig().ModemInfoColumWidth, 70);
    EXPECT_EQ(again.GetSystemConfig().Modem.DefaultModemIp, "10.0.0.1");
    EXPECT_EQ(platform::ReadProfileString(IniText(), "Extra", "Keep", ""), "me");
}

TEST_F(ConfigerTest, LongValuesAreClippedWithoutSplittingACharacter) {
    std::string value;
    for (int i = 0; i < 600; ++i)
        value += "测"; // two bytes each: byte 1023 would be the lead byte of a character
    WriteIni("[Switch]\r\nModel=" + value + "\r\n");
    Configer config;
    CString model = config.GetSwitchConfig().Model;
    EXPECT_EQ(model.GetLength(), 1022);
    EXPECT_EQ(model.str(), value.substr(0, 1022));
}

TEST_F(ConfigerTest, FailedSaveReportsAndLeavesTheFileAsItWas) {
    WriteIni("[Switch]\r\nModel=old\r\n");
    std::string before = testsupport::ReadFileBytes(Ini());
    Configer config;
    SystemConfig system = config.GetSystemConfig();
    system.Dslam.UploadRate = 1024;
    SwitchConfig sw = config.GetSwitchConfig();
    sw.Model = "two\r\nlines"; // cannot be one ini value
    ASSERT_TRUE(config.SetSystemConfig(system));
    before = testsupport::ReadFileBytes(Ini());
    EXPECT_FALSE(config.SetSwitchConfig(sw));
    EXPECT_EQ(testsupport::ReadFileBytes(Ini()), before);
    EXPECT_NE(testsupport::LogText().find("[Switch] Model"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "Config.ini.saving"));
}

TEST_F(ConfigerTest, CardRolesLiveInTheRegistry) {
    NicConfig roles;
    roles.WAN_Name = "wan0";
    roles.WAN_Guid = "{3F032EC6-C1D5-50F9-A55F-48B099789599}";
    roles.LAN_Name = "网卡 lan0";
    roles.LAN_Guid = "{B5F0CC2C-D7E4-514C-B3A1-DFA5C72ECE84}";
    {
        Configer config;
        config.SetNicConfig(roles);
    }
    CString value;
    ASSERT_EQ(platform::RegGetString(Hive::LocalMachine, "Software\\Tellvane\\WAN", "Name", value), 0);
    EXPECT_EQ(value, "wan0");
    ASSERT_EQ(platform::RegGetString(Hive::LocalMachine, "Software\\Tellvane\\LAN", "Guid", value), 0);
    EXPECT_EQ(value, roles.LAN_Guid);
    Configer again;
    NicConfig read = again.GetNicConfig();
    EXPECT_EQ(read.WAN_Name, roles.WAN_Name);
    EXPECT_EQ(read.WAN_Guid, roles.WAN_Guid);
    EXPECT_EQ(read.LAN_Name, roles.LAN_Name);
    EXPECT_EQ(read.LAN_Guid, roles.LAN_Guid);
}

TEST_F(ConfigerTest, OnlyOneRoleOrAnOverlongValueLeavesTheCardsUnconfigured) {
    platform::RegSetString(Hive::LocalMachine, "Software\\Tellvane\\WAN", "Name", "wan0");
    platform::RegSetString(Hive::LocalMachine, "Software\\Tellvane\\WAN", "Guid", "{G}");
    {
        Configer config;
        EXPECT_EQ(config.GetNicConfig().WAN_Guid, "{G}");
        EXPECT_TRUE(config.GetNicConfig().LAN_Name.IsEmpty());
        EXPECT_FALSE(config.CheckNicConfigured());
    }
    // A value that would not fit the read buffer is not taken, nor the Guid after it.
    platform::RegSetString(Hive::LocalMachine, "Software\\Tellvane\\LAN", "Name", CString('x', 256));
    platform::RegSetString(Hive::LocalMachine, "Software\\Tellvane\\LAN", "Guid", "{L}");
    Configer config;
    EXPECT_TRUE(config.GetNicConfig().LAN_Name.IsEmpty());
    EXPECT_TRUE(config.GetNicConfig().LAN_Guid.IsEmpty());
}

TEST_F(ConfigerTest, GetInstanceBuildsOneConfiger) {
    WriteIni("[System]\r\nVersion=3.1\r\n");
    Configer* first = Configer::GetInstance();
    EXPECT_EQ(first, Configer::GetInstance());
    EXPECT_EQ(first->GetVersion(), "3.1");
}

TEST_F(ConfigerTest, SharedHelpers) {
    struct Case {
        const char* text;
        const char* suffix;
        bool ends;
    } cases[] = {
        {"show port 1\r\n#", "#", true},
        {"abc", "", true},
        {"", "", true},
        {"abc", "abc", true},
        {"bc", "abc", false},
        {"abc", "ab", false},
        {"abC", "bc", false},
        {"", "a", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EndsWith(c.text, c.suffix), c.ends) << c.text << " / " << c.suffix;

    EXPECT_EQ(GetProgramDirectory(), CString((dir.str() + "/").c_str()));
    platform::SetProgramDirectory("");
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(GetProgramDirectory(), CString((exe.parent_path().string() + "/").c_str()));

    // Every box goes through the prompt service; the console default also logs it.
    ShowErrorMessage("端口 3 不可用");
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Boxes()[0].text, "端口 3 不可用");
    EXPECT_EQ(prompts.Boxes()[0].caption, "错误");
    EXPECT_EQ(prompts.Boxes()[0].type, platform::kMbOk | platform::kMbIconError);
    platform::SetPromptService(nullptr);
    ::testing::internal::CaptureStderr();
    ShowErrorMessage("端口 4 不可用");
    std::string shown = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find(u8"[错误] 端口 4 不可用"), std::string::npos) << shown;
    EXPECT_NE(testsupport::LogText().find(CString("[错误] 端口 4 不可用").str()), std::string::npos);
}

using ConfigerDeathTest = ConfigerTest;

TEST_F(ConfigerDeathTest, ConstructionFailuresEndTheProcessWithTheirCodes) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    platform::SetPromptService(nullptr);      // the console default writes the box to stderr
    std::filesystem::create_directory(Ini()); // exists, cannot be read as a file
    EXPECT_EXIT(Configer::GetInstance(), ::testing::ExitedWithCode(255), "Config.ini");
    EXPECT_EXIT(Configer::ConstructOrExit([]() -> std::unique_ptr<Configer> { throw 7; }),
                ::testing::ExitedWithCode(254), u8"读配置文件Config.xml出错");
    EXPECT_EXIT(
        Configer::ConstructOrExit([]() -> std::unique_ptr<Configer> { throw std::runtime_error("bad"); }),
        ::testing::ExitedWithCode(255), "bad");
}

} // namespace
