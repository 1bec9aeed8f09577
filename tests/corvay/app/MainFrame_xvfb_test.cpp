// The main frame as a real window over the telnet switch on loopback: maximised with its tool
// bar, four panes and the view's rows, the first title, the splash window over it until the
// view closes it, the about box, a settings dialog, help
// without its file,
// close refused while a test runs, and the singletons gone after an orderly close.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bench/FakeTelnetSwitch.h"
#include "corvay/app/CorvayApp.h"
#include "corvay/app/MainFrame.h"
#include "corvay/app/SplashDlg.h"
#include "corvay/view/CorvayViewBinding.h"
#include "engine/config/Configer.h"
#include "engine/ping/PingFrames.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"
#include "platform/ui/WindowPrompts.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/ProcessConfiguration.h"
#include "tests/support/UiTestDriver.h"

namespace {

using platform::ui::CallOnUiThread;
using platform::ui::CallOnUiThreadFor;
using platform::ui::RunOnUiThread;

const char* kIni = "[System]\r\nLanguage=cn\r\n[Switch]\r\nPortCount=6\r\nTrunkPortNo=6\r\n"
                   "Ip=127.0.0.1\r\nLogin.User=admin\r\nLogin.Password=pw\r\nConnectMode=TCPIP\r\n";

// Real boxes that also say what they showed.
class ShownPrompts : public platform::ui::WindowPrompts {
public:
    int MessageBox(const CString& text, const CString& caption, unsigned type) override {
        {
            std::lock_guard lock(m_mutex);
            m_texts.push_back(text.GetString());
        }
        return WindowPrompts::MessageBox(text, caption, type);
    }
    std::vector<std::string> Texts() const {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

// A main frame over a telnet switch on loopback, the splash asked for, boxes that say what
// they showed.
struct FrameOnSwitch {
    FrameOnSwitch(const char* ini, int ports) : configuration(ini), fake("admin", "pw", ports) {}
    ~FrameOnSwitch() { platform::SetPromptService(nullptr); }
    bool Start() {
        if (!fake.Start())
            return false;
        CCorvayView::Options options;
        options.telnetPort = fake.GetTcpPort();
        options.telnetGuardMs = 500;
        platform::SetPromptService(&prompts);
        SetShowSplashFlag(true);
        frame = std::make_unique<CMainFrame>(options);
        return true;
    }
    // From the script: the frame made and shown maximised.
    bool Open() {
        return CallOnUiThreadFor([&] {
            bool ok = frame->Create();
            frame->ShowMaximized();
            return ok;
        });
    }

    testsupport::ProcessConfiguration configuration;
    bench::FakeTelnetSwitch fake;
    ShownPrompts prompts;
    std::unique_ptr<CMainFrame> frame;
};

TEST(MainFrame, MaximisedWithPanesSplashAboutHelpAndARefusedThenOrderlyClose) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    FrameOnSwitch bench(kIni, 6);
    bench.fake.SetSwitchPort(2, {true, true, 3});
    ASSERT_TRUE(bench.Start());
    auto& frame = bench.frame;
    ShownPrompts& prompts = bench.prompts;
    ui.Run([&] {
        ASSERT_TRUE(bench.Open());
        ASSERT_TRUE(ui.WaitUntil([&] { return frame->IsMaximized(); }));
        ASSERT_TRUE(
            ui.WaitUntil([] { return CSplashDlg::Instance() && CSplashDlg::Instance()->IsWindowVisible(); }));
        EXPECT_EQ(std::string(CallOnUiThreadFor([&] { return frame->GetWindowText(); })),
                  std::string("DSL Modem批量测试系统"));
        // The indicator panes show a lock key only while it is on.
        auto panes = [&] {
            return CallOnUiThreadFor([&] {
                std::vector<std::string> texts;
                for (int pane = 0; pane < 4; ++pane)
                    texts.emplace_back(frame->GetStatusText(pane));
                return texts;
            });
        };
        EXPECT_EQ(panes(), (std::vector<std::string>{"就绪", "", "", ""}));
        ASSERT_TRUE(ui.SetLockKeys(true, false, true));
        EXPECT_TRUE(ui.WaitUntil([&] { return panes() == std::vector<std::string>{"就绪", "CAP", "", "SCRL"}; }));
        ASSERT_TRUE(ui.SetLockKeys(false, true, false));
        EXPECT_TRUE(ui.WaitUntil([&] { return panes() == std::vector<std::string>{"就绪", "", "NUM", ""}; }));
        ui.Settle(300);
        ui.Screenshot("MainFrame_splash");
        // The view, hosted as the client area, closes the splash once it has read the switch.
        CallOnUiThread([&] { frame->GetView()->OnInitialUpdate(); });
        ASSERT_TRUE(ui.WaitUntil([] { return CSplashDlg::Instance() == nullptr; }));
        auto& list = frame->GetViewBinding()->List();
        ASSERT_TRUE(
            ui.WaitUntil([&] { return CallOnUiThreadFor([&] { return list.GetItemCount(); }) == 5; }));
        EXPECT_EQ(CallOnUiThreadFor([&] { return list.GetItemImage(1); }), 1);
        EXPECT_EQ(std::string(CallOnUiThreadFor([&] { return frame->GetWindowText(); })), "Corvay");
        ui.Settle(300);
        ui.Screenshot("MainFrame_maximised");

        RunOnUiThread([&] { frame->SendCommand(CMainFrame::ID_APP_ABOUT); });
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == u8"关于 Corvay"; }));
        ui.Settle(200);
        ui.Screenshot("MainFrame_about");
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() != u8"关于 Corvay"; }));

        // The View menu hides and shows the tool bar and the status bar, checked while shown.
        for (int id : {59392, 59393}) {
            CallOnUiThread([&] { frame->UpdateCommands(); });
            EXPECT_TRUE(CallOnUiThreadFor([&] { return frame->IsCommandChecked(id); })) << id;
            CallOnUiThread([&] { frame->SendCommand(id); });
            CallOnUiThread([&] { frame->UpdateCommands(); });
            EXPECT_FALSE(CallOnUiThreadFor([&] { return frame->IsCommandChecked(id); })) << id;
        }
        ui.Settle(300);
        ui.Screenshot("MainFrame_bars_hidden");
        for (int id : {59392, 59393})
            CallOnUiThread([&] { frame->SendCommand(id); });
        CallOnUiThread([&] { frame->UpdateCommands(); });
        EXPECT_TRUE(
            CallOnUiThreadFor([&] { return frame->IsCommandChecked(59392) && frame->IsCommandChecked(59393); }));

        // A settings command opens its dialog over the frame.
        RunOnUiThread([&] { frame->SendCommand(CMainFrame::ID_SYSTEM_CONFIG); });
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == u8"系统设置"; }));
        ui.Settle(200);
        ui.Screenshot("MainFrame_system_settings");
        ui.Key(27);
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() != u8"系统设置"; }));

        // No help file beside the program.
        RunOnUiThread([&] { frame->SendCommand(CMainFrame::ID_HELP_FINDER); });
        ASSERT_TRUE(ui.WaitUntil([&] { return prompts.Texts().size() == 1; }));
        EXPECT_EQ(prompts.Texts()[0],
                  "帮助文件不存在：" + std::string(platform::ProgramDirectory()) + "CorvayHelp_cn.chm");
        ui.Settle(300);
        ui.Screenshot("MainFrame_help_missing");
        ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));

        // Close while testing: refused with the text, the window stays.
        SetTestingFlag(true);
        RunOnUiThread([&] { frame->SendCloseRequest(); });
        ASSERT_TRUE(ui.WaitUntil([&] { return prompts.Texts().size() == 2; }));
        EXPECT_EQ(prompts.Texts()[1], "正在测试，不能退出。");
        ui.Settle(300);
        ui.Screenshot("MainFrame_close_refused");
        ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));
        ui.Settle(200);
        EXPECT_TRUE(CallOnUiThreadFor([&] { return frame->HasWindow() && frame->IsWindowVisible(); }));
        SetTestingFlag(false);

        // An orderly close deletes the singletons.
        ASSERT_NE(Configer::Existing(), nullptr);
        RunOnUiThread([&] { frame->SendCloseRequest(); });
        ASSERT_TRUE(ui.WaitUntil([&] { return !frame->HasWindow(); }));
        ui.SetLockKeys(false, false, false);
    });
    platform::SetPromptService(nullptr);
    EXPECT_EQ(Configer::Existing(), nullptr);
    const std::string log = testsupport::LogText();
    EXPECT_NE(log.find("Singletons deleted."), std::string::npos);
}

// The English program: its own splash title, the View menu's bars, the indicator panes.
TEST(MainFrame, InEnglishWithItsSplashBarsAndIndicators) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("en"));
    FrameOnSwitch bench("[System]\r\nLanguage=en\r\n[Switch]\r\nPortCount=4\r\nTrunkPortNo=4\r\nIp=127.0.0.1\r\n"
                        "Login.User=admin\r\nLogin.Password=pw\r\nConnectMode=TCPIP\r\n",
                        4);
    ASSERT_TRUE(bench.Start());
    auto& frame = bench.frame;
    ui.Run([&] {
        ASSERT_TRUE(bench.Open());
        ASSERT_TRUE(
            ui.WaitUntil([] { return CSplashDlg::Instance() && CSplashDlg::Instance()->IsWindowVisible(); }));
        ASSERT_TRUE(ui.SetLockKeys(false, true, false));
        ui.Settle(300);
        ui.Screenshot("MainFrame_splash_en");
        CallOnUiThread([&] { frame->GetView()->OnInitialUpdate(); });
        ASSERT_TRUE(ui.WaitUntil([] { return CSplashDlg::Instance() == nullptr; }));
        EXPECT_TRUE(ui.WaitUntil([&] { return std::string(CallOnUiThreadFor([&] { return frame->GetStatusText(2); })) == "NUM"; }));
        EXPECT_EQ(std::string(CallOnUiThreadFor([&] { return frame->GetStatusText(0); })), "Ready");
        for (int id : {CMainFrame::ID_VIEW_TOOLBAR, CMainFrame::ID_VIEW_STATUS_BAR}) {
            CallOnUiThread([&] { frame->UpdateCommands(); });
            EXPECT_TRUE(CallOnUiThreadFor([&] { return frame->IsCommandChecked(id); })) << id;
        }
        ui.Settle(300);
        ui.Screenshot("MainFrame_maximised_en");
        // The tool bar off and on again, the status bar off.
        for (int id : {CMainFrame::ID_VIEW_TOOLBAR, CMainFrame::ID_VIEW_TOOLBAR, CMainFrame::ID_VIEW_STATUS_BAR})
            CallOnUiThread([&] { frame->SendCommand(id); });
        CallOnUiThread([&] { frame->UpdateCommands(); });
        EXPECT_TRUE(CallOnUiThreadFor([&] { return frame->IsCommandChecked(CMainFrame::ID_VIEW_TOOLBAR); }));
        EXPECT_FALSE(CallOnUiThreadFor([&] { return frame->IsCommandChecked(CMainFrame::ID_VIEW_STATUS_BAR); }));
        ui.Settle(300);
        ui.Screenshot("MainFrame_status_bar_hidden_en");
        ui.SetLockKeys(false, false, false);
        RunOnUiThread([&] { frame->SendCloseRequest(); });
        ASSERT_TRUE(ui.WaitUntil([&] { return !frame->HasWindow(); }));
    });
    platform::SetPromptService(nullptr);
}

} // namespace
