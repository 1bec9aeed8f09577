#pragma once
// The modem model of the job tests and the simulated bench, "CV-100": a form log-in with a
// cookie, a status page with its model, firmware version and serial number, a factory restore
// and a firmware upload; and the template file that lists where its modems answer.

#include <map>
#include <string>
#include <vector>

#include "tests/templates/TemplateFixture.h"

namespace testsupport {

inline constexpr const char* kBenchModelName = "CV-100";

inline FixtureTerminal BenchModel() {
    FixtureTerminal t;
    t.id = "20260101000001";
    t.name = kBenchModelName;
    t.authKind = "WEB";
    t.https = "FALSE";
    t.parameters = {
        {"Model",
         "/status.htm",
         "TRUE",
         "FALSE",
         {{"<td>Model</td><td>", "</td>"}},
         {},
         "AND",
         {{"EQUAL", kBenchModelName, 0}}},
        {"Firmware_Version",
         "/status.htm",
         "FALSE",
         "FALSE",
         {{"<td>Firmware</td><td>", "</td>"}},
         {},
         "OR",
         {}},
        {"Serial_Number", "/status.htm", "FALSE", "FALSE", {{"<td>Serial</td><td>", "</td>"}}, {}, "OR", {}},
    };
    t.functions = {{"login",
                    {{"/login.cgi", "Content-Type: application/x-www-form-urlencoded\r\n", "POST",
                      "user=<username>&pass=<userpassword>"}}},
                   {"RestoreConfig", {{"/restore.cgi", "", "GET", ""}}}};
    t.uploads = {{"upgradefirmware", "/upgrade.htm", "/upload.cgi", "firmware"}};
    return t;
}

// What a bench modem shows: the model's parameters with these values.
inline std::map<std::string, std::string>
BenchModemValues(const std::string& model, const std::string& version, const std::string& serial = "SN0001") {
    return {{"Model", model}, {"Firmware_Version", version}, {"Serial_Number", serial}};
}

// One group per address (each "ip:mask" with its web ports), every group bound to the model.
struct BenchAddress {
    std::string ip, mask;
    std::vector<int> ports;
};

inline std::string BenchTerminalsFile(const std::vector<BenchAddress>& addresses) {
    FixtureFile file;
    for (const auto& a : addresses)
        file.groups.push_back({a.ip + ":" + a.mask, a.ports, {"admin:admin"}, {BenchModel().id}});
    file.terminals = {BenchModel()};
    return TerminalsFile(file);
}

} // namespace testsupport
