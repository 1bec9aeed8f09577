#include "platform/ui/DialogTools.h"

#include <wx/filedlg.h>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/utils.h>
#include <wx/valtext.h>

#include "platform/ui/impl/Wx.h"

namespace platform::ui {

void AddContextMenuItem(Window& dialog, const CString& label, std::function<void()> handler) {
    auto* top = static_cast<wxWindow*>(dialog.Native());
    if (!top || label.IsEmpty())
        return;
    const wxString text = impl::ToWx(label);
    top->Bind(wxEVT_CONTEXT_MENU, [top, text, handler](wxContextMenuEvent&) {
        wxMenu menu;
        const int id = wxWindow::NewControlId();
        menu.Append(id, text);
        const int chosen = top->GetPopupMenuSelectionFromUser(menu);
        if (chosen == id)
            impl::Guarded("a context menu item", handler);
    });
}

void OnListBoxDoubleClick(Window& dialog, int controlId, std::function<void()> handler) {
    auto* list =
        dynamic_cast<wxListBox*>(impl::FindControl(static_cast<wxWindow*>(dialog.Native()), controlId));
    if (!list)
        return;
    list->Bind(wxEVT_LISTBOX_DCLICK,
               [handler](wxCommandEvent&) { impl::Guarded("a double click", handler); });
}

void FillReportList(ListControl list, const std::vector<std::vector<CString>>& rows, int selected) {
    bool same = list.GetItemCount() == int(rows.size());
    for (int r = 0; same && r < int(rows.size()); ++r)
        for (int c = 0; same && c < int(rows[r].size()); ++c)
            same = list.GetItemText(r, c) == rows[r][c];
    if (!same) {
        list.DeleteAllItems();
        for (int r = 0; r < int(rows.size()); ++r) {
            list.InsertItem(r, rows[r].empty() ? CString() : rows[r][0]);
            for (int c = 1; c < int(rows[r].size()); ++c)
                list.SetItemText(r, c, rows[r][c]);
        }
    }
    for (int r = 0; r < list.GetItemCount(); ++r)
        if (list.IsSelected(r) != (r == selected))
            list.Select(r, r == selected);
}

void LimitToChars(Window& dialog, int controlId, const CString& allowed) {
    auto* edit =
        dynamic_cast<wxTextCtrl*>(impl::FindControl(static_cast<wxWindow*>(dialog.Native()), controlId));
    if (!edit)
        return;
    wxTextValidator validator(wxFILTER_INCLUDE_CHAR_LIST);
    validator.SetCharIncludes(impl::ToWx(allowed));
    edit->SetValidator(validator);
}

bool FileSaveDialog(Window& owner, const CString& filter, CString& path, const CString& title) {
    wxString wildcard = impl::ToWx(filter);
    while (wildcard.EndsWith("|"))
        wildcard.RemoveLast();
    wxFileDialog chooser(static_cast<wxWindow*>(owner.Native()), impl::ToWx(title), "", impl::ToWx(path),
                         wildcard.empty() ? wxString(wxFileSelectorDefaultWildcardStr) : wildcard,
                         wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (chooser.ShowModal() != wxID_OK)
        return false;
    path = impl::FromWx(chooser.GetPath());
    return true;
}

void BringToFront(Window& window) {
    auto* native = static_cast<wxWindow*>(window.Native());
    if (!native)
        return;
    native->Show();
    native->Raise();
    native->SetFocus();
}

bool OpenWithDesktopViewer(const CString& path) {
    wxLogNull quiet; // the caller says it in its own box
    return wxLaunchDefaultApplication(impl::ToWx(path));
}

void FillList(Control list, const std::vector<CString>& texts, int selected) {
    list.ResetContent();
    for (const CString& text : texts)
        list.AddString(text);
    list.SetCurSel(selected);
}

} // namespace platform::ui
