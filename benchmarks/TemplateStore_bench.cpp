// Loading a "Terminals.dat" of 1,000 terminals: time per load, the heap the loaded store holds,
// and the heap's peak during the load (the file's bytes and the records side by side).

#include <atomic>
#include <cstdlib>
#include <new>

#include <benchmark/benchmark.h>

#include "templates/TemplateStore.h"
#include "tests/support/TempDir.h"
#include "tests/templates/TemplateFixture.h"

namespace {

// Every allocation of the process passes here, so that the benchmark can tell what a load costs.
std::atomic<long long> g_heapNow{0};
std::atomic<long long> g_heapPeak{0};

void* Allocate(size_t size) {
    void* block = std::malloc(size + sizeof(std::max_align_t));
    if (!block)
        throw std::bad_alloc();
    *static_cast<size_t*>(block) = size;
    long long now = g_heapNow += static_cast<long long>(size);
    long long peak = g_heapPeak.load();
    while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(block) + sizeof(std::max_align_t);
}

void Release(void* pointer) {
    if (!pointer)
        return;
    void* block = static_cast<char*>(pointer) - sizeof(std::max_align_t);
    g_heapNow -= static_cast<long long>(*static_cast<size_t*>(block));
    std::free(block);
}

} // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void operator delete(void* pointer) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer) noexcept {
    Release(pointer);
}
void operator delete(void* pointer, size_t) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer, size_t) noexcept {
    Release(pointer);
}

static void TemplateStoreLoad1000(benchmark::State& state) {
    testsupport::TempDir dir("corvay-bench");
    std::string bytes = testsupport::TerminalsFile(testsupport::GeneratedFixture(1000));
    testsupport::WriteFileBytes(dir / "Terminals.dat", bytes);
    CString path((dir / "Terminals.dat").string());

    long long held = 0, peak = 0;
    for (auto _ : state) {
        TemplateStore store;
        long long before = g_heapNow.load();
        g_heapPeak = before;
        if (store.Load(path) != 1 || store.Terminals().size() != 1000) {
            state.SkipWithError("load failed");
            break;
        }
        held = g_heapNow.load() - before;
        peak = g_heapPeak.load() - before;
        benchmark::DoNotOptimize(store.Terminals().data());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
    state.counters["heap_held_bytes"] = static_cast<double>(held);
    state.counters["heap_peak_bytes"] = static_cast<double>(peak);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(TemplateStoreLoad1000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
