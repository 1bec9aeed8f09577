#include "stavrintool/editor/CStavrinMng.h"

#include "platform/prompt/Prompt.h"
#include "platform/ui/DialogTools.h"
#include "platform/ui/ListControl.h"
#include "stavrintool/app/ReadBox.h"
#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/editor/CTCFGMngDlg.h"
#include "stavrintool/editor/CaptureDialogs.h"
#include "stavrintool/locator/MyBrowerDlg.h"

using namespace stavrin;
using platform::ui::ListControl;

namespace {

struct Column {
    unsigned heading;
    int width;
};

void AddColumns(ListControl list, std::initializer_list<Column> columns) {
    int index = 0;
    for (const Column& c : columns)
        list.InsertColumn(index++, ToolString(c.heading), c.width);
}

} // namespace

CStavrinMng::CStavrinMng(TemplateStore& store, platform::ui::Window* parent, const platform::Clock& clock)
    : Dialog(IDD, parent), m_model(store, platform::Prompts(), clock) {
    // The version locator's window is made during the editor's run and must take input beside it.
    KeepModelessWindowsUsable();
}

CStavrinMng::~CStavrinMng() = default;

bool CStavrinMng::OnInitDialog() {
    Dialog::OnInitDialog();
    SetWindowText(m_model.Caption());
    AddColumns(ListControl(Item(IDC_PARAMETERS)), {{kIdsParameterNameColumn, 130},
                                                   {kIdsKeywordColumn, 70},
                                                   {kIdsArrayColumn, 70},
                                                   {kIdsUrlColumn, 350}});
    AddColumns(ListControl(Item(IDC_LOCATORS)), {{kIdsHeadColumn, 180}, {kIdsTailColumn, 180}});
    AddColumns(ListControl(Item(IDC_RULES)),
               {{kIdsRuleColumn, 80}, {kIdsSetValueColumn, 220}, {kIdsCodeColumn, 50}});
    AddColumns(ListControl(Item(IDC_PROPERTIES)),
               {{kIdsPropertyNameColumn, 100}, {kIdsPropertyValueColumn, 110}});
    platform::ui::LimitToChars(*this, IDC_CODE, "-+0123456789");
    m_model.Init();
    Load();
    // Modeless and hidden until the version button shows it; it goes with the editor.
    m_locator = std::make_unique<MyBrowerDlg>(this, this);
    m_locator->Create(this);
    return true;
}

void CStavrinMng::SetVersionParameter(const std::vector<LocatorRecord>& markers, const CString& url,
                                      const CString& version) {
    if (HasWindow())
        Store();
    m_model.SetVersionParameter(markers, url, version);
    if (HasWindow())
        Load();
}

void CStavrinMng::Store() {
    TemplateEditorModel& m = m_model;
    m.foreign.Clear();
    auto box = [&](int id, CString& field) { ReadBox(*this, id, field, m.foreign); };
    box(IDC_DEVICE_NAME, m.deviceName);
    m.webAuth = Item(IDC_WEB_AUTH).GetCheck();
    m.browserAuth = Item(IDC_BROWSER_AUTH).GetCheck();
    m.useHttps = Item(IDC_HTTPS).GetCheck();
    box(IDC_PARAMETER_NAME, m.parameterName);
    box(IDC_PARAMETER_PAGE, m.parameterPage);
    m.keyword = Item(IDC_KEYWORD).GetCheck();
    m.isArray = Item(IDC_ARRAY).GetCheck();
    box(IDC_ARRAY_INDEX, m.arrayText);
    m.localLanguage = Item(IDC_LOCAL).GetCheck();
    m.englishLanguage = Item(IDC_ENGLISH).GetCheck();
    box(IDC_HEAD, m.head);
    box(IDC_TAIL, m.tail);
    for (size_t i = 0; i < m.operators.size(); ++i)
        m.operators[i] = Item(kOperatorIds[i]).GetCheck();
    box(IDC_SET_VALUE, m.setValue);
    m.codeText = GetDlgItemText(IDC_CODE);
    m.joinAnd = Item(IDC_AND).GetCheck();
    m.joinOr = Item(IDC_OR).GetCheck();
    box(IDC_PROPERTY_NAME, m.propertyName);
    box(IDC_PROPERTY_VALUE, m.propertyValue);
    m.parameterSel = ListControl(Item(IDC_PARAMETERS)).GetFirstSelected();
    m.locatorSel = ListControl(Item(IDC_LOCATORS)).GetFirstSelected();
    m.ruleSel = ListControl(Item(IDC_RULES)).GetFirstSelected();
    m.propertySel = ListControl(Item(IDC_PROPERTIES)).GetFirstSelected();
}

void CStavrinMng::Load() {
    const TemplateEditorModel& m = m_model;
    m_loading = true;
    auto text = [this](int id, const CString& value) {
        if (GetDlgItemText(id) != value)
            SetDlgItemText(id, value);
    };
    text(IDC_DEVICE_NAME, m.deviceName);
    Item(IDC_WEB_AUTH).SetCheck(m.webAuth);
    Item(IDC_BROWSER_AUTH).SetCheck(m.browserAuth);
    Item(IDC_HTTPS).SetCheck(m.useHttps);
    text(IDC_PARAMETER_NAME, m.parameterName);
    text(IDC_PARAMETER_PAGE, m.parameterPage);
    Item(IDC_KEYWORD).SetCheck(m.keyword);
    Item(IDC_ARRAY).SetCheck(m.isArray);
    text(IDC_ARRAY_INDEX, m.arrayText);
    Item(IDC_ARRAY_INDEX).Enable(m.arrayEnabled);
    Item(IDC_LOCAL).SetCheck(m.localLanguage);
    Item(IDC_ENGLISH).SetCheck(m.englishLanguage);
    text(IDC_HEAD, m.head);
    text(IDC_TAIL, m.tail);
    for (size_t i = 0; i < m.operators.size(); ++i)
        Item(kOperatorIds[i]).SetCheck(m.operators[i]);
    text(IDC_SET_VALUE, m.setValue);
    text(IDC_CODE, m.codeText);
    Item(IDC_AND).SetCheck(m.joinAnd);
    Item(IDC_OR).SetCheck(m.joinOr);
    text(IDC_PROPERTY_NAME, m.propertyName);
    text(IDC_PROPERTY_VALUE, m.propertyValue);
    platform::ui::FillReportList(ListControl(Item(IDC_PARAMETERS)), m.ParameterRows(), m.parameterSel);
    platform::ui::FillReportList(ListControl(Item(IDC_LOCATORS)), m.LocatorRows(), m.locatorSel);
    platform::ui::FillReportList(ListControl(Item(IDC_RULES)), m.RuleRows(), m.ruleSel);
    platform::ui::FillReportList(ListControl(Item(IDC_PROPERTIES)), m.PropertyRows(), m.propertySel);
    m_loading = false;
}

void CStavrinMng::OnControlChanged(int id) {
    if (m_loading)
        return;
    TemplateEditorModel& m = m_model;
    switch (id) {
    case IDC_PARAMETERS:
        Store();
        m.ShowParameter(m.parameterSel);
        break;
    case IDC_LOCATORS:
        Store();
        m.SelectLocator(m.locatorSel);
        break;
    case IDC_RULES:
        Store();
        m.SelectRule(m.ruleSel);
        break;
    case IDC_PROPERTIES:
        Store();
        m.SelectProperty(m.propertySel);
        break;
    case IDC_WEB_AUTH:
        Store();
        // The other button goes off before the notice shows over the dialog.
        Item(IDC_BROWSER_AUTH).SetCheck(false);
        m.ChooseWebAuth();
        break;
    case IDC_BROWSER_AUTH:
        Store();
        m.ChooseBrowserAuth();
        break;
    case IDC_LOCAL:
    case IDC_ENGLISH:
        Store();
        m.ChooseLanguage(id == IDC_LOCAL);
        break;
    case IDC_AND:
    case IDC_OR:
        Store();
        m.ChooseJoinWord(id == IDC_AND);
        break;
    case IDC_ARRAY:
        Store();
        m.ToggleArray();
        break;
    default:
        return; // typing, the keyword and the operator boxes: read when a button needs them
    }
    Load();
}

void CStavrinMng::OnCommand(int id) {
    Store();
    TemplateEditorModel& m = m_model;
    switch (id) {
    case IDC_PARAMETER_ADD:
        m.AddParameter();
        break;
    case IDC_PARAMETER_MODIFY:
        m.ModifyParameter();
        break;
    case IDC_PARAMETER_DELETE:
        m.DeleteParameter();
        break;
    case IDC_LOCATOR_ADD:
        m.AddLocator();
        break;
    case IDC_LOCATOR_DELETE:
        m.DeleteLocator();
        break;
    case IDC_RULE_ADD:
        m.AddRule();
        break;
    case IDC_RULE_DELETE:
        m.DeleteRule();
        break;
    case IDC_PROPERTY_ADD:
        m.AddProperty();
        break;
    case IDC_PROPERTY_DELETE:
        m.DeleteProperty();
        break;
    case IDC_FUNCTIONS:
        if (m.Record()) {
            CaptureDialogs capture;
            CTCFGMngDlg functions(*m.Record(), this, &capture);
            functions.DoModal();
        }
        break;
    case IDC_CANCEL:
        EndDialog(platform::kIdCancel);
        return;
    case IDC_FIND_VERSION:
        if (m_locator)
            m_locator->Open();
        return;
    default:
        return;
    }
    Load();
}

void CStavrinMng::OnOK() {
    Store();
    if (m_model.Ok())
        EndDialog(platform::kIdOk);
    else
        Load();
}
