#pragma once
// What the main view needs of its window: the report list, the main window's title and
// cursor, posted messages and timers, and the dialogs it runs. The program binds it to a
// platform::ui::ReportList in the frame; headless tests record it.

#include <cstdint>
#include <vector>

#include "platform/text/CString.h"

class TestInfo;

class CorvayViewWindow {
public:
    virtual ~CorvayViewWindow() = default;

    // The list.
    virtual void InsertColumn(int column, const CString& heading, int width) = 0;
    virtual void SetColumnWidth(int column, int width) = 0;
    // Icon resource numbers, image index = position.
    virtual void SetImages(const std::vector<int>& icons) = 0;
    virtual void DeleteAllRows() = 0;
    virtual void InsertRow(int row, const CString& text, int image) = 0;
    virtual void SetRowImage(int row, int image) = 0;
    virtual void SetRowText(int row, int column, const CString& text) = 0;
    virtual int GetSelectedRow() const = 0; // -1 none
    virtual int GetClientWidth() const = 0;
    virtual void Repaint() = 0;

    // The main window; false when there is none.
    virtual bool SetTitle(const CString& title) = 0;
    // 0 default, 1 arrow, 2 hour-glass, 3 arrow with hour-glass.
    virtual void SetCursorState(int state) = 0;
    virtual void CloseMainWindow() = 0;
    virtual void CloseSplash() = 0;

    // Any thread: hands the message to CCorvayView::OnMessage on the UI thread, in order.
    virtual void Post(unsigned message, uintptr_t wParam, intptr_t lParam, uint64_t serial) = 0;
    // One-shot timers; CCorvayView::OnTimer(id) on the UI thread.
    virtual void StartTimer(unsigned id, int ms) = 0;
    virtual void StopTimer(unsigned id) = 0;

    // The screen saver: whether it is on (false when it cannot be told), and switching it.
    virtual bool GetScreenSaverActive(bool& active) = 0;
    virtual void SetScreenSaverActive(bool active) = 0;

    // Modal dialogs.
    virtual void RunWaitingDlg(const CString& text, int durationMs) = 0;
    virtual void RunResultDlg(TestInfo& info) = 0;
    virtual void RunMyIE(const CString& address) = 0;
    virtual bool RunSwitchConfigDlg() = 0; // true on OK
    virtual void RunDeviceDlg() = 0;
    // Menu 4's first pop-up at the cursor.
    virtual void PopupContextMenu() = 0;
};
