#include "corvay/dialogs/MyIE.h"

#include "corvay/dialogs/AsynWaitingDlg.h"
#include "engine/log/Logger.h"

CString BrowserUrl(const CString& address) {
    return address.Find("://") >= 0 ? address : CString("http://") + address;
}

CString BrowserCaption(const CString& caption, const CString& address) {
    return caption + "-" + address;
}

BrowserDialog::BrowserDialog(int resourceId, const CString& address, platform::ui::Window* parent)
    : Dialog(resourceId, parent), m_address(address) {}

bool BrowserDialog::OnInitDialog() {
    Dialog::OnInitDialog();
    SetWindowText(BrowserCaption(GetWindowText(), m_address));
    if (!m_browser.Create(*this))
        LogError("The browser cannot be made: no web view.");
    m_browser.Navigate(BrowserUrl(m_address));
    return true;
}

IePanel::IePanel() : BrowserDialog(IDD, "192.168.1.1", nullptr) {}

void IePanel::OnShowWindow(bool show) {
    if (!show)
        return;
    LogInfo("IePanel is shown.");
    AsynWaitingDlg::Hide();
}

MyIE::MyIE(const CString& address, platform::ui::Window* parent)
    : BrowserDialog(MyIE::IDD, address, parent) {}
