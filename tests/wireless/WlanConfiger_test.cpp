#include <gtest/gtest.h>

#include "platform/wifi/WideText.h"
#include "tests/wireless/WlanLibraryTest.h"
#include "wireless/WLanConfiger.h"

using namespace testsupport;
using platform::kWlanNetworkConnected;

namespace {

class WlanConfigerTest : public WlanLibraryTest {
protected:
    FakeInterface& AddCard(const char* guid, const char* name) {
        fake.interfaces.reserve(4); // references stay valid
        fake.interfaces.push_back({guid, name});
        return fake.interfaces.back();
    }
    std::vector<std::string> ProfilesOf(size_t interface) const {
        std::vector<std::string> names;
        for (const auto& profile : fake.interfaces[interface].profiles)
            names.push_back(profile.first);
        return names;
    }
};

TEST_F(WlanConfigerTest, ModuleIsLoadedOnceAndLetGoWithTheLastObject) {
    AddCard(kCardA, "wl0").phys = 2;
    // A second module, told apart by the line its missing entry leaves.
    platform::WlanModule other = FakeWlanModule({"WlanScan"});
    {
        auto first = std::make_unique<WLanConfiger>();
        EXPECT_EQ(first->InterfaceCount(), 1);
        platform::InstallWlanModule(&other);
        {
            WLanConfiger second; // still the module of the first
            EXPECT_EQ(second.InterfaceCount(), 1);
        }
        EXPECT_EQ(Occurrences(NewLog(), "myWlanScan failed"), 0);
        first.reset();
    }
    { WLanConfiger third; } // the last one let the first module go
    EXPECT_EQ(Occurrences(NewLog(), "myWlanScan failed"), 1);

    // Each object turned every PHY's radio on, registered for every source and unregistered,
    // and closed every handle it opened.
    std::vector<std::string> radio;
    for (const std::string& call : fake.calls)
        if (call.rfind("Radio", 0) == 0)
            radio.push_back(call);
    EXPECT_EQ(radio.size(), 6u);
    EXPECT_EQ(radio[0], std::string("Radio ") + kCardA + " phy 0 on");
    EXPECT_EQ(radio[1], std::string("Radio ") + kCardA + " phy 1 on");
    EXPECT_EQ(fake.registeredSources, (std::vector<uint32_t>{0xFFFF, 0xFFFF, 0, 0, 0xFFFF, 0}));
    EXPECT_TRUE(fake.liveHandles.empty());
    EXPECT_GT(fake.handlesOpened, 3);
    std::string log = NewLog();
    EXPECT_EQ(Occurrences(log, "No set Use Window Config my Wifi"), 3);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(WlanConfigerTest, MissingEntriesAreLoggedAndTheirOperationsFail) {
    struct Case {
        const char* missing;
        const char* line; // empty: none
    } cases[] = {
        {"WlanOpenHandle", "myWlanOpenHandle failed"},
        {"WlanScan", "myWlanScan failed"},
        {"WlanGetAvailableNetworkList", "myWlanGetAvailableNetworkList failed"},
        {"WlanDeleteProfile", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.missing);
        fake = FakeWlan();
        AddCard(kCardA, "wl0").profiles.emplace_back("lab", u"<WLANProfile/>");
        fake.interfaces[0].networks.push_back({"lab", "lab"});
        platform::WlanModule lacking = FakeWlanModule({c.missing});
        platform::InstallWlanModule(&lacking);
        size_t boxesBefore = prompts.Count();
        std::string before = NewLog();
        {
            WLanConfiger configer;
            configer.Scan();
            configer.GetAvailableNetworks();
            if (std::string(c.missing) == "WlanDeleteProfile") {
                EXPECT_EQ(configer.DeleteAllProfiles(), 127u);
                EXPECT_EQ(prompts.Boxes().back().text, "删除失败");
            } else {
                EXPECT_TRUE(configer.GetAvailableNetworks().empty());
            }
        }
        std::string log = NewLog().substr(before.size());
        if (*c.line) {
            EXPECT_EQ(Occurrences(log, c.line), 1) << log;
            EXPECT_EQ(Occurrences(log, " failed\r\n"), 1) << log; // only the first missing one
        } else {
            EXPECT_EQ(Occurrences(log, "myWlan"), 0) << log;
        }
        // Without its open entry the object has no handle: its release shows the box.
        if (std::string(c.missing) == "WlanOpenHandle") {
            ASSERT_GT(prompts.Count(), boxesBefore);
            EXPECT_EQ(prompts.Boxes().back().text, "Error occurs when unresiger ACM and MSM notifications.");
        }
        EXPECT_TRUE(fake.liveHandles.empty());
    }
}

TEST_F(WlanConfigerTest, AFailedOpenShowsItsCodeAndWhatItMeans) {
    struct Case {
        uint32_t code;
        BoxList boxes;
    } cases[] = {
        {50, {{"WlanOpenHandle failed,Error:50", "Error"}, {"Version is Not Supported", "Error"}}},
        {87, {{"WlanOpenHandle failed,Error:87", "Error"}, {"Error:INVALID_PARAMETER", "Error"}}},
        {1062, {{"WlanOpenHandle failed,Error:1062", "Error"}, {"Error", "Error"}}},
    };
    ASSERT_TRUE(LoadWlanApi());
    for (const Case& c : cases) {
        platform::RecordingPromptService own;
        platform::ScopedPromptService scope(own);
        fake.openResult = c.code;
        platform::WlanHandle handle = reinterpret_cast<platform::WlanHandle>(1);
        EXPECT_EQ(OpenHandleAndCheckVersion(handle), c.code);
        EXPECT_EQ(handle, nullptr);
        EXPECT_EQ(BoxesOf(own), c.boxes) << c.code;
        // The probe asks nobody.
        EXPECT_FALSE(IsWlanApiUsable());
        EXPECT_EQ(own.Count(), c.boxes.size());
    }
    fake.openResult = 0;
    EXPECT_TRUE(IsWlanApiUsable());
    EXPECT_TRUE(fake.liveHandles.empty());
}

TEST_F(WlanConfigerTest, SetProfileWritesTheProfileToEveryCard) {
    AddCard(kCardA, "wl0");
    AddCard(kCardB, "wl1");
    WifiSettings settings{"lab&co", 3, "secret12"};
    WLanConfiger configer;
    EXPECT_EQ(configer.SetProfile(settings), 0u);
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_EQ(fake.interfaces[i].profiles.size(), 1u);
        EXPECT_EQ(fake.interfaces[i].profiles[0].first, "lab&co");
        EXPECT_EQ(fake.interfaces[i].profiles[0].second, BuildWlanProfileXml(settings));
    }
    // The result is the last card's.
    fake.interfaces[1].setProfileResult = platform::kWlanBadProfile;
    EXPECT_EQ(configer.SetProfile(settings), platform::kWlanBadProfile);
    fake.interfaces[0].setProfileResult = platform::kWlanBadProfile;
    fake.interfaces[1].setProfileResult = 0;
    EXPECT_EQ(configer.SetProfile(settings), 0u);
    EXPECT_TRUE(prompts.Boxes().empty());

    // A handle that cannot be opened stops the walk, with the boxes.
    fake.openResult = 1062;
    fake.calls.clear();
    EXPECT_EQ(configer.SetProfile(settings), 1062u);
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_EQ(ShownBoxes(), (BoxList{{"WlanOpenHandle failed,Error:1062", "Error"},
                                     {"Error", "Error"},
                                     {"OpenHandleAndCheckVersion", "Error failed"}}));
    fake.openResult = 0;
    EXPECT_EQ(fake.liveHandles.size(), 1u); // the object's own
}

TEST_F(WlanConfigerTest, DeleteAllProfilesEmptiesEveryCard) {
    FakeInterface& a = AddCard(kCardA, "wl0");
    a.profiles = {{"first", u"<WLANProfile/>"}, {"shared", u"<WLANProfile/>"}};
    FakeInterface& b = AddCard(kCardB, "wl1");
    b.profiles = {{"shared", u"<WLANProfile/>"}, {"second", u"<WLANProfile/>"}};
    WLanConfiger configer;
    // A card that does not hold a name has nothing to delete: no error, the walk goes on.
    EXPECT_EQ(configer.DeleteAllProfiles(), 0u);
    EXPECT_TRUE(ProfilesOf(0).empty());
    EXPECT_TRUE(ProfilesOf(1).empty());
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_EQ(fake.liveHandles.size(), 1u);
}

TEST_F(WlanConfigerTest, AFailedDeleteStopsTheWalkWithItsBox) {
    AddCard(kCardA, "wl0").profiles = {
        {"one", u"<WLANProfile/>"}, {"two", u"<WLANProfile/>"}, {"three", u"<WLANProfile/>"}};
    AddCard(kCardB, "wl1");
    fake.deleteResults["two"] = platform::kWlanAccessDenied;
    WLanConfiger configer;
    EXPECT_EQ(configer.DeleteAllProfiles(), platform::kWlanAccessDenied);
    EXPECT_EQ(ProfilesOf(0), (std::vector<std::string>{"two", "three"}));
    EXPECT_EQ(ShownBoxes(), (BoxList{{"删除失败", "Error"}}));
    EXPECT_EQ(fake.liveHandles.size(), 1u);
}

TEST_F(WlanConfigerTest, DeleteAllProfilesSucceedsOnlyWhenNoneIsLeft) {
    FakeInterface& a = AddCard(kCardA, "wl0");
    a.profiles = {{"one", u"<WLANProfile/>"}, {"two", u"<WLANProfile/>"}, {"three", u"<WLANProfile/>"}};
    a.listLimit = 2; // a list read short
    WLanConfiger configer;
    EXPECT_EQ(configer.DeleteAllProfiles(), 1003u);
    EXPECT_EQ(ProfilesOf(0), std::vector<std::string>{"three"});
    EXPECT_EQ(ShownBoxes(), (BoxList{{"删除失败", "Error"}}));
    EXPECT_EQ(fake.liveHandles.size(), 1u);
}

TEST_F(WlanConfigerTest, AvailableNetworksCarryTheFlagsAndTheProfiledNetworks) {
    FakeInterface& a = AddCard(kCardA, "wl0");
    a.networks = {{"plain"}, {"lab", "lab", 3}, {"far", "far", 1, false, 0x28001}};
    FakeInterface& b = AddCard(kCardB, "wl1");
    b.networks = {{"joined", "joined"}};
    b.networks[0].flags = kWlanNetworkConnected;

    WLanConfiger configer;
    EXPECT_EQ(configer.Connected(), -1);
    EXPECT_FALSE(configer.HasProfile());
    for (int round = 0; round < 2; ++round) { // a second call replaces the first one's lists
        const auto& lists = configer.GetAvailableNetworks();
        ASSERT_EQ(lists.size(), 2u);
        EXPECT_EQ(lists[0]->numberOfItems, 3u);
        EXPECT_EQ(lists[1]->numberOfItems, 1u);
        EXPECT_EQ(configer.Connected(), 1);
        EXPECT_TRUE(configer.HasProfile());
        ASSERT_EQ(configer.ProfiledNetworks().size(), 3u);
        EXPECT_EQ(configer.ProfiledNetworks()[0], &lists[0]->networks[1]);
        EXPECT_EQ(configer.ProfiledNetworks()[2], &lists[1]->networks[0]);
    }
    std::string log = NewLog();
    EXPECT_NE(log.find("Interface 1:"), std::string::npos);
    EXPECT_NE(log.find("Network 2:"), std::string::npos);
    EXPECT_NE(log.find("\tContains 3  BSSIDs."), std::string::npos);
    EXPECT_EQ(Occurrences(log, "reason 163841"), 2); // the one network that cannot be joined

    // A card whose list cannot be read is left out; nothing joined, nothing profiled.
    a.networkListResult = platform::kWlanInvalidParameter;
    b.networks[0].flags = 0;
    b.networks[0].profile.clear();
    const auto& lists = configer.GetAvailableNetworks();
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0]->numberOfItems, 1u);
    EXPECT_EQ(configer.Connected(), -1);
    EXPECT_FALSE(configer.HasProfile());
    EXPECT_TRUE(configer.ProfiledNetworks().empty());
}

TEST_F(WlanConfigerTest, ProfileSecurityIsReadFromTheStoredProfileOfThatName) {
    FakeInterface& a = AddCard(kCardA, "wl0");
    FakeInterface& b = AddCard(kCardB, "wl1");
    a.profiles = {{"Lab", u"<x><authentication>open</authentication></x>"}};
    b.profiles = {{"lab", u"<x><authentication>wpa2</authentication><encryption>aes</encryption>"
                          u"<useOneX>true</useOneX></x>"}};
    WLanConfiger configer;
    // Names match exactly: "Lab" is another profile.
    WlanProfileSecurity security = configer.GetProfileSecurity("lab");
    EXPECT_EQ(security.name, "lab");
    EXPECT_EQ(security.authentication, 6);
    EXPECT_EQ(security.cipher, 4);
    EXPECT_TRUE(security.usesOneX);
    EXPECT_EQ(configer.GetProfileSecurity("Lab").authentication, 1);
    WlanProfileSecurity none = configer.GetProfileSecurity("missing");
    EXPECT_EQ(none.name, "missing");
    EXPECT_EQ(none.authentication, 0);

    // A profile this library wrote reads back as what it says: WPA2 with a pass phrase.
    ASSERT_EQ(configer.SetProfile({"测试", 3, "secret12"}), 0u);
    security = configer.GetProfileSecurity("测试");
    EXPECT_EQ(security.authentication, 7);
    EXPECT_EQ(security.cipher, 2);
    EXPECT_FALSE(security.usesOneX);
}

TEST_F(WlanConfigerTest, ScanAsksEveryCardAndWaitsItsFullTime) {
    AddCard(kCardA, "wl0");
    AddCard(kCardB, "wl1");
    WLanConfiger configer;
    fake.calls.clear();
    configer.Scan();
    EXPECT_EQ(fake.calls,
              (std::vector<std::string>{std::string("Scan ") + kCardA, std::string("Scan ") + kCardB}));
    EXPECT_EQ(ElapsedMs(), 5000);
    EXPECT_EQ(Occurrences(NewLog(), "扫描超时。"), 1);

    // Set, the event ends the wait at once.
    g_WifiScanEvent.Set();
    configer.Scan();
    EXPECT_EQ(ElapsedMs(), 5000);
    EXPECT_EQ(Occurrences(NewLog(), "扫描超时。"), 1);
}

TEST_F(WlanConfigerTest, InterfaceGuidTextHasNoBraces) {
    platform::WlanInterfaceInfo info{};
    ASSERT_TRUE(platform::ParseWlanGuid(kCardA, info.interfaceGuid));
    EXPECT_EQ(WlanInterfaceGuidToString(info), "0a0a0a0a-0000-4000-8000-00000000000a");
}

TEST_F(WlanConfigerTest, NotificationsAreLogged) {
    platform::WlanConnectionNotificationData payload{};
    platform::WlanNotificationData data{};
    data.data = &payload;
    data.dataSize = sizeof payload;
    ASSERT_EQ(sizeof payload, 572u);
    struct Case {
        uint32_t source, code, reason;
        const char* line;
    } cases[] = {
        {8, 9, 0, "Connectting"},
        {8, 10, 0, "Connect success"},
        {8, 10, 0x28002, "Connect failed"},
        {8, 21, 0, "Disconnected,click the Ok button to close me."},
        {16, 1, 0, "Got notification \"associating\" from MSM."},
        {16, 13, 0, "Got notification \"adapter is in a bad state\" from MSM."},
        {16, 14, 0, "Got notification unknown MSM notification from MSM."},
    };
    ASSERT_TRUE(LoadWlanApi());
    for (const Case& c : cases) {
        data.notificationSource = c.source;
        data.notificationCode = c.code;
        payload.reasonCode = c.reason;
        std::string before = NewLog();
        OnWlanNotification(&data, nullptr);
        std::string log = NewLog().substr(before.size());
        EXPECT_NE(log.find(c.line), std::string::npos) << c.line << "\n" << log;
        if (c.reason) {
            EXPECT_NE(log.find("reason 163842"), std::string::npos) << log;
        }
    }
    // A payload too short to be read is left alone.
    data.notificationSource = 8;
    data.notificationCode = 10;
    data.dataSize = 16;
    std::string before = NewLog();
    OnWlanNotification(&data, nullptr);
    EXPECT_EQ(NewLog().substr(before.size()).find("Connect"), std::string::npos);
}

} // namespace
