#pragma once
// Asked during a test when several upgrades match a modem: the user picks one of them.

#include <vector>

#include "corvay/dialogs/DialogState.h"
#include "corvay/dialogs/ListState.h"
#include "engine/firmware/FirmwareDB.h"

class CChoseVersionDlg : public DialogState {
public:
    static constexpr unsigned IDD = 166;
    enum : unsigned { IDC_CURRENT_VERSION = 1045, IDC_LIST = 1048 };
    static constexpr unsigned kColumnStrings[] = {133, 80, 116};
    static constexpr int kColumnWidths[] = {50, 200, 200};
    static constexpr unsigned IDS_SELECT_VERSION = 144;

    CChoseVersionDlg() = default;
    unsigned ResourceId() const override { return IDD; }

    // The modem's current version, shown in the edit.
    void SetText(const CString& text) { m_Text = text; }
    // The candidates, one row each: i + 1, version name, path.
    void SetVersions(const std::vector<VersionPair>& versions);
    // The pair of the selected row, after OK.
    VersionPair GetChosenVersion() const { return m_chosen; }
    int ChosenIndex() const { return m_chosenIndex; }

    CString m_Text;
    ListState m_List;

    DialogOutcome OnOK() override;

private:
    std::vector<VersionPair> m_versions;
    VersionPair m_chosen;
    int m_chosenIndex = -1;
};
