#include "tests/nt/perf_block_builder.h"

#include <cstddef>
#include <cstring>

namespace {

size_t Align8(size_t n) { return (n + 7) & ~size_t{7}; }

template <class T>
void Put(std::string& bytes, size_t at, T value) {
    if (bytes.size() < at + sizeof value) bytes.resize(at + sizeof value, '\0');
    std::memcpy(&bytes[at], &value, sizeof value);
}

}  // namespace

void Put32(std::string& bytes, size_t at, uint32_t value) { Put(bytes, at, value); }
void Put64(std::string& bytes, size_t at, uint64_t value) { Put(bytes, at, value); }

PerfImage BuildPerfImage(const std::vector<PerfCounterDef>& counters,
                         const std::vector<PerfInstance>& instances) {
    PerfImage image;
    std::string& b = image.bytes;
    b.assign(sizeof(PERF_DATA_BLOCK), '\0');
    const char16_t signature[4] = {u'P', u'E', u'R', u'F'};
    std::memcpy(&b[0], signature, sizeof signature);
    Put32(b, offsetof(PERF_DATA_BLOCK, LittleEndian), 1);
    Put32(b, offsetof(PERF_DATA_BLOCK, Version), 1);
    Put32(b, offsetof(PERF_DATA_BLOCK, HeaderLength), sizeof(PERF_DATA_BLOCK));
    Put32(b, offsetof(PERF_DATA_BLOCK, NumObjectTypes), 1);

    image.object = b.size();
    const size_t o = image.object;
    b.resize(o + sizeof(PERF_OBJECT_TYPE), '\0');
    const size_t definitionLength =
        sizeof(PERF_OBJECT_TYPE) + counters.size() * sizeof(PERF_COUNTER_DEFINITION);
    Put32(b, o + offsetof(PERF_OBJECT_TYPE, DefinitionLength), static_cast<uint32_t>(definitionLength));
    Put32(b, o + offsetof(PERF_OBJECT_TYPE, HeaderLength), sizeof(PERF_OBJECT_TYPE));
    Put32(b, o + offsetof(PERF_OBJECT_TYPE, ObjectNameTitleIndex), kProcessTitle);
    Put32(b, o + offsetof(PERF_OBJECT_TYPE, NumCounters), static_cast<uint32_t>(counters.size()));
    Put32(b, o + offsetof(PERF_OBJECT_TYPE, NumInstances), static_cast<uint32_t>(instances.size()));

    image.definitions = b.size();
    for (const PerfCounterDef& c : counters) {
        const size_t d = b.size();
        b.resize(d + sizeof(PERF_COUNTER_DEFINITION), '\0');
        Put32(b, d + offsetof(PERF_COUNTER_DEFINITION, ByteLength), sizeof(PERF_COUNTER_DEFINITION));
        Put32(b, d + offsetof(PERF_COUNTER_DEFINITION, CounterNameTitleIndex), c.titleIndex);
        Put32(b, d + offsetof(PERF_COUNTER_DEFINITION, CounterSize), c.size);
        Put32(b, d + offsetof(PERF_COUNTER_DEFINITION, CounterOffset), c.offset);
    }

    for (const PerfInstance& instance : instances) {
        const size_t i = b.size();
        image.instances.push_back(i);
        const size_t nameBytes = (instance.name.size() + 1) * 2;
        const size_t length = Align8(sizeof(PERF_INSTANCE_DEFINITION) + nameBytes);
        b.resize(i + length, '\0');
        Put32(b, i + offsetof(PERF_INSTANCE_DEFINITION, ByteLength), static_cast<uint32_t>(length));
        Put32(b, i + offsetof(PERF_INSTANCE_DEFINITION, NameOffset), sizeof(PERF_INSTANCE_DEFINITION));
        Put32(b, i + offsetof(PERF_INSTANCE_DEFINITION, NameLength), static_cast<uint32_t>(nameBytes));
        if (!instance.name.empty())
            std::memcpy(&b[i + sizeof(PERF_INSTANCE_DEFINITION)], instance.name.data(),
                        instance.name.size() * 2);
        const size_t k = b.size();
        image.blocks.push_back(k);
        b += instance.block;
        if (instance.block.size() >= 4) Put32(b, k, static_cast<uint32_t>(instance.block.size()));
    }
    Put32(b, o + offsetof(PERF_OBJECT_TYPE, TotalByteLength), static_cast<uint32_t>(b.size() - o));
    Put32(b, offsetof(PERF_DATA_BLOCK, TotalByteLength), static_cast<uint32_t>(b.size()));
    return image;
}

std::vector<PerfCounterDef> StandardCounters() {
    return {{kIdProcessTitle, 8, 4},
            {kThreadCountTitle, 12, 4},
            {kWorkingSetTitle, 16, 8},
            {kPrivateBytesTitle, 24, 8},
            {kProcessorTimeTitle, 32, 8}};
}

PerfInstance StandardInstance(const TestTask& task) {
    PerfInstance instance;
    instance.name = task.name;
    std::string& block = instance.block;
    block.assign(40, '\0');
    Put32(block, 8, task.pid);
    Put32(block, 12, task.threads);
    Put64(block, 16, task.workingSet);
    Put64(block, 24, task.privateBytes);
    Put64(block, 32, static_cast<uint64_t>(task.cpu));
    return instance;
}

PerfImage StandardImage(const std::vector<TestTask>& tasks) {
    std::vector<PerfInstance> instances;
    for (const TestTask& t : tasks) instances.push_back(StandardInstance(t));
    return BuildPerfImage(StandardCounters(), instances);
}
