#pragma once
// What the browser is asked for a locate: every document's selection, charset and URL, the
// frames visited in order and recursively (a document with frames stands for its frames).

#include <vector>

#include "platform/text/CString.h"
#include "stavrintool/locator/VersionLocator.h"

// The script; its result is one line per document, three percent-encoded fields apart.
const char* SelectionScript();
// The documents of the script's result, in frame order.
std::vector<FrameSelection> ParseSelections(const CString& result);
