#pragma once
// One control of a dialog or panel, reached by its number: the calls of every kind of control
// the dialogs use (edit, static, button, check and radio box, combo box, list box, progress
// bar, IP-address field). A call that does not fit the control's kind does nothing (or answers
// empty); a Control of a missing number is null and does nothing.
//
// How a program binds to it: dialog.Item(1027).SetPos(50); dialog.Item(1011).AddString(...).

#include <vector>

#include "platform/text/CString.h"
#include "platform/ui/Window.h"

namespace platform::ui {

class Control {
public:
    Control() = default;
    explicit Control(void* native) : m_native(native) {}
    explicit operator bool() const { return m_native != nullptr; }
    void* Native() const { return m_native; }

    int Id() const;
    // The framework's class name and style bits of the control's kind ("Static", "Button",
    // "Edit", "ListBox", "ComboBox", "SysListView32", "msctls_progress32", "ToolbarWindow32",
    // "SysIPAddress32"), for layout rules written against them.
    CString ClassName() const;
    unsigned Style() const;

    void SetText(const CString& text);
    // exact, when given, is set to false when the text holds a character GBK lacks (it reads
    // as '?').
    CString GetText(bool* exact = nullptr) const;
    void Enable(bool enable);
    bool IsEnabled() const;
    void Show(bool show);
    bool IsVisible() const;
    void SetFocus();
    void SetReadOnly(bool readOnly);
    // Client coordinates of the parent.
    Rect GetRect() const;
    void Move(const Rect& rect);
    // Tab control: where it shows a page, in the parent's client coordinates (its whole
    // rectangle until it has been laid out).
    Rect GetDisplayRect() const;
    void Refresh();
    // Multi-line edit: scrolls by lines (down when positive; any count past the end shows the end).
    void LineScroll(int lines);

    // Check box, radio button: 0 or 1.
    void SetCheck(int check);
    int GetCheck() const;

    // Combo box and list box; a tab control's tabs the same way (AddString adds a tab,
    // SetCurSel selects one without telling the dialog).
    int AddString(const CString& text);
    void ResetContent();
    int GetCount() const;
    void SetCurSel(int index);
    int GetCurSel() const; // -1 none
    CString GetItemText(int index) const;

    // Progress bar.
    void SetRange(int low, int high);
    void SetPos(int pos);
    int GetPos() const;
    int GetRangeHigh() const;

    // IP-address field: "a.b.c.d", "" when blank.
    void SetAddress(const CString& dotted);
    CString GetAddress() const;

private:
    void* m_native = nullptr;
};

} // namespace platform::ui
