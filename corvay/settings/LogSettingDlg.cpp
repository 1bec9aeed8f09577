#include "corvay/settings/LogSettingDlg.h"

#include "engine/config/Configer.h"
#include "engine/log/Logger.h"

LogSettingDlg::LogSettingDlg() {
    int shared = ReadSharedLogLevel();
    switch (shared) {
    case LOG_LEVEL_ALL:
    case LOG_LEVEL_DEBUG:
    case LOG_LEVEL_WARNING:
    case LOG_LEVEL_ERROR:
    case LOG_LEVEL_NONE:
        m_Level = shared;
        break;
    default:
        m_Level = LOG_LEVEL_INFO;
    }
}

DialogOutcome LogSettingDlg::OnOK() {
    if (m_Level < 0 || m_Level >= kLevelCount)
        return DialogOutcome::Stay(0, IDC_LOG_LEVEL);
    Configer* configer = Configer::GetInstance(); // built first: its construction sets the level too
    SetLogLevel(m_Level);
    SaveLogSettings();
    configer->SetLogger(m_Level);
    configer->Save();
    return DialogOutcome::Closed(kDialogOk);
}
