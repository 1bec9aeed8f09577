// The main view's rules with its window recorded, over the telnet switch on loopback.

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "bench/FakeTelnetSwitch.h"
#include "corvay/view/CCorvayView.h"
#include "engine/log/StringTable.h"
#include "engine/ping/PingFrames.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/prompt/Prompt.h"
#include "tests/corvay/view/CorvayViewRecorder.h"
#include "tests/support/ProcessConfiguration.h"

namespace {

using bench::FakeTelnetSwitch;
using testsupport::CorvayViewRecorder;

std::string Text(unsigned id) {
    return LoadStringId(id).str();
}

std::string Ini(int portCount, int trunk, const char* password = "pw") {
    return "[Switch]\r\nPortCount=" + std::to_string(portCount) + "\r\nTrunkPortNo=" + std::to_string(trunk) +
           "\r\nIp=127.0.0.1\r\nLogin.User=admin\r\nLogin.Password=" + password +
           "\r\nConnectMode=TCPIP\r\nSerial=1\r\n";
}

// The view over a fake telnet switch, with every box recorded.
struct ViewFixture {
    explicit ViewFixture(int portCount = 6, int trunk = 6, const char* password = "pw")
        : config(Ini(portCount, trunk, password)), fake("admin", "pw", portCount) {
        EXPECT_TRUE(fake.Start());
        SwitchManager2::DeleteInstance();
        SetTestingFlag(false);
    }
    ~ViewFixture() {
        view.reset();
        SwitchManager2::DeleteInstance();
        SetTestingFlag(false);
    }
    CCorvayView& Make(CCorvayView::Options options = {}) {
        options.telnetPort = fake.GetTcpPort();
        options.telnetGuardMs = 300;
        view = std::make_unique<CCorvayView>(window, std::move(options));
        return *view;
    }
    // Shown and filled from the switch.
    CCorvayView& Shown(CCorvayView::Options options = {}) {
        Make(std::move(options)).OnInitialUpdate();
        window.Pump(*view);
        return *view;
    }
    std::vector<std::string> BoxTexts() const { return testsupport::BoxTexts(prompts); }
    std::vector<std::string> RowPorts() const {
        std::vector<std::string> ports;
        for (const auto& r : window.rows)
            ports.push_back(r.port);
        return ports;
    }

    testsupport::ProcessConfiguration config;
    FakeTelnetSwitch fake;
    platform::RecordingPromptService prompts;
    platform::ScopedPromptService scoped{prompts};
    CorvayViewRecorder window;
    std::unique_ptr<CCorvayView> view;
};

TEST(CorvayView, ShowsColumnsIconsTitleAndOneRowPerModemPort) {
    ViewFixture f;
    f.fake.SetSwitchPort(1, {true, true, 2});
    f.fake.SetSwitchPort(2, {false, false, 3});
    CCorvayView& view = f.Shown();
    EXPECT_EQ(f.window.headings, (std::vector<std::string>{"序号", "Modem信息", "测试进展与结果"}));
    EXPECT_EQ(f.window.images, (std::vector<int>{135, 136, 138, 137, 147, 148, 151, 150, 161, 162}));
    EXPECT_EQ(f.window.Title(), "Corvay");
    EXPECT_EQ(f.window.splashCloses, 1);
    // Trunk last: PortCount - 1 rows; link up 1, down 0.
    EXPECT_EQ(f.RowPorts(), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(f.window.rows[0].image, 1);
    // The disabled port is enabled on the switch before the list is filled.
    EXPECT_TRUE(f.fake.GetSwitchPort(2).enabled);
    EXPECT_EQ(f.window.rows[1].image, 0);
    EXPECT_EQ(f.window.rows[2].image, 0);
    EXPECT_TRUE(f.prompts.Boxes().empty());
    EXPECT_EQ(f.window.cursor, 0);
    (void)view;
}

TEST(CorvayView, RowsKnowTheirPortsWithTheTrunkAnywhere) {
    struct Case {
        int trunk;
        std::vector<std::string> rows;
        int updatedPort;
        int expectedRow;
    } cases[] = {
        {6, {"1", "2", "3", "4", "5"}, 5, 4},
        {3, {"1", "2", "4", "5", "6"}, 5, 3},
        {1, {"2", "3", "4", "5", "6"}, 6, 4},
    };
    for (const Case& c : cases) {
        ViewFixture f(6, c.trunk);
        CCorvayView& view = f.Shown();
        ASSERT_EQ(f.RowPorts(), c.rows) << c.trunk;
        view.GetTestInfo(c.updatedPort)->Update([](TestInfo::Data& d) { d.Modem.FirmwareVersion = "V1.0"; });
        view.OnMessage(WM_PORT_UPDATED, c.updatedPort, 0, 0);
        for (int row = 0; row < 5; ++row)
            EXPECT_EQ(f.window.rows[row].image, row == c.expectedRow ? 3 : 0) << c.trunk << " row " << row;
        // The trunk and a port outside the list have no row: nothing changes.
        const auto before = f.window.rows;
        view.GetTestInfo(c.trunk)->Update([](TestInfo::Data& d) { d.Modem.FirmwareVersion = "V1.0"; });
        view.OnMessage(WM_PORT_UPDATED, c.trunk, 0, 0);
        view.OnMessage(WM_PORT_UPDATED, 99, 0, 0);
        view.OnMessage(WM_PORT_UPDATED, 0, 0, 0);
        for (int row = 0; row < 5; ++row)
            EXPECT_EQ(f.window.rows[row].image, before[row].image);
    }
}

TEST(CorvayView, RowIconFromTheSwitchsPortNews) {
    struct Case {
        int link, enable;
        const char* version;
        bool wifi;
        int s, f;
        int icon;
    } cases[] = {
        {1, 1, "", false, 0, 0, 1}, {1, 1, "V1", false, 0, 0, 3}, {1, 1, "V1", true, 19, 1, 9},
        {1, 1, "", true, 20, 0, 8}, {1, 1, "", true, 96, 4, 8},   {1, 1, "", true, 95, 5, 9},
        {1, 1, "", true, 0, 0, 9},  {2, 1, "V1", false, 0, 0, 3}, {2, 2, "", false, 0, 0, 2},
        {2, 1, "", false, 0, 0, 0}, {2, 2, "", true, 20, 0, 2},   {0, 1, "V1", false, 0, 0, -7},
    };
    ViewFixture f;
    CCorvayView& view = f.Shown();
    for (const Case& c : cases) {
        f.window.rows[0].image = -7;
        view.GetTestInfo(1)->Update([&](TestInfo::Data& d) {
            d.Modem.FirmwareVersion = c.version;
            d.Wifi = WifiTestResult();
            d.Wifi.HasResult = c.wifi;
            d.Wifi.SuccessCount = c.s;
            d.Wifi.FailureCount = c.f;
        });
        const SwitchPort port(1, c.enable, c.link, 2);
        view.OnMessage(CCorvayView::WM_SWITCH_NOTIFY, SwitchSubject::PortLinkUpDownNotify,
                       CCorvayView::PackPort(port), 0);
        EXPECT_EQ(f.window.rows[0].image, c.icon) << c.link << c.enable << c.version << c.s << "/" << c.f;
        // The enable news count only during a test.
        f.window.rows[0].image = -7;
        view.OnMessage(CCorvayView::WM_SWITCH_NOTIFY, SwitchSubject::PortEnDisableNotify,
                       CCorvayView::PackPort(port), 0);
        EXPECT_EQ(f.window.rows[0].image, -7);
        SetTestingFlag(true);
        view.OnMessage(CCorvayView::WM_SWITCH_NOTIFY, SwitchSubject::PortEnDisableNotify,
                       CCorvayView::PackPort(port), 0);
        SetTestingFlag(false);
        EXPECT_EQ(f.window.rows[0].image, c.icon);
        // Only the icon changes.
        EXPECT_EQ(f.window.rows[0].port, "1");
    }
}

TEST(CorvayView, UpdateRowByModePingStateVerdictAndRates) {
    const DslamConfig dslam;
    enum Ping { NotRun, Running, Passed, Failed };
    enum Result { None, Progress, PingPassed, RateText, PingText, RateAndPing, WifiText };
    struct Case {
        int mode;
        Ping ping;
        bool rateOk;
        int icon;
        Result result;
    } cases[] = {
        {0, NotRun, true, 3, None},        {0, Running, true, 3, Progress},
        {0, Passed, true, 5, PingPassed},  {0, Passed, false, 6, RateText},
        {0, Failed, true, 7, PingText},    {0, Failed, false, 4, RateAndPing},
        {1, Passed, false, 5, PingPassed}, {1, Failed, true, 4, PingText},
        {2, Failed, false, 4, PingText},   {5, Passed, false, 5, PingPassed},
        {3, NotRun, true, 3, WifiText},    {3, Passed, true, 5, PingPassed},
        {4, Failed, false, 3, None},
    };
    for (const Case& c : cases) {
        ViewFixture f;
        CCorvayView& view = f.Shown();
        TestInfo& info = *view.GetTestInfo(2);
        info.Update([&](TestInfo::Data& d) {
            d.TestMode = c.mode;
            d.Modem.FirmwareVersion = "V1.0";
            d.Modem.Model = "CV-100";
            d.Modem.UpRate = c.rateOk ? 100000 : 1;
            d.Modem.DownRate = c.rateOk ? 100000 : 1;
            d.Ping.State = c.ping == NotRun ? 0 : c.ping == Running ? 1 : 2;
            d.Ping.Percent = 40;
            d.Ping.Remaining = 12;
            d.Ping.BigPingCount = d.Ping.SmallPingCount = d.Ping.BigPingReplyCount =
                d.Ping.SmallPingReplyCount = 100;
            const int got = c.ping == Failed ? 50 : 100;
            d.Ping.BigPingRecvCount = d.Ping.SmallPingRecvCount = got;
            d.Ping.BigPingReplyRecvCount = d.Ping.SmallPingReplyRecvCount = got;
            d.Wifi.HasResult = c.mode == 3;
            d.Wifi.SuccessCount = 19;
            d.Wifi.FailureCount = 1;
        });
        ASSERT_EQ(info.Get().Modem.IsRateOk(dslam), c.rateOk);
        view.OnMessage(WM_PORTS_REFRESH, 0, 0, 0);
        const TestInfo::Data d = info.Get();
        PingStatistics ping = d.Ping;
        std::string expected;
        switch (c.result) {
        case None:
            expected = "";
            break;
        case Progress:
            expected = ping.GetProgressText().str();
            break;
        case PingPassed:
            expected = Text(28);
            break;
        case RateText:
            expected = d.Modem.GetRateCheckText(dslam).str();
            break;
        case PingText:
            expected = d.Ping.GetResultText().str();
            break;
        case RateAndPing:
            expected = (d.Modem.GetRateCheckText(dslam) + ";" + d.Ping.GetResultText()).str();
            break;
        case WifiText:
            expected = d.Wifi.ToText().str();
            break;
        }
        if (c.mode == 4)
            expected = info.GetResultText(dslam).str();
        const auto& row = f.window.rows[1];
        EXPECT_EQ(row.image, c.icon) << c.mode << " " << c.ping << " " << c.rateOk;
        EXPECT_EQ(row.result, expected) << c.mode << " " << c.ping << " " << c.rateOk;
        EXPECT_EQ(row.info, d.Modem.GetSummaryText().str());
        EXPECT_FALSE(row.info.empty());
    }
}

TEST(CorvayView, SwitchNotificationsFromTheConsoleThreadArePostedThenShown) {
    struct Case {
        int type;
        std::vector<std::string> boxes;
        std::vector<std::string> dialogs;
        int closes;
        int splashCloses;
    } cases[] = {
        {4, {}, {}, 0, 0},
        {5, {}, {}, 0, 0},
        {6, {"串口1被其他应用占用，请关闭其他使用串口的软件后重启本软件。"}, {}, 1, 1},
        {7, {Text(15)}, {}, 0, 1},
        {8, {Text(14)}, {"SwitchConfigDlg"}, 0, 1},
        {9, {Text(16)}, {}, 0, 1},
        {10, {}, {}, 0, 0},
        {42, {}, {}, 0, 0},
    };
    for (const Case& c : cases) {
        ViewFixture f;
        CCorvayView& view = f.Make();
        auto* subject = static_cast<SwitchSubject*>(view.GetSwitchManager());
        subject->SetNotifyType(c.type);
        std::thread console([&] { view.Update(subject); });
        console.join();
        // Nothing shown on the console's thread: only the type (and port) posted.
        ASSERT_EQ(f.window.Queued().size(), 1u) << c.type;
        EXPECT_EQ(f.window.Queued()[0].message, CCorvayView::WM_SWITCH_NOTIFY);
        EXPECT_EQ(f.window.Queued()[0].wParam, static_cast<uintptr_t>(c.type));
        EXPECT_TRUE(f.prompts.Boxes().empty());
        f.window.Pump(view);
        EXPECT_EQ(f.BoxTexts(), c.boxes) << c.type;
        EXPECT_EQ(f.window.dialogs, c.dialogs) << c.type;
        EXPECT_EQ(f.window.closes, c.closes) << c.type;
        EXPECT_EQ(f.window.splashCloses, c.splashCloses) << c.type;
    }
}

TEST(CorvayView, ColumnWidthsNeverBelowOnePixel) {
    struct Case {
        int width, percent, info, result;
    } cases[] = {
        {800, 50, 400, 350}, {1000, 30, 300, 650}, {100, 50, 50, 1},
        {0, 50, 1, 1},       {10, 90, 9, 1},       {600, 0, 1, 549},
    };
    for (const Case& c : cases) {
        ViewFixture f;
        SystemConfig system = f.config->GetSystemConfig();
        system.ModemInfoColumWidth = c.percent;
        f.config->SetSystemConfig(system);
        CCorvayView& view = f.Make();
        f.window.clientWidth = c.width;
        view.OnSize();
        EXPECT_EQ(f.window.widths, (std::vector<int>{50, c.info, c.result})) << c.width << " " << c.percent;
    }
}

TEST(CorvayView, RefreshErrorsShowTheirTextAndLeaveTheViewIdle) {
    struct Case {
        const char* password;
        FakeTelnetSwitch::Behaviour behaviour;
        bool stopped;
        unsigned text;
    } cases[] = {
        {"wrong", FakeTelnetSwitch::Behaviour::Normal, false, 14},
        {"pw", FakeTelnetSwitch::Behaviour::Silent, false, 16},
        {"pw", FakeTelnetSwitch::Behaviour::Normal, true, 16},
        {"pw", FakeTelnetSwitch::Behaviour::TooManyClients, false, 15},
    };
    for (const Case& c : cases) {
        ViewFixture f(6, 6, c.password);
        f.fake.SetBehaviour(c.behaviour);
        CCorvayView& view = f.Make();
        if (c.stopped)
            f.fake.Stop();
        view.OnInitialUpdate();
        EXPECT_EQ(f.BoxTexts(), std::vector<std::string>{Text(c.text)}) << c.text;
        EXPECT_TRUE(f.window.rows.empty());
        EXPECT_EQ(f.window.cursor, 0);
        EXPECT_EQ(f.window.splashCloses, 1);
        EXPECT_FALSE(view.IsTesting());
    }
}

TEST(CorvayView, StartWithoutCardsFailsAndPutsTheTitleBackByMode) {
    struct Case {
        int command;
        int mode;
        const char* title;
    } cases[] = {
        {CCorvayView::ID_START_STANDARD, 0, "Corvay"},
        {CCorvayView::ID_START_BURNIN, 1, "Corvay"},
        {CCorvayView::ID_START_PING, 2, "Corvay"},
        {CCorvayView::ID_START_WIFI, 3, "Corvay-无线功能测试"},
        {CCorvayView::ID_START_UPGRADE, 4, "Corvay-版本升级"},
        {CCorvayView::ID_START_SIMPLE, 5, "Corvay-简化测试"},
    };
    for (const Case& c : cases) {
        ViewFixture f;
        CCorvayView& view = f.Shown();
        EXPECT_TRUE(view.OnCommand(c.command));
        EXPECT_EQ(f.BoxTexts(), std::vector<std::string>{Text(41)});
        EXPECT_EQ(f.window.Title(), c.title);
        EXPECT_EQ(view.GetMode(), c.mode);
        EXPECT_FALSE(view.IsTesting());
        EXPECT_FALSE(view.HasTester());
        EXPECT_EQ(f.window.cursor, 0);
        EXPECT_TRUE(f.window.screenSaver);
    }
}

TEST(CorvayView, MessagesOfAnotherJobAreDropped) {
    ViewFixture f;
    CCorvayView& view = f.Shown();
    view.GetTestInfo(1)->Update([](TestInfo::Data& d) { d.Modem.FirmwareVersion = "V1"; });
    view.PostViewMessage(WM_PORT_UPDATED, 1, 0, 777);
    view.PostViewMessage(WM_PORTS_REFRESH, 0, 0, 777);
    view.PostViewMessage(WM_TEST_FINISHED, 0, 0, 777);
    view.SignalTestEnded(777);
    f.window.Pump(view);
    EXPECT_EQ(f.window.delivered.size(), 4u);
    EXPECT_EQ(f.window.rows[0].image, 0);
    EXPECT_TRUE(f.prompts.Boxes().empty());
}

TEST(CorvayView, CommandRulesFollowTheTestingFlag) {
    ViewFixture f;
    CCorvayView& view = f.Shown();
    const int idle[] = {32808, 32826, 32819, 32823, 32836, 32852, 32850, 32829, 32781,
                        32793, 32794, 32795, 32797, 32798, 32799, 32800, 32805, 57665};
    for (bool testing : {false, true}) {
        SetTestingFlag(testing);
        bool enabled = false;
        for (int id : idle) {
            ASSERT_TRUE(view.UpdateCommand(id, enabled)) << id;
            EXPECT_EQ(enabled, !testing) << id;
        }
        ASSERT_TRUE(view.UpdateCommand(32783, enabled));
        EXPECT_EQ(enabled, testing);
        // No rule: the web management of the context menu, the model list, others.
        for (int id : {32835, 32848, 57670, 1})
            EXPECT_FALSE(view.UpdateCommand(id, enabled)) << id;
    }
    SetTestingFlag(false);
    EXPECT_TRUE(view.OnCommand(32848));
    EXPECT_EQ(f.window.dialogs, std::vector<std::string>{"DeviceDlg"});
    EXPECT_FALSE(view.OnCommand(32793));
}

TEST(CorvayView, DoubleClickAndContextMenuOnLinkedRowsOnly) {
    ViewFixture f;
    f.fake.SetSwitchPort(1, {true, true, 2});
    f.fake.SetSwitchPort(3, {true, true, 4});
    CCorvayView& view = f.Shown();
    struct Case {
        int selected;
        bool testing;
        std::vector<std::string> dialogs;
    } cases[] = {
        {-1, false, {"ResultDlg 1"}}, // none selected: row 0
        {2, false, {"ResultDlg 3", "menu 4"}},
        {1, false, {}}, // no link
        {2, true, {}},
    };
    for (const Case& c : cases) {
        f.window.dialogs.clear();
        f.window.selected = c.selected;
        SetTestingFlag(c.testing);
        view.OnDoubleClick();
        view.OnContextMenu();
        SetTestingFlag(false);
        EXPECT_EQ(f.window.dialogs, c.dialogs) << c.selected;
    }
}

TEST(CorvayView, WebManagementFindsTheModemsAddress) {
    struct Case {
        const char* version;
        std::vector<std::string> answering;
        int selected;
        std::vector<std::string> pinged;
        std::string dialog;
        std::vector<std::string> boxes;
    } cases[] = {
        {"V1.0", {"192.168.1.1"}, -1, {}, "MyIE http://192.168.1.77", {}},
        {"",
         {"192.168.2.1", "192.168.0.1"},
         0,
         {"192.168.1.1", "192.168.2.1"},
         "MyIE http://192.168.2.1",
         {}},
        {"",
         {"192.168.0.1"},
         0,
         {"192.168.1.1", "192.168.2.1", "192.168.0.1"},
         "MyIE http://192.168.0.1",
         {}},
        {"", {}, 0, {"192.168.1.1", "192.168.2.1", "192.168.0.1"}, "", {Text(58)}},
        {"V1.0", {}, 1, {}, "", {Text(57)}},
    };
    for (const Case& c : cases) {
        ViewFixture f;
        f.fake.SetSwitchPort(1, {true, true, 2});
        std::vector<std::string> pinged;
        int arpClears = 0;
        CCorvayView::Options options;
        options.timeScale = 100;
        options.ping = [&](const CString& ip, int timeoutMs) {
            EXPECT_EQ(timeoutMs, 3000);
            pinged.push_back(ip.str());
            return std::find(c.answering.begin(), c.answering.end(), ip.str()) != c.answering.end();
        };
        options.clearArp = [&] { ++arpClears; };
        CCorvayView& view = f.Shown(options);
        view.GetTestInfo(1)->Update([&](TestInfo::Data& d) {
            d.Modem.FirmwareVersion = c.version;
            d.Modem.IpAddress = "192.168.1.77";
        });
        f.window.selected = c.selected;
        EXPECT_TRUE(view.OnCommand(CCorvayView::ID_WEB_MANAGE_MENU));
        EXPECT_EQ(pinged, c.pinged);
        EXPECT_EQ(f.BoxTexts(), c.boxes);
        if (c.selected == 1) {
            EXPECT_TRUE(f.window.dialogs.empty());
            continue;
        }
        std::vector<std::string> dialogs{"WaitingDlg " + Text(59) + " 100"};
        if (!c.dialog.empty())
            dialogs.push_back(c.dialog);
        EXPECT_EQ(f.window.dialogs, dialogs);
        EXPECT_EQ(arpClears, 1);
        // Every port enabled again afterwards.
        for (int p = 1; p <= 6; ++p)
            EXPECT_TRUE(f.fake.GetSwitchPort(p).enabled) << p;
        EXPECT_EQ(f.window.cursor, 0);
    }
    // While testing nothing happens.
    ViewFixture f;
    f.fake.SetSwitchPort(1, {true, true, 2});
    CCorvayView& view = f.Shown();
    SetTestingFlag(true);
    view.OnCommand(CCorvayView::ID_WEB_MANAGE);
    SetTestingFlag(false);
    EXPECT_TRUE(f.window.dialogs.empty());
    EXPECT_TRUE(f.prompts.Boxes().empty());
}

} // namespace
