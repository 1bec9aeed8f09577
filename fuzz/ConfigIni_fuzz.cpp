// Any bytes as Config.ini: every key the reader lists is found again, a value written reads back
// as written, and writing one key changes no other key's value.

#include <cstdlib>
#include <set>

#include "fuzz/FuzzFile.h"
#include "fuzz/FuzzParts.h"
#include "platform/files/FileIo.h"
#include "platform/files/Profile.h"

namespace {

// The sections of the file as a reader would name them, and those the program reads.
std::set<std::string> Sections(const std::string& bytes) {
    std::set<std::string> names = {"System", "Dslam", "Modem", "WLan", "Switch"};
    size_t at = 0;
    while (at < bytes.size() && names.size() < 64) {
        size_t end = bytes.find('\n', at);
        std::string line = bytes.substr(at, end == std::string::npos ? std::string::npos : end - at);
        size_t open = line.find('['), close = line.find(']');
        if (open != std::string::npos && close != std::string::npos && close > open)
            names.insert(line.substr(open + 1, close - open - 1));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const CString file = CString(FuzzSaveDirectory()) + "/Config.ini";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!platform::SaveFileAtomically(file.str(), bytes))
        abort();
    struct Entry {
        CString section, key, value;
    };
    std::vector<Entry> entries;
    for (const std::string& name : Sections(bytes)) {
        const CString section(name);
        CStringArray keys = platform::ReadProfileKeys(file, section);
        for (const CString& key : keys) {
            if (!platform::ProfileKeyExists(file, section, key))
                abort();
            entries.push_back({section, key, platform::ReadProfileString(file, section, key, "\x01")});
        }
    }
    // One write: the first key found, or a new one.
    const Entry target = entries.empty() ? Entry{"Switch", "Model", ""} : entries.front();
    if (!platform::WriteProfileString(file, target.section, target.key, "written 1"))
        return 0; // a name no ini line can hold is refused, and the file stays
    if (platform::ReadProfileString(file, target.section, target.key, "") != "written 1")
        abort();
    for (const Entry& e : entries) {
        if (e.section.CompareNoCase(target.section) == 0 && e.key.CompareNoCase(target.key) == 0)
            continue;
        if (platform::ReadProfileString(file, e.section, e.key, "\x01") != e.value)
            abort();
    }
    return 0;
}
