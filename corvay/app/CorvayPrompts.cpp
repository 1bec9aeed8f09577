#include "corvay/app/CorvayPrompts.h"

#include <vector>

#include "corvay/dialogs/DialogWindow.h"
#include "corvay/firmware/CChoseVersionDlg.h"

int CorvayPrompts::ChooseItem(const CString& text, const CString&, const CStringArray& items) {
    std::vector<VersionPair> versions;
    for (const CString& item : items) {
        int tab = item.Find('\t');
        versions.emplace_back(tab < 0 ? item : item.Left(tab), tab < 0 ? CString() : item.Mid(tab + 1));
    }
    CChoseVersionDlg dlg;
    dlg.SetText(text);
    dlg.SetVersions(versions);
    return RunDialogWindow(dlg) == kDialogOk ? dlg.ChosenIndex() : -1;
}
