#pragma once
// The tool's browser panel (resource 132): navigation as the capture panels have it, the
// search for the focused file control of an upload form, and the upload capture, which keeps
// the upload from the modem.

#include <string>
#include <vector>

#include "stavrintool/capture/CapturePanel.h"
#include "stavrintool/locator/VersionLocator.h"

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

    // The version locator (stavrintool/locator/IePanelLocate.cpp): the markers of the selected
    // version; throws LocateError. Afterwards the texts of that locate.
    std::vector<LocatorRecord> LocateVersion();
    const CString& GetPageSource() const { return m_locate.source; }
    const CString& GetPagePath() const { return m_locate.path; }
    const CString& GetVersionText() const { return m_locate.version; }
    const std::string& GetPageCharset() const { return m_locate.charset; }

private:
    CString m_fileControl, m_uploadPage;
    struct LocateState {
        CString source, path, version;
        std::string charset;
        SourceFailureCounter failures;
    } m_locate;
};
