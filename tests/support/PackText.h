#pragma once
// The loaded pack's strings as the windows show them (UTF-8), for window tests to compare.

#include <string>

#include "engine/log/StringTable.h"
#include "platform/text/Gbk.h"

namespace testsupport {

inline std::string Utf8(unsigned id) {
    return GbkToUtf8(LoadStringId(id));
}

// A string whose one number is the port's.
inline std::string WithPort(unsigned id, int port) {
    CString text;
    text.Format(LoadStringId(id).GetString(), port);
    return GbkToUtf8(text);
}

} // namespace testsupport
