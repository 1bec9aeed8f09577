#pragma once
// How the program reaches the switch (serial console on COM 1 or 2, or telnet) and its login.

#include "corvay/dialogs/DialogState.h"

class SwitchConfigDlg : public DialogState {
public:
    static constexpr unsigned IDD = 146;
    enum : unsigned {
        IDC_CONNECTION = 1013,
        IDC_MODEL = 1014,
        IDC_USER = 1015,
        IDC_PASSWORD = 1016,
        IDC_IP = 1026,
    };
    // Connection entries: strings 10 "串口1", 11 "串口2", 54 "TCP/IP".
    static constexpr unsigned kConnectionStrings[] = {10, 11, 54};
    static constexpr int kTelnetEntry = 2;
    static constexpr unsigned IDS_MODEL = 12;

    SwitchConfigDlg();
    unsigned ResourceId() const override { return IDD; }

    // -1 (nothing selected) for a serial console on a port the list has no entry for.
    int m_Connection = -1;
    int m_Model = 0; // the one entry, selected
    CString m_User;
    CString m_Password;
    CString m_Ip;

    DialogOutcome OnOK() override;
};
