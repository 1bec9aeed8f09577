#pragma once
// CMainFrame: the main window (1024 x 700, centred) with tool bar 128, the status bar's four
// panes and the main view's list as its client area (the frame owns the view); runs the settings, database,
// help and about commands, refuses to close while a test runs, and deletes the program's singletons once it
// is gone.

#include <memory>

#include "corvay/view/CCorvayView.h"
#include "platform/ui/Frame.h"

class CorvayViewBinding;

// The singletons the frame deletes at its end, in this order: the capture monitors (only when a
// test start has started them), every switch manager that exists (the one in use may not be
// the one of the configured mode once the switch settings changed it), the card list, the
// configuration (not saved) and the firmware database.
void DeleteProgramSingletons(bool monitorsStarted);

class CMainFrame : public platform::ui::Frame {
public:
    static constexpr int IDR_MAINFRAME = 128;
    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 700;
    static constexpr unsigned IDS_TESTING_NO_EXIT = 32;
    static constexpr unsigned IDS_HELP_FILE = 45;
    static constexpr unsigned IDR_TITLE = 128;
    static constexpr unsigned IDS_READY = 57345;
    enum : int {
        ID_SYSTEM_CONFIG = 32793,
        ID_SWITCH_CONFIG = 32794,
        ID_NIC_CONFIG = 32795,
        ID_NOTHING_1 = 32797,
        ID_NOTHING_2 = 32798,
        ID_DSLAM_CONFIG = 32842,
        ID_FIRMWARE_MANAGE = 32845,
        ID_UPGRADE_RULES = 32846,
        ID_APP_ABOUT = 57664,
        ID_APP_EXIT = 57665,
        ID_HELP_FINDER = 57670,
        ID_VIEW_TOOLBAR = 59392,
        ID_VIEW_STATUS_BAR = 59393,
    };

    explicit CMainFrame(CCorvayView::Options viewOptions = {});
    ~CMainFrame() override;

    // Window, tool bar, status bar, keys, the view, centred, and the splash window when the flag
    // asks for it. The view's OnInitialUpdate once the window shows.
    bool Create();
    // Null before Create and once the window is gone.
    CCorvayView* GetView();
    CorvayViewBinding* GetViewBinding() { return m_view.get(); }
    // The first segment of string 128: the title until the view sets the application's.
    static CString FirstTitle();

    bool OnCommand(int id) override;

protected:
    bool OnClose() override;
    void OnDestroy() override;

private:
    void OnSwitchConfig();
    CCorvayView::Options m_viewOptions;
    std::unique_ptr<CorvayViewBinding> m_view;
};

// Opens the help file in the program directory (string 45) with the desktop's viewer; a
// missing file or viewer is said in a box. The template tool opens its own file with it too.
bool OpenHelpFile(const CString& fileName);
