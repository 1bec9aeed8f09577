#pragma once
// Which PC card is the WAN card and which the LAN card.

#include <vector>

#include "corvay/dialogs/DialogState.h"

class NicConfigDlg : public DialogState {
public:
    static constexpr unsigned IDD = 132;
    enum : unsigned { IDC_WAN_NIC = 1000, IDC_LAN_NIC = 1001 };
    static constexpr unsigned IDS_SAME_CARD = 132;
    static constexpr unsigned IDS_RESTART_HINT = 104;

    struct Card {
        CString description;
        CString guid;
    };

    // The cards of the PC, preselected from the configured roles. 'hasParent': opened from
    // the frame (the restart hint is shown) rather than at start-up.
    explicit NicConfigDlg(bool hasParent);
    unsigned ResourceId() const override { return IDD; }

    // Both lists show these, in this order.
    const std::vector<Card>& Cards() const { return m_cards; }
    int m_Wan = -1;
    int m_Lan = -1;

    // Stores the roles, ends running capture monitors (the next test start makes new ones on
    // the new cards) and reminds the user that the program should be restarted.
    DialogOutcome OnOK() override;

private:
    const bool m_hasParent;
    std::vector<Card> m_cards;
};
