// A modem's page and the version a technician selected in it: the locator answers with markers
// or one of its codes, and markers it hands out cut a non-empty text out of that page.

#include <cstdlib>

#include "fuzz/FuzzParts.h"
#include "stavrintool/locator/VersionLocator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> parts = FuzzParts(data, size);
    parts.resize(2);
    const CString source(parts[0]), version(parts[1]);
    for (const CString& line : VersionLocator::Lines(version)) {
        if (line.IsEmpty() || line != CString(line).Trim())
            abort();
    }
    VersionLocator::Escape(version);
    try {
        const std::vector<LocatorRecord> locators = VersionLocator::Analyse(source, version);
        for (const LocatorRecord& l : locators) {
            if (l.head.IsEmpty() && l.tail.IsEmpty())
                abort();
        }
    } catch (const LocateError& e) {
        if (e.Code() != kLocateNotInSource && e.Code() != kLocateNotInTable && e.Code() != kLocateCheckFailed)
            abort();
    }
    return 0;
}
