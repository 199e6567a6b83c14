// Builds the performance data block of the Process object from /proc: per
// process one read of stat and one of statm, written straight into the
// block.
#include "platform/linux/perf_block.h"

#include <time.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/linux/procfs.h"
#include "platform/linux/unicode.h"

namespace {

constexpr DWORD kCounterCount = 5;
constexpr LONG kNoUniqueId = -1;
// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochDifference100ns = 116444736000000000ULL;

size_t AlignUp8(size_t n) { return (n + 7) & ~size_t{7}; }

template <typename T>
T* At(std::vector<BYTE>& block, size_t offset) {
    return reinterpret_cast<T*>(block.data() + offset);
}

void PutU16Text(std::vector<BYTE>& block, size_t offset, const std::u16string& text) {
    std::memcpy(block.data() + offset, text.data(), text.size() * sizeof(char16_t));
    std::memset(block.data() + offset + text.size() * sizeof(char16_t), 0, sizeof(char16_t));
}

void FillTimes(PERF_DATA_BLOCK& header) {
    timespec real{};
    clock_gettime(CLOCK_REALTIME, &real);
    timespec mono{};
    clock_gettime(CLOCK_MONOTONIC, &mono);
    header.PerfTime.QuadPart = static_cast<LONGLONG>(mono.tv_sec) * 1000000000LL + mono.tv_nsec;
    header.PerfFreq.QuadPart = 1000000000LL;
    header.PerfTime100nSec.QuadPart =
        static_cast<LONGLONG>(kEpochDifference100ns + static_cast<uint64_t>(real.tv_sec) * 10000000ULL +
                              static_cast<uint64_t>(real.tv_nsec) / 100);
    tm utc{};
    gmtime_r(&real.tv_sec, &utc);
    header.SystemTime.wYear = static_cast<WORD>(utc.tm_year + 1900);
    header.SystemTime.wMonth = static_cast<WORD>(utc.tm_mon + 1);
    header.SystemTime.wDayOfWeek = static_cast<WORD>(utc.tm_wday);
    header.SystemTime.wDay = static_cast<WORD>(utc.tm_mday);
    header.SystemTime.wHour = static_cast<WORD>(utc.tm_hour);
    header.SystemTime.wMinute = static_cast<WORD>(utc.tm_min);
    header.SystemTime.wSecond = static_cast<WORD>(utc.tm_sec);
    header.SystemTime.wMilliseconds = static_cast<WORD>(real.tv_nsec / 1000000);
}

// The data block header and the system name after it; returns the offset
// of the first object.
size_t PutDataBlockHeader(std::vector<BYTE>& block) {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    std::u16string name = DecodeUtf8Lossy(host);
    size_t nameOffset = sizeof(PERF_DATA_BLOCK);
    size_t nameBytes = (name.size() + 1) * sizeof(char16_t);
    size_t headerLength = AlignUp8(nameOffset + nameBytes);
    block.assign(headerLength, 0);
    auto* header = At<PERF_DATA_BLOCK>(block, 0);
    header->Signature[0] = u'P';
    header->Signature[1] = u'E';
    header->Signature[2] = u'R';
    header->Signature[3] = u'F';
    header->LittleEndian = 1;
    header->Version = 1;
    header->Revision = 1;
    header->HeaderLength = static_cast<DWORD>(headerLength);
    header->DefaultObject = static_cast<LONG>(kProcessObjectIndex);
    FillTimes(*header);
    header->SystemNameLength = static_cast<DWORD>(nameBytes);
    header->SystemNameOffset = static_cast<DWORD>(nameOffset);
    PutU16Text(block, nameOffset, name);
    return headerLength;
}

void PutCounterDefinition(PERF_COUNTER_DEFINITION& def, DWORD index, DWORD type, DWORD size,
                          DWORD offset) {
    def.ByteLength = sizeof(PERF_COUNTER_DEFINITION);
    def.CounterNameTitleIndex = index;
    def.CounterHelpTitleIndex = index + 1;
    def.DefaultScale = 0;
    def.DetailLevel = PERF_DETAIL_NOVICE;
    def.CounterType = type;
    def.CounterSize = size;
    def.CounterOffset = offset;
}

// The object header and its counter definitions, at `start`.
void PutObjectDefinition(std::vector<BYTE>& block, size_t start, const PERF_DATA_BLOCK& header) {
    size_t definitionLength = sizeof(PERF_OBJECT_TYPE) + kCounterCount * sizeof(PERF_COUNTER_DEFINITION);
    block.resize(start + definitionLength, 0);
    auto* object = At<PERF_OBJECT_TYPE>(block, start);
    object->DefinitionLength = static_cast<DWORD>(definitionLength);
    object->HeaderLength = sizeof(PERF_OBJECT_TYPE);
    object->ObjectNameTitleIndex = kProcessObjectIndex;
    object->ObjectHelpTitleIndex = kProcessObjectIndex + 1;
    object->DetailLevel = PERF_DETAIL_NOVICE;
    object->NumCounters = kCounterCount;
    object->DefaultCounter = 0;
    object->CodePage = 0;  // instance names are UTF-16
    object->PerfTime = header.PerfTime;
    object->PerfFreq = header.PerfFreq;
    auto* defs = At<PERF_COUNTER_DEFINITION>(block, start + sizeof(PERF_OBJECT_TYPE));
    PutCounterDefinition(defs[0], kProcessorTimeIndex, PERF_100NSEC_TIMER, 8, kProcessorTimeOffset);
    PutCounterDefinition(defs[1], kWorkingSetIndex, PERF_COUNTER_LARGE_RAWCOUNT, 8, kWorkingSetOffset);
    PutCounterDefinition(defs[2], kPrivateBytesIndex, PERF_COUNTER_LARGE_RAWCOUNT, 8,
                         kPrivateBytesOffset);
    PutCounterDefinition(defs[3], kThreadCountIndex, PERF_COUNTER_RAWCOUNT, 4, kThreadCountOffset);
    PutCounterDefinition(defs[4], kIdProcessIndex, PERF_COUNTER_RAWCOUNT, 4, kIdProcessOffset);
}

// One instance definition, its name and its counter block, at the end.
void PutInstance(std::vector<BYTE>& block, const ProcStat& stat, const ProcStatm& statm,
                 std::u16string& name) {
    name = DecodeUtf8Lossy(stat.comm);
    size_t nameBytes = (name.size() + 1) * sizeof(char16_t);
    size_t instanceLength = AlignUp8(sizeof(PERF_INSTANCE_DEFINITION) + nameBytes);
    size_t start = block.size();
    block.resize(start + instanceLength + kCounterBlockLength, 0);
    auto* instance = At<PERF_INSTANCE_DEFINITION>(block, start);
    instance->ByteLength = static_cast<DWORD>(instanceLength);
    instance->UniqueID = kNoUniqueId;
    instance->NameOffset = sizeof(PERF_INSTANCE_DEFINITION);
    instance->NameLength = static_cast<DWORD>(nameBytes);
    PutU16Text(block, start + sizeof(PERF_INSTANCE_DEFINITION), name);

    size_t counters = start + instanceLength;
    uint64_t page = PageSizeBytes();
    uint64_t ticks = ClockTicksPerSecond();
    uint64_t cpuTicks = stat.utimeTicks + stat.stimeTicks;
    // Whole seconds and the remainder apart, so that no product overflows.
    uint64_t cpu100ns = cpuTicks / ticks * 10000000ULL + cpuTicks % ticks * 10000000ULL / ticks;
    uint64_t workingSet = statm.resident * page;
    uint64_t privateBytes = statm.data * page;
    DWORD blockLength = kCounterBlockLength;
    DWORD pid = stat.pid;
    DWORD threads = stat.threads;
    std::memcpy(block.data() + counters, &blockLength, 4);
    std::memcpy(block.data() + counters + kIdProcessOffset, &pid, 4);
    std::memcpy(block.data() + counters + kProcessorTimeOffset, &cpu100ns, 8);
    std::memcpy(block.data() + counters + kWorkingSetOffset, &workingSet, 8);
    std::memcpy(block.data() + counters + kPrivateBytesOffset, &privateBytes, 8);
    std::memcpy(block.data() + counters + kThreadCountOffset, &threads, 4);
}

}  // namespace

std::vector<BYTE> BuildPerfDataBlock(bool withProcess) {
    std::vector<BYTE> block;
    size_t objectStart = PutDataBlockHeader(block);
    if (withProcess) {
        BeginSnapshotStarts();
        std::vector<DWORD> pids = ListProcessIds();
        block.reserve(objectStart + 512 + pids.size() * 112);
        PERF_DATA_BLOCK header = *At<PERF_DATA_BLOCK>(block, 0);
        PutObjectDefinition(block, objectStart, header);
        LONG instances = 0;
        ProcStat stat;
        ProcStatm statm;
        std::u16string name;
        for (DWORD pid : pids) {
            // A process whose files cannot be read any more has ended
            // since the directory was read.
            if (!ReadProcessStat(pid, stat) || !ReadProcessStatm(pid, statm)) continue;
            NoteSnapshotStart(pid, stat.startTicks);
            PutInstance(block, stat, statm, name);
            ++instances;
        }
        EndSnapshotStarts();
        auto* object = At<PERF_OBJECT_TYPE>(block, objectStart);
        object->NumInstances = instances;
        object->TotalByteLength = static_cast<DWORD>(block.size() - objectStart);
        At<PERF_DATA_BLOCK>(block, 0)->NumObjectTypes = 1;
    }
    At<PERF_DATA_BLOCK>(block, 0)->TotalByteLength = static_cast<DWORD>(block.size());
    return block;
}
