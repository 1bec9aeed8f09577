#include "corvay/wlantest/WLanTestDlg.h"

#include <algorithm>

#include "corvay/dialogs/AsynWaitingDlg.h"
#include "corvay/dialogs/WaitingDlg.h"
#include "corvay/wlantest/WifiTester.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "engine/records/TestRecords.h"
#include "platform/ui/Application.h"

using platform::ui::Rect;
using platform::ui::Window;
using platform::ui::WindowHandle;

namespace {

// The inset of the pages within the tab control.
constexpr int kPageInset = 8, kPageTop = 30;
constexpr int kResultScroll = 10000;

CString WithPort(unsigned id, int port) {
    CString text;
    text.Format(LoadStringId(id).GetString(), port);
    return text;
}

// The steps' calls, carried to the panel's window; dropped once it is gone.
class PanelPoster : public WLanPanelView {
public:
    explicit PanelPoster(WindowHandle panel) : m_panel(std::move(panel)) {}
    void AppendLine(const CString& line) override {
        Post([line](WLanTestPanel& p) { p.AppendLine(line); });
    }
    void ClearLines() override {
        Post([](WLanTestPanel& p) { p.ClearLines(); });
    }
    void SetTesting(bool testing) override {
        Post([testing](WLanTestPanel& p) { p.SetTesting(testing); });
    }
    void ShowNetworkName(const CString& name) override {
        Post([name](WLanTestPanel& p) { p.ShowNetworkName(name); });
    }
    void FocusControl(int id) override {
        Post([id](WLanTestPanel& p) { p.FocusControl(id); });
    }

private:
    template <class F> void Post(F call) {
        WindowHandle panel = m_panel;
        platform::ui::RunOnUiThread([panel, call] {
            if (Window* window = panel.Get())
                call(static_cast<WLanTestPanel&>(*window));
        });
    }
    WindowHandle m_panel;
};

class ProgramUi : public WifiTesterUi {
public:
    void ShowPortWait(int durationMs, const CString& text) override {
        WaitingDlg wait(durationMs, text, platform::ui::MainWindow(), true);
        wait.DoModal();
    }
    void ShowPleaseWait(const CString& text) override {
        AsynWaitingDlg::Show(platform::ui::MainWindow(), text);
    }
    void HidePleaseWait() override { AsynWaitingDlg::Hide(); }
    bool DeletePleaseWait() override {
        bool existed = false;
        platform::ui::CallOnUiThread([&] {
            if (!AsynWaitingDlg::Instance())
                return;
            existed = true;
            AsynWaitingDlg::Destroy();
            if (Window* main = platform::ui::MainWindow())
                main->UpdateWindow();
        });
        return existed;
    }
    void OpenTestDialog(WLanTestSession& session) override {
        const bool queued = platform::ui::RunOnUiThread([&session] {
            int code;
            {
                WLanTestDlg dlg(session, platform::ui::MainWindow());
                code = dlg.DoModal();
            }
            session.DialogEnded(code);
        });
        if (!queued)
            session.DialogEnded(kDialogCancel);
    }
};

} // namespace

WifiTesterUi& ProgramWifiTesterUi() {
    static ProgramUi ui;
    return ui;
}

// ---- the panel ----

WLanTestPanel::WLanTestPanel(WLanTestSession& session) : CResizableDialog(IDD), m_session(session) {}

void WLanTestPanel::DoDataExchange(platform::ui::DataExchange& dx) {
    dx.Text(IDC_SSID, m_strSSID);
    dx.ComboIndex(IDC_SECURITY, m_nSecurity);
    dx.Text(IDC_PASSWORD, m_strPassword);
    dx.Text(IDC_RESULT, m_strResult);
}

bool WLanTestPanel::OnInitDialog() {
    CResizableDialog::OnInitDialog();
    using namespace resizable;
    for (int id : {IDC_SSID, IDC_SECURITY, IDC_PASSWORD})
        AddAnchor(Item(id), TOP_LEFT, TOP_RIGHT);
    AddAnchor(Item(IDC_TEST), TOP_RIGHT);
    AddAnchor(Item(IDC_RESULT), TOP_LEFT, BOTTOM_RIGHT);
    // A page has no frame of its own: the dialog sizes it.
    ShowSizeGrip(false);
    Window::SetMinTrackSize({-1, -1});
    platform::ui::Control security = Item(IDC_SECURITY);
    for (unsigned id : {65u, 61u, 63u, 64u})
        security.AddString(LoadStringId(id));
    m_nSecurity = 0;
    m_strSSID.Format("port%d", m_session.Port());
    UpdateData(false);
    ShowPasswordState();
    Item(IDC_RESULT).LineScroll(kResultScroll);
    return true;
}

void WLanTestPanel::ShowPasswordState() {
    Item(IDC_PASSWORD).SetReadOnly(Item(IDC_SECURITY).GetCurSel() == 0);
}

void WLanTestPanel::OnControlChanged(int id) {
    if (id == IDC_SECURITY)
        ShowPasswordState();
}

void WLanTestPanel::OnCommand(int id) {
    if (id != IDC_TEST)
        return;
    UpdateData(true);
    WLanTestInput input{m_strSSID, m_nSecurity, m_strPassword};
    if (m_session.RequestTest(input)) {
        SetTesting(true);
        ClearLines();
    }
}

void WLanTestPanel::AppendLine(const CString& line) {
    UpdateData(true);
    m_strResult = m_strResult.IsEmpty() ? line : m_strResult + "\r\n" + line;
    UpdateData(false);
    Item(IDC_RESULT).LineScroll(kResultScroll);
    Item(IDC_RESULT).Refresh();
}

void WLanTestPanel::ClearLines() {
    m_strResult.Empty();
    Item(IDC_RESULT).SetText("");
}

void WLanTestPanel::SetTesting(bool testing) {
    Item(IDC_TEST).Enable(!testing);
    SetWaitCursor(testing);
}

void WLanTestPanel::ShowNetworkName(const CString& name) {
    m_strSSID = name;
    Item(IDC_SSID).SetText(name);
}

void WLanTestPanel::FocusControl(int id) {
    Item(id).SetFocus();
}

// ---- the dialog ----

WLanTestDlg::WLanTestDlg(WLanTestSession& session, Window* parent)
    : CResizableDialog(IDD, parent), m_panel(session), m_session(session) {
    LogDebug("创建WLanTestDlg==================================");
}

WLanTestDlg::~WLanTestDlg() {
    LogDebug("关闭WLanTestDlg==================================");
    m_session.AttachPanel(nullptr);
    m_pIePanel.reset();
}

bool WLanTestDlg::OnInitDialog() {
    CResizableDialog::OnInitDialog();
    using namespace resizable;
    AddAnchor(Item(1), BOTTOM_RIGHT);
    AddAnchor(Item(2), BOTTOM_RIGHT);
    AddAnchor(Item(IDC_TAB), TOP_LEFT, BOTTOM_RIGHT);
    platform::ui::Control tab = Item(IDC_TAB);
    tab.AddString(WithPort(73, m_session.Port()));
    tab.AddString(LoadStringId(105));
    tab.AddString(LoadStringId(87));

    MakeBrowserPanel();
    if (m_panel.Create(this))
        m_session.AttachPanel(std::make_unique<PanelPoster>(m_panel.Handle()));
    PlacePages();
    SetMinTrackSize({640, 480});
    ApplyMinMax(*this);
    SetWindowText(WithPort(69, m_session.Port()));

    m_nCurPage = 0;
    tab.SetCurSel(0);
    ShowPage(0);
    SetTimer(kEndPollTimer, 1000);
    m_bInit = true;
    LogDebug("OnInitDialog End==================================");
    return true;
}

bool WLanTestDlg::MakeBrowserPanel() {
    m_pIePanel = std::make_unique<IePanel>();
    m_pIePanel->SetAddress(m_session.browserAddress);
    if (m_pIePanel->Create(this))
        return true;
    m_pIePanel.reset();
    return false;
}

Rect WLanTestDlg::PageRect() const {
    platform::ui::Control control = Item(IDC_TAB);
    const Rect tab = control.GetRect();
    // Below the tabs, however tall this system draws them.
    const int top = std::max(tab.top + kPageTop, control.GetDisplayRect().top);
    return {tab.left + kPageInset, top, tab.right - kPageInset, tab.bottom - kPageInset};
}

void WLanTestDlg::PlacePages() {
    const Rect page = PageRect();
    if (m_pIePanel && m_pIePanel->HasWindow())
        m_pIePanel->MoveWindow(page);
    m_panel.MoveWindow(page);
}

void WLanTestDlg::OnSize(unsigned type, int cx, int cy) {
    CResizableDialog::OnSize(type, cx, cy);
    if (m_bInit)
        PlacePages();
}

void WLanTestDlg::ShowPage(int page) {
    if (page == WLanTestSession::kPageTest) {
        if (m_pIePanel) {
            m_pIePanel->ShowWindow(false);
            m_pIePanel->DestroyWindow();
            m_pIePanel.reset();
        }
        m_panel.ShowWindow(true);
        return;
    }
    if (!m_pIePanel || !m_pIePanel->HasWindow()) {
        if (MakeBrowserPanel())
            PlacePages();
    }
    if (m_pIePanel)
        m_pIePanel->ShowWindow(true);
    m_panel.ShowWindow(false);
}

void WLanTestDlg::OnControlChanged(int id) {
    if (id != IDC_TAB)
        return;
    platform::ui::Control tab = Item(IDC_TAB);
    const int chosen = tab.GetCurSel();
    const int page = m_session.OnTabChange(chosen);
    if (page != chosen) {
        tab.SetCurSel(page);
        // The tab's own empty page, shown again, now lies over the test panel and takes its
        // clicks and keys: showing the panel anew puts it back on top.
        m_panel.ShowWindow(false);
        m_panel.ShowWindow(true);
        return;
    }
    m_nCurPage = page;
    ShowPage(page);
}

void WLanTestDlg::OnOK() {
    const DialogOutcome outcome = m_session.OnOK();
    if (outcome.IsClose())
        EndDialog(outcome.result);
}

void WLanTestDlg::OnCancel() {
    EndDialog(m_session.OnCancel().result);
    LogDebug("OnBnClickedCancel:End ==========================");
}

void WLanTestDlg::OnShowWindow(bool show) {
    if (show && m_bInit)
        PlacePages();
    LogDebug("WLanTestDlg::OnShowWindow(BOOL bShow, UINT nStatus)");
}

void WLanTestDlg::OnTimer(unsigned id) {
    // The job was stopped from the main window: the dialog ends as its abort button ends it.
    if (id == kEndPollTimer && m_session.EndRequested())
        OnCancel();
}
