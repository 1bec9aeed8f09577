#pragma once
// The main view's list: a report list filling the frame, with 24 x 24 images from the pack,
// rows of an image and texts, one selected row, double and right clicks. Its columns and rows
// are a ListControl's (the one binding of a list control; a dialog's list is a ListControl
// over its control).
//
// How a program binds to it: the main view makes one filling the frame (Create(frame)), adds
// its columns and images, then keeps one row per port with InsertItem / SetItemText;
// OnDoubleClick (also below the rows) and OnRightClick give the row (-1 for none) and the point
// in screen coordinates; PopupMenu shows a pack menu there and routes its command to the frame.

#include <functional>
#include <string>
#include <vector>

#include "platform/text/CString.h"
#include "platform/ui/ListControl.h"
#include "platform/ui/Window.h"

namespace platform::ui {

class Frame;

class ReportList : public Window {
public:
    // Fills the frame's client area, with grid lines and full-row selection.
    bool Create(Frame& frame);
    // Its columns and rows.
    ListControl Rows() const;

    void InsertColumn(int index, const CString& heading, int width) { Rows().InsertColumn(index, heading, width); }
    int GetColumnCount() const { return Rows().GetColumnCount(); }
    void SetColumnWidth(int column, int width) { Rows().SetColumnWidth(column, width); }
    CString GetColumnHeading(int column) const { return Rows().GetColumnHeading(column); }
    // 24 x 24 images (pack XPM names), numbered from 0 in order.
    void SetImages(const std::vector<std::string>& names);

    int InsertItem(int index, const CString& text, int image = -1) { return Rows().InsertItem(index, text, image); }
    void SetItemText(int item, int column, const CString& text) { Rows().SetItemText(item, column, text); }
    CString GetItemText(int item, int column) const { return Rows().GetItemText(item, column); }
    bool SetItemImage(int item, int image);
    int GetItemImage(int item) const;
    void DeleteAllItems() { Rows().DeleteAllItems(); }
    int GetItemCount() const { return Rows().GetItemCount(); }
    int GetSelectedItem() const; // -1 none
    void SetSelectedItem(int item);
    // Screen rectangle of a row (tests click it).
    Rect GetItemRect(int item) const;
    // The pack menu bar's sub-menu at the point (screen coordinates); its command goes to the frame.
    void PopupMenu(int menuBarId, int subMenu, int x, int y);

    std::function<void(int item)> OnDoubleClick;
    std::function<void(int item, int x, int y)> OnRightClick;
    // After the list was resized, with its client size.
    std::function<void(int cx, int cy)> OnSize;

private:
    void Bind(void* native);

    Frame* m_frame = nullptr;
};

} // namespace platform::ui
