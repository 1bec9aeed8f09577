#pragma once
// Conversion between the program's GBK text and the UTF-8 of wxWidgets and Linux sources.
// A character that the target cannot hold becomes '?'; invalid input bytes become '?'.

#include <string>

#include "platform/text/CString.h"

std::string GbkToUtf8(const CString& gbk);
// exact, when given, is set to false when a character had to become '?'.
CString Utf8ToGbk(const std::string& utf8, bool* exact = nullptr);
