#pragma once
// One firmware file of the database: its version name, path and remark.

#include "corvay/dialogs/DialogState.h"
#include "engine/firmware/FirmwareDB.h"

class FirmwareDlg : public DialogState {
public:
    static constexpr unsigned IDD = 171;
    enum : unsigned {
        IDC_VERSION_NAME = 1045,
        IDC_PATH = 1046,
        IDC_BROWSE = 1062,
        IDC_REMARK = 1063,
        IDC_REMARK_BROWSE = 1064,
    };
    static constexpr unsigned IDS_NO_NAME = 125;
    static constexpr unsigned IDS_NO_PATH = 126;

    // Empty (ID 0) to add one, or a record to edit.
    explicit FirmwareDlg(const Firmware& record = Firmware());
    unsigned ResourceId() const override { return IDD; }

    CString m_Name, m_Path, m_Remark;
    // The file chosen with "...": its full path replaces the path field.
    void OnFileChosen(const CString& path) { m_Path = path; }

    DialogOutcome OnOK() override;
    // The record with the fields copied in (after OK).
    const Firmware& Record() const { return m_record; }

private:
    Firmware m_record;
};
