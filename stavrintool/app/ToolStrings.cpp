#include "stavrintool/app/ToolStrings.h"

#include <mutex>

#include "templates/TemplateFile.h"

namespace stavrin {

namespace {

std::mutex g_mutex;
std::function<bool(unsigned, CString&)> g_source;

// What the program says before its pack is loaded.
CString BuiltIn(unsigned id) {
    switch (id) {
    case kIdsInitFailed:
        return "初始化失败！";
    case kIdsAlreadyRunning:
        return "程序已经在运行！";
    default:
        return CString();
    }
}

} // namespace

CString ToolString(unsigned id) {
    {
        std::lock_guard lock(g_mutex);
        CString text;
        if (g_source && g_source(id, text))
            return text;
    }
    return BuiltIn(id);
}

void SetToolStringSource(std::function<bool(unsigned, CString&)> source) {
    std::lock_guard lock(g_mutex);
    g_source = std::move(source);
}

CString ToolAppTitle() {
    CString title = ToolString(kIdsAppTitle);
    return title.IsEmpty() ? CString("StavrinTool") : title;
}

int ShowToolMessage(platform::PromptService& prompts, const CString& text, unsigned type) {
    return prompts.MessageBox(text, ToolAppTitle(), type);
}

bool FitsTemplateFile(platform::PromptService& prompts, const CString& text) {
    if (text.GetLength() <= kTemplateStringMax)
        return true;
    ShowToolMessage(prompts, ToolString(kIdsTooLong), platform::kMbOk | platform::kMbIconWarning);
    return false;
}

bool FitsTemplateFile(platform::PromptService& prompts, const ForeignTexts& foreign, const CString& field,
                      unsigned fieldName) {
    if (foreign.Has(field)) {
        CString text;
        text.Format(ToolString(kIdsNotGbk), ToolString(fieldName).GetString());
        ShowToolMessage(prompts, text, platform::kMbOk | platform::kMbIconWarning);
        return false;
    }
    return FitsTemplateFile(prompts, field);
}

unsigned ToolBoxIcon(unsigned stringId, unsigned otherwise) {
    switch (stringId) {
    case kIdsSaveFailed:
    case kIdsFunctionFailed:
    case kIdsUploadFailed:
        return platform::kMbIconError;
    default:
        return otherwise;
    }
}

} // namespace stavrin
