#include "corvay/wlantest/WLanTestSession.h"

#include <chrono>

#include "engine/log/Logger.h"

namespace {

// How often the job looks at its stop flag while the dialog is open.
constexpr std::chrono::milliseconds kStopPoll{100};

} // namespace

WLanTestSession::WLanTestSession(TestInfo& info, int port, WLanTestEnvironment environment)
    : m_info(info), m_port(port), m_steps(info, port, std::move(environment), *this) {}

WLanTestSession::~WLanTestSession() = default;

void WLanTestSession::AttachPanel(std::unique_ptr<WLanPanelView> panel) {
    std::lock_guard lock(m_mutex);
    m_panel = std::move(panel);
}

bool WLanTestSession::RequestTest(const WLanTestInput& input) {
    {
        std::lock_guard lock(m_mutex);
        if (m_testing || m_endCode || m_endRequested)
            return false;
        m_testing = true;
        m_abort = false;
        m_request = input;
        m_changed.notify_all();
    }
    return true;
}

bool WLanTestSession::IsTesting() const {
    std::lock_guard lock(m_mutex);
    return m_testing;
}

int WLanTestSession::OnTabChange(int page) const {
    return IsTesting() ? kPageTest : page;
}

DialogOutcome WLanTestSession::OnOK() const {
    if (IsTesting())
        return StayWithMessage(74);
    return DialogOutcome::Closed(kDialogOk);
}

DialogOutcome WLanTestSession::OnCancel() {
    LogDebug("OnBnClickedCancel Start");
    {
        std::lock_guard lock(m_mutex);
        if (m_testing) {
            LogDebug("OnBnClickedCancel:IsTesting==========================");
            m_abort = true;
        }
    }
    return DialogOutcome::Closed(kDialogCancel);
}

bool WLanTestSession::EndRequested() const {
    std::lock_guard lock(m_mutex);
    return m_endRequested;
}

void WLanTestSession::DialogEnded(int code) {
    // Notified under the lock: the job may destroy the session as soon as it sees the end.
    std::lock_guard lock(m_mutex);
    m_endCode = code;
    m_panel.reset();
    m_changed.notify_all();
}

int WLanTestSession::Serve(const std::function<bool()>& stopped) {
    m_steps.SetAbortCheck([this, &stopped] {
        {
            std::lock_guard lock(m_mutex);
            if (m_abort)
                return true;
        }
        return stopped();
    });
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_request) {
            const WLanTestInput input = *m_request;
            m_request.reset();
            lock.unlock();
            m_steps.Run(input);
            lock.lock();
            m_testing = false;
            continue;
        }
        if (m_endCode)
            break;
        if (!m_endRequested) {
            lock.unlock();
            const bool stop = stopped();
            lock.lock();
            if (stop) {
                m_endRequested = true;
                m_abort = true;
            }
        }
        m_changed.wait_for(lock, kStopPoll);
    }
    m_steps.SetAbortCheck(nullptr);
    // A stop while the dialog was open counts as its abort button.
    return m_endRequested ? kDialogCancel : *m_endCode;
}

template <class F> void WLanTestSession::ToPanel(F&& call) {
    std::lock_guard lock(m_mutex);
    if (m_panel)
        call(*m_panel);
}

void WLanTestSession::AppendLine(const CString& line) {
    ToPanel([&](WLanPanelView& p) { p.AppendLine(line); });
}

void WLanTestSession::ClearLines() {
    ToPanel([](WLanPanelView& p) { p.ClearLines(); });
}

void WLanTestSession::SetTesting(bool testing) {
    ToPanel([&](WLanPanelView& p) { p.SetTesting(testing); });
}

void WLanTestSession::ShowNetworkName(const CString& name) {
    ToPanel([&](WLanPanelView& p) { p.ShowNetworkName(name); });
}

void WLanTestSession::FocusControl(int id) {
    ToPanel([&](WLanPanelView& p) { p.FocusControl(id); });
}
