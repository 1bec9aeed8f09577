#include "corvay/settings/NicConfigDlg.h"

#include "corvay/app/TestFlags.h"
#include "engine/config/Configer.h"
#include "engine/config/PcNICInfo.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "engine/ping/NicMonitors.h"
#include "platform/prompt/Prompt.h"

NicConfigDlg::NicConfigDlg(bool hasParent) : m_hasParent(hasParent) {
    std::vector<NIC*> nics;
    PcNICInfo::Instance()->GetNicList(nics);
    for (const NIC* nic : nics)
        m_cards.push_back({nic->m_Description, nic->m_AdapterName});

    Configer* configer = Configer::GetInstance();
    if (configer->CheckNicConfigured()) {
        NicConfig roles = configer->GetNicConfig();
        for (int i = 0; i < static_cast<int>(m_cards.size()); ++i) {
            const Card& card = m_cards[i];
            if (card.guid == roles.LAN_Guid)
                m_Lan = i;
            else if (card.guid == roles.WAN_Guid)
                m_Wan = i;
            else
                LogInfo("网卡（Guid：%s 描述：%s）用途未知。", card.guid.GetString(),
                        card.description.GetString());
        }
    } else if (m_cards.size() > 1) {
        m_Lan = 0;
        m_Wan = 1;
    }
}

DialogOutcome NicConfigDlg::OnOK() {
    int count = static_cast<int>(m_cards.size());
    if (m_Wan == m_Lan)
        return StayWithMessage(IDS_SAME_CARD, IDC_LAN_NIC);
    // Both roles need a card of the list.
    CString entry;
    int checked = 0;
    for (auto [index, id] : {std::pair{m_Wan, IDC_WAN_NIC}, std::pair{m_Lan, IDC_LAN_NIC}}) {
        entry.Format("%d", index);
        if (!CheckIntegerField(entry, 0, count - 1, checked))
            return DialogOutcome::Stay(0, id);
    }
    NicConfig roles;
    roles.WAN_Name = m_cards[m_Wan].description;
    roles.WAN_Guid = m_cards[m_Wan].guid;
    roles.LAN_Name = m_cards[m_Lan].description;
    roles.LAN_Guid = m_cards[m_Lan].guid;
    Configer::GetInstance()->SetNicConfig(roles);
    if (IsMonitorsStartedFlagSet()) {
        LANic_Monitor::DeleteInstance();
        WANic_Monitor::DeleteInstance();
        SetMonitorsStartedFlag(false);
    }
    if (m_hasParent)
        ShowAppMessage(LoadStringId(IDS_RESTART_HINT), platform::kMbOk | platform::kMbIconInformation);
    return DialogOutcome::Closed(kDialogOk);
}
