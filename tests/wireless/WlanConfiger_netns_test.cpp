#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>

#include "engine/log/Logger.h"
#include "platform/clock/Clock.h"
#include "platform/files/FileIo.h"
#include "platform/net/CardGuid.h"
#include "platform/net/Daemon.h"
#include "platform/net/DhcpClient.h"
#include "platform/prompt/Prompt.h"
#include "platform/wifi/WideText.h"
#include "platform/wifi/WlanApi.h"
#include "platform/wifi/WlanService.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/WlanBench.h"
#include "wireless/WLanConfiger.h"
#include "wireless/WifiService.h"

using namespace platform;
using namespace std::chrono_literals;

namespace {

constexpr const char* kCardMac = "02:00:00:00:0e:01";

class WlanConfigerNetnsTest : public testsupport::WlanBenchTest {
protected:
    WlanConfigerNetnsTest() : WlanBenchTest(kCardMac) {}
    void SetUp() override {
        WlanBenchTest::SetUp();
        if (IsSkipped())
            return;
        SetPromptService(&prompts);
        SetLogLevel(LOG_LEVEL_DEBUG);
    }
    void TearDown() override {
        WlanBenchTest::TearDown();
        SetWirelessClock(nullptr);
        SetPromptService(nullptr);
    }

    RecordingPromptService prompts;
};

TEST_F(WlanConfigerNetnsTest, JoinsTheNetworkOfItsProfileAndDeletesItAgain) {
    testsupport::RunInside(*pc, [&] {
        const std::string cardGuid = CardGuidFromMac({2, 0, 0, 0, 0x0e, 1});
        ASSERT_FALSE(IsWlanApiUsable()); // the service is not running yet
        ASSERT_TRUE(WLanConfiger::StartWirelessService());
        ASSERT_EQ(prompts.Count(), 1u);
        EXPECT_EQ(prompts.Boxes()[0].text, "Start WlansvcService successfully");
        EXPECT_EQ(prompts.Boxes()[0].caption, "Information");

        // The scans' waits on a clock of the test's own.
        ManualClock clock;
        SetWirelessClock(&clock);
        auto configer = std::make_unique<WLanConfiger>();
        ASSERT_EQ(configer->InterfaceCount(), 1);
        CString guidText = WlanInterfaceGuidToString(configer->InterfaceList()->interfaces[0]);
        CString braced = "{" + guidText + "}";
        braced.MakeUpper();
        EXPECT_EQ(braced, cardGuid.c_str());
        AdapterLookup adapter = LookupAdapter(cardGuid.c_str());
        EXPECT_TRUE(adapter.found);
        EXPECT_EQ(adapter.description, "wl0");

        ASSERT_EQ(configer->SetProfile({"lab", 0, ""}), 0u);
        // Connection mode auto: the platform joins on its own.
        ASSERT_TRUE(PollUntil(
            [&] {
                configer->GetAvailableNetworks();
                return configer->Connected() == 1;
            },
            10s));
        const auto& lists = configer->GetAvailableNetworks();
        ASSERT_EQ(lists.size(), 1u);
        ASSERT_EQ(lists[0]->numberOfItems, 1u);
        EXPECT_EQ(lists[0]->networks[0].flags, kWlanNetworkConnected | kWlanNetworkHasProfile);
        ASSERT_EQ(configer->ProfiledNetworks().size(), 1u);
        EXPECT_EQ(configer->GetProfileSecurity("lab").authentication, 1);
        // The connection manager's notice came through the registration.
        EXPECT_TRUE(PollUntil(
            [] { return testsupport::LogText().find("Connect success") != std::string::npos; }, 5s));

        long long before = clock.TickMs();
        EXPECT_EQ(CheckWlanStatus(50), 0);
        EXPECT_EQ(clock.TickMs() - before, 5000); // the scan's full wait
        EXPECT_NE(testsupport::LogText().find("扫描超时。"), std::string::npos);

        EXPECT_EQ(configer->DeleteAllProfiles(), 0u);
        configer.reset();
        WLanConfiger after;
        after.GetAvailableNetworks();
        EXPECT_TRUE(after.ProfiledNetworks().empty());
        EXPECT_EQ(after.GetProfileSecurity("lab").authentication, 0);
        EXPECT_EQ(prompts.Count(), 1u);

        std::vector<pid_t> pids = ServicePids();
        ASSERT_GE(pids.size(), 2u); // the daemon and the card's listener
        ASSERT_EQ(WlanService::Stop(), 0u);
        for (pid_t pid : pids)
            EXPECT_FALSE(IsRunning(pid)) << pid;
    });
}

// Replies of the daemon end near 4 KB: a long profile list is read whole all the same.
TEST_F(WlanConfigerNetnsTest, AHundredAndFiftyProfilesAreListedOverwrittenAndDeletedWhole) {
    testsupport::RunInside(*pc, [&] {
        ASSERT_EQ(WlanService::Start(), 0u);
        ManualClock clock;
        SetWirelessClock(&clock);
        WLanConfiger configer;
        ASSERT_EQ(configer.InterfaceCount(), 1);
        const WlanGuid guid = configer.InterfaceList()->interfaces[0].interfaceGuid;
        constexpr int kCount = 150;
        auto name = [](int i) {
            char text[32];
            std::snprintf(text, sizeof text, "bench-wireless-network-%03d", i);
            return std::string(text);
        };
        for (int i = 0; i < kCount; ++i)
            ASSERT_EQ(configer.SetProfile({name(i).c_str(), 3, "secret12"}), 0u) << i;
        auto listed = [&] {
            const WlanModule* module = FindWlanModule("wlanapi.dll");
            uint32_t version = 0;
            WlanHandle handle = nullptr;
            std::vector<std::string> names;
            EXPECT_EQ(
                module->Resolve<WlanOpenHandleFunction>("WlanOpenHandle")(1, nullptr, &version, &handle), 0u);
            WlanProfileInfoList* list = nullptr;
            EXPECT_EQ(module->Resolve<WlanGetProfileListFunction>("WlanGetProfileList")(handle, &guid,
                                                                                        nullptr, &list),
                      0u);
            for (uint32_t i = 0; list && i < list->numberOfItems; ++i)
                names.push_back(Utf16ToUtf8(WideOf(list->profiles[i].profileName)));
            module->Resolve<WlanFreeMemoryFunction>("WlanFreeMemory")(list);
            module->Resolve<WlanCloseHandleFunction>("WlanCloseHandle")(handle, nullptr);
            return names;
        };
        std::vector<std::string> names = listed();
        ASSERT_EQ(names.size(), size_t(kCount));
        for (int i = 0; i < kCount; ++i)
            EXPECT_EQ(names[static_cast<size_t>(i)], name(i));

        // The last one, far beyond the first reply: replaced, not added again.
        ASSERT_EQ(configer.SetProfile({name(kCount - 1).c_str(), 3, "other123"}), 0u);
        names = listed();
        EXPECT_EQ(names.size(), size_t(kCount));
        EXPECT_EQ(std::count(names.begin(), names.end(), name(kCount - 1)), 1);

        EXPECT_EQ(configer.DeleteAllProfiles(), 0u);
        EXPECT_TRUE(listed().empty());
        std::string config = ReadWholeFile(WlanPaths::ConfigFile("wl0")).value_or("");
        EXPECT_EQ(config.find("network={"), std::string::npos) << config;
        EXPECT_EQ(config.find("psk="), std::string::npos);
        EXPECT_EQ(prompts.Count(), 0u);
        ASSERT_EQ(WlanService::Stop(), 0u);
    });
}

} // namespace
