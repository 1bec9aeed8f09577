#pragma once
// What a dialog-based program asks of its main dialog beyond the controls: a context menu in
// place of the window menu's extra item, a list box's double click, the save-file chooser,
// bringing a window forward and opening a file with the desktop's own viewer.

#include <functional>
#include <vector>

#include "platform/text/CString.h"
#include "platform/ui/Control.h"
#include "platform/ui/ListControl.h"
#include "platform/ui/Window.h"

namespace platform::ui {

// A right click anywhere on the dialog offers one item with that label; choosing it runs the
// handler. An empty label adds nothing.
void AddContextMenuItem(Window& dialog, const CString& label, std::function<void()> handler);

// The handler runs on a double click of an entry of the list box with that number.
void OnListBoxDoubleClick(Window& dialog, int controlId, std::function<void()> handler);

// A report list showing the rows (column texts) with one selected (-1 none). Rows it already
// shows are kept, only the selection moves, so a list may be shown again from its own
// selection handler.
void FillReportList(ListControl list, const std::vector<std::vector<CString>>& rows, int selected);

// The edit with that number takes only the characters of 'allowed' from the keyboard.
void LimitToChars(Window& dialog, int controlId, const CString& allowed);

// The save-file chooser over the window: 'path' holds the default file name and, on OK, the
// chosen path; an existing file is confirmed before. Filter in the framework's form ("" none).
bool FileSaveDialog(Window& owner, const CString& filter, CString& path, const CString& title = "");

// Shows the window, raised above the others and given the focus.
void BringToFront(Window& window);

// A list or combo box emptied and filled with the texts, the entry at 'selected' selected (-1 none).
void FillList(Control list, const std::vector<CString>& texts, int selected);

// Opens the file with the desktop's default application; false when none could be started.
bool OpenWithDesktopViewer(const CString& path);

} // namespace platform::ui
