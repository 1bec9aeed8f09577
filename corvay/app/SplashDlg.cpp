#include "corvay/app/SplashDlg.h"

#include "engine/log/Logger.h"
#include "platform/ui/Application.h"

namespace {

CSplashDlg* g_splash = nullptr; // UI thread only

} // namespace

CSplashDlg::CSplashDlg(platform::ui::Window* frame) : Dialog(IDD, frame), m_frame(frame) {}

CSplashDlg::~CSplashDlg() {
    if (g_splash == this)
        g_splash = nullptr;
}

CSplashDlg* CSplashDlg::Instance() {
    return g_splash;
}

void CSplashDlg::ShowSplashDlg(platform::ui::Window* frame) {
    if (g_splash)
        return;
    auto* splash = new CSplashDlg(frame);
    g_splash = splash;
    if (!splash->Create(frame)) {
        LogError("CSplashDlg::ShowSplashDlg: the splash window cannot be made.");
        delete splash;
        return;
    }
    splash->ShowWindow(true);
    splash->UpdateWindow();
}

void CSplashDlg::HideSplashDlg() {
    platform::ui::CallOnUiThread([] {
        if (g_splash && g_splash->HasWindow())
            g_splash->DestroyWindow();
    });
}

bool CSplashDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    CenterWindow();
    SetTimer(kTimer, kTimerMs);
    return true;
}

void CSplashDlg::OnTimer(unsigned id) {
    if (id != kTimer)
        return;
    KillTimer(kTimer);
    platform::ui::Window* frame = m_frame;
    DestroyWindow();
    if (frame && frame->HasWindow())
        frame->Invalidate();
}

void CSplashDlg::OnDestroy() {
    if (g_splash == this)
        g_splash = nullptr;
    // The window goes after this call; the object right after.
    CSplashDlg* self = this;
    if (!platform::ui::RunOnUiThread([self] { delete self; }))
        LogDebug("CSplashDlg: loop ended before the splash window was freed.");
}
