#pragma once
// A dialog made from a language pack's XRC document, its controls reached by their numbers.
//
// How a program dialog binds to it: derive from Dialog, give the constructor the dialog's
// resource number (the XRC object named "157" in the pack) and parent, and override what the
// dialog handles:
//     class WaitingDlg : public platform::ui::Dialog {
//         bool OnInitDialog() override;           // call Dialog::OnInitDialog first
//         void DoDataExchange(DataExchange& dx) override { dx.Text(1019, m_port); ... }
//         void OnTimer(unsigned id) override;
//         void OnCommand(int id) override;         // buttons and other commands by number
//     };
// DoModal() runs it (on the UI thread; from another thread it is carried there and waited
// for) and returns the code given to EndDialog: 1 for OK, 2 for Cancel, as the buttons named
// "1" and "2" end it; button 1 is the default (Enter); Escape and the close box are Cancel.
// Create() makes it modeless. Controls stay where the template puts them. A resource of class
// wxPanel is a page: Create(parent) makes it a child window of the parent, placed with
// MoveWindow in the parent's client coordinates.
// The rules of a dialog belong in a class of its own without the toolkit; the dialog class
// only moves values between that class and the controls.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/text/CString.h"
#include "platform/ui/Control.h"
#include "platform/ui/Window.h"

namespace platform::ui {

class Dialog;

// DDX-style exchange between the dialog's fields and its controls: loads the controls when
// saving is false, reads them back when true. A failed read (an integer out of its range)
// shows its message, puts the focus on the control and makes UpdateData return false.
class DataExchange {
public:
    DataExchange(Dialog& dialog, bool save) : m_dialog(dialog), m_save(save) {}
    bool Saving() const { return m_save; }
    bool Failed() const { return m_failed; }

    void Text(int id, CString& value);
    // An integer field; with min < max the value read must lie within (the program's message).
    void Int(int id, int& value, int min = 0, int max = 0);
    void Check(int id, int& value); // 0 or 1
    // Radio group whose first button is id: the index of the checked button (-1 none).
    void Radio(int id, int& index);
    void ComboIndex(int id, int& index);
    void ComboText(int id, CString& value);
    void IpAddress(int id, CString& value); // "a.b.c.d"; "" when all four fields are blank

private:
    void Fail(int id, const CString& message);

    Dialog& m_dialog;
    bool m_save;
    bool m_failed = false;
};

class Dialog : public Window {
public:
    Dialog(int resourceId, Window* parent = nullptr);
    ~Dialog() override;

    int ResourceId() const { return m_resourceId; }
    Window* Parent() const { return m_parent; }

    // Modal run; -1 when the dialog cannot be made (the resource is missing).
    int DoModal();
    // Modeless: makes the window (hidden) and initialises it; false when it cannot be made.
    bool Create(Window* parent = nullptr);
    // Ends a modal run with the code, or hides a modeless dialog's window.
    void EndDialog(int code);
    bool IsModal() const { return m_modal; }
    // The modal run leaves the input of the windows made before it that were hidden then (the
    // modeless dialogs beside a dialog-based program's main dialog), as the framework's owner
    // disabling did; the windows shown at its start are disabled while it runs.
    void KeepModelessWindowsUsable() { m_othersKeepInput = true; }

    // Moves the fields to the controls (false) or back (true); false when a read failed.
    bool UpdateData(bool save = true);

    Control Item(int id) const;
    bool HasItem(int id) const;
    void SetDlgItemText(int id, const CString& text) { Item(id).SetText(text); }
    CString GetDlgItemText(int id) const { return Item(id).GetText(); }
    // Every control with a number, in creation order.
    std::vector<Control> Items() const;

    // Timer id ticks every ms (replaces a running one of the same id).
    void SetTimer(unsigned id, unsigned ms);
    void KillTimer(unsigned id);
    // The icon from a pack image ("program.xpm").
    void SetIcon(const std::string& imageName);
    // The dialog shows the hour-glass over itself while on.
    void SetWaitCursor(bool on);
    // File-open dialog; filter in the framework's form "Text (*.txt)|*.txt||". False when cancelled.
    bool FileOpenDialog(const CString& filter, CString& path, const CString& title = "");

protected:
    // Made with a sizing frame whatever the template's style (before the window is made).
    void SetSizingFrame(bool on) { m_sizingFrame = on; }

    // Default: loads the fields into the controls.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(DataExchange& dx);
    // Default: reads the fields back and ends with 1 when they read cleanly.
    virtual void OnOK();
    // Default: ends with 2.
    virtual void OnCancel();
    // A button or command other than 1 and 2.
    virtual void OnCommand(int id);
    virtual void OnTimer(unsigned id);
    virtual void OnShowWindow(bool show);
    // type: 0 restored, 1 minimised, 2 maximised; client width and height.
    virtual void OnSize(unsigned type, int cx, int cy);
    // The control's value changed (edit text, combo selection, check box, list selection, a
    // report list's row chosen).
    virtual void OnControlChanged(int id);

private:
    bool Make(Window* parent);
    void BindEvents();

    int m_resourceId;
    Window* m_parent;
    bool m_modal = false;
    size_t m_loopDepth = 0; // of the modal run's loop
    bool m_endPending = false;
    int m_endCode = 0;
    bool m_othersKeepInput = false;
    bool m_waitCursor = false;
    bool m_sizingFrame = false;
    struct Timers;
    std::unique_ptr<Timers> m_timers;
};

} // namespace platform::ui
