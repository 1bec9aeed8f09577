#include "corvay/dialogs/DialogWindow.h"

#include "engine/log/StringTable.h"
#include "platform/ui/Application.h"

std::unique_ptr<platform::ui::Dialog> MakeDialogWindow(DialogState& state, platform::ui::Window* parent) {
    if (auto window = MakeSettingsWindow(state, parent))
        return window;
    return MakeFirmwareWindow(state, parent);
}

int RunDialogWindow(DialogState& state, platform::ui::Window* parent) {
    int result = -1;
    // Made, run and deleted on the UI thread, where the window lives.
    platform::ui::CallOnUiThread([&] {
        if (auto window = MakeDialogWindow(state, parent))
            result = window->DoModal();
    });
    return result;
}

void SetUpListColumns(platform::ui::ListControl list, bool checkBoxes, const unsigned* headingIds,
                      const int* widths, int count) {
    list.SetUp(checkBoxes);
    for (int i = 0; i < count; ++i)
        list.InsertColumn(i, LoadStringId(headingIds[i]), widths[i]);
}

void LoadList(platform::ui::ListControl list, const ListState& state) {
    list.DeleteAllItems();
    for (int row = 0; row < state.Count(); ++row) {
        const std::vector<CString>& texts = state.rows[row];
        list.InsertItem(row, texts.empty() ? CString() : texts[0]);
        for (size_t column = 1; column < texts.size(); ++column)
            list.SetItemText(row, static_cast<int>(column), texts[column]);
        list.Select(row, state.selected[row]);
        list.SetCheck(row, state.checked[row]);
    }
}

void StoreList(platform::ui::ListControl list, ListState& state) {
    for (int row = 0; row < state.Count() && row < list.GetItemCount(); ++row) {
        state.selected[row] = list.IsSelected(row);
        state.checked[row] = list.IsChecked(row);
    }
}

void FillChoice(platform::ui::Control choice, unsigned firstString, int count) {
    choice.ResetContent();
    for (int i = 0; i < count; ++i)
        choice.AddString(LoadStringId(firstString + static_cast<unsigned>(i)));
}
