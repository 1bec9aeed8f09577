// The main view in a real frame with menu 128, tool bar 128 and the keys of the pack, over the
// telnet switch on loopback: rows, real keys, a double click and a start refused for want of
// cards.

#include <gtest/gtest.h>

#include "bench/FakeTelnetSwitch.h"
#include "corvay/view/CorvayViewBinding.h"
#include "engine/log/StringTable.h"
#include "engine/ping/PingFrames.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Application.h"
#include "platform/ui/WindowPrompts.h"
#include "tests/corvay/view/ViewFrame.h"
#include "tests/support/ProcessConfiguration.h"
#include "tests/support/UiTestDriver.h"

namespace {

using platform::ui::CallOnUiThread;
using platform::ui::CallOnUiThreadFor;

const char* kIni = "[Switch]\r\nPortCount=6\r\nTrunkPortNo=6\r\nIp=127.0.0.1\r\nLogin.User=admin\r\n"
                   "Login.Password=pw\r\nConnectMode=TCPIP\r\n";

TEST(CorvayViewWindow, RowsKeysDoubleClickAndARefusedStart) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    testsupport::ProcessConfiguration config(kIni);
    bench::FakeTelnetSwitch fake("admin", "pw", 6);
    fake.SetSwitchPort(1, {true, true, 2});
    fake.SetSwitchPort(3, {true, true, 4});
    fake.SetSwitchPort(4, {false, false, 5});
    ASSERT_TRUE(fake.Start());
    SwitchManager2::DeleteInstance();
    // The manager outlives the view, as the frame deletes it last.
    struct ManagerGone {
        ~ManagerGone() { SwitchManager2::DeleteInstance(); }
    } managerGone;
    CCorvayView::Options options;
    options.telnetPort = fake.GetTcpPort();
    options.telnetGuardMs = 500;
    platform::ui::Frame frame;
    CorvayViewBinding binding(frame, options);
    platform::ui::WindowPrompts prompts;
    ui.Run([&] {
        platform::SetPromptService(&prompts);
        ASSERT_TRUE(CallOnUiThreadFor([&] { return OpenViewFrame(frame, binding); }));
        ui.Settle(200);
        CallOnUiThread([&] { binding.View().OnInitialUpdate(); });
        auto& list = binding.List();
        EXPECT_EQ(CallOnUiThreadFor([&] { return list.GetItemCount(); }), 5);
        EXPECT_EQ(CallOnUiThreadFor([&] { return list.GetItemImage(0); }), 1);
        EXPECT_EQ(CallOnUiThreadFor([&] { return list.GetItemImage(1); }), 0);
        EXPECT_EQ(CallOnUiThreadFor([&] { return list.GetColumnHeading(2); }).str(), "测试进展与结果");
        EXPECT_EQ(ui.ActiveCaption(), "Corvay");

        // A job's news, posted from another thread, reaches its row.
        TestInfo* info = binding.View().GetTestInfo(3);
        info->Update([](TestInfo::Data& d) {
            d.Modem.FirmwareVersion = "V1.0";
            d.Modem.Model = "CV-100";
            d.Modem.IpAddress = "192.168.1.1";
            d.Modem.DslStatus = 1;
            d.Modem.UpRate = 512;
            d.Modem.DownRate = 4064;
            d.Ping.State = 1;
            d.Ping.Percent = 40;
            d.Ping.Remaining = 120;
        });
        std::thread([&] { binding.View().PostViewMessage(WM_PORT_UPDATED, 3, 0, 0); }).join();
        ASSERT_TRUE(
            ui.WaitUntil([&] { return CallOnUiThreadFor([&] { return list.GetItemImage(2); }) == 3; }));
        EXPECT_FALSE(CallOnUiThreadFor([&] { return list.GetItemText(2, 2); }).IsEmpty());
        CallOnUiThread([&] { frame.UpdateCommands(); });
        EXPECT_TRUE(CallOnUiThreadFor([&] { return frame.IsCommandEnabled(32826); }));
        EXPECT_FALSE(CallOnUiThreadFor([&] { return frame.IsCommandEnabled(32783); }));
        ui.Screenshot("CorvayView_rows");

        // F2 pressed for real refreshes from the switch: port 4 was enabled at the first read.
        const int served = static_cast<int>(fake.Received().size());
        ui.Key(0x71);
        EXPECT_TRUE(fake.WaitForServed(served + 1));
        EXPECT_TRUE(fake.GetSwitchPort(4).enabled);

        // A double click on the linked row opens its result.
        platform::ui::Rect row = CallOnUiThreadFor([&] { return list.GetItemRect(2); });
        ui.ClickAt(row.left + 20, (row.top + row.bottom) / 2, 1, true);
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == u8"测试结果"; })) << ui.ActiveCaption();
        ui.Screenshot("CorvayView_result");
        EXPECT_EQ(ui.Text(1019), "3");
        ASSERT_TRUE(ui.Click(2));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "Corvay"; }));
        // Below the rows: no row is chosen, so row 0 (port 1, linked) opens.
        platform::ui::Rect last = CallOnUiThreadFor([&] { return list.GetItemRect(4); });
        ui.ClickAt(last.left + 20, last.bottom + 60, 1, true);
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == u8"测试结果"; })) << ui.ActiveCaption();
        EXPECT_EQ(ui.Text(1019), "1");
        ui.Screenshot("CorvayView_result_below_rows");
        ASSERT_TRUE(ui.Click(2));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "Corvay"; }));

        // F3: no cards configured, the start is refused with its box; the title goes back.
        ui.Key(0x72);
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() != "Corvay"; })) << ui.ActiveCaption();
        ui.Settle(300);
        ui.Screenshot("CorvayView_refused_start");
        EXPECT_TRUE(ui.ClickAnswer(platform::kIdOk));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "Corvay"; })) << ui.ActiveCaption();
        EXPECT_FALSE(IsTestingFlagSet());
        platform::SetPromptService(nullptr);
    });
}

} // namespace
