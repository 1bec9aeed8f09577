#pragma once
// TemplateDiagDlg: the template test dialog, modeless beside the main dialog for its whole life.
// Its rules are TemplateTestModel's; this class moves the edits and selections in, hands each
// button to the model, shows the lists and enabled states again and takes the model's ended
// jobs back on the UI thread.

#include <memory>

#include "platform/ui/Dialog.h"
#include "stavrintool/diag/TemplateTestModel.h"

class TemplateDiagDlg : public platform::ui::Dialog, private TemplateTestSink {
public:
    static constexpr int IDD = 135;
    // The template file read at each discovery: the default file when empty.
    explicit TemplateDiagDlg(platform::ui::Window* parent = nullptr, const CString& templatePath = CString());
    ~TemplateDiagDlg() override;

    // Waits for a running job under the wait cursor and removes the temporary addresses; the
    // dialog is no use afterwards (the main dialog's end).
    void Finish();
    // Null once finished.
    TemplateTestModel* Model() { return m_model.get(); }

    enum : int {
        IDC_DISCOVER = 1,
        IDC_OUTPUT = 1010,
        IDC_CLEAR = 1098,
        IDC_FUNCTIONS = 1003,
        IDC_PARAMETERS = 1004,
        IDC_PARAMETER_TEXT = 1005,
        IDC_PARAMETER_ADD = 1006,
        IDC_PARAMETER_DELETE = 1099,
        IDC_RUN_FUNCTION = 1100,
        IDC_UPLOADS = 1013,
        IDC_FILE_PATH = 1071,
        IDC_CHOOSE_FILE = 1018,
        IDC_UPLOAD = 1017,
    };
    // Posted by the worker when a job has ended.
    static constexpr unsigned kJobEnded = 1180;

protected:
    bool OnInitDialog() override;
    void OnOK() override; // button 1 is the discovery
    void OnCommand(int id) override;
    void OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

private:
    void AddLine(const CString& line) override;
    void ClearLines() override;
    void ShowMessage(unsigned stringId) override;
    void JobDone() override;

    void Store();
    void Load();

    platform::ui::WindowHandle m_self; // set before any job starts, read by the worker
    std::unique_ptr<TemplateTestModel> m_model;
};
