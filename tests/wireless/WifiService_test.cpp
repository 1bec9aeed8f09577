#include <gtest/gtest.h>

#include "tests/wireless/WlanLibraryTest.h"
#include "wireless/WLanConfiger.h"
#include "wireless/WifiService.h"

using namespace testsupport;
using namespace platform;

namespace {

using WifiServiceTest = WlanLibraryTest;

ServiceStatus Pending(uint32_t state, uint32_t checkPoint, uint32_t waitHint) {
    return {state, checkPoint, waitHint, 0};
}
const ServiceStatus kStopped{kServiceStopped, 0, 0, 0};
const ServiceStatus kRunning{kServiceRunning, 0, 0, 0};

TEST_F(WifiServiceTest, WaitRuleSleepsATenthOfTheHintWithinBounds) {
    struct Case {
        uint32_t hint;
        long long sleep;
    } cases[] = {{30000, 3000}, {5000, 1000}, {200000, 10000}, {0, 1000}, {10000, 1000}, {100000, 10000}};
    for (const Case& c : cases)
        EXPECT_EQ(ServiceWaitMs(c.hint).count(), c.sleep) << c.hint;
}

TEST_F(WifiServiceTest, AServiceAlreadyRunningIsLeftAlone) {
    services.services["Wlansvc"].statuses = {kRunning};
    EXPECT_EQ(StartSvc("Wlansvc"), 0);
    EXPECT_EQ(services.services["Wlansvc"].starts, 0);
    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_NE(NewLog().find("Cannot start the service because it is already running"), std::string::npos);
}

TEST_F(WifiServiceTest, APendingStopIsWaitedForBeforeTheStart) {
    FakeService& service = services.services["Wlansvc"];
    service.statuses = {Pending(kServiceStopPending, 1, 30000), Pending(kServiceStopPending, 2, 30000),
                        kStopped};
    service.afterStart = {Pending(kServiceStartPending, 0, 5000), kRunning};
    EXPECT_EQ(StartSvc("Wlansvc"), 0);
    EXPECT_EQ(service.starts, 1);
    EXPECT_EQ(ElapsedMs(), 2 * 3000 + 1000);
    EXPECT_EQ(ShownBoxes(), (BoxList{{"Start WlansvcService successfully", "Information"}}));
}

TEST_F(WifiServiceTest, AStartThatKeepsProgressingIsWaitedForPastItsHint) {
    FakeService& service = services.services["Wlansvc"];
    // 12 polls of 3000 ms: far past the 30000 ms hint, but each one shows progress.
    service.afterStart.clear();
    for (uint32_t checkPoint = 1; checkPoint <= 12; ++checkPoint)
        service.afterStart.push_back(Pending(kServiceStartPending, checkPoint, 30000));
    service.afterStart.push_back(kRunning);
    EXPECT_EQ(StartSvc("Wlansvc"), 0);
    EXPECT_EQ(ElapsedMs(), 12 * 3000);
}

TEST_F(WifiServiceTest, TimeOutsEndTheStart) {
    struct Case {
        const char* what;
        std::vector<ServiceStatus> statuses, afterStart;
        int expected;
        long long elapsed;
        BoxList boxes;
        const char* line;
    } cases[] = {
        {"stop never ends",
         {Pending(kServiceStopPending, 3, 5000)},
         {kRunning},
         -1,
         6000,
         {{"Timeout waiting for service to stop", "Error"}},
         "Timeout waiting for service to stop"},
        {"start stalls",
         {kStopped},
         {Pending(kServiceStartPending, 1, 30000), Pending(kServiceStartPending, 2, 30000),
          Pending(kServiceStartPending, 2, 30000)},
         -2,
         // progress at 3 s, then more than 30 s without
         3000 + 11 * 3000,
         {{"Start WlansvcService Failed", "Error"}},
         "Start WlansvcService Failed"},
        {"start gives up at once",
         {kStopped},
         {kStopped},
         -2,
         0,
         {{"Start WlansvcService Failed", "Error"}},
         "Start WlansvcService Failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::RecordingPromptService own;
        platform::ScopedPromptService scope(own);
        services.services.clear();
        services.services["Wlansvc"].statuses = c.statuses;
        services.services["Wlansvc"].afterStart = c.afterStart;
        long long start = ElapsedMs();
        std::string before = NewLog();
        EXPECT_EQ(StartSvc("Wlansvc"), c.expected);
        EXPECT_EQ(ElapsedMs() - start, c.elapsed);
        EXPECT_EQ(BoxesOf(own), c.boxes);
        EXPECT_NE(NewLog().substr(before.size()).find(c.line), std::string::npos);
    }
}

TEST_F(WifiServiceTest, FailedStepsReturnTheirCodesWithTheirBoxes) {
    struct Case {
        const char* what;
        uint32_t managerResult, queryResult, startResult;
        bool known;
        int expected;
        BoxList boxes;
        const char* line;
    } cases[] = {
        {"manager", 5, 0, 0, true, 5, {{"OpenSCManager failed:5", "Error"}}, "OpenSCManager failed:5"},
        {"unknown service", 0, 0, 0, false, 1060, {{"OpenService failed", "Error"}}, "OpenService failed"},
        {"query", 0, 6, 0, true, 6, {}, "QueryServiceStatusEx failed"},
        {"start", 0, 0, 1053, true, 1053, {{"StartService failed", "Error"}}, "StartService failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::RecordingPromptService own;
        platform::ScopedPromptService scope(own);
        services.managerResult = c.managerResult;
        services.services.clear();
        if (c.known) {
            services.services["Wlansvc"].queryResult = c.queryResult;
            services.services["Wlansvc"].startResult = c.startResult;
        }
        std::string before = NewLog();
        EXPECT_EQ(StartSvc("Wlansvc"), c.expected);
        EXPECT_EQ(BoxesOf(own), c.boxes);
        EXPECT_NE(NewLog().substr(before.size()).find(c.line), std::string::npos);
    }
}

TEST_F(WifiServiceTest, StopSendsTheControlAndWaitsForTheStop) {
    FakeService& service = services.services["Wlansvc"];
    service.statuses = {kRunning};
    service.afterStop = {Pending(kServiceStopPending, 1, 20000), Pending(kServiceStopPending, 1, 20000),
                         kStopped};
    EXPECT_EQ(StopSvc("Wlansvc"), 0);
    EXPECT_EQ(service.stops, 1);
    EXPECT_EQ(ElapsedMs(), 2 * 2000);
    EXPECT_EQ(ShownBoxes(), (BoxList{{"StopSvc", "Info"}}));

    // Already stopped: nothing sent.
    EXPECT_EQ(StopSvc("Wlansvc"), 0);
    EXPECT_EQ(service.stops, 1);
    EXPECT_EQ(ShownBoxes().back(), (std::pair<std::string, std::string>{
                                       "Cannot stop the service because it is already stoped", "Error"}));

    // A refused control, and a service that never stops, are failures.
    service.statuses = {kRunning};
    service.stopResult = 1051;
    EXPECT_EQ(StopSvc("Wlansvc"), 1051);
    EXPECT_EQ(ShownBoxes().back(), (std::pair<std::string, std::string>{"Stop Service failed", "Error"}));
    service.stopResult = 0;
    service.statuses = {kRunning};
    service.afterStop = {Pending(kServiceStopPending, 0, 5000)};
    EXPECT_NE(StopSvc("Wlansvc"), 0);
}

TEST_F(WifiServiceTest, OsClassFollowsTheVersion) {
    struct Case {
        OsVersionInfo version;
        int osClass;
    } cases[] = {
        {{6, 1, ""}, 8},
        {{6, 0, "Service Pack 2"}, 5},
        {{5, 2, ""}, 6},
        {{5, 1, "Service Pack 3"}, 4},
        {{5, 1, "Service Pack 2"}, 3},
        {{5, 1, "Service Pack 1"}, 2},
        {{5, 1, ""}, 2},
        {{5, 0, "Service Pack 4"}, 0},
        {{10, 0, ""}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetOsClass(c.version), c.osClass) << c.version.major << "." << c.version.minor;
    EXPECT_EQ(GetOsClass(), 5); // Linux
    SetOsVersionInfo(OsVersionInfo{5, 1, "Service Pack 3"});
    EXPECT_EQ(GetOsClass(), 4);
}

TEST_F(WifiServiceTest, WirelessServiceIsStartedOnlyWhenTheCardsCannotBeReached) {
    struct Case {
        const char* what;
        std::optional<OsVersionInfo> version;
        uint32_t openResult;
        int starts;
        bool expected;
        const char* line;
    } cases[] = {
        {"usable", std::nullopt, 0, 0, true, ""},
        {"unknown system", OsVersionInfo{6, 1, ""}, kWlanServiceNotActive, 0, false,
         "The OS is not supported."},
        {"service started, still unusable", std::nullopt, kWlanServiceNotActive, 1, false,
         "StartWLanService Successfully."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetOsVersionInfo(c.version);
        fake.openResult = c.openResult;
        services.services.clear();
        services.services["Wlansvc"];
        std::string before = NewLog();
        EXPECT_EQ(WLanConfiger::StartWirelessService(), c.expected);
        EXPECT_EQ(services.services["Wlansvc"].starts, c.starts);
        if (*c.line) {
            EXPECT_NE(NewLog().substr(before.size()).find(c.line), std::string::npos);
        }
    }
    // A failed start is logged as such.
    SetOsVersionInfo(std::nullopt);
    services.services["Wlansvc"] = FakeService{};
    services.services["Wlansvc"].startResult = 1053;
    EXPECT_FALSE(WLanConfiger::StartWirelessService());
    EXPECT_NE(NewLog().find("StartWLanService Failed."), std::string::npos);
}

TEST_F(WifiServiceTest, ZeroConfigurationIsAbsent) {
    EXPECT_FALSE(LoadWzcApi());
    EXPECT_EQ(ShownBoxes(), (BoxList{{"Load wzcsapi.dll failed", "Error"}}));
    {
        WzcClient client; // the load was tried once: no second box
        EXPECT_FALSE(client.IsLoaded());
        EXPECT_EQ(client.InterfaceCount(), 0);
        EXPECT_TRUE(client.QuerySsidList("any").empty());
        EXPECT_THROW(client.Refresh("any"), int);
    }
    EXPECT_EQ(prompts.Count(), 3u); // and the service's open, the refresh
    EXPECT_EQ(ShownBoxes()[1], (std::pair<std::string, std::string>{"OpenService failed", "Error"}));
    EXPECT_EQ(ShownBoxes()[2].first, "Refresh failed.Error code = 127");
    // Released, the load is tried again.
    EXPECT_FALSE(LoadWzcApi());
    EXPECT_EQ(prompts.Count(), 4u);

    // Classes 3 and 4 ask for the switch; there is nothing to switch.
    SetOsVersionInfo(OsVersionInfo{5, 1, "Service Pack 2"});
    fake.interfaces.push_back({kCardA, "wl0"});
    { WLanConfiger configer; }
    std::string log = NewLog();
    EXPECT_NE(log.find("Use Window Config myWifi"), std::string::npos);
    EXPECT_NE(log.find("nothing changed"), std::string::npos);
    EXPECT_EQ(prompts.Count(), 4u);
}

TEST_F(WifiServiceTest, AnUnknownAdapterIsNotFound) {
    AdapterLookup lookup = LookupAdapter("{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(lookup.name, "{00000000-0000-0000-0000-000000000000}");
    EXPECT_FALSE(lookup.found);
    EXPECT_TRUE(lookup.description.IsEmpty());
}

} // namespace
