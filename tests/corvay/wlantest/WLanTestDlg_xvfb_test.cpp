// The wireless test dialog as a real window: its three tabs, the browser page and the test page,
// the test page kept while a test runs, "next modem" refused then, and the security choice
// opening the password field; in both languages.

#include <gtest/gtest.h>

#include <future>

#include "bench/FakeWebServer.h"
#include "corvay/wlantest/WLanTestDlg.h"
#include "engine/log/StringTable.h"
#include "engine/records/TestRecords.h"
#include "platform/prompt/Prompt.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Application.h"
#include "tests/support/PackText.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/UiTestDriver.h"

namespace {

using platform::ui::CallOnUiThreadFor;

std::string Utf8(const CString& gbk) {
    return GbkToUtf8(gbk);
}

using testsupport::WithPort;

// A modem's page on loopback, so the browser page has something to show and sends nothing out.
struct ModemPage {
    bench::FakeWebServer server;
    ModemPage() {
        server.Route("GET", "/",
                     bench::WebResponse::Ok(u8"<html><head><title>Modem</title></head><body><h2>无线设置</h2>"
                                            u8"<p>SSID: port3</p></body></html>",
                                            "text/html; charset=utf-8"));
        server.Start();
    }
    ~ModemPage() { server.Stop(); }
    CString Address() const { return ("http://127.0.0.1:" + std::to_string(server.Port()) + "/").c_str(); }
};

struct OpenDialog {
    TestInfo info{3};
    WLanTestSession session{info, 3, WLanTestEnvironment()};
    WLanTestDlg* dlg = nullptr; // while it runs (UI thread)
    std::promise<int> result;
    std::future<int> ended = result.get_future();

    explicit OpenDialog(const CString& address) {
        session.browserAddress = address;
        platform::ui::RunOnUiThread([this] {
            int code;
            {
                WLanTestDlg window(session);
                dlg = &window;
                code = window.DoModal();
                dlg = nullptr;
            }
            session.DialogEnded(code);
            result.set_value(code);
        });
    }
    int Page() {
        return CallOnUiThreadFor([this] { return dlg->Item(WLanTestDlg::IDC_TAB).GetCurSel(); });
    }
    bool TestPageShown() {
        return CallOnUiThreadFor([this] { return dlg->Panel().IsWindowVisible(); });
    }
    bool BrowserShown() {
        return CallOnUiThreadFor(
            [this] { return dlg->HasBrowserPanel() && !dlg->Panel().IsWindowVisible(); });
    }
    int End() {
        if (!ended.valid())
            return -100;
        if (ended.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
            return -100;
        return ended.get();
    }
    // A test that stopped early leaves the dialog open: the rest of its run uses the session.
    ~OpenDialog() {
        if (!ended.valid())
            return;
        platform::ui::CallOnUiThread([this] {
            if (dlg)
                dlg->EndDialog(2);
        });
        ended.wait_for(std::chrono::seconds(30));
    }
};

TEST(WLanTestDlg, TabsTestPageAndNextModemInChinese) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    SetLogLevel(LOG_LEVEL_DEBUG);
    ModemPage page;
    platform::RecordingPromptService prompts;
    platform::ScopedPromptService scoped(prompts);
    ui.Run([&] {
        OpenDialog open(page.Address());
        ASSERT_TRUE(ui.WaitUntil([&] { return open.dlg && open.dlg->IsModal(); }));
        EXPECT_EQ(ui.ActiveCaption(), WithPort(69, 3));
        std::vector<std::string> tabs = CallOnUiThreadFor([&] {
            std::vector<std::string> texts;
            platform::ui::Control tab = open.dlg->Item(WLanTestDlg::IDC_TAB);
            for (int i = 0; i < tab.GetCount(); ++i)
                texts.push_back(Utf8(tab.GetItemText(i)));
            return texts;
        });
        EXPECT_EQ(tabs, (std::vector<std::string>{u8"第1步：修改Modem Web无线SSID为port3",
                                                  u8"第2步：无线功能测试", u8"第3步：恢复Modem配置"}));
        EXPECT_EQ(open.Page(), 0);
        EXPECT_TRUE(open.BrowserShown());
        ASSERT_TRUE(page.server.WaitForRequests(1, 20000)) << "the browser page asked for nothing";
        ui.Settle(1500);
        ui.Screenshot("WLanTestDlg_cn_step1");

        ASSERT_TRUE(ui.Select(WLanTestDlg::IDC_TAB, 1));
        ASSERT_TRUE(ui.WaitUntil([&] { return open.TestPageShown(); }));
        EXPECT_FALSE(CallOnUiThreadFor([&] { return open.dlg->HasBrowserPanel(); }));
        EXPECT_EQ(ui.Text(WLanTestPanel::IDC_SSID), "port3");
        // "无": the password field takes nothing; WEP opens it.
        ASSERT_TRUE(ui.Click(WLanTestPanel::IDC_PASSWORD));
        ui.Type("abc");
        ui.Settle();
        EXPECT_EQ(ui.Text(WLanTestPanel::IDC_PASSWORD), "");
        ASSERT_TRUE(ui.Select(WLanTestPanel::IDC_SECURITY, 1));
        ASSERT_TRUE(ui.Click(WLanTestPanel::IDC_PASSWORD));
        ui.Type("key12");
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.Text(WLanTestPanel::IDC_PASSWORD) == "key12"; }));
        ui.Screenshot("WLanTestDlg_cn_step2");

        // A test starts (nobody serves it here, so it stays running).
        ASSERT_TRUE(ui.Click(WLanTestPanel::IDC_TEST));
        ASSERT_TRUE(ui.WaitUntil([&] { return open.session.IsTesting(); }));
        EXPECT_FALSE(
            CallOnUiThreadFor([&] { return open.dlg->Panel().Item(WLanTestPanel::IDC_TEST).IsEnabled(); }));
        ASSERT_TRUE(ui.Select(WLanTestDlg::IDC_TAB, 0));
        ui.Settle();
        EXPECT_EQ(open.Page(), 1);
        EXPECT_TRUE(open.TestPageShown());
        EXPECT_FALSE(CallOnUiThreadFor([&] { return open.dlg->HasBrowserPanel(); }));

        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(ui.WaitUntil([&] { return prompts.Count() == 1; }));
        EXPECT_EQ(prompts.Boxes()[0].text, LoadStringId(74));
        ui.Settle();
        EXPECT_TRUE(CallOnUiThreadFor([&] { return open.dlg && open.dlg->IsModal(); }));

        ASSERT_TRUE(ui.Click(2));
        EXPECT_EQ(open.End(), 2);
    });
    const std::string log = testsupport::LogText();
    EXPECT_NE(log.find("OnBnClickedCancel:IsTesting"), std::string::npos);
    EXPECT_NE(log.find("关闭WLanTestDlg"), std::string::npos);
}

TEST(WLanTestDlg, TheStepsInEnglish) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("en"));
    ModemPage page;
    ui.Run([&] {
        OpenDialog open(page.Address());
        ASSERT_TRUE(ui.WaitUntil([&] { return open.dlg && open.dlg->IsModal(); }));
        EXPECT_EQ(ui.ActiveCaption(), WithPort(69, 3));
        ASSERT_TRUE(page.server.WaitForRequests(1, 20000));
        ui.Settle(1500);
        ui.Screenshot("WLanTestDlg_en_step1");
        ASSERT_TRUE(ui.Select(WLanTestDlg::IDC_TAB, 1));
        ASSERT_TRUE(ui.WaitUntil([&] { return open.TestPageShown(); }));
        ui.Screenshot("WLanTestDlg_en_step2");
        // The operator makes the dialog larger: the test page follows.
        ui.ResizeActive(900, 640);
        ui.Settle(500);
        ui.Screenshot("WLanTestDlg_en_step2_large");
        ASSERT_TRUE(ui.Click(1));
        EXPECT_EQ(open.End(), 1);
    });
}

} // namespace
