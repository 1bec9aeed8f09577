#pragma once
// A report list as a dialog's rules see it: the texts of its rows, which rows are selected and,
// for a list with check boxes, which are checked.

#include <vector>

#include "platform/text/CString.h"

struct ListState {
    std::vector<std::vector<CString>> rows;
    std::vector<bool> selected; // one per row
    std::vector<bool> checked;  // one per row

    void Clear() {
        rows.clear();
        selected.clear();
        checked.clear();
    }
    void AddRow(std::vector<CString> texts) {
        rows.push_back(std::move(texts));
        selected.push_back(false);
        checked.push_back(false);
    }
    int Count() const { return static_cast<int>(rows.size()); }
    void Select(int row, bool on = true) {
        if (row >= 0 && row < Count())
            selected[row] = on;
    }
    // The last selected row in list order, -1 when none is.
    int LastSelected() const {
        for (int i = Count() - 1; i >= 0; --i)
            if (selected[i])
                return i;
        return -1;
    }
};
