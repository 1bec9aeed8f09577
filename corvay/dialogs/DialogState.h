#pragma once
// The rules of one dialog without any window: its fields as the window shows them, and an
// operation per button that says what the window does next. The window side (platform/ui)
// copies the fields in and out and acts on the outcome.

#include <memory>

#include "platform/text/CString.h"

// What a dialog's operation asks of its window.
struct DialogOutcome {
    enum class Action { StayOpen, Close, RunDialog };
    Action action = Action::StayOpen;
    int result = 0;         // Close: 1 OK, 2 Cancel
    unsigned stringId = 0;  // StayOpen: the string-table message that was shown, 0 for none
    unsigned controlId = 0; // StayOpen: the control that holds the refused value, 0 for none
    unsigned dialogId = 0;  // RunDialog: resource id of the dialog to run (DialogState::Child)

    static DialogOutcome Closed(int result) { return {Action::Close, result, 0, 0, 0}; }
    static DialogOutcome Stay(unsigned stringId = 0, unsigned controlId = 0) {
        return {Action::StayOpen, 0, stringId, controlId, 0};
    }
    bool IsClose() const { return action == Action::Close; }
    bool IsStayOpen() const { return action == Action::StayOpen; }
    bool IsRunDialog() const { return action == Action::RunDialog; }
};

constexpr int kDialogOk = 1;
constexpr int kDialogCancel = 2;

class DialogState {
public:
    virtual ~DialogState();
    virtual unsigned ResourceId() const = 0;
    virtual DialogOutcome OnOK() { return DialogOutcome::Closed(kDialogOk); }
    virtual DialogOutcome OnCancel() { return DialogOutcome::Closed(kDialogCancel); }

    // The dialog the last RunDialog outcome asked for; null when none is pending.
    DialogState* Child() const { return m_child.get(); }
    // The child has ended with 'result' (1 OK, 2 Cancel): the owner applies it and drops it.
    void ChildEnded(int result);

protected:
    DialogOutcome RunChild(std::unique_ptr<DialogState> child);
    // What the owner does when its child ends; the child is still there to be read.
    virtual void OnChildEnded(DialogState& child, int result);

private:
    std::unique_ptr<DialogState> m_child;
};

// A box of the program, with the application's title as its caption; returns the answer.
int ShowAppMessage(const CString& text, unsigned type);

// Shows a string-table message as an information box (through the prompt service) and
// returns the stay-open outcome that names it.
DialogOutcome StayWithMessage(unsigned stringId, unsigned controlId = 0);

// An integer field as the edit holds it: decimal, blanks around it allowed.
bool ParseIntegerField(const CString& text, int& value);
// Checks the field against [minimum, maximum]; text that is no number or lies outside shows
// the range box that every numeric field of the program shows (string 61715), and false.
constexpr unsigned kIntegerRangeString = 61715;
bool CheckIntegerField(const CString& text, int minimum, int maximum, int& value);
CString IntegerRangeMessage(int minimum, int maximum);
