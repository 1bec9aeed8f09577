#pragma once
// Conversion between the program's GBK text and the UTF-8 of wxWidgets and Linux sources.
// A character that the target cannot hold becomes '?'; invalid input bytes become '?'.

#include <string>

#include "platform/text/CString.h"

std::string GbkToUtf8(const CString& gbk);
CString Utf8ToGbk(const std::string& utf8);
