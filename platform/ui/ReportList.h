#pragma once
// A list in report mode: columns, 24 x 24 images from the pack, rows of an image and texts,
// one selected row, double and right clicks.
//
// How a program binds to it: the main view makes one filling the frame
// (Create(frame)); a dialog binds its XRC list (a wxListCtrl named by the control number, style
// wxLC_REPORT) with AttachTo(dialog, id) in OnInitDialog; adds its columns and images, then keeps one row per
// port with InsertItem / SetItemText; OnDoubleClick (also below the rows) and OnRightClick give the row (-1 for none) and the point
// in screen coordinates; PopupMenu shows a pack menu there and routes its command to the frame.

#include <functional>
#include <string>
#include <vector>

#include "platform/text/CString.h"
#include "platform/ui/Window.h"

namespace platform::ui {

class Frame;
class Dialog;

class ReportList : public Window {
public:
    enum Format { Left = 0, Right = 1, Center = 2 };
    ~ReportList() override;

    // Fills the frame's client area.
    bool Create(Frame& frame);
    // The list control of a dialog; the list is detached when the dialog's window goes.
    bool AttachTo(Dialog& dialog, int id);
    // Grid lines, full-row selection and column reordering as the view asks; one selected row.
    void SetGridLines(bool on);

    int InsertColumn(int index, const CString& heading, int width, Format format = Left);
    int GetColumnCount() const;
    bool SetColumnWidth(int column, int width);
    CString GetColumnHeading(int column) const;
    // 24 x 24 images (pack XPM names), numbered from 0 in order.
    void SetImages(const std::vector<std::string>& names);

    int InsertItem(int index, const CString& text, int image = -1);
    bool SetItemText(int item, int column, const CString& text);
    CString GetItemText(int item, int column) const;
    bool SetItemImage(int item, int image);
    int GetItemImage(int item) const;
    bool DeleteItem(int item);
    void DeleteAllItems();
    int GetItemCount() const;
    int GetSelectedItem() const; // -1 none
    void SetSelectedItem(int item);
    // A check box in front of every row.
    void EnableCheckBoxes(bool enable = true);
    void SetCheck(int item, bool check);
    bool GetCheck(int item) const;
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
    bool m_borrowed = false; // a dialog's control: the dialog destroys it
};

} // namespace platform::ui
