// A template's pattern on a modem's page: it compiles or not, and a match lies inside the text
// and is found again where it starts.

#include <cstdlib>

#include "fuzz/FuzzParts.h"
#include "stavrintool/locator/PatternMatch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> parts = FuzzParts(data, size);
    parts.resize(2);
    PatternMatch match;
    if (!match.Compile(CString(parts[0]))) {
        if (match.IsCompiled() || match.Match(CString(parts[1])))
            abort();
        return 0;
    }
    const CString text(parts[1]);
    int start = -1, end = -1;
    if (!match.Match(text, &start, &end))
        return 0;
    if (start < 0 || end < start || end > text.GetLength())
        abort();
    return 0;
}
