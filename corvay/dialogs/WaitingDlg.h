#pragma once
// WaitingDlg: a timed progress bar (control 1027), with or without a countdown in its caption;
// closes itself (as cancelled) once the time is up when it counts down.

#include <cstdint>

#include "platform/text/CString.h"
#include "platform/ui/Dialog.h"

// The dialog's rules, without windows: one call per timer tick.
class WaitingProgress {
public:
    WaitingProgress(int durationMs, const CString& text, bool countdown);

    // Shown, hidden or initialised: the count starts again.
    void Restart();
    // One tick of 1000 ms; true when the dialog must close.
    bool Tick();

    int Elapsed() const { return m_elapsed; }
    int Position() const { return m_position; }
    const CString& Caption() const { return m_caption; }

private:
    int m_duration;
    CString m_text;
    bool m_countdown;
    int m_elapsed = 0;
    int m_position = 0;
    CString m_caption;
};

class WaitingDlg : public platform::ui::Dialog {
public:
    static constexpr int IDD = 157;
    static constexpr int kProgress = 1027;
    static constexpr unsigned kTimer = 1;

    WaitingDlg(int durationMs, const CString& text, platform::ui::Window* parent = nullptr,
               bool countdown = false);
    const WaitingProgress& Progress() const { return m_progress; }

protected:
    bool OnInitDialog() override;
    void OnTimer(unsigned id) override;
    void OnShowWindow(bool show) override;

private:
    void ShowProgress();

    WaitingProgress m_progress;
};
