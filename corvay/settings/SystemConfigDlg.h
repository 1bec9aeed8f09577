#pragma once
// Test durations, line-rate standards, upgrade switches and the wireless standards, edited as
// the one SystemConfig block of the configuration.

#include "corvay/dialogs/DialogState.h"

class SystemConfigDlg : public DialogState {
public:
    static constexpr unsigned IDD = 144;
    enum : unsigned {
        IDC_STAND_PERIOD = 1003,
        IDC_AUTO_UPGRADE_FIRMWARE = 1004,
        IDC_AUTO_UPGRADE_CONFIG = 1005,
        IDC_LONG_PERIOD = 1006,
        IDC_UPLOAD_RATE = 1007,
        IDC_DOWNLOAD_RATE = 1008,
        IDC_LOG_SETTING = 1009,
        IDC_WLAN_PERIOD = 1037,
        IDC_WLAN_QUALITY = 1038,
    };

    // One numeric field: the edit's text, its range, and how it maps onto the block.
    struct NumberField {
        unsigned id;
        int minimum, maximum;
        int scale; // milliseconds per unit shown; 1 for a value shown as stored
        CString text;
    };

    // From the current configuration.
    SystemConfigDlg();
    unsigned ResourceId() const override { return IDD; }

    // The fields in the order OK checks them.
    NumberField* Fields() { return m_fields; }
    static constexpr int kFieldCount = 6;
    NumberField* Field(unsigned id);
    CString Text(unsigned id) { return Field(id)->text; }
    void SetText(unsigned id, const CString& text) { Field(id)->text = text; }
    bool m_AutoUpgradeFirmware = false;
    bool m_AutoUpgradeConfig = false;

    // Range checks, then the block is stored and saved.
    DialogOutcome OnOK() override;
    // A double click on the empty static text runs the log settings.
    DialogOutcome OnLogSettingDoubleClick();

private:
    NumberField m_fields[kFieldCount];
};
