#include "corvay/settings/DslamConfigDlg.h"

#include "engine/config/Configer.h"
#include "platform/prompt/Prompt.h"

namespace {

int IndexOfModel(const CString& model) {
    for (int i = 0; i < 2; ++i)
        if (model == DslamConfigDlg::kModels[i])
            return i;
    return -1;
}

int IndexOfSlot(int slot) {
    return slot >= 1 && slot <= DslamConfigDlg::kSlotCount ? slot - 1 : -1;
}

} // namespace

bool ParseAddressFields(const CString& text, int fields[4]) {
    const char* p = text.GetString();
    for (int i = 0; i < 4; ++i) {
        int value = 0, digits = 0;
        while (*p == ' ')
            ++p;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + (*p++ - '0');
            if (++digits > 3)
                return false;
        }
        while (*p == ' ')
            ++p;
        if (value > 255)
            return false;
        fields[i] = value;
        if (i < 3 && *p++ != '.')
            return false;
    }
    return *p == '\0';
}

DslamConfigDlg::DslamConfigDlg() {
    DslamConfig dslam = Configer::GetInstance()->GetSystemConfig().Dslam;
    int fields[4];
    if (ParseAddressFields(dslam.Ip, fields))
        m_Ip.Format("%d.%d.%d.%d", fields[0], fields[1], fields[2], fields[3]);
    else
        m_Ip = "0.0.0.0"; // the address field shows nothing else
    m_User = dslam.Login.User;
    m_Password = dslam.Login.Password;
    m_Model = IndexOfModel(dslam.Model);
    m_Slot1to24 = IndexOfSlot(dslam.Switch1to24);
    m_Slot25to48 = IndexOfSlot(dslam.Switch25to48);
}

bool DslamConfigDlg::SlotListsEnabled() const {
    return !(m_Model >= 0 && m_Model < 2 && CString(kModels[m_Model]) == "Torvex Birch");
}

DialogOutcome DslamConfigDlg::OnOK() {
    int fields[4];
    if (!ParseAddressFields(m_Ip, fields)) {
        ShowAppMessage(IntegerRangeMessage(0, 255), platform::kMbOk | platform::kMbIconWarning);
        return DialogOutcome::Stay(0, IDC_DSLAM_IP);
    }
    Configer* configer = Configer::GetInstance();
    SystemConfig config = configer->GetSystemConfig();
    DslamConfig& dslam = config.Dslam;
    // A slot list without a selection keeps its configured slot.
    int slot1 = m_Slot1to24 >= 0 && m_Slot1to24 < kSlotCount ? m_Slot1to24 + 1 : dslam.Switch1to24;
    int slot2 = m_Slot25to48 >= 0 && m_Slot25to48 < kSlotCount ? m_Slot25to48 + 1 : dslam.Switch25to48;
    if (slot1 == slot2)
        return StayWithMessage(IDS_SAME_SLOT, IDC_SLOT_1TO24);
    if (m_Model >= 0 && m_Model < 2)
        dslam.Model = kModels[m_Model];
    dslam.Ip.Format("%d.%d.%d.%d", fields[0], fields[1], fields[2], fields[3]);
    dslam.Login.User = m_User;
    dslam.Login.Password = m_Password;
    dslam.Switch1to24 = slot1;
    dslam.Switch25to48 = slot2;
    configer->SetSystemConfig(config);
    return DialogOutcome::Closed(kDialogOk);
}
