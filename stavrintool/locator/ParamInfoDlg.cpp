#include "stavrintool/locator/ParamInfoDlg.h"

#include "platform/ui/DialogTools.h"
#include "platform/ui/ListControl.h"
#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/locator/LocatedVersion.h"

using platform::ui::ListControl;

bool ParamInfoDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    ListControl list(Item(IDC_LOCATORS));
    list.SetUp(false);
    const int half = list.GetClientWidth() / 2;
    list.InsertColumn(0, stavrin::ToolString(stavrin::kIdsHeadColumn), half);
    list.InsertColumn(1, stavrin::ToolString(stavrin::kIdsTailColumn), half);
    m_model.Init();
    std::vector<std::vector<CString>> rows = m_model.Rows();
    for (std::vector<CString>& row : rows)
        for (CString& cell : row)
            cell = BoxText(cell, m_charset).Shown();
    platform::ui::FillReportList(list, rows, -1);
    SetDlgItemText(IDC_PAGE, m_boxes.Show(IDC_PAGE, m_model.page, m_charset));
    SetDlgItemText(IDC_VERSION, m_boxes.Show(IDC_VERSION, m_model.version, m_charset));
    SetDlgItemText(IDC_NAME, m_model.parameterName);
    Item(IDC_KEYWORD).SetCheck(m_model.keyword);
    Item(IDC_KEYWORD).Enable(false);
    SetDlgItemText(IDC_INCLUDE, m_boxes.Show(IDC_INCLUDE, m_model.includeValue, m_charset));
    return true;
}

void ParamInfoDlg::OnControlChanged(int id) {
    if (id != IDC_LOCATORS)
        return;
    m_model.SelectRow(ListControl(Item(IDC_LOCATORS)).GetFirstSelected());
    SetDlgItemText(IDC_HEAD, m_boxes.Show(IDC_HEAD, m_model.head, m_charset));
    SetDlgItemText(IDC_TAIL, m_boxes.Show(IDC_TAIL, m_model.tail, m_charset));
}

void ParamInfoDlg::OnOK() {
    m_model.includeValue = m_boxes.Read(IDC_INCLUDE, GetDlgItemText(IDC_INCLUDE));
    if (m_editor)
        m_editor->OnVersionLocated({m_model.Locators(), m_model.page, m_model.IncludeToStore()});
    EndDialog(1);
}
