#pragma once
// CTCFGMngDlg: the function editor's window. Its rules are FunctionEditorModel's; this class
// moves the boxes and selections in, hands each control to the model and shows the lists again.

#include "platform/ui/Dialog.h"
#include "stavrintool/app/BoxText.h"
#include "stavrintool/editor/FunctionEditorModel.h"

class CTCFGMngDlg : public platform::ui::Dialog {
public:
    static constexpr int IDD = 130;
    // Neither is owned; without a capture the capture buttons only show the wait cursor.
    CTCFGMngDlg(TerminalRecord& record, platform::ui::Window* parent = nullptr,
                FunctionCapture* capture = nullptr);
    ~CTCFGMngDlg() override;

    FunctionEditorModel& Model() { return m_model; }

    enum : int {
        IDC_FUNCTIONS = 1010,
        IDC_FUNCTION_NAME = 1011,
        IDC_FUNCTION_ADD = 1005,
        IDC_FUNCTION_DELETE = 1006,
        IDC_STEPS = 1001,
        IDC_STEP_URL = 1012,
        IDC_STEP_ADD = 1007,
        IDC_STEP_DELETE = 1008,
        IDC_STEP_INSERT = 1019,
        IDC_POST = 1025,
        IDC_GET = 1026,
        IDC_HEADERS = 1071,
        IDC_POST_DATA = 1116,
        IDC_UPLOADS = 1055,
        IDC_UPLOAD_NAME = 1022,
        IDC_UPLOAD_PAGE = 1014,
        IDC_UPLOAD_ACTION = 1015,
        IDC_UPLOAD_FIELD = 1016,
        IDC_UPLOAD_ADD = 1017,
        IDC_UPLOAD_DELETE = 1018,
        IDC_DOWNLOAD_URL = 1076,
        IDC_APPLY = 1077,
        IDC_CAPTURE_LOGIN = 1101,
        IDC_CAPTURE_RESTORE = 1102,
        IDC_CAPTURE_REBOOT = 1103,
        IDC_CAPTURE_UPGRADE = 1104,
        IDC_GENERATE = 1105,
        IDC_CLOSE = 1020,
    };

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnControlChanged(int id) override;

private:
    void Store();
    void Load();

    FunctionEditorModel m_model;
    BoxTexts m_boxes;
};
