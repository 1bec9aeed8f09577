#include <functional>
#include <gtest/gtest.h>

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

} // namespace
