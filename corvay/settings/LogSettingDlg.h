#pragma once
// The log level of this and every other process of the program that shares it.

#include "corvay/dialogs/DialogState.h"

class LogSettingDlg : public DialogState {
public:
    static constexpr unsigned IDD = 145;
    static constexpr unsigned IDC_LOG_LEVEL = 1011;
    // Strings 4 .. 9: one entry per level 0 .. 5.
    static constexpr unsigned kFirstLevelString = 4;
    static constexpr int kLevelCount = 6;

    // Preselects the shared level; a level the list has no entry for selects Info.
    LogSettingDlg();
    unsigned ResourceId() const override { return IDD; }

    int m_Level; // the list's entry index, which is the level

    // Sets the level (shared memory and SuperLog.ini too) and saves it as [System] Logger.
    DialogOutcome OnOK() override;
};
