#pragma once
// The template test dialog's fixtures: one template a fake modem serves (a form log-in, two
// parameters with a rule code, a function that takes a parameter, an upload), the modem made
// from it, and a sink that records what the dialog would show.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/FakeModem.h"
#include "platform/text/CString.h"
#include "stavrintool/diag/TemplateTestModel.h"
#include "templates/TemplateStore.h"
#include "tests/support/TempDir.h"
#include "tests/templates/TemplateFixture.h"

namespace testsupport {

inline constexpr const char* kDiagId = "20240500000001";
inline const std::string kDiagName = "\xD5\xEF\xB6\xCF-1"; // 诊断-1 in GBK

inline FixtureTerminal DiagTerminal(const std::string& model = "D-1") {
    FixtureTerminal t;
    t.id = kDiagId;
    t.name = kDiagName;
    t.authKind = "WEB";
    t.https = "FALSE";
    t.parameters = {
        {"Model", "/status.htm", "TRUE", "FALSE", {{"<b>", "</b>"}}, {}, "AND", {{"EQUAL", model, 0}}},
        {"Firmware_Version",
         "/status.htm",
         "FALSE",
         "FALSE",
         {{"ver=", ";"}},
         {},
         "OR",
         {{"INCLUDE", "2.", 7}, {"MORE", "V9", 9}}},
    };
    t.functions = {{"login",
                    {{"/login.cgi", "Content-Type: application/x-www-form-urlencoded\r\n", "POST",
                      "user=<username>&pass=<userpassword>"}}},
                   {"reboot", {{"/reboot.cgi", "", "POST", "reboot=1"}}},
                   {"RestoreConfig", {{"/restore.cgi?all=<p1>&keep=<p2>", "", "GET", ""}}}};
    t.uploads = {{"upgradefirmware", "/upgrade.htm", "/upload.cgi", "firmware"}};
    return t;
}

inline std::vector<std::string> Texts(const std::vector<CString>& items) {
    std::vector<std::string> out;
    for (const CString& item : items)
        out.push_back(item.str());
    return out;
}

// What the window would show: the output lines in order, the boxes' text ids in order.
class RecordingDiagSink : public TemplateTestSink {
public:
    void AddLine(const CString& line) override { lines.push_back(line.str()); }
    void ClearLines() override { lines.clear(); }
    void ShowMessage(unsigned stringId) override { boxes.push_back(stringId); }
    std::vector<std::string> lines;
    std::vector<unsigned> boxes;
};

// Starts the job as the button would and takes its result back as the window would.
inline bool RunJob(TemplateTestModel& model, bool (TemplateTestModel::*start)()) {
    if (!(model.*start)())
        return false;
    model.WaitForJob();
    model.Deliver();
    return true;
}

// A fake modem of the diag template (the given model name on its pages) and the record it
// was drawn from.
struct DiagModem {
    explicit DiagModem(const std::string& modelShown = "D-1") {
        FixtureFile file;
        file.terminals = {DiagTerminal()};
        WriteFileBytes(dir / "model.dat", TerminalsFile(file));
        store.Load((dir / "model.dat").string().c_str());
        modem = std::make_unique<bench::FakeModem>(
            *store.Terminals()[0],
            bench::FakeModemConfig{bench::ModemLogin::FormCookie,
                                   "admin",
                                   "admin",
                                   {{"Model", modelShown}, {"Firmware_Version", "V2.0"}}});
    }
    TempDir dir{"diag-modem"};
    TemplateStore store;
    std::unique_ptr<bench::FakeModem> modem;
};

// The saved file of a program directory: one group "address:mask" with the modem's port and
// account, bound to the diag template.
inline void WriteDiagTerminals(const std::filesystem::path& file, const std::string& group, int port) {
    FixtureFile saved;
    saved.terminals = {DiagTerminal()};
    saved.groups = {{group, {port}, {"admin:admin"}, {kDiagId}}};
    WriteFileBytes(file, TerminalsFile(saved));
}

// The lines of one identification of the diag modem.
inline std::vector<std::string> DiagLines() {
    return {"",
            "---- " + kDiagName + " ----",
            "",
            " Name:  [Model]",
            " Value:  D-1",
            " Code:  0",
            "",
            " Name:  [Firmware_Version]",
            " Value:  V2.0",
            " Code:  7"};
}

} // namespace testsupport
