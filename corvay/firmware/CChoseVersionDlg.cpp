#include "corvay/firmware/CChoseVersionDlg.h"

void CChoseVersionDlg::SetVersions(const std::vector<VersionPair>& versions) {
    m_versions = versions;
    m_List.Clear();
    for (size_t i = 0; i < versions.size(); ++i) {
        CString number;
        number.Format("%d", static_cast<int>(i + 1));
        m_List.AddRow({number, versions[i].first, versions[i].second});
    }
}

DialogOutcome CChoseVersionDlg::OnOK() {
    int row = m_List.LastSelected();
    if (row < 0)
        return StayWithMessage(IDS_SELECT_VERSION, IDC_LIST);
    m_chosen = m_versions[row];
    m_chosenIndex = row;
    return DialogOutcome::Closed(kDialogOk);
}
