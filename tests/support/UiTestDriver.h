#pragma once
// Real windows in tests: each driver starts an X server of its own (Xvfb -displayfd, so tests
// may run side by side), starts the window layer on the test's thread and runs a script on a
// second thread while the UI loop runs. The script drives the windows as a user would: real
// mouse clicks and keys (XTest), by control number, also inside modal dialogs, and takes
// screenshots into <build>/screenshots/.
//
//     testsupport::UiTestDriver ui;
//     SKIP_WITHOUT_DISPLAY(ui);
//     ui.UsePack("cn");
//     ui.Run([&] { ...; ui.Click(1); ui.Screenshot("name"); });
//
// The toolkit starts once per process: one driver per test, one test per process (ctest runs
// every test case in its own process).

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/ui/LanguagePack.h"

namespace testsupport {

class UiTestDriver {
public:
    UiTestDriver();
    ~UiTestDriver();
    UiTestDriver(const UiTestDriver&) = delete;
    UiTestDriver& operator=(const UiTestDriver&) = delete;

    bool Ready() const { return m_ready; }
    const std::string& Reason() const { return m_reason; }

    // Loads "Localize_<language>.so" of the build and puts it in use (strings too).
    bool UsePack(const std::string& language, const std::string& prefix = "Localize_");
    platform::ui::LanguagePack& Pack() { return m_pack; }

    // Runs the script on a driver thread while this thread runs the UI loop; returns once the
    // script has ended and the loop with it. A script still running after `limit` is taken as
    // stuck: its dialogs are ended until it returns.
    void Run(const std::function<void()>& script, std::chrono::seconds limit = std::chrono::seconds(90));

    // --- from the script ---
    // Polls the condition on the UI thread until it holds; false on time-out.
    bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);
    // Lets the UI thread finish what is queued and draw.
    void Settle(int ms = 150);
    // The message of the active window when it is a box, UTF-8, its wrapped lines joined by
    // spaces again ("" when it shows none).
    std::string BoxText();
    // The active window: the topmost modal dialog, else the last shown top-level window.
    std::string ActiveCaption();
    bool HasActiveWindow();
    // Real click on the active window's control with that number (or its button of a
    // standard id: platform's kIdOk, kIdCancel, kIdYes, kIdNo for message boxes).
    bool Click(int controlId);
    bool ClickAnswer(int answer);
    // A message box's button of that answer: its label (UTF-8, "" when there is none) and the
    // screen x of its left edge.
    struct AnswerButton {
        std::string label;
        int left = -1;
    };
    AnswerButton Answer(int answer);
    // Real clicks at a screen point: button 1 left, 3 right; twice for a double click.
    void ClickAt(int x, int y, int button = 1, bool twice = false);
    // Real pointer motion to a screen point, no click.
    void MoveTo(int x, int y);
    // Real keys to the active window, by the platform's key codes (27 Escape, 13 Return, 0x25
    // to 0x28 the arrows left, up, right, down, 0x70 F1 ... 0x87 F24, letters and digits as
    // their capitals), and text.
    void Key(int keyCode);
    void Type(const std::string& ascii);
    // UTF-8 text written over an edit's whole text, as an input method writes over a selection.
    bool Paste(int controlId, const std::string& utf8);
    // Real click on a row of a report list of the active window (away from its first column's
    // edge, where a check box would be).
    bool ClickRow(int controlId, int row);
    // Selects an entry of a combo or list box, or a tab, as a user would, the dialog told of
    // the change.
    bool Select(int controlId, int index);
    // Real click on a tab of a tab control of the active window.
    bool ClickTab(int controlId, int index);
    // The text of a control of the active window, UTF-8.
    std::string Text(int controlId);
    // A report list's cell of the active window, UTF-8 ("" when there is none); its row count.
    std::string CellText(int controlId, int row, int column);
    int RowCount(int controlId);
    // The entries of a list or combo box of the active window, or the rows of a report list
    // with their column texts joined by '|'; UTF-8.
    std::vector<std::string> Items(int controlId);
    // Its selected entry or first selected row, -1 for none.
    int SelectedItem(int controlId);
    // The icon the active box shows: "error", "warning", "question", "information", "other" or
    // "" for none.
    std::string BoxIcon();
    // The active window's outer width and the width the text takes in its font made bold (as a
    // title bar's is), in pixels.
    int ActiveWidth();
    int BoldTextWidth(const std::string& utf8);
    // A check box or radio button of the active window: checked; enabled; shown.
    bool IsChecked(int controlId);
    bool IsEnabled(int controlId);
    bool IsShown(int controlId);
    // Moves and resizes the active window (client size in pixels).
    void ResizeActive(int width, int height);
    // Whether the window system is told that the top-level window of that (ASCII) title may be
    // resized: its size hints leave room between the smallest and the largest size.
    bool WindowSizable(const std::string& title);
    // The keyboard's lock keys as if pressed into that state.
    bool SetLockKeys(bool caps, bool num, bool scroll);
    // A window manager (openbox) on the server, for what only one does: frames and captions,
    // raising a clicked window, giving the focus. False when it is missing or does not come up.
    bool StartWindowManager();
    // The managed windows' titles, bottom first, as the server stacks them (UTF-8).
    std::vector<std::string> StackingOrder();
    // The title of the window with the keyboard focus, as the server has it.
    std::string FocusedTitle();
    // The whole screen into <build>/screenshots/<name>.png; the path, "" on failure.
    std::string Screenshot(const std::string& name);

private:
    bool StartServer();
    pid_t Spawn(const std::vector<std::string>& command);

    bool m_ready = false;
    std::string m_reason;
    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    std::string m_display;
    platform::ui::LanguagePack m_pack;
};

} // namespace testsupport

#define SKIP_WITHOUT_DISPLAY(driver)                                                                         \
    do {                                                                                                     \
        if (!(driver).Ready())                                                                               \
            GTEST_SKIP() << (driver).Reason();                                                               \
    } while (0)
