#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "bench/FakeWebServer.h"
#include "templates/TemplateConnection.h"
#include "templates/TemplateHttpSession.h"
#include "templates/TemplateRecords.h"
#include "tests/support/TempDir.h"

using bench::FakeWebServer;
using bench::WebAuth;
using bench::WebResponse;

namespace {

struct Step {
    const char* url;
    const char* method;
    const char* postData;
    const char* headers;
};

void AddFunction(TerminalRecord& terminal, const char* name, std::initializer_list<Step> steps) {
    auto f = std::make_unique<FunctionRecord>();
    f->name = name;
    for (const Step& s : steps) {
        f->urls.Add(s.url);
        f->methods.Add(s.method);
        f->postData.Add(s.postData);
        f->headers.Add(s.headers);
    }
    terminal.functions.push_back(std::move(f));
}

class TemplateHttp : public ::testing::Test {
protected:
    void SetUp() override { server.Start(); }

    void Connect(TemplateConnection& c, const char* user = "", const char* password = "") {
        platform::HttpTimeouts t;
        t.connectMs = 2000;
        t.stallSeconds = 1;
        t.uploadAnswerSeconds = 1;
        c.SetTimeouts(t);
        c.Connect("127.0.0.1", server.Port(), user, password);
    }

    std::string HostLine() const { return "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n"; }

    FakeWebServer server;
};

TEST_F(TemplateHttp, WireBytesOfGetPostAndEmptyPost) {
    server.Route("*", "/set.cgi", WebResponse::Ok("done"));
    TemplateConnection c;
    Connect(c);
    // A GET sends none of the step's headers.
    ASSERT_EQ(c.SendTemplateRequest("/set.cgi?a=1", "GET", "", "X-Step: 1\r\nContent-Type: text/plain"), 1);
    // Each template header once; its Content-Length and Host never replace the real ones.
    ASSERT_EQ(c.SendTemplateRequest("/set.cgi", "POST", " wan=pppoe&mtu=1492 ",
                                    "Content-Type: application/x-www-form-urlencoded\r\n"
                                    "Content-Length: 999\nHost: 10.0.0.1\r\n"
                                    "Referer: http://192.168.1.1/wan.html\r\n"
                                    "content-type: text/plain\r\nX-Empty:  \r\n"),
              1);
    ASSERT_EQ(c.SendTemplateRequest("/set.cgi", "POST", "", ""), 1);

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].Raw(), "GET /set.cgi?a=1 HTTP/1.1\r\n" + HostLine() + "\r\n");
    EXPECT_EQ(requests[1].Raw(), "POST /set.cgi HTTP/1.1\r\n" + HostLine() +
                                     "Content-Type: application/x-www-form-urlencoded\r\n"
                                     "Referer: http://192.168.1.1/wan.html\r\n"
                                     "X-Empty:\r\n"
                                     "Content-Length: 18\r\n\r\n"
                                     "wan=pppoe&mtu=1492");
    EXPECT_EQ(requests[2].Raw(), "POST /set.cgi HTTP/1.1\r\n" + HostLine() + "Content-Length: 0\r\n\r\n");
    // One TCP connection carries the steps.
    EXPECT_EQ(requests[0].connection, requests[2].connection);
}

TEST_F(TemplateHttp, ModemIsReachedDirectlyWhateverTheEnvironmentProxy) {
    server.Route("GET", "/", WebResponse::Ok("direct"));
    setenv("http_proxy", "http://127.0.0.1:9", 1);
    setenv("HTTP_PROXY", "http://127.0.0.1:9", 1);
    TemplateConnection c;
    Connect(c);
    EXPECT_EQ(c.SendTemplateRequest("/", "GET", "", ""), 1);
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
    EXPECT_EQ(c.GetResponse(), "direct\r\n");
}

TEST_F(TemplateHttp, LargePostGetsNoExpectAndPathsStayAsGivenButForUnsendableBytes) {
    server.Route("*", "/a/../b/./c.cgi", WebResponse::Ok("ok"));
    TemplateConnection c;
    Connect(c);
    std::string big = "v=" + std::string(300000, 'x');
    ASSERT_EQ(c.SendTemplateRequest("/a/../b/./c.cgi", "POST", big.c_str(), ""), 1);
    // A stored path's blank, control and GBK bytes go as %XX, since no request line can hold
    // them raw; the other odd bytes as written.
    server.Route("GET", "/%D2%B3%20%C3%E6%09.html", WebResponse::Ok("ok"));
    ASSERT_EQ(c.SendTemplateRequest("页 面\t.html?q=a|b<%41>", "GET", "", ""), 1);
    EXPECT_EQ(server.Requests().at(1).target, "/%D2%B3%20%C3%E6%09.html?q=a|b<%41>");
    auto r = server.Requests().at(0);
    EXPECT_EQ(r.target, "/a/../b/./c.cgi");
    EXPECT_FALSE(r.HasHeader("Expect"));
    EXPECT_EQ(r.body, big);
}

TEST_F(TemplateHttp, SessionIdAndCredentialsFillTheUrl) {
    server.Route("GET", "/login.cgi", WebResponse::Ok("in").Header("Set-Cookie", "SessionID=Ab12Cd"));
    server.Route("GET", "/status.cgi", WebResponse::Ok("st"));
    TemplateConnection c;
    Connect(c);
    c.SetCredentials("admin", "1234");
    ASSERT_EQ(c.SendTemplateRequest("/login.cgi", "GET", "", ""), 1);
    EXPECT_EQ(c.GetSessionId(), "ab12cd");
    ASSERT_EQ(
        c.SendTemplateRequest("/status.cgi?sid=<sessionid>&u=<username>&p=<userpassword>", "GET", "", ""), 1);
    EXPECT_EQ(server.Requests().at(1).target, "/status.cgi?sid=ab12cd&u=admin&p=1234");
}

TEST_F(TemplateHttp, SessionIdCapture) {
    struct Case {
        const char* header;
        const char* value;
        const char* sessionId;
    } cases[] = {
        // Blanks go, letters fold, the rest of the line stays.
        {"Set-Cookie", "SessionId=MiXeD77; path=/", "mixed77;path=/"},
        {"X-Token", "a sessionid=Q1", "q1"},
        {"X-Other", "nothing here", "q1"}, // no capture keeps the last one
    };
    TemplateConnection c;
    Connect(c);
    for (const auto& k : cases) {
        server.Route("GET", "/p", WebResponse::Ok("x").Header(k.header, k.value));
        ASSERT_EQ(c.SendTemplateRequest("/p", "GET", "", ""), 1) << k.value;
        EXPECT_EQ(c.GetSessionId(), k.sessionId) << k.value;
    }
}

TEST_F(TemplateHttp, CredentialsArriveAsTheirOwnText) {
    struct Case {
        const char* user;
        const char* password;
        const char* body;
        const char* query;
    } cases[] = {
        // Plain credentials go out exactly as before.
        {"admin", "1234", "user=admin&pass=1234&go=1", "/l.cgi?u=admin&p=1234"},
        {"root", "Admin!23:x", "user=root&pass=Admin%2123%3Ax&go=1", "/l.cgi?u=root&p=Admin!23:x"},
        {"a b", "p=a+s%41&x", "user=a%20b&pass=p%3Da%2Bs%2541%26x&go=1",
         "/l.cgi?u=a%20b&p=p%3Da%2Bs%2541%26x"},
    };
    server.Route("*", "/l.cgi", WebResponse::Ok("ok"));
    for (const auto& k : cases) {
        server.ClearRequests();
        TemplateConnection c;
        Connect(c);
        c.SetCredentials(k.user, k.password);
        ASSERT_EQ(c.SendTemplateRequest("/l.cgi", "POST", "user=<username>&pass=<userpassword>&go=1", ""), 1);
        ASSERT_EQ(c.SendTemplateRequest("/l.cgi?u=<username>&p=<userpassword>", "GET", "", ""), 1);
        auto r = server.Requests();
        ASSERT_EQ(r.size(), 2u);
        EXPECT_EQ(r[0].body, k.body) << k.password;
        EXPECT_EQ(r[1].target, k.query) << k.password;
    }
}

TEST_F(TemplateHttp, FunctionStopsAtFirstStepThatIsNot200) {
    server.Route("GET", "/one.html", WebResponse::Ok("page one\n"));
    server.Route("GET", "/two.html", WebResponse::Status(302, "moved").Header("Location", "/x"));
    server.Route("GET", "/three.html", WebResponse::Ok("page three"));
    server.Route("GET", "/arg.cgi", WebResponse::Ok("arg"));
    TerminalRecord terminal;
    AddFunction(terminal, "reboot",
                {{"/one.html", "GET", "", ""}, {"/two.html", "GET", "", ""}, {"/three.html", "GET", "", ""}});
    AddFunction(terminal, "set", {{"/one.html", "GET", "", ""}, {"/arg.cgi?v=<p1>&w=<p2>", "GET", "", ""}});
    TemplateConnection c;
    Connect(c);
    TemplateHttpSession session;
    session.SetTerminal(&c, &terminal);

    EXPECT_EQ(session.RunTemplateFunction("reboot", {}), 0);
    EXPECT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(c.GetStatusCode(), 302u);
    EXPECT_EQ(session.GetResponseLog(), "\n---- page 0 response ----\npage one\r\n");

    CStringArray args;
    args.Add("a/b c");
    args.Add("1+1");
    EXPECT_EQ(session.RunTemplateFunction("set", args), 1);
    EXPECT_EQ(server.Requests().back().target, "/arg.cgi?v=a%2Fb%20c&w=1%2B1");
    // The log grows across runs.
    EXPECT_EQ(session.GetResponseLog(), "\n---- page 0 response ----\npage one\r\n"
                                        "\n---- page 0 response ----\npage one\r\n"
                                        "\n---- page 1 response ----\narg\r\n");
    EXPECT_EQ(session.RunTemplateFunction("Reboot", {}), 0); // names match exactly
    TemplateHttpSession unset;
    EXPECT_EQ(unset.RunTemplateFunction("reboot", {}), 0);
}

TEST_F(TemplateHttp, BasicAndDigestLogIn) {
    struct Case {
        WebAuth scheme;
        const char* prefix;
    } cases[] = {{WebAuth::Basic, "Basic "}, {WebAuth::Digest, "Digest "}};
    TerminalRecord terminal;
    AddFunction(terminal, "login",
                {{"/index.html", "GET", "", ""}, {"/apply.cgi", "POST", "a=<userpassword>", ""}});
    server.Route("*", "/index.html", WebResponse::Ok("home"));
    server.Route("*", "/apply.cgi", WebResponse::Ok("applied"));
    for (const auto& k : cases) {
        server.RequireAuth("*", k.scheme, "admin", "s3cr&t");
        for (const char* password : {"s3cr&t", "wrong"}) {
            server.ClearRequests();
            TemplateConnection c;
            Connect(c, "admin", password);
            TemplateHttpSession session;
            session.SetTerminal(&c, &terminal);
            bool good = std::string(password) == "s3cr&t";
            EXPECT_EQ(session.TemplateLogin("admin", password), good ? 1 : 0) << k.prefix << password;
            EXPECT_EQ(c.GetStatusCode(), good ? 200u : 401u) << k.prefix << password;
            auto r = server.Requests();
            ASSERT_FALSE(r.empty());
            EXPECT_EQ(r.back().Header("Authorization").rfind(k.prefix, 0), 0u) << k.prefix << password;
            if (good) {
                EXPECT_EQ(r.back().body, "a=s3cr%26t");
                // The headers of the final answer, not of the challenge.
                EXPECT_EQ(c.GetResponseHeaders().Left(15), "HTTP/1.1 200 OK");
            }
        }
    }
}

TEST_F(TemplateHttp, CookiesStayWithTheirConnection) {
    server.Route("POST", "/login.cgi", WebResponse::Ok("in").Header("Set-Cookie", "auth=tok1; Path=/"));
    server.Route("GET", "/next.html", WebResponse::Ok("next"));
    TemplateConnection a, b;
    Connect(a);
    Connect(b);
    ASSERT_EQ(a.SendTemplateRequest("/login.cgi", "POST", "u=1", ""), 1);
    ASSERT_EQ(a.SendTemplateRequest("/next.html", "GET", "", ""), 1);
    ASSERT_EQ(b.SendTemplateRequest("/next.html", "GET", "", ""), 1);
    Connect(a); // a new connection starts with an empty jar
    ASSERT_EQ(a.SendTemplateRequest("/next.html", "GET", "", ""), 1);
    auto r = server.Requests();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[1].Header("Cookie"), "auth=tok1");
    EXPECT_FALSE(r[2].HasHeader("Cookie"));
    EXPECT_FALSE(r[3].HasHeader("Cookie"));

    // A step that carries cookies of its own sends them in the same one Cookie line.
    server.ClearRequests();
    ASSERT_EQ(b.SendTemplateRequest("/login.cgi", "POST", "u=1", ""), 1);
    ASSERT_EQ(b.SendTemplateRequest("/login.cgi", "POST", "u=2", "Cookie: lang=en\r\ncookie: theme=1"), 1);
    ASSERT_EQ(b.SendTemplateRequest("/login.cgi", "POST", "u=3", ""), 1);
    r = server.Requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1].HeaderCount("Cookie"), 1);
    EXPECT_EQ(r[1].Header("Cookie"), "auth=tok1; lang=en; theme=1");
    // They belong to that step only.
    EXPECT_EQ(r[2].Header("Cookie"), "auth=tok1");
}

TEST_F(TemplateHttp, FailedAnswersGiveZero) {
    WebResponse silent;
    silent.silent = true;
    WebResponse dropped;
    dropped.dropConnection = true;
    struct Case {
        const char* what;
        WebResponse answer;
        unsigned status;
    } cases[] = {
        {"not found", WebResponse::Status(404, "no"), 404},
        {"server error", WebResponse::Status(500), 500},
        {"closed without answer", dropped, 0},
        {"silent", silent, 0},
        {"not HTTP", WebResponse::Raw("SSH-2.0-x\r\n"), 0},
        {"200 cut short", WebResponse::Raw("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nshort"), 200},
    };
    for (const auto& k : cases) {
        server.Route("GET", "/p", k.answer);
        TemplateConnection c;
        Connect(c);
        EXPECT_EQ(c.SendTemplateRequest("/p", "GET", "", ""), 0) << k.what;
        EXPECT_EQ(c.GetStatusCode(), k.status) << k.what;
    }
    TemplateConnection closedPort;
    closedPort.SetTimeouts({});
    FakeWebServer gone;
    gone.Start();
    int port = gone.Port();
    gone.Stop();
    closedPort.Connect("127.0.0.1", port, "", "");
    EXPECT_EQ(closedPort.SendTemplateRequest("/", "GET", "", ""), 0);
    EXPECT_EQ(closedPort.GetStatusCode(), 0u);
    TemplateConnection never;
    EXPECT_EQ(never.SendTemplateRequest("/", "GET", "", ""), 0);
}

// A page that trickles in (a byte every 1.5 s, 40 bytes) is given up like a silent one.
TEST_F(TemplateHttp, TricklingPageIsAStall) {
    WebResponse trickle = WebResponse::Ok(std::string(40, 'x'));
    trickle.trickleMs = 1500;
    server.Route("GET", "/slow", trickle);
    TemplateConnection c;
    platform::HttpTimeouts t;
    t.stallSeconds = 3;
    c.SetTimeouts(t);
    c.Connect("127.0.0.1", server.Port(), "", "");
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.SendTemplateRequest("/slow", "GET", "", ""), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(c.GetStatusCode(), 200u);
}

TEST_F(TemplateHttp, AnswerLongerThanTheLimitIsRefused) {
    server.Route("GET", "/big", WebResponse::Ok(std::string(300000, 'x')));
    server.Route("GET", "/fits", WebResponse::Ok(std::string(99999, 'x') + "\n"));
    TemplateConnection c;
    platform::HttpTimeouts t;
    t.maxBodyBytes = 100000;
    c.SetTimeouts(t);
    c.Connect("127.0.0.1", server.Port(), "", "");
    EXPECT_EQ(c.SendTemplateRequest("/big", "GET", "", ""), 0);
    EXPECT_EQ(c.SendTemplateRequest("/fits", "GET", "", ""), 1);
    EXPECT_EQ(c.GetResponse().GetLength(), 100001);
}

TEST_F(TemplateHttp, ServerGoneUnderAKeptConnection) {
    server.Route("GET", "/p", WebResponse::Ok("x"));
    TemplateConnection c;
    Connect(c);
    ASSERT_EQ(c.SendTemplateRequest("/p", "GET", "", ""), 1);
    server.Stop(); // returns although the client still holds its connection
    EXPECT_EQ(c.SendTemplateRequest("/p", "GET", "", ""), 0);
    EXPECT_EQ(c.GetStatusCode(), 0u);
}

TEST_F(TemplateHttp, BodiesAreNormalisedToCrLfLines) {
    WebResponse chunked = WebResponse::Ok("line one\nline two\r\nthree");
    chunked.framing = WebResponse::Framing::Chunked;
    WebResponse toClose = WebResponse::Ok("old\nserver\n");
    toClose.framing = WebResponse::Framing::ReadToClose;
    struct Case {
        const char* what;
        WebResponse answer;
        std::string page;
    } cases[] = {
        {"chunked", chunked, "line one\r\nline two\r\nthree\r\n"},
        {"HTTP/1.0 to close", toClose, "old\r\nserver\r\n"},
        {"zero bytes kept", WebResponse::Ok(std::string("a\0b\n\0", 5)), std::string("a\0b\r\n\0\r\n", 8)},
        {"empty", WebResponse::Ok(""), ""},
        {"blank lines", WebResponse::Ok("\n\r\n"), "\r\n\r\n"},
    };
    for (const auto& k : cases) {
        server.Route("GET", "/p", k.answer);
        TemplateConnection c;
        Connect(c);
        EXPECT_EQ(c.SendTemplateRequest("/p", "GET", "", ""), 1) << k.what;
        EXPECT_EQ(c.GetResponse().str(), k.page) << k.what;
    }
}

class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::filesystem::path& dir) : m_old(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CurrentDirectory() { std::filesystem::current_path(m_old); }

private:
    std::filesystem::path m_old;
};

std::set<std::string> DumpFiles(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().rfind("HttpDebug", 0) == 0)
            names.insert(e.path().filename().string());
    return names;
}

TEST_F(TemplateHttp, DebugDumpsOnlyWhileTheMarkerExists) {
    testsupport::TempDir dir;
    CurrentDirectory here(dir.path());
    server.Route("GET", "/p", WebResponse::Ok("body\n"));
    TemplateConnection c;
    Connect(c);
    ASSERT_EQ(c.SendTemplateRequest("/p?x=1", "GET", "", ""), 1);
    EXPECT_TRUE(DumpFiles(dir.path()).empty());

    testsupport::WriteFileBytes(dir / "Brakmoor.debug", "");
    ASSERT_EQ(c.SendTemplateRequest("/p?x=1", "GET", "", ""), 1);
    ASSERT_EQ(c.SendTemplateRequest("/p?x=2", "GET", "", ""), 1);
    // Numbered from 0 in the process (no other test here dumps), one number per file.
    EXPECT_EQ(DumpFiles(dir.path()), (std::set<std::string>{"HttpDebug0.log", "HttpDebug1.log"}));
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "HttpDebug0.log"), "/p?x=1\n\n\n\nbody\r\n");
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "HttpDebug1.log"), "/p?x=2\n\n\n\nbody\r\n");

    // Threads dumping at once never share a number.
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&c] {
            for (int i = 0; i < 10; ++i)
                c.DumpHttpDebug("/u", "r");
        });
    for (auto& t : threads)
        t.join();
    std::set<std::string> numbered;
    for (int n = 0; n < 82; ++n)
        numbered.insert("HttpDebug" + std::to_string(n) + ".log");
    EXPECT_EQ(DumpFiles(dir.path()), numbered);

    std::filesystem::remove(dir / "Brakmoor.debug");
    ASSERT_EQ(c.SendTemplateRequest("/p", "GET", "", ""), 1);
    EXPECT_EQ(DumpFiles(dir.path()).size(), 82u);
}

} // namespace
