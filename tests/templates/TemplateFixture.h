#pragma once
// Template files written straight from the format, without the product's writer, so that the
// reader and the writer are each checked against the format and not against each other.
// GBK texts are written as byte escapes. Used by the tests, the fuzz seeds and the benchmark.

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

using namespace std::string_literals;

// The raw items: an integer is "%8d", a string is its length as an integer and then its bytes.
class TemplateBytes {
public:
    TemplateBytes& Int(long long value) {
        char item[32];
        snprintf(item, sizeof item, "%8lld", value);
        bytes += item;
        return *this;
    }
    TemplateBytes& Str(std::string_view text) {
        Int(static_cast<long long>(text.size()));
        bytes += text;
        return *this;
    }
    TemplateBytes& Raw(std::string_view text) {
        bytes += text;
        return *this;
    }
    std::string bytes;
};

struct FixtureLocator {
    std::string head, tail;
    bool operator==(const FixtureLocator&) const = default;
};
struct FixtureRule {
    std::string op, setValue;
    int code = 0;
    bool operator==(const FixtureRule&) const = default;
};
struct FixtureParameter {
    std::string name, page, keyFlag, arraySpec;
    std::vector<FixtureLocator> local, english;
    std::string joinWord;
    std::vector<FixtureRule> rules;
    bool operator==(const FixtureParameter&) const = default;
};
struct FixtureStep {
    std::string url, headers, method, postData;
    bool operator==(const FixtureStep&) const = default;
};
struct FixtureFunction {
    std::string name;
    std::vector<FixtureStep> steps;
    bool operator==(const FixtureFunction&) const = default;
};
struct FixtureUpload {
    std::string name, page, action, fieldName;
    bool operator==(const FixtureUpload&) const = default;
};
struct FixtureTerminal {
    std::string id, name, authKind, https;
    std::vector<std::pair<std::string, std::string>> properties; // in file order
    std::vector<FixtureParameter> parameters;
    std::vector<FixtureFunction> functions;
    std::vector<FixtureUpload> uploads;
    std::string downloadUrl;
    bool operator==(const FixtureTerminal&) const = default;
};
struct FixtureGroup {
    std::string name;
    std::vector<int> ports;
    std::vector<std::string> accounts, terminalIds;
};
struct FixtureFile {
    std::string header = "Orlimo Terminal Templet, Ver:2.0";
    std::vector<FixtureGroup> groups;
    std::vector<FixtureTerminal> terminals;
};

inline void AppendTerminal(TemplateBytes& out, const FixtureTerminal& t) {
    out.Str(t.id).Str(t.name).Str(t.authKind).Str(t.https);
    out.Int(t.properties.size());
    for (const auto& [key, value] : t.properties)
        out.Str(key).Str(value);
    out.Int(t.parameters.size());
    for (const auto& p : t.parameters) {
        out.Str(p.name).Str(p.page).Str(p.keyFlag).Str(p.arraySpec);
        out.Int(p.local.size()).Int(p.english.size()).Int(p.rules.size());
        for (const auto& l : p.local)
            out.Str(l.head).Str(l.tail);
        for (const auto& l : p.english)
            out.Str(l.head).Str(l.tail);
        out.Str(p.joinWord);
        for (const auto& r : p.rules)
            out.Str(r.op).Str(r.setValue).Int(r.code);
    }
    out.Int(t.functions.size());
    for (const auto& f : t.functions) {
        out.Str(f.name).Int(f.steps.size());
        for (const auto& s : f.steps)
            out.Str(s.url).Str(s.headers).Str(s.method).Str(s.postData);
    }
    out.Int(t.uploads.size());
    for (const auto& u : t.uploads)
        out.Str(u.name).Str(u.page).Str(u.action).Str(u.fieldName);
    out.Str(t.downloadUrl);
}

inline std::string TerminalsFile(const FixtureFile& file) {
    TemplateBytes out;
    out.Str(file.header).Int(file.groups.size()).Int(file.terminals.size());
    for (const auto& g : file.groups) {
        out.Str(g.name).Int(g.ports.size()).Int(g.accounts.size()).Int(g.terminalIds.size());
        for (int port : g.ports)
            out.Int(port);
        for (const auto& a : g.accounts)
            out.Str(a);
        for (const auto& id : g.terminalIds)
            out.Str(id);
    }
    for (const auto& t : file.terminals)
        AppendTerminal(out, t);
    return out.bytes;
}

inline std::string DeviceFile(const FixtureTerminal& terminal,
                              const std::string& header = "Orlimo Device Templet, Ver:2.0") {
    TemplateBytes out;
    out.Str(header);
    AppendTerminal(out, terminal);
    return out.bytes;
}

// Several groups, ports and accounts; two terminals with properties, parameters with both
// locator lists and rules, multi-step functions and an upload function; GBK texts and a zero
// byte inside a string. Properties are in byte order, as the store writes them.
inline FixtureFile RichFixture() {
    FixtureFile file;
    file.groups = {
        {"192.168.1.1:255.255.255.0",
         {80, 8080},
         {"admin:admin", "WEB:user:\xD3\xC3\xBB\xA7", "brw:root:1234"},
         {"20240101120000", "20240102130000", "20991231000000"}},
        {"192.168.1.10:255.255.255.0", {80}, {}, {"20240102130000"}},
        {"10.0.0.1:255.0.0.0", {}, {"admin:"}, {}},
    };
    FixtureTerminal a;
    a.id = "20240101120000";
    a.name = "\xC4\xA3\xD0\xCD-A1"; // model name in GBK
    a.authKind = "WEB";
    a.https = "FALSE";
    a.properties = {{"Vendor", "\xB2\xE2\xCA\xD4"}, {"model", "A1"}};
    a.parameters = {
        {"Firmware_Version",
         "/status.htm",
         "TRUE",
         "FALSE",
         {{"<td>\xB0\xE6\xB1\xBE</td><td>", "</td>"}},
         {{"Version</td><td>", "</td>"}, {"V", " "}},
         "OR",
         {{"EQUAL", "V1.0", 0}, {"INCLUDE", "1.", 0}}},
        {"Model", "/status.htm", "TRUE", "FALSE", {{"<b>", "</b>"}}, {}, "AND", {{"EQUAL", "A1", 0}}},
        {"Wan_Mode",
         "/wan.htm",
         "FALSE",
         "1,3",
         {},
         {{"a\0b"s, "\r\n"}},
         "AND",
         {{"MORE", "2", -5}, {"LESS", "9", 12345678}}},
    };
    a.functions = {
        {"login",
         {{"/login.cgi", "Content-Type: application/x-www-form-urlencoded\r\n", "POST",
           "user=%USER%&pass=%PASS%"},
          {"/index.htm", "", "GET", ""}}},
        {"reboot", {{"/reboot.cgi", "", "POST", "reboot=1"}}},
        {"nothing", {}},
    };
    a.uploads = {{"upgradefirmware", "/upgrade.htm", "/cgi-bin/upload.cgi", "firmware"}};
    a.downloadUrl = "ftp://10.0.0.2/fw/A1.bin";

    FixtureTerminal b;
    b.id = "20240102130000";
    b.name = "B2";
    b.authKind = "BRW";
    b.https = "TRUE";
    b.properties = {{"k", ""}};
    b.parameters = {
        {"Firmware_Version", "/info.html", "FALSE", "FALSE", {{"ver=", ";"}}, {{"ver=", ";"}}, "OR", {}}};
    b.functions = {{"RestoreConfig", {{"/restore.cgi?all=1", "Referer: /\r\n", "GET", ""}}}};
    file.terminals = {a, b};
    return file;
}

// Many terminals for timing the load, each like the first of the rich fixture with its own id.
inline FixtureFile GeneratedFixture(int terminals) {
    FixtureFile rich = RichFixture();
    FixtureFile file;
    file.groups = rich.groups;
    for (int i = 0; i < terminals; ++i) {
        FixtureTerminal t = rich.terminals[0];
        char id[32];
        snprintf(id, sizeof id, "2024%010d", i);
        t.id = id;
        file.terminals.push_back(t);
        file.groups[0].terminalIds.push_back(id);
    }
    return file;
}

} // namespace testsupport
