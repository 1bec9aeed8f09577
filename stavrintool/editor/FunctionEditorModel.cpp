#include "stavrintool/editor/FunctionEditorModel.h"

#include <algorithm>

#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/capture/CaptureModels.h"

using namespace stavrin;

namespace {

template <class List> bool Valid(int index, const List& list) {
    return index >= 0 && static_cast<size_t>(index) < list.size();
}

int Steps(const FunctionRecord& f) {
    // The four lists go together; a step is only whole where all four have it.
    return std::min({f.urls.GetSize(), f.methods.GetSize(), f.postData.GetSize(), f.headers.GetSize()});
}

// Removes every entry whose name is the name without regard to case (a prefix or a longer name
// that starts with it is another function).
template <class List> void RemoveNamed(List& list, const CString& name) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const auto& entry) { return entry->name.CompareNoCase(name) == 0; }),
               list.end());
}

} // namespace

FunctionEditorModel::FunctionEditorModel(TerminalRecord& record, platform::PromptService& prompts,
                                         FunctionCapture* capture)
    : m_record(record), m_prompts(prompts), m_capture(capture) {}

const char* FunctionEditorModel::KindName(int kind) {
    return capture::FunctionKindName(kind);
}

bool FunctionEditorModel::Fits(const CString& text) const {
    return FitsTemplateFile(m_prompts, text);
}

bool FunctionEditorModel::Fits(const CString& field, unsigned fieldName) const {
    return FitsTemplateFile(m_prompts, foreign, field, fieldName);
}

void FunctionEditorModel::Init() {
    post = true;
    downloadUrl = m_record.downloadUrl;
    functionSel = stepSel = uploadSel = -1;
}

FunctionRecord* FunctionEditorModel::Function() const {
    return Valid(functionSel, m_record.functions) ? m_record.functions[functionSel].get() : nullptr;
}

std::vector<CString> FunctionEditorModel::Functions() const {
    std::vector<CString> names;
    for (const auto& f : m_record.functions)
        names.push_back(f->name);
    return names;
}

std::vector<CString> FunctionEditorModel::Steps() const {
    std::vector<CString> urls;
    if (const FunctionRecord* f = Function())
        for (int i = 0; i < ::Steps(*f); ++i)
            urls.push_back(f->urls[i]);
    return urls;
}

std::vector<CString> FunctionEditorModel::Uploads() const {
    std::vector<CString> names;
    for (const auto& u : m_record.uploadFunctions)
        names.push_back(u->name);
    return names;
}

void FunctionEditorModel::ChooseFunction(int index) {
    if (!Valid(index, m_record.functions))
        return;
    functionSel = index;
    functionName = m_record.functions[index]->name;
    headers.Empty();
    stepSel = -1;
    ChooseStep(0);
}

void FunctionEditorModel::ChooseStep(int index) {
    const FunctionRecord* f = Function();
    if (!f || index < 0 || index >= ::Steps(*f))
        return;
    stepSel = index;
    stepUrl = f->urls[index];
    postData = f->postData[index];
    headers = f->headers[index];
    post = f->methods[index] == "POST";
}

void FunctionEditorModel::ChooseUpload(int index) {
    if (!Valid(index, m_record.uploadFunctions))
        return;
    uploadSel = index;
    const UploadFunctionRecord& u = *m_record.uploadFunctions[index];
    uploadName = u.name;
    uploadPage = u.page;
    uploadAction = u.action;
    uploadField = u.fieldName;
}

void FunctionEditorModel::AddFunction() {
    CString name = functionName;
    name.Trim();
    if (name.IsEmpty() || !Fits(functionName, kIdsFieldFunctionName))
        return;
    auto f = std::make_unique<FunctionRecord>();
    f->name = name;
    m_record.functions.push_back(std::move(f));
}

void FunctionEditorModel::DeleteFunction() {
    if (!Function())
        return;
    m_record.functions.erase(m_record.functions.begin() + functionSel);
    functionSel = stepSel = -1;
    headers.Empty();
}

bool FunctionEditorModel::StepFits() const {
    return Fits(stepUrl, kIdsFieldStepUrl) && Fits(postData, kIdsFieldPostData) &&
           Fits(headers, kIdsFieldHeaders);
}

void FunctionEditorModel::AddStep() {
    FunctionRecord* f = Function();
    if (!f || !StepFits())
        return;
    // Lists of a damaged record are cut to their whole steps first, so the new one is whole.
    const int steps = ::Steps(*f);
    for (CStringArray* list : {&f->urls, &f->methods, &f->postData, &f->headers})
        list->SetSize(steps);
    f->urls.Add(stepUrl);
    f->methods.Add(post ? "POST" : "GET");
    f->postData.Add(postData);
    f->headers.Add(headers);
}

void FunctionEditorModel::InsertStep() {
    FunctionRecord* f = Function();
    if (!f || stepSel < 0 || stepSel >= ::Steps(*f) || !StepFits())
        return;
    f->urls.InsertAt(stepSel, stepUrl);
    f->methods.InsertAt(stepSel, post ? "POST" : "GET");
    f->postData.InsertAt(stepSel, postData);
    f->headers.InsertAt(stepSel, headers);
    // The step that was chosen stays chosen, one place down.
    ++stepSel;
}

void FunctionEditorModel::DeleteStep() {
    FunctionRecord* f = Function();
    if (!f || stepSel < 0 || stepSel >= ::Steps(*f))
        return;
    for (CStringArray* list : {&f->urls, &f->methods, &f->postData, &f->headers})
        list->RemoveAt(stepSel);
    stepSel = -1;
}

void FunctionEditorModel::AddUpload() {
    if (!Fits(uploadName, kIdsPropertyNameColumn) || !Fits(uploadPage, kIdsFieldUploadPage) ||
        !Fits(uploadAction, kIdsFieldUploadAction) || !Fits(uploadField, kIdsFieldUploadControl))
        return;
    m_record.uploadFunctions.push_back(std::make_unique<UploadFunctionRecord>(
        UploadFunctionRecord{uploadName, uploadPage, uploadAction, uploadField}));
}

void FunctionEditorModel::DeleteUpload() {
    if (!Valid(uploadSel, m_record.uploadFunctions))
        return;
    m_record.uploadFunctions.erase(m_record.uploadFunctions.begin() + uploadSel);
    uploadSel = -1;
}

void FunctionEditorModel::ApplyDownloadUrl() {
    if (Fits(downloadUrl, kIdsFieldDownloadUrl))
        m_record.downloadUrl = downloadUrl;
}

void FunctionEditorModel::CaptureFunction(int kind) {
    const char* name = KindName(kind);
    if (!m_capture || !name)
        return;
    if (std::optional<CapturedRequest> request = m_capture->CaptureFunction(kind))
        AddCapturedFunction(name, *request);
}

void FunctionEditorModel::CaptureUpload() {
    if (m_capture)
        AddCapturedUpload(m_capture->CaptureUpload());
}

void FunctionEditorModel::AddCapturedFunction(const CString& name, const CapturedRequest& request) {
    if (!Fits(name) || !Fits(request.action) || !Fits(request.postData) || !Fits(request.headers))
        return;
    RemoveNamed(m_record.functions, name);
    auto f = std::make_unique<FunctionRecord>();
    f->name = name;
    f->urls.Add(request.action);
    f->methods.Add(request.isPost ? "POST" : "GET");
    f->postData.Add(request.postData);
    f->headers.Add(request.headers);
    m_record.functions.push_back(std::move(f));
    functionSel = stepSel = -1;
    headers.Empty();
}

void FunctionEditorModel::AddCapturedUpload(const FunctionCapture::Upload& upload) {
    switch (upload.outcome) {
    case FunctionCapture::Upload::kClosed:
    case FunctionCapture::Upload::kNothingCaptured:
        return;
    case FunctionCapture::Upload::kFailed:
        break;
    case FunctionCapture::Upload::kCaptured:
        if (!upload.bodyNamesControl)
            break;
        if (!Fits(upload.page) || !Fits(upload.action) || !Fits(upload.fieldName))
            return;
        RemoveNamed(m_record.uploadFunctions, "upgradefirmware");
        m_record.uploadFunctions.push_back(std::make_unique<UploadFunctionRecord>(
            UploadFunctionRecord{"upgradefirmware", upload.page, upload.action, upload.fieldName}));
        uploadSel = -1;
        return;
    }
    ShowToolMessage(m_prompts, ToolString(kIdsCaptureFailed), platform::kMbOk | platform::kMbIconWarning);
}
