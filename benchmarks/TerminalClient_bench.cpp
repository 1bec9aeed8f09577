// Identifying one modem among 50 form log-in templates on loopback: time per identification and
// what it asks of the modem (requests in all, and status pages). Each template needs a page
// all share and one of five pages that ten share; the modem is the last template's.

#include <cstdio>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/FakeModem.h"
#include "templates/TerminalClient.h"
#include "tests/support/TempDir.h"
#include "tests/templates/TemplateFixture.h"

namespace {

using namespace testsupport;

constexpr int kTemplates = 50;

FixtureTerminal Model(int i) {
    char id[32], name[32], page[32], hardware[32];
    std::snprintf(id, sizeof id, "2025%010d", i);
    std::snprintf(name, sizeof name, "M-%02d", i);
    std::snprintf(page, sizeof page, "/hw%d.htm", i % 5);
    std::snprintf(hardware, sizeof hardware, "HW%d", i);
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
         {{"<table id=dev>", "</table>"}, {"<td>Model</td><td>", "</td>"}},
         {},
         "AND",
         {{"EQUAL", name, 0}}},
        {"Hardware", page, "TRUE", "FALSE", {{"Hardware:", "<"}}, {}, "AND", {{"INCLUDE", hardware, 0}}},
        {"Firmware_Version",
         "/status.htm",
         "FALSE",
         "FALSE",
         {{"Version:", "<"}},
         {},
         "AND",
         {{"MORE", "V1", 1}}},
        {"Mac", "/lan.htm", "FALSE", "FALSE", {{"MAC:", "<"}}, {}, "AND", {}},
    };
    t.functions = {{"login", {{"/login.cgi", "", "POST", "user=<username>&pass=<userpassword>"}}}};
    return t;
}

void BM_IdentifyAmong50Templates(benchmark::State& state) {
    TempDir dir("terminal-bench");
    FixtureFile file;
    for (int i = 0; i < kTemplates; ++i)
        file.terminals.push_back(Model(i));
    WriteFileBytes(dir / "models.dat", TerminalsFile(file));
    TemplateStore models;
    if (!models.Load((dir / "models.dat").string().c_str())) {
        state.SkipWithError("fixture not loaded");
        return;
    }
    const int last = kTemplates - 1;
    bench::FakeModem modem(
        *models.Terminals()[last],
        {bench::ModemLogin::FormCookie,
         "admin",
         "admin",
         {{"Model", "M-49"}, {"Hardware", "HW49"}, {"Firmware_Version", "V2.0"}, {"Mac", "00:11"}}});
    modem.Start();
    FixtureGroup group{"127.0.0.1:255.0.0.0", {modem.Port()}, {"admin:admin"}, {}};
    for (const auto& t : file.terminals)
        group.terminalIds.push_back(t.id);
    file.groups = {group};
    WriteFileBytes(dir / "Terminals.dat", TerminalsFile(file));
    TemplateStore store;
    if (!store.Load((dir / "Terminals.dat").string().c_str())) {
        state.SkipWithError("fixture not loaded");
        return;
    }

    TerminalClient client(&store);
    modem.Server().ClearRequests();
    double requests = 0;
    int pages = modem.PageRequestsTotal();
    int identified = 0;
    for (auto _ : state) {
        identified += client.FindDevice("127.0.0.1");
        // The server keeps every request: count them and let go.
        requests += static_cast<double>(modem.Server().RequestCount());
        modem.Server().ClearRequests();
    }
    if (identified != static_cast<int>(state.iterations()) || client.GetTerminalName() != "M-49")
        state.SkipWithError("the modem was not identified");
    state.counters["requests"] = benchmark::Counter(requests, benchmark::Counter::kAvgIterations);
    state.counters["status_pages"] =
        benchmark::Counter(modem.PageRequestsTotal() - pages, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_IdentifyAmong50Templates)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
