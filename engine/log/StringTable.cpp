#include "engine/log/StringTable.h"

#include <map>
#include <mutex>

namespace {

std::mutex g_mutex;
StringSource g_source;

const std::map<unsigned, const char*>& BuiltIn() {
    // The Chinese language pack's table, compiled with the program's charset (so GBK).
    static const std::map<unsigned, const char*> table = {
#include "resources/cn/Strings.inc"
    };
    return table;
}

} // namespace

CString LoadStringId(unsigned id) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        CString text;
        if (g_source && g_source(id, text))
            return text;
    }
    auto it = BuiltIn().find(id);
    return it == BuiltIn().end() ? CString() : CString(it->second);
}

void SetStringSource(StringSource source) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_source = std::move(source);
}
