#pragma once
// The two browser dialogs: IePanel, a page of the wireless test dialog (resource 159), and
// MyIE, the modal "Modem Web Admin" window of web management (resource 156). Both open their
// address at initialisation with the caption + "-" + address.

#include "platform/ui/BrowserPanel.h"
#include "platform/ui/Dialog.h"

// The page a browser opens for an address: one typed without a scheme is taken as http.
CString BrowserUrl(const CString& address);

// The caption a browser dialog shows for an address.
CString BrowserCaption(const CString& caption, const CString& address);

class BrowserDialog : public platform::ui::Dialog {
public:
    BrowserDialog(int resourceId, const CString& address, platform::ui::Window* parent);
    const CString& Address() const { return m_address; }
    void SetAddress(const CString& address) { m_address = address; }
    platform::ui::BrowserPanel& Browser() { return m_browser; }

protected:
    bool OnInitDialog() override;

private:
    CString m_address;
    platform::ui::BrowserPanel m_browser;
};

class IePanel : public BrowserDialog {
public:
    static constexpr int IDD = 159;
    IePanel();

protected:
    void OnShowWindow(bool show) override;
};

class MyIE : public BrowserDialog {
public:
    static constexpr int IDD = 156;
    MyIE(const CString& address, platform::ui::Window* parent = nullptr);
};
