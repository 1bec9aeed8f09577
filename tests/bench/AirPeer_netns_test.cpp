// The bench's air as the wireless library meets it through the program's own configuration:
// Config.ini names the PC's card and the air's control socket, the service adds the card there
// (with the real event listener and DHCP client), and the card reaches a modem's wireless side
// only under the name and key that the modem's wireless page set.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>

#include "bench/SimulatedBench.h"
#include "engine/config/Configer.h"
#include "engine/config/PcNICInfo.h"
#include "platform/clock/Clock.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/RunDirectory.h"
#include "platform/net/Daemon.h"
#include "platform/prompt/Prompt.h"
#include "platform/wifi/WlanService.h"
#include "tests/support/DhcpServer.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"
#include "tests/support/BenchWireless.h"
#include "wireless/WLanConfiger.h"
#include "wireless/WifiService.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class AirPeerTest : public testsupport::NetnsTest {
protected:
    void Build(bench::Wireless wireless) {
        if (platform::FindProgram("wpa_cli").empty() || platform::FindProgram("busybox").empty())
            GTEST_SKIP() << "wpasupplicant or busybox is not installed";
        testsupport::AdoptOrphanedDaemons();
        bench::SimulatedBenchConfig config;
        config.modems.assign(1, {});
        config.modems[0].wireless = wireless;
        sim = testsupport::BuildWirelessBench(config, m_run.str());
        ASSERT_TRUE(sim) << "run under ctest";
        platform::SetPromptService(&prompts);
        bench::RunInside(sim->Pc(), [] { Configer::GetInstance(); });
    }
    void TearDown() override {
        if (sim)
            bench::RunInside(sim->Pc(), [] { platform::WlanService::Stop(); });
        SetWirelessClock(nullptr);
        platform::SetPromptService(nullptr);
        PcNICInfo::DeleteInstance();
        Configer::DeleteInstance();
        platform::WlanService::SetOptions(std::nullopt);
        platform::SetRunDirectory("");
        platform::SetProgramDirectory("");
    }

    std::string Post(const std::string& form) { return testsupport::PostWirelessPage(sim->Pc(), form); }
    // Logged in as the browser of the PC would, then the modem's factory restore.
    std::string RestoreConfig() {
        const std::string jar = (fs::path(m_run.str()) / "cookies").string();
        const std::string curl = "curl -s --max-time 20 --interface lan0 -c " + jar + " -b " + jar;
        sim->Pc().Shell(curl + " -o /dev/null -d 'user=admin&pass=admin' http://192.168.1.1/login.cgi");
        std::string code;
        sim->Pc().Shell(curl + " -o /dev/null -w '%{http_code}' http://192.168.1.1/restore.cgi", &code);
        return code;
    }
    std::string Addresses(const std::string& card) {
        std::string text;
        sim->Pc().Shell("ip -o -4 addr show " + card, &text);
        return text;
    }
    bool HasLease() {
        return std::regex_search(Addresses("wl0"), std::regex(R"(inet 192\.168\.1\.(15\d|160)/24)"));
    }
    bool PingsOverTheAir() { return sim->Pc().Shell("ping -c 1 -W 2 -I wl0 192.168.1.1") == 0; }

    // A profile written as the panel writes it, the scan, and what the check says.
    struct Outcome {
        bool listed = false;
        int code = 1;
    };
    Outcome Try(const WifiSettings& settings) {
        Outcome outcome;
        {
            WLanConfiger configer;
            configer.DeleteAllProfiles();
            EXPECT_EQ(configer.SetProfile(settings), 0u);
            configer.Scan();
            for (const platform::WlanAvailableNetworkList* list : configer.GetAvailableNetworks())
                for (uint32_t i = 0; i < list->numberOfItems; ++i)
                    outcome.listed = outcome.listed ||
                                     CString(reinterpret_cast<const char*>(list->networks[i].ssid.ssid),
                                             static_cast<int>(list->networks[i].ssid.length)) == settings.networkName;
        }
        outcome.code = CheckWlanStatus(0);
        return outcome;
    }

    std::unique_ptr<bench::SimulatedBench> sim;
    platform::RecordingPromptService prompts;
    platform::ManualClock clock;
    testsupport::TempDir m_run{"air-run"};
};

TEST_F(AirPeerTest, TheCardReachesAModemOnlyUnderTheNameAndKeyOfItsPage) {
    ASSERT_NO_FATAL_FAILURE(Build(bench::Wireless::Lit));
    if (IsSkipped())
        return;
    bench::RunInside(sim->Pc(), [&] {
        ASSERT_TRUE(WLanConfiger::StartWirelessService());
        // The air is the supplicant: the service ran none of its own.
        EXPECT_FALSE(fs::exists(platform::WlanPaths::DaemonPidFile()));
        SetWirelessClock(&clock);
        struct Step {
            const char* what;
            const char* page; // posted first, when given
            WifiSettings profile;
            bool listed;
            int code;
        } steps[] = {
            {"under its factory name", nullptr, {"port1", 3, "secret12"}, false, -5},
            {"the page names it, a wrong key", "ssid=port1&security=3&key=secret12", {"port1", 3, "secret13"}, true,
             -11},
            {"another kind of security", nullptr, {"port1", 1, "abcde"}, true, -6},
            {"a page it refuses", "ssid=port1&security=2&key=short", {"port9", 3, "secret12"}, false, -5},
            {"its name and key", nullptr, {"port1", 3, "secret12"}, true, 0},
        };
        for (const Step& step : steps) {
            SCOPED_TRACE(step.what);
            if (step.page)
                Post(step.page);
            Outcome outcome = Try(step.profile);
            EXPECT_EQ(outcome.listed, step.listed);
            EXPECT_EQ(outcome.code, step.code);
            EXPECT_EQ(sim->AirJoined(), step.code == 0 ? 1 : 0);
        }
        ASSERT_EQ(sim->AirJoined(), 1);
        // Its lease and its answers come over the air alone.
        sim->Pc().Ip("link set lan0 down");
        EXPECT_TRUE(platform::PollUntil([&] { return HasLease(); }, 60s)) << Addresses("wl0");
        EXPECT_TRUE(PingsOverTheAir());
        sim->Pc().Ip("link set lan0 up");
        ASSERT_TRUE(platform::PollUntil([&] { return Post("ssid=port1&security=3&key=secret12") == "200"; }, 60s));

        // Renamed by its page, the modem is gone from the card's network, and its lease with it.
        EXPECT_EQ(Post("ssid=port9&security=3&key=secret12"), "200");
        EXPECT_EQ(sim->AirJoined(), 0);
        EXPECT_TRUE(platform::PollUntil([&] { return !HasLease(); }, 30s)) << Addresses("wl0");
        EXPECT_FALSE(PingsOverTheAir());

        // A factory restore (step 3) puts it back on the air under its factory name.
        EXPECT_EQ(RestoreConfig(), "200");
        ASSERT_TRUE(sim->WirelessOf(1));
        EXPECT_EQ(sim->WirelessOf(1)->ssid, "CV100-0D01");
        EXPECT_FALSE(Try({"port9", 3, "secret12"}).listed);

        // The service takes its card away from the air at its stop, and the air stays.
        EXPECT_EQ(platform::WlanService::Stop(), 0u);
        EXPECT_EQ(platform::WlanService::Status().currentState, platform::kServiceStopped);
        EXPECT_EQ(platform::WlanService::Start(), 0u);
        EXPECT_EQ(platform::WlanService::Status().currentState, platform::kServiceRunning);
    });
}

TEST_F(AirPeerTest, ADarkModemIsJoinedAndPassesNothing) {
    ASSERT_NO_FATAL_FAILURE(Build(bench::Wireless::Dark));
    if (IsSkipped())
        return;
    bench::RunInside(sim->Pc(), [&] {
        ASSERT_TRUE(WLanConfiger::StartWirelessService());
        SetWirelessClock(&clock);
        EXPECT_EQ(Post("ssid=port1&security=0&key="), "200");
        Outcome outcome = Try({"port1", 0, ""});
        EXPECT_TRUE(outcome.listed);
        EXPECT_EQ(outcome.code, 0);
        EXPECT_EQ(sim->AirJoined(), 1);
        sim->Pc().Ip("link set lan0 down");
        EXPECT_FALSE(PingsOverTheAir());
        EXPECT_FALSE(HasLease());
    });
}

} // namespace
