#pragma once
// Dialog windows under an X server of the test's own: the language pack, the windowed boxes,
// and a dialog's window run modally while the script drives it.

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "corvay/dialogs/DialogWindow.h"
#include "platform/ui/Application.h"
#include "platform/ui/WindowPrompts.h"
#include "tests/support/UiTestDriver.h"

namespace testsupport {

// A dialog's window, modal on the UI thread; made and deleted there.
class RunningDialog {
public:
    RunningDialog(UiTestDriver& ui, DialogState& state) : m_ui(ui) {
        m_window = platform::ui::CallOnUiThreadFor([&] { return MakeDialogWindow(state, nullptr); });
        auto done = std::make_shared<std::promise<int>>();
        m_result = done->get_future();
        platform::ui::Dialog* window = m_window.get();
        platform::ui::RunOnUiThread([window, done] { done->set_value(window ? window->DoModal() : -1); });
        m_open = window && ui.WaitUntil([window] { return window->IsModal(); });
        ui.Settle();
    }
    ~RunningDialog() {
        platform::ui::CallOnUiThread([this] { m_window.reset(); });
    }
    bool Open() const { return m_open; }
    platform::ui::Dialog& Window() { return *m_window; }
    // Runs on the UI thread with the window.
    template <class F> auto OnUi(F&& task) {
        return platform::ui::CallOnUiThreadFor([&] { return task(*m_window); });
    }
    void SetText(int id, const CString& text) {
        platform::ui::CallOnUiThread([&] { m_window->Item(id).SetText(text); });
    }
    // The code the dialog ended with; -2 when it is still open after ten seconds.
    int Result() {
        if (m_result.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
            return -2;
        return m_result.get();
    }

private:
    UiTestDriver& m_ui;
    std::unique_ptr<platform::ui::Dialog> m_window;
    std::future<int> m_result;
    bool m_open = false;
};

// The pack in use and windowed boxes; call Ready() first.
class WindowFixture {
public:
    explicit WindowFixture(const char* pack = "cn") {
        if (!ui.Ready())
            return;
        EXPECT_TRUE(ui.UsePack(pack));
        platform::SetPromptService(&prompts);
    }
    ~WindowFixture() { platform::SetPromptService(nullptr); }
    // Waits for the active window's caption (UTF-8).
    bool WaitForCaption(const std::string& caption) {
        return ui.WaitUntil([&] { return ui.ActiveCaption() == caption; });
    }

    UiTestDriver ui;
    platform::ui::WindowPrompts prompts;
};

} // namespace testsupport
