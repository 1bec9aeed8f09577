// The batch ping of 32 answering modems against 32 system ping tools started side by side,
// both inside a private pc namespace with a modem namespace behind a veth pair.

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fcntl.h>
#include <sched.h>
#include <thread>
#include <unistd.h>

#include "hostnet/dunmore/Function.h"
#include "platform/files/UniqueFd.h"
#include "platform/net/Process.h"
#include "tests/hostnet/PcAndModem.h"

namespace {

constexpr int kTargets = 32;

void BM_DunmoreBatchPing32(benchmark::State& state) {
    CFunction function;
    CStringArray addresses;
    CByteArray results;
    for (int i = 0; i < kTargets; ++i) {
        addresses.Add(testsupport::PcAndModem::Answering(i).c_str());
        results.Add(0);
    }
    for (auto _ : state) {
        if (function.AsynPing(addresses, results, 2000) != 1) {
            state.SkipWithError("batch ping did not run");
            break;
        }
        for (int i = 0; i < kTargets; ++i)
            if (!results[i])
                state.SkipWithError("a modem did not answer");
    }
}
BENCHMARK(BM_DunmoreBatchPing32)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SystemPing32Parallel(benchmark::State& state) {
    if (::access("/usr/bin/ping", X_OK) != 0 && ::access("/bin/ping", X_OK) != 0) {
        state.SkipWithError("no system ping tool installed (iputils-ping)");
        return;
    }
    for (auto _ : state) {
        std::vector<std::jthread> runs;
        std::vector<int> answered(kTargets, 0);
        for (int i = 0; i < kTargets; ++i)
            runs.emplace_back([i, &answered] {
                platform::ProcessOptions options;
                options.capture = false;
                options.timeout = std::chrono::seconds(5);
                auto run =
                    platform::RunProcess("ping -c 1 -W 2 " + testsupport::PcAndModem::Answering(i), options);
                answered[i] =
                    run.outcome == platform::ProcessResult::Outcome::Finished && run.exitStatus == 0;
            });
        runs.clear();
        for (int ok : answered)
            if (!ok)
                state.SkipWithError("a modem did not answer the system ping");
    }
}
BENCHMARK(BM_SystemPing32Parallel)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string reason = testsupport::NetNamespaceUnavailableReason();
    if (!reason.empty()) {
        std::fprintf(stderr, "Dunmore_bench skipped: %s\n", reason.c_str());
        return 0;
    }
    testsupport::PcAndModem net(kTargets);
    // The benchmarks run on this thread (and the threads it starts), so it enters the pc side.
    platform::UniqueFd home(::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC));
    if (!home || ::setns(net.pc->Fd(), CLONE_NEWNET) != 0) {
        std::perror("setns");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    ::setns(home.Get(), CLONE_NEWNET);
    benchmark::Shutdown();
    return 0;
}
