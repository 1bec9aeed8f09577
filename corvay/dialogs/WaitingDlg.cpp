#include "corvay/dialogs/WaitingDlg.h"

#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"

WaitingProgress::WaitingProgress(int durationMs, const CString& text, bool countdown)
    : m_duration(durationMs), m_text(text), m_countdown(countdown), m_caption(text) {}

void WaitingProgress::Restart() {
    m_elapsed = 0;
    m_position = 0;
}

bool WaitingProgress::Tick() {
    LogDebug("WaitingDlg::OnTimer(UINT_PTR nIDEvent)");
    m_elapsed += 1000;
    if (m_elapsed > m_duration) {
        if (m_countdown)
            return true;
        Restart(); // the bar starts again
        return false;
    }
    if (m_countdown) {
        CString left;
        left.Format(LoadStringId(47), (m_duration - m_elapsed) / 1000);
        m_caption = m_text + left;
    }
    // 64 bits: elapsed x 100 leaves 32 bits past 21474836 ms.
    m_position = int(int64_t(m_elapsed) * 100 / m_duration);
    return false;
}

WaitingDlg::WaitingDlg(int durationMs, const CString& text, platform::ui::Window* parent, bool countdown)
    : Dialog(IDD, parent), m_progress(durationMs, text, countdown) {}

bool WaitingDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    SetTimer(kTimer, 1000);
    Item(kProgress).SetRange(0, 100);
    m_progress.Restart();
    ShowProgress();
    return true;
}

void WaitingDlg::OnTimer(unsigned id) {
    if (id != kTimer)
        return;
    if (m_progress.Tick()) {
        KillTimer(kTimer);
        EndDialog(2);
        return;
    }
    ShowProgress();
}

void WaitingDlg::OnShowWindow(bool show) {
    if (show)
        SetTimer(kTimer, 1000);
    else
        KillTimer(kTimer);
    m_progress.Restart();
    Item(kProgress).SetPos(0);
}

void WaitingDlg::ShowProgress() {
    SetWindowText(m_progress.Caption());
    Item(kProgress).SetPos(m_progress.Position());
    Invalidate();
}
