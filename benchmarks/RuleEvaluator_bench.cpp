// Array extraction over a page of 1, 4 and 16 MiB of table cells: the time per page, and its
// ratio to the 1 MiB page (linear growth gives about 4 and 16).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include "templates/RuleEvaluator.h"

namespace {

CString PageOfCells(size_t bytes) {
    std::string cells = "<table>";
    for (int i = 0; cells.size() < bytes; ++i)
        cells += "<td>" + std::to_string(i) + "</td>";
    return CString(cells + "</table>");
}

double SecondsToExtract(const CString& page) {
    const std::vector<LocatorRecord> locators = {{"<table>", "</table>"}, {"<td>", "</td>"}};
    CString value;
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(RuleEvaluator::ExtractValue(page, locators, "0", value));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ArrayExtraction(benchmark::State& state) {
    const CString page = PageOfCells(static_cast<size_t>(state.range(0)) << 20);
    for (auto _ : state)
        state.SetIterationTime(SecondsToExtract(page));
    state.SetBytesProcessed(state.iterations() * page.GetLength());
}

} // namespace

BENCHMARK(BM_ArrayExtraction)->Arg(1)->Arg(4)->Arg(16)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    // The growth in one line: the best of three runs per size.
    double seconds[3] = {};
    const int sizes[3] = {1, 4, 16};
    for (int i = 0; i < 3; ++i) {
        const CString page = PageOfCells(static_cast<size_t>(sizes[i]) << 20);
        seconds[i] = 1e9;
        for (int run = 0; run < 3; ++run)
            seconds[i] = std::min(seconds[i], SecondsToExtract(page));
    }
    std::printf("array extraction: 1 MiB %.3f s, 4 MiB %.3f s (x%.1f), 16 MiB %.3f s (x%.1f)\n", seconds[0],
                seconds[1], seconds[1] / seconds[0], seconds[2], seconds[2] / seconds[0]);
    benchmark::Shutdown();
    return 0;
}
