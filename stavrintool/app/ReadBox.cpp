#include "stavrintool/app/ReadBox.h"

namespace stavrin {

void ReadBox(const platform::ui::Dialog& dialog, int id, CString& field, ForeignTexts& foreign,
             const BoxTexts* boxes) {
    bool exact = true;
    field = dialog.Item(id).GetText(&exact);
    if (boxes)
        field = boxes->Read(id, field);
    if (!exact)
        foreign.Mark(field);
}

} // namespace stavrin
