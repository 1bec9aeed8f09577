#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "bench/FakeModem.h"
#include "bench/LoopbackServer.h"
#include "platform/files/ProgramDirectory.h"
#include "templates/TerminalClient.h"
#include "tests/support/TempDir.h"
#include "tests/templates/TemplateFixture.h"

using bench::FakeModem;
using bench::FakeModemConfig;
using bench::ModemLogin;
using namespace testsupport;

namespace {

// GBK labels of the modems' status pages.
const std::string kModelLabel = "<td>\xD0\xCD\xBA\xC5</td><td>";                           // 型号
const std::string kVersionLabel = "<td>\xC8\xED\xBC\xFE\xB0\xE6\xB1\xBE\xA3\xBA</td><td>"; // 软件版本：
const std::string kProductLabel = "\xB2\xFA\xC6\xB7\xD0\xCD\xBA\xC5:";                     // 产品型号:

FixtureFunction FormLogin() {
    return {"login",
            {{"/login.cgi", "Content-Type: application/x-www-form-urlencoded\r\n", "POST",
              "user=<username>&pass=<userpassword>&lang=cn"}}};
}

// A form log-in model with a cookie session: its model name in a table row behind &nbsp;.
FixtureTerminal FormModel(const std::string& id, const std::string& name, const std::string& model) {
    FixtureTerminal t;
    t.id = id;
    t.name = name;
    t.authKind = "WEB";
    t.https = "FALSE";
    t.parameters = {
        {"Model",
         "/status.htm",
         "TRUE",
         "FALSE",
         {{"<table id=\"dev\">", "</table>"}, {kModelLabel, "&nbsp;</td>"}},
         {},
         "AND",
         {{"EQUAL", model, 0}}},
        {"Firmware_Version",
         "/status.htm",
         "FALSE",
         "FALSE",
         {{kVersionLabel, "</td>"}},
         {},
         "OR",
         {{"MORE", "V1.2", 7}, {"INCLUDE", "beta", 9}}},
        {"Lan_Ports",
         "/lan.htm",
         "FALSE",
         "0",
         {{"<table id=\"lan\">", "</table>"}, {"<td class=p>", "</td>"}},
         {},
         "OR",
         {}},
    };
    t.functions = {FormLogin(),
                   {"reboot", {{"/reboot.cgi", "", "POST", "reboot=1"}}},
                   {"RestoreConfig", {{"/restore.cgi?all=<p1>", "", "GET", ""}}}};
    t.uploads = {{"upgradefirmware", "/upgrade.htm", "/upload.cgi", "firmware"}};
    return t;
}

// A form log-in model whose pages carry the session id in their URLs; English page markers.
FixtureTerminal SessionModel() {
    FixtureTerminal t;
    t.id = "20240300000001";
    t.name = "SB-300";
    t.authKind = "WEB";
    t.https = "FALSE";
    t.parameters = {
        {"Model",
         "/info.htm?sid=<sessionid>",
         "TRUE",
         "FALSE",
         {{kProductLabel, "<"}},
         {{"Model:", "<"}},
         "AND",
         {{"EQUAL", "SB-300", 0}}},
        {"Firmware_Version",
         "/info.htm?sid=<sessionid>",
         "FALSE",
         "FALSE",
         {{"\xB0\xE6\xB1\xBE:", "<"}},
         {{"Version:", "<"}},
         "OR",
         {}},
    };
    t.functions = {{"login",
                    {{"/goform/login", "", "POST", "name=<username>&pwd=<userpassword>"},
                     {"/main.htm?sid=<sessionid>", "", "GET", ""}}},
                   {"reboot", {{"/goform/reboot?sid=<sessionid>", "", "GET", ""}}}};
    return t;
}

// A model that wants HTTP authentication, or its twin of the other kind with the same pages.
FixtureTerminal TwinModel(const std::string& id, const std::string& kind) {
    FixtureTerminal t;
    t.id = id;
    t.name = "TWIN-" + kind;
    t.authKind = kind;
    t.https = "FALSE";
    t.parameters = {
        {"Model",
         "/sys.html",
         "TRUE",
         "FALSE",
         {{"Model Name</td><td>", "</td>"}},
         {},
         "AND",
         {{"EQUAL", "T-9", 0}}},
        {"Firmware_Version", "/sys.html", "FALSE", "FALSE", {{"Firmware</td><td>", "</td>"}}, {}, "AND", {}}};
    t.functions = {{"reboot", {{"/reboot.cgi", "", "GET", ""}}}};
    if (kind == "WEB")
        t.functions.insert(t.functions.begin(), FormLogin());
    return t;
}

int ClosedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(fd);
    return ntohs(a.sin_port);
}

// A port that takes connections and closes each after the first line it got (an HTTP request
// line, or nothing for a bare TCP probe): it shows which connections reached it, and when.
class HangUpServer : public bench::LoopbackServer {
public:
    ~HangUpServer() override { Stop(); }

protected:
    void Serve(Connection& connection) override {
        std::string line;
        connection.ReadLine(line, '\n', '\r');
    }
};

const char* const kFormId = "20240100000001";
const char* const kOtherFormId = "20240100000002";
const char* const kWebTwinId = "20240200000001";
const char* const kBrwTwinId = "20240200000002";

// Fake modems on loopback addresses and the Terminals.dat that names them, beside the program.
class TerminalClientBench : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
            ::unsetenv(name);
        dir = new TempDir("terminal-client");
        terminals = {FormModel(kFormId, "FA-100", "FA-100"), FormModel(kOtherFormId, "FO-200", "FO-200"),
                     SessionModel(), TwinModel(kWebTwinId, "WEB"), TwinModel(kBrwTwinId, "BRW")};
        FixtureFile models;
        models.terminals = terminals;
        WriteFileBytes(*dir / "models.dat", TerminalsFile(models));
        models_ = new TemplateStore;
        ASSERT_EQ(models_->Load((*dir / "models.dat").string().c_str()), 1);

        auto start = [](const char* id, FakeModemConfig config, const char* address) {
            TerminalRecord* record = nullptr;
            models_->FindTerminalById(id, &record);
            auto modem = std::make_unique<FakeModem>(*record, std::move(config));
            modem->Start(address);
            return modem;
        };
        const std::map<std::string, std::string> fa = {
            {"Model", "FA-100"}, {"Firmware_Version", "V1.2.3"}, {"Lan_Ports", "LAN1;LAN2;LAN3;LAN4"}};
        formModem = start(kFormId, {ModemLogin::FormCookie, "admin", "adm 1&x", fa}, "127.0.0.1");
        brwModem =
            start(kBrwTwinId,
                  {ModemLogin::Digest, "root", "secret", {{"Model", "T-9"}, {"Firmware_Version", "9.9"}}},
                  "127.0.0.2");
        webTwinModem =
            start(kWebTwinId, {ModemLogin::FormCookie, "admin", "admin", {{"Model", "T-9"}}}, "127.0.0.3");
        auto other = fa;
        other["Model"] = "ZZ-1";
        strangerModem = start(kFormId, {ModemLogin::FormCookie, "admin", "admin", other}, "127.0.0.4");
        behindModem = start(kFormId, {ModemLogin::FormCookie, "admin", "admin", fa}, "127.0.0.4");
        FakeModemConfig session{ModemLogin::FormSessionId,
                                "admin",
                                "admin",
                                {{"Model", "SB-300"}, {"Firmware_Version", "2.0.1"}}};
        session.english = true;
        sessionModem = start("20240300000001", session, "127.0.0.6");
        auto v1 = fa, v2 = fa;
        v1["Firmware_Version"] = "V1.0";
        v2["Firmware_Version"] = "V2.0beta";
        oldModem = start(kFormId, {ModemLogin::FormCookie, "admin", "admin", v1}, "127.0.0.7");
        newModem = start(kFormId, {ModemLogin::FormCookie, "admin", "admin", v2}, "127.0.0.8");
        closedPort = ClosedPort();
        hangUp = std::make_unique<HangUpServer>();
        ASSERT_TRUE(hangUp->Start());

        FixtureFile file;
        file.terminals = terminals;
        file.groups = {
            {"127.0.0.1:255.0.0.0",
             {closedPort, hangUp->GetTcpPort(), formModem->Port()},
             {"brw:admin:adm 1&x", "admin:wrong", " WEB :admin:adm 1&x"},
             {kOtherFormId, "20240300000001", kFormId}},
            {"127.0.0.2:255.0.0.0",
             {brwModem->Port()},
             {"web:root:secret", "root:wrong", "BRW:root:secret"},
             {kWebTwinId, kBrwTwinId}},
            {"127.0.0.3:255.0.0.0", {webTwinModem->Port()}, {"admin:admin"}, {kBrwTwinId, kWebTwinId}},
            {"127.0.0.4:255.0.0.0", {strangerModem->Port(), behindModem->Port()}, {"admin:admin"}, {kFormId}},
            {"127.0.0.5:255.0.0.0", {closedPort}, {"admin:admin"}, {kFormId}},
            {"127.0.0.6:255.0.0.0", {sessionModem->Port()}, {"admin:admin"}, {kFormId, "20240300000001"}},
            {"127.0.0.7:255.0.0.0", {oldModem->Port()}, {"admin:admin"}, {kFormId}},
            {"127.0.0.8:255.0.0.0", {newModem->Port()}, {"admin:admin"}, {kFormId}},
        };
        WriteFileBytes(*dir / "Terminals.dat", TerminalsFile(file));
        platform::SetProgramDirectory(dir->str().c_str());
    }

    static void TearDownTestSuite() {
        for (auto* m : {&formModem, &brwModem, &webTwinModem, &strangerModem, &behindModem, &sessionModem,
                        &oldModem, &newModem})
            m->reset();
        hangUp.reset();
        delete models_;
        delete dir;
    }

    static inline TempDir* dir = nullptr;
    static inline std::vector<FixtureTerminal> terminals;
    static inline TemplateStore* models_ = nullptr;
    static inline std::unique_ptr<FakeModem> formModem, brwModem, webTwinModem, strangerModem, behindModem,
        sessionModem, oldModem, newModem;
    static inline int closedPort = 0;
    static inline std::unique_ptr<HangUpServer> hangUp;
};

TEST(TerminalClient, ParseAccountByProbeResult) {
    struct Case {
        const char* entry;
        int probe;
        int ok;
        const char* user;
        const char* password;
    };
    const Case cases[] = {
        {"admin:1234", 0, 1, "admin", "1234"},
        {"admin:1234", 1, 1, "admin", "1234"},
        {"admin:", 1, 1, "admin", ""},
        {"web:admin:1234", 1, 1, "admin", "1234"},
        {" WEB :admin:1234", 1, 1, "admin", "1234"},
        {"Web:admin:1234", 0, 0, "", ""},
        {"brw:root:pw", 1, 0, "", ""},
        {"BrW:root:pw", 0, 1, "root", "pw"},
        {"brw:root:pw", 2, 1, "root", "pw"},
        {"any:root:pw", 2, 1, "root", "pw"},
        // Two colons always mean a kind word, so a password with a colon needs one.
        {"admin:pa:ss", 0, 0, "", ""},
        {"admin:pa:ss", 1, 0, "", ""},
        {"web:admin:pa:ss", 1, 1, "admin", "pa:ss"},
        {"web::", 1, 1, "", ""},
        {"nocolon", 2, 0, "", ""},
        {"", 2, 0, "", ""},
    };
    for (const Case& c : cases) {
        CString user = "", password = "";
        EXPECT_EQ(TerminalClient::ParseAccount(c.entry, c.probe, user, password), c.ok)
            << c.entry << " " << c.probe;
        if (c.ok) {
            EXPECT_EQ(user, c.user) << c.entry;
            EXPECT_EQ(password, c.password) << c.entry;
        }
    }
}

TEST_F(TerminalClientBench, FilterOpenPortsAndPortOrderByFlag) {
    TerminalClient client;
    CStringArray ports, open;
    ports.Add(std::to_string(closedPort).c_str());
    ports.Add(std::to_string(formModem->Port()).c_str());
    ports.Add("0");
    ports.Add("70000");
    open.Add("stale");
    client.FilterOpenPorts("127.0.0.1", ports, open);
    ASSERT_EQ(open.GetSize(), 1);
    EXPECT_EQ(open[0], std::to_string(formModem->Port()).c_str());
    EXPECT_EQ(client.ProbeTcpPort("127.0.0.1", closedPort), 0);
    EXPECT_EQ(client.ProbeTcpPort("not an address", formModem->Port()), 0);

    // The group's ports are the closed one, the one that hangs up, then the modem. Flag 0: each
    // is probed by TCP, the closed one is dropped, and HTTP goes to the others in order. Flag 1:
    // no probe, HTTP goes to each in order. The port that hangs up sees its connections only
    // because it comes before the modem: the first port that answers HTTP ends the trial.
    struct Case {
        int flag;
        std::vector<std::string> hangUpSaw; // request line of each connection, "" for a probe
    } cases[] = {{0, {"", "GET / HTTP/1.1"}}, {1, {"GET / HTTP/1.1"}}};
    for (const Case& c : cases) {
        const size_t before = hangUp->Received().size();
        ASSERT_EQ(client.IdentifyTerminal("127.0.0.1", "", c.flag), 1) << c.flag;
        EXPECT_EQ(client.GetPort(), formModem->Port());
        EXPECT_EQ(client.GetProbeResult(), TerminalClient::ProbePage);
        EXPECT_EQ(client.GetTerminalName(), "FA-100");
        ASSERT_TRUE(hangUp->WaitForServed(static_cast<int>(before + c.hangUpSaw.size())));
        const std::vector<std::string> received = hangUp->Received();
        std::vector<std::string> saw;
        for (size_t i = before; i < received.size(); ++i)
            saw.push_back(received[i].substr(0, received[i].find('\r')));
        EXPECT_EQ(saw, c.hangUpSaw) << "flag " << c.flag;
    }
    // Only a closed port: nothing to identify, with either flag.
    EXPECT_EQ(client.IdentifyTerminal("127.0.0.5", "", 0), 0);
    EXPECT_EQ(client.IdentifyTerminal("127.0.0.5", "", 1), 0);
    EXPECT_EQ(client.GetTerminalName(), "");
    // No group at all.
    EXPECT_EQ(client.FindDevice("127.0.0.99"), 0);
}

TEST_F(TerminalClientBench, FormModemIdentifiedAndReadWithoutRegardToCase) {
    TerminalClient client;
    int logins = formModem->Logins();
    int status = formModem->PageRequests("/status.htm"), lan = formModem->PageRequests("/lan.htm");
    ASSERT_EQ(client.FindDevice("127.0.0.1"), 1);
    // Each page once: the status page for the model, the LAN page for the rest.
    EXPECT_EQ(formModem->PageRequests("/status.htm"), status + 1);
    EXPECT_EQ(formModem->PageRequests("/lan.htm"), lan + 1);
    // The brw entry is refused on a page server, "admin:wrong" fails, the kind word in
    // another case and with blanks is accepted; the other models' log-ins fail first.
    EXPECT_EQ(client.GetAccount(), " WEB :admin:adm 1&x");
    EXPECT_EQ(formModem->Logins(), logins + 1);
    EXPECT_GE(formModem->FailedLogins(), 1);
    EXPECT_EQ(client.GetParameterValue("firmware_version"), "V1.2.3");
    EXPECT_EQ(client.GetParameterValue("MODEL"), "FA-100");
    EXPECT_EQ(client.GetParameterValue("Lan_Ports"), "LAN1;LAN2;LAN3;LAN4");
    EXPECT_EQ(client.GetParameterValue("nothing"), "");
    EXPECT_EQ(client.GetParameterEncode("FIRMWARE_VERSION"), 7);
    EXPECT_EQ(client.CheckParameterRules("Firmware_Version"), 1);
    EXPECT_EQ(client.GetParameterEncode("nothing"), 0);
    EXPECT_EQ(client.CheckParameterRules("nothing"), 0);
    CStringArray names;
    ASSERT_EQ(client.GetParameterNames(names), 1);
    EXPECT_EQ(names.GetSize(), 3);
    EXPECT_EQ(names[0], "Model");
    client.GetFunctionNames(names);
    ASSERT_EQ(names.GetSize(), 3);
    EXPECT_EQ(names[2], "RestoreConfig");
    client.GetUploadFunctionNames(names);
    ASSERT_EQ(names.GetSize(), 1);
    EXPECT_EQ(names[0], "upgradefirmware");
}

TEST_F(TerminalClientBench, AuthenticationModemOnlyAmongItsKind) {
    TerminalClient client;
    ASSERT_EQ(client.FindDevice("127.0.0.2"), 1);
    EXPECT_EQ(client.GetProbeResult(), TerminalClient::ProbeAuthentication);
    EXPECT_EQ(client.GetTerminalName(), "TWIN-BRW");
    EXPECT_EQ(client.GetAccount(), "BRW:root:secret");
    EXPECT_EQ(client.GetParameterValue("Firmware_Version"), "9.9");
    CStringArray none;
    EXPECT_EQ(client.RunFunction("reboot", none), 1);
    EXPECT_EQ(brwModem->FunctionCalls().back(), "GET /reboot.cgi");

    ASSERT_EQ(client.FindDevice("127.0.0.3"), 1);
    EXPECT_EQ(client.GetProbeResult(), TerminalClient::ProbePage);
    EXPECT_EQ(client.GetTerminalName(), "TWIN-WEB");
}

TEST_F(TerminalClientBench, FirstHttpPortThatMatchesNothingEndsIt) {
    TerminalClient client;
    EXPECT_EQ(client.FindDevice("127.0.0.4"), 0);
    EXPECT_GE(strangerModem->PageRequests("/status.htm"), 1);
    EXPECT_EQ(behindModem->Server().RequestCount(), 0u);
    EXPECT_EQ(client.GetTerminalName(), "");
    EXPECT_EQ(client.GetParameterValue("Model"), "");
    CStringArray names, untouched;
    untouched.Add("kept");
    names = untouched;
    EXPECT_EQ(client.GetParameterNames(names), 0);
    client.GetFunctionNames(names);
    client.GetUploadFunctionNames(names);
    EXPECT_EQ(names, untouched);
    EXPECT_EQ(client.RunFunction("reboot", CStringArray()), 0);
}

TEST_F(TerminalClientBench, SessionIdInUrlsAndEnglishPages) {
    TerminalClient client;
    ASSERT_EQ(client.FindDevice("127.0.0.6"), 1);
    EXPECT_EQ(client.GetTerminalName(), "SB-300");
    EXPECT_EQ(client.GetParameterValue("Firmware_Version"), "2.0.1");
    EXPECT_EQ(client.RunFunction("reboot", CStringArray()), 1);
    auto calls = sessionModem->FunctionCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().rfind("GET /goform/reboot?sid=", 0), 0u) << calls.back();
}

TEST_F(TerminalClientBench, FunctionsNeedIdentificationAndFormModemsLogInAgain) {
    TerminalClient client;
    CStringArray args;
    args.Add("1");
    EXPECT_EQ(client.RunFunction("reboot", args), 0);
    EXPECT_EQ(client.RunUploadFunction("upgradefirmware", "/nonexistent"), 0);

    ASSERT_EQ(client.FindDevice("127.0.0.1"), 1);
    std::string firmware(100000, '\x5a');
    WriteFileBytes(*dir / "fw.bin", firmware);
    int logins = formModem->Logins();
    size_t uploads = formModem->Uploads().size();
    ASSERT_EQ(client.RunUploadFunction("upgradefirmware", (*dir / "fw.bin").string().c_str()), 1);
    EXPECT_EQ(formModem->Logins(), logins + 1);
    ASSERT_EQ(formModem->Uploads().size(), uploads + 1);
    EXPECT_GT(formModem->Uploads().back(), firmware.size());

    ASSERT_EQ(client.RunFunction("RestoreConfig", args), 1);
    EXPECT_EQ(formModem->Logins(), logins + 2);
    EXPECT_EQ(formModem->FunctionCalls().back(), "GET /restore.cgi?all=1");
    EXPECT_EQ(client.RunFunction("missing", args), 0);
    EXPECT_EQ(client.RunUploadFunction("missing", (*dir / "fw.bin").string().c_str()), 0);
}

TEST_F(TerminalClientBench, ValuesStayWithTheirClient) {
    // Two jobs recognise two modems of the same model at the same time.
    TerminalClient oldClient, newClient;
    int oldResult = 0, newResult = 0;
    std::thread a([&] { oldResult = oldClient.FindDevice("127.0.0.7"); });
    std::thread b([&] { newResult = newClient.FindDevice("127.0.0.8"); });
    a.join();
    b.join();
    ASSERT_EQ(oldResult, 1);
    ASSERT_EQ(newResult, 1);
    EXPECT_EQ(oldClient.GetMatchedTerminal(), newClient.GetMatchedTerminal());
    EXPECT_EQ(oldClient.GetParameterValue("Firmware_Version"), "V1.0");
    EXPECT_EQ(newClient.GetParameterValue("Firmware_Version"), "V2.0beta");
    EXPECT_EQ(oldClient.CheckParameterRules("Firmware_Version"), 0);
    EXPECT_EQ(oldClient.GetParameterEncode("Firmware_Version"), 0);
    EXPECT_EQ(newClient.CheckParameterRules("Firmware_Version"), 1);
    EXPECT_EQ(newClient.GetParameterEncode("Firmware_Version"), 7);
}

TEST_F(TerminalClientBench, AStoreChangedSinceTheMatchLeavesNoMatchUntilIdentifiedAgain) {
    const CString file((*dir / "Terminals.dat").string().c_str());
    TemplateStore store;
    TerminalClient client(&store);
    for (auto change : {+[](TemplateStore& s) { s.Reset(); }, +[](TemplateStore& s) { s.Clear(); }}) {
        ASSERT_EQ(client.IdentifyTerminal("127.0.0.1", file, 0), 1);
        ASSERT_EQ(client.GetTerminalName(), "FA-100");
        change(store);
        // A reload that fails after the reset: the records are gone for good.
        EXPECT_EQ(store.Load((*dir / "missing.dat").string().c_str()), store.IsLoaded());
        EXPECT_EQ(client.GetTerminalName(), "");
        EXPECT_EQ(client.GetMatchedTerminal(), nullptr);
        EXPECT_EQ(client.GetParameterValue("Model"), "");
        EXPECT_EQ(client.CheckParameterRules("Firmware_Version"), 0);
        CStringArray names;
        EXPECT_EQ(client.GetParameterNames(names), 0);
        EXPECT_EQ(client.RunFunction("reboot", CStringArray()), 0);
        // Loaded again, the old match still does not come back by itself.
        store.Reset();
        ASSERT_EQ(store.Load(file), 1);
        EXPECT_EQ(client.GetTerminalName(), "");
        ASSERT_EQ(client.FindDevice("127.0.0.1"), 1);
        EXPECT_EQ(client.GetTerminalName(), "FA-100");
        EXPECT_EQ(client.GetParameterValue("Model"), "FA-100");
    }
}

TEST_F(TerminalClientBench, LoadTemplatesRereadsAGivenPath) {
    TemplateStore store;
    TerminalClient client(&store);
    EXPECT_EQ(client.IdentifyTerminal("127.0.0.1", (*dir / "missing.dat").string().c_str(), 0), 0);
    ASSERT_EQ(client.IdentifyTerminal("127.0.0.1", (*dir / "Terminals.dat").string().c_str(), 0), 1);
    // The models file has the same terminals but no groups.
    EXPECT_EQ(client.LoadTemplates((*dir / "models.dat").string().c_str()), 1);
    EXPECT_EQ(client.GetTerminalName(), "");
    EXPECT_EQ(client.IdentifyTerminal("127.0.0.1", "", 0), 0);
}
} // namespace
