#pragma once
// A report list of a dialog (a wxListCtrl of the pack's XRC), reached by its control: columns,
// rows of texts, the selection and, for a list with check boxes, the checks.
//
// How a program binds to it: ListControl list(dialog.Item(1056)); list.SetUp(false);
// list.InsertColumn(0, "序号", 50); ... A ListControl of a null control does nothing.

#include <functional>

#include "platform/text/CString.h"
#include "platform/ui/Control.h"

namespace platform::ui {

class ListControl {
public:
    explicit ListControl(Control control) : m_control(control) {}
    explicit operator bool() const;

    // Report style with grid lines and full-row selection; check boxes in place of a plain row.
    void SetUp(bool checkBoxes);
    void InsertColumn(int column, const CString& heading, int width);
    int GetColumnCount() const;
    CString GetColumnHeading(int column) const;
    void SetColumnWidth(int column, int width);
    int GetColumnWidth(int column) const;
    // Width of the list's inside, pixels.
    int GetClientWidth() const;

    void DeleteAllItems();
    // A row at 'row' with the text of column 0 (and an image of the list's images); its index.
    int InsertItem(int row, const CString& text, int image = -1);
    // One line per cell: line breaks become blanks.
    void SetItemText(int row, int column, const CString& text);
    CString GetItemText(int row, int column) const;
    int GetItemCount() const;

    bool IsSelected(int row) const;
    // The first selected row, -1 for none.
    int GetFirstSelected() const;
    void Select(int row, bool selected);
    bool IsChecked(int row) const;
    void SetCheck(int row, bool checked);

private:
    Control m_control;
};

// Calls 'handler' for a double click of the left button on the control or on the dialog
// within the control's rectangle (an empty static has no window of its own to take it).
void OnDoubleClick(Window& dialog, int controlId, std::function<void()> handler);

} // namespace platform::ui
