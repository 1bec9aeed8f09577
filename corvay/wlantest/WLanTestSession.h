#pragma once
// One port's wireless test dialog as the job sees it, and the dialog's rules. The dialog runs
// on the UI thread; the panel's test button hands the test to the job's thread, which runs the
// steps while the dialog stays open, and waits for the dialog's end. A stop of the job acts as
// the dialog's abort button.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "corvay/dialogs/DialogState.h"
#include "corvay/wlantest/WLanTestSteps.h"

class TestInfo;

class WLanTestSession : private WLanPanelView {
public:
    static constexpr int kPageBrowser = 0, kPageTest = 1, kPageRestore = 2;

    WLanTestSession(TestInfo& info, int port, WLanTestEnvironment environment);
    ~WLanTestSession() override;

    // The address the browser pages open ("192.168.1.1", the modem's factory address).
    CString browserAddress = "192.168.1.1";

    TestInfo& Info() const { return m_info; }
    int Port() const { return m_port; }
    WLanTestSteps& Steps() { return m_steps; }

    // --- the dialog's side (UI thread) ---
    // Where the steps' lines go from now on (posted to the panel's window); null: dropped.
    void AttachPanel(std::unique_ptr<WLanPanelView> panel);
    // The test button: false (nothing done) while a test runs.
    bool RequestTest(const WLanTestInput& input);
    bool IsTesting() const;
    // The page a tab change shows: the test page while testing.
    int OnTabChange(int page) const;
    DialogOutcome OnOK() const;
    // Sets the abort flag while testing; the dialog ends with IDCANCEL either way.
    DialogOutcome OnCancel();
    // The job asks the dialog to end as aborted (the dialog polls this).
    bool EndRequested() const;
    // The dialog's window is gone with this code.
    void DialogEnded(int code);

    // --- the job's side ---
    // Serves the dialog's test requests until it has ended; its end code. A set stop flag
    // aborts the test and asks the dialog to end.
    int Serve(const std::function<bool()>& stopped);

private:
    void AppendLine(const CString& line) override;
    void ClearLines() override;
    void SetTesting(bool testing) override;
    void ShowNetworkName(const CString& name) override;
    void FocusControl(int id) override;
    template <class F> void ToPanel(F&& call);

    TestInfo& m_info;
    const int m_port;
    WLanTestSteps m_steps;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::unique_ptr<WLanPanelView> m_panel;
    std::optional<WLanTestInput> m_request;
    bool m_testing = false;
    bool m_abort = false;
    bool m_endRequested = false;
    std::optional<int> m_endCode;
};
