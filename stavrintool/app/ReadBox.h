#pragma once
// How the tool's windows read an edit box into their model's field: the text as GBK, the field
// marked when the box holds a character GBK lacks, so that the model refuses to store it
// instead of keeping '?' in its place.

#include "platform/text/CString.h"
#include "platform/ui/Dialog.h"
#include "stavrintool/app/BoxText.h"
#include "stavrintool/app/ToolStrings.h"

namespace stavrin {

// With 'boxes', a box that shows a page's bytes gives them back as they were unless edited.
void ReadBox(const platform::ui::Dialog& dialog, int id, CString& field, ForeignTexts& foreign,
             const BoxTexts* boxes = nullptr);

} // namespace stavrin
