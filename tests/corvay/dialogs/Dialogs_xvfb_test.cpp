// The small dialogs as real windows: the waiting dialog closes itself, the "Please wait..."
// box comes and goes, the result dialog shows a port in Chinese, and MyIE shows a page of a
// web server.

#include <gtest/gtest.h>

#include <future>

#include "bench/FakeWebServer.h"
#include "corvay/dialogs/AsynWaitingDlg.h"
#include "corvay/dialogs/MyIE.h"
#include "corvay/dialogs/ResultDlg.h"
#include "corvay/dialogs/WaitingDlg.h"
#include "platform/ui/Application.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/UiTestDriver.h"

namespace {

using platform::ui::CallOnUiThread;
using platform::ui::CallOnUiThreadFor;

TEST(WaitingDlg, AModalCountdownClosesItselfAndShowsTheSecondsLeft) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    ui.Run([&] {
        WaitingDlg dlg(6000, "等待Modem建链...", nullptr, true);
        // A job thread runs it; it is carried to the UI thread.
        auto start = std::chrono::steady_clock::now();
        std::future<int> result = std::async(std::launch::async, [&] { return dlg.DoModal(); });
        ASSERT_TRUE(ui.WaitUntil([&] { return dlg.Progress().Elapsed() >= 1000; }));
        // Caption and bar read together with the ticks counted, so that a slow machine cannot
        // tell a different second from the one the test expects.
        struct Seen {
            bool open;
            int elapsed;
            CString caption;
            platform::ui::Rect bar;
            platform::ui::Size at, size;
        };
        Seen seen = CallOnUiThreadFor([&] {
            return Seen{dlg.HasWindow(),
                        dlg.Progress().Elapsed(),
                        dlg.GetWindowText(),
                        dlg.Item(WaitingDlg::kProgress).GetRect(),
                        dlg.DialogUnitsToPixels({7, 10}),
                        dlg.DialogUnitsToPixels({206, 14})};
        });
        ui.Screenshot("WaitingDlg_countdown");
        ASSERT_TRUE(seen.open);
        CString caption;
        caption.Format("等待Modem建链...还有%d秒", (6000 - seen.elapsed) / 1000);
        EXPECT_EQ(std::string(seen.caption), std::string(caption));
        // The bar where the template puts it, at its size: not stretched over the dialog.
        EXPECT_EQ(seen.bar.left, seen.at.cx);
        EXPECT_EQ(seen.bar.top, seen.at.cy);
        EXPECT_EQ(seen.bar.Width(), seen.size.cx);
        EXPECT_EQ(seen.bar.Height(), seen.size.cy);
        ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        EXPECT_EQ(result.get(), 2);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(6500));
    });
}

TEST(AsynWaitingDlg, ShownAndHiddenFromAWorkerOverTheMainWindow) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    ui.Run([&] {
        std::async(std::launch::async, [] { AsynWaitingDlg::Show(nullptr, "正在刷新端口..."); }).get();
        ASSERT_TRUE(ui.WaitUntil(
            [] { return AsynWaitingDlg::Instance() && AsynWaitingDlg::Instance()->IsWindowVisible(); }));
        EXPECT_EQ(ui.Text(1036), u8"正在刷新端口...");
        ui.Screenshot("AsynWaitingDlg_shown");
        AsynWaitingDlg* first = CallOnUiThreadFor([] { return AsynWaitingDlg::Instance(); });
        AsynWaitingDlg::Hide();
        EXPECT_FALSE(CallOnUiThreadFor([] { return AsynWaitingDlg::Instance()->IsWindowVisible(); }));
        AsynWaitingDlg::Show(nullptr, "Please wait...");
        EXPECT_EQ(CallOnUiThreadFor([] { return AsynWaitingDlg::Instance(); }), first);
        AsynWaitingDlg::Destroy();
    });
}

TEST(ResultDlg, ShowsThePortInChineseAndClosesWithItsButton) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    ui.Run([&] {
        TestInfo info(3);
        info.Update([](TestInfo::Data& d) {
            d.Modem.FirmwareVersion = "V1.0.2";
            d.Modem.DslStatus = 2;
            d.Modem.DownRate = 8000;
        });
        DslamConfig dslam;
        ResultDlg dlg(info, dslam);
        std::promise<int> result;
        platform::ui::RunOnUiThread([&] { result.set_value(dlg.DoModal()); });
        ASSERT_TRUE(ui.WaitUntil([&] { return dlg.IsModal(); }));
        EXPECT_EQ(ui.ActiveCaption(), u8"测试结果");
        EXPECT_EQ(ui.Text(1019), "3");
        EXPECT_EQ(ui.Text(1023), "");
        EXPECT_EQ(ui.Text(1024), "8000");
        EXPECT_EQ(ui.Text(1025), "Link Down");
        ui.Screenshot("ResultDlg_port3");
        ASSERT_TRUE(ui.Click(2));
        auto done = result.get_future();
        ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_EQ(done.get(), 2);
    });
}

TEST(MyIE, ShowsThePageOfTheAddressWithTheAddressInItsCaption) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    bench::FakeWebServer server;
    server.Route("GET", "/",
                 bench::WebResponse::Ok(u8"<html><head><title>Modem</title></head>"
                                        u8"<body><h1>调制解调器管理</h1><p>Firmware V2.0</p></body></html>",
                                        "text/html; charset=utf-8"));
    server.Start();
    std::string address = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";
    ui.Run([&] {
        MyIE dlg(address.c_str());
        std::promise<int> result;
        platform::ui::RunOnUiThread([&] { result.set_value(dlg.DoModal()); });
        ASSERT_TRUE(ui.WaitUntil([&] { return dlg.IsModal(); }));
        EXPECT_EQ(ui.ActiveCaption(), "Modem Web Admin-" + address);
        ASSERT_TRUE(server.WaitForRequests(1, 20000)) << "the browser asked for nothing";
        EXPECT_EQ(server.Requests()[0].path, "/");
        ASSERT_TRUE(ui.WaitUntil([&] { return std::string(dlg.Browser().GetTitle()) == "Modem"; }, 20000));
        ui.Screenshot("MyIE_page");
        ui.Key(27);
        auto done = result.get_future();
        ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_EQ(done.get(), 2);
    });
    server.Stop();
}

} // namespace

namespace {

TEST(MyIE, APageThatAsksForCredentialsGetsWebKitsLogInPromptAndTheAnswer) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("en"));
    bench::FakeWebServer server;
    server.Route("GET", "/",
                 bench::WebResponse::Ok("<html><head><title>Admin</title></head><body>in</body></html>"));
    server.RequireAuth("*", bench::WebAuth::Basic, "admin", "secret");
    server.Start();
    std::string address = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";
    ui.Run([&] {
        MyIE dlg(address.c_str());
        std::promise<int> result;
        platform::ui::RunOnUiThread([&] { result.set_value(dlg.DoModal()); });
        ASSERT_TRUE(server.WaitForRequests(1, 20000));
        EXPECT_FALSE(server.Requests()[0].HasHeader("Authorization"));
        ui.Settle(1500);
        ui.Screenshot("MyIE_login_prompt");
        // The prompt takes the user name first; Tab to the password, Return to send.
        ui.Type("admin");
        ui.Key(9);
        ui.Type("secret");
        ui.Key(13);
        ASSERT_TRUE(ui.WaitUntil([&] { return std::string(dlg.Browser().GetTitle()) == "Admin"; }, 20000));
        bool authorised = false;
        for (const bench::WebRequest& r : server.Requests())
            authorised = authorised || r.Header("Authorization") == "Basic " + bench::Base64("admin:secret");
        EXPECT_TRUE(authorised);
        ui.Key(27);
        auto done = result.get_future();
        ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    });
    server.Stop();
}

TEST(MyIE, IePanelOpensItsAddressAndHidesThePleaseWaitBoxWhenShown) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    bench::FakeWebServer server;
    server.Route("GET", "/",
                 bench::WebResponse::Ok("<html><head><title>Panel</title></head><body>ok</body></html>"));
    server.Start();
    ui.Run([&] {
        AsynWaitingDlg::Show(nullptr, "请稍等...");
        // A page: it lives inside a dialog.
        platform::ui::Dialog host(158);
        ASSERT_TRUE(CallOnUiThreadFor([&] { return host.Create() && (host.ShowWindow(true), true); }));
        IePanel panel;
        EXPECT_EQ(std::string(panel.Address()), "192.168.1.1");
        panel.SetAddress(("http://127.0.0.1:" + std::to_string(server.Port()) + "/").c_str());
        ASSERT_TRUE(CallOnUiThreadFor([&] { return panel.Create(&host); }));
        EXPECT_EQ(ui.WaitUntil([&] { return server.RequestCount() > 0; }, 20000), true);
        CallOnUiThread([&] { panel.ShowWindow(true); });
        EXPECT_TRUE(ui.WaitUntil([] { return !AsynWaitingDlg::Instance()->IsWindowVisible(); }));
        EXPECT_NE(testsupport::LogText().find("IePanel is shown."), std::string::npos);
        ASSERT_TRUE(ui.WaitUntil([&] { return std::string(panel.Browser().GetTitle()) == "Panel"; }, 20000));
        ui.Screenshot("IePanel_page");
        CallOnUiThread([&] {
            panel.DestroyWindow();
            host.DestroyWindow();
        });
        AsynWaitingDlg::Destroy();
    });
    server.Stop();
}

} // namespace
