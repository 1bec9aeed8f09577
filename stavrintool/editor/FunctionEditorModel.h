#pragma once
// The rules of the function editor without any window: the request functions with their steps,
// the upload functions and the download URL of one template, edited on the record at once (the
// editor holds no copy, so closing either way keeps every edit). The window copies the boxes
// and selections in, calls the operation and shows the lists again.
//
// Every operation checks its indexes and does nothing without a selection; a text that would
// not fit the template file is refused with string 144, and a box whose text GBK cannot hold
// with string 165 naming it.

#include <optional>
#include <vector>

#include "platform/prompt/Prompt.h"
#include "platform/text/CString.h"
#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/capture/CapturedRequest.h"
#include "templates/TemplateRecords.h"

// The capture dialogs behind the four capture buttons.
class FunctionCapture {
public:
    virtual ~FunctionCapture() = default;
    enum Kind { kLogin = 0, kRestoreConfig = 1, kReboot = 2 };
    // The browser for that kind of function and then its confirmation; none when nothing was
    // captured or the confirmation was cancelled.
    virtual std::optional<CapturedRequest> CaptureFunction(int kind) = 0;

    struct Upload {
        enum Outcome {
            kClosed,          // the browser was not closed with OK
            kCaptured,        // the fields below hold the capture
            kFailed,          // the capture failed and says so
            kNothingCaptured, // the capture failed quietly
        } outcome = kClosed;
        CString page, action, fieldName;
        bool bodyNamesControl = false; // the captured body carries the file control's name
    };
    virtual Upload CaptureUpload() = 0;
};

class FunctionEditorModel {
public:
    // Neither is owned; without a capture the capture buttons do nothing.
    FunctionEditorModel(TerminalRecord& record, platform::PromptService& prompts,
                        FunctionCapture* capture = nullptr);

    // "POST" chosen, the record's download URL in its box.
    void Init();

    std::vector<CString> Functions() const;
    // The step URLs of the chosen function.
    std::vector<CString> Steps() const;
    std::vector<CString> Uploads() const;

    // The boxes; post: "POST" checked (else "GET").
    CString functionName, stepUrl, headers, postData;
    bool post = true;
    CString uploadName, uploadPage, uploadAction, uploadField;
    CString downloadUrl;
    // Those of the boxes above whose text GBK cannot hold.
    stavrin::ForeignTexts foreign;
    // Selections, -1 for none.
    int functionSel = -1, stepSel = -1, uploadSel = -1;

    // Shows its name and steps; its first step chosen.
    void ChooseFunction(int index);
    void ChooseStep(int index);
    void ChooseUpload(int index);

    void AddFunction();
    void DeleteFunction();
    void AddStep();
    // Before the chosen step.
    void InsertStep();
    void DeleteStep();
    void AddUpload();
    void DeleteUpload();
    void ApplyDownloadUrl();

    // The capture buttons: through the capture dialogs into the record.
    void CaptureFunction(int kind);
    void CaptureUpload();
    // What a capture ends in: the functions of that name (without regard to case) replaced by
    // one of a single step made from the request.
    void AddCapturedFunction(const CString& name, const CapturedRequest& request);
    void AddCapturedUpload(const FunctionCapture::Upload& upload);

    static const char* KindName(int kind);

private:
    FunctionRecord* Function() const;
    bool StepFits() const;
    bool Fits(const CString& text) const;
    // The box's text, refused naming the box (string fieldName).
    bool Fits(const CString& field, unsigned fieldName) const;

    TerminalRecord& m_record;
    platform::PromptService& m_prompts;
    FunctionCapture* m_capture;
};
