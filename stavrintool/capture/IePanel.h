#pragma once
// The tool's browser panel (resource 132): navigation as the capture panels have it, the
// search for the focused file control of an upload form, and the upload capture, which keeps
// the upload from the modem. The version locator's window shows it too (LocatorPanel).

#include "stavrintool/capture/CapturePanel.h"

class IePanel : public CapturePanel {
public:
    static constexpr int IDD = 132;
    IePanel() : CapturePanel(IDD, CaptureProxy::Mode::Block) {}

    // The upload capture.
    void SetUploadArmed(bool armed) { Arm(armed); }
    bool IsUploadCaptured() const { return IsCaptured(); }
    const CapturedRequest& GetUploadRequest() const { return GetCapturedRequest(); }
    bool BodyNamesFileControl() const { return m_capture.BodyNamesControl(); }

    // The focused file control of the page or its frames; string 138 on a find. The name is
    // empty when none has the focus.
    bool FindFileControl();
    const CString& GetFileControlName() const { return m_fileControl; }
    const CString& GetUploadPage() const { return m_uploadPage; }

private:
    CString m_fileControl, m_uploadPage;
};
