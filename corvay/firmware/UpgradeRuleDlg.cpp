#include "corvay/firmware/UpgradeRuleDlg.h"

#include "engine/log/StringTable.h"
#include "platform/prompt/Prompt.h"

UpgradeRuleDlg::UpgradeRuleDlg(std::vector<UpgradeFirmwareRule> rules)
    : m_rules(std::move(rules)), m_firmware(FirmwareDB::GetInstance()->GetAllFirmware()) {
    for (const Firmware& record : m_firmware) {
        CString id;
        id.Format("%i", record.ID);
        m_List.AddRow({id, record.VersionName, record.Path, record.Remark});
    }
}

DialogOutcome UpgradeRuleDlg::OnOK() {
    CString oldVersion = m_OldVersion;
    oldVersion.Trim();
    if (oldVersion.IsEmpty())
        return StayWithMessage(IDS_NO_OLD_VERSION, IDC_OLD_VERSION);
    bool any = false;
    for (int i = 0; i < m_List.Count(); ++i)
        any = any || m_List.checked[i];
    if (!any)
        return StayWithMessage(IDS_NO_FIRMWARE, IDC_LIST);
    for (int i = m_List.Count() - 1; i >= 0; --i) {
        if (!m_List.checked[i])
            continue;
        UpgradeFirmwareRule rule;
        rule.Old_Version = oldVersion;
        rule.firmware = m_firmware[i];
        bool duplicate = false;
        for (const UpgradeFirmwareRule& existing : m_rules)
            duplicate = duplicate || (existing.Old_Version == rule.Old_Version &&
                                      existing.firmware.ID == rule.firmware.ID);
        if (duplicate)
            ShowAppMessage(LoadStringId(IDS_DUPLICATE), platform::kMbOk | platform::kMbIconInformation);
        else
            FirmwareDB::GetInstance()->AddUpgradeRule(rule);
    }
    m_OldVersion = oldVersion;
    return DialogOutcome::Closed(kDialogOk);
}
