#include "stavrintool/editor/CaptureDialogs.h"

#include "stavrintool/capture/CaptureDlgs.h"

std::optional<CapturedRequest> CaptureDialogs::CaptureFunction(int kind) {
    CapturedRequest request;
    {
        FuncBrowserDlg browser;
        browser.SetFunctionKind(kind);
        browser.DoModal();
        if (!browser.IsCaptured())
            return std::nullopt;
        request = browser.GetCapturedRequest();
    }
    if (kind == kLogin) {
        LoginFuncDlg login;
        login.SetRequest(request);
        if (login.DoModal() != 1)
            return std::nullopt;
        return login.GetResult();
    }
    FunctionDlg confirm;
    confirm.SetRequest(request);
    if (confirm.DoModal() == 2)
        return std::nullopt;
    return confirm.GetRequest();
}

FunctionCapture::Upload CaptureDialogs::CaptureUpload() {
    UpgradeBrowserDlg browser;
    Upload upload;
    if (browser.DoModal() != 1)
        return upload;
    if (!browser.IsCaptured()) {
        upload.outcome = Upload::kNothingCaptured;
        return upload;
    }
    upload.outcome = Upload::kCaptured;
    upload.page = browser.GetUploadPage();
    upload.action = browser.GetTargetAction();
    upload.fieldName = browser.GetFileControlName();
    upload.bodyNamesControl = browser.BodyNamesFileControl();
    return upload;
}
