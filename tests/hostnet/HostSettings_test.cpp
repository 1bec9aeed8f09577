// PCInfo's host settings over a temporary registry store (browser, mail) and over a fake tree of
// the host's files (operating system, processor, disks, USB controllers).

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "hostnet/pellar/PCInfo.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/wmi/HostClasses.h"
#include "platform/wmi/Provider.h"
#include "tests/hostnet/HostTree.h"
#include "tests/support/TempDir.h"

using platform::Hive;

namespace {

constexpr const char* kInternet = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const char* kAccounts = "Software\\Microsoft\\Internet Account Manager\\Accounts";

std::vector<std::string> Texts(const CPtrArray* texts) {
    std::vector<std::string> out;
    for (int i = 0; texts && i < texts->GetSize(); ++i)
        out.emplace_back(static_cast<const char*>(texts->GetAt(i)));
    return out;
}

std::vector<int> Statuses(const CByteArray* statuses) {
    std::vector<int> out;
    for (int i = 0; statuses && i < statuses->GetSize(); ++i)
        out.push_back((*statuses)[i]);
    return out;
}

CWordArray Codes(std::initializer_list<int> codes) {
    CWordArray array;
    for (int code : codes)
        array.Add(static_cast<uint16_t>(code));
    return array;
}

// Caller texts as the library takes them: an array of char* the caller owns.
struct CallerTexts {
    explicit CallerTexts(std::vector<std::string> values) : texts(std::move(values)) {
        for (auto& text : texts)
            pointers.Add(text.data());
    }
    std::vector<std::string> texts;
    CPtrArray pointers;
    CPtrArray* array = &pointers;
};

std::string Shown(const std::string& current, const std::string& expected) {
    return "Current:" + current + "<br><font color='#0000FF'>Expect:" + expected + "</font>";
}

class HostSettings : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirectory((dir.str() + "/").c_str());
        testsupport::WriteFileBytes(dir / "log.debug", "");
        platform::SetRegistryRoot(CString((dir / "registry").string()));
        platform::wmi::SetProvider(nullptr);
    }
    void TearDown() override {
        platform::wmi::SetHostRoot("");
        platform::SetRegistryRoot(CString());
        platform::SetProgramDirectory("");
    }
    bool Logged(const std::string& line) const {
        return testsupport::ReadFileBytes(dir / "info.log").find(line) != std::string::npos;
    }
    std::string String(Hive hive, const char* key, const char* name) {
        CString value;
        EXPECT_EQ(platform::RegGetString(hive, key, name, value), platform::kRegSuccess)
            << key << " " << name;
        return value.str();
    }
    // The browser settings in mode 1: texts and statuses of ProxyEnable, ProxyServer, Start Page, Version.
    void Compare(PCInfo& info, std::vector<std::string>& texts, std::vector<int>& statuses) {
        CWordArray all = Codes({0, 1, 2, 3});
        CPtrArray* out = nullptr;
        CByteArray* status = nullptr;
        ASSERT_EQ(info.IESettingInfo(1, all, &out, &status), 1);
        texts = Texts(out);
        statuses = Statuses(status);
    }

    testsupport::TempDir dir;
};

TEST_F(HostSettings, BrowserInventoryOnAnEmptyStoreKeepsEveryTextInItsPlace) {
    PCInfo info;
    CWordArray none;
    CPtrArray* out = nullptr;
    ASSERT_EQ(info.IEInfoGet(none, &out), 1);
    EXPECT_EQ(Texts(out), std::vector<std::string>(5, ""));
    EXPECT_TRUE(Logged(std::string("IESettingInfo:") + kInternet + ",2"));
    EXPECT_TRUE(Logged("DefaultBrowseInfo:SOFTWARE\\Clients\\StartMenuInternet,2"));

    // Codes after the proxy texts still find their own text when the key is missing.
    platform::RegSetString(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Internet Explorer", "Version", "6.0");
    CWordArray version = Codes({3});
    CByteArray* statuses = nullptr;
    ASSERT_EQ(info.IESettingInfo(1, version, &out, &statuses), 1);
    EXPECT_EQ(Texts(out), std::vector<std::string>{"6.0"});
    EXPECT_EQ(Statuses(statuses), std::vector<int>{10});
}

TEST_F(HostSettings, BrowserComparisonsAndDisplayTexts) {
    struct Case {
        const char* version;
        int versionStatus;
    } versions[] = {{"5.1", 1}, {"5.0", 1}, {"6.0", 10}, {"10.0", 10}, {"", 1}, {"6.0.2900.2180", 10}};
    platform::RegSetDword(Hive::CurrentUser, kInternet, "ProxyEnable", 1);
    platform::RegSetString(Hive::CurrentUser, kInternet, "ProxyServer", "10.1.1.1:3128");
    platform::RegSetString(Hive::CurrentUser, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page",
                           "HTTP://www.Portal.Example.com/start");
    for (const Case& c : versions) {
        platform::RegSetString(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Internet Explorer", "Version",
                               c.version);
        PCInfo info;
        std::vector<std::string> texts;
        std::vector<int> statuses;
        Compare(info, texts, statuses);
        // Expected proxy off: the switch differs, the server is not compared.
        std::vector<std::string> wanted = {Shown("TRUE", "FALSE"), "10.1.1.1:3128",
                                           "http://www.portal.example.com/start",
                                           c.versionStatus == 10 ? c.version : Shown(c.version, "5.1")};
        EXPECT_EQ(texts, wanted) << c.version;
        EXPECT_EQ(statuses, (std::vector<int>{0, 4, 10, c.versionStatus})) << c.version;
    }

    // Expected proxy on: the server is compared without regard to case.
    PCInfo info;
    info.m_ExpectProxyEnable = 1;
    info.m_ExpectProxyServer = "10.1.1.1:3128";
    info.m_ExpectStartPage = "elsewhere.example";
    std::vector<std::string> texts;
    std::vector<int> statuses;
    Compare(info, texts, statuses);
    EXPECT_EQ(texts[0], "TRUE");
    EXPECT_EQ(texts[2], Shown("http://www.portal.example.com/start", "elsewhere.example"));
    EXPECT_EQ(statuses, (std::vector<int>{10, 10, 0, 10}));
    info.m_ExpectProxyServer = "10.1.1.2:3128";
    Compare(info, texts, statuses);
    EXPECT_EQ(texts[1], Shown("10.1.1.1:3128", "10.1.1.2:3128"));
    EXPECT_EQ(statuses[1], 0);
}

TEST_F(HostSettings, DefaultBrowserContainsTheExpectedName) {
    CWordArray code = Codes({0});
    for (auto [value, status] : {std::pair{"IEXPLORE.EXE", 10}, {"firefox.desktop", 1}}) {
        platform::RegSetString(Hive::LocalMachine, "SOFTWARE\\Clients\\StartMenuInternet", "", value);
        PCInfo info;
        CPtrArray* out = nullptr;
        CByteArray* statuses = nullptr;
        ASSERT_EQ(info.DefaultBrowseInfo(1, code, &out, &statuses), 1);
        EXPECT_EQ(Texts(out), std::vector<std::string>{value});
        EXPECT_EQ(Statuses(statuses), std::vector<int>{status});
        ASSERT_EQ(info.DefaultBrowseInfo(0, code, &out, &statuses), 1);
        EXPECT_EQ(Statuses(statuses), std::vector<int>{4});
    }
}

TEST_F(HostSettings, ApplyingBrowserSettingsWritesTheCallersValuesAsGiven) {
    PCInfo info;
    CallerTexts values({"true", "Proxy.Bench.Example:8080", "WWW.Bench.Example/Home"});
    CWordArray codes = Codes({1, 2, 3});
    EXPECT_EQ(info.IEInfoSet(codes, &values.array), 10);
    EXPECT_EQ(String(Hive::CurrentUser, kInternet, "ProxyServer"), "Proxy.Bench.Example:8080");
    uint32_t enabled = 0;
    EXPECT_EQ(platform::RegGetDword(Hive::CurrentUser, kInternet, "ProxyEnable", enabled),
              platform::kRegSuccess);
    EXPECT_EQ(enabled, 1u);

    std::vector<std::string> texts;
    std::vector<int> statuses;
    Compare(info, texts, statuses);
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 3),
              (std::vector<std::string>{"TRUE", "Proxy.Bench.Example:8080", "www.bench.example/home"}));
    EXPECT_EQ(std::vector<int>(statuses.begin(), statuses.begin() + 3), (std::vector<int>{10, 10, 10}));

    // A comparison leaves the expected values as the caller gave them: a later apply writes them so.
    CWordArray page = Codes({2});
    CByteArray* applied = nullptr;
    EXPECT_EQ(info.IESettingInfo(2, page, nullptr, &applied), 10);
    EXPECT_EQ(String(Hive::CurrentUser, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page"),
              "WWW.Bench.Example/Home");
    CWordArray none;
    CPtrArray* out = nullptr;
    ASSERT_EQ(info.IEInfoGet(none, &out), 1);
    EXPECT_EQ(Texts(out)[1], "TRUE");

    // Texts that do not match the codes in count change nothing.
    CallerTexts one({"false"});
    EXPECT_EQ(info.IESettingInfo(3, codes, &one.array, nullptr), 0);
    EXPECT_EQ(info.m_ExpectProxyEnable, 1);
}

TEST_F(HostSettings, ACodeOutsideTheItemListSelectsNothing) {
    PCInfo info;
    CPtrArray* out = nullptr;
    CByteArray* statuses = nullptr;
    // 256 has the low byte 0: the whole code is checked.
    for (int code : {256, 4, 65535}) {
        CWordArray codes = Codes({0, code});
        EXPECT_EQ(info.IESettingInfo(0, codes, &out, &statuses), 0) << code;
        EXPECT_TRUE(Logged("SelectShowItem QueryItem index total:1, 4")) << code;
    }
    CWordArray none;
    EXPECT_EQ(info.IESettingInfo(0, none, &out, &statuses), 0);
    EXPECT_TRUE(Logged("SelectShowItem QueryItem=0"));
    CWordArray good = Codes({1});
    EXPECT_EQ(info.IESettingInfo(0, good, nullptr, &statuses), 0);
    EXPECT_TRUE(Logged("SelectShowItem mRetText=NULL mRetInt=NULL"));
}

TEST_F(HostSettings, MailInventory) {
    PCInfo info;
    CWordArray none;
    CPtrArray* out = nullptr;
    ASSERT_EQ(info.OutlookInfoGet(none, &out), 1);
    EXPECT_EQ(Texts(out), std::vector<std::string>{""});

    platform::RegSetString(Hive::LocalMachine, "SOFTWARE\\Clients\\Mail", "", "Outlook Express");
    platform::RegSetString(Hive::LocalMachine,
                           "SOFTWARE\\Clients\\Mail\\Outlook Express\\Protocols\\mailto\\DefaultIcon", "",
                           "msimn.exe,-2");
    CString work = CString(kAccounts) + "\\00000001";
    platform::RegSetString(Hive::CurrentUser, work, "Account Name", "Work");
    platform::RegSetString(Hive::CurrentUser, work, "SMTP Server", "smtp.work.example");
    platform::RegSetDword(Hive::CurrentUser, work, "SMTP Port", 587);
    platform::RegSetString(Hive::CurrentUser, work, "POP3 Server", "pop.work.example");
    CString junk = CString(kAccounts) + "\\Junk";
    platform::RegSetString(Hive::CurrentUser, junk, "Account Name", "not an account");
    CString home = CString(kAccounts) + "\\00000002";
    platform::RegSetString(Hive::CurrentUser, home, "Account Name", "Home");
    platform::RegSetString(Hive::CurrentUser, home, "POP3 Server", "pop.home.example");
    platform::RegSetString(Hive::CurrentUser, home, "POP3 Port", "");

    ASSERT_EQ(info.OutlookInfoGet(none, &out), 1);
    EXPECT_EQ(Texts(out), (std::vector<std::string>{"outlook express", "Work", "smtp.work.example", "587",
                                                    "pop.work.example", "110", "Home", "", "25",
                                                    "pop.home.example", "110"}));

    CWordArray program = Codes({0});
    CByteArray* statuses = nullptr;
    ASSERT_EQ(info.DefaultEmailProgramInfo(1, program, &out, &statuses), 1);
    EXPECT_EQ(Statuses(statuses), std::vector<int>{10});
    info.m_ExpectMailProgram = "Thunderbird";
    ASSERT_EQ(info.DefaultEmailProgramInfo(1, program, &out, &statuses), 1);
    EXPECT_EQ(Texts(out), std::vector<std::string>{Shown("outlook express", "Thunderbird")});
    EXPECT_EQ(Statuses(statuses), std::vector<int>{0});
}

TEST_F(HostSettings, RepairingTheTestAccount) {
    CWordArray codes = Codes({1, 2, 3, 4, 5, 8});
    CallerTexts first({"Bench", "smtp.bench.example", "25", "pop3.bench.example", "110", "secret"});
    PCInfo info;
    ASSERT_EQ(info.OutlookInfoSet(codes, &first.array), 1);
    CString key = CString(kAccounts) + "\\Brakmoor";
    EXPECT_EQ(String(Hive::CurrentUser, key, "Account Name"), "Bench");
    EXPECT_EQ(String(Hive::CurrentUser, key, "SMTP Server"), "smtp.bench.example");
    EXPECT_EQ(String(Hive::CurrentUser, key, "POP3 User Name"), "Bench");
    EXPECT_EQ(String(Hive::CurrentUser, key, "SMTP Email Address"), "Bench@bench.example");
    uint32_t number = 0;
    EXPECT_EQ(platform::RegGetDword(Hive::CurrentUser, key, "POP3 Port", number), platform::kRegSuccess);
    EXPECT_EQ(number, 110u);
    EXPECT_EQ(platform::RegGetDword(Hive::CurrentUser, key, "Connection Type", number),
              platform::kRegSuccess);
    EXPECT_EQ(number, 3u);
    std::string bytes;
    CString text;
    EXPECT_EQ(platform::RegGetBinary(Hive::CurrentUser, key, "POP3 Password", bytes), platform::kRegNotFound);
    EXPECT_EQ(platform::RegGetString(Hive::CurrentUser, key, "POP3 Password", text), platform::kRegNotFound);
    EXPECT_EQ(
        String(Hive::CurrentUser, "Software\\Microsoft\\Internet Account Manager", "Default Mail Account"),
        "Brakmoor");

    // Another name: a new key beside it. The same name in another case: the same key again.
    CallerTexts second({"Other", "smtp.other.example", "25", "pop3.other.example", "110", "secret"});
    PCInfo other;
    ASSERT_EQ(other.OutlookInfoSet(codes, &second.array), 1);
    EXPECT_EQ(String(Hive::CurrentUser, CString(kAccounts) + "\\Brakmoor00", "Account Name"), "Other");
    CallerTexts again({"BENCH", "smtp.again.example", "25", "pop3.bench.example", "110", "x"});
    PCInfo third;
    ASSERT_EQ(third.OutlookInfoSet(codes, &again.array), 1);
    EXPECT_EQ(String(Hive::CurrentUser, key, "SMTP Server"), "smtp.again.example");
    CStringArray keys;
    platform::RegEnumKeys(Hive::CurrentUser, kAccounts, keys);
    EXPECT_EQ(keys.GetSize(), 2);
}

// A fake tree of the host's files.
class HostSettingsTree : public HostSettings {
protected:
    void Write(const std::string& path, const std::string& bytes) { tree.Write(path, bytes); }
    void Basics(const std::string& mounts) {
        Write("etc/os-release", "NAME=Bench\nPRETTY_NAME=\"Bench?Linux 1 (test)\"\n");
        Write("proc/sys/kernel/osrelease", "6.1.0-bench\n");
        Write("proc/meminfo", "MemTotal:       16314172 kB\nMemFree:         1000 kB\n");
        Write("proc/cpuinfo",
              "processor\t: 0\nmodel name\t: Bench CPU A\nphysical id\t: 0\ncpu MHz\t\t: 2445.426\n\n"
              "processor\t: 1\nmodel name\t: Bench CPU A\nphysical id\t: 0\ncpu MHz\t\t: 2445.426\n\n"
              "processor\t: 2\nmodel name\t: Bench CPU B\nphysical id\t: 1\ncpu MHz\t\t: 1799.6\n");
        Write("sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "3600000\n");
        Write("proc/mounts", mounts);
        std::filesystem::create_directories(tree.root / "usr");
        std::filesystem::create_directories(tree.root / "media/my disk");
    }
    testsupport::HostTree tree;
};

TEST_F(HostSettingsTree, OperatingSystemProcessorAndSystemDisk) {
    Basics("/dev/vda1 / ext4 rw 0 0\n/dev/vda2 /usr ext4 rw 0 0\ntmpfs /usr/sbin tmpfs rw 0 0\n"
           "/dev/sdb1 /media/my\\040disk vfat rw 0 0\n");
    PCInfo info;
    ASSERT_EQ(info.InitWMI(0), 1);
    CWordArray none;
    CPtrArray* out = nullptr;
    ASSERT_EQ(info.OSInfoGet(none, &out), 1);
    std::vector<std::string> texts = Texts(out);
    ASSERT_EQ(texts.size(), 9u);
    texts[8] = texts[8].find_first_not_of("0123456789") == std::string::npos ? "digits" : texts[8];
    EXPECT_EQ(texts, (std::vector<std::string>{"Bench Linux 1 (test)", "6.1.0-bench", "36", "N/A", "16314172",
                                               "Bench CPU A", "3600", "/usr", "digits"}));

    // One processor per package; without cpufreq the clock of cpuinfo.
    std::vector<platform::wmi::Object> objects;
    ASSERT_EQ(platform::wmi::CurrentProvider().ExecQuery("Win32_Processor", objects), 0);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[1]["Name"].text, "Bench CPU B");
    EXPECT_EQ(objects[1]["MaxClockSpeed"].integer, 1800);
    ASSERT_EQ(platform::wmi::CurrentProvider().ExecQuery("Win32_LogicalDisk", objects), 0);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[2]["Name"].text, "/media/my disk");
    EXPECT_EQ(objects[2]["FreeSpace"].kind, platform::wmi::Value::Kind::Integer);
}

TEST_F(HostSettingsTree, NoDiskHoldingTheSystemDirectory) {
    Basics("/dev/vda1 /home ext4 rw 0 0\ntmpfs / tmpfs rw 0 0\n");
    PCInfo info;
    ASSERT_EQ(info.InitWMI(0), 1);
    CWordArray none;
    CPtrArray* out = nullptr;
    EXPECT_EQ(info.OSInfoGet(none, &out), 0);
    EXPECT_EQ(Texts(out).size(), 7u);
    EXPECT_TRUE(Logged("OSInfoGet Total Num:7"));
}

TEST_F(HostSettingsTree, UsbControllersAreTheRootHubs) {
    Write("sys/bus/usb/devices/usb1/product", "xHCI Host Controller\n");
    Write("sys/bus/usb/devices/usb1/manufacturer", "Linux 6.1.0 xhci-hcd\n");
    Write("sys/bus/usb/devices/usb2/product", "EHCI Host Controller\n");
    Write("sys/bus/usb/devices/1-1/product", "USB Keyboard\n");
    PCInfo info;
    ASSERT_EQ(info.InitWMI(0), 1);
    CWordArray caption = Codes({0});
    CPtrArray* out = nullptr;
    CByteArray* statuses = nullptr;
    ASSERT_EQ(info.UsbControllerInfo(1, caption, &out, &statuses), 1);
    EXPECT_EQ(Texts(out), (std::vector<std::string>{"xHCI Host Controller", "EHCI Host Controller"}));
    EXPECT_EQ(Statuses(statuses), (std::vector<int>{4, 4}));
    CWordArray all = Codes({4, 3, 2, 1});
    ASSERT_EQ(info.UsbControllerInfo(0, all, &out, &statuses), 1);
    EXPECT_EQ(Texts(out),
              (std::vector<std::string>{"OK", "16", "0", "Linux 6.1.0 xhci-hcd", "OK", "16", "0", "N/A"}));
    EXPECT_EQ(info.UsbControllerInfo(2, caption, &out, &statuses), 0);

    std::filesystem::remove_all(tree.root / "sys");
    EXPECT_EQ(info.UsbControllerInfo(1, caption, &out, &statuses), 0);
    EXPECT_TRUE(Texts(out).empty());
}

TEST_F(HostSettings, OperatingSystemOfThisHostHasNineTexts) {
    PCInfo info;
    ASSERT_EQ(info.InitWMI(0), 1);
    CWordArray none;
    CPtrArray* out = nullptr;
    EXPECT_EQ(info.OSInfoGet(none, &out), 1);
    std::vector<std::string> texts = Texts(out);
    ASSERT_EQ(texts.size(), 9u);
    EXPECT_EQ(texts[2], "36");
    EXPECT_NE(texts[7].find('/'), std::string::npos);
}

} // namespace
