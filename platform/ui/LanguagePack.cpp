#include "platform/ui/LanguagePack.h"

#include <sys/stat.h>

#include "platform/files/ProgramDirectory.h"

namespace platform::ui {

bool LanguagePack::Load(const CString& prefix, const CString& language) {
    // The language names a file of the program directory, never one elsewhere.
    if (language.Find('/') >= 0 || language.Find('\\') >= 0 || language.IsEmpty()) {
        Unload();
        m_path.clear();
        m_error = std::string("language \"") + language.GetString() + "\" names no language pack";
        return false;
    }
    // A bare name would make dlopen search the system's library path.
    CString path = JoinPath(ProgramDirectory(), prefix + language + ".so");
    return LoadFile(path.GetString());
}

bool LanguagePack::LoadFile(const std::string& path) {
    Unload();
    m_path = path;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        m_error = "language pack " + path + " not found";
        return false;
    }
    if (!m_library.Open(path)) {
        m_error = "language pack " + path + ": " + m_library.Error();
        return false;
    }
    auto strings = m_library.Function<CorvayPackStringsFn>(kPackStringsSymbol);
    auto resources = m_library.Function<CorvayPackResourcesFn>(kPackResourcesSymbol);
    if (!strings || !resources) {
        m_error = "language pack " + path + " is no language pack";
        m_library.Close();
        return false;
    }
    unsigned long count = 0;
    const CorvayPackString* table = strings(&count);
    for (unsigned long i = 0; i < count; ++i)
        m_strings.emplace(table[i].id, table[i].text);
    const CorvayPackResource* items = resources(&count);
    for (unsigned long i = 0; i < count; ++i)
        m_resources.emplace(items[i].name,
                            std::string(reinterpret_cast<const char*>(items[i].data), items[i].size));
    m_error.clear();
    return true;
}

void LanguagePack::Unload() {
    m_strings.clear();
    m_resources.clear();
    m_library.Close();
}

bool LanguagePack::LoadString(unsigned id, CString& text) const {
    auto it = m_strings.find(id);
    if (it == m_strings.end())
        return false;
    text = it->second;
    return true;
}

std::function<bool(unsigned, CString&)> LanguagePack::StringLookup() const {
    return [this](unsigned id, CString& text) { return LoadString(id, text); };
}

std::vector<unsigned> LanguagePack::StringIds() const {
    std::vector<unsigned> ids;
    for (const auto& [id, text] : m_strings)
        ids.push_back(id);
    return ids;
}

const std::string* LanguagePack::Resource(const std::string& name) const {
    auto it = m_resources.find(name);
    return it == m_resources.end() ? nullptr : &it->second;
}

std::vector<std::string> LanguagePack::ResourceNames(const std::string& suffix) const {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : m_resources)
        if (name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(name);
    return names;
}

} // namespace platform::ui
