#include "stavrintool/capture/CaptureDlgs.h"

using namespace resizable;

namespace {
constexpr int kPanelInset = 8;
}

// ---- the browser dialogs' frame ----

CaptureBrowserDlg::CaptureBrowserDlg(int resourceId, CapturePanel& panel, int panelTop,
                                     platform::ui::Window* parent)
    : CResizableDialog(resourceId, parent), m_panel(panel), m_panelTop(panelTop) {}

bool CaptureBrowserDlg::OnInitDialog() {
    CResizableDialog::OnInitDialog();
    AddAnchor(Item(IDC_URL), TOP_LEFT, TOP_RIGHT);
    AddAnchor(Item(1), TOP_RIGHT);
    AddAnchor(Item(2), TOP_RIGHT);
    // A page is made hidden; the browser draws and takes the pointer only once shown.
    if (m_panel.Create(this)) {
        m_init = true;
        m_panel.ShowWindow(true);
    }
    PlacePanel();
    SetMinTrackSize({640, 480});
    ApplyMinMax(*this);
    CenterWindow();
    m_panel.Navigate(m_url);
    return true;
}

void CaptureBrowserDlg::PlacePanel() {
    if (!m_init || !m_panel.HasWindow())
        return;
    const platform::ui::Size client = GetClientSize();
    m_panel.MoveWindow({kPanelInset, m_panelTop, client.cx - kPanelInset, client.cy - kPanelInset});
}

void CaptureBrowserDlg::OnSize(unsigned type, int cx, int cy) {
    CResizableDialog::OnSize(type, cx, cy);
    PlacePanel();
}

void CaptureBrowserDlg::OnOK() {
    m_url = GetDlgItemText(IDC_URL);
    m_panel.Navigate(m_url);
}

void CaptureBrowserDlg::OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (message == capture::WM_PANEL_NAVIGATED) {
        m_url = m_panel.Address();
        SetDlgItemText(IDC_URL, m_url);
    } else if (message == capture::WM_REQUEST_CAPTURED) {
        OnRequestCaptured();
    } else if (message == kFindFileControl) {
        FindFileControl();
    } else {
        CResizableDialog::OnMessage(message, wParam, lParam);
    }
}

// ---- FuncBrowserDlg ----

FuncBrowserDlg::FuncBrowserDlg(platform::ui::Window* parent) : CaptureBrowserDlg(IDD, m_panel, 30, parent) {}

void FuncBrowserDlg::SetFunctionKind(int kind) {
    m_model.SetFunctionKind(kind);
    if (HasWindow())
        SetWindowText(m_model.Caption());
}

CapturedRequest FuncBrowserDlg::GetCapturedRequest() const {
    if (!m_panel.IsCaptured())
        throw false;
    return m_panel.GetCapturedRequest();
}

void FuncBrowserDlg::DoDataExchange(platform::ui::DataExchange& dx) {
    dx.Text(IDC_URL, Url());
    dx.Check(IDC_CAPTURE, m_model.capturing);
}

bool FuncBrowserDlg::OnInitDialog() {
    CaptureBrowserDlg::OnInitDialog();
    AddAnchor(Item(IDC_CAPTURE), TOP_RIGHT);
    if (!m_model.Caption().IsEmpty())
        SetWindowText(m_model.Caption());
    return true;
}

void FuncBrowserDlg::OnControlChanged(int id) {
    if (id != IDC_CAPTURE)
        return;
    m_model.capturing = Item(IDC_CAPTURE).GetCheck();
    m_panel.SetArmed(m_model.capturing != 0);
}

void FuncBrowserDlg::OnRequestCaptured() {
    m_model.capturing = 0;
    Item(IDC_CAPTURE).SetCheck(0);
    EndDialog(1);
}

// ---- FunctionDlg ----

void FunctionDlg::DoDataExchange(platform::ui::DataExchange& dx) {
    // Shown only: what is read back is never used.
    if (dx.Saving())
        return;
    CString action = BoxText(m_request.action).Shown(), method = capture::MethodName(m_request.isPost),
            post = BoxText(m_request.postData).Shown(), headers = BoxText(m_request.headers).Shown();
    dx.Text(1012, action);
    dx.Text(1112, method);
    dx.Text(1115, post);
    dx.Text(1113, headers);
}

// ---- LoginFuncDlg ----

LoginFuncDlg::LoginFuncDlg(platform::ui::Window* parent)
    : Dialog(IDD, parent), m_model(platform::Prompts()) {}

void LoginFuncDlg::DoDataExchange(platform::ui::DataExchange& dx) {
    capture::LoginFuncModel& m = m_model;
    // The boxes show the page's bytes in the page's charset (guessed from what it sent); the
    // credentials typed are put in that charset too, so that they match the captured bytes.
    const std::string charset = BoxText(m.capturedPost + m.capturedAction).IsUtf8() ? "UTF-8" : "GBK";
    auto text = [&](int id, CString& bytes) {
        CString box = dx.Saving() ? CString() : m_boxes.Show(id, bytes, charset);
        dx.Text(id, box);
        if (dx.Saving())
            bytes = m_boxes.Read(id, box);
    };
    text(IDC_USER, m.user);
    text(IDC_PASSWORD, m.password);
    text(1012, m.capturedAction);
    text(1112, m.capturedMethod);
    text(1113, m.capturedHeaders);
    text(1115, m.capturedPost);
    text(1013, m.action);
    text(1017, m.headers);
    text(1116, m.postData);
    dx.Radio(IDC_POST, m.method);
}

bool LoginFuncDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    m_model.Init();
    Item(IDC_POST).Enable(m_model.methodEnabled);
    Item(IDC_GET).Enable(m_model.methodEnabled);
    UpdateData(false);
    return true;
}

void LoginFuncDlg::OnCommand(int id) {
    if (id != IDC_REPLACE || !UpdateData(true))
        return;
    m_model.Parameterise();
    UpdateData(false);
}

void LoginFuncDlg::OnOK() {
    if (!UpdateData(true))
        return;
    m_result = m_model.Result();
    EndDialog(1);
}

// ---- UpgradeBrowserDlg ----

UpgradeBrowserDlg::UpgradeBrowserDlg(platform::ui::Window* parent)
    : CaptureBrowserDlg(IDD, m_panel, 70, parent) {}

CString UpgradeBrowserDlg::GetTargetAction() const {
    if (!m_panel.IsUploadCaptured())
        throw false;
    return m_panel.GetUploadRequest().action;
}

void UpgradeBrowserDlg::DoDataExchange(platform::ui::DataExchange& dx) {
    dx.Text(IDC_URL, Url());
    dx.Text(IDC_PAGE, m_model.uploadPage);
    dx.Text(IDC_CONTROL, m_model.fileControl);
    dx.Check(IDC_CAPTURE, m_model.captureChecked);
}

bool UpgradeBrowserDlg::OnInitDialog() {
    CaptureBrowserDlg::OnInitDialog();
    AddAnchor(Item(IDC_CAPTURE), TOP_RIGHT);
    AddAnchor(Item(IDC_FOUND), TOP_LEFT);
    AddAnchor(Item(1127), TOP_LEFT);
    AddAnchor(Item(1128), TOP_LEFT);
    AddAnchor(Item(IDC_PAGE), TOP_LEFT, TOP_RIGHT);
    AddAnchor(Item(IDC_CONTROL), TOP_LEFT, TOP_RIGHT);
    Item(IDC_CAPTURE).Show(false);
    return true;
}

void UpgradeBrowserDlg::OnCommand(int id) {
    // The search waits for the page's answer in a loop of its own: not inside the button's
    // click, which that loop would leave half done.
    if (id == IDC_FOUND)
        platform::ui::PostMessage(Handle(), kFindFileControl);
}

void UpgradeBrowserDlg::FindFileControl() {
    m_panel.FindFileControl();
    if (m_model.OnFileControl(m_panel.GetFileControlName(), m_panel.GetUploadPage()))
        m_panel.SetUploadArmed(true);
    Item(IDC_CAPTURE).Show(m_model.captureShown);
    UpdateData(false);
}

void UpgradeBrowserDlg::OnControlChanged(int id) {
    if (id != IDC_CAPTURE)
        return;
    m_model.captureChecked = Item(IDC_CAPTURE).GetCheck();
    m_panel.SetUploadArmed(m_model.captureChecked != 0);
}

void UpgradeBrowserDlg::OnRequestCaptured() {
    UpdateData(false);
    EndDialog(1);
}
