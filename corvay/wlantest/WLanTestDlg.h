#pragma once
// The wireless test dialog (resource 158) and its test page (resource 160): thin windows over a
// WLanTestSession, which holds their rules and hands the test to the job's thread.

#include <memory>

#include "corvay/dialogs/MyIE.h"
#include "corvay/wlantest/WLanTestSession.h"
#include "resizable/ResizableDialog.h"

class WLanTestPanel : public resizable::CResizableDialog {
public:
    static constexpr int IDD = 160;
    static constexpr int IDC_SSID = 1030, IDC_PASSWORD = 1031, IDC_SECURITY = 1032, IDC_TEST = 1033,
                         IDC_RESULT = 1034;

    explicit WLanTestPanel(WLanTestSession& session);

    // What the steps post.
    void AppendLine(const CString& line);
    void ClearLines();
    void SetTesting(bool testing);
    void ShowNetworkName(const CString& name);
    void FocusControl(int id);

protected:
    bool OnInitDialog() override;
    void DoDataExchange(platform::ui::DataExchange& dx) override;
    void OnCommand(int id) override;
    void OnControlChanged(int id) override;

private:
    void ShowPasswordState();

    CString m_strSSID;
    int m_nSecurity = 0;
    CString m_strPassword;
    CString m_strResult;
    WLanTestSession& m_session;
};

class WLanTestDlg : public resizable::CResizableDialog {
public:
    static constexpr int IDD = 158;
    static constexpr int IDC_TAB = 1028;
    static constexpr unsigned kEndPollTimer = 1;

    WLanTestDlg(WLanTestSession& session, platform::ui::Window* parent = nullptr);
    ~WLanTestDlg() override;

    int CurrentPage() const { return m_nCurPage; }
    bool HasBrowserPanel() const { return m_pIePanel && m_pIePanel->HasWindow(); }
    IePanel* BrowserPage() { return m_pIePanel.get(); }
    WLanTestPanel& Panel() { return m_panel; }

protected:
    bool OnInitDialog() override;
    void OnSize(unsigned type, int cx, int cy) override;
    void OnControlChanged(int id) override;
    void OnOK() override;
    void OnCancel() override;
    void OnShowWindow(bool show) override;
    void OnTimer(unsigned id) override;

private:
    platform::ui::Rect PageRect() const;
    void PlacePages();
    void ShowPage(int page);
    bool MakeBrowserPanel();

    std::unique_ptr<IePanel> m_pIePanel;
    WLanTestPanel m_panel;
    int m_nCurPage = 0;
    bool m_bInit = false;
    WLanTestSession& m_session;
};
