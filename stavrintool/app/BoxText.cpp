#include "stavrintool/app/BoxText.h"

namespace stavrin {

void ReadBox(const platform::ui::Dialog& dialog, int id, CString& field, ForeignTexts& foreign) {
    bool exact = true;
    field = dialog.Item(id).GetText(&exact);
    if (!exact)
        foreign.Mark(field);
}

} // namespace stavrin
