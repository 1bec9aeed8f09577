#include "corvay/firmware/FirmwareDlg.h"

FirmwareDlg::FirmwareDlg(const Firmware& record)
    : m_Name(record.VersionName), m_Path(record.Path), m_Remark(record.Remark), m_record(record) {}

DialogOutcome FirmwareDlg::OnOK() {
    if (m_Name.IsEmpty())
        return StayWithMessage(IDS_NO_NAME, IDC_VERSION_NAME);
    if (m_Path.IsEmpty())
        return StayWithMessage(IDS_NO_PATH, IDC_PATH);
    m_record.VersionName = m_Name;
    m_record.Path = m_Path;
    m_record.Remark = m_Remark;
    return DialogOutcome::Closed(kDialogOk);
}
