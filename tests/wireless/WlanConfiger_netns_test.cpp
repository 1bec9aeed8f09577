#include <gtest/gtest.h>

#include "engine/log/Logger.h"
#include "platform/clock/Clock.h"
#include "platform/files/FileIo.h"
#include "platform/net/CardGuid.h"
#include "platform/net/Daemon.h"
#include "platform/net/DhcpClient.h"
#include "platform/prompt/Prompt.h"
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

} // namespace
