#pragma once
// The firmware files of the database: listed, added, changed and deleted (the files on disk are
// never touched).

#include <vector>

#include "corvay/dialogs/DialogState.h"
#include "corvay/dialogs/ListState.h"
#include "engine/firmware/FirmwareDB.h"

class FirmwareManageDlg : public DialogState {
public:
    static constexpr unsigned IDD = 168;
    enum : unsigned { IDC_LIST = 1056, IDC_ADD = 1053, IDC_DELETE = 1054, IDC_EDIT = 1055, IDC_CLOSE = 1 };
    static constexpr unsigned kColumnStrings[] = {133, 80, 116, 124};
    static constexpr unsigned IDS_SELECT_ROW = 123;
    static constexpr unsigned IDS_CONFIRM_DELETE = 127;
    static constexpr unsigned IDS_CONFIRM = 138;

    // Loads the list.
    FirmwareManageDlg();
    unsigned ResourceId() const override { return IDD; }

    ListState m_List; // row i: record i's ID, name, path, remark
    const std::vector<Firmware>& Records() const { return m_records; }
    void Load();

    DialogOutcome OnAdd();
    DialogOutcome OnDelete();
    DialogOutcome OnEdit();

    // Column widths for a list 'width' pixels wide inside.
    static std::vector<int> ColumnWidths(int width);

private:
    void OnChildEnded(DialogState& child, int result) override;

    std::vector<Firmware> m_records;
    bool m_adding = false;
};

// Asks string 127 with caption 138, Yes/No; true for Yes.
bool ConfirmDeletion();
