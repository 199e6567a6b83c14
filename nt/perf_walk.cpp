#include "nt/perf_walk.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

static_assert(sizeof(PERF_COUNTER_DEFINITION) == 40, "counter definitions stand 40 bytes apart");

// The five counters of a task, in the order in which a definition's title
// index is tried against them.
enum Counter { kIdProcess, kThreadCount, kWorkingSet, kPrivateBytes, kProcessorTime, kCounters };
const char* const kCounterTitles[kCounters] = {"ID Process", "Thread Count", "Working Set",
                                               "Private Bytes", "% Processor Time"};

// Where a counter's value lies in each counter block, and how wide it is.
// A counter that no definition names stays at offset 0.
struct CounterPlace {
    uint64_t offset = 0;
    DWORD size = 4;
};

// The longest instance name that may convert into the 260-byte buffer: every
// UTF-16 unit gives at least one byte, so a longer name fails the same way
// when it is cut here.
constexpr size_t kNameUnits = 260;

// All offsets are 64-bit sums of 32-bit fields, so none of them wraps.
bool Within(uint64_t start, uint64_t length, uint64_t size) {
    return start <= size && length <= size - start;
}

template <class T>
T Load(const BYTE* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

bool LocateCounters(const BYTE* data, uint64_t size, uint64_t first, DWORD count,
                    const CounterTitleIndex& titles, CounterPlace (&places)[kCounters]) {
    if (count == 0) return true;
    if (!Within(first, uint64_t{count} * sizeof(PERF_COUNTER_DEFINITION), size)) return false;
    std::optional<DWORD> wanted[kCounters];
    for (int c = 0; c < kCounters; ++c)
        if (const auto index = LookupTitle(titles, kCounterTitles[c]))
            wanted[c] = static_cast<DWORD>(*index);
    for (uint64_t d = 0; d < count; ++d) {
        const BYTE* definition = data + first + d * sizeof(PERF_COUNTER_DEFINITION);
        const DWORD title =
            Load<DWORD>(definition + offsetof(PERF_COUNTER_DEFINITION, CounterNameTitleIndex));
        for (int c = 0; c < kCounters; ++c) {
            if (!wanted[c] || *wanted[c] != title) continue;
            places[c].offset =
                Load<DWORD>(definition + offsetof(PERF_COUNTER_DEFINITION, CounterOffset));
            places[c].size =
                Load<DWORD>(definition + offsetof(PERF_COUNTER_DEFINITION, CounterSize));
            break;
        }
    }
    return true;
}

// Copies the NUL-terminated UTF-16 name at `at` into `name` (kNameUnits + 1
// units, aligned), cut to kNameUnits units. False when the name has no
// terminator inside the data.
bool CopyInstanceName(const BYTE* data, uint64_t size, uint64_t at, WCHAR* name) {
    size_t units = 0;
    for (;; ++units) {
        const uint64_t unit = at + uint64_t{units} * sizeof(WCHAR);
        if (!Within(unit, sizeof(WCHAR), size)) return false;
        const WCHAR c = Load<WCHAR>(data + unit);
        if (c == 0) break;
        if (units < kNameUnits) name[units] = c;
    }
    name[units < kNameUnits ? units : kNameUnits] = 0;
    return true;
}

// A 32-bit value, or a 64-bit one when the counter is 8 bytes wide.
bool ReadCount(const BYTE* data, uint64_t size, uint64_t block, const CounterPlace& place,
               uint64_t& value) {
    const uint64_t at = block + place.offset;
    if (place.size == 8) {
        if (!Within(at, 8, size)) return false;
        value = Load<uint64_t>(data + at);
    } else {
        if (!Within(at, 4, size)) return false;
        value = Load<DWORD>(data + at);
    }
    return true;
}

bool Read32(const BYTE* data, uint64_t size, uint64_t at, DWORD& value) {
    if (!Within(at, 4, size)) return false;
    value = Load<DWORD>(data + at);
    return true;
}

bool ReadCounters(const BYTE* data, uint64_t size, uint64_t block,
                  const CounterPlace (&places)[kCounters], TaskEntry& entry) {
    if (!Read32(data, size, block + places[kIdProcess].offset, entry.ProcessId)) return false;
    if (!Read32(data, size, block + places[kThreadCount].offset, entry.ThreadCount)) return false;
    if (!ReadCount(data, size, block, places[kWorkingSet], entry.WorkingSet)) return false;
    if (!ReadCount(data, size, block, places[kPrivateBytes], entry.PrivateBytes)) return false;
    const uint64_t at = block + places[kProcessorTime].offset;
    if (!Within(at, 8, size)) return false;
    // Low half unsigned, high half signed: the signed 64-bit count of
    // 100-nanosecond units.
    const LONGLONG units = Load<LONGLONG>(data + at);
    entry.CpuTime = static_cast<double>(units) * 1e-7;
    return true;
}

void Release(TaskTable& entries) {
    for (TaskEntry* entry : entries) delete entry;
    entries.clear();
}

}  // namespace

void BuildProcessName(char* name, const char* converted) {
    std::memset(name, 0, sizeof(TaskEntry::ProcessName));
    if (converted == nullptr) {
        std::strcpy(name, "-- unknown --");
        return;
    }
    const size_t length = strnlen(converted, sizeof(TaskEntry::ProcessName) - 1);
    std::memcpy(name, converted, length);
    if (length + 4 < sizeof(TaskEntry::ProcessName) && std::memchr(name, '.', length) == nullptr)
        std::memcpy(name + length, ".exe", 4);
}

int ReadProcessInstances(const BYTE* data, size_t dataSize, const CounterTitleIndex& titles,
                         TaskTable& entries) {
    const uint64_t size = dataSize;
    if (!Within(0, sizeof(PERF_DATA_BLOCK), size)) return 0;
    const uint64_t object = Load<DWORD>(data + offsetof(PERF_DATA_BLOCK, HeaderLength));
    if (!Within(object, sizeof(PERF_OBJECT_TYPE), size)) return 0;
    const BYTE* header = data + object;
    const DWORD headerLength = Load<DWORD>(header + offsetof(PERF_OBJECT_TYPE, HeaderLength));
    const DWORD numCounters = Load<DWORD>(header + offsetof(PERF_OBJECT_TYPE, NumCounters));
    const DWORD definitionLength = Load<DWORD>(header + offsetof(PERF_OBJECT_TYPE, DefinitionLength));
    const LONG numInstances = Load<LONG>(header + offsetof(PERF_OBJECT_TYPE, NumInstances));

    CounterPlace places[kCounters];
    if (!LocateCounters(data, size, object + headerLength, numCounters, titles, places)) return 0;
    // An object without instances has no instance definitions at all.
    if (numInstances == PERF_NO_INSTANCES) return 1;

    const uint64_t count = static_cast<DWORD>(numInstances);
    uint64_t instance = object + definitionLength;
    // Each instance takes at least its definition and its counter block.
    constexpr uint64_t kSmallest = sizeof(PERF_INSTANCE_DEFINITION) + sizeof(PERF_COUNTER_BLOCK);
    if (count > 0 && (instance > size || count > (size - instance) / kSmallest)) return 0;

    // New records gather here and join the caller's table only when the
    // whole walk has succeeded; reserving first keeps that join from failing.
    TaskTable fresh;
    try {
        fresh.reserve(count);
        entries.reserve(entries.size() + count);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    WCHAR name[kNameUnits + 1];
    char converted[260];
    for (uint64_t i = 0; i < count; ++i) {
        if (!Within(instance, sizeof(PERF_INSTANCE_DEFINITION), size)) return Release(fresh), 0;
        const BYTE* definition = data + instance;
        const DWORD byteLength = Load<DWORD>(definition + offsetof(PERF_INSTANCE_DEFINITION, ByteLength));
        const DWORD nameOffset = Load<DWORD>(definition + offsetof(PERF_INSTANCE_DEFINITION, NameOffset));
        if (byteLength < sizeof(PERF_INSTANCE_DEFINITION)) return Release(fresh), 0;
        const uint64_t block = instance + byteLength;
        DWORD blockLength = 0;
        if (!Read32(data, size, block, blockLength) || blockLength < sizeof(PERF_COUNTER_BLOCK) ||
            !Within(block, blockLength, size))
            return Release(fresh), 0;
        if (!CopyInstanceName(data, size, instance + nameOffset, name)) return Release(fresh), 0;

        TaskEntry* entry = new (std::nothrow) TaskEntry{};
        if (entry == nullptr) return Release(fresh), 0;
        fresh.push_back(entry);
        const int converts = WideCharToMultiByte(CP_ACP, 0, name, -1, converted, sizeof converted,
                                                 nullptr, nullptr);
        BuildProcessName(entry->ProcessName, converts != 0 ? converted : nullptr);
        if (!ReadCounters(data, size, block, places, *entry)) return Release(fresh), 0;
        instance = block + blockLength;
    }
    entries.insert(entries.end(), fresh.begin(), fresh.end());
    return 1;
}
