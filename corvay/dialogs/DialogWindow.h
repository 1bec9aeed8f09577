#pragma once
// The window of a dialog's rules: a dialog of the language pack that copies the fields of its
// DialogState into its controls and back, hands each button to the rules and does what the
// outcome says (close, stay open with the focus on the refused control, run another dialog).
// Each dialog's window only says which field goes to which control.

#include <memory>

#include "corvay/dialogs/DialogState.h"
#include "corvay/dialogs/ListState.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/ListControl.h"

// Runs the window of 'state' modally over 'parent' (null: the main window); 1 OK, 2 Cancel,
// -1 when the dialog cannot be made. Any thread (the window runs on the UI thread).
int RunDialogWindow(DialogState& state, platform::ui::Window* parent = nullptr);
// The window that shows 'state'; null for a state without one.
std::unique_ptr<platform::ui::Dialog> MakeDialogWindow(DialogState& state, platform::ui::Window* parent);

template <class Base = platform::ui::Dialog> class DialogWindow : public Base {
public:
    DialogWindow(DialogState& state, platform::ui::Window* parent)
        : Base(static_cast<int>(state.ResourceId()), parent), m_state(state) {}

protected:
    // Fills lists and columns once; Load shows the fields, Store reads them back.
    virtual void Setup() {}
    virtual void Load() {}
    virtual void Store() {}
    // A button other than OK and Cancel.
    virtual DialogOutcome Command(int) { return DialogOutcome::Stay(); }

    bool OnInitDialog() override {
        Base::OnInitDialog();
        Setup();
        Load();
        return true;
    }
    void OnOK() override {
        Store();
        Act(m_state.OnOK());
    }
    void OnCancel() override { Act(m_state.OnCancel()); }
    void OnCommand(int id) override {
        Store();
        Act(Command(id));
    }

    void Act(const DialogOutcome& outcome) {
        switch (outcome.action) {
        case DialogOutcome::Action::Close:
            this->EndDialog(outcome.result);
            return;
        case DialogOutcome::Action::RunDialog:
            if (DialogState* child = m_state.Child())
                m_state.ChildEnded(RunDialogWindow(*child, this));
            Load();
            return;
        case DialogOutcome::Action::StayOpen:
            Load();
            if (outcome.controlId)
                this->Item(static_cast<int>(outcome.controlId)).SetFocus();
            return;
        }
    }

    platform::ui::ListControl List(int id) const { return platform::ui::ListControl(this->Item(id)); }

    DialogState& m_state;
};

// A report list's columns: headings from the string table.
void SetUpListColumns(platform::ui::ListControl list, bool checkBoxes, const unsigned* headingIds,
                      const int* widths, int count);
// Rows, selection and checks from the state, and back.
void LoadList(platform::ui::ListControl list, const ListState& state);
void StoreList(platform::ui::ListControl list, ListState& state);
// A drop-down list's entries: strings first .. first + count - 1.
void FillChoice(platform::ui::Control choice, unsigned firstString, int count);

// The window Win of the state when it is a Dlg, else null.
template <class Dlg, class Win>
std::unique_ptr<platform::ui::Dialog> MakeWindowIf(DialogState& state, platform::ui::Window* parent) {
    if (auto* dlg = dynamic_cast<Dlg*>(&state))
        return std::make_unique<Win>(*dlg, parent);
    return nullptr;
}

// The windows of the settings dialogs and of the firmware dialogs (null for other states).
std::unique_ptr<platform::ui::Dialog> MakeSettingsWindow(DialogState& state, platform::ui::Window* parent);
std::unique_ptr<platform::ui::Dialog> MakeFirmwareWindow(DialogState& state, platform::ui::Window* parent);
