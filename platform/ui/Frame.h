#pragma once
// The main window: menu bar, tool bar and status bar from the language pack, accelerators,
// and commands routed view -> frame -> application by the program's own command numbers
// (32783 ... 59393; the layer moves them into the range the toolkit takes and back).
//
// How a program binds to it: derive the main frame from Frame and the view from CommandTarget;
// Create(...) with the pack's menu bar number, CreateToolBar / CreateStatusBar, SetView(view),
// Frame::SetApplicationTarget(app). A command runs the first OnCommand that returns true (view,
// frame, application); before menus open and at idle every command asks OnUpdateCommand the
// same way to enable or check it. The View menu's 59392 and 59393 hide and show the tool bar and
// the status bar unless a target takes them. A command's status-bar prompt and tool tip are the string of
// the same number ("prompt\ntip"). OnClose returning false keeps the window open.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/text/CString.h"
#include "platform/ui/Window.h"

namespace platform::ui {

class CommandUI {
public:
    explicit CommandUI(int id) : m_id(id) {}
    int Id() const { return m_id; }
    void Enable(bool enable = true) { m_enabled = enable; }
    void SetCheck(int check = 1) { m_check = check; }
    bool Enabled() const { return m_enabled; }
    int Check() const { return m_check; }

private:
    int m_id;
    bool m_enabled = true;
    int m_check = -1; // -1: left as it is
};

class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    // True when handled.
    virtual bool OnCommand(int /*id*/) { return false; }
    virtual bool OnUpdateCommand(CommandUI& /*ui*/) { return false; }
};

// The lock keys as the keyboard's indicators show them.
struct LockKeys {
    bool caps = false, num = false, scroll = false;
};
// Read from the display's keyboard (all off without one).
LockKeys ReadLockKeys();
// The status bar's indicator panes are the ones named "CAP", "NUM" and "SCRL"; each shows its
// name while its key is on and nothing while it is off.
bool IsIndicatorPane(const CString& name);
CString IndicatorPaneText(const CString& name, const LockKeys& keys);

struct Accelerator {
    enum : unsigned { Ctrl = 1, Shift = 2, Alt = 4 };
    unsigned modifiers = 0;
    int key = 0; // a letter or digit, or F1..F24 as 0x70 + n - 1 (the platform's key codes)
    int command = 0;
};

class Frame : public Window, public CommandTarget {
public:
    Frame();
    ~Frame() override;

    // Makes the window with the pack's menu bar of that number (0: none), client size in pixels.
    bool Create(const CString& title, int menuBarId, int width, int height);
    // The pack's tool bar of that number; its buttons carry command numbers.
    bool CreateToolBar(int toolBarId);
    // Panes: the first stretches; the others are as wide as their texts. Indicator panes
    // follow their lock keys from then on.
    bool CreateStatusBar(const std::vector<CString>& paneTexts);
    void SetStatusText(int pane, const CString& text);
    CString GetStatusText(int pane) const;
    void SetAccelerators(const std::vector<Accelerator>& table);
    // Accelerators from the pack's text resource "<name>": lines "F2 32808", "Ctrl+N 57600".
    bool LoadAccelerators(const std::string& name);

    void SetView(CommandTarget* view) { m_view = view; }
    CommandTarget* View() const { return m_view; }
    static void SetApplicationTarget(CommandTarget* target);

    // Runs a command as the menus do (any thread: carried to the UI thread).
    void SendCommand(int id);
    // Asks the update handlers for every command of the menus and tool bar now.
    void UpdateCommands();
    // The enabled and checked state the last update gave a command.
    bool IsCommandEnabled(int id) const;
    bool IsCommandChecked(int id) const;

    void ShowMaximized();
    // Asks the window to close as its close box does (OnClose may refuse); true when it closes.
    bool SendCloseRequest();

protected:
    virtual bool OnClose() { return true; }

private:
    bool Route(int id);
    void RouteUpdate(CommandUI& ui);
    void BindEvents();
    void ApplyPrompts();

    void UpdateIndicators();

    CommandTarget* m_view = nullptr;
    struct Indicators;
    std::unique_ptr<Indicators> m_indicators;
};

// Parses one accelerator line ("F2 32808", "Ctrl+Shift+S 57603"); false when it is not one.
bool ParseAccelerator(const std::string& line, Accelerator& out);

} // namespace platform::ui
