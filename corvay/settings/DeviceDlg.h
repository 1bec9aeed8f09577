#pragma once
// The list of modem models; it has no data source yet and shows no rows.

#include "corvay/dialogs/DialogState.h"
#include "corvay/dialogs/ListState.h"

class DeviceDlg : public DialogState {
public:
    static constexpr unsigned IDD = 169;
    enum : unsigned { IDC_LIST = 1057, IDC_ADD = 1053, IDC_DELETE = 1051, IDC_OK = 1, IDC_CANCEL = 1060 };
    static constexpr unsigned IDS_MODEL_COLUMN = 122;

    unsigned ResourceId() const override { return IDD; }
    ListState m_List;

    // The one column fills the list's client width less 30 pixels; 100 when that leaves none.
    static int ColumnWidth(int clientWidth) { return clientWidth - 30 > 0 ? clientWidth - 30 : 100; }
};
