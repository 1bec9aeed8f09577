#pragma once
// CStavrinDlg: the main dialog's window. Its rules are MainDialogModel's; this class moves the
// edits and selections in, hands each button to the model and shows the lists again.

#include "platform/clock/Clock.h"
#include "platform/ui/Dialog.h"
#include "stavrintool/diag/TemplateDiagDlg.h"
#include "stavrintool/main/MainDialogModel.h"

class CStavrinDlg : public platform::ui::Dialog {
public:
    static constexpr int IDD = 102;
    // The store and the editor are not owned (a null editor: Add and Edit do nothing).
    CStavrinDlg(TemplateStore& store, TemplateEditor* editor = nullptr,
                const platform::Clock& clock = platform::RealClock(), platform::ui::Window* parent = nullptr);
    ~CStavrinDlg() override;

    MainDialogModel& Model() { return m_model; }
    TemplateDiagDlg& DiagDlg() { return m_diag; }

    // Control numbers of the dialog.
    enum : int {
        IDC_GROUPS = 1002,
        IDC_GROUP_UP = 1003,
        IDC_GROUP_DOWN = 1004,
        IDC_GROUP_DELETE = 1005,
        IDC_GROUP_TEXT = 1006,
        IDC_GROUP_ADD = 1007,
        IDC_PORTS = 1008,
        IDC_PORT_UP = 1009,
        IDC_PORT_DOWN = 1010,
        IDC_PORT_DELETE = 1011,
        IDC_PORT_TEXT = 1012,
        IDC_PORT_ADD = 1013,
        IDC_ACCOUNTS = 1014,
        IDC_ACCOUNT_UP = 1015,
        IDC_ACCOUNT_DOWN = 1016,
        IDC_ACCOUNT_DELETE = 1017,
        IDC_ACCOUNT_TEXT = 1018,
        IDC_ACCOUNT_ADD = 1019,
        IDC_DEVICES = 1020,
        IDC_COPY = 1021,
        IDC_TEMPLATES = 1022,
        IDC_DEVICE_DELETE = 1023,
        IDC_BIND = 1024,
        IDC_TEMPLATE_DELETE = 1025,
        IDC_TEMPLATE_ADD = 1026,
        IDC_TEMPLATE_EDIT = 1027,
        IDC_TEMPLATE_UP = 1065,
        IDC_TEMPLATE_DOWN = 1070,
        IDC_EXPORT = 1074,
        IDC_IMPORT = 1075,
        IDC_SAVE_AS = 1078,
        IDC_HELP = 1079,
        IDC_VERIFY = 1097,
    };

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnCommand(int id) override;
    void OnControlChanged(int id) override;

private:
    // Edits and selections into the model, and the model's lists and fields out.
    void Store();
    void Load();
    void Export();
    void Import();
    void SaveAs();
    void Verify();

    MainDialogModel m_model;
    TemplateDiagDlg m_diag;
};
