#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <latch>
#include <linux/rtnetlink.h>
#include <mutex>
#include <thread>

#include "platform/files/FileIo.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/RunDirectory.h"
#include "platform/net/CardGuid.h"
#include "platform/net/Daemon.h"
#include "platform/net/DhcpClient.h"
#include "platform/net/Netlink.h"
#include "platform/wifi/ServiceControl.h"
#include "platform/wifi/WideText.h"
#include "platform/wifi/WlanApi.h"
#include "platform/wifi/WlanService.h"
#include "tests/support/DhcpServer.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"
#include "tests/support/WlanBench.h"

using namespace platform;
using namespace std::chrono_literals;

namespace {

template <typename F> F* Entry(const char* name) {
    return FindWlanModule("wlanapi.dll")->Resolve<F>(name);
}

std::u16string OpenProfile(const std::string& name) {
    return Utf8ToUtf16(
        "<?xml version=\"1.0\"?>\n<WLANProfile>\n<name>" + name + "</name>\n<SSIDConfig>\n<SSID>\n<name>" +
        name +
        "</name>\n</SSID>\n</SSIDConfig>\n<connectionType>ESS</connectionType>\n<connectionMode>auto</"
        "connectionMode>\n<MSM>\n<security>\n<authEncryption>\n<authentication>open</"
        "authentication>\n<encryption>none</encryption>\n<useOneX>false</useOneX>\n</authEncryption>\n</"
        "security>\n</MSM>\n</WLANProfile>\n");
}

std::u16string KeyedProfile(const std::string& name, const std::string& auth, const std::string& encryption,
                            const std::string& keyType, const std::string& key) {
    std::u16string xml = OpenProfile(name);
    auto replace = [&](const std::string& from, const std::string& to) {
        std::u16string a = Utf8ToUtf16(from), b = Utf8ToUtf16(to);
        xml.replace(xml.find(a), a.size(), b);
    };
    replace("<authentication>open", "<authentication>" + auth);
    replace("<encryption>none", "<encryption>" + encryption);
    replace("</security>", "<sharedKey>\n<keyType>" + keyType +
                               "</keyType>\n<protected>false</protected>\n<keyMaterial>" + key +
                               "</keyMaterial>\n</sharedKey>\n</security>");
    return xml;
}

// The peer namespace may serve DHCP on the other end.
class WlanDaemonTest : public testsupport::WlanBenchTest {
protected:
    WlanDaemonTest() : WlanBenchTest("02:00:00:00:0d:01") {}
    void SetUp() override {
        WlanBenchTest::SetUp();
        if (!IsSkipped() && FindProgram("busybox").empty())
            GTEST_SKIP() << "busybox is not installed";
    }
    // A client handle of the running service, and the card's GUID.
    static void OpenOnTheCard(WlanHandle& handle, WlanGuid& guid) {
        uint32_t version = 0;
        ASSERT_EQ(Entry<WlanOpenHandleFunction>("WlanOpenHandle")(1, nullptr, &version, &handle),
                  kWlanSuccess);
        ASSERT_TRUE(ParseWlanGuid(CardGuidFromMac({2, 0, 0, 0, 0x0d, 1}), guid));
    }
};

TEST_F(WlanDaemonTest, StartsAndStopsThroughTheServiceManager) {
    testsupport::RunInside(*pc, [&] {
        std::unique_ptr<ServiceManager> manager;
        ASSERT_EQ(SystemServiceControl().OpenManager(manager), 0u);
        std::unique_ptr<ServiceHandle> service;
        EXPECT_EQ(manager->OpenService("WZCSVC", service), kServiceDoesNotExist);
        EXPECT_EQ(manager->OpenService("Dhcp", service), kServiceDoesNotExist);
        ASSERT_EQ(manager->OpenService("Wlansvc", service), 0u);
        ServiceStatus status;
        ASSERT_EQ(service->QueryStatus(status), 0u);
        EXPECT_EQ(status.currentState, kServiceStopped);
        EXPECT_EQ(service->ControlStop(status), kServiceNotActive);
        uint32_t version = 0;
        WlanHandle handle = nullptr;
        EXPECT_EQ(Entry<WlanOpenHandleFunction>("WlanOpenHandle")(1, nullptr, &version, &handle),
                  kWlanServiceNotActive);

        ASSERT_EQ(service->Start(), 0u);
        EXPECT_EQ(service->Start(), kServiceAlreadyRunning);
        ASSERT_TRUE(PollUntil(
            [&] { return service->QueryStatus(status) == 0 && status.currentState == kServiceRunning; },
            10s));
        std::vector<pid_t> pids = ServicePids();
        ASSERT_EQ(pids.size(), 2u); // the daemon and the link's listener
        for (pid_t pid : pids)
            EXPECT_TRUE(IsRunning(pid)) << pid;
        EXPECT_TRUE(std::filesystem::exists(WlanPaths::InterfaceSocket("wl0")));

        ASSERT_EQ(service->ControlStop(status), 0u);
        EXPECT_EQ(status.currentState, kServiceStopped);
        for (pid_t pid : pids)
            EXPECT_FALSE(IsRunning(pid)) << pid;
        EXPECT_FALSE(std::filesystem::exists(WlanPaths::GlobalSocket()));
        EXPECT_FALSE(std::filesystem::exists(WlanPaths::InterfaceSocket("wl0")));
        EXPECT_FALSE(std::filesystem::exists(WlanPaths::DaemonPidFile()));
    });
}

TEST_F(WlanDaemonTest, ProfilesOfEveryKindAreAcceptedAndListedBack) {
    testsupport::RunInside(*pc, [&] {
        ASSERT_EQ(WlanService::Start(), 0u);
        uint32_t version = 0;
        WlanHandle handle = nullptr;
        ASSERT_EQ(Entry<WlanOpenHandleFunction>("WlanOpenHandle")(1, nullptr, &version, &handle),
                  kWlanSuccess);
        WlanInterfaceInfoList* interfaces = nullptr;
        ASSERT_EQ(Entry<WlanEnumInterfacesFunction>("WlanEnumInterfaces")(handle, nullptr, &interfaces),
                  kWlanSuccess);
        ASSERT_EQ(interfaces->numberOfItems, 1u);
        WlanGuid guid = interfaces->interfaces[0].interfaceGuid;
        EXPECT_EQ(FormatWlanGuid(guid), CardGuidFromMac({2, 0, 0, 0, 0x0d, 1}));
        EXPECT_EQ(WideOf(interfaces->interfaces[0].description), u"wl0");
        Entry<WlanFreeMemoryFunction>("WlanFreeMemory")(interfaces);

        struct Case {
            std::string name;
            std::u16string xml;
        } cases[] = {
            {"a&b<c>", OpenProfile("a&amp;b&lt;c&gt;")},
            {"wep", KeyedProfile("wep", "open", "WEP", "networkKey", "abcde")},
            {"wpa", KeyedProfile("wpa", "WPAPSK", "TKIP", "passPhrase", "secret12")},
            {"wpa2", KeyedProfile("wpa2", "WPA2PSK", "AES", "passPhrase", "secret12")},
        };
        auto setProfile = Entry<WlanSetProfileFunction>("WlanSetProfile");
        uint32_t reason = 0;
        for (const Case& c : cases)
            EXPECT_EQ(setProfile(handle, &guid, 0, c.xml.c_str(), nullptr, 1, nullptr, &reason), kWlanSuccess)
                << c.name;
        // The real daemon's refusal of a pass phrase that is too short.
        std::u16string shortKey = KeyedProfile("short", "WPA2PSK", "AES", "passPhrase", "abc");
        EXPECT_EQ(setProfile(handle, &guid, 0, shortKey.c_str(), nullptr, 1, nullptr, &reason),
                  kWlanBadProfile);

        WlanProfileInfoList* profiles = nullptr;
        ASSERT_EQ(Entry<WlanGetProfileListFunction>("WlanGetProfileList")(handle, &guid, nullptr, &profiles),
                  kWlanSuccess);
        ASSERT_EQ(profiles->numberOfItems, std::size(cases));
        for (size_t i = 0; i < std::size(cases); ++i)
            EXPECT_EQ(Utf16ToUtf8(WideOf(profiles->profiles[i].profileName)), cases[i].name);
        Entry<WlanFreeMemoryFunction>("WlanFreeMemory")(profiles);
        std::string config = ReadWholeFile(WlanPaths::ConfigFile("wl0")).value_or("");
        EXPECT_NE(config.find("key_mgmt=WPA-PSK"), std::string::npos) << config; // saved
        // Pass phrases are in there: only root may look, at the directory and at each file
        // (the daemon's own saves included).
        EXPECT_EQ(std::filesystem::status(WlanPaths::Directory()).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
        const auto secret = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
        EXPECT_EQ(std::filesystem::status(WlanPaths::ConfigFile("wl0")).permissions(), secret);
        size_t kept = 0;
        for (const auto& entry : std::filesystem::directory_iterator(WlanPaths::ProfileDirectory("wl0"))) {
            EXPECT_EQ(entry.status().permissions(), secret) << entry.path();
            ++kept;
        }
        EXPECT_EQ(kept, std::size(cases));

        // The daemon takes the scan (which then fails on a wired link).
        EXPECT_EQ(Entry<WlanScanFunction>("WlanScan")(handle, &guid, nullptr, nullptr, nullptr),
                  kWlanSuccess);
        std::u16string wpa = u"wpa";
        EXPECT_EQ(Entry<WlanDeleteProfileFunction>("WlanDeleteProfile")(handle, &guid, wpa.c_str(), nullptr),
                  kWlanSuccess);
        EXPECT_EQ(Entry<WlanDeleteProfileFunction>("WlanDeleteProfile")(handle, &guid, wpa.c_str(), nullptr),
                  kWlanNotFound);
        EXPECT_EQ(Entry<WlanCloseHandleFunction>("WlanCloseHandle")(handle, nullptr), kWlanSuccess);
        EXPECT_EQ(WlanService::Stop(), 0u);
    });
}

struct Connections {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<uint32_t, uint32_t>> codes; // connection manager: code, reason

    static void Callback(WlanNotificationData* data, void* context) {
        auto* self = static_cast<Connections*>(context);
        auto* payload = static_cast<WlanConnectionNotificationData*>(data->data);
        std::lock_guard lock(self->mutex);
        if (data->notificationSource == kWlanSourceConnectionManager)
            self->codes.emplace_back(data->notificationCode, payload->reasonCode);
        self->changed.notify_all();
    }
};

TEST_F(WlanDaemonTest, AnOpenProfileJoinsAndTheLinkGetsItsAddressFromThePeer) {
    testsupport::DhcpServer server(*peer, "wlpeer", "10.9.0");
    testsupport::RunInside(*pc, [&] {
        ASSERT_EQ(WlanService::Start(), 0u);
        ASSERT_TRUE(PollUntil([] { return WlanService::Status().currentState == kServiceRunning; }, 10s));
        WlanHandle handle = nullptr;
        WlanGuid guid;
        ASSERT_NO_FATAL_FAILURE(OpenOnTheCard(handle, guid));
        Connections connections;
        ASSERT_EQ(Entry<WlanRegisterNotificationFunction>("WlanRegisterNotification")(
                      handle, kWlanSourceAll, 1, &Connections::Callback, &connections, nullptr, nullptr),
                  kWlanSuccess);

        std::u16string xml = OpenProfile("lab");
        uint32_t reason = 0;
        ASSERT_EQ(Entry<WlanSetProfileFunction>("WlanSetProfile")(handle, &guid, 0, xml.c_str(), nullptr, 1,
                                                                  nullptr, &reason),
                  kWlanSuccess);
        {
            std::unique_lock lock(connections.mutex);
            ASSERT_TRUE(connections.changed.wait_for(lock, 10s, [&] {
                return std::find(connections.codes.begin(), connections.codes.end(),
                                 std::pair<uint32_t, uint32_t>(
                                     kWlanConnectionComplete, kWlanReasonSuccess)) != connections.codes.end();
            }));
        }

        // The event listener starts the DHCP client; the peer's server leases an address.
        DhcpClient client("wl0");
        ASSERT_TRUE(PollUntil([&] { return client.State() == DhcpState::Bound; }, 20s));
        Netlink netlink;
        std::vector<Ipv4Address> addresses;
        ASSERT_TRUE(netlink.ListAddresses(addresses, pc->IfIndex("wl0")));
        ASSERT_EQ(addresses.size(), 1u);
        EXPECT_EQ(FormatIpv4(addresses[0].address).rfind("10.9.0.1", 0), 0u); // 10.9.0.100-110
        EXPECT_EQ(pc->Shell("ping -c 1 -W 2 10.9.0.1 >/dev/null"), 0);

        WlanAvailableNetworkList* networks = nullptr;
        ASSERT_EQ(Entry<WlanGetAvailableNetworkListFunction>("WlanGetAvailableNetworkList")(
                      handle, &guid, 0, nullptr, &networks),
                  kWlanSuccess);
        ASSERT_EQ(networks->numberOfItems, 1u); // joined, though no scan lists it
        EXPECT_EQ(networks->networks[0].flags, kWlanNetworkConnected | kWlanNetworkHasProfile);
        Entry<WlanFreeMemoryFunction>("WlanFreeMemory")(networks);
        WlanInterfaceInfoList* interfaces = nullptr;
        ASSERT_EQ(Entry<WlanEnumInterfacesFunction>("WlanEnumInterfaces")(handle, nullptr, &interfaces),
                  kWlanSuccess);
        EXPECT_EQ(interfaces->interfaces[0].state, kWlanStateConnected);
        Entry<WlanFreeMemoryFunction>("WlanFreeMemory")(interfaces);

        std::vector<pid_t> pids = ServicePids();
        ASSERT_EQ(pids.size(), 3u); // daemon, listener, DHCP client
        EXPECT_EQ(Entry<WlanCloseHandleFunction>("WlanCloseHandle")(handle, nullptr), kWlanSuccess);
        ASSERT_EQ(WlanService::Stop(), 0u);
        for (pid_t pid : pids)
            EXPECT_FALSE(IsRunning(pid)) << pid;
        EXPECT_EQ(client.State(), DhcpState::Stopped);
    });
}

} // namespace

namespace {

TEST_F(WlanDaemonTest, ASavedNetworkJoinedAtStartGetsItsAddressToo) {
    testsupport::DhcpServer server(*peer, "wlpeer", "10.9.0");
    std::filesystem::create_directories(WlanPaths::Directory());
    ASSERT_TRUE(SaveFileAtomically(WlanPaths::ConfigFile("wl0"),
                                   "ctrl_interface=" + WlanPaths::ControlDirectory() +
                                       "\nupdate_config=1\nnetwork={\n\tssid=\"lab\"\n\tkey_mgmt=NONE\n}\n"));
    testsupport::RunInside(*pc, [&] {
        ASSERT_EQ(WlanService::Start(), 0u);
        EXPECT_TRUE(PollUntil([] { return DhcpClient("wl0").State() == DhcpState::Bound; }, 20s));
        std::vector<pid_t> pids = ServicePids();
        ASSERT_EQ(WlanService::Stop(), 0u);
        for (pid_t pid : pids)
            EXPECT_FALSE(IsRunning(pid)) << pid;
    });
}

} // namespace

namespace {

// The wireless link and the LAN card both on the modem's subnet: once the library has left the
// wireless network, the modem is reached through the LAN card again.
TEST_F(WlanDaemonTest, EveryWayOfLeavingTheNetworkTakesItsAddressAndRoutesOffTheLink) {
    testsupport::DhcpServer server(*peer, "wlpeer", "192.168.1");
    AddVethPair(*pc, "lan0", *peer, "lanpeer", "02:00:00:00:0d:02");
    uint32_t modem = 0;
    ASSERT_TRUE(ParseIpv4("192.168.1.1", modem));
    struct Way {
        const char* what;
        std::function<void(WlanHandle, const WlanGuid&)> leave;
    } ways[] = {
        {"disconnect",
         [](WlanHandle handle, const WlanGuid& guid) {
             EXPECT_EQ(Entry<WlanDisconnectFunction>("WlanDisconnect")(handle, &guid, nullptr), kWlanSuccess);
         }},
        {"profile deleted",
         [](WlanHandle handle, const WlanGuid& guid) {
             std::u16string lab = u"lab";
             EXPECT_EQ(
                 Entry<WlanDeleteProfileFunction>("WlanDeleteProfile")(handle, &guid, lab.c_str(), nullptr),
                 kWlanSuccess);
         }},
        {"service stopped", [](WlanHandle, const WlanGuid&) { EXPECT_EQ(WlanService::Stop(), 0u); }},
    };
    testsupport::RunInside(*pc, [&] {
        Netlink netlink;
        int wireless = pc->IfIndex("wl0"), lan = pc->IfIndex("lan0");
        for (const Way& way : ways) {
            SCOPED_TRACE(way.what);
            ASSERT_EQ(WlanService::Start(), 0u);
            WlanHandle handle = nullptr;
            WlanGuid guid;
            ASSERT_NO_FATAL_FAILURE(OpenOnTheCard(handle, guid));
            std::u16string xml = OpenProfile("lab");
            uint32_t reason = 0;
            ASSERT_EQ(Entry<WlanSetProfileFunction>("WlanSetProfile")(handle, &guid, 0, xml.c_str(), nullptr,
                                                                      1, nullptr, &reason),
                      kWlanSuccess);
            ASSERT_TRUE(PollUntil([] { return DhcpClient("wl0").State() == DhcpState::Bound; }, 20s));
            // The LAN card comes back after the wireless link took the subnet.
            pc->Ip("addr add 192.168.1.50/24 dev lan0");
            pc->Ip("link set lan0 up");

            way.leave(handle, guid);
            std::vector<Ipv4Address> addresses;
            ASSERT_TRUE(netlink.ListAddresses(addresses, wireless));
            EXPECT_TRUE(addresses.empty());
            std::vector<Route> routes;
            ASSERT_TRUE(netlink.ListRoutes(routes));
            for (const Route& route : routes)
                EXPECT_FALSE(route.ifindex == wireless && route.type == RTN_UNICAST)
                    << FormatIpv4(route.destination) << "/" << route.prefixLength;
            std::optional<Route> toModem = netlink.LookupRoute(modem);
            ASSERT_TRUE(toModem);
            EXPECT_EQ(toModem->ifindex, lan);
            EXPECT_EQ(DhcpClient("wl0").Pid(), 0);
            EXPECT_FALSE(DhcpClient("wl0").Lease());

            Entry<WlanCloseHandleFunction>("WlanCloseHandle")(handle, nullptr);
            WlanService::Stop();
            std::filesystem::remove(WlanPaths::ConfigFile("wl0"));
            pc->Ip("addr flush dev lan0");
        }
    });
}

// Every process that runs the daemon on this run directory's socket.
std::vector<pid_t> Supplicants() {
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        pid_t pid = std::atoi(entry.path().filename().c_str());
        std::vector<std::string> words = ProcessCommandLine(pid);
        if (pid > 0 && IsRunning(pid) &&
            std::find(words.begin(), words.end(), WlanPaths::GlobalSocket()) != words.end() &&
            std::find(words.begin(), words.end(), "-g") != words.end())
            found.push_back(pid);
    }
    return found;
}

TEST_F(WlanDaemonTest, ConcurrentStartsRunOneDaemonAndLeaveItsSocketAlone) {
    testsupport::RunInside(*pc, [&] {
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            constexpr int kStarters = 4;
            std::vector<uint32_t> results(kStarters);
            std::latch ready(kStarters);
            std::vector<std::thread> starters;
            for (int i = 0; i < kStarters; ++i)
                starters.emplace_back([&, i] {
                    ready.arrive_and_wait();
                    results[static_cast<size_t>(i)] = WlanService::Start();
                });
            for (std::thread& starter : starters)
                starter.join();
            EXPECT_EQ(std::count(results.begin(), results.end(), 0u), 1);
            EXPECT_EQ(std::count(results.begin(), results.end(), kServiceAlreadyRunning), kStarters - 1);
            std::vector<pid_t> daemons = Supplicants();
            ASSERT_EQ(daemons.size(), 1u);
            EXPECT_EQ(std::atoi(ReadWholeFile(WlanPaths::DaemonPidFile()).value_or("").c_str()), daemons[0]);
            EXPECT_EQ(WlanService::Status().currentState, kServiceRunning);
            uint32_t version = 0;
            WlanHandle handle = nullptr;
            ASSERT_EQ(Entry<WlanOpenHandleFunction>("WlanOpenHandle")(1, nullptr, &version, &handle),
                      kWlanSuccess); // its socket is there
            Entry<WlanCloseHandleFunction>("WlanCloseHandle")(handle, nullptr);

            ASSERT_EQ(WlanService::Stop(), 0u);
            EXPECT_TRUE(Supplicants().empty());
            EXPECT_FALSE(std::filesystem::exists(WlanPaths::DaemonPidFile()));
            EXPECT_FALSE(std::filesystem::exists(WlanPaths::GlobalSocket()));
        }
    });
}

} // namespace
