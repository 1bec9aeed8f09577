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
    platform::ui::FillReportList(list, m_model.Rows(), -1);
    SetDlgItemText(IDC_PAGE, m_model.page);
    SetDlgItemText(IDC_VERSION, m_model.version);
    SetDlgItemText(IDC_NAME, m_model.parameterName);
    Item(IDC_KEYWORD).SetCheck(m_model.keyword);
    Item(IDC_KEYWORD).Enable(false);
    SetDlgItemText(IDC_INCLUDE, m_model.includeValue);
    return true;
}

void ParamInfoDlg::OnControlChanged(int id) {
    if (id != IDC_LOCATORS)
        return;
    m_model.SelectRow(ListControl(Item(IDC_LOCATORS)).GetFirstSelected());
    SetDlgItemText(IDC_HEAD, m_model.head);
    SetDlgItemText(IDC_TAIL, m_model.tail);
}

void ParamInfoDlg::OnOK() {
    m_model.includeValue = GetDlgItemText(IDC_INCLUDE);
    if (m_editor)
        m_editor->OnVersionLocated({m_model.Locators(), m_model.page, m_model.IncludeToStore()});
    EndDialog(1);
}
