// Malformed performance data: every length, count and offset that points
// outside the reply makes GetTaskList fail with the caller's table as it
// was. The reply fills a buffer of exactly its size, so that a read past it
// is caught by the address sanitizer as well.
#include <gtest/gtest.h>

#include <functional>

#include "tests/nt/nt_fixture.h"
#include "tests/nt/perf_block_builder.h"

namespace {

constexpr size_t kTasks = 100;
constexpr size_t kLast = kTasks - 1;

struct Corruption {
    const char* what;
    std::function<void(PerfImage&)> apply;
};

void PrintTo(const Corruption& c, std::ostream* os) { *os << c.what; }

size_t ObjectField(const PerfImage& m, size_t field) { return m.object + field; }
size_t InstanceField(const PerfImage& m, size_t i, size_t field) { return m.instances[i] + field; }
size_t DefinitionField(const PerfImage& m, size_t d, size_t field) {
    return m.definitions + d * sizeof(PERF_COUNTER_DEFINITION) + field;
}
// The 32-bit value that, added to `from` in 32-bit arithmetic, gives the
// earlier position `to`.
uint32_t Wrapping(uint64_t from, uint64_t to) {
    EXPECT_LT(to, from);
    return static_cast<uint32_t>((1ull << 32) - from + to);
}

const Corruption kCorruptions[] = {
    {"data shorter than its header", [](PerfImage& m) { m.bytes.resize(40); }},
    {"data header length past the end",
     [](PerfImage& m) { Put32(m.bytes, offsetof(PERF_DATA_BLOCK, HeaderLength), 0xFFFFFFF0u); }},
    {"object header cut by the end", [](PerfImage& m) { m.bytes.resize(m.object + 40); }},
    {"object header length past the end",
     [](PerfImage& m) { Put32(m.bytes, ObjectField(m, offsetof(PERF_OBJECT_TYPE, HeaderLength)), 0x7FFFFFFFu); }},
    {"object header length wrapping to 0",
     [](PerfImage& m) {
         Put32(m.bytes, ObjectField(m, offsetof(PERF_OBJECT_TYPE, HeaderLength)), Wrapping(m.object, 0));
     }},
    {"NumCounters in the millions",
     [](PerfImage& m) { Put32(m.bytes, ObjectField(m, offsetof(PERF_OBJECT_TYPE, NumCounters)), 3000000); }},
    {"NumCounters times 40 wrapping in 32 bits",
     [](PerfImage& m) { Put32(m.bytes, ObjectField(m, offsetof(PERF_OBJECT_TYPE, NumCounters)), 0x0666666Au); }},
    {"definition length past the end",
     [](PerfImage& m) {
         Put32(m.bytes, ObjectField(m, offsetof(PERF_OBJECT_TYPE, DefinitionLength)), 0x7FFFFFFFu);
     }},
    {"definition length wrapping onto the data header",
     [](PerfImage& m) {
         Put32(m.bytes, ObjectField(m, offsetof(PERF_OBJECT_TYPE, DefinitionLength)),
               Wrapping(m.object, 0));
     }},
    {"one instance more than the data holds",
     [](PerfImage& m) {
         Put32(m.bytes, ObjectField(m, offsetof(PERF_OBJECT_TYPE, NumInstances)), kTasks + 1);
     }},
    {"NumInstances 0x7FFFFFFF",
     [](PerfImage& m) { Put32(m.bytes, ObjectField(m, offsetof(PERF_OBJECT_TYPE, NumInstances)), 0x7FFFFFFFu); }},
    {"NumInstances -2",
     [](PerfImage& m) { Put32(m.bytes, ObjectField(m, offsetof(PERF_OBJECT_TYPE, NumInstances)), 0xFFFFFFFEu); }},
    {"instance length past the end",
     [](PerfImage& m) { Put32(m.bytes, InstanceField(m, 0, offsetof(PERF_INSTANCE_DEFINITION, ByteLength)), 0xFFFFFFF0u); }},
    {"instance length wrapping onto an earlier block",
     [](PerfImage& m) {
         Put32(m.bytes, InstanceField(m, 5, offsetof(PERF_INSTANCE_DEFINITION, ByteLength)),
               Wrapping(m.instances[5], m.blocks[1]));
     }},
    {"instance length shorter than its definition",
     [](PerfImage& m) { Put32(m.bytes, InstanceField(m, 3, offsetof(PERF_INSTANCE_DEFINITION, ByteLength)), 8); }},
    {"name offset past the end",
     [](PerfImage& m) {
         Put32(m.bytes, InstanceField(m, kLast, offsetof(PERF_INSTANCE_DEFINITION, NameOffset)), 0x7FFFFFFFu);
     }},
    {"name offset wrapping onto the first name",
     [](PerfImage& m) {
         Put32(m.bytes, InstanceField(m, kLast, offsetof(PERF_INSTANCE_DEFINITION, NameOffset)),
               Wrapping(m.instances[kLast], m.instances[0] + sizeof(PERF_INSTANCE_DEFINITION)));
     }},
    {"name without terminator at the end of the data",
     [](PerfImage& m) {
         const size_t at = m.bytes.size();
         m.bytes += std::string("a\0b\0", 4);
         Put32(m.bytes, InstanceField(m, kLast, offsetof(PERF_INSTANCE_DEFINITION, NameOffset)),
               static_cast<uint32_t>(at - m.instances[kLast]));
     }},
    {"name cut by the end of the data",
     [](PerfImage& m) { m.bytes.resize(m.instances[kLast] + sizeof(PERF_INSTANCE_DEFINITION) + 3); }},
    {"last counter block past the end", [](PerfImage& m) { Put32(m.bytes, m.blocks[kLast], 1000); }},
    {"counter block of zero bytes", [](PerfImage& m) { Put32(m.bytes, m.blocks[0], 0); }},
    {"counter block length wrapping onto an earlier instance",
     [](PerfImage& m) { Put32(m.bytes, m.blocks[3], Wrapping(m.blocks[3], m.instances[1])); }},
    {"data cut inside the last counter block", [](PerfImage& m) { m.bytes.resize(m.blocks[kLast] + 20); }},
    {"counter offset past the end",
     [](PerfImage& m) { Put32(m.bytes, DefinitionField(m, 0, offsetof(PERF_COUNTER_DEFINITION, CounterOffset)), 0x10000); }},
    {"counter offset wrapping backwards",
     [](PerfImage& m) {
         Put32(m.bytes, DefinitionField(m, 1, offsetof(PERF_COUNTER_DEFINITION, CounterOffset)), 0xFFFFFFFCu);
     }},
    {"8-byte working set crossing the end",
     [](PerfImage& m) { Put32(m.bytes, DefinitionField(m, 2, offsetof(PERF_COUNTER_DEFINITION, CounterOffset)), 36); }},
    {"processor time crossing the end",
     [](PerfImage& m) { Put32(m.bytes, DefinitionField(m, 4, offsetof(PERF_COUNTER_DEFINITION, CounterOffset)), 36); }},
};

class MalformedData : public NtTest, public ::testing::WithParamInterface<Corruption> {};

TEST_P(MalformedData, FailsWithNothingAppended) {
    std::vector<TestTask> tasks;
    for (DWORD i = 0; i < kTasks; ++i) tasks.push_back({100 + i, 2, 4096, 8192, 10, u"worker"});
    PerfImage image = StandardImage(tasks);
    GetParam().apply(image);
    const std::string& data = image.bytes;
    SetStandardCounters();
    // The buffer then holds max(0, reported) + 4096 bytes: exactly the data.
    const DWORD reported = data.size() > 4096 ? static_cast<DWORD>(data.size() - 4096) : 0;
    Fake().perfReplies.push_back({ERROR_MORE_DATA, "", reported});
    Fake().perfReplies.push_back({ERROR_SUCCESS, data, std::nullopt});

    const TaskListProbe probe = ProbeTaskList(2);
    ASSERT_TRUE(probe.finished) << GetParam().what << "\n" << probe.run.out;
    EXPECT_EQ(probe.result, 0) << GetParam().what;
    ASSERT_EQ(probe.tasks.size(), 2u) << GetParam().what;
    EXPECT_EQ(probe.tasks[0].pid, kSentinelPid);
    EXPECT_EQ(probe.tasks[1].pid, kSentinelPid + 1);
    EXPECT_EQ(probe.run.CountCalls("RegCloseKey HKEY_PERFORMANCE_DATA"), 1);
}

INSTANTIATE_TEST_SUITE_P(Blocks, MalformedData, ::testing::ValuesIn(kCorruptions));

TEST_F(NtTest, TheUncorruptedImageOfTheMalformedTableIsRead) {
    std::vector<TestTask> tasks;
    for (DWORD i = 0; i < kTasks; ++i) tasks.push_back({100 + i, 2, 4096, 8192, 10, u"worker"});
    const std::string data = StandardImage(tasks).bytes;
    ASSERT_GT(data.size(), 4096u);
    SetStandardCounters();
    Fake().perfReplies.push_back({ERROR_MORE_DATA, "", static_cast<DWORD>(data.size() - 4096)});
    Fake().perfReplies.push_back({ERROR_SUCCESS, data, std::nullopt});
    const TaskListProbe probe = ProbeTaskList(2);
    ASSERT_TRUE(probe.finished);
    EXPECT_EQ(probe.result, 1);
    ASSERT_EQ(probe.tasks.size(), kTasks + 2);
    EXPECT_EQ(probe.tasks.back().pid, 100 + kLast);
    EXPECT_EQ(probe.run.CallsStartingWith("RegQueryValueExA HKEY_PERFORMANCE_DATA").back(),
              "RegQueryValueExA HKEY_PERFORMANCE_DATA 230 reserved=none type=set data=buffer size=" +
                  std::to_string(data.size()));
}

}  // namespace
