#include "stavrintool/diag/TemplateDiagDlg.h"

#include "platform/ui/DialogTools.h"
#include "platform/ui/WindowPrompts.h"
#include "stavrintool/app/ToolStrings.h"

TemplateDiagDlg::TemplateDiagDlg(platform::ui::Window* parent, const CString& templatePath)
    : Dialog(IDD, parent),
      m_model(std::make_unique<TemplateTestModel>(static_cast<TemplateTestSink&>(*this), templatePath)) {}

TemplateDiagDlg::~TemplateDiagDlg() {
    Finish();
}

void TemplateDiagDlg::Finish() {
    if (!m_model)
        return;
    if (m_model->Busy()) {
        platform::ui::WaitCursor wait;
        m_model->WaitForJob();
    }
    m_model.reset();
}

bool TemplateDiagDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    m_self = Handle();
    CenterWindow();
    Load();
    return true;
}

void TemplateDiagDlg::Store() {
    if (!m_model)
        return;
    m_model->functionSel = Item(IDC_FUNCTIONS).GetCurSel();
    m_model->parameterSel = Item(IDC_PARAMETERS).GetCurSel();
    m_model->uploadSel = Item(IDC_UPLOADS).GetCurSel();
    m_model->parameterText = GetDlgItemText(IDC_PARAMETER_TEXT);
    m_model->filePath = GetDlgItemText(IDC_FILE_PATH);
}

void TemplateDiagDlg::Load() {
    if (!m_model)
        return;
    platform::ui::FillList(Item(IDC_FUNCTIONS), m_model->Functions(), m_model->functionSel);
    platform::ui::FillList(Item(IDC_PARAMETERS), m_model->Parameters(), m_model->parameterSel);
    platform::ui::FillList(Item(IDC_UPLOADS), m_model->Uploads(), m_model->uploadSel);
    if (GetDlgItemText(IDC_FILE_PATH) != m_model->filePath)
        SetDlgItemText(IDC_FILE_PATH, m_model->filePath);
    const bool idle = !m_model->Busy(), functions = m_model->FunctionControlsEnabled();
    for (int id : {IDC_FUNCTIONS, IDC_PARAMETERS, IDC_PARAMETER_TEXT})
        Item(id).Enable(functions);
    for (int id : {IDC_PARAMETER_ADD, IDC_PARAMETER_DELETE, IDC_RUN_FUNCTION, IDC_UPLOAD})
        Item(id).Enable(functions && idle);
    for (int id : {IDC_DISCOVER, IDC_CLEAR, IDC_CHOOSE_FILE})
        Item(id).Enable(idle);
    SetWaitCursor(!idle);
}

void TemplateDiagDlg::OnOK() {
    if (!m_model)
        return;
    Store();
    m_model->Discover();
    Load();
}

void TemplateDiagDlg::OnCommand(int id) {
    if (!m_model)
        return;
    Store();
    switch (id) {
    case IDC_CLEAR:
        m_model->ClearOutput();
        break;
    case IDC_PARAMETER_ADD:
        m_model->AddParameter();
        break;
    case IDC_PARAMETER_DELETE:
        m_model->DeleteParameter();
        break;
    case IDC_RUN_FUNCTION:
        m_model->RunFunction();
        break;
    case IDC_CHOOSE_FILE: {
        CString path;
        if (FileOpenDialog("", path))
            m_model->filePath = path;
        break;
    }
    case IDC_UPLOAD:
        m_model->Upload();
        break;
    default:
        return;
    }
    Load();
}

void TemplateDiagDlg::OnMessage(unsigned message, uintptr_t, intptr_t) {
    if (message != kJobEnded || !m_model)
        return;
    Store();
    m_model->Deliver();
    Load();
}

void TemplateDiagDlg::AddLine(const CString& line) {
    Item(IDC_OUTPUT).AddString(line);
}

void TemplateDiagDlg::ClearLines() {
    Item(IDC_OUTPUT).ResetContent();
}

void TemplateDiagDlg::ShowMessage(unsigned stringId) {
    Load(); // the buttons come back before the box waits for its OK
    platform::ui::OwnedMessageBox(*this, stavrin::ToolString(stringId), stavrin::ToolAppTitle(),
                                  platform::kMbOk | stavrin::ToolBoxIcon(stringId, 0));
}

void TemplateDiagDlg::JobDone() {
    platform::ui::PostMessage(m_self, kJobEnded);
}
