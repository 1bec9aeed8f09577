#pragma once
// The program's numbered texts. The language pack, once loaded, answers first; the built-in
// Chinese table stands in when no pack is loaded or the pack lacks an entry.

#include <functional>

#include "platform/text/CString.h"

// The text of string id; empty when neither the pack nor the built-in table has it.
CString LoadStringId(unsigned id);

// The language pack's look-up (true and the text when it has the id); empty to remove it.
using StringSource = std::function<bool(unsigned id, CString& text)>;
void SetStringSource(StringSource source);
