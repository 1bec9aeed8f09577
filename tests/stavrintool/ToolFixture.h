#pragma once
// The template tool's fixtures: a Terminals.dat of two groups (ports, accounts, bound templates
// and one id whose template is gone) and three templates, one of them unbound; the tool's
// packs from the build.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/files/ProgramDirectory.h"
#include "platform/ui/LanguagePack.h"
#include "stavrintool/app/ToolStrings.h"
#include "templates/TemplateRecords.h"
#include "tests/templates/TemplateFixture.h"

namespace testsupport {

inline constexpr const char* kIdA1 = "20240101120000";
inline constexpr const char* kIdB2 = "20240102130000";
inline constexpr const char* kIdC3 = "20240103140000";
inline constexpr const char* kGoneId = "20991231000000";
inline constexpr const char* kGroup1 = "192.168.1.1:255.255.255.0";
inline constexpr const char* kGroup2 = "10.0.0.1:255.0.0.0";

inline FixtureFile ToolFixture() {
    FixtureFile file = RichFixture();
    file.terminals[0].name = "A1";
    FixtureTerminal c3 = file.terminals[1];
    c3.id = kIdC3;
    c3.name = "C3";
    file.terminals.push_back(c3);
    file.groups = {
        {kGroup1, {80, 8080}, {"admin:admin", "user:1234"}, {kIdA1, kGoneId, kIdB2}},
        {kGroup2, {80}, {"root:root"}, {kIdA1}},
    };
    return file;
}

// A parameter in one line: name|page|key flag|array field|join word, then its local and
// English locators and its rules.
inline std::string ParameterLine(const ParameterRecord& p) {
    std::string line = (p.name + "|" + p.page + "|" + p.keyFlag + "|" + p.arraySpec + "|" + p.joinWord).str();
    for (const auto* list : {&p.localLocators, &p.englishLocators}) {
        line += list == &p.localLocators ? " local:" : " english:";
        for (const LocatorRecord& l : *list)
            line += "[" + l.head.str() + "," + l.tail.str() + "]";
    }
    line += " rules:";
    for (const RuleRecord& r : p.rules)
        line += "[" + r.op.str() + "," + r.setValue.str() + "," + std::to_string(r.code) + "]";
    return line;
}

// A web modem's template that logs in by posting its user and password to /login.cgi.
inline TerminalRecord WebModemModel(const char* id, const char* name) {
    TerminalRecord model;
    model.id = id;
    model.name = name;
    model.authKind = "WEB";
    model.https = "FALSE";
    auto login = std::make_unique<FunctionRecord>();
    login->name = "login";
    login->urls.Add("/login.cgi");
    login->methods.Add("POST");
    login->postData.Add("user=<username>&pass=<userpassword>");
    login->headers.Add("");
    model.functions.push_back(std::move(login));
    return model;
}

inline std::filesystem::path BuildProgramDir() {
    const char* binary = std::getenv("CORVAY_BINARY_DIR");
    return std::filesystem::path(binary ? binary : ".") / "bin";
}

// Puts the tool's pack of that language in use for its texts; false when it is not built.
inline bool UseToolPack(platform::ui::LanguagePack& pack, const std::string& language) {
    if (!pack.LoadFile((BuildProgramDir() / ("StavrinToolLocalize_" + language + ".so")).string()))
        return false;
    stavrin::SetToolStringSource(pack.StringLookup());
    return true;
}

// Points the program directory at dir while it lives (the store's own path is made from it).
class ProgramDirScope {
public:
    explicit ProgramDirScope(const std::filesystem::path& dir) {
        platform::SetProgramDirectory((dir.string() + "/").c_str());
    }
    ~ProgramDirScope() { platform::SetProgramDirectory(""); }
    ProgramDirScope(const ProgramDirScope&) = delete;
    ProgramDirScope& operator=(const ProgramDirScope&) = delete;
};

} // namespace testsupport
