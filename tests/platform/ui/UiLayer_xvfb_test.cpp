// The window layer with real windows on an X server of the test's own: boxes asked by workers,
// posts to windows that may be gone, dialogs made from XRC and their data exchange, real keys
// and clicks, a hosted browser's failed script, and the loop's end.

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <tuple>

#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"
#include "platform/ui/BrowserPanel.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/WindowPrompts.h"
#include "tests/support/UiTestDriver.h"

namespace {

using namespace platform::ui;

// A form with one control of each kind the dialogs use.
const char* kFormXrc = u8R"(<?xml version="1.0" encoding="UTF-8"?>
<resource xmlns="http://www.wxwidgets.org/wxxrc" version="2.5.3.0">
  <object class="wxDialog" name="900">
    <title>表单</title>
    <style>wxCAPTION|wxSYSTEM_MENU|wxCLOSE_BOX</style>
    <size>200,130d</size>
    <object class="wxStaticText"><label>次数</label><pos>7,9d</pos><size>50,10d</size></object>
    <object class="wxTextCtrl" name="1001"><pos>60,7d</pos><size>60,14d</size></object>
    <object class="wxCheckBox" name="1002"><label>自动升级</label><pos>7,27d</pos><size>80,12d</size></object>
    <object class="wxChoice" name="1003"><pos>60,43d</pos><size>100,14d</size>
      <content><item>全部</item><item>调试</item><item>信息</item></content></object>
    <object class="IpAddressCtrl" name="1004"><pos>60,63d</pos><size>100,14d</size></object>
    <object class="wxTextCtrl" name="1005"><pos>60,83d</pos><size>100,14d</size></object>
    <object class="wxButton" name="1"><label>确定</label><pos>90,108d</pos><size>50,14d</size></object>
    <object class="wxButton" name="2"><label>取消</label><pos>143,108d</pos><size>50,14d</size></object>
  </object>
</resource>)";

class FormDlg : public Dialog {
public:
    FormDlg() : Dialog(900) {}
    int count = 3, autoUpgrade = 1, level = 2;
    CString address = "192.168.1.1", name = "端口";
    std::atomic<int> messages{0};

    void DoDataExchange(DataExchange& dx) override {
        dx.Int(1001, count, 1, 10);
        dx.Check(1002, autoUpgrade);
        dx.ComboIndex(1003, level);
        dx.IpAddress(1004, address);
        dx.Text(1005, name);
    }
    void OnMessage(unsigned message, uintptr_t wParam, intptr_t) override {
        if (message == 1124)
            messages += int(wParam);
    }
};

struct Fixture {
    testsupport::UiTestDriver ui;
    WindowPrompts prompts;
    Fixture() {
        if (!ui.Ready())
            return;
        EXPECT_TRUE(ui.UsePack("cn"));
        EXPECT_TRUE(Application::AddResourceDocument("form.xrc", kFormXrc));
        platform::SetPromptService(&prompts);
    }
};

TEST(UiLayer, ABoxAskedByAWorkerShowsWhileTheWindowStaysLiveAndTheWorkerGetsTheAnswer) {
    Fixture f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    f.ui.Run([&] {
        FormDlg form;
        ASSERT_TRUE(CallOnUiThreadFor([&] { return form.Create() && (form.ShowWindow(true), true); }));
        std::future<int> answer = std::async(std::launch::async, [] {
            return platform::ShowMessageBox("确认要删除此记录吗？", "请确认",
                                            platform::kMbYesNo | platform::kMbIconQuestion);
        });
        // The box is up and the worker waits; the UI thread still serves calls and posts.
        bool boxUp = false;
        for (int i = 0; i < 200 && !boxUp; ++i) {
            boxUp = f.ui.ActiveCaption() == u8"请确认";
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(boxUp) << f.ui.ActiveCaption();
        EXPECT_EQ(answer.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
        EXPECT_TRUE(PostMessage(form.Handle(), 1124, 5));
        EXPECT_TRUE(f.ui.WaitUntil([&] { return form.messages == 5; }));
        f.ui.Screenshot("UiLayer_worker_box");
        // The program's language and the platform's order: Yes, then No.
        const auto yes = f.ui.Answer(platform::kIdYes), no = f.ui.Answer(platform::kIdNo);
        EXPECT_EQ(yes.label, u8"是");
        EXPECT_EQ(no.label, u8"否");
        EXPECT_LT(yes.left, no.left);
        ASSERT_TRUE(f.ui.ClickAnswer(platform::kIdYes));
        ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_EQ(answer.get(), platform::kIdYes);
        // Enter takes the first button; Escape the safe answer.
        for (auto [key, type, expected] : {std::tuple{13, platform::kMbYesNo, platform::kIdYes},
                                           std::tuple{27, platform::kMbYesNo, platform::kIdNo},
                                           std::tuple{27, platform::kMbYesNoCancel, platform::kIdCancel},
                                           std::tuple{13, platform::kMbOkCancel, platform::kIdOk}}) {
            std::future<int> keyed = std::async(std::launch::async,
                                                [type] { return platform::ShowMessageBox("继续吗？", "请确认", type); });
            ASSERT_TRUE(f.ui.WaitUntil([&] { return f.ui.ActiveCaption() == u8"请确认"; }));
            f.ui.Settle(200);
            if (type == platform::kMbYesNoCancel)
                f.ui.Screenshot("UiLayer_yes_no_cancel_box");
            f.ui.Key(key);
            ASSERT_EQ(keyed.wait_for(std::chrono::seconds(10)), std::future_status::ready) << key << " " << type;
            EXPECT_EQ(keyed.get(), expected) << key << " " << type;
        }
        CallOnUiThread([&] { form.DestroyWindow(); });
    });
}

TEST(UiLayer, APostToADestroyedWindowIsDropped) {
    Fixture f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    f.ui.Run([&] {
        auto form = std::make_unique<FormDlg>();
        ASSERT_TRUE(CallOnUiThreadFor([&] { return form->Create(); }));
        WindowHandle handle = form->Handle();
        // Queued while the window lives, run after it is gone: dropped.
        CallOnUiThread([&] {
            EXPECT_TRUE(PostMessage(handle, 1124, 1));
            form->DestroyWindow();
        });
        f.ui.Settle();
        EXPECT_EQ(form->messages, 0);
        EXPECT_FALSE(handle.IsAlive());
        EXPECT_FALSE(PostMessage(handle, 1124, 1));
        // The object itself may go too; a post then is still only dropped.
        CallOnUiThread([&] {
            form = std::make_unique<FormDlg>();
            form->Create();
            handle = form->Handle();
            PostMessage(handle, 1124, 1);
            form.reset();
        });
        f.ui.Settle();
        EXPECT_FALSE(PostMessage(handle, 1124, 1));
    });
}

TEST(UiLayer, AModalDialogExchangesItsFieldsAndRefusesAnIntegerOutOfRange) {
    Fixture f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    f.ui.Run([&] {
        FormDlg form;
        std::promise<int> result;
        RunOnUiThread([&] { result.set_value(form.DoModal()); });
        ASSERT_TRUE(f.ui.WaitUntil([&] { return form.IsModal(); }));
        // Loaded from the fields.
        EXPECT_EQ(f.ui.Text(1001), "3");
        EXPECT_EQ(f.ui.Text(1005), u8"端口");
        f.ui.Screenshot("UiLayer_form_loaded");
        CallOnUiThread([&] {
            form.Item(1001).SetText("42");
            form.Item(1004).SetAddress("10.0.0.7");
            form.Item(1002).SetCheck(0);
        });
        ASSERT_TRUE(f.ui.Select(1003, 1));
        ASSERT_TRUE(f.ui.Click(1));
        // Out of range: the message, in the pack's language; the dialog stays.
        ASSERT_TRUE(f.ui.WaitUntil([&] { return f.ui.ActiveCaption() == u8"Corvay"; }));
        f.ui.Screenshot("UiLayer_form_range_message");
        ASSERT_TRUE(f.ui.ClickAnswer(platform::kIdOk));
        ASSERT_TRUE(f.ui.WaitUntil([&] { return f.ui.ActiveCaption() == u8"表单"; }));
        EXPECT_EQ(form.count, 3);
        CallOnUiThread([&] { form.Item(1001).SetText("7"); });
        ASSERT_TRUE(f.ui.Click(1));
        auto done = result.get_future();
        ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_EQ(done.get(), 1);
        EXPECT_EQ(form.count, 7);
        EXPECT_EQ(form.autoUpgrade, 0);
        EXPECT_EQ(form.level, 1);
        EXPECT_EQ(std::string(form.address), "10.0.0.7");
        EXPECT_FALSE(form.HasWindow());
    });
}

TEST(UiLayer, EscapeAndTheCancelButtonEndWithCancelAndAWorkersModalRunsOnTheUiThread) {
    Fixture f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    f.ui.Run([&] {
        struct Case {
            const char* how;
            std::function<void()> act;
        } cases[] = {
            {"escape", [&] { f.ui.Key(27); }},
            {"cancel button", [&] { f.ui.Click(2); }},
        };
        for (const Case& c : cases) {
            FormDlg form;
            // DoModal from this (non-UI) thread is carried to the UI thread.
            std::future<int> result = std::async(std::launch::async, [&] { return form.DoModal(); });
            ASSERT_TRUE(f.ui.WaitUntil([&] { return form.IsModal(); })) << c.how;
            f.ui.Settle();
            c.act();
            ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready) << c.how;
            EXPECT_EQ(result.get(), 2) << c.how;
            EXPECT_EQ(form.count, 3) << c.how;
        }
    });
}

TEST(UiLayer, AFailedScriptAnswersFalseAndShowsNoBoxThatHoldsTheWindows) {
    Fixture f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    // Made and gone on the UI thread, outside the script.
    FormDlg host, form;
    BrowserPanel browser;
    f.ui.Run([&] {
        ASSERT_TRUE(CallOnUiThreadFor([&] {
            if (!host.Create() || !form.Create() || !browser.Create(host))
                return false;
            host.MoveWindow({560, 20, 1000, 400});
            host.ShowWindow(true);
            form.MoveWindow({20, 20, 500, 400});
            form.ShowWindow(true);
            browser.SetPage("<html><body>page</body></html>", "http://127.0.0.1/");
            return true;
        }));
        ASSERT_TRUE(f.ui.WaitUntil(
            [&] {
                CString text;
                return browser.RunScript("document.body.textContent", &text) && text == "page";
            },
            30000));
        EXPECT_FALSE(CallOnUiThreadFor([&] { return browser.RunScript("nosuch.thing"); }));
        // A box would come at the loop's next idle time and take every click for itself.
        f.ui.Settle(1000);
        const bool checked = f.ui.IsChecked(1002);
        ASSERT_TRUE(f.ui.Click(1002));
        EXPECT_TRUE(f.ui.WaitUntil([&] { return f.ui.IsChecked(1002) != checked; }, 5000));
    });
}

TEST(UiLayer, AModalDialogEndedWhileALoopRunsAboveItEndsWithItsCodeOnceThatLoopIsOver) {
    Fixture f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    f.ui.Run([&] {
        FormDlg form;
        std::atomic<int> code{-100}, answer{-100};
        RunOnUiThread([&] { code = form.DoModal(); });
        ASSERT_TRUE(f.ui.WaitUntil([&] { return form.IsModal(); }));
        // A box over the dialog; the dialog is ended from inside the box's loop, as a handler
        // (a post, a timer) that the box's loop runs would end it.
        RunOnUiThread([&] { answer = platform::ShowMessageBox("继续吗？", "请确认", platform::kMbOk); });
        ASSERT_TRUE(f.ui.WaitUntil([&] { return f.ui.ActiveCaption() == u8"请确认"; }));
        CallOnUiThread([&] { form.EndDialog(7); });
        f.ui.Settle(300);
        // The box's loop is not the one ended.
        EXPECT_EQ(f.ui.ActiveCaption(), u8"请确认");
        EXPECT_EQ(answer, -100);
        EXPECT_EQ(code, -100);
        ASSERT_TRUE(f.ui.ClickAnswer(platform::kIdOk));
        EXPECT_TRUE(f.ui.WaitUntil([&] { return code != -100; })) << "the dialog's loop never ended";
        EXPECT_EQ(answer, platform::kIdOk);
        EXPECT_EQ(code, 7);
        EXPECT_FALSE(form.HasWindow());
    });
}

CString g_logged;
void CaptureLog(int, const CString& text) {
    g_logged += text + "\n";
}

TEST(UiLayer, AnExceptionInAHandlerIsLoggedAndTheLoopGoesOnUntilItEndsThenCallsAnswerAtOnce) {
    Fixture f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    SetUiLog(CaptureLog);
    std::atomic<bool> stop{false};
    std::thread late;
    f.ui.Run([&] {
        RunOnUiThread([] { throw std::runtime_error("handler failed"); });
        EXPECT_EQ(CallOnUiThreadFor([] { return 7; }), 7);
        EXPECT_NE(std::string(g_logged).find("handler failed"), std::string::npos) << g_logged.GetString();
        // A worker that keeps calling across the loop's end is answered, never left waiting.
        late = std::thread([&] {
            while (!stop)
                if (!CallOnUiThread([] {}))
                    break;
        });
    });
    ASSERT_TRUE(late.joinable());
    stop = true;
    late.join();
    EXPECT_FALSE(CallOnUiThread([] {}));
    EXPECT_FALSE(RunOnUiThread([] {}));
    EXPECT_EQ(CallOnUiThreadFor([] { return 7; }), 0);
    EXPECT_EQ(platform::ShowMessageBox("迟到", "Corvay", platform::kMbYesNo), platform::kIdNo);
    SetUiLog(nullptr);
}

// A page script that fails is told to the caller and logged; the toolkit shows no box of its own,
// whose loop would hold every dialog below it open.
TEST(UiLayer, AFailingPageScriptIsLoggedWithoutABoxAndTheDialogHoldingThePageStillEnds) {
    Fixture f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    SetUiLog(CaptureLog);
    g_logged = "";
    struct PageDlg : FormDlg {
        BrowserPanel browser;
        bool OnInitDialog() override {
            FormDlg::OnInitDialog();
            browser.Create(*this);
            return true;
        }
    };
    f.ui.Run([&] {
        PageDlg page;
        std::atomic<int> code{-100};
        RunOnUiThread([&] { code = page.DoModal(); });
        ASSERT_TRUE(f.ui.WaitUntil([&] { return page.IsModal() && page.browser.IsCreated(); }));
        EXPECT_FALSE(CallOnUiThreadFor([&] { return page.browser.RunScript("window.frames[1].document.title"); }));
        f.ui.Settle(300);
        CallOnUiThread([&] { page.EndDialog(1); });
        EXPECT_TRUE(f.ui.WaitUntil([&] { return code != -100; })) << "the dialog's loop never ended";
        EXPECT_EQ(code, 1);
    });
    EXPECT_NE(std::string(g_logged).find("TypeError"), std::string::npos) << g_logged.GetString();
    SetUiLog(nullptr);
}

} // namespace
