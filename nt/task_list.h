// The NT process table: one record per instance of the performance object
// "Process", taken from the performance data of HKEY_PERFORMANCE_DATA.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/win32.h"

struct TaskEntry {
    DWORD ProcessId = 0;
    DWORD ThreadCount = 0;
    uint64_t WorkingSet = 0;    // bytes
    uint64_t PrivateBytes = 0;  // bytes
    double CpuTime = 0.0;       // seconds
    char ProcessName[16] = {};
    char WindowTitle[64] = {};
    DWORD Marked = 0;
};

// The records, in performance-data order. The table owns them; they stay
// allocated until the process ends.
using TaskTable = std::vector<TaskEntry*>;

// Appends one entry per process instance to `table`. Returns 1 on success,
// 0 on failure, and then nothing has been appended.
int GetTaskList(TaskTable& table);
