#include "corvay/dialogs/DialogState.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "engine/log/StringTable.h"
#include "platform/prompt/Prompt.h"

namespace {

CString AppCaption() {
    CString caption = LoadStringId(57344);
    return caption.IsEmpty() ? CString("Corvay") : caption;
}

} // namespace

int ShowAppMessage(const CString& text, unsigned type) {
    return platform::ShowMessageBox(text, AppCaption(), type);
}

DialogState::~DialogState() = default;

DialogOutcome DialogState::RunChild(std::unique_ptr<DialogState> child) {
    DialogOutcome outcome;
    outcome.action = DialogOutcome::Action::RunDialog;
    outcome.dialogId = child->ResourceId();
    m_child = std::move(child);
    return outcome;
}

void DialogState::ChildEnded(int result) {
    std::unique_ptr<DialogState> child = std::move(m_child);
    if (child)
        OnChildEnded(*child, result);
}

void DialogState::OnChildEnded(DialogState&, int) {}

DialogOutcome StayWithMessage(unsigned stringId, unsigned controlId) {
    ShowAppMessage(LoadStringId(stringId), platform::kMbOk | platform::kMbIconInformation);
    return DialogOutcome::Stay(stringId, controlId);
}

bool ParseIntegerField(const CString& text, int& value) {
    CString trimmed = text;
    trimmed.Trim();
    if (trimmed.IsEmpty())
        return false;
    const char* begin = trimmed.GetString();
    char* end = nullptr;
    errno = 0;
    long long number = std::strtoll(begin, &end, 10);
    if (end == begin || *end != '\0' || errno == ERANGE || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(number);
    return true;
}

CString IntegerRangeMessage(int minimum, int maximum) {
    CString text;
    text.Format(LoadStringId(kIntegerRangeString).GetString(), minimum, maximum);
    return text;
}

bool CheckIntegerField(const CString& text, int minimum, int maximum, int& value) {
    int number = 0;
    if (!ParseIntegerField(text, number) || number < minimum || number > maximum) {
        ShowAppMessage(IntegerRangeMessage(minimum, maximum), platform::kMbOk | platform::kMbIconWarning);
        return false;
    }
    value = number;
    return true;
}
