#include "nt/task_list.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "nt/counter_index.h"
#include "nt/perf_walk.h"

namespace {

// Every grown buffer is this much larger than the most the system asked for.
constexpr uint64_t kGrowth = 4096;

// The Signature of PERF_DATA_BLOCK: "PERF" in four UTF-16 units.
bool HasSignature(const BYTE* data, uint64_t size) {
    static const WCHAR kSignature[4] = {u'P', u'E', u'R', u'F'};
    return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

}  // namespace

int GetTaskList(TaskTable& table) {
    CounterTitleIndex titles;
    DWORD size = 0;  // the one size variable of every registry read here
    if (!LoadCounterTitleIndex(titles, size)) return 0;
    const auto process = LookupTitle(titles, "Process");
    if (!process) return 0;
    char valueName[16];
    std::snprintf(valueName, sizeof valueName, "%ld", static_cast<long>(*process));

    // The first query carries no buffer; each reply of ERROR_MORE_DATA
    // discards the buffer and takes a larger one. A reply of ERROR_SUCCESS
    // to the query without a buffer has nothing to examine and is taken the
    // same way, as the size the data needs.
    BYTE* buffer = nullptr;
    DWORD allocated = 0;
    DWORD tracked = 0;
    for (;;) {
        DWORD type = 0;
        const LONG result =
            RegQueryValueExA(HKEY_PERFORMANCE_DATA, valueName, nullptr, &type, buffer, &size);
        const bool sizeOnly = result == ERROR_SUCCESS && buffer == nullptr && size != 0;
        if (result == ERROR_SUCCESS && buffer != nullptr && size != 0 &&
            HasSignature(buffer, size < allocated ? size : allocated))
            break;
        if (result != ERROR_MORE_DATA && !sizeOnly) {
            delete[] buffer;
            RegCloseKey(HKEY_PERFORMANCE_DATA);
            return 0;
        }
        delete[] buffer;
        buffer = nullptr;
        const uint64_t grown = uint64_t{tracked > size ? tracked : size} + kGrowth;
        // A size beyond the 32-bit size variable cannot be asked for.
        if (grown > UINT32_MAX) {
            RegCloseKey(HKEY_PERFORMANCE_DATA);
            return 0;
        }
        tracked = size = allocated = static_cast<DWORD>(grown);
        buffer = new (std::nothrow) BYTE[allocated];
        if (buffer == nullptr) {
            RegCloseKey(HKEY_PERFORMANCE_DATA);
            return 0;
        }
    }
    RegCloseKey(HKEY_PERFORMANCE_DATA);

    // The walk sees the bytes the reply holds, never more than were allocated.
    const int walked = ReadProcessInstances(buffer, size < allocated ? size : allocated, titles, table);
    delete[] buffer;
    return walked;
}
