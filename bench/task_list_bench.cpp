// GetTaskList over a performance-data block of 10,000 process instances,
// answered by the scripted platform: the title index, the query loop and
// the walk into the table.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "nt/task_list.h"
#include "tests/fake/fake_machine.h"
#include "tests/nt/nt_fixture.h"
#include "tests/nt/perf_block_builder.h"

namespace {

std::string TenThousandInstances() {
    std::vector<TestTask> tasks;
    tasks.reserve(10000);
    for (DWORD k = 0; k < 10000; ++k) {
        TestTask t;
        t.pid = 4 + 4 * k;
        t.threads = 1 + k % 40;
        t.workingSet = 4096ull * (100 + k);
        t.privateBytes = 4096ull * (50 + k);
        t.cpu = 1234567 * static_cast<int64_t>(k);
        t.name = u"process_" + std::u16string(1, static_cast<char16_t>(u'a' + k % 26));
        tasks.push_back(t);
    }
    return StandardImage(tasks).bytes;
}

void BM_GetTaskList10000(benchmark::State& state) {
    const std::string data = TenThousandInstances();
    for (auto _ : state) {
        state.PauseTiming();
        ResetFake();
        SetMachine(data);
        TaskTable table;
        table.reserve(10000);
        state.ResumeTiming();
        const int result = GetTaskList(table);
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        if (result == 0 || table.size() != 10000) {
            state.SkipWithError("GetTaskList did not deliver 10000 entries");
            break;
        }
        for (TaskEntry* e : table) delete e;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 10000);
}
BENCHMARK(BM_GetTaskList10000)->Unit(benchmark::kMillisecond);

}  // namespace
