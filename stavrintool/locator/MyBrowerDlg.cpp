#include "stavrintool/locator/MyBrowerDlg.h"

#include "platform/prompt/Prompt.h"
#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/capture/CaptureModels.h"
#include "stavrintool/locator/HtmlCodeDlg.h"
#include "stavrintool/locator/ParamInfoDlg.h"
#include "stavrintool/locator/VersionLocator.h"

using namespace resizable;

namespace {
constexpr int kPanelInset = 8, kPanelTop = 30;
}

MyBrowerDlg::MyBrowerDlg(platform::ui::Window* parent, LocatedVersionSink* editor)
    : CResizableDialog(IDD, parent), m_editor(editor), m_url(capture::DefaultModemUrl()) {}

bool MyBrowerDlg::OnInitDialog() {
    CResizableDialog::OnInitDialog();
    AddAnchor(Item(IDC_URL), TOP_LEFT, TOP_RIGHT);
    AddAnchor(Item(1), TOP_RIGHT);
    AddAnchor(Item(IDC_LOCATE), TOP_RIGHT);
    SetDlgItemText(IDC_URL, m_url);
    // A page is made hidden; the browser draws only once shown.
    m_init = m_panel.Create(this);
    if (m_init)
        m_panel.ShowWindow(true);
    PlacePanel();
    SetMinTrackSize({640, 480});
    ApplyMinMax(*this);
    CenterWindow();
    return true;
}

void MyBrowerDlg::PlacePanel() {
    if (!m_init || !m_panel.HasWindow())
        return;
    const platform::ui::Size client = GetClientSize();
    m_panel.MoveWindow({kPanelInset, kPanelTop, client.cx - kPanelInset, client.cy - kPanelInset});
}

void MyBrowerDlg::OnSize(unsigned type, int cx, int cy) {
    CResizableDialog::OnSize(type, cx, cy);
    PlacePanel();
}

void MyBrowerDlg::Open() {
    if (IsWindowVisible()) {
        ShowWindow(true); // raises it
        return;
    }
    // Made while the editor was still being placed: centred over it where it stands now.
    if (!m_centred) {
        CenterWindow();
        m_centred = true;
    }
    ShowWindow(true);
    OnOK();
}

void MyBrowerDlg::OnOK() {
    m_url = GetDlgItemText(IDC_URL);
    m_panel.Navigate(m_url);
}

void MyBrowerDlg::OnCancel() {
    ShowWindow(false);
}

void MyBrowerDlg::OnCommand(int id) {
    if (id == IDC_LOCATE)
        Locate();
    else
        CResizableDialog::OnCommand(id);
}

void MyBrowerDlg::OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (message == capture::WM_PANEL_NAVIGATED) {
        m_url = m_panel.Address();
        SetDlgItemText(IDC_URL, m_url);
    } else {
        CResizableDialog::OnMessage(message, wParam, lParam);
    }
}

void MyBrowerDlg::Locate() {
    try {
        m_locators = m_panel.LocateVersion();
    } catch (const LocateError& e) {
        const LocateMessage message = LocateFailureMessage(e.Code());
        if (message.stringId)
            Tell(message.stringId, message.showSource);
        return;
    }
    m_pagePath = m_panel.GetPagePath();
    m_versionText = m_panel.GetVersionText();
    if (m_locators.empty()) {
        const LocateMessage message = NoLocatorMessage(m_panel.GetPageSource());
        Tell(message.stringId, message.showSource);
        return;
    }
    ParamInfoDlg confirm(this);
    confirm.SetLocators(m_locators);
    confirm.SetPage(m_pagePath);
    confirm.SetVersion(m_versionText);
    confirm.SetCharset(m_panel.GetPageCharset());
    confirm.SetEditor(m_editor);
    if (confirm.DoModal() == 1)
        ShowWindow(false);
}

void MyBrowerDlg::Tell(unsigned stringId, bool showSource) {
    stavrin::ShowToolMessage(platform::Prompts(), stavrin::ToolString(stringId));
    if (showSource && !m_panel.GetPageSource().IsEmpty())
        HtmlCodeDlg(m_panel.GetPageSource(), this, m_panel.GetPageCharset()).DoModal();
}
