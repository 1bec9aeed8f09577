// The standard per-port routine over the simulated bench: 8 or 24 modems behind the telnet switch,
// every wait of the job divided by 100. The wall time of one run is set against the waits the
// job slept, so that what the routine itself costs per port (switch commands, pings, the web
// identification and parameter pages, ARP, the DSLAM query) stands out. Needs root.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "bench/NetNamespace.h"
#include "bench/SimulatedBench.h"
#include "engine/jobs/BaseModemTester.h"
#include "engine/jobs/TestContext.h"
#include "engine/jobs/Tester.h"
#include "engine/jobs/ViewSink.h"
#include "engine/records/TestRecords.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/files/ProgramDirectory.h"

using namespace std::chrono;

namespace {

constexpr int kScale = 100;

// The real clock, keeping the sum of what the job slept.
class SleepCountingClock : public platform::Clock {
public:
    Steady::time_point Now() const override { return platform::RealClock().Now(); }
    Wall::time_point WallNow() const override { return platform::RealClock().WallNow(); }
    void SleepFor(milliseconds duration) override {
        m_slept += duration.count();
        platform::RealClock().SleepFor(duration);
    }
    long long Slept() const { return m_slept.load(); }
    void Reset() { m_slept = 0; }

private:
    std::atomic<long long> m_slept{0};
};

void StandardTest_bench(benchmark::State& state) {
    if (!bench::NetNamespaceUnavailableReason().empty()) {
        state.SkipWithError(bench::NetNamespaceUnavailableReason().c_str());
        return;
    }
    const int kPorts = static_cast<int>(state.range(0));
    bench::SimulatedBenchConfig config;
    config.modems.assign(kPorts, bench::BenchModemSpec());
    bench::SimulatedBench simulated(config);
    simulated.Build();
    platform::SetProgramDirectory((simulated.Directory() + "/").c_str());

    SwitchConfig sw;
    sw.PortCount = kPorts + 1;
    sw.TrunkPortNo = kPorts + 1;
    sw.Login = {"admin", "admin"};
    SleepCountingClock clock;
    long long wallMs = 0, sleptMs = 0;
    int runs = 0, ok = 0;
    bench::RunInside(simulated.Pc(), [&] {
        SwitchManager2 manager(sw);
        std::vector<SwitchPort*> ports;
        for (int p = 1; p <= kPorts; ++p)
            ports.push_back(manager.GetPortStatus(p));
        for (auto _ : state) {
            RecordingViewSink view(kPorts + 1);
            view.SetLinkUpPorts(ports);
            Tester tester(&view);
            JobEnvironment env;
            env.switchManager = &manager;
            env.system.Dslam.Login = {"admin", "admin"};
            env.timings = TestTimings().Scaled(kScale);
            env.clock = &clock;
            tester.SetEnvironment(env);
            tester.GetLinkUpPortList();
            clock.Reset();
            const auto start = steady_clock::now();
            {
                TestContext context(tester);
                benchmark::DoNotOptimize(BaseModemTester::Start(context));
            }
            wallMs += duration_cast<milliseconds>(steady_clock::now() - start).count();
            sleptMs += clock.Slept();
            ++runs;
            for (int p = 1; p <= kPorts; ++p)
                ok += view.GetTestInfo(p)->Get().Modem.Model == "CV-100";
        }
    });
    if (runs == 0)
        return;
    state.counters["wall_ms"] = static_cast<double>(wallMs) / runs;
    state.counters["waits_ms"] = static_cast<double>(sleptMs) / runs;
    state.counters["overhead_ms_per_port"] = static_cast<double>(wallMs - sleptMs) / runs / kPorts;
    state.counters["modems_found"] = static_cast<double>(ok) / runs;
}

} // namespace

BENCHMARK(StandardTest_bench)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

BENCHMARK_MAIN();
