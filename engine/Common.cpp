#include "engine/Common.h"

#include "platform/files/ProgramDirectory.h"
#include "platform/prompt/Prompt.h"

CString GetProgramDirectory() {
    return platform::ProgramDirectory();
}

void ShowErrorMessage(const CString& text, void* /*parentWindow*/) {
    platform::ShowMessageBox(text, "错误", platform::kMbOk | platform::kMbIconError);
}

bool EndsWith(const CString& text, const CString& suffix) {
    return suffix.GetLength() <= text.GetLength() && text.Right(suffix.GetLength()) == suffix;
}
