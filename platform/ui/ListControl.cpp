#include "platform/ui/ListControl.h"

#include <wx/listctrl.h>

#include "platform/ui/impl/Wx.h"

namespace platform::ui {
namespace {

wxListCtrl* L(const Control& control) {
    return dynamic_cast<wxListCtrl*>(static_cast<wxWindow*>(control.Native()));
}

bool ValidRow(wxListCtrl* list, int row) {
    return list && row >= 0 && row < list->GetItemCount();
}

} // namespace

ListControl::operator bool() const {
    return L(m_control) != nullptr;
}

void ListControl::SetUp(bool checkBoxes) {
    wxListCtrl* list = L(m_control);
    if (!list)
        return;
    list->SetWindowStyleFlag((list->GetWindowStyleFlag() & ~(wxLC_ICON | wxLC_SMALL_ICON | wxLC_LIST)) |
                             wxLC_REPORT | wxLC_HRULES | wxLC_VRULES);
    if (checkBoxes)
        list->EnableCheckBoxes(true);
}

void ListControl::InsertColumn(int column, const CString& heading, int width) {
    if (wxListCtrl* list = L(m_control))
        list->InsertColumn(column, impl::ToWx(heading), wxLIST_FORMAT_LEFT, width);
}

int ListControl::GetColumnCount() const {
    wxListCtrl* list = L(m_control);
    return list ? list->GetColumnCount() : 0;
}

void ListControl::SetColumnWidth(int column, int width) {
    wxListCtrl* list = L(m_control);
    if (list && column >= 0 && column < list->GetColumnCount())
        list->SetColumnWidth(column, width);
}

CString ListControl::GetColumnHeading(int column) const {
    wxListCtrl* list = L(m_control);
    wxListItem item;
    item.SetMask(wxLIST_MASK_TEXT);
    return list && column >= 0 && column < list->GetColumnCount() && list->GetColumn(column, item)
               ? impl::FromWx(item.GetText())
               : CString();
}

int ListControl::GetColumnWidth(int column) const {
    wxListCtrl* list = L(m_control);
    return list && column >= 0 && column < list->GetColumnCount() ? list->GetColumnWidth(column) : 0;
}

int ListControl::GetClientWidth() const {
    wxListCtrl* list = L(m_control);
    return list ? list->GetClientSize().x : 0;
}

void ListControl::DeleteAllItems() {
    if (wxListCtrl* list = L(m_control))
        list->DeleteAllItems();
}

int ListControl::InsertItem(int row, const CString& text, int image) {
    wxListCtrl* list = L(m_control);
    return list ? int(list->InsertItem(row, impl::ToWx(text), image)) : -1;
}

void ListControl::SetItemText(int row, int column, const CString& text) {
    wxListCtrl* list = L(m_control);
    if (!ValidRow(list, row) || column < 0 || column >= list->GetColumnCount())
        return;
    // The toolkit shows a line break as a glyph.
    wxString value = impl::ToWx(text);
    value.Replace("\r\n", " ");
    value.Replace("\n", " ");
    list->SetItem(row, column, value);
}

CString ListControl::GetItemText(int row, int column) const {
    wxListCtrl* list = L(m_control);
    if (!ValidRow(list, row) || column < 0 || column >= list->GetColumnCount())
        return "";
    return impl::FromWx(list->GetItemText(row, column));
}

int ListControl::GetItemCount() const {
    wxListCtrl* list = L(m_control);
    return list ? list->GetItemCount() : 0;
}

bool ListControl::IsSelected(int row) const {
    wxListCtrl* list = L(m_control);
    return ValidRow(list, row) && list->GetItemState(row, wxLIST_STATE_SELECTED) != 0;
}

int ListControl::GetFirstSelected() const {
    wxListCtrl* list = L(m_control);
    return list ? int(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) : -1;
}

void ListControl::Select(int row, bool selected) {
    wxListCtrl* list = L(m_control);
    if (ValidRow(list, row))
        list->SetItemState(row, selected ? wxLIST_STATE_SELECTED : 0, wxLIST_STATE_SELECTED);
}

bool ListControl::IsChecked(int row) const {
    wxListCtrl* list = L(m_control);
    return ValidRow(list, row) && list->HasCheckBoxes() && list->IsItemChecked(row);
}

void ListControl::SetCheck(int row, bool checked) {
    wxListCtrl* list = L(m_control);
    if (ValidRow(list, row) && list->HasCheckBoxes())
        list->CheckItem(row, checked);
}

void OnDoubleClick(Window& dialog, int controlId, std::function<void()> handler) {
    auto* top = static_cast<wxWindow*>(dialog.Native());
    wxWindow* control = impl::FindControl(top, controlId);
    if (!top || !control)
        return;
    auto run = [handler](wxMouseEvent&) { impl::Guarded("a double click", handler); };
    control->Bind(wxEVT_LEFT_DCLICK, run);
    top->Bind(wxEVT_LEFT_DCLICK, [top, control, handler](wxMouseEvent& event) {
        event.Skip();
        wxPoint at = top->ClientToScreen(event.GetPosition());
        if (control->GetScreenRect().Contains(at))
            impl::Guarded("a double click", handler);
    });
}

} // namespace platform::ui
