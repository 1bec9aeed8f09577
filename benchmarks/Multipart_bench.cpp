// Uploads a 16 MiB firmware file to the fake modem and reports time and peak memory, beside the
// curl command uploading the same file to the same server.

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <fstream>
#include <random>

#include "bench/FakeWebServer.h"
#include "templates/TemplateConnection.h"
#include "templates/TemplateHttpSession.h"
#include "templates/TemplateRecords.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace {

constexpr size_t kFileSize = 16u * 1024 * 1024;

struct Bench {
    Bench() {
        std::string bytes(kFileSize, '\0');
        std::mt19937 random(7);
        for (auto& b : bytes)
            b = static_cast<char>(random());
        testsupport::WriteFileBytes(path, bytes);
        server.KeepBodies(false);
        server.Route("POST", "/upgrade.cgi", bench::WebResponse::Ok("ok"));
        server.Start();
    }
    testsupport::TempDir dir{"corvay-bench"};
    std::string path = (dir / "firmware.bin").string();
    bench::FakeWebServer server;
};

Bench& Shared() {
    static Bench b;
    return b;
}

// Kibibytes of a /proc/self/status line such as VmHWM or VmRSS.
long StatusKiB(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0)
            return std::stol(line.substr(key.size() + 1));
    return 0;
}

void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_TemplateUpload(benchmark::State& state) {
    Bench& b = Shared();
    UploadFunctionRecord* upload =
        new UploadFunctionRecord{"upgradefirmware", "upgrade.html", "/upgrade.cgi", "firmware"};
    TerminalRecord terminal;
    terminal.uploadFunctions.emplace_back(upload);
    TemplateConnection connection;
    connection.Connect(b.server.Address().c_str(), b.server.Port(), "", "");
    TemplateHttpSession session;
    session.SetTerminal(&connection, &terminal);
    long growth = 0, peak = 0;
    for (auto _ : state) {
        ResetPeak();
        long before = StatusKiB("VmRSS");
        if (!session.RunUpload("upgradefirmware", b.path.c_str(), "192.168.1.1")) {
            state.SkipWithError("upload failed");
            return;
        }
        peak = std::max(peak, StatusKiB("VmHWM"));
        growth = std::max(growth, StatusKiB("VmHWM") - before);
    }
    if (b.server.Requests().back().bodyLength < kFileSize)
        state.SkipWithError("server got less than the file");
    state.counters["peak_rss_MiB"] = peak / 1024.0;
    state.counters["peak_growth_MiB"] = growth / 1024.0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BM_CurlCommand(benchmark::State& state) {
    Bench& b = Shared();
    std::string url = "http://" + b.server.Address() + ":" + std::to_string(b.server.Port()) + "/upgrade.cgi";
    std::string form = "firmware=@" + b.path + ";type=application/octet-stream";
    const char* argv[] = {"curl",    "-s", "-o",         "/dev/null", "-H",
                          "Expect:", "-F", form.c_str(), url.c_str(), nullptr};
    long peak = 0;
    for (auto _ : state) {
        pid_t pid;
        if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
            state.SkipWithError("cannot run curl");
            return;
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("curl failed");
            return;
        }
        peak = std::max(peak, usage.ru_maxrss);
    }
    state.counters["peak_rss_MiB"] = peak / 1024.0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

} // namespace

BENCHMARK(BM_TemplateUpload)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlCommand)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
