#include "corvay/view/CorvayViewBinding.h"

#include <condition_variable>

#include "corvay/dialogs/DialogWindow.h"
#include "corvay/dialogs/MyIE.h"
#include "corvay/dialogs/ResultDlg.h"
#include "corvay/dialogs/WaitingDlg.h"
#include "corvay/settings/DeviceDlg.h"
#include "corvay/settings/SwitchConfigDlg.h"
#include "engine/config/Configer.h"
#include "platform/ui/Application.h"
#include "platform/ui/ScreenSaver.h"

namespace {

// The binding's own messages on the list: "deliver the next posted entry" and a timer's end.
constexpr unsigned kDeliver = WM_USER_BASE + 130;
constexpr unsigned kTimerEnded = WM_USER_BASE + 131;

} // namespace

class CorvayViewBinding::ViewList : public platform::ui::ReportList {
public:
    explicit ViewList(CorvayViewBinding& owner) : m_owner(owner) {}
    void OnMessage(unsigned message, uintptr_t wParam, intptr_t) override {
        if (message == kDeliver) {
            m_owner.Deliver();
        } else if (message == kTimerEnded) {
            const unsigned id = static_cast<unsigned>(wParam);
            auto it = m_owner.m_timers.find(id);
            if (it == m_owner.m_timers.end())
                return; // stopped meanwhile
            m_owner.m_timers.erase(it);
            m_owner.m_view->OnTimer(id);
        }
    }

private:
    CorvayViewBinding& m_owner;
};

CorvayViewBinding::CorvayViewBinding(platform::ui::Frame& frame, CCorvayView::Options options)
    : m_frame(frame), m_options(std::move(options)), m_list(std::make_unique<ViewList>(*this)) {}

CorvayViewBinding::~CorvayViewBinding() {
    if (m_frame.View() == this)
        m_frame.SetView(nullptr);
    m_view.reset();
    m_timers.clear();
    m_wait.reset();
}

platform::ui::ReportList& CorvayViewBinding::List() {
    return *m_list;
}

bool CorvayViewBinding::Create() {
    if (!m_list->Create(m_frame))
        return false;
    m_view = std::make_unique<CCorvayView>(*this, m_options);
    m_list->OnDoubleClick = [this](int) { m_view->OnDoubleClick(); };
    m_list->OnRightClick = [this](int, int x, int y) {
        m_menuX = x;
        m_menuY = y;
        m_view->OnContextMenu();
    };
    m_list->OnSize = [this](int, int) {
        if (m_columnCount == 3)
            m_view->OnSize();
    };
    m_frame.SetView(this);
    return true;
}

bool CorvayViewBinding::OnCommand(int id) {
    return m_view && m_view->OnCommand(id);
}

bool CorvayViewBinding::OnUpdateCommand(platform::ui::CommandUI& ui) {
    bool enabled = true;
    if (!m_view || !m_view->UpdateCommand(ui.Id(), enabled))
        return false;
    ui.Enable(enabled);
    return true;
}

void CorvayViewBinding::InsertColumn(int column, const CString& heading, int width) {
    m_list->InsertColumn(column, heading, width);
    m_columnCount = m_list->GetColumnCount();
}

void CorvayViewBinding::SetColumnWidth(int column, int width) {
    m_list->SetColumnWidth(column, width);
}

void CorvayViewBinding::SetImages(const std::vector<int>& icons) {
    std::vector<std::string> names;
    for (int icon : icons)
        names.push_back("icon" + std::to_string(icon) + ".xpm");
    m_list->SetImages(names);
}

void CorvayViewBinding::DeleteAllRows() {
    m_list->DeleteAllItems();
}

void CorvayViewBinding::InsertRow(int row, const CString& text, int image) {
    m_list->InsertItem(row, text, image);
}

void CorvayViewBinding::SetRowImage(int row, int image) {
    m_list->SetItemImage(row, image);
}

void CorvayViewBinding::SetRowText(int row, int column, const CString& text) {
    m_list->SetItemText(row, column, text);
}

int CorvayViewBinding::GetSelectedRow() const {
    return m_list->GetSelectedItem();
}

int CorvayViewBinding::GetClientWidth() const {
    return m_list->GetClientSize().cx;
}

void CorvayViewBinding::Repaint() {
    m_list->Invalidate();
}

bool CorvayViewBinding::SetTitle(const CString& title) {
    platform::ui::Window* main = platform::ui::MainWindow();
    if (!main)
        main = &m_frame;
    if (!main->HasWindow())
        return false;
    main->SetWindowText(title);
    return true;
}

void CorvayViewBinding::SetCursorState(int state) {
    if (state == 2 || state == 3) {
        if (!m_wait)
            m_wait = std::make_unique<platform::ui::WaitCursor>();
    } else {
        m_wait.reset();
    }
}

void CorvayViewBinding::CloseMainWindow() {
    // Through the frame's own close path, after the box's loop has returned.
    platform::ui::WindowHandle handle = m_frame.Handle();
    platform::ui::RunOnUiThread([handle] {
        if (platform::ui::Window* w = handle.Get())
            static_cast<platform::ui::Frame*>(w)->SendCloseRequest();
    });
}

void CorvayViewBinding::CloseSplash() {
    if (closeSplash)
        closeSplash();
}

void CorvayViewBinding::Post(unsigned message, uintptr_t wParam, intptr_t lParam, uint64_t serial) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({message, wParam, lParam, serial});
    }
    if (!platform::ui::PostMessage(m_list->Handle(), kDeliver)) {
        std::lock_guard lock(m_mutex);
        m_queue.clear(); // the window is gone: nobody will take them
    }
}

void CorvayViewBinding::Deliver() {
    Entry e;
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.empty())
            return;
        e = m_queue.front();
        m_queue.pop_front();
    }
    m_view->OnMessage(e.message, e.wParam, e.lParam, e.serial);
}

void CorvayViewBinding::StartTimer(unsigned id, int ms) {
    StopTimer(id);
    platform::ui::WindowHandle handle = m_list->Handle();
    m_timers[id] = std::jthread([handle, id, ms](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        if (!wake.wait_for(lock, stop, std::chrono::milliseconds(ms), [] { return false; }) &&
            !stop.stop_requested())
            platform::ui::PostMessage(handle, kTimerEnded, id);
    });
}

void CorvayViewBinding::StopTimer(unsigned id) {
    m_timers.erase(id); // asks the thread to stop and joins it
}

bool CorvayViewBinding::GetScreenSaverActive(bool& active) {
    int seconds = 0;
    if (!platform::ui::ScreenSaver::GetTimeout(seconds))
        return false;
    active = seconds > 0;
    return true;
}

void CorvayViewBinding::SetScreenSaverActive(bool active) {
    if (active)
        platform::ui::ScreenSaver::Restore();
    else
        platform::ui::ScreenSaver::TurnOff();
}

void CorvayViewBinding::RunWaitingDlg(const CString& text, int durationMs) {
    WaitingDlg dlg(durationMs, text, &m_frame, true);
    dlg.DoModal();
}

void CorvayViewBinding::RunResultDlg(TestInfo& info) {
    ResultDlg dlg(info, Configer::GetInstance()->GetSystemConfig().Dslam, &m_frame);
    dlg.DoModal();
}

void CorvayViewBinding::RunMyIE(const CString& address) {
    MyIE dlg(address, &m_frame);
    dlg.DoModal();
}

bool CorvayViewBinding::RunSwitchConfigDlg() {
    SwitchConfigDlg dlg;
    return RunDialogWindow(dlg, &m_frame) == 1;
}

void CorvayViewBinding::RunDeviceDlg() {
    DeviceDlg dlg;
    RunDialogWindow(dlg, &m_frame);
}

void CorvayViewBinding::PopupContextMenu() {
    m_list->PopupMenu(4, 0, m_menuX, m_menuY);
}
