// The Linux provider's build of the Process object's performance data from
// the real /proc: one directory pass, stat and statm of each process.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/linux/perf_block.h"

namespace {

void BM_BuildPerfDataBlock(benchmark::State& state) {
    size_t instances = 0;
    for (auto _ : state) {
        std::vector<BYTE> block = BuildPerfDataBlock(true);
        benchmark::DoNotOptimize(block.data());
        if (block.size() < sizeof(PERF_DATA_BLOCK)) {
            state.SkipWithError("no data block");
            break;
        }
        PERF_OBJECT_TYPE object;
        std::memcpy(&object, block.data() + reinterpret_cast<const PERF_DATA_BLOCK*>(block.data())->HeaderLength,
                    sizeof object);
        instances = static_cast<size_t>(object.NumInstances);
    }
    state.counters["processes"] = static_cast<double>(instances);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * instances));
}
BENCHMARK(BM_BuildPerfDataBlock)->Unit(benchmark::kMillisecond);

}  // namespace
