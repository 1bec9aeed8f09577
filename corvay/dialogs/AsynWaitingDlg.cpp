#include "corvay/dialogs/AsynWaitingDlg.h"

#include "engine/log/Logger.h"
#include "platform/ui/Application.h"

void AsynWaitingControl::Show(platform::ui::Window* parent, const CString& text) {
    if (!m_instance || !m_instance->HasWindow()) {
        // One instance: a windowless one goes before the next is made.
        m_instance.reset();
        if (!parent)
            parent = platform::ui::MainWindow();
        LogInfo("new AsynWaitingDlg(pParent).");
        std::unique_ptr<WaitingBox> box = m_factory(parent);
        if (!box || !box->Create(parent)) {
            LogError("pAsynWaitingDlg->Create(IDD,pParent) failed");
            return;
        }
        m_instance = std::move(box);
    }
    m_instance->Present(text);
}

void AsynWaitingControl::Hide() {
    if (!m_instance) {
        LogWarning("pAsynWaitingDlg is null,should not hide again.");
        return;
    }
    m_instance->Conceal();
    if (platform::ui::Window* main = platform::ui::MainWindow())
        main->Invalidate();
    LogInfo("AsynWaitingDlg::Hide()");
}

namespace {

// Reached only on the UI thread.
AsynWaitingControl& Control() {
    static AsynWaitingControl control(
        [](platform::ui::Window* parent) { return std::make_unique<AsynWaitingDlg>(parent); });
    return control;
}

} // namespace

AsynWaitingDlg::AsynWaitingDlg(platform::ui::Window* parent) : Dialog(IDD, parent) {}

void AsynWaitingDlg::Show(platform::ui::Window* parent, const CString& text) {
    platform::ui::CallOnUiThread([&] { Control().Show(parent, text); });
}

void AsynWaitingDlg::Hide() {
    platform::ui::CallOnUiThread([] { Control().Hide(); });
}

AsynWaitingDlg* AsynWaitingDlg::Instance() {
    return static_cast<AsynWaitingDlg*>(Control().Instance());
}

void AsynWaitingDlg::Destroy() {
    platform::ui::CallOnUiThread([] { Control().Reset(); });
}

bool AsynWaitingDlg::Create(platform::ui::Window* parent) {
    return Dialog::Create(parent);
}

bool AsynWaitingDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    SetWaitCursor(true);
    return true;
}

void AsynWaitingDlg::Present(const CString& text) {
    m_text = text;
    SetDlgItemText(kText, text);
    CenterWindow();
    ShowWindow(true);
    Invalidate();
    UpdateWindow();
}

void AsynWaitingDlg::Conceal() {
    ShowWindow(false);
}
