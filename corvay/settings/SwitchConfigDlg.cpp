#include "corvay/settings/SwitchConfigDlg.h"

#include "engine/config/Configer.h"
#include "engine/log/StringTable.h"

SwitchConfigDlg::SwitchConfigDlg() {
    SwitchConfig sw = Configer::GetInstance()->GetSwitchConfig();
    if (!sw.IsSerial)
        m_Connection = kTelnetEntry;
    else if (sw.Serial.Port >= 1 && sw.Serial.Port <= kTelnetEntry)
        m_Connection = sw.Serial.Port - 1;
    m_User = sw.Login.User;
    m_Password = sw.Login.Password;
    m_Ip = sw.Ip;
}

DialogOutcome SwitchConfigDlg::OnOK() {
    CString entry;
    entry.Format("%d", m_Connection);
    int connection = 0;
    if (!CheckIntegerField(entry, 0, kTelnetEntry, connection))
        return DialogOutcome::Stay(0, IDC_CONNECTION);
    Configer* configer = Configer::GetInstance();
    SwitchConfig sw = configer->GetSwitchConfig();
    sw.IsSerial = connection != kTelnetEntry;
    sw.Serial.Port = sw.IsSerial ? connection + 1 : 1;
    sw.Model = LoadStringId(IDS_MODEL);
    sw.Login.User = m_User;
    sw.Login.Password = m_Password;
    sw.Ip = m_Ip;
    configer->SetSwitchConfig(sw);
    return DialogOutcome::Closed(kDialogOk);
}
