#include "corvay/app/MainFrame.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "corvay/app/AboutDlg.h"
#include "corvay/app/CorvayApp.h"
#include "corvay/app/SplashDlg.h"
#include "corvay/app/TestFlags.h"
#include "corvay/dialogs/DialogWindow.h"
#include "corvay/firmware/FirmwareManageDlg.h"
#include "corvay/firmware/VersionUpgradeManageDlg.h"
#include "corvay/settings/DslamConfigDlg.h"
#include "corvay/settings/NicConfigDlg.h"
#include "corvay/settings/SwitchConfigDlg.h"
#include "corvay/settings/SystemConfigDlg.h"
#include "corvay/view/CorvayViewBinding.h"
#include "engine/config/Configer.h"
#include "engine/config/PcNICInfo.h"
#include "engine/firmware/FirmwareDB.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "engine/ping/NicMonitors.h"
#include "engine/ping/PingFrames.h"
#include "engine/switch/ISwitchManager.h"
#include "engine/switch/SwitchManager.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/net/Daemon.h"
#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"

void DeleteProgramSingletons(bool monitorsStarted) {
    if (monitorsStarted) {
        LANic_Monitor::DeleteInstance();
        WANic_Monitor::DeleteInstance();
    }
    // Both kinds: the switch settings may have changed the mode since the view took its
    // manager, and a console manager left alive would hold the serial line past the log's end.
    SwitchManager::DeleteInstance();
    SwitchManager2::DeleteInstance();
    LogInfo("SwitchManager deleted.");
    PcNICInfo::DeleteInstance();
    if (!Configer::Existing())
        LogInfo("Configer is NULL");
    Configer::DeleteInstance();
    FirmwareDB::DeleteInstance();
    LogInfo("Singletons deleted.");
}

CMainFrame::CMainFrame(CCorvayView::Options viewOptions) : m_viewOptions(std::move(viewOptions)) {}
CMainFrame::~CMainFrame() = default;

CCorvayView* CMainFrame::GetView() {
    return m_view ? &m_view->View() : nullptr;
}

CString CMainFrame::FirstTitle() {
    CString templ = LoadStringId(IDR_TITLE);
    int end = templ.Find('\n');
    return end < 0 ? templ : templ.Left(end);
}

bool CMainFrame::Create() {
    if (!Frame::Create(FirstTitle(), IDR_MAINFRAME, kWidth, kHeight))
        return false;
    if (!CreateToolBar(IDR_MAINFRAME)) {
        LogError("Failed to create toolbar");
        return false;
    }
    if (!CreateStatusBar({LoadStringId(IDS_READY), "CAP", "NUM", "SCRL"})) {
        LogError("Failed to create status bar");
        return false;
    }
    if (!LoadAccelerators("Accelerators128.acc"))
        LogError("Failed to load accelerators");
    m_view = std::make_unique<CorvayViewBinding>(*this, m_viewOptions);
    m_view->closeSplash = [] { CSplashDlg::HideSplashDlg(); };
    if (!m_view->Create()) {
        LogError("Failed to create view");
        m_view.reset();
        return false;
    }
    CenterWindow();
    // Once the frame is up, so that the splash lies above it also without a window manager.
    if (ShowSplashFlag())
        platform::ui::RunOnUiThread([frame = Handle()] {
            if (platform::ui::Window* window = frame.Get())
                CSplashDlg::ShowSplashDlg(window);
        });
    return true;
}

bool CMainFrame::OnCommand(int id) {
    switch (id) {
    case ID_SYSTEM_CONFIG: {
        SystemConfigDlg dlg;
        RunDialogWindow(dlg, this);
        return true;
    }
    case ID_DSLAM_CONFIG: {
        DslamConfigDlg dlg;
        RunDialogWindow(dlg, this);
        return true;
    }
    case ID_SWITCH_CONFIG:
        OnSwitchConfig();
        return true;
    case ID_NIC_CONFIG: {
        NicConfigDlg dlg(true);
        RunDialogWindow(dlg, this);
        return true;
    }
    case ID_FIRMWARE_MANAGE: {
        platform::ui::WaitCursor wait;
        FirmwareManageDlg dlg;
        RunDialogWindow(dlg, this);
        return true;
    }
    case ID_UPGRADE_RULES: {
        platform::ui::WaitCursor wait;
        VersionUpgradeManageDlg dlg;
        RunDialogWindow(dlg, this);
        return true;
    }
    case ID_NOTHING_1:
    case ID_NOTHING_2:
        return true;
    case ID_APP_ABOUT: {
        CAboutDlg about(this);
        about.DoModal();
        return true;
    }
    case ID_HELP_FINDER:
        OpenHelpFile(LoadStringId(IDS_HELP_FILE));
        return true;
    case ID_APP_EXIT:
        SendCloseRequest();
        return true;
    default:
        return false;
    }
}

void CMainFrame::OnSwitchConfig() {
    SwitchConfigDlg dlg;
    if (RunDialogWindow(dlg, this) != platform::kIdOk)
        return;
    ISwitchManager* manager = m_view ? m_view->View().GetSwitchManager() : nullptr;
    if (manager && manager->IsLoggedIn() == 0)
        manager->Reconnect();
}

bool CMainFrame::OnClose() {
    if (!(m_view ? m_view->View().IsTesting() : IsTestingFlagSet()))
        return true;
    if (platform::ui::Application::Ending()) {
        // Ended by a signal: the test is stopped as the stop button does, and the window closes
        // once the job has tidied up (the next close request finds it ended).
        if (m_view)
            m_view->View().OnBtnStop();
        return false;
    }
    platform::ShowMessageBox(LoadStringId(IDS_TESTING_NO_EXIT), "", platform::kMbOk);
    return false;
}

void CMainFrame::OnDestroy() {
    CSplashDlg::HideSplashDlg();
    // The view lets go of its manager and its jobs before the singletons go.
    m_view.reset();
    DeleteProgramSingletons(IsMonitorsStartedFlagSet());
}

bool OpenHelpFile(const CString& fileName) {
    const CString path = platform::JoinPath(platform::ProgramDirectory(), fileName);
    struct stat st {};
    if (::stat(path.GetString(), &st) != 0) {
        CString text;
        text.Format(LoadStringId(190).GetString(), path.GetString());
        platform::ShowMessageBox(text, "", platform::kMbOk | platform::kMbIconWarning);
        return false;
    }
    const std::string viewer = platform::FindProgram("xdg-open");
    int error = 0;
    if (viewer.empty() || !platform::StartDaemon({viewer, path.GetString()}, {}, &error)) {
        LogError("Help viewer: %s", viewer.empty() ? "xdg-open not found" : std::strerror(error));
        platform::ShowMessageBox(LoadStringId(191), "", platform::kMbOk | platform::kMbIconWarning);
        return false;
    }
    return true;
}
