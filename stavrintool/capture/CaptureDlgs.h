#pragma once
// The capture dialogs the function editor runs: FuncBrowserDlg (a function's request captured
// in the browser), FunctionDlg (it confirmed), LoginFuncDlg (the log-in's credentials put in
// placeholders) and UpgradeBrowserDlg (the firmware upload form captured). Thin windows over
// the rules of CaptureModels.h.

#include "resizable/ResizableDialog.h"
#include "stavrintool/app/BoxText.h"
#include "stavrintool/capture/CaptureModels.h"
#include "stavrintool/capture/IeFuncPanel.h"
#include "stavrintool/capture/IePanel.h"

// The browser dialogs' common frame: the panel below a strip of controls, following the size.
class CaptureBrowserDlg : public resizable::CResizableDialog {
public:
    static constexpr int IDC_URL = 1107;
    void OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

protected:
    CaptureBrowserDlg(int resourceId, CapturePanel& panel, int panelTop, platform::ui::Window* parent);
    // Anchors the URL box and the buttons, makes the panel and opens the URL box's address.
    bool OnInitDialog() override;
    void OnSize(unsigned type, int cx, int cy) override;
    // "Refresh": the URL box's address opened.
    void OnOK() override;
    virtual void OnRequestCaptured() = 0;
    static constexpr unsigned kFindFileControl = 0x0400 + 112;
    virtual void FindFileControl() {}
    CString& Url() { return m_url; }

private:
    void PlacePanel();
    CapturePanel& m_panel;
    int m_panelTop;
    CString m_url = capture::DefaultModemUrl();
    bool m_init = false;
};

class FuncBrowserDlg : public CaptureBrowserDlg {
public:
    static constexpr int IDD = 137;
    static constexpr int IDC_CAPTURE = 1106;
    explicit FuncBrowserDlg(platform::ui::Window* parent = nullptr);

    void SetFunctionKind(int kind);
    bool IsCaptured() const { return m_panel.IsCaptured(); }
    // Throws false when nothing was captured.
    CapturedRequest GetCapturedRequest() const;
    IeFuncPanel& Panel() { return m_panel; }

protected:
    bool OnInitDialog() override;
    void DoDataExchange(platform::ui::DataExchange& dx) override;
    void OnControlChanged(int id) override;
    void OnRequestCaptured() override;

private:
    IeFuncPanel m_panel;
    capture::FuncBrowserModel m_model;
};

class FunctionDlg : public platform::ui::Dialog {
public:
    static constexpr int IDD = 139;
    explicit FunctionDlg(platform::ui::Window* parent = nullptr) : Dialog(IDD, parent) {}
    void SetRequest(const CapturedRequest& request) { m_request = request; }
    // The request exactly as captured.
    const CapturedRequest& GetRequest() const { return m_request; }

protected:
    void DoDataExchange(platform::ui::DataExchange& dx) override;

private:
    CapturedRequest m_request;
};

class LoginFuncDlg : public platform::ui::Dialog {
public:
    static constexpr int IDD = 138;
    static constexpr int IDC_USER = 1110, IDC_PASSWORD = 1111, IDC_POST = 1108, IDC_GET = 1109,
                         IDC_REPLACE = 1114;
    explicit LoginFuncDlg(platform::ui::Window* parent = nullptr);
    void SetRequest(const CapturedRequest& request) { m_model.SetRequest(request); }
    CapturedRequest GetResult() const { return m_result; }
    capture::LoginFuncModel& Model() { return m_model; }

protected:
    bool OnInitDialog() override;
    void DoDataExchange(platform::ui::DataExchange& dx) override;
    void OnCommand(int id) override;
    void OnOK() override;

private:
    capture::LoginFuncModel m_model;
    CapturedRequest m_result;
    BoxTexts m_boxes;
};

class UpgradeBrowserDlg : public CaptureBrowserDlg {
public:
    static constexpr int IDD = 140;
    static constexpr int IDC_FOUND = 1124, IDC_PAGE = 1125, IDC_CONTROL = 1122, IDC_CAPTURE = 1126;
    explicit UpgradeBrowserDlg(platform::ui::Window* parent = nullptr);

    const CString& GetFileControlName() const { return m_panel.GetFileControlName(); }
    const CString& GetUploadPage() const { return m_panel.GetUploadPage(); }
    // Throws false when nothing was captured.
    CString GetTargetAction() const;
    bool BodyNamesFileControl() const { return m_panel.BodyNamesFileControl(); }
    bool IsCaptured() const { return m_panel.IsUploadCaptured(); }
    IePanel& Panel() { return m_panel; }
    // "File control selected" (1124): the search, its find shown and the capture armed.
    void FindFileControl() override;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(platform::ui::DataExchange& dx) override;
    void OnCommand(int id) override;
    void OnControlChanged(int id) override;
    void OnRequestCaptured() override;

private:
    IePanel m_panel;
    capture::UpgradeBrowserModel m_model;
};
