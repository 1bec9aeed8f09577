#pragma once
// A language pack: the shared library "Localize_<lang>.so" (or another prefix) in the program
// directory, holding the numbered texts (GBK) and the XRC documents and images of the windows.
//
// How a program binds to it: at start-up
//     platform::ui::LanguagePack pack;
//     if (!pack.Load("Localize_", language)) { show pack.Error(); end }
//     SetStringSource(pack.StringLookup());   // LoadStringId answers from the pack
//     platform::ui::Application::UseLanguagePack(pack);  // dialogs, menus, images
// and keeps the pack alive until the application has ended.
// Wx-free: tests check packs headless.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/files/DynamicLibrary.h"
#include "platform/text/CString.h"

// What a pack library exports (C linkage, so any build of the program can read it).
extern "C" {
struct CorvayPackString {
    unsigned id;
    const char* text; // GBK
};
struct CorvayPackResource {
    const char* name; // "WaitingDlg.xrc", "program.xpm", ...
    const unsigned char* data;
    unsigned long size;
};
using CorvayPackStringsFn = const CorvayPackString* (*)(unsigned long* count);
using CorvayPackResourcesFn = const CorvayPackResource* (*)(unsigned long* count);
}
inline constexpr const char* kPackStringsSymbol = "CorvayPackStrings";
inline constexpr const char* kPackResourcesSymbol = "CorvayPackResources";

namespace platform::ui {

class LanguagePack {
public:
    // Loads "<prefix><language>.so" by full path from the program directory; false with Error()
    // set when the file is missing or is no pack.
    bool Load(const CString& prefix, const CString& language);
    // Loads a pack by its path.
    bool LoadFile(const std::string& path);
    void Unload();
    bool IsLoaded() const { return m_library.IsOpen(); }
    const std::string& Error() const { return m_error; }
    const std::string& Path() const { return m_path; }

    // The text of an id (GBK); false when the pack lacks it.
    bool LoadString(unsigned id, CString& text) const;
    // For SetStringSource: answers from this pack while it lives.
    std::function<bool(unsigned, CString&)> StringLookup() const;
    std::vector<unsigned> StringIds() const;

    // Resources by name; the ones whose names end with suffix (".xrc").
    const std::string* Resource(const std::string& name) const;
    std::vector<std::string> ResourceNames(const std::string& suffix = "") const;

private:
    platform::DynamicLibrary m_library;
    std::string m_error, m_path;
    std::map<unsigned, const char*> m_strings;
    std::map<std::string, std::string> m_resources;
};

} // namespace platform::ui
