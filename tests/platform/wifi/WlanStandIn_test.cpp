#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/files/RunDirectory.h"
#include "platform/net/CardGuid.h"
#include "platform/wifi/WideText.h"
#include "platform/wifi/WlanApi.h"
#include "platform/wifi/WlanService.h"
#include "platform/wifi/WpaText.h"
#include "tests/platform/wifi/FakeSupplicant.h"
#include "tests/support/TempDir.h"

using namespace platform;
using namespace std::chrono_literals;

namespace {

constexpr const char* kLink = "wlfake0";
constexpr const char* kMac = "02:00:00:00:0c:01";

template <typename F> F* Entry(const char* name) {
    const WlanModule* module = FindWlanModule("wlanapi.dll");
    F* function = module ? module->Resolve<F>(name) : nullptr;
    EXPECT_TRUE(function) << name;
    return function;
}

// The profile XML as the Wi-Fi library writes it (name escaped, "\n" line ends).
std::u16string ProfileXml(const std::string& gbkName, int security, const std::string& key) {
    std::string name;
    for (char c : gbkName)
        name += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    std::string sharedKey = "\t\t<sharedKey>\n\t\t\t<keyType>" +
                            std::string(security == 1 ? "networkKey" : "passPhrase") +
                            "</keyType>\n\t\t\t<protected>false</protected>\n\t\t\t<keyMaterial>" + key +
                            "</keyMaterial>\n\t\t</sharedKey>\n";
    const char* auth[] = {"open", "open", "WPAPSK", "WPA2PSK"};
    const char* encryption[] = {"none", "WEP", "TKIP", "TKIP"};
    std::string xml =
        "<?xml version=\"1.0\"?>\n<WLANProfile xmlns=\"urn:profile:v1\">\n<name>" + name +
        "</name>\n<SSIDConfig>\n    <SSID>\n        <name>" + name +
        "</name>\n    </SSID>\n</SSIDConfig>\n<connectionType>ESS</connectionType>\n"
        "<connectionMode>auto</connectionMode>\n<autoSwitch>false</autoSwitch>\n<MSM>\n    <security>\n"
        "        <authEncryption>\n            <authentication>" +
        std::string(auth[security]) + "</authentication>\n            <encryption>" + encryption[security] +
        "</encryption>\n            <useOneX>false</useOneX>\n        </authEncryption>\n" +
        (security == 0 ? "" : sharedKey) + (security == 1 ? "\t\t<keyIndex>0</keyIndex>\n" : "") +
        "    </security>\n</MSM>\n</WLANProfile>\n";
    // The library widens the GBK text; GBK name bytes pass through the conversion here.
    return WideFromGbk(xml);
}

class WlanStandInTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRunDirectory(m_dir.str());
        std::filesystem::create_directories(WlanPaths::ControlDirectory());
        m_global = testsupport::FakeGlobalSocket(kLink);
        socket = testsupport::FakeLinkSocket(kLink, fake);
        ASSERT_EQ(Entry<WlanOpenHandleFunction>("WlanOpenHandle")(1, nullptr, &m_version, &handle),
                  kWlanSuccess);
        ASSERT_TRUE(ParseWlanGuid(CardGuidFromMac({2, 0, 0, 0, 0x0c, 1}), guid));
    }
    void TearDown() override {
        if (handle)
            Entry<WlanCloseHandleFunction>("WlanCloseHandle")(handle, nullptr);
        socket.reset();
        m_global.reset();
        SetRunDirectory("");
    }

    uint32_t SetProfile(const std::u16string& xml) {
        uint32_t reason = 0;
        return Entry<WlanSetProfileFunction>("WlanSetProfile")(handle, &guid, 0, xml.c_str(), nullptr, 1,
                                                               nullptr, &reason);
    }
    std::vector<std::string> Requests(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& request : socket->Requests())
            if (request.rfind(prefix, 0) == 0)
                found.push_back(request);
        return found;
    }

    bench::SupplicantLink fake{kMac};
    std::unique_ptr<bench::WpaSocketServer> socket;
    WlanHandle handle = nullptr;
    WlanGuid guid;

private:
    testsupport::TempDir m_dir{"wlan"};
    std::unique_ptr<bench::WpaSocketServer> m_global;
    uint32_t m_version = 0;
};

TEST(WlanStandInModule, OnlyTheNativeModuleExistsAndTestsMayInstallTheirOwn) {
    const char* names[] = {"WlanRegisterNotification",
                           "WlanFreeMemory",
                           "WlanCloseHandle",
                           "WlanOpenHandle",
                           "WlanEnumInterfaces",
                           "WlanSetProfile",
                           "WlanSetInterface",
                           "WlanGetInterfaceCapability",
                           "WlanScan",
                           "WlanReasonCodeToString",
                           "WlanGetAvailableNetworkList",
                           "WlanGetProfileList",
                           "WlanGetProfile",
                           "WlanConnect",
                           "WlanDisconnect",
                           "WlanDeleteProfile"};
    const WlanModule* module = FindWlanModule("wlanapi.dll");
    ASSERT_TRUE(module);
    for (const char* name : names)
        EXPECT_TRUE(module->Resolve(name)) << name;
    EXPECT_FALSE(module->Resolve("WlanQueryInterface"));
    EXPECT_FALSE(FindWlanModule("wzcsapi.dll"));
    EXPECT_FALSE(FindWlanModule("other.dll"));

    WlanModule partial(
        {{"WlanOpenHandle",
          reinterpret_cast<void*>(+[](uint32_t, void*, uint32_t*, WlanHandle*) { return uint32_t(5); })}});
    InstallWlanModule(&partial);
    EXPECT_EQ(FindWlanModule("wlanapi.dll"), &partial);
    EXPECT_FALSE(FindWlanModule("wlanapi.dll")->Resolve("WlanScan"));
    InstallWlanModule(nullptr);
    EXPECT_EQ(FindWlanModule("wlanapi.dll"), module);

    WlanGuid guid;
    ASSERT_TRUE(ParseWlanGuid("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", guid));
    EXPECT_EQ(FormatWlanGuid(guid), "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
    for (const char* bad : {"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9", "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8FG}",
                            "{0A1B2C3D4-E5F-6071-8293-A4B5C6D7E8F9}"})
        EXPECT_FALSE(ParseWlanGuid(bad, guid)) << bad;
}

TEST_F(WlanStandInTest, HandlesWantVersionOneAndARunningService) {
    auto open = Entry<WlanOpenHandleFunction>("WlanOpenHandle");
    auto close = Entry<WlanCloseHandleFunction>("WlanCloseHandle");
    uint32_t version = 0;
    WlanHandle other = nullptr;
    EXPECT_EQ(open(2, nullptr, &version, &other), kWlanInvalidParameter);
    ASSERT_EQ(open(1, nullptr, &version, &other), kWlanSuccess);
    EXPECT_EQ(version, 1u);
    EXPECT_EQ(close(other, nullptr), kWlanSuccess);
    EXPECT_EQ(close(other, nullptr), kWlanInvalidHandle);
    WlanInterfaceInfoList* list = nullptr;
    EXPECT_EQ(Entry<WlanEnumInterfacesFunction>("WlanEnumInterfaces")(other, nullptr, &list),
              kWlanInvalidHandle);

    std::filesystem::rename(WlanPaths::GlobalSocket(), WlanPaths::GlobalSocket() + ".away");
    EXPECT_EQ(open(1, nullptr, &version, &other), kWlanServiceNotActive);
    std::filesystem::rename(WlanPaths::GlobalSocket() + ".away", WlanPaths::GlobalSocket());

    // A supplicant of the system's answers before the service has put its links there.
    WlanServiceOptions system;
    system.supplicantSocket = WlanPaths::GlobalSocket();
    WlanService::SetOptions(system);
    EXPECT_EQ(open(1, nullptr, &version, &other), kWlanServiceNotActive);
    WlanService::SetOptions(std::nullopt);
}

TEST_F(WlanStandInTest, InterfacesCarryTheCardGuidAndTheirState) {
    struct Case {
        const char* wpaState;
        uint32_t state;
    } cases[] = {{"COMPLETED", kWlanStateConnected},           {"ASSOCIATING", kWlanStateAssociating},
                 {"4WAY_HANDSHAKE", kWlanStateAuthenticating}, {"SCANNING", kWlanStateDiscovering},
                 {"DISCONNECTED", kWlanStateDisconnected},     {"INTERFACE_DISABLED", kWlanStateNotReady}};
    for (const Case& c : cases) {
        fake.Locked([&] { fake.status["wpa_state"] = c.wpaState; });
        WlanInterfaceInfoList* list = nullptr;
        ASSERT_EQ(Entry<WlanEnumInterfacesFunction>("WlanEnumInterfaces")(handle, nullptr, &list),
                  kWlanSuccess);
        ASSERT_EQ(list->numberOfItems, 1u);
        EXPECT_EQ(FormatWlanGuid(list->interfaces[0].interfaceGuid), CardGuidFromMac({2, 0, 0, 0, 0x0c, 1}));
        EXPECT_EQ(WideOf(list->interfaces[0].description), u"wlfake0");
        EXPECT_EQ(list->interfaces[0].state, c.state) << c.wpaState;
        Entry<WlanFreeMemoryFunction>("WlanFreeMemory")(list);
    }
}

TEST_F(WlanStandInTest, ProfilesBecomeNetworksForEachSecurityKind) {
    struct Case {
        std::string name; // GBK
        int security;
        std::string key;
        std::vector<std::string> fields; // after ssid, before id_str
    } cases[] = {
        {"a&b<c>", 0, "", {"key_mgmt NONE"}},
        {"wep", 1, "abcde", {"key_mgmt NONE", "wep_key0 \"abcde\"", "wep_tx_keyidx 0"}},
        {"wep-hex", 1, "0123456789", {"key_mgmt NONE", "wep_key0 0123456789", "wep_tx_keyidx 0"}},
        {"wpa",
         2,
         "secret12",
         {"key_mgmt WPA-PSK", "proto WPA", "pairwise TKIP", "group TKIP", "psk \"secret12\""}},
        {"\xb2\xe2\xca\xd4",
         3,
         "abcdefgh",
         {"key_mgmt WPA-PSK", "proto RSN", "pairwise TKIP", "group TKIP", "psk \"abcdefgh\""}},
    };
    for (const Case& c : cases) {
        size_t before = Requests("SET_NETWORK").size();
        ASSERT_EQ(SetProfile(ProfileXml(c.name, c.security, c.key)), kWlanSuccess) << c.name;
        std::vector<std::string> sets = Requests("SET_NETWORK");
        sets.erase(sets.begin(), sets.begin() + static_cast<long>(before));
        ASSERT_EQ(sets.size(), c.fields.size() + 2) << c.name;
        std::string id = sets[0].substr(12, sets[0].find(' ', 12) - 12);
        EXPECT_EQ(sets[0], "SET_NETWORK " + id + " ssid " + HexOf(c.name)); // the SSID as GBK bytes
        for (size_t i = 0; i < c.fields.size(); ++i)
            EXPECT_EQ(sets[i + 1], "SET_NETWORK " + id + " " + c.fields[i]) << c.name;
        std::string utf8Name = Utf16ToUtf8(WideFromGbk(c.name));
        EXPECT_EQ(sets.back(), "SET_NETWORK " + id + " id_str \"" + HexOf(utf8Name) + "\"");
        EXPECT_EQ(Requests("ENABLE_NETWORK " + id).size(), 1u) << c.name; // connectionMode auto
    }
    EXPECT_EQ(Requests("SAVE_CONFIG").size(), std::size(cases));

    WlanProfileInfoList* list = nullptr;
    ASSERT_EQ(Entry<WlanGetProfileListFunction>("WlanGetProfileList")(handle, &guid, nullptr, &list),
              kWlanSuccess);
    ASSERT_EQ(list->numberOfItems, std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(WideOf(list->profiles[i].profileName), WideFromGbk(cases[i].name));
    Entry<WlanFreeMemoryFunction>("WlanFreeMemory")(list);

    // The kept XML comes back as it was written; overwriting replaces the network of that name.
    std::u16string name = WideFromGbk(cases[4].name);
    char16_t* xml = nullptr;
    ASSERT_EQ(Entry<WlanGetProfileFunction>("WlanGetProfile")(handle, &guid, name.c_str(), nullptr, &xml,
                                                              nullptr, nullptr),
              kWlanSuccess);
    EXPECT_EQ(WideOf(xml), ProfileXml(cases[4].name, 3, "abcdefgh"));
    Entry<WlanFreeMemoryFunction>("WlanFreeMemory")(xml);
    ASSERT_EQ(SetProfile(ProfileXml(cases[4].name, 2, "other123")), kWlanSuccess);
    EXPECT_EQ(fake.Locked([&] { return fake.networks.size(); }), std::size(cases));
    EXPECT_EQ(Requests("REMOVE_NETWORK").size(), 1u);

    // Without kept XML a profile is built from the network itself.
    std::filesystem::remove_all(WlanPaths::ProfileDirectory(kLink));
    std::u16string wpa = u"wpa";
    ASSERT_EQ(Entry<WlanGetProfileFunction>("WlanGetProfile")(handle, &guid, wpa.c_str(), nullptr, &xml,
                                                              nullptr, nullptr),
              kWlanSuccess);
    std::string built = Utf16ToUtf8(WideOf(xml));
    Entry<WlanFreeMemoryFunction>("WlanFreeMemory")(xml);
    EXPECT_NE(built.find("<name>wpa</name>"), std::string::npos) << built;
    EXPECT_NE(built.find("<authentication>WPAPSK</authentication>"), std::string::npos) << built;
    EXPECT_NE(built.find("<encryption>TKIP</encryption>"), std::string::npos) << built;

    std::u16string first = WideFromGbk(cases[0].name);
    EXPECT_EQ(Entry<WlanDeleteProfileFunction>("WlanDeleteProfile")(handle, &guid, first.c_str(), nullptr),
              kWlanSuccess);
    EXPECT_EQ(fake.Locked([&] { return fake.networks.size(); }), std::size(cases) - 1);
}

TEST_F(WlanStandInTest, UnreadableProfilesRefusedKeysAndUnknownNames) {
    std::u16string good = ProfileXml("lab", 3, "abcdefgh");
    auto replace = [&](const std::u16string& from, const std::u16string& to) {
        std::u16string xml = good;
        xml.replace(xml.find(from), from.size(), to);
        return xml;
    };
    struct Case {
        const char* what;
        std::u16string xml;
    } cases[] = {
        {"no XML", u"hello"},
        {"mismatched element", replace(u"</SSIDConfig>", u"</SSIDconfig>")},
        {"unknown entity", replace(u"<name>lab</name>", u"<name>l&ab;</name>")},
        {"no SSID", replace(u"<name>lab</name>\n    </SSID>", u"\n    </SSID>")},
        {"cipher no WPA network has", replace(u"<encryption>TKIP", u"<encryption>none")},
        {"unknown authentication", replace(u"WPA2PSK", u"WPA3SAE")},
        {"unpaired surrogate", replace(u"lab", std::u16string(1, char16_t(0xD800)))},
        {"two roots", good + u"<WLANProfile/>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SetProfile(c.xml), kWlanBadProfile) << c.what;
    EXPECT_TRUE(Requests("ADD_NETWORK").empty());

    ASSERT_EQ(SetProfile(good), kWlanSuccess);
    // A key the supplicant refuses: the half-made network goes, the old one stays.
    EXPECT_EQ(SetProfile(ProfileXml("lab", 3, "short")), kWlanBadProfile);
    ASSERT_EQ(fake.Locked([&] { return fake.networks.size(); }), 1u);
    EXPECT_EQ(fake.Locked([&] { return fake.networks.begin()->second["psk"]; }), "\"abcdefgh\"");
    EXPECT_EQ(Requests("REMOVE_NETWORK"), std::vector<std::string>{"REMOVE_NETWORK 1"});

    std::u16string unknown = u"nobody";
    char16_t* xml = nullptr;
    EXPECT_EQ(Entry<WlanDeleteProfileFunction>("WlanDeleteProfile")(handle, &guid, unknown.c_str(), nullptr),
              kWlanNotFound);
    EXPECT_EQ(Entry<WlanGetProfileFunction>("WlanGetProfile")(handle, &guid, unknown.c_str(), nullptr, &xml,
                                                              nullptr, nullptr),
              kWlanNotFound);
    WlanGuid otherCard = guid;
    otherCard.data4[7] ^= 1;
    EXPECT_EQ(
        Entry<WlanDeleteProfileFunction>("WlanDeleteProfile")(handle, &otherCard, unknown.c_str(), nullptr),
        kWlanInvalidParameter);
}

TEST_F(WlanStandInTest, AvailableNetworksAreGroupedBySsidWithTheirSecurity) {
    fake.Locked([&] {
        fake.table = {{"02:00:00:00:01:01", 2412, -60, "[WPA2-PSK-CCMP+TKIP][ESS]", "lab"},
                      {"02:00:00:00:01:02", 2437, -40, "[WPA2-PSK-CCMP+TKIP][ESS]", "lab"},
                      {"02:00:00:00:02:01", 2462, -71, "[WPA-PSK-TKIP][ESS]", "old"},
                      {"02:00:00:00:03:01", 2412, -100, "[WEP][ESS]", "wep"},
                      {"02:00:00:00:04:01", 2412, -30, "[ESS]", "\\xb2\\xe2"},
                      {"02:00:00:00:05:01", 2412, -50, "[WPA2-EAP-CCMP][ESS]", "corp"},
                      {"02:00:00:00:06:01", 2412, -50, "[WPA2-PSK-CCMP][ESS]", ""}};
    });
    ASSERT_EQ(SetProfile(ProfileXml("lab", 3, "abcdefgh")), kWlanSuccess);
    ASSERT_EQ(SetProfile(ProfileXml("old", 3, "abcdefgh")), kWlanSuccess);      // WPA2 wanted, WPA offered
    ASSERT_EQ(SetProfile(ProfileXml("\xb2\xe2", 3, "abcdefgh")), kWlanSuccess); // PSK wanted, open offered
    fake.Locked([&] {
        fake.status = {{"wpa_state", "COMPLETED"}, {"ssid", "joined"}, {"bssid", "02:00:00:00:07:01"}};
        fake.bss["02:00:00:00:07:01"] =
            "bssid=02:00:00:00:07:01\nlevel=-65\nflags=[WPA-PSK-TKIP][ESS]\nssid=joined\n";
    });

    WlanAvailableNetworkList* list = nullptr;
    ASSERT_EQ(Entry<WlanGetAvailableNetworkListFunction>("WlanGetAvailableNetworkList")(handle, &guid, 0,
                                                                                        nullptr, &list),
              kWlanSuccess);
    struct Row {
        std::string ssid;
        uint32_t bssids, quality, auth, cipher, flags;
        int32_t connectable;
    } expected[] = {
        {"lab", 2, 100, kWlanAuthRsnaPsk, kWlanCipherCcmp, kWlanNetworkHasProfile, 1},
        {"old", 1, 58, kWlanAuthWpaPsk, kWlanCipherTkip, kWlanNetworkHasProfile, 0},
        {"wep", 1, 0, kWlanAuthOpen, kWlanCipherWep, 0, 1},
        {"\xb2\xe2", 1, 100, kWlanAuthOpen, kWlanCipherNone, kWlanNetworkHasProfile, 0},
        {"corp", 1, 100, kWlanAuthRsna, kWlanCipherCcmp, 0, 1},
        {"joined", 1, 70, kWlanAuthWpaPsk, kWlanCipherTkip, kWlanNetworkConnected, 1}, // joined, not scanned
    };
    ASSERT_EQ(list->numberOfItems, std::size(expected)); // the hidden one is left out
    for (size_t i = 0; i < std::size(expected); ++i) {
        const WlanAvailableNetwork& network = list->networks[i];
        const Row& row = expected[i];
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(network.ssid.ssid), network.ssid.length),
                  row.ssid);
        EXPECT_EQ(network.numberOfBssids, row.bssids) << row.ssid;
        EXPECT_EQ(network.signalQuality, row.quality) << row.ssid;
        EXPECT_EQ(network.defaultAuthAlgorithm, row.auth) << row.ssid;
        EXPECT_EQ(network.defaultCipherAlgorithm, row.cipher) << row.ssid;
        EXPECT_EQ(network.flags, row.flags) << row.ssid;
        EXPECT_EQ(network.networkConnectable, row.connectable) << row.ssid;
        EXPECT_EQ(network.notConnectableReason, row.connectable ? 0u : kWlanReasonSecurityMismatch)
            << row.ssid;
    }
    EXPECT_EQ(WideOf(list->networks[0].profileName), u"lab");
    Entry<WlanFreeMemoryFunction>("WlanFreeMemory")(list);

    char16_t text[256];
    ASSERT_EQ(Entry<WlanReasonCodeToStringFunction>("WlanReasonCodeToString")(kWlanReasonSecurityMismatch,
                                                                              256, text, nullptr),
              kWlanSuccess);
    EXPECT_EQ(WideOf(text), u"The network's security does not match that of its profile.");
    ASSERT_EQ(Entry<WlanReasonCodeToStringFunction>("WlanReasonCodeToString")(kWlanReasonWrongKey, 5, text,
                                                                              nullptr),
              kWlanSuccess);
    EXPECT_EQ(WideOf(text), u"The "); // cut to the buffer, terminator included
    EXPECT_EQ(Entry<WlanReasonCodeToStringFunction>("WlanReasonCodeToString")(0, 0, nullptr, nullptr),
              kWlanInvalidParameter);
}

// Each network's profile names the SSID; whether the profile can join it, by the flags.
TEST_F(WlanStandInTest, AProfileThatCannotJoinItsNetworkMakesItNotConnectable) {
    struct Case {
        const char* flags;
        int security; // of the profile, as the Wi-Fi library writes it (WPA2: TKIP)
        int32_t connectable;
        uint32_t auth, cipher;
    } cases[] = {
        {"[WPA2-PSK-CCMP][ESS]", 3, 0, kWlanAuthRsnaPsk, kWlanCipherCcmp}, // pairwise cipher
        {"[WPA2-PSK-CCMP+TKIP][ESS]", 3, 1, kWlanAuthRsnaPsk, kWlanCipherCcmp},
        {"[WPA2-PSK-TKIP-preauth][ESS]", 3, 1, kWlanAuthRsnaPsk, kWlanCipherTkip},
        {"[WPA-PSK-TKIP][ESS]", 3, 0, kWlanAuthWpaPsk, kWlanCipherTkip}, // protocol
        {"[WPA-PSK-TKIP][ESS]", 2, 1, kWlanAuthWpaPsk, kWlanCipherTkip},
        {"[WPA-PSK-TKIP][WPA2-PSK-CCMP][ESS]", 2, 1, kWlanAuthRsnaPsk, kWlanCipherCcmp},
        {"[WPA-PSK-TKIP][WPA2-PSK-CCMP][ESS]", 3, 0, kWlanAuthRsnaPsk, kWlanCipherCcmp},
        {"[WPA2-EAP-TKIP][ESS]", 3, 0, kWlanAuthRsna, kWlanCipherTkip}, // key management
        {"[WEP][ESS]", 0, 0, kWlanAuthOpen, kWlanCipherWep},            // privacy
        {"[WEP][ESS]", 1, 1, kWlanAuthOpen, kWlanCipherWep},
        {"[ESS]", 1, 0, kWlanAuthOpen, kWlanCipherNone},
        {"[ESS]", 0, 1, kWlanAuthOpen, kWlanCipherNone},
        {"[ESS]", 3, 0, kWlanAuthOpen, kWlanCipherNone},
    };
    const char* keys[] = {"", "abcde", "secret12", "secret12"};
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::string ssid = "net" + std::to_string(i);
        fake.Locked([&] {
            fake.table.push_back(
                {"02:00:00:00:01:" + std::to_string(10 + i), 2412, -40, cases[i].flags, ssid});
        });
        ASSERT_EQ(SetProfile(ProfileXml(ssid, cases[i].security, keys[cases[i].security])), kWlanSuccess);
    }
    WlanAvailableNetworkList* list = nullptr;
    ASSERT_EQ(Entry<WlanGetAvailableNetworkListFunction>("WlanGetAvailableNetworkList")(handle, &guid, 0,
                                                                                        nullptr, &list),
              kWlanSuccess);
    ASSERT_EQ(list->numberOfItems, std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const WlanAvailableNetwork& network = list->networks[i];
        SCOPED_TRACE(std::string(cases[i].flags) + " with security " + std::to_string(cases[i].security));
        EXPECT_EQ(network.flags, kWlanNetworkHasProfile);
        EXPECT_EQ(network.networkConnectable, cases[i].connectable);
        EXPECT_EQ(network.notConnectableReason, cases[i].connectable ? 0u : kWlanReasonSecurityMismatch);
        EXPECT_EQ(network.defaultAuthAlgorithm, cases[i].auth);
        EXPECT_EQ(network.defaultCipherAlgorithm, cases[i].cipher);
    }
    Entry<WlanFreeMemoryFunction>("WlanFreeMemory")(list);
}

// The daemon ends a reply near 4 KB; a crowded band holds more than that.
TEST_F(WlanStandInTest, EveryNetworkInRangeIsListedHoweverMany) {
    constexpr size_t kCount = 150;
    fake.Locked([&] {
        for (size_t i = 0; i < kCount; ++i) {
            char bssid[18], ssid[16];
            std::snprintf(bssid, sizeof bssid, "02:00:00:01:%02zx:%02zx", i / 256, i % 256);
            std::snprintf(ssid, sizeof ssid, "net%03zu", i);
            fake.table.push_back({bssid, 2412, -50, "[WPA2-PSK-CCMP][ESS]", ssid});
        }
    });
    WlanAvailableNetworkList* list = nullptr;
    ASSERT_EQ(Entry<WlanGetAvailableNetworkListFunction>("WlanGetAvailableNetworkList")(handle, &guid, 0,
                                                                                        nullptr, &list),
              kWlanSuccess);
    ASSERT_EQ(list->numberOfItems, kCount);
    for (size_t i = 0; i < kCount; ++i) {
        char ssid[16];
        std::snprintf(ssid, sizeof ssid, "net%03zu", i);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(list->networks[i].ssid.ssid),
                              list->networks[i].ssid.length),
                  ssid);
    }
    Entry<WlanFreeMemoryFunction>("WlanFreeMemory")(list);
    EXPECT_GT(Requests("BSS RANGE=").size(), 1u); // it took more than one page
}

TEST_F(WlanStandInTest, ScanRadioAndCapability) {
    auto scan = Entry<WlanScanFunction>("WlanScan");
    struct Case {
        const char* reply;
        uint32_t result;
    } cases[] = {{"OK\n", kWlanSuccess}, {"FAIL-BUSY\n", kWlanSuccess}, {"FAIL\n", kWlanNotSupported}};
    for (const Case& c : cases) {
        fake.Locked([&] { fake.scanReply = c.reply; });
        EXPECT_EQ(scan(handle, &guid, nullptr, nullptr, nullptr), c.result) << c.reply;
    }
    WlanInterfaceCapability* capability = nullptr;
    ASSERT_EQ(Entry<WlanGetInterfaceCapabilityFunction>("WlanGetInterfaceCapability")(handle, &guid, nullptr,
                                                                                      &capability),
              kWlanSuccess);
    EXPECT_EQ(capability->numberOfSupportedPhys, 1u);
    Entry<WlanFreeMemoryFunction>("WlanFreeMemory")(capability);

    auto setInterface = Entry<WlanSetInterfaceFunction>("WlanSetInterface");
    WlanPhyRadioState on{0, kWlanRadioOn, kWlanRadioOn};
    EXPECT_EQ(setInterface(handle, &guid, kWlanOpcodeRadioState, sizeof on, &on, nullptr), kWlanSuccess);
    EXPECT_EQ(setInterface(handle, &guid, kWlanOpcodeRadioState, 8, &on, nullptr), kWlanInvalidParameter);
    WlanPhyRadioState second{1, kWlanRadioOn, kWlanRadioOn};
    EXPECT_EQ(setInterface(handle, &guid, kWlanOpcodeRadioState, sizeof second, &second, nullptr),
              kWlanInvalidParameter); // one PHY
}

TEST_F(WlanStandInTest, ConnectByProfileNameAndDisconnect) {
    auto connect = Entry<WlanConnectFunction>("WlanConnect");
    std::u16string lab = u"lab";
    WlanConnectionParameters parameters{0, lab.c_str(), nullptr, 1, 0};
    EXPECT_EQ(connect(handle, &guid, &parameters, nullptr), kWlanNotFound);
    ASSERT_EQ(SetProfile(ProfileXml("lab", 0, "")), kWlanSuccess);
    EXPECT_EQ(connect(handle, &guid, &parameters, nullptr), kWlanSuccess);
    EXPECT_EQ(Requests("SELECT_NETWORK"), std::vector<std::string>{"SELECT_NETWORK 0"});
    EXPECT_EQ(connect(handle, &guid, nullptr, nullptr), kWlanInvalidParameter);
    EXPECT_EQ(Entry<WlanDisconnectFunction>("WlanDisconnect")(handle, &guid, nullptr), kWlanSuccess);
    EXPECT_EQ(Requests("DISCONNECT").size(), 1u);
}

struct Received {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::tuple<uint32_t, uint32_t, uint32_t, std::string>> notices; // source, code, reason, ssid

    static void Callback(WlanNotificationData* data, void* context) {
        auto* self = static_cast<Received*>(context);
        uint32_t reason = 0;
        std::string ssid;
        if (data->dataSize >= sizeof(WlanConnectionNotificationData)) {
            auto* payload = static_cast<WlanConnectionNotificationData*>(data->data);
            reason = payload->reasonCode;
            ssid.assign(reinterpret_cast<const char*>(payload->ssid.ssid), payload->ssid.length);
        }
        std::lock_guard lock(self->mutex);
        self->notices.emplace_back(data->notificationSource, data->notificationCode, reason, ssid);
        self->changed.notify_all();
    }
    bool WaitFor(size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 3s, [&] { return notices.size() >= count; });
    }
};

bool PollUntilAttached(const bench::WpaSocketServer& socket, size_t count = 1) {
    for (int i = 0; i < 300 && socket.AttachedCount() < count; ++i)
        std::this_thread::sleep_for(10ms);
    return socket.AttachedCount() >= count;
}

TEST_F(WlanStandInTest, EventsBecomeNotifications) {
    auto registerFor = Entry<WlanRegisterNotificationFunction>("WlanRegisterNotification");
    Received received;
    uint32_t previous = 99;
    ASSERT_EQ(registerFor(handle, kWlanSourceAll, 1, &Received::Callback, &received, nullptr, &previous),
              kWlanSuccess);
    EXPECT_EQ(previous, kWlanSourceNone);
    ASSERT_TRUE(PollUntilAttached(*socket));
    const char* events[] = {
        "<3>Trying to associate with 02:00:00:00:01:01 (SSID='l\\xb2b' freq=2412 MHz)",
        "<3>Associated with 02:00:00:00:01:01",
        "<3>CTRL-EVENT-CONNECTED - Connection to 02:00:00:00:01:01 completed [id=0 id_str=]",
        "<3>CTRL-EVENT-SSID-TEMP-DISABLED id=0 ssid=\"lab\" auth_failures=1 duration=10 reason=WRONG_KEY",
        "<3>CTRL-EVENT-AUTH-REJECT 02:00:00:00:01:01 auth_type=0 status_code=1",
        "<3>CTRL-EVENT-SCAN-RESULTS ",
        "<3>CTRL-EVENT-DISCONNECTED bssid=02:00:00:00:01:01 reason=3",
    };
    for (const char* event : events)
        socket->SendEvent(event);
    std::vector<std::tuple<uint32_t, uint32_t, uint32_t, std::string>> expected = {
        {8, 9, 0,
         "l\xb2"
         "b"},
        {16, 1, 0,
         "l\xb2"
         "b"},
        {16, 2, 0,
         "l\xb2"
         "b"},
        {8, 10, kWlanReasonSuccess,
         "l\xb2"
         "b"},
        {16, 4, 0,
         "l\xb2"
         "b"},
        {8, 10, kWlanReasonWrongKey,
         "l\xb2"
         "b"},
        {8, 10, kWlanReasonAuthenticationFailed,
         "l\xb2"
         "b"},
        {8, 21, kWlanReasonConnectionLost,
         "l\xb2"
         "b"},
        {16, 10, 0,
         "l\xb2"
         "b"},
    };
    ASSERT_TRUE(received.WaitFor(expected.size()));
    {
        std::lock_guard lock(received.mutex);
        EXPECT_EQ(received.notices, expected);
        received.notices.clear();
    }

    // Only the connection manager's now; then none.
    ASSERT_EQ(registerFor(handle, kWlanSourceConnectionManager, 1, &Received::Callback, &received, nullptr,
                          &previous),
              kWlanSuccess);
    EXPECT_EQ(previous, kWlanSourceAll);
    ASSERT_TRUE(PollUntilAttached(*socket, 2));
    socket->SendEvent("<3>CTRL-EVENT-CONNECTED - Connection to 02:00:00:00:01:01 completed [id=0 id_str=]");
    ASSERT_TRUE(received.WaitFor(1));
    ASSERT_EQ(registerFor(handle, kWlanSourceNone, 1, nullptr, nullptr, nullptr, &previous), kWlanSuccess);
    EXPECT_EQ(previous, kWlanSourceConnectionManager);
    socket->SendEvent("<3>CTRL-EVENT-DISCONNECTED bssid=02:00:00:00:01:01 reason=3");
    std::this_thread::sleep_for(200ms);
    std::lock_guard lock(received.mutex);
    ASSERT_EQ(received.notices.size(), 1u);
    EXPECT_EQ(std::get<0>(received.notices[0]), 8u);
    EXPECT_EQ(std::get<1>(received.notices[0]), 10u);
}

} // namespace

namespace {

TEST_F(WlanStandInTest, NotificationsFollowARestartedDaemon) {
    Received received;
    ASSERT_EQ(Entry<WlanRegisterNotificationFunction>("WlanRegisterNotification")(
                  handle, kWlanSourceConnectionManager, 1, &Received::Callback, &received, nullptr, nullptr),
              kWlanSuccess);
    socket.reset();
    socket = testsupport::FakeLinkSocket(kLink, fake);
    ASSERT_TRUE(PollUntilAttached(*socket));
    socket->SendEvent("<3>CTRL-EVENT-CONNECTED - Connection to 02:00:00:00:01:01 completed [id=0 id_str=]");
    ASSERT_TRUE(received.WaitFor(1));
}

} // namespace
