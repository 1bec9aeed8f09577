#pragma once
// The main view in a real window: a report list filling the frame's client area, commands
// from the frame's menus, keys and tool bar, posted messages and one-shot timers, the
// hour-glass, the screen saver and the view's dialogs.
//
// How the program binds to it (UI thread): CorvayViewBinding binding(frame); binding.Create()
// after the frame's window exists (it makes the list and the view, and sets itself as the
// frame's view); binding.View().OnInitialUpdate() once the frame shows; closeSplash is the
// frame's.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "corvay/view/CCorvayView.h"
#include "platform/ui/Frame.h"
#include "platform/ui/ReportList.h"

class CorvayViewBinding : public CorvayViewWindow, public platform::ui::CommandTarget {
public:
    explicit CorvayViewBinding(platform::ui::Frame& frame, CCorvayView::Options options = {});
    ~CorvayViewBinding() override;

    bool Create();
    CCorvayView& View() { return *m_view; }
    platform::ui::ReportList& List();

    // Closes the frame's splash window (none: nothing to close).
    std::function<void()> closeSplash;

    // CommandTarget.
    bool OnCommand(int id) override;
    bool OnUpdateCommand(platform::ui::CommandUI& ui) override;

    // CorvayViewWindow.
    void InsertColumn(int column, const CString& heading, int width) override;
    void SetColumnWidth(int column, int width) override;
    void SetImages(const std::vector<int>& icons) override;
    void DeleteAllRows() override;
    void InsertRow(int row, const CString& text, int image) override;
    void SetRowImage(int row, int image) override;
    void SetRowText(int row, int column, const CString& text) override;
    int GetSelectedRow() const override;
    int GetClientWidth() const override;
    void Repaint() override;
    bool SetTitle(const CString& title) override;
    void SetCursorState(int state) override;
    void CloseMainWindow() override;
    void CloseSplash() override;
    void Post(unsigned message, uintptr_t wParam, intptr_t lParam, uint64_t serial) override;
    void StartTimer(unsigned id, int ms) override;
    void StopTimer(unsigned id) override;
    bool GetScreenSaverActive(bool& active) override;
    void SetScreenSaverActive(bool active) override;
    void RunWaitingDlg(const CString& text, int durationMs) override;
    void RunResultDlg(TestInfo& info) override;
    void RunMyIE(const CString& address) override;
    bool RunSwitchConfigDlg() override;
    void RunDeviceDlg() override;
    void PopupContextMenu() override;

private:
    class ViewList;
    struct Entry {
        unsigned message;
        uintptr_t wParam;
        intptr_t lParam;
        uint64_t serial;
    };
    void Deliver();

    platform::ui::Frame& m_frame;
    CCorvayView::Options m_options;
    std::unique_ptr<ViewList> m_list;
    std::unique_ptr<CCorvayView> m_view;
    std::mutex m_mutex;
    std::deque<Entry> m_queue; // what Post carried, one entry per posted message
    std::map<unsigned, std::jthread> m_timers;
    std::unique_ptr<platform::ui::WaitCursor> m_wait;
    int m_menuX = 0, m_menuY = 0;
    int m_columnCount = 0;
};
