#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "platform/files/RunDirectory.h"
#include "platform/wifi/WlanService.h"
#include "tests/platform/wifi/FakeSupplicant.h"
#include "tests/support/TempDir.h"
#include "tests/wireless/WlanLibraryTest.h"
#include "wireless/WLanConfiger.h"

using namespace testsupport;
using namespace platform;

namespace {

class CheckWlanStatusTest : public WlanLibraryTest {
public: // for the cases' arrangements
    using WlanLibraryTest::fake;
    using WlanLibraryTest::services;

    // One card with a profile "lab" as this library writes it, for the given security.
    FakeInterface& CardWithProfile(int security) {
        fake.interfaces.push_back({kCardA, "wl0"});
        FakeInterface& card = fake.interfaces.back();
        card.profiles.emplace_back("lab", BuildWlanProfileXml({"lab", security, "secret12"}));
        return card;
    }
};

TEST_F(CheckWlanStatusTest, EachReasonHasItsCode) {
    struct Case {
        const char* what;
        std::function<void(CheckWlanStatusTest&)> arrange;
        int expected;
    } cases[] = {
        {"an old system",
         [](auto&) {
             SetOsVersionInfo(OsVersionInfo{5, 1, "Service Pack 1"});
         },
         -1},
        {"no card", [](auto&) {}, -2},
        {"no card service, no zero configuration",
         [](auto& t) {
             t.fake.openResult = kWlanServiceNotActive;
             t.services.services["Wlansvc"] = FakeService{};
         },
         -3},
        {"nothing in range", [](auto& t) { t.CardWithProfile(0); }, -4},
        {"no network with a profile", [](auto& t) { t.CardWithProfile(0).networks = {{"other"}}; }, -5},
        {"security differs",
         [](auto& t) {
             FakeNetwork lab{"lab", "lab", 1, false, kWlanReasonSecurityMismatch};
             lab.authentication = kWlanAuthRsnaPsk;
             t.CardWithProfile(0).networks = {lab};
         },
         -6},
        {"same security, not connectable",
         [](auto& t) {
             FakeNetwork lab{"lab", "lab", 1, false, kWlanReasonSecurityMismatch};
             lab.authentication = kWlanAuthRsnaPsk;
             lab.cipher = kWlanCipherCcmp;
             t.CardWithProfile(3).networks = {lab};
         },
         -7},
        {"weak signal",
         [](auto& t) {
             FakeNetwork lab{"lab", "lab"};
             lab.quality = 49;
             t.CardWithProfile(0).networks = {lab};
         },
         -8},
        {"802.1X profile",
         [](auto& t) {
             FakeInterface& card = t.CardWithProfile(0);
             card.profiles[0].second = u"<WLANProfile><authentication>open</authentication>"
                                       u"<useOneX>true</useOneX></WLANProfile>";
             card.networks = {{"lab", "lab"}};
         },
         -9},
        {"WEP network",
         [](auto& t) {
             FakeNetwork lab{"lab", "lab", 1, false, kWlanReasonWrongKey};
             lab.cipher = kWlanCipherWep;
             t.CardWithProfile(1).networks = {lab};
         },
         -10},
        {"WEP-104 network",
         [](auto& t) {
             FakeNetwork lab{"lab", "lab", 1, false, kWlanReasonWrongKey};
             lab.cipher = kWlanCipherWep104;
             t.CardWithProfile(1).networks = {lab};
         },
         -10},
        {"strong signal, not joined",
         [](auto& t) {
             t.CardWithProfile(0).networks = {{"lab", "lab", 1, true, 0, 50}};
         },
         -11},
        {"joined",
         [](auto& t) {
             FakeNetwork lab{"lab", "lab"};
             lab.flags = kWlanNetworkConnected;
             t.CardWithProfile(0).networks = {{"other"}, lab};
         },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake = FakeWlan();
        fake.interfaces.reserve(2);
        services.services.clear();
        SetOsVersionInfo(std::nullopt);
        c.arrange(*this);
        EXPECT_EQ(CheckWlanStatus(50), c.expected);
        EXPECT_TRUE(fake.liveHandles.empty());
    }
}

TEST_F(CheckWlanStatusTest, ANetworkThatCannotBeJoinedLeavesItsReason) {
    FakeNetwork lab{"lab", "lab", 1, false, kWlanReasonWrongKey};
    CardWithProfile(0).networks = {lab};
    EXPECT_EQ(CheckWlanStatus(50), -7);
    EXPECT_EQ(WlanNotConnectableReason(), kWlanReasonWrongKey);
    // The platform was given its scan time, on the library's clock.
    EXPECT_EQ(ElapsedMs(), 5000);
    EXPECT_NE(NewLog().find("扫描超时。"), std::string::npos);
}

TEST_F(CheckWlanStatusTest, WithoutTheCardServiceTheZeroConfigurationPathReportsItsAbsence) {
    fake.openResult = kWlanServiceNotActive;
    services.services["Wlansvc"] = FakeService{};
    EXPECT_EQ(CheckWlanStatus(50), -3);
    EXPECT_EQ(services.services["Wlansvc"].starts, 1);
    EXPECT_EQ(ShownBoxes(), (BoxList{{"Start WlansvcService successfully", "Information"},
                                     {"OpenService failed", "Error"},
                                     {"Load wzcsapi.dll failed", "Error"}}));
    std::string log = NewLog();
    EXPECT_NE(log.find("The OS is Vista."), std::string::npos);
    EXPECT_NE(log.find("StartWLanService Successfully."), std::string::npos);
    EXPECT_NE(log.find("Get wireless card failed."), std::string::npos);
}

// The platform's own module over sockets that answer as the supplicant does: what the daemon
// reports of the network in range against the profile this library wrote.
class CheckWlanStatusOverTheSupplicantTest : public ::testing::Test {
protected:
    static constexpr const char* kLink = "wlfake1";

    void SetUp() override {
        SetRunDirectory(m_dir.str());
        std::filesystem::create_directories(WlanPaths::ControlDirectory());
        m_global = FakeGlobalSocket(kLink);
        m_socket = FakeLinkSocket(kLink, fake);
        SetPromptService(&m_prompts);
        SetWirelessClock(&m_clock);
        SetOsVersionInfo(std::nullopt);
    }
    void TearDown() override {
        SetWirelessClock(nullptr);
        SetPromptService(nullptr);
        m_socket.reset();
        m_global.reset();
        SetRunDirectory("");
    }

    bench::SupplicantLink fake{"02:00:00:00:0c:02"};

private:
    TempDir m_dir{"wlan-check"};
    std::unique_ptr<bench::WpaSocketServer> m_global, m_socket;
    RecordingPromptService m_prompts;
    ManualClock m_clock;
};

TEST_F(CheckWlanStatusOverTheSupplicantTest, EachMismatchOfTheNetworkAndItsProfileHasItsCode) {
    struct Case {
        const char* flags;
        int security; // of the profile; this library's WPA2 is TKIP
        const char* key;
        int expected;
    } cases[] = {
        {"[WPA2-PSK-CCMP][ESS]", 3, "secret12", -7}, // the cipher
        {"[WEP][ESS]", 0, "", -10},                  // privacy
        {"[ESS]", 1, "abcde", -7},
        {"[WPA-PSK-TKIP][ESS]", 3, "secret12", -6},        // the authentication
        {"[WPA2-PSK-CCMP+TKIP][ESS]", 3, "secret12", -11}, // could join, has not
        {"[WEP][ESS]", 1, "abcde", -11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags + std::string(" with security ") + std::to_string(c.security));
        fake.Locked([&] { fake.table = {{"02:00:00:00:01:01", 2412, -40, c.flags, "lab"}}; });
        {
            WLanConfiger configer;
            ASSERT_EQ(configer.SetProfile({"lab", c.security, c.key}), 0u);
        }
        EXPECT_EQ(CheckWlanStatus(50), c.expected);
    }
}

} // namespace
