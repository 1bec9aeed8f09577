#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "bench/WpaSocketServer.h"
#include "platform/wifi/WpaControl.h"
#include "platform/wifi/WpaText.h"
#include "tests/support/TempDir.h"

using namespace std::chrono_literals;
using platform::WpaControl;

namespace {

class WpaCtrlTest : public ::testing::Test {
protected:
    testsupport::TempDir dir{"wpa-ctrl"};
    std::string Path() const { return (dir / "wl0").string(); }
};

TEST_F(WpaCtrlTest, RepliesAndInterleavedEventsAreKeptApart) {
    bench::WpaSocketServer fake(Path(), [](const std::string& request) -> std::optional<std::string> {
        if (request == "PING")
            return "PONG\n";
        if (request == "STATUS")
            return "wpa_state=COMPLETED\nssid=lab\n";
        return "UNKNOWN COMMAND\n";
    });
    WpaControl control(Path());
    ASSERT_TRUE(control.Open()) << control.Error();
    EXPECT_EQ(control.Request("PING"), "PONG\n");
    ASSERT_TRUE(control.Attach());
    fake.EventBeforeNextReply("<3>CTRL-EVENT-SCAN-STARTED ");
    EXPECT_EQ(control.Request("STATUS"), "wpa_state=COMPLETED\nssid=lab\n");
    EXPECT_EQ(control.NextEvent(1s), "<3>CTRL-EVENT-SCAN-STARTED ");
    fake.SendEvent("<3>CTRL-EVENT-CONNECTED - Connection to 02:00:00:00:00:01 completed [id=0 id_str=]");
    auto event = platform::ParseWpaEvent(*control.NextEvent(1s));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->level, 3);
    EXPECT_TRUE(event->Is("CTRL-EVENT-CONNECTED"));
    EXPECT_EQ(event->Value("id"), "0");
    EXPECT_FALSE(control.NextEvent(50ms)); // nothing more
}

TEST_F(WpaCtrlTest, SilentDaemonTimesOutAndALateReplyIsNotTakenForTheNext) {
    bench::WpaSocketServer fake(Path(), [](const std::string& request) -> std::optional<std::string> {
        if (request == "SCAN_RESULTS") {
            std::this_thread::sleep_for(300ms);
            return "late\n";
        }
        if (request == "PING")
            return "PONG\n";
        return std::nullopt; // never answers
    });
    WpaControl control(Path());
    ASSERT_TRUE(control.Open());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(control.Request("TERMINATE", 200ms));
    EXPECT_EQ(control.Error(), ETIMEDOUT);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 190ms);
    EXPECT_LT(took, 1s);

    EXPECT_FALSE(control.Request("SCAN_RESULTS", 100ms));
    std::this_thread::sleep_for(400ms); // the late reply is in the socket by now
    EXPECT_EQ(control.Request("PING"), "PONG\n");
}

TEST_F(WpaCtrlTest, StopEndsWaitsAtOnceFromAnotherThread) {
    bench::WpaSocketServer fake(Path(), [](const std::string&) { return std::optional<std::string>(); });
    WpaControl control(Path());
    ASSERT_TRUE(control.Open());
    ASSERT_TRUE(control.Attach());
    std::chrono::steady_clock::duration waited{};
    std::thread waiter([&] {
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(control.NextEvent(10s));
        waited = std::chrono::steady_clock::now() - start;
    });
    std::this_thread::sleep_for(100ms);
    control.Stop();
    waiter.join();
    EXPECT_LT(waited, 2s);
    EXPECT_FALSE(control.Request("PING", 5s)); // stopped: no wait at all
}

TEST_F(WpaCtrlTest, ARequestToADaemonThatWentAwayFailsAtOnce) {
    WpaControl control(Path());
    {
        bench::WpaSocketServer fake(Path(), [](const std::string&) { return "PONG\n"; });
        ASSERT_TRUE(control.Open());
        ASSERT_TRUE(control.Attach());
    }
    // Nothing tells a datagram client that its server went; a request does.
    EXPECT_FALSE(control.NextEvent(100ms));
    EXPECT_EQ(control.Error(), ETIMEDOUT);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(control.Request("PING", 5s));
    EXPECT_NE(control.Error(), ETIMEDOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST_F(WpaCtrlTest, OpenFailsWhereNobodyListens) {
    WpaControl control(Path());
    EXPECT_FALSE(control.Open());
    EXPECT_EQ(control.Error(), ENOENT);
    EXPECT_FALSE(control.Request("PING", 10ms));
}

TEST(WpaCtrlText, RequestsAreLoggedWithKeysMasked) {
    struct Case {
        const char* request;
        const char* logged;
    } cases[] = {
        {"SET_NETWORK 0 psk \"secret12\"", "SET_NETWORK 0 psk *"},
        {"SET_NETWORK 3 wep_key0 \"abcde\"", "SET_NETWORK 3 wep_key0 *"},
        {"SET_NETWORK 1 password \"x\"", "SET_NETWORK 1 password *"},
        {"SET_NETWORK 0 ssid 6c6162", "SET_NETWORK 0 ssid 6c6162"},
        {"SCAN", "SCAN"},
    };
    std::vector<std::string> logged;
    platform::SetWpaRequestLog([&](const std::string& line) { logged.push_back(line); });
    testsupport::TempDir dir("wpa-log");
    bench::WpaSocketServer fake((dir / "s").string(), [](const std::string&) { return "OK\n"; });
    WpaControl control((dir / "s").string());
    ASSERT_TRUE(control.Open());
    for (const Case& c : cases) {
        EXPECT_EQ(platform::MaskWpaRequest(c.request), c.logged);
        control.Request(c.request);
    }
    platform::SetWpaRequestLog(nullptr);
    ASSERT_EQ(logged.size(), std::size(cases));
    for (size_t i = 0; i < logged.size(); ++i)
        EXPECT_EQ(logged[i], cases[i].logged);
    for (const std::string& request : fake.Requests())
        EXPECT_EQ(request.find("***"), std::string::npos); // the daemon gets the real values
    EXPECT_EQ(fake.Requests()[0], cases[0].request);
}

std::string BssEntry(int id, const std::string& bssid, int freq, int level, const std::string& flags,
                     const std::string& ssid, const char* end = "====") {
    return "id=" + std::to_string(id) + "\nbssid=" + bssid + "\nfreq=" + std::to_string(freq) +
           "\nlevel=" + std::to_string(level) + "\nflags=" + flags + "\nssid=" + ssid + "\n" + end + "\n";
}

TEST(WpaCtrlText, BssPagesDecodeEscapedGbkAndHiddenNames) {
    std::string reply = BssEntry(0, "02:00:00:00:00:01", 2412, -40, "[WPA2-PSK-CCMP][ESS]", "lab") +
                        BssEntry(3, "02:00:00:00:00:02", 2437, -71, "[WPA-PSK-TKIP][ESS]", "a\\\"b\\\\c") +
                        BssEntry(4, "02:00:00:00:00:03", 5180, -55, "[ESS]", "\\xb2\\xe2\\xca\\xd4") +
                        BssEntry(7, "02:00:00:00:00:04", 2462, -90, "[WEP][ESS]", "") +
                        BssEntry(8, "02:00:00:00:00:05", 2462, -80, "[ESS]", "\\x00\\x00");
    platform::WpaBssPage page = platform::ParseBssPage(reply);
    EXPECT_FALSE(page.last);
    ASSERT_EQ(page.entries.size(), 5u);
    EXPECT_EQ(page.entries[0].id, 0);
    EXPECT_EQ(page.entries[0].bssid, "02:00:00:00:00:01");
    EXPECT_EQ(page.entries[0].frequency, 2412);
    EXPECT_EQ(page.entries[0].signal, -40);
    EXPECT_EQ(page.entries[0].flags, "[WPA2-PSK-CCMP][ESS]");
    EXPECT_EQ(page.entries[0].ssid, "lab");
    EXPECT_EQ(page.entries[1].id, 3);
    EXPECT_EQ(page.entries[1].ssid, "a\"b\\c");
    EXPECT_EQ(page.entries[2].ssid, "\xb2\xe2\xca\xd4"); // GBK bytes as they were sent
    EXPECT_EQ(page.entries[3].ssid, "");
    EXPECT_EQ(page.entries[4].ssid, std::string(2, '\0'));

    // The table's last entry ends the reading; an entry without its end is not taken.
    page = platform::ParseBssPage(BssEntry(9, "02:00:00:00:00:06", 2412, -60, "[ESS]", "x", "####"));
    EXPECT_TRUE(page.last);
    ASSERT_EQ(page.entries.size(), 1u);
    EXPECT_EQ(page.entries[0].id, 9);
    page = platform::ParseBssPage(BssEntry(1, "02:00:00:00:00:07", 2412, -60, "[ESS]", "y") +
                                  "id=2\nbssid=02:0");
    ASSERT_EQ(page.entries.size(), 1u);
    EXPECT_EQ(page.entries[0].id, 1);
    EXPECT_TRUE(platform::ParseBssPage("").entries.empty());
}

TEST(WpaCtrlText, NetworksStatusAndValues) {
    // The daemon cuts a long reply, in the middle of a line.
    auto networks = platform::ParseListNetworks("network id / ssid / bssid / flags\n"
                                                "0\tlab\tany\t[CURRENT]\n"
                                                "1\t\\xb2\\xe2\tany\t[DISABLED]\n"
                                                "2\t\tany\t\n"
                                                "3\tcut\tany\t[DISA");
    ASSERT_EQ(networks.size(), 3u);
    EXPECT_EQ(networks[0].id, 0);
    EXPECT_EQ(networks[0].flags, "[CURRENT]");
    EXPECT_EQ(networks[1].ssid, "\xb2\xe2");
    EXPECT_EQ(networks[2].ssid, "");

    auto status = platform::ParseWpaKeyValues("bssid=02:00:00:00:00:01\nssid=a=b\nwpa_state=COMPLETED\n");
    EXPECT_EQ(status["ssid"], "a=b");
    EXPECT_EQ(status["wpa_state"], "COMPLETED");

    struct Case {
        const char* reply;
        std::optional<std::string> text, value;
    } cases[] = {
        {"\"lab\"", "lab", "\"lab\""},          {"6c6162", "lab", "6c6162"},
        {"WPA-PSK", std::nullopt, "WPA-PSK"},   {"12", "\x12", "12"},
        {"FAIL\n", std::nullopt, std::nullopt}, {"", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::ParseNetworkText(c.reply), c.text) << c.reply;
        EXPECT_EQ(platform::ParseNetworkValue(c.reply), c.value) << c.reply;
    }
    EXPECT_FALSE(platform::ParseWpaEvent("OK\n"));
    auto event = platform::ParseWpaEvent("<4>CTRL-EVENT-DISCONNECTED bssid=02:00:00:00:00:01 reason=3\n");
    ASSERT_TRUE(event);
    EXPECT_EQ(event->Value("reason"), "3");
    EXPECT_EQ(event->Value("bssid"), "02:00:00:00:00:01");
    EXPECT_EQ(event->Value("locally_generated"), "");
}

} // namespace
