#pragma once
// CSplashDlg: bitmap 131 over the main window while the program starts; it closes itself after
// 30 s, or earlier when the view has read the switch (HideSplashDlg). One at a time; the object
// deletes itself once its window is gone.

#include "platform/ui/Dialog.h"

class CSplashDlg : public platform::ui::Dialog {
public:
    static constexpr int IDD = 131;
    static constexpr unsigned kTimer = 1;
    static constexpr unsigned kTimerMs = 30000;

    // Shows the splash window owned by the frame unless one is shown (UI thread).
    static void ShowSplashDlg(platform::ui::Window* frame);
    // Closes it when there is one (any thread).
    static void HideSplashDlg();
    // The one shown, or null (UI thread).
    static CSplashDlg* Instance();

    ~CSplashDlg() override;

protected:
    bool OnInitDialog() override;
    void OnTimer(unsigned id) override;
    void OnDestroy() override;

private:
    explicit CSplashDlg(platform::ui::Window* frame);
    platform::ui::Window* m_frame;
};
