#include "stavrintool/capture/CapturePanel.h"

#include <mutex>
#include <optional>

#include <cstdio>
#include "stavrintool/app/ToolStrings.h"

namespace {

// Messages of the panel to itself.
constexpr unsigned kCaptureArrived = 0x0400 + 110;
constexpr unsigned kHttpsRefused = 0x0400 + 111;

// The panel's own page while nothing is open.
constexpr const char* kWaitPage =
    u8"<html><body style=\"background:#c0c0c0;font-family:sans-serif\">"
    u8"<p style=\"text-align:center;margin-top:80px\">请稍等...</p>"
    u8"<p style=\"text-align:center\">Please waiting...</p></body></html>";

void ShowBox(unsigned id) {
    stavrin::ShowToolMessage(platform::Prompts(), stavrin::ToolString(id), platform::kMbOk | platform::kMbIconInformation);
}

} // namespace

// Where the proxy's thread leaves a capture for the UI thread; outlives the panel.
struct CapturePanel::Inbox {
    std::mutex mutex;
    std::optional<CapturedRequest> request;
};

CapturePanel::CapturePanel(int resourceId, CaptureProxy::Mode mode)
    : Dialog(resourceId), m_inbox(std::make_shared<Inbox>()), m_mode(mode) {}

CapturePanel::~CapturePanel() {
    if (m_capture.IsArmed())
        CaptureProxy::Instance().Disarm();
}

bool CapturePanel::OnInitDialog() {
    Dialog::OnInitDialog();
    try {
        if (!platform::ui::BrowserPanel::UseProxy(CaptureProxy::Instance().Url()))
            std::fprintf(stderr, "The browser cannot be given the capturing proxy.\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "The capturing proxy cannot start: %s\n", e.what());
    }
    m_browser.OnNavigating = [this](const CString& url) { return OnNavigating(url); };
    m_browser.OnLoaded = [this](const CString& url) { OnLoaded(url); };
    if (!m_browser.Create(*this)) {
        std::fprintf(stderr, "The browser cannot be made: no web view.\n");
        return true;
    }
    m_browser.SetPage(kWaitPage, "res://120/");
    m_ready = true;
    if (!m_pending.IsEmpty())
        m_browser.Navigate(m_pending);
    return true;
}

void CapturePanel::Navigate(const CString& address) {
    m_pending = address;
    if (m_ready)
        m_browser.Navigate(address);
}

void CapturePanel::Arm(bool armed) {
    m_capture.SetArmed(armed);
    if (!armed)
        CaptureProxy::Instance().Disarm();
}

bool CapturePanel::OnNavigating(const CString& url) {
    switch (m_capture.OnNavigating(url)) {
    case capture::PanelCapture::Navigating::kArm: {
        std::weak_ptr<Inbox> inbox = m_inbox;
        platform::ui::WindowHandle self = Handle();
        CaptureProxy::Instance().Arm(url.str(), m_mode, [inbox, self](const CapturedRequest& request) {
            if (auto box = inbox.lock()) {
                std::lock_guard lock(box->mutex);
                box->request = request;
            }
            platform::ui::PostMessage(self, kCaptureArrived);
        });
        break;
    }
    case capture::PanelCapture::Navigating::kRefused:
        // Not from inside the browser's event: the box runs a loop of its own.
        platform::ui::PostMessage(Handle(), kHttpsRefused);
        break;
    case capture::PanelCapture::Navigating::kIgnore:
        break;
    }
    return true;
}

void CapturePanel::OnLoaded(const CString& url) {
    if (m_capture.OnLoaded(url))
        TellParent(capture::WM_PANEL_NAVIGATED);
}

void CapturePanel::TellParent(unsigned message) {
    if (Window* parent = Parent())
        platform::ui::PostMessage(parent->Handle(), message);
}

void CapturePanel::OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (message == kHttpsRefused) {
        ShowBox(stavrin::kIdsHttpsNotCaptured);
        return;
    }
    if (message != kCaptureArrived) {
        Dialog::OnMessage(message, wParam, lParam);
        return;
    }
    std::optional<CapturedRequest> request;
    {
        std::lock_guard lock(m_inbox->mutex);
        request.swap(m_inbox->request);
    }
    if (!request || !m_capture.OnCaptured(*request))
        return;
    ShowBox(stavrin::kIdsRequestCaptured);
    TellParent(capture::WM_REQUEST_CAPTURED);
}
