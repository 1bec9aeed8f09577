// PCInfo over a fake management provider: the query engine's texts and the card inventory's
// filter and derived items. The binding and IP tables still come from this host's own links,
// which never carry the fake cards' GUIDs or addresses, so IPEnabled reads "FALSE" and
// info_ipHLPNetCardIndex "N/A" here (the namespace test covers them).

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "hostnet/pellar/ItemNames.h"
#include "hostnet/pellar/PCInfo.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/wmi/HostLinks.h"
#include "platform/wmi/Provider.h"
#include "tests/support/TempDir.h"

using platform::wmi::Device;
using platform::wmi::Object;
using platform::wmi::Value;

namespace {

class FakeHost : public platform::wmi::Provider {
public:
    int Connect() override { return connectError; }
    int ExecQuery(const std::string& className, std::vector<Object>& objects) override {
        auto found = classes.find(className);
        if (found == classes.end())
            return platform::wmi::kInvalidClass;
        objects = found->second;
        return 0;
    }
    int ListDevices(std::vector<Device>& list) override {
        list = devices;
        return 0;
    }

    // A network card as the device tree, the adapter class and the configuration class list it.
    struct Card {
        Device device;
        Object adapter;
        Object config;
        bool hasConfig = true;
    };
    static Card MakeCard(int id, const std::string& name) {
        char mac[18], guid[40];
        std::snprintf(mac, sizeof mac, "02:FA:CE:00:00:%02X", id);
        // Version nibble 0: never the GUID of a real card.
        std::snprintf(guid, sizeof guid, "{00000000-0000-0000-0000-%012d}", id);
        std::string net = "10.0." + std::to_string(id) + ".";
        Card card;
        card.device = {"Net", "PCI", "Net\\" + std::to_string(id), name, false, id};
        card.adapter = {
            {"DeviceID", Value::Text(std::to_string(id))}, {"Name", Value::Text(name)},
            {"NetConnectionID", Value::Text(name)},        {"AdapterType", Value::Text("Ethernet 802.3")},
            {"NetConnectionStatus", Value::Integer(2)},    {"ConfigManagerErrorCode", Value::Integer(0)}};
        card.config = {{"Index", Value::Integer(id)},
                       {"SettingID", Value::Text(guid)},
                       {"MACAddress", Value::Text(mac)},
                       {"IPAddress", Value::Texts({net + "1"})},
                       {"IPSubnet", Value::Texts({"255.255.255.0"})},
                       {"DefaultIPGateway", Value::Texts({net + "254"})},
                       {"DHCPEnabled", Value::Boolean(false)},
                       {"IPEnabled", Value::Boolean(true)}};
        return card;
    }
    void Add(const Card& card) {
        devices.push_back(card.device);
        classes["Win32_NetworkAdapter"].push_back(card.adapter);
        if (card.hasConfig)
            classes["Win32_NetworkAdapterConfiguration"].push_back(card.config);
    }
    Card& Add(int id, const std::string& name) {
        m_pending.push_back(MakeCard(id, name));
        return m_pending.back();
    }
    // Adds the cards made with Add(id, name), after their changes.
    void Commit() {
        for (const auto& card : m_pending)
            Add(card);
        m_pending.clear();
    }

    int connectError = 0;
    std::map<std::string, std::vector<Object>> classes{{"Win32_NetworkAdapter", {}},
                                                       {"Win32_NetworkAdapterConfiguration", {}}};
    std::vector<Device> devices;

private:
    std::vector<Card> m_pending;
};

struct Posted {
    HWND window;
    unsigned message;
    uintptr_t wParam;
    intptr_t lParam;
};

class PCInfoFake : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirectory(dir.str().c_str());
        testsupport::WriteFileBytes(dir / "log.debug", "");
        platform::SetRegistryRoot(CString((dir / "registry").string()));
        platform::wmi::SetProvider(&host);
        pellar::SetMessagePoster([this](HWND w, unsigned m, uintptr_t wp, intptr_t lp) {
            posted.push_back({w, m, wp, lp});
        });
    }
    void TearDown() override {
        pellar::SetMessagePoster(nullptr);
        platform::wmi::SetProvider(nullptr);
        platform::SetRegistryRoot(CString());
        platform::SetProgramDirectory("");
    }
    std::string Log() const { return testsupport::ReadFileBytes(dir / "info.log"); }
    bool Logged(const std::string& line) const { return Log().find(line) != std::string::npos; }
    // The inventory's texts, one "a|b|...|m" row per card.
    static std::vector<std::string> Rows(const CPtrArray* texts) {
        std::vector<std::string> rows;
        for (int i = 0; texts && i < texts->GetSize(); ++i) {
            if (i % pellar::kCardOutputCount == 0)
                rows.emplace_back();
            else
                rows.back() += "|";
            rows.back() += static_cast<const char*>(texts->GetAt(i));
        }
        return rows;
    }

    testsupport::TempDir dir;
    FakeHost host;
    std::vector<Posted> posted;
};

TEST_F(PCInfoFake, QueryEngineTurnsEveryValueIntoOneText) {
    std::vector<std::string> twelve;
    for (int i = 1; i <= 12; ++i)
        twelve.push_back("192.0.2." + std::to_string(i));
    struct Case {
        const char* property;
        bool present;
        Value value;
        const char* text;
    } cases[] = {
        {"Missing", false, {}, "N/A"},
        {"Null", true, Value::Null(), "N/A"},
        {"Empty", true, Value::Text(""), "N/A"},
        {"Blanks", true, Value::Text(" \t "), "N/A"},
        {"Padded", true, Value::Text("  Intel(R) PRO/1000 \r\n"), "Intel(R) PRO/1000"},
        {"True", true, Value::Boolean(true), "True"},
        {"False", true, Value::Boolean(false), "False"},
        {"Number", true, Value::Integer(-7), "-7"},
        {"Numbers", true, Value::Integers({0, 65535, -1}), "[0][65535][-1]"},
        {"NoNumbers", true, Value::Integers({}), "N/A"},
        {"Mixed", true, Value::Texts({"192.168.1.2", "fe80::1", "192.168.1.3", "host"}),
         "[192.168.1.2][192.168.1.3]"},
        {"OnlyIpv6", true, Value::Texts({"fe80::1"}), "N/A"},
        {"Twelve", true, Value::Texts(twelve),
         "[192.0.2.1][192.0.2.2][192.0.2.3][192.0.2.4][192.0.2.5][192.0.2.6][192.0.2.7][192.0.2.8][192.0.2.9]"
         "[192.0.2.10][192.0.2.11]"},
        // A /32 mask stays beside its address, so masks pair with addresses.
        {"Masks", true, Value::Texts({"255.255.255.0", "255.255.255.255"}),
         "[255.255.255.0][255.255.255.255]"},
        {"Unreadable", true, Value::Unreadable(-2147418113), "N/A"},
        {"AfterUnreadable", true, Value::Text("lost"), "N/A"},
    };
    const int n = static_cast<int>(std::size(cases));
    std::vector<const char*> items;
    Object first, second;
    for (int i = 0; i < n; ++i) {
        items.push_back(cases[i].property);
        if (cases[i].present)
            first[cases[i].property] = cases[i].value;
        second[cases[i].property] = Value::Integer(i);
    }
    host.classes["Test_Values"] = {first, second};

    PCInfo info;
    ASSERT_EQ(info.InitWMI(1), 1);
    ASSERT_EQ(info.GetWmiClassInfo("Test_Values", items.data(), n, nullptr), 2 * n);
    ASSERT_EQ(info.m_QueryOutput.GetSize(), 2 * n);
    for (int i = 0; i < n; ++i) {
        EXPECT_STREQ(info.m_QueryOutput.GetAt(i), cases[i].text) << cases[i].property;
        // The object after the unreadable array keeps its place.
        EXPECT_EQ(info.m_QueryOutput.GetAt(n + i), std::to_string(i)) << cases[i].property;
        EXPECT_EQ(info.m_QueryStatus[i], 4);
    }
    EXPECT_TRUE(Logged("[RLog]===>Too many ip Address:11"));
    EXPECT_FALSE(Logged("Too many ip Address:10"));
    EXPECT_TRUE(Logged("[RLog]===>GetWmiClassInfo SafeArrayAccessData:-2147418113"));
    EXPECT_TRUE(Logged("=========================================\r\nMissing:N/A\r\n"));
    EXPECT_TRUE(Logged("AfterUnreadable:N/A\r\n\t----------------------------------------\r\nMissing:0\r\n"));
}

TEST_F(PCInfoFake, QueryFailuresGiveZeroWithTheirLogLine) {
    const char* items[] = {"Name"};
    host.classes["Test_Values"] = {{{"Name", Value::Text("x")}}};
    struct Case {
        bool connect;
        int connectError;
        const char* className;
        const char* where;
        const char* line;
    } cases[] = {
        {false, 0, "Test_Values", nullptr, "[RLog]===>GetWmiClassInfo bInitWMISuccess=FALSE"},
        {true, 111, "Test_Values", nullptr, "[RLog]===>ConnectServer:111"},
        {true, 0, "Test_Missing", nullptr,
         "[RLog]===>GetWmiClassInfo ExecQuery:Class=Test_Missing ret=-2147217392"},
        {true, 0, "Test_Values", " WHERE Index=1",
         "[RLog]===>GetWmiClassInfo ExecQuery:Class=Test_Values ret=-2147217385"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(dir / "info.log");
        host.connectError = c.connectError;
        PCInfo info;
        if (c.connect) {
            EXPECT_EQ(info.InitWMI(0), c.connectError == 0 ? 1 : 0);
        }
        info.m_QueryOutput.Add("stale");
        EXPECT_EQ(info.GetWmiClassInfo(c.className, items, 1, c.where), 0) << c.line;
        EXPECT_EQ(info.m_QueryOutput.GetSize(), 0) << c.line;
        EXPECT_TRUE(Logged(c.line)) << Log();
    }
    // Disconnected queries fail; a reconnection works again.
    host.connectError = 0;
    PCInfo info;
    ASSERT_EQ(info.InitWMI(1), 1);
    ASSERT_EQ(info.InitWMI(1), 1);
    EXPECT_EQ(info.GetWmiClassInfo("Test_Values", items, 1, nullptr), 1);
    info.ClearWMI();
    info.ClearWMI();
    EXPECT_EQ(info.GetWmiClassInfo("Test_Values", items, 1, nullptr), 0);
}

TEST_F(PCInfoFake, ValidIpAddressRefusals) {
    struct Case {
        const char* text;
        int valid;
    } cases[] = {
        {"192.168.1.1", 1},     {"0.0.0.0", 1},    {"255.255.255.254", 1}, {"10.0.0.255", 1},
        {"1.2.3", 0},           {"1.2.3.4.5", 0},  {"1.2.3.256", 0},       {"1.2.3.1000", 0},
        {"1.2.a.4", 0},         {"1.2. 3.4", 0},   {"1.2.3.4 ", 0},        {" 1.2.3.4", 0},
        {"1..3.4", 0},          {"1.2.3.", 0},     {".1.2.3", 0},          {"", 0},
        {"255.255.255.255", 0}, {"0x7f.0.0.1", 0}, {"-1.2.3.4", 0},
    };
    PCInfo info;
    for (const Case& c : cases)
        EXPECT_EQ(info.bValidIpAddress(c.text), c.valid) << '"' << c.text << '"';
}

TEST_F(PCInfoFake, InventoryKeepsTheCardsOfTheDeviceTree) {
    using Setup = std::function<void(FakeHost&)>;
    struct Case {
        const char* what;
        Setup setup;
        int result;
        std::vector<std::string> rows;
    } cases[] = {
        {"a plain card",
         [](FakeHost& h) { h.Add(3, "eth0"); },
         1,
         {"eth0|TRUE|FALSE|FALSE|False|[10.0.3.1]|[255.255.255.0]|[10.0.3.254]|N/A|FALSE|N/"
          "A|FALSE|02:FA:CE:00:00:03"}},
        {"1394 and bluetooth adapters are no cards",
         [](FakeHost& h) {
             h.Add(3, "1394 Net Adapter");
             h.Add(4, "Generic BlueTooth PAN");
             h.Add(5, "eth0");
         },
         1,
         {"eth0|TRUE|FALSE|FALSE|False|[10.0.5.1]|[255.255.255.0]|[10.0.5.254]|N/A|FALSE|N/"
          "A|FALSE|02:FA:CE:00:00:05"}},
        {"adapter types: 802.3 and none are kept",
         [](FakeHost& h) {
             h.Add(3, "ring").adapter["AdapterType"] = Value::Text("Token Ring 802.5");
             h.Add(4, "untyped").adapter.erase("AdapterType");
             h.Add(5, "wlan").adapter["AdapterType"] = Value::Text("Ethernet 802.3 (Wireless)");
         },
         1,
         {"untyped|TRUE|FALSE|FALSE|False|[10.0.4.1]|[255.255.255.0]|[10.0.4.254]|N/A|FALSE|N/"
          "A|FALSE|02:FA:CE:00:00:04",
          "wlan|TRUE|FALSE|FALSE|False|[10.0.5.1]|[255.255.255.0]|[10.0.5.254]|N/A|FALSE|N/"
          "A|FALSE|02:FA:CE:00:00:05"}},
        {"no connection name",
         [](FakeHost& h) {
             h.Add(3, "hidden").adapter["NetConnectionID"] = Value::Text("n/a");
             h.Add(4, "unnamed").adapter.erase("NetConnectionID");
         },
         1,
         {}},
        {"states: disabled, no carrier, static and blank DNS, DHCP",
         [](FakeHost& h) {
             auto& off = h.Add(3, "off");
             off.device.disabled = true;
             off.adapter["NetConnectionStatus"] = Value::Integer(0);
             off.adapter["ConfigManagerErrorCode"] = Value::Integer(22);
             auto& unplugged = h.Add(4, "unplugged");
             unplugged.adapter["NetConnectionStatus"] = Value::Integer(7);
             unplugged.config["DHCPEnabled"] = Value::Boolean(true);
             unplugged.config["DNSServerSearchOrder"] = Value::Texts({"192.0.2.53", "192.0.2.54"});
             unplugged.config["DefaultIPGateway"] = Value::Null();
             platform::RegSetString(platform::Hive::LocalMachine,
                                    CString(platform::wmi::kTcpipInterfacesKey) +
                                        "{00000000-0000-0000-0000-000000000003}",
                                    "NameServer", " ");
             platform::RegSetString(platform::Hive::LocalMachine,
                                    CString(platform::wmi::kTcpipInterfacesKey) +
                                        "{00000000-0000-0000-0000-000000000004}",
                                    "NameServer", "192.0.2.53,192.0.2.54");
         },
         1,
         {"off|FALSE|TRUE|FALSE|False|[10.0.3.1]|[255.255.255.0]|[10.0.3.254]|N/A|FALSE|N/"
          "A|FALSE|02:FA:CE:00:00:03",
          "unplugged|FALSE|FALSE|FALSE|True|[10.0.4.1]|[255.255.255.0]|N/A|[192.0.2.53][192.0.2.54]|FALSE|N/"
          "A|TRUE|"
          "02:FA:CE:00:00:04"}},
        {"no configuration object, and one that names no GUID",
         [](FakeHost& h) {
             h.Add(3, "bare").hasConfig = false;
             h.Add(4, "odd").config["SettingID"] = Value::Text("{not a guid}");
         },
         1,
         {"bare|TRUE|FALSE|FALSE|N/A|N/A|N/A|N/A|N/A|FALSE|N/A|N/A|N/A",
          "odd|TRUE|FALSE|FALSE|False|[10.0.4.1]|[255.255.255.0]|[10.0.4.254]|N/A|FALSE|N/A|N/"
          "A|02:FA:CE:00:00:04"}},
        {"the device tree's order; devices that name no adapter",
         [](FakeHost& h) {
             h.Add(7, "seven");
             h.Add(3, "three");
             h.Commit();
             std::swap(h.classes["Win32_NetworkAdapter"][0], h.classes["Win32_NetworkAdapter"][1]);
             h.devices.push_back({"Net", "PCI", "Net0009", "no index", false});
             h.devices.push_back({"Net", "PCI", "", "no driver key", false});
             h.devices.push_back({"Net", "PCI", "Net\\12", "no adapter", false});
             h.devices.push_back({"Media", "PCI", "Media\\3", "sound", false});
         },
         1,
         {"seven|TRUE|FALSE|FALSE|False|[10.0.7.1]|[255.255.255.0]|[10.0.7.254]|N/A|FALSE|N/"
          "A|FALSE|02:FA:CE:00:00:07",
          "three|TRUE|FALSE|FALSE|False|[10.0.3.1]|[255.255.255.0]|[10.0.3.254]|N/A|FALSE|N/"
          "A|FALSE|02:FA:CE:00:00:03"}},
        {"software devices only",
         [](FakeHost& h) {
             h.Add(3, "br0").device.enumerator = "ROOT";
             h.Add(4, "bond0").device.enumerator = "ROOT";
         },
         1,
         {}},
        {"devices but no adapter",
         [](FakeHost& h) {
             h.Commit();
             h.devices.push_back({"Net", "PCI", "Net\\3", "eth0", false});
         },
         0,
         {}},
    };
    int windowTag = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host = FakeHost();
        platform::RegDeleteKey(platform::Hive::LocalMachine, "SYSTEM");
        c.setup(host);
        host.Commit();
        posted.clear();
        PCInfo info;
        info.SetMainWindowHandle(reinterpret_cast<HWND>(&windowTag));
        ASSERT_EQ(info.InitWMI(1), 1);
        CWordArray items;
        CPtrArray* texts = nullptr;
        EXPECT_EQ(info.NetCardInfoGet(items, &texts), c.result);
        ASSERT_NE(texts, nullptr);
        EXPECT_EQ(Rows(texts), c.rows);
        if (c.result == 0) {
            ASSERT_EQ(posted.size(), 1u);
            EXPECT_EQ(posted[0].window, reinterpret_cast<HWND>(&windowTag));
            EXPECT_EQ(posted[0].message, 0x500u);
            EXPECT_EQ(posted[0].wParam, 100u);
            EXPECT_EQ(posted[0].lParam, 0);
            // Without a window nothing is posted.
            info.SetMainWindowHandle(nullptr);
            EXPECT_EQ(info.NetCardInfoGet(items, &texts), 0);
            EXPECT_EQ(posted.size(), 1u);
        } else {
            EXPECT_TRUE(posted.empty());
        }
    }
}

TEST_F(PCInfoFake, InventoryKeepsFiftyCardsAndASecondCallReplacesTheFirst) {
    for (int id = 1; id <= 51; ++id)
        host.Add(id, "card" + std::to_string(id));
    host.Commit();
    PCInfo info;
    ASSERT_EQ(info.InitWMI(1), 1);
    CWordArray items;
    CPtrArray* first = nullptr;
    ASSERT_EQ(info.NetCardInfoGet(items, &first), 1);
    std::vector<std::string> rows = Rows(first);
    ASSERT_EQ(rows.size(), 50u);
    EXPECT_EQ(rows.back().substr(0, 7), "card50|");
    EXPECT_EQ(info.m_NetCardCount, 50);

    host = FakeHost();
    host.Add(9, "last");
    host.Commit();
    CPtrArray* second = nullptr;
    ASSERT_EQ(info.NetCardInfoGet(items, &second), 1);
    // One list, the object's: the first call's texts are gone.
    EXPECT_EQ(second, first);
    ASSERT_EQ(Rows(second).size(), 1u);
    EXPECT_EQ(Rows(second)[0].substr(0, 5), "last|");
}

TEST_F(PCInfoFake, SettingIdThatIsNoGuidIsNeverLookedUp) {
    PCInfo info;
    ASSERT_EQ(info.InitWMI(1), 1);
    CWordArray items;
    CPtrArray* texts = nullptr;
    struct Case {
        const char* setting;
        bool lookedUp;
    } cases[] = {{"{00000000-0000-0000-0000-000000000003}", true},
                 {"N/A", false},
                 {"{}", false},
                 {"00000000-0000-0000-0000-0000000000", false},
                 {"{00000000-0000-0000-0000-00000000000g}", false}};
    for (const auto& [setting, lookedUp] : cases) {
        std::filesystem::remove(dir / "info.log");
        host = FakeHost();
        host.Add(3, "eth0").config["SettingID"] = Value::Text(setting);
        host.Commit();
        ASSERT_EQ(info.NetCardInfoGet(items, &texts), 1);
        EXPECT_EQ(Logged("chBindingName"), lookedUp) << setting;
        EXPECT_STREQ(static_cast<const char*>(texts->GetAt(3)), "FALSE") << setting;
        EXPECT_STREQ(static_cast<const char*>(texts->GetAt(9)), "FALSE") << setting;
    }
}

TEST_F(PCInfoFake, StoreRoutinesRefuseWhatIsOutOfRange) {
    PCInfo info;
    info.PushOutputString("a", 4);
    info.PushOutputString(nullptr, 4);
    info.SaveInfo(0, 3, 0);
    EXPECT_EQ(info.m_NetCardInfo[0].GetSize(), 0);
    EXPECT_TRUE(Logged("[RLog]===>SaveInfo:0,3,2"));
    info.SaveInfo(0, 2, 0);
    info.m_NetCardCount = 1;
    ASSERT_EQ(info.m_NetCardInfo[0].GetSize(), 2);
    EXPECT_STREQ(info.m_NetCardInfo[0].GetAt(1), "N/A");

    EXPECT_EQ(info.ChangeNetCardInfo(1, 0, "x"), 0);
    EXPECT_TRUE(Logged("[RLog]===>ChangeNetCardInfo:1 1 0"));
    EXPECT_EQ(info.ChangeNetCardInfo(0, 2, "x"), 0);
    EXPECT_TRUE(Logged("[RLog]===>ChangeNetCardInfo:2,2"));
    EXPECT_EQ(info.ChangeItemInfo(0, 50, "x"), 0);
    EXPECT_TRUE(Logged("[RLog]===>ChangeItemInfo:50"));
    EXPECT_EQ(info.ChangeItemInfo(-1, 0, "x"), 0);
    EXPECT_TRUE(Logged("[RLog]===>ChangeItemInfo:Total Item=2 Set Item=-1"));
    EXPECT_STREQ(info.m_NetCardInfo[0].GetAt(0), "a");
    EXPECT_EQ(info.ChangeItemInfo(1, 0, "b"), 1);
    EXPECT_STREQ(info.m_NetCardInfo[0].GetAt(1), "b");

    const char* slots[2] = {nullptr, nullptr};
    info.FillNetWorkStruct(2, 1, slots);
    EXPECT_TRUE(Logged("[RLog]===>FillNetWorkStruct mItemNum=2 Index=1 ouput=2"));
    EXPECT_EQ(slots[0], nullptr);
    info.FillNetWorkStruct(2, 0, slots);
    EXPECT_EQ(slots[0], info.m_QueryOutput.GetAt(0));
    EXPECT_STREQ(slots[1], "N/A");

    // Results saved and reloaded come back as copies.
    CStringArray saved;
    info.m_RetText.Add("kept");
    info.QueryResultSave(saved);
    info.ClearOutput();
    EXPECT_EQ(info.m_QueryOutput.GetSize(), 0);
    EXPECT_EQ(info.m_RetText.GetSize(), 0);
    info.QueryResultReload(saved);
    ASSERT_EQ(info.m_RetText.GetSize(), 1);
    EXPECT_STREQ(info.m_RetText.GetAt(0), "kept");
}

TEST_F(PCInfoFake, ConstructionSetsTheExpectedValuesAndFlags) {
    PCInfo info;
    EXPECT_EQ(info.bOSXP, 1);
    EXPECT_EQ(info.bOS98, 0);
    EXPECT_EQ(info.m_NA, "N/A");
    EXPECT_EQ(info.m_ExpectProxyServer, "192.168.100.100:80");
    const char* mail[] = {"Brakmoor", "smtp.example.com", "25", "pop3.example.com", "110", "N/A"};
    for (int i = 0; i < 6; ++i)
        EXPECT_STREQ(info.m_MailAccountDefaults[i].get(), mail[i]);
    for (int i = 6; i < 10; ++i)
        EXPECT_EQ(info.m_MailAccountDefaults[i], nullptr);
    EXPECT_EQ(PCInfo::SearchItemIndex(pellar::ItemNameTable, pellar::kItemNameCount, "MACAddress"), 30);
    EXPECT_EQ(PCInfo::SearchItemIndex(pellar::ItemNameTable, pellar::kItemNameCount, "macaddress"), -1);
    EXPECT_STREQ(pellar::ItemNameTable[73], "Name");
    EXPECT_STREQ(pellar::ItemNameTable[85], "MACAddress");
}

} // namespace
