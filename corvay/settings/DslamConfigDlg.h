#pragma once
// DSLAM address, login, model and which DSLAM slot serves each half of the switch.

#include "corvay/dialogs/DialogState.h"

class DslamConfigDlg : public DialogState {
public:
    static constexpr unsigned IDD = 165;
    enum : unsigned {
        IDC_SLOT_1TO24 = 1043,
        IDC_DSLAM_IP = 1044,
        IDC_USER = 1045,
        IDC_PASSWORD = 1031,
        IDC_MODEL = 1047,
        IDC_SLOT_25TO48 = 1049,
    };
    static constexpr unsigned IDS_SAME_SLOT = 115;
    static constexpr const char* kModels[] = {"Torvex Alder", "Torvex Birch"};
    static constexpr int kSlotCount = 4; // entries "1" .. "4"

    DslamConfigDlg();
    unsigned ResourceId() const override { return IDD; }

    CString m_Ip; // as the address field shows it: four decimal fields, "a.b.c.d"
    CString m_User;
    CString m_Password;
    int m_Model = -1; // index into kModels; -1 when the configured model is not listed
    int m_Slot1to24 = -1;
    int m_Slot25to48 = -1;

    // The slot lists are disabled for the model that serves every port from one slot.
    bool SlotListsEnabled() const;
    void OnModelChanged(int index) { m_Model = index; }

    // Checks first: the live configuration changes only when the whole block is accepted.
    DialogOutcome OnOK() override;
};

// "a.b.c.d" with each field 0..255; an empty field reads 0, as the address field gives it.
// A blank address (the field gives "") is refused.
bool ParseAddressFields(const CString& text, int fields[4]);
