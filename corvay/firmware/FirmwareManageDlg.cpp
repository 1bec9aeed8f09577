#include "corvay/firmware/FirmwareManageDlg.h"

#include <cstdlib>

#include "corvay/firmware/FirmwareDlg.h"
#include "engine/log/StringTable.h"
#include "platform/prompt/Prompt.h"

bool ConfirmDeletion() {
    return platform::ShowMessageBox(LoadStringId(FirmwareManageDlg::IDS_CONFIRM_DELETE),
                                    LoadStringId(FirmwareManageDlg::IDS_CONFIRM),
                                    platform::kMbYesNo | platform::kMbIconQuestion) == platform::kIdYes;
}

FirmwareManageDlg::FirmwareManageDlg() {
    Load();
}

void FirmwareManageDlg::Load() {
    m_records = FirmwareDB::GetInstance()->GetAllFirmware();
    m_List.Clear();
    for (const Firmware& record : m_records) {
        CString id;
        id.Format("%i", record.ID);
        m_List.AddRow({id, record.VersionName, record.Path, record.Remark});
    }
}

std::vector<int> FirmwareManageDlg::ColumnWidths(int width) {
    return {50, 200, 200, width < 550 ? 100 : width - 450};
}

DialogOutcome FirmwareManageDlg::OnAdd() {
    m_adding = true;
    return RunChild(std::make_unique<FirmwareDlg>());
}

DialogOutcome FirmwareManageDlg::OnEdit() {
    int row = m_List.LastSelected();
    if (row < 0)
        return StayWithMessage(IDS_SELECT_ROW, IDC_LIST);
    m_adding = false;
    return RunChild(std::make_unique<FirmwareDlg>(m_records[row]));
}

void FirmwareManageDlg::OnChildEnded(DialogState& child, int result) {
    if (result != kDialogOk)
        return;
    Firmware record = static_cast<FirmwareDlg&>(child).Record();
    if (m_adding)
        FirmwareDB::GetInstance()->AddFirmware(record);
    else
        FirmwareDB::GetInstance()->UpdateFirmware(record);
    Load();
}

DialogOutcome FirmwareManageDlg::OnDelete() {
    if (m_List.LastSelected() < 0)
        return StayWithMessage(IDS_SELECT_ROW, IDC_LIST);
    if (!ConfirmDeletion())
        return DialogOutcome::Stay();
    // The selection may have changed while the question was open.
    int row = m_List.LastSelected();
    if (row < 0)
        return DialogOutcome::Stay();
    FirmwareDB::GetInstance()->DeleteFirmware(std::atoi(m_List.rows[row][0]));
    Load();
    return DialogOutcome::Stay();
}
