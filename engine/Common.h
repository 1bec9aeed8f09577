#pragma once
// Small helpers every part of the engine shares.

#include "platform/text/CString.h"

// The directory of the running program, with its trailing separator.
CString GetProgramDirectory();

// The error box (caption string 31, "错误", error icon) through the prompt service. The owner window is
// the windowed program's business; the engine passes none.
void ShowErrorMessage(const CString& text, void* parentWindow = nullptr);

// True when the text ends with the suffix; an empty suffix gives true.
bool EndsWith(const CString& text, const CString& suffix);
