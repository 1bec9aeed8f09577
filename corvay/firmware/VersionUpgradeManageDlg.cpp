#include "corvay/firmware/VersionUpgradeManageDlg.h"

#include "corvay/firmware/FirmwareManageDlg.h"
#include "corvay/firmware/UpgradeRuleDlg.h"

VersionUpgradeManageDlg::VersionUpgradeManageDlg() {
    Load();
}

void VersionUpgradeManageDlg::Load() {
    m_rules = FirmwareDB::GetInstance()->GetUpgradeRules();
    m_List.Clear();
    for (size_t i = 0; i < m_rules.size(); ++i) {
        const UpgradeFirmwareRule& rule = m_rules[i];
        CString number;
        number.Format("%d", static_cast<int>(i + 1));
        m_List.AddRow(
            {number, rule.Old_Version, rule.firmware.VersionName, rule.firmware.Path, rule.firmware.Remark});
    }
}

std::vector<int> VersionUpgradeManageDlg::ColumnWidths(int width) {
    int each = (width - 50) / 4;
    if (each <= 100)
        each = 50;
    return {50, each, each, each, each};
}

DialogOutcome VersionUpgradeManageDlg::OnAdd() {
    return RunChild(std::make_unique<UpgradeRuleDlg>(m_rules));
}

void VersionUpgradeManageDlg::OnChildEnded(DialogState&, int result) {
    if (result == kDialogOk)
        Load();
}

DialogOutcome VersionUpgradeManageDlg::OnDelete() {
    if (m_List.LastSelected() < 0)
        return StayWithMessage(FirmwareManageDlg::IDS_SELECT_ROW, IDC_LIST);
    if (!ConfirmDeletion())
        return DialogOutcome::Stay();
    int row = m_List.LastSelected();
    if (row < 0)
        return DialogOutcome::Stay();
    FirmwareDB::GetInstance()->DeleteUpgradeRule(m_rules[row]);
    Load();
    return DialogOutcome::Stay();
}
