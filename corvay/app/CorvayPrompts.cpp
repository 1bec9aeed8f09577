#include "corvay/app/CorvayPrompts.h"

#include <vector>

#include "corvay/dialogs/DialogWindow.h"
#include "corvay/firmware/CChoseVersionDlg.h"
#include "engine/log/Logger.h"

int CorvayPrompts::MessageBox(const CString& text, const CString& caption, unsigned type) {
    LogInfo("Box: %s", text.GetString());
    return WindowPrompts::MessageBox(text, caption, type);
}

int CorvayPrompts::ChooseItem(const CString& text, const CString&, const CStringArray& items) {
    std::vector<VersionPair> versions;
    for (const CString& item : items) {
        int tab = item.Find('\t');
        versions.emplace_back(tab < 0 ? item : item.Left(tab), tab < 0 ? CString() : item.Mid(tab + 1));
    }
    LogInfo("Box: %s (%d versions)", text.GetString(), static_cast<int>(items.GetSize()));
    CChoseVersionDlg dlg;
    dlg.SetText(text);
    dlg.SetVersions(versions);
    return RunDialogWindow(dlg) == kDialogOk ? dlg.ChosenIndex() : -1;
}
