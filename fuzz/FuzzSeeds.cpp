// Writes the seed corpus of every driver from the test fixtures and the bench's builders:
//   FuzzSeeds <corpus dir>  ->  <dir>/<Driver>_fuzz/*

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "bench/FakeDslam.h"
#include "bench/FakeModem.h"
#include "bench/FakeSwitchConsole.h"
#include "fuzz/FuzzParts.h"
#include "platform/files/Profile.h"
#include "templates/MultipartUploader.h"
#include "templates/TemplateStore.h"
#include "tests/templates/TemplateFixture.h"

namespace fs = std::filesystem;
using namespace testsupport;

static void Seed(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

// Pages as the fake modems serve them, with the locators and rules of their templates.
static void PageSeeds(const fs::path& corpus, const fs::path& scratch) {
    std::ofstream(scratch / "Terminals.dat", std::ios::binary) << TerminalsFile(RichFixture());
    TemplateStore store;
    if (!store.Load(CString((scratch / "Terminals.dat").string())))
        return;
    int n = 0;
    for (const auto& terminal : store.Terminals()) {
        std::map<std::string, std::string> values;
        for (const auto& parameter : terminal->parameters)
            values[parameter->name.str()] = "V1.2.3";
        for (const auto& parameter : terminal->parameters) {
            for (bool english : {false, true}) {
                std::string page =
                    bench::FakeModem::RenderPage(*terminal, parameter->page.str(), values, english);
                std::vector<std::string> parts = {
                    parameter->arraySpec.str(),
                    parameter->rules.empty() ? "EQUAL" : parameter->rules[0].op.str(),
                    parameter->rules.empty() ? "" : parameter->rules[0].setValue.str()};
                for (const LocatorRecord& l :
                     english ? parameter->englishLocators : parameter->localLocators) {
                    parts.push_back(l.head.str());
                    parts.push_back(l.tail.str());
                }
                parts.push_back(page);
                Seed(corpus / "PageRules_fuzz", "page" + std::to_string(n++), JoinFuzzParts(parts));
            }
        }
    }
}

static void ConsoleSeeds(const fs::path& corpus) {
    using bench::FakeSwitchConsole;
    FakeSwitchConsole::PortFields fields{"disabled", "up", 305};
    const std::string reply = "show port 5\r\n" + FakeSwitchConsole::ShowReplyHead(5, fields) +
                              FakeSwitchConsole::ShowReplyTail(fields) + FakeSwitchConsole::kConfigPrompt;
    Seed(corpus / "ShowPortReply_fuzz", "reply", reply);
    const std::vector<std::string> dialogue = {
        "\r\nHalvet Boot Loader 2.1\r\nPress any key to stop auto-boot...  3\r\n",
        "\r\n[Halvet Boot]: ",
        "\r\nPlease Press RETURN to Start!\r\n",
        "\r\n\r\nlogin:",
        "\r\npassword:",
        FakeSwitchConsole::kPrompt,
        "enable\r\npassword:",
        FakeSwitchConsole::kConfigPrompt,
        "show port 5\r\n" + FakeSwitchConsole::ShowReplyHead(5, fields),
        "\r\n%Trap: Port : 7 linkup\r\n",
        FakeSwitchConsole::ShowReplyTail(fields) + FakeSwitchConsole::kPager,
        "set port 3 disable\r\n" + std::string(FakeSwitchConsole::kConfigPrompt),
        "\r\n%Trap: Port : 3 linkdown\r\n\r\nHost Topology changed\r\n",
    };
    Seed(corpus / "ConsoleStream_fuzz", "dialogue", JoinFuzzParts(dialogue));
}

static void DslamSeeds(const fs::path& corpus) {
    bench::FakeDslam alder("Alder", "admin", "admin");
    alder.SetRow(1, 5, "1/5  ADSL2+  up  4064  512");
    Seed(corpus / "DslamReply_fuzz", "up", alder.Body(1, 5));
    alder.SetPaging(30, 20);
    Seed(corpus / "DslamReply_fuzz", "paged", alder.Body(2, 7) + bench::FakeDslam::kPager);
}

static void IniSeeds(const fs::path& corpus, const fs::path& scratch) {
    // The keys the program saves, written by the same profile calls.
    const CString ini((scratch / "Config.ini").string());
    const char* const keys[][3] = {
        {"System", "Version", "3.1"},
        {"System", "Logger", "2"},
        {"Dslam", "Model", "Torvex Birch"},
        {"Dslam", "Ip", "172.16.0.1"},
        {"Dslam", "Login.Password", "\xC3\xDC"},
        {"Dslam", "ConnectMode", "TCPIP"},
        {"Modem", "AutoUpgradeFirmware", " True "},
        {"WLan", "PingTestPeriod", "300000"},
        {"Switch", "PortCount", "48"},
        {"Switch", "TrunkPortNo", "48"},
        {"Switch", "ConnectMode", "Serial"},
        {"Switch", "SerialDevice", "/dev/ttyUSB0"},
    };
    for (const auto& k : keys)
        platform::WriteProfileString(ini, k[0], k[1], k[2]);
    std::ifstream in(ini.str(), std::ios::binary);
    Seed(corpus / "ConfigIni_fuzz", "config.ini", std::string(std::istreambuf_iterator<char>(in), {}));
}

static void HttpSeeds(const fs::path& corpus) {
    Seed(corpus / "HttpHeaders_fuzz", "session",
         "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nSet-Cookie: SessionID=AbC123 ; path=/\r\n"
         "Content-Length: 10\r\n\r\n");
    Seed(corpus / "HttpHeaders_fuzz", "sid", "HTTP/1.1 302 Found\r\nSet-Cookie: sid=77; path=/\r\n\r\n");
    Seed(corpus / "HttpMessageReader_fuzz", "requests",
         std::string("\x00\x05") + "POST /a?x=1 HTTP/1.1\r\nHost: h\r\nContent-Length: 3\r\n\r\nabc" +
             "PUT /b HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3;e=1\r\nabc\r\n0\r\nT: 1\r\n\r\n");
    Seed(corpus / "HttpMessageReader_fuzz", "chunked-answer",
         std::string("\x01\x07") +
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n");
    Seed(corpus / "HttpMessageReader_fuzz", "answer-to-close",
         std::string("\x01\x40") + "HTTP/1.0 200\r\n\r\nbody");
    Seed(corpus / "Encoders_fuzz", "form",
         JoinFuzzParts(
             {"user=a b&&pass=p%3Da+s%41&x", "C:\\\\fw\\\\image.bin", std::string("\x00\x01firmware", 10)}));
    Seed(corpus / "Encoders_fuzz", "gbk",
         JoinFuzzParts({"\xB9\xDC\xC0\xED\xD4\xB1=%%41%", "/tmp/a b.bin", ""}));
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
        return 2;
    }
    fs::path corpus = argv[1];
    FixtureFile rich = RichFixture();
    fs::path load = corpus / "TemplateLoad_fuzz";
    Seed(load, "rich.dat", TerminalsFile(rich));
    Seed(load, "empty.dat", TerminalsFile(FixtureFile()));
    Seed(load, "generated.dat", TerminalsFile(GeneratedFixture(3)));
    fs::path import = corpus / "TemplateImport_fuzz";
    for (size_t i = 0; i < rich.terminals.size(); ++i)
        Seed(import, "terminal" + std::to_string(i) + ".tpl", DeviceFile(rich.terminals[i]));

    const fs::path scratch = corpus / ".scratch";
    fs::create_directories(scratch);
    PageSeeds(corpus, scratch);
    ConsoleSeeds(corpus);
    DslamSeeds(corpus);
    IniSeeds(corpus, scratch);
    HttpSeeds(corpus);
    fs::remove_all(scratch);
    return 0;
}
