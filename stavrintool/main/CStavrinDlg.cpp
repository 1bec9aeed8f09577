#include "stavrintool/main/CStavrinDlg.h"

#include "platform/ui/Application.h"
#include "platform/ui/DialogTools.h"
#include "stavrintool/app/ReadBox.h"
#include "stavrintool/app/CAboutDlg.h"
#include "stavrintool/app/ToolStrings.h"

CStavrinDlg::CStavrinDlg(TemplateStore& store, TemplateEditor* editor, const platform::Clock& clock,
                         platform::ui::Window* parent)
    : Dialog(IDD, parent), m_model(store, platform::Prompts(), clock, editor) {
    // The test dialog beside it takes input while this one runs.
    KeepModelessWindowsUsable();
}

CStavrinDlg::~CStavrinDlg() = default;

bool CStavrinDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    // The window menu of the original carried the About item; here it is the context menu.
    platform::ui::AddContextMenuItem(*this, stavrin::ToolString(stavrin::kIdsAbout), [this] {
        CAboutDlg about(this);
        about.DoModal();
    });
    SetIcon("program.xpm");
    CenterWindow();
    platform::ui::OnListBoxDoubleClick(*this, IDC_TEMPLATES, [this] {
        Store();
        m_model.EditTemplate();
        Load();
    });
    platform::ui::OnListBoxDoubleClick(*this, IDC_DEVICES, [this] {
        Store();
        m_model.OpenDevice();
        Load();
    });
    m_model.Init();
    Load();
    // Lives hidden beside the main dialog until Verify shows it.
    if (m_diag.Create(this))
        m_diag.ShowWindow(false);
    return true;
}

void CStavrinDlg::Store() {
    m_model.foreign.Clear();
    stavrin::ReadBox(*this, IDC_GROUP_TEXT, m_model.groupText, m_model.foreign);
    m_model.portText = GetDlgItemText(IDC_PORT_TEXT);
    stavrin::ReadBox(*this, IDC_ACCOUNT_TEXT, m_model.accountText, m_model.foreign);
    m_model.portSel = Item(IDC_PORTS).GetCurSel();
    m_model.accountSel = Item(IDC_ACCOUNTS).GetCurSel();
    m_model.deviceSel = Item(IDC_DEVICES).GetCurSel();
    m_model.templateSel = Item(IDC_TEMPLATES).GetCurSel();
}

void CStavrinDlg::Load() {
    platform::ui::FillList(Item(IDC_GROUPS), m_model.Groups(), m_model.groupSel);
    platform::ui::FillList(Item(IDC_PORTS), m_model.Ports(), m_model.portSel);
    platform::ui::FillList(Item(IDC_ACCOUNTS), m_model.Accounts(), m_model.accountSel);
    platform::ui::FillList(Item(IDC_DEVICES), m_model.Devices(), m_model.deviceSel);
    platform::ui::FillList(Item(IDC_TEMPLATES), m_model.Templates(), m_model.templateSel);
    if (GetDlgItemText(IDC_PORT_TEXT) != m_model.portText)
        SetDlgItemText(IDC_PORT_TEXT, m_model.portText);
    if (GetDlgItemText(IDC_ACCOUNT_TEXT) != m_model.accountText)
        SetDlgItemText(IDC_ACCOUNT_TEXT, m_model.accountText);
}

void CStavrinDlg::OnControlChanged(int id) {
    switch (id) {
    case IDC_GROUPS:
        m_model.SelectGroup(Item(IDC_GROUPS).GetCurSel());
        break;
    case IDC_PORTS:
        Store();
        m_model.SelectPort(Item(IDC_PORTS).GetCurSel());
        break;
    case IDC_ACCOUNTS:
        Store();
        m_model.SelectAccount(Item(IDC_ACCOUNTS).GetCurSel());
        break;
    default:
        return;
    }
    Load();
}

void CStavrinDlg::OnOK() {
    Store();
    m_model.Save();
    Load();
}

void CStavrinDlg::OnCancel() {
    // An end signal is the answer to the quit question.
    if (!platform::ui::Application::Ending() && !m_model.Close())
        return;
    // A running test job ends first, and the test's temporary addresses go with it.
    m_diag.Finish();
    EndDialog(2);
}

void CStavrinDlg::OnCommand(int id) {
    Store();
    switch (id) {
    case IDC_GROUP_ADD:
        m_model.AddGroup();
        break;
    case IDC_GROUP_DELETE:
        m_model.DeleteGroup();
        break;
    case IDC_PORT_ADD:
        m_model.AddPort();
        break;
    case IDC_PORT_DELETE:
        m_model.DeletePort();
        break;
    case IDC_ACCOUNT_ADD:
        m_model.AddAccount();
        break;
    case IDC_ACCOUNT_DELETE:
        m_model.DeleteAccount();
        break;
    case IDC_DEVICE_DELETE:
        m_model.DeleteDevice();
        break;
    case IDC_TEMPLATE_ADD:
        m_model.AddTemplate();
        break;
    case IDC_TEMPLATE_EDIT:
        m_model.EditTemplate();
        break;
    case IDC_TEMPLATE_DELETE:
        m_model.DeleteTemplate();
        break;
    case IDC_TEMPLATE_UP:
        m_model.MoveTemplateUp();
        break;
    case IDC_TEMPLATE_DOWN:
        m_model.MoveTemplateDown();
        break;
    case IDC_COPY:
        m_model.CopyTemplate();
        break;
    case IDC_BIND:
        m_model.BindTemplate();
        break;
    case IDC_EXPORT:
        Export();
        break;
    case IDC_IMPORT:
        Import();
        break;
    case IDC_SAVE_AS:
        SaveAs();
        break;
    case IDC_HELP:
        m_model.Help(platform::ui::OpenWithDesktopViewer);
        break;
    case IDC_VERIFY:
        Verify();
        break;
    default:
        return; // the arrows of the three upper lists do nothing
    }
    Load();
}

void CStavrinDlg::Export() {
    CString path = m_model.ExportFileName();
    if (m_model.templateSel < 0 || !platform::ui::FileSaveDialog(*this, "", path))
        return;
    m_model.ExportTemplate(path);
}

void CStavrinDlg::Import() {
    CString path;
    if (!FileOpenDialog("", path))
        return;
    m_model.ImportTemplate(path);
}

void CStavrinDlg::SaveAs() {
    CString path;
    if (!platform::ui::FileSaveDialog(*this, "", path))
        return;
    m_model.SaveAs(path);
}

void CStavrinDlg::Verify() {
    if (!m_diag.HasWindow())
        return;
    platform::ui::BringToFront(m_diag);
}
