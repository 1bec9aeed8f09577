#include "stavrintool/editor/CTCFGMngDlg.h"

#include "platform/prompt/Prompt.h"
#include "platform/ui/DialogTools.h"
#include "stavrintool/app/BoxText.h"
#include "stavrintool/app/ReadBox.h"

CTCFGMngDlg::CTCFGMngDlg(TerminalRecord& record, platform::ui::Window* parent, FunctionCapture* capture)
    : Dialog(IDD, parent), m_model(record, platform::Prompts(), capture) {}

CTCFGMngDlg::~CTCFGMngDlg() = default;

bool CTCFGMngDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    m_model.Init();
    Load();
    // Where the operator starts; a list taking the focus would choose its first entry.
    Item(IDC_FUNCTION_NAME).SetFocus();
    return true;
}

void CTCFGMngDlg::Store() {
    FunctionEditorModel& m = m_model;
    // A box's text back as the bytes it was given unless edited; one GBK cannot hold is marked.
    m.foreign.Clear();
    auto box = [&](int id, CString& field) { stavrin::ReadBox(*this, id, field, m.foreign, &m_boxes); };
    box(IDC_FUNCTION_NAME, m.functionName);
    box(IDC_STEP_URL, m.stepUrl);
    box(IDC_HEADERS, m.headers);
    box(IDC_POST_DATA, m.postData);
    m.post = Item(IDC_POST).GetCheck();
    box(IDC_UPLOAD_NAME, m.uploadName);
    box(IDC_UPLOAD_PAGE, m.uploadPage);
    box(IDC_UPLOAD_ACTION, m.uploadAction);
    box(IDC_UPLOAD_FIELD, m.uploadField);
    box(IDC_DOWNLOAD_URL, m.downloadUrl);
    m.functionSel = Item(IDC_FUNCTIONS).GetCurSel();
    m.stepSel = Item(IDC_STEPS).GetCurSel();
    m.uploadSel = Item(IDC_UPLOADS).GetCurSel();
}

void CTCFGMngDlg::Load() {
    const FunctionEditorModel& m = m_model;
    auto text = [this](int id, const CString& value) {
        const CString& shown = m_boxes.Show(id, value);
        if (m_boxes.Read(id, GetDlgItemText(id)) != value)
            SetDlgItemText(id, shown);
    };
    text(IDC_FUNCTION_NAME, m.functionName);
    text(IDC_STEP_URL, m.stepUrl);
    text(IDC_HEADERS, m.headers);
    text(IDC_POST_DATA, m.postData);
    Item(IDC_POST).SetCheck(m.post);
    Item(IDC_GET).SetCheck(!m.post);
    text(IDC_UPLOAD_NAME, m.uploadName);
    text(IDC_UPLOAD_PAGE, m.uploadPage);
    text(IDC_UPLOAD_ACTION, m.uploadAction);
    text(IDC_UPLOAD_FIELD, m.uploadField);
    text(IDC_DOWNLOAD_URL, m.downloadUrl);
    auto shown = [](std::vector<CString> lines) {
        for (CString& line : lines)
            line = BoxText(line).Shown();
        return lines;
    };
    platform::ui::FillList(Item(IDC_FUNCTIONS), shown(m.Functions()), m.functionSel);
    platform::ui::FillList(Item(IDC_STEPS), shown(m.Steps()), m.stepSel);
    platform::ui::FillList(Item(IDC_UPLOADS), shown(m.Uploads()), m.uploadSel);
}

void CTCFGMngDlg::OnControlChanged(int id) {
    FunctionEditorModel& m = m_model;
    switch (id) {
    case IDC_FUNCTIONS:
        Store();
        m.ChooseFunction(m.functionSel);
        break;
    case IDC_STEPS:
        Store();
        m.ChooseStep(m.stepSel);
        break;
    case IDC_UPLOADS:
        Store();
        m.ChooseUpload(m.uploadSel);
        break;
    default:
        return; // typing and the method pair: read when a button needs them
    }
    Load();
}

void CTCFGMngDlg::OnCommand(int id) {
    Store();
    FunctionEditorModel& m = m_model;
    switch (id) {
    case IDC_FUNCTION_ADD:
        m.AddFunction();
        break;
    case IDC_FUNCTION_DELETE:
        m.DeleteFunction();
        break;
    case IDC_STEP_ADD:
        m.AddStep();
        break;
    case IDC_STEP_INSERT:
        m.InsertStep();
        break;
    case IDC_STEP_DELETE:
        m.DeleteStep();
        break;
    case IDC_UPLOAD_ADD:
        m.AddUpload();
        break;
    case IDC_UPLOAD_DELETE:
        m.DeleteUpload();
        break;
    case IDC_APPLY:
        m.ApplyDownloadUrl();
        break;
    case IDC_CAPTURE_LOGIN:
    case IDC_CAPTURE_RESTORE:
    case IDC_CAPTURE_REBOOT: {
        platform::ui::WaitCursor wait;
        m.CaptureFunction(id - IDC_CAPTURE_LOGIN);
        break;
    }
    case IDC_CAPTURE_UPGRADE: {
        platform::ui::WaitCursor wait;
        m.CaptureUpload();
        break;
    }
    case IDC_GENERATE: {
        platform::ui::WaitCursor wait; // generates nothing
        return;
    }
    case IDC_CLOSE:
        EndDialog(platform::kIdOk);
        return;
    default:
        return;
    }
    Load();
}
