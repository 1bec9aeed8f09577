// Message boxes under a window manager (openbox on the test's own X server): whose window they
// belong to, where the keys go while they show and after, and how wide and with what icon
// they come up.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/WindowPrompts.h"
#include "tests/support/UiTestDriver.h"

namespace {

using namespace platform::ui;

// A main dialog and the editor it opens, large enough that a box leaves room to click them.
const char* kWindowsXrc = u8R"(<?xml version="1.0" encoding="UTF-8"?>
<resource xmlns="http://www.wxwidgets.org/wxxrc" version="2.5.3.0">
  <object class="wxDialog" name="910">
    <title>主窗口</title>
    <style>wxCAPTION|wxSYSTEM_MENU|wxCLOSE_BOX</style>
    <size>340,240d</size>
    <object class="wxButton" name="2"><label>取消</label><pos>280,220d</pos><size>50,14d</size></object>
  </object>
  <object class="wxDialog" name="911">
    <title>编辑窗口</title>
    <style>wxCAPTION|wxSYSTEM_MENU|wxCLOSE_BOX</style>
    <size>300,200d</size>
    <object class="wxTextCtrl" name="1001"><pos>10,10d</pos><size>100,14d</size></object>
    <object class="wxButton" name="2"><label>取消</label><pos>240,180d</pos><size>50,14d</size></object>
  </object>
</resource>)";

struct Fixture {
    testsupport::UiTestDriver ui;
    WindowPrompts prompts;
    explicit Fixture(const char* language = "cn") {
        if (!ui.Ready())
            return;
        EXPECT_TRUE(ui.UsePack(language));
        EXPECT_TRUE(Application::AddResourceDocument("boxes.xrc", kWindowsXrc));
        platform::SetPromptService(&prompts);
    }
    ~Fixture() { platform::SetPromptService(nullptr); }
};

// Polls the X server (not the UI thread) until the focus sits on the window of that title.
bool WaitForFocus(testsupport::UiTestDriver& ui, const std::string& title) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ui.FocusedTitle() != title)
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

// Where the title stands in the server's stacking order, bottom first; -1 when not there.
int StackPosition(const std::vector<std::string>& order, const std::string& title) {
    auto it = std::find(order.begin(), order.end(), title);
    return it == order.end() ? -1 : int(it - order.begin());
}

TEST(MessageBoxes, ABoxAskedDuringAnEditorStaysAboveItTakesTheKeysAndGivesThemBackToIt) {
    Fixture f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    if (!f.ui.StartWindowManager())
        GTEST_SKIP() << "openbox did not start (scripts/setup-deps installs it)";
    f.ui.Run([&] {
        Dialog main(910), editor(911, &main);
        CallOnUiThread([&] { SetMainWindow(&main); });
        RunOnUiThread([&] { main.DoModal(); });
        ASSERT_TRUE(f.ui.WaitUntil([&] { return f.ui.ActiveCaption() == u8"主窗口"; }));
        RunOnUiThread([&] { editor.DoModal(); });
        ASSERT_TRUE(f.ui.WaitUntil([&] { return f.ui.ActiveCaption() == u8"编辑窗口"; }));
        struct Case {
            const char* asker;
            std::function<int()> ask;
        } cases[] = {
            {"the editor's own handler on the window thread",
             [] {
                 return CallOnUiThreadFor(
                     [] { return platform::ShowMessageBox("已保存。", "注意", platform::kMbOk); });
             }},
            {"a worker through the prompt service",
             [] { return platform::ShowMessageBox("已保存。", "注意", platform::kMbOk); }},
        };
        char next = '7';
        for (const Case& c : cases) {
            SCOPED_TRACE(c.asker);
            ASSERT_TRUE(f.ui.Click(1001)); // the editor's field has the keys
            ASSERT_TRUE(WaitForFocus(f.ui, u8"编辑窗口"));
            std::future<int> answer = std::async(std::launch::async, c.ask);
            ASSERT_TRUE(f.ui.WaitUntil([&] { return f.ui.ActiveCaption() == u8"注意"; }));
            ASSERT_TRUE(WaitForFocus(f.ui, u8"注意"));
            // The operator clicks the editor beside the box: the box stays on top with the keys.
            const Rect rect = CallOnUiThreadFor([&] { return editor.GetWindowRect(); });
            f.ui.ClickAt(rect.left + 12, rect.bottom - 12);
            const std::vector<std::string> order = f.ui.StackingOrder();
            EXPECT_GT(StackPosition(order, u8"注意"), StackPosition(order, u8"编辑窗口"));
            EXPECT_EQ(f.ui.FocusedTitle(), u8"注意");
            f.ui.Screenshot("MessageBoxes_over_editor");
            f.ui.Key(13);
            ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
            EXPECT_EQ(answer.get(), platform::kIdOk);
            // The editor has the keys again, in the field that had them.
            EXPECT_TRUE(WaitForFocus(f.ui, u8"编辑窗口")) << f.ui.FocusedTitle();
            // (The field selects its text as it gets the keys back, so a key may replace it.)
            const std::string key(1, next++);
            f.ui.Type(key);
            EXPECT_TRUE(f.ui.WaitUntil([&] {
                const std::string text = f.ui.Text(1001);
                return !text.empty() && text.back() == key[0];
            })) << f.ui.Text(1001);
        }
        ASSERT_TRUE(f.ui.Click(2));
        ASSERT_TRUE(f.ui.WaitUntil([&] { return f.ui.ActiveCaption() == u8"主窗口"; }));
        ASSERT_TRUE(f.ui.Click(2));
        ASSERT_TRUE(f.ui.WaitUntil([&] { return !main.HasWindow(); }));
        CallOnUiThread([] { SetMainWindow(nullptr); });
    });
}

class MessageBoxLooks : public testing::TestWithParam<const char*> {};

TEST_P(MessageBoxLooks, ANarrowBoxShowsItsWholeCaptionAndAFailureBoxTheErrorIcon) {
    Fixture f(GetParam());
    SKIP_WITHOUT_DISPLAY(f.ui);
    if (!f.ui.StartWindowManager())
        GTEST_SKIP() << "openbox did not start (scripts/setup-deps installs it)";
    f.ui.Run([&] {
        struct Case {
            const char* caption; // as the program holds it
            const char* shown;   // UTF-8
            const char* text;
            unsigned type;
            const char* icon;
        } cases[] = {
            {"StavrinTool", "StavrinTool", ".", platform::kMbOk, ""},
            {"测试程序", u8"测试程序", "测", platform::kMbOk | platform::kMbIconInformation, "information"},
            {"StavrinTool", "StavrinTool", "保存失败", platform::kMbOk | platform::kMbIconError, "error"},
            {"Error", "Error", "!", platform::kMbOk | platform::kMbIconError, "error"},
        };
        int shot = 0;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.text);
            std::future<int> answer = std::async(
                std::launch::async, [&c] { return platform::ShowMessageBox(c.text, c.caption, c.type); });
            ASSERT_TRUE(f.ui.WaitUntil([&] { return f.ui.ActiveCaption() == c.shown; }));
            // Room for the caption beside the title bar's icon and buttons, once the box is laid out.
            const int wanted = f.ui.BoldTextWidth(c.shown) + 90;
            EXPECT_TRUE(f.ui.WaitUntil([&] { return f.ui.ActiveWidth() >= wanted; }, 5000))
                << f.ui.ActiveWidth() << " < " << wanted;
            EXPECT_EQ(f.ui.BoxIcon(), c.icon);
            f.ui.Screenshot(std::string("MessageBoxes_") + GetParam() + "_" + std::to_string(++shot));
            ASSERT_TRUE(f.ui.ClickAnswer(platform::kIdOk));
            ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        }
    });
}

INSTANTIATE_TEST_SUITE_P(Languages, MessageBoxLooks, testing::Values("cn", "en"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

} // namespace
