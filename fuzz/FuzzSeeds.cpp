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
#include "platform/wifi/WideText.h"
#include "platform/wifi/WlanProfile.h"
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

// Status pages as modems write them, each with the version a technician would select.
static void LocatorSeeds(const fs::path& corpus) {
    const std::string head =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\n"
        "<title>状态信息</title></head><body>\n";
    const std::vector<std::pair<std::string, std::string>> pages = {
        {"<table class=\"status\">\r\n<tr><td>设备型号</td><td>DSL-100</td></tr>\r\n<tr><td>软件版本</td>\r\n"
         "    <td>V1.2.3</td></tr>\r\n</table>\r\n",
         "V1.2.3"},
        {"<table><tr><td>软件版本</td><td>\n<table><tr><td>V2.0.3</td></tr></table>\n</td></tr></table>\n",
         "V2.0.3"},
        {"<table><tr><td>软件版本</td><td>&nbsp;V1.2.3&nbsp;Build&nbsp;5</td></tr></table>\n",
         "V1.2.3 Build 5"},
        {"<table><tr><td>软件版本</td><td>R&amp;D&lt;1.0&gt;</td></tr></table>\n", "R&D<1.0>"},
        {"<script language=\"javascript\">\nvar model = \"DSL-100\";\nvar swver = \"V3.1.0\";\n"
         "document.write(swver);\n</script>\n",
         "V3.1.0"},
        {u8"<table><tr><td>固件版本</td><td>固件三号版</td></tr></table>\n", u8"固件三号版"},
        {"<table><tr><td>软件版本</td></tr><tr>V9</tr></table>\n", "V9"},
    };
    int n = 0;
    for (const auto& [body, version] : pages)
        Seed(corpus / "LocatorAnalyse_fuzz", "page" + std::to_string(n++),
             JoinFuzzParts({head + body + "</body></html>\n", version}));
    const std::vector<std::pair<std::string, std::string>> patterns = {
        {"{\\d+}\\.(\\d+)", "v1.22"}, {"V\\d*\\.", "V2.0.3"},
        {"\\q", "x=\"ab\"y"},         {"a\\nb", "a\r\nb"},
        {"[^0-9]+", "12ab3"},         {"版本\\d", "软件版本3"},
        {"\\h+\\b\\w", "BEEF\tx"},    {"!a", "b"},
    };
    n = 0;
    for (const auto& [pattern, text] : patterns)
        Seed(corpus / "PatternMatch_fuzz", "pattern" + std::to_string(n++), JoinFuzzParts({pattern, text}));
    Seed(corpus / "SelectionResult_fuzz", "frames",
         "%20 GBK http%3A%2F%2F192.168.1.1%2Ftop.htm\n"
         "%C2%A0V1.0%20%E8%BD%AF%E4%BB%B6 gb2312 http%3A%2F%2F192.168.1.1%2Fs.htm%3Fa%3D1%25\n");
    Seed(corpus / "SelectionResult_fuzz", "utf8", "%E5%9B%BA%E4%BB%B6 UTF-8 http%3A%2F%2F192.168.1.1%2F\n");
}

// Profiles as the library writes them, and the supplicant's replies and events.
static void WifiSeeds(const fs::path& corpus) {
    platform::WlanProfile open;
    open.name = "port1";
    open.ssid = "port1";
    platform::WlanProfile wpa = open;
    wpa.name = u8"测试";
    wpa.ssid = "\xb2\xe2\xca\xd4";
    wpa.authentication = "WPA2PSK";
    wpa.encryption = "AES";
    wpa.keyType = "passPhrase";
    wpa.keyMaterial = "secret12";
    platform::WlanProfile wep = open;
    wep.autoConnect = false;
    wep.authentication = "shared";
    wep.encryption = "WEP";
    wep.keyType = "networkKey";
    wep.keyMaterial = "12345";
    wep.keyIndex = 1;
    int n = 0;
    for (const platform::WlanProfile& profile : {open, wpa, wep})
        Seed(corpus / "WlanProfile_fuzz", "profile" + std::to_string(n++),
             platform::Utf16ToUtf8(platform::BuildWlanProfileXml(profile)));
    const std::vector<std::string> replies = {
        std::string(1, 0) + "bssid=02:00:00:00:00:01\nssid=a=b\nwpa_state=COMPLETED\n",
        std::string(1, 1) +
            "network id / ssid / bssid / flags\n0\tlab\tany\t[CURRENT]\n1\t\\xb2\\xe2\tany\t[DISABLED]\n"
            "3\tcut\tany\t[DISA",
        std::string(1, 2) +
            "id=0\nbssid=02:00:00:00:00:01\nfreq=2412\nlevel=-40\nflags=[WPA2-PSK-CCMP][ESS]\nssid=lab\n"
            "====\nid=3\nbssid=02:00:00:00:00:02\nfreq=2437\nlevel=-71\nflags=[ESS]\nssid=a\\\"b\\\\c\n####"
            "\n",
        std::string(1, 3) + "\"lab\"",
        std::string(1, 3) + "6c6162",
        std::string(1, 4) +
            "<3>CTRL-EVENT-SSID-TEMP-DISABLED id=0 ssid=\"lab\" auth_failures=1 duration=10 reason=WRONG_KEY",
        std::string(1, 4) + "<4>CTRL-EVENT-DISCONNECTED bssid=02:00:00:00:00:01 reason=3\n",
        std::string(1, 5) + "\\xb2\\xe2\\t\\e\\\\\\\"",
    };
    n = 0;
    for (const std::string& reply : replies)
        Seed(corpus / "WpaText_fuzz", "reply" + std::to_string(n++), reply);
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
    LocatorSeeds(corpus);
    WifiSeeds(corpus);
    fs::remove_all(scratch);
    return 0;
}
