#include <gtest/gtest.h>

#include <chrono>

#include "bench/FakeModem.h"
#include "templates/TerminalClient.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"
#include "tests/templates/TemplateFixture.h"

using namespace testsupport;
using Clock = std::chrono::steady_clock;

namespace {

class TerminalClientNetns : public NetnsTest {};

// A port whose SYNs are dropped answers nothing at all; the probe must give up on its own time.
TEST_F(TerminalClientNetns, SilentPortGivenUpAfterAFewSeconds) {
    NetNamespace& ns = AddNamespace();
    ns.Ip("link set lo up");
    ASSERT_EQ(
        ns.Shell(
            "nft add table inet t && nft add chain inet t in '{ type filter hook input priority 0; }' && "
            "nft add rule inet t in tcp dport 9 drop"),
        0);
    RunInside(ns, [] {
        // A modem behind the silent port, in a group that lists the silent port first.
        FixtureTerminal t;
        t.id = "1";
        t.name = "SILENT-OK";
        t.authKind = "WEB";
        t.https = "FALSE";
        t.parameters = {{"Model", "/s.htm", "TRUE", "FALSE", {{"m=", ";"}}, {}, "AND", {{"EQUAL", "M", 0}}}};
        t.functions = {{"login", {{"/login.cgi", "", "POST", "u=<username>&p=<userpassword>"}}}};
        FixtureFile file;
        file.terminals = {t};
        TempDir dir("silent-port");
        WriteFileBytes(dir / "models.dat", TerminalsFile(file));
        TemplateStore models;
        ASSERT_EQ(models.Load((dir / "models.dat").string().c_str()), 1);
        bench::FakeModem modem(*models.Terminals()[0],
                               {bench::ModemLogin::FormCookie, "a", "b", {{"Model", "M"}}});
        modem.Start();
        file.groups = {{"127.0.0.1:255.0.0.0", {9, modem.Port()}, {"a:b"}, {"1"}}};
        WriteFileBytes(dir / "Terminals.dat", TerminalsFile(file));

        TemplateStore store;
        TerminalClient client(&store);
        auto start = Clock::now();
        EXPECT_EQ(client.ProbeTcpPort("127.0.0.1", 9), 0);
        auto waited = Clock::now() - start;
        EXPECT_GE(waited, TerminalClient::kProbeTimeout - std::chrono::milliseconds(100));
        EXPECT_LT(waited, std::chrono::seconds(5));

        start = Clock::now();
        ASSERT_EQ(client.IdentifyTerminal("127.0.0.1", (dir / "Terminals.dat").string().c_str(), 0), 1);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(6));
        EXPECT_EQ(client.GetTerminalName(), "SILENT-OK");
        EXPECT_EQ(client.GetPort(), modem.Port());
    });
}

} // namespace
