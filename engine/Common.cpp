#include "engine/Common.h"

#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/prompt/Prompt.h"

namespace {

// Without a window system a box goes to stderr, which nobody may read: the log keeps it too.
void LogBox(const CString& text, const CString& caption, unsigned type) {
    switch (type & 0xF0) {
    case platform::kMbIconError:
        LogError("[%s] %s", caption.GetString(), text.GetString());
        break;
    case platform::kMbIconWarning:
        LogWarning("[%s] %s", caption.GetString(), text.GetString());
        break;
    default:
        LogInfo("[%s] %s", caption.GetString(), text.GetString());
    }
}

[[maybe_unused]] const bool g_boxesLogged = (platform::SetConsolePromptLog(&LogBox), true);

} // namespace

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
