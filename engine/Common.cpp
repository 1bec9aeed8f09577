#include "engine/Common.h"

#include "engine/StringTable.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/prompt/Prompt.h"

CString GetProgramDirectory() {
    return platform::ProgramDirectory();
}

void ShowErrorMessage(const CString& text, void* /*parentWindow*/) {
    // Caption: string 31, "错误" in the built-in table.
    platform::ShowMessageBox(text, LoadStringId(31), platform::kMbOk | platform::kMbIconError);
}

bool EndsWith(const CString& text, const CString& suffix) {
    return suffix.GetLength() <= text.GetLength() && text.Right(suffix.GetLength()) == suffix;
}
