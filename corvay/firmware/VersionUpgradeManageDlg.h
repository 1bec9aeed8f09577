#pragma once
// The upgrade rules of the database: listed, added and deleted.

#include <vector>

#include "corvay/dialogs/DialogState.h"
#include "corvay/dialogs/ListState.h"
#include "engine/firmware/FirmwareDB.h"

class VersionUpgradeManageDlg : public DialogState {
public:
    static constexpr unsigned IDD = 167;
    enum : unsigned { IDC_LIST = 1049, IDC_ADD = 1050, IDC_DELETE = 1051, IDC_EDIT = 1052, IDC_CLOSE = 1 };
    static constexpr unsigned kColumnStrings[] = {133, 117, 119, 120, 124};

    VersionUpgradeManageDlg();
    unsigned ResourceId() const override { return IDD; }

    ListState m_List; // row i: i + 1, old version, the firmware's name, path, remark
    const std::vector<UpgradeFirmwareRule>& Rules() const { return m_rules; }
    void Load();

    DialogOutcome OnAdd();
    DialogOutcome OnDelete();

    static std::vector<int> ColumnWidths(int width);

private:
    void OnChildEnded(DialogState& child, int result) override;

    std::vector<UpgradeFirmwareRule> m_rules;
};
