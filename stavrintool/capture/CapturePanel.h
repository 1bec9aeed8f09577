#pragma once
// What the two capture panels share: a page holding a browser whose requests go through the
// process's CaptureProxy. The panel tells its parent dialog of each new address
// (WM_PANEL_NAVIGATED) and, armed, takes the next request the page sends as a CapturedRequest
// (WM_REQUEST_CAPTURED). The proxy's capture comes on its thread and is carried to the UI
// thread by a posted message.

#include <memory>

#include "platform/ui/BrowserPanel.h"
#include "platform/ui/Dialog.h"
#include "stavrintool/capture/CaptureModels.h"
#include "stavrintool/capture/CaptureProxy.h"

class CapturePanel : public platform::ui::Dialog {
public:
    CapturePanel(int resourceId, CaptureProxy::Mode mode);
    ~CapturePanel() override;

    // Stores the address; navigates when the panel is ready (else at its initialisation).
    void Navigate(const CString& address);
    const CString& Address() const { return m_capture.address; }
    bool IsCaptured() const { return m_capture.IsCaptured(); }
    const CapturedRequest& GetCapturedRequest() const { return m_capture.Request(); }
    platform::ui::BrowserPanel& Browser() { return m_browser; }

    void OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

protected:
    bool OnInitDialog() override;
    void Arm(bool armed);
    capture::PanelCapture m_capture;

private:
    bool OnNavigating(const CString& url);
    void OnLoaded(const CString& url);
    void TellParent(unsigned message);

    struct Inbox;
    std::shared_ptr<Inbox> m_inbox;
    CaptureProxy::Mode m_mode;
    platform::ui::BrowserPanel m_browser;
    CString m_pending; // the address to open once ready
    bool m_ready = false;
};
