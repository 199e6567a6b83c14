#include "tests/nt/nt_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "nt/task_list.h"
#include "nt/window_titles.h"
#include "tests/nt/perf_block_builder.h"

std::string CounterList(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string list;
    for (const auto& [index, title] : pairs) {
        list += index;
        list += '\0';
        list += title;
        list += '\0';
    }
    list += '\0';
    return list;
}

void SetCounters(const std::string& raw) {
    Fake().machineKeys[kFakePerflibKey].values["Counters"].data = raw;
}

std::string StandardCounterList() {
    return CounterList({{"1", "1847"},
                        {"2", "System"},
                        {"4", "Memory"},
                        {"6", "% Processor Time"},
                        {"180", "Working Set"},
                        {"186", "Private Bytes"},
                        {"230", "Process"},
                        {"232", "Thread"},
                        {"680", "Thread Count"},
                        {"784", "ID Process"}});
}

void SetStandardCounters() { SetCounters(StandardCounterList()); }

void ScriptPerfData(const std::string& data) {
    Fake().perfReplies.push_back({ERROR_MORE_DATA, "", static_cast<DWORD>(data.size())});
    Fake().perfReplies.push_back({ERROR_SUCCESS, data, std::nullopt});
}

void SetMachine(const std::string& data) {
    SetStandardCounters();
    ScriptPerfData(data);
}

TaskListProbe ProbeTaskList(size_t sentinels, bool titles) {
    TaskListProbe probe;
    probe.run = RunIsolated([sentinels, titles] {
        TaskTable table;
        for (size_t k = 0; k < sentinels; ++k) {
            auto* e = new TaskEntry{};
            e->ProcessId = kSentinelPid + static_cast<DWORD>(k);
            table.push_back(e);
        }
        const int result = GetTaskList(table);
        if (titles) AttachWindowTitles(table);
        std::cout << "result " << result << "\n";
        for (const TaskEntry* e : table) {
            char cpu[64];
            std::snprintf(cpu, sizeof cpu, "%a", e->CpuTime);
            std::cout << e->ProcessId << '\t' << e->ThreadCount << '\t' << e->WorkingSet << '\t'
                      << e->PrivateBytes << '\t' << cpu << '\t' << e->Marked << '\t'
                      << e->ProcessName << '\t' << e->WindowTitle << "\n";
        }
        std::cout << "done" << std::endl;
    });
    const RunResult& run = probe.run;
    probe.finished = run.end == RunEnd::Returned && run.exitCode == 0 &&
                     run.out.size() >= 5 && run.out.compare(run.out.size() - 5, 5, "done\n") == 0;
    std::istringstream lines(run.out);
    std::string line;
    if (!std::getline(lines, line) || line.rfind("result ", 0) != 0) return probe;
    probe.result = std::atoi(line.c_str() + 7);
    while (std::getline(lines, line) && line != "done") {
        std::vector<std::string> f;
        std::string field;
        std::istringstream cells(line);
        while (std::getline(cells, field, '\t')) f.push_back(field);
        if (f.size() == 7) f.push_back("");
        if (f.size() != 8) continue;
        ProbedTask t;
        t.pid = static_cast<DWORD>(std::stoul(f[0]));
        t.threads = static_cast<DWORD>(std::stoul(f[1]));
        t.workingSet = std::stoull(f[2]);
        t.privateBytes = std::stoull(f[3]);
        t.cpu = std::strtod(f[4].c_str(), nullptr);
        t.marked = static_cast<DWORD>(std::stoul(f[5]));
        t.name = f[6];
        t.title = f[7];
        probe.tasks.push_back(t);
    }
    return probe;
}
