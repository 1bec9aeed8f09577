#pragma once
// A new upgrade rule: an old version text and the firmware files it may be upgraded to.

#include <vector>

#include "corvay/dialogs/DialogState.h"
#include "corvay/dialogs/ListState.h"
#include "engine/firmware/FirmwareDB.h"

class UpgradeRuleDlg : public DialogState {
public:
    static constexpr unsigned IDD = 172;
    enum : unsigned { IDC_OLD_VERSION = 1045, IDC_LIST = 1056 };
    static constexpr unsigned kColumnStrings[] = {133, 80, 116, 124};
    static constexpr int kColumnWidths[] = {50, 200, 200, 250};
    static constexpr unsigned IDS_NO_OLD_VERSION = 141;
    static constexpr unsigned IDS_NO_FIRMWARE = 140;
    static constexpr unsigned IDS_DUPLICATE = 142;

    // 'rules': the owner's current rules, for the duplicate check. Lists every firmware file.
    explicit UpgradeRuleDlg(std::vector<UpgradeFirmwareRule> rules = {});
    unsigned ResourceId() const override { return IDD; }

    CString m_OldVersion;
    ListState m_List; // row i: firmware i's ID, name, path, remark; checked rows are the targets

    // Adds one rule per checked row that is not there yet, and closes.
    DialogOutcome OnOK() override;

private:
    std::vector<UpgradeFirmwareRule> m_rules;
    std::vector<Firmware> m_firmware;
};
