// Builds performance-data replies for tests: a PERF_DATA_BLOCK, one
// PERF_OBJECT_TYPE with its counter definitions at the 40-byte stride, then
// the instances with their UTF-16 names and counter blocks. The offsets of
// every piece are returned, so that a test can corrupt any field.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

struct PerfCounterDef {
    DWORD titleIndex = 0;
    DWORD offset = 0;  // in the counter block
    DWORD size = 4;    // CounterSize
};

struct PerfInstance {
    std::u16string name;  // without its terminator
    // The counter block, its ByteLength field (bytes 0 to 3) included; the
    // builder writes the block's size there.
    std::string block;
};

struct PerfImage {
    std::string bytes;
    size_t object = 0;                   // the PERF_OBJECT_TYPE
    size_t definitions = 0;              // the first counter definition
    std::vector<size_t> instances;       // each PERF_INSTANCE_DEFINITION
    std::vector<size_t> blocks;          // each PERF_COUNTER_BLOCK
};

PerfImage BuildPerfImage(const std::vector<PerfCounterDef>& counters,
                         const std::vector<PerfInstance>& instances);

void Put32(std::string& bytes, size_t at, uint32_t value);
void Put64(std::string& bytes, size_t at, uint64_t value);

// The title indices of the standard "Counters" list.
constexpr DWORD kProcessTitle = 230;
constexpr DWORD kIdProcessTitle = 784;
constexpr DWORD kThreadCountTitle = 680;
constexpr DWORD kWorkingSetTitle = 180;
constexpr DWORD kPrivateBytesTitle = 186;
constexpr DWORD kProcessorTimeTitle = 6;

// One process as the standard layout holds it: ID Process at 8, Thread
// Count at 12 (4 bytes each), Working Set at 16, Private Bytes at 24 and
// % Processor Time at 32 (8 bytes each), in a 40-byte counter block.
struct TestTask {
    DWORD pid = 0;
    DWORD threads = 0;
    uint64_t workingSet = 0;
    uint64_t privateBytes = 0;
    int64_t cpu = 0;  // 100-nanosecond units
    std::u16string name;
};

std::vector<PerfCounterDef> StandardCounters();
PerfInstance StandardInstance(const TestTask& task);
PerfImage StandardImage(const std::vector<TestTask>& tasks);
