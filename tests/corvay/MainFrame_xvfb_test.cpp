// The main frame as a real window: maximised with its tool bar and four panes, the first title,
// the splash window over it until the view closes it, the about box, a settings dialog, help
// without its file,
// close refused while a test runs, and the singletons gone after an orderly close.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "corvay/CorvayApp.h"
#include "corvay/MainFrame.h"
#include "corvay/SplashDlg.h"
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

// Menu 128 and tool bar 128 for a pack that does not have them yet.
const char* kStandInXrc = u8R"(<?xml version="1.0" encoding="UTF-8"?>
<resource xmlns="http://www.wxwidgets.org/wxxrc" version="2.5.3.0">
  <object class="wxMenuBar" name="128">
    <object class="wxMenu"><label>文件(&amp;F)</label>
      <object class="wxMenuItem" name="57665"><label>退出(&amp;X)</label></object>
    </object>
    <object class="wxMenu"><label>帮助(&amp;H)</label>
      <object class="wxMenuItem" name="57670"><label>帮助</label></object>
      <object class="wxMenuItem" name="57664"><label>关于(&amp;A)...</label></object>
    </object>
  </object>
  <object class="wxToolBar" name="128">
    <style>wxTB_FLAT|wxTB_HORIZONTAL</style>
    <bitmapsize>30,20</bitmapsize>
    <object class="tool" name="32793"><bitmap>memory:program.xpm</bitmap></object>
    <object class="tool" name="57664"><bitmap>memory:program.xpm</bitmap></object>
  </object>
</resource>)";

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

void UseMainFrameResources(testsupport::UiTestDriver& ui) {
    for (const std::string& name : ui.Pack().ResourceNames(".xrc"))
        if (ui.Pack().Resource(name)->find(u8R"(class="wxMenuBar" name="128")") != std::string::npos)
            return;
    ASSERT_TRUE(platform::ui::Application::AddResourceDocument("MainFrameStandIn.xrc", kStandInXrc));
}

TEST(MainFrame, MaximisedWithPanesSplashAboutHelpAndARefusedThenOrderlyClose) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    UseMainFrameResources(ui);
    testsupport::ProcessConfiguration configuration("[System]\r\nLanguage=cn\r\n");
    ShownPrompts prompts;
    platform::SetPromptService(&prompts);
    SetShowSplashFlag(true);
    auto frame = std::make_unique<CMainFrame>();
    ui.Run([&] {
        ASSERT_TRUE(CallOnUiThreadFor([&] {
            bool ok = frame->Create();
            frame->ShowMaximized();
            return ok;
        }));
        ASSERT_TRUE(ui.WaitUntil([&] { return frame->IsMaximized(); }));
        ASSERT_TRUE(
            ui.WaitUntil([] { return CSplashDlg::Instance() && CSplashDlg::Instance()->IsWindowVisible(); }));
        EXPECT_EQ(std::string(CallOnUiThreadFor([&] { return frame->GetWindowText(); })),
                  std::string("DSL Modem批量测试系统"));
        for (int pane = 0; pane < 4; ++pane)
            EXPECT_EQ(std::string(CallOnUiThreadFor([&] { return frame->GetStatusText(pane); })),
                      std::string(std::vector<CString>{"就绪", "CAP", "NUM", "SCRL"}[pane]));
        ui.Settle(300);
        ui.Screenshot("MainFrame_splash");
        // The view closes the splash once it has read the switch.
        CSplashDlg::HideSplashDlg();
        ASSERT_TRUE(ui.WaitUntil([] { return CSplashDlg::Instance() == nullptr; }));
        ui.Settle(300);
        ui.Screenshot("MainFrame_maximised");

        RunOnUiThread([&] { frame->SendCommand(CMainFrame::ID_APP_ABOUT); });
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == u8"关于 Corvay"; }));
        ui.Settle(200);
        ui.Screenshot("MainFrame_about");
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() != u8"关于 Corvay"; }));

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
    });
    platform::SetPromptService(nullptr);
    EXPECT_EQ(Configer::Existing(), nullptr);
    const std::string log = testsupport::LogText();
    EXPECT_NE(log.find("Singletons deleted."), std::string::npos);
}

} // namespace
