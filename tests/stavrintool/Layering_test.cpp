// The tool's folders call each other one way: the editors above the locator, the locator above
// the capture. Read from the sources, so an include or a method put on the wrong side fails here
// before it builds a loop.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Source {
    std::string folder; // the folder under stavrintool/
    std::string name;   // its path under stavrintool/
    std::string text;
};

std::vector<Source> ToolSources() {
    const char* root = std::getenv("CORVAY_SOURCE_DIR");
    std::vector<Source> sources;
    if (!root)
        return sources;
    const fs::path tool = fs::path(root) / "stavrintool";
    for (const auto& entry : fs::recursive_directory_iterator(tool)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
            continue;
        const fs::path rel = fs::relative(entry.path(), tool);
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        sources.push_back({rel.begin()->string(), rel.generic_string(), text.str()});
    }
    return sources;
}

TEST(ToolLayering, NoFolderIncludesOneAboveIt) {
    const std::map<std::string, std::set<std::string>> above = {
        {"capture", {"locator", "editor", "main", "diag"}},
        {"locator", {"editor", "main", "diag"}},
    };
    const std::vector<Source> sources = ToolSources();
    ASSERT_FALSE(sources.empty()) << "CORVAY_SOURCE_DIR names no source tree";
    const std::regex include(R"re(#include\s+"(stavrintool/(\w+)/[^"]*)")re");
    for (const Source& source : sources) {
        const auto forbidden = above.find(source.folder);
        if (forbidden == above.end())
            continue;
        for (std::sregex_iterator it(source.text.begin(), source.text.end(), include), end; it != end; ++it)
            EXPECT_FALSE(forbidden->second.count((*it)[2].str())) << source.name << " includes " << (*it)[1];
    }
}

TEST(ToolLayering, AClassIsDefinedInTheFolderOfItsHeader) {
    const std::vector<Source> sources = ToolSources();
    ASSERT_FALSE(sources.empty()) << "CORVAY_SOURCE_DIR names no source tree";
    std::map<std::string, std::string> home; // class -> folder of its header
    const std::regex declared(R"re((?:^|\n)(?:class|struct)\s+(\w+)\s*(?:final\s*)?[:{])re");
    for (const Source& source : sources)
        if (source.name.ends_with(".h"))
            for (std::sregex_iterator it(source.text.begin(), source.text.end(), declared), end; it != end;
                 ++it)
                home.emplace((*it)[1].str(), source.folder);
    ASSERT_TRUE(home.count("IePanel"));
    // An out-of-line member, written from the start of a line: "Type Class::Member(" or
    // "Class::Class(".
    const std::regex defined(R"re(\n(?:[\w:<>,*&]+ )*(\w+)::~?\w+\()re");
    for (const Source& source : sources) {
        if (!source.name.ends_with(".cpp"))
            continue;
        for (std::sregex_iterator it(source.text.begin(), source.text.end(), defined), end; it != end; ++it) {
            const auto owner = home.find((*it)[1].str());
            if (owner != home.end())
                EXPECT_EQ(owner->second, source.folder)
                    << source.name << " defines a member of " << owner->first;
        }
    }
}

} // namespace
