// Lines per second through the Super Logger, buffered (written in batches of about 3 KB) and
// flushed on every line, with 1 and 8 writer threads, beside the same workload through spdlog.
// Prints the Super Logger / spdlog ratio of each pair at the end.

#include <benchmark/benchmark.h>

#include <cstdarg>
#include <map>
#include <memory>
#include <mutex>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#include <string>
#include <unistd.h>

#include "engine/log/SuperLogger.h"
#include "platform/files/SharedMemory.h"
#include "tests/support/TempDir.h"

namespace {

testsupport::TempDir& Dir() {
    static testsupport::TempDir dir("corvay-logger-bench");
    return dir;
}

std::string SharedName() {
    return "SuperLogShareMem-bench-" + std::to_string(getpid());
}

// One logger per mode, shared by the writer threads of every run.
SuperLogger& Super(bool flushEach) {
    static std::once_flag once[2];
    static std::unique_ptr<SuperLogger> loggers[2];
    std::call_once(once[flushEach], [&] {
        SuperLoggerOptions o;
        o.directory = CString((Dir() / (flushEach ? "super-flush" : "super-buffer")).string());
        std::filesystem::create_directories(o.directory.str());
        o.sharedMemoryName = SharedName();
        loggers[flushEach] = std::make_unique<SuperLogger>(o);
        loggers[flushEach]->StartUp(false);
    });
    return *loggers[flushEach];
}

spdlog::logger& Spd(bool flushEach) {
    static std::once_flag once[2];
    static std::shared_ptr<spdlog::logger> loggers[2];
    std::call_once(once[flushEach], [&] {
        auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(
            (Dir() / (flushEach ? "spdlog-flush.txt" : "spdlog-buffer.txt")).string(), true);
        auto logger = std::make_shared<spdlog::logger>(flushEach ? "flush" : "buffer", sink);
        logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %l:%v", spdlog::pattern_time_type::local);
        logger->set_level(spdlog::level::info);
        logger->flush_on(flushEach ? spdlog::level::info : spdlog::level::off);
        loggers[flushEach] = logger;
    });
    return *loggers[flushEach];
}

void Format(SuperLogger& log, const char* format, ...) {
    va_list args;
    va_start(args, format);
    log.WriteFormatV(2, format, args);
    va_end(args);
}

void BM_SuperLogger(benchmark::State& state) {
    SuperLogger& log = Super(state.range(0) != 0);
    bool flushEach = state.range(0) != 0;
    int i = 0;
    for (auto _ : state) {
        if (flushEach) {
            char text[128];
            snprintf(text, sizeof text, "port %d: link up, %s", i++, "VLAN 1024 ready for the ping test");
            log.WriteLog(2, text, true);
        } else {
            Format(log, "port %d: link up, %s", i++, "VLAN 1024 ready for the ping test");
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Spdlog(benchmark::State& state) {
    spdlog::logger& log = Spd(state.range(0) != 0);
    int i = 0;
    for (auto _ : state)
        log.info("port {}: link up, {}", i++, "VLAN 1024 ready for the ping test");
    state.SetItemsProcessed(state.iterations());
}

// range(0): 0 buffered, 1 flushed on every line.
BENCHMARK(BM_SuperLogger)->ArgName("flush")->Arg(0)->Arg(1)->Threads(1)->Threads(8)->UseRealTime();
BENCHMARK(BM_Spdlog)->ArgName("flush")->Arg(0)->Arg(1)->Threads(1)->Threads(8)->UseRealTime();

// Keeps the console output and remembers each run's rate for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("items_per_second");
            if (it != run.counters.end() && run.run_type == Run::RT_Iteration)
                rates[run.benchmark_name()] = it->second.value;
        }
    }
    std::map<std::string, double> rates;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nSuper Logger / spdlog, lines per second:\n");
    for (const auto& [name, rate] : reporter.rates) {
        if (name.rfind("BM_SuperLogger", 0) != 0)
            continue;
        std::string other = "BM_Spdlog" + name.substr(std::string("BM_SuperLogger").size());
        auto it = reporter.rates.find(other);
        if (it != reporter.rates.end() && it->second > 0)
            std::printf("  %-40s %12.0f vs %12.0f  ratio %.2f\n", name.c_str() + 3, rate, it->second,
                        rate / it->second);
    }
    platform::SharedMemory::Remove(SharedName());
    benchmark::Shutdown();
    return 0;
}
