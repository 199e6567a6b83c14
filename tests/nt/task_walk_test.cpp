// The walk of the process object: counter offsets, names, processor time,
// memory counters of 4 and 8 bytes, and the order of the table.
#include <gtest/gtest.h>

#include "tests/nt/nt_fixture.h"
#include "tests/nt/perf_block_builder.h"

namespace {

class TaskWalk : public NtTest {
protected:
    TaskListProbe Run(const std::string& data, size_t sentinels = 0) {
        SetMachine(data);
        TaskListProbe probe = ProbeTaskList(sentinels);
        EXPECT_TRUE(probe.finished);
        EXPECT_EQ(probe.result, 1);
        return probe;
    }
};

TEST_F(TaskWalk, ReadsEveryCounterAndKeepsDataOrderAfterExistingEntries) {
    const TaskListProbe p =
        Run(StandardImage({{0x1A4, 5, 2101248, 1048575, 37235000000, u"editor"},
                           {8, 30, 1 << 20, 1 << 21, 10000000, u"System"}})
                .bytes,
            2);
    ASSERT_EQ(p.tasks.size(), 4u);
    EXPECT_EQ(p.tasks[0].pid, kSentinelPid);
    EXPECT_EQ(p.tasks[1].pid, kSentinelPid + 1);
    const ProbedTask& a = p.tasks[2];
    EXPECT_EQ(a.pid, 0x1A4u);
    EXPECT_EQ(a.threads, 5u);
    EXPECT_EQ(a.workingSet, 2101248u);
    EXPECT_EQ(a.privateBytes, 1048575u);
    EXPECT_EQ(a.cpu, 3723.5);
    EXPECT_EQ(a.name, "editor.exe");
    EXPECT_EQ(a.title, "");
    EXPECT_EQ(a.marked, 0u);
    EXPECT_EQ(p.tasks[3].pid, 8u);
    EXPECT_EQ(p.tasks[3].name, "System.exe");
    EXPECT_EQ(p.tasks[3].cpu, 1.0);
    const auto conversions = p.run.CallsStartingWith("WideCharToMultiByte");
    ASSERT_EQ(conversions.size(), 2u);
    EXPECT_EQ(conversions[0], "WideCharToMultiByte cp=0 flags=0 count=-1 capacity=260 default=none used=none");
}

TEST_F(TaskWalk, NoInstancesGiveAnEmptyTable) {
    PerfImage image = StandardImage({});
    EXPECT_EQ(Run(image.bytes, 1).tasks.size(), 1u);
    Put32(image.bytes, image.object + offsetof(PERF_OBJECT_TYPE, NumInstances),
          static_cast<uint32_t>(PERF_NO_INSTANCES));
    EXPECT_EQ(Run(image.bytes, 1).tasks.size(), 1u);
}

TEST_F(TaskWalk, NoInstanceDefinitionsAreReadWithoutInstances) {
    // PERF_NO_INSTANCES: the object's definitions end the data.
    PerfImage image = StandardImage({{1, 1, 0, 0, 0, u"x"}});
    image.bytes.resize(image.instances[0]);
    Put32(image.bytes, image.object + offsetof(PERF_OBJECT_TYPE, NumInstances),
          static_cast<uint32_t>(PERF_NO_INSTANCES));
    EXPECT_TRUE(Run(image.bytes).tasks.empty());
}

// A block of 40 bytes whose bytes 4 to 7 hold 1, so that a 64-bit read at
// offset 0 shows both halves: 40 + 2^32.
PerfInstance MarkedBlock(const char16_t* name) {
    PerfInstance instance = StandardInstance({100, 2, 3, 4, 5, name});
    Put32(instance.block, 4, 1);
    return instance;
}
constexpr double kOffsetZeroCpu = (40.0 + 4294967296.0) * 1e-7;

TEST_F(TaskWalk, CountersNoDefinitionNamesAreReadAtOffsetZero) {
    const TaskListProbe p = Run(BuildPerfImage({}, {MarkedBlock(u"a")}).bytes);
    ASSERT_EQ(p.tasks.size(), 1u);
    EXPECT_EQ(p.tasks[0].pid, 40u);
    EXPECT_EQ(p.tasks[0].threads, 40u);
    EXPECT_EQ(p.tasks[0].workingSet, 40u);
    EXPECT_EQ(p.tasks[0].privateBytes, 40u);
    EXPECT_EQ(p.tasks[0].cpu, kOffsetZeroCpu);
}

TEST_F(TaskWalk, ACounterWhoseTitleIsMissingIsReadAtOffsetZero) {
    SetCounters(CounterList({{"230", "Process"}, {"784", "ID Process"}, {"680", "Thread Count"},
                             {"180", "Working Set"}, {"6", "% Processor Time"}}));
    ScriptPerfData(BuildPerfImage(StandardCounters(), {MarkedBlock(u"a")}).bytes);
    const TaskListProbe p = ProbeTaskList();
    ASSERT_EQ(p.result, 1);
    ASSERT_EQ(p.tasks.size(), 1u);
    EXPECT_EQ(p.tasks[0].pid, 100u);
    EXPECT_EQ(p.tasks[0].privateBytes, 40u);
}

TEST_F(TaskWalk, TitlesAreTriedInTheirFixedOrderAndTheFirstMatchTakesTheDefinition) {
    // "Thread Count" shares the index of "ID Process": the one definition
    // goes to "ID Process", and "Thread Count" stays at offset 0.
    SetCounters(CounterList({{"230", "Process"}, {"784", "ID Process"}, {"784", "ID Process"},
                             {"784", "Thread Count"}, {"180", "Working Set"},
                             {"186", "Private Bytes"}, {"6", "% Processor Time"}}));
    ScriptPerfData(BuildPerfImage({{784, 8, 4}}, {MarkedBlock(u"a")}).bytes);
    const TaskListProbe p = ProbeTaskList();
    ASSERT_EQ(p.result, 1);
    ASSERT_EQ(p.tasks.size(), 1u);
    EXPECT_EQ(p.tasks[0].pid, 100u);
    EXPECT_EQ(p.tasks[0].threads, 40u);
}

TEST_F(TaskWalk, ALaterDefinitionReplacesTheOffsetAndSize) {
    std::vector<PerfCounterDef> defs = StandardCounters();
    defs.push_back({kWorkingSetTitle, 12, 4});  // Working Set now reads the thread count
    const TaskListProbe p = Run(BuildPerfImage(defs, {MarkedBlock(u"a")}).bytes);
    ASSERT_EQ(p.tasks.size(), 1u);
    EXPECT_EQ(p.tasks[0].workingSet, 2u);
    EXPECT_EQ(p.tasks[0].privateBytes, 4u);
}

TEST_F(TaskWalk, DefinitionsOfOtherCountersAreIgnored) {
    std::vector<PerfCounterDef> defs = {{232, 0, 4}, {9999, 4, 8}};
    for (const PerfCounterDef& d : StandardCounters()) defs.push_back(d);
    const TaskListProbe p = Run(BuildPerfImage(defs, {MarkedBlock(u"a")}).bytes);
    ASSERT_EQ(p.tasks.size(), 1u);
    EXPECT_EQ(p.tasks[0].pid, 100u);
    EXPECT_EQ(p.tasks[0].threads, 2u);
    EXPECT_EQ(p.tasks[0].cpu, 5e-7);
}

struct MemoryCase {
    DWORD counterSize;
    uint64_t stored;
    uint64_t read;
};

class MemoryCounter : public TaskWalk, public ::testing::WithParamInterface<MemoryCase> {};

TEST_P(MemoryCounter, EightByteCountersAreReadWhole) {
    const MemoryCase& c = GetParam();
    std::vector<PerfCounterDef> defs = StandardCounters();
    defs[2].size = c.counterSize;
    defs[3].size = c.counterSize;
    const TaskListProbe p =
        Run(BuildPerfImage(defs, {StandardInstance({1, 1, c.stored, c.stored + 1, 0, u"big"})}).bytes);
    ASSERT_EQ(p.tasks.size(), 1u);
    EXPECT_EQ(p.tasks[0].workingSet, c.read) << "size " << c.counterSize;
    EXPECT_EQ(p.tasks[0].privateBytes, c.read + 1) << "size " << c.counterSize;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, MemoryCounter,
    ::testing::Values(MemoryCase{8, 5368709120u, 5368709120u},             // 5 GiB
                      MemoryCase{8, 0xFFFFFFFFFFFFFFF0u, 0xFFFFFFFFFFFFFFF0u},
                      MemoryCase{4, 5368709120u, 1073741824u},             // low 32 bits
                      MemoryCase{2, 5368709120u, 1073741824u},             // read as 4 bytes
                      MemoryCase{16, 0x100000010u, 0x10u}));

struct NameCase {
    std::u16string instance;
    std::string name;
};

class InstanceName : public TaskWalk, public ::testing::WithParamInterface<NameCase> {};

TEST_P(InstanceName, BecomesTheProcessName) {
    const TaskListProbe p = Run(StandardImage({{1, 1, 0, 0, 0, GetParam().instance}}).bytes);
    ASSERT_EQ(p.tasks.size(), 1u);
    EXPECT_EQ(p.tasks[0].name, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Names, InstanceName,
    ::testing::Values(NameCase{u"notepad", "notepad.exe"},
                      NameCase{u"abcdefghijk", "abcdefghijk.exe"},      // 11: room for .exe
                      NameCase{u"abcdefghijkl", "abcdefghijkl"},        // 12
                      NameCase{u"abcdefghijklmno", "abcdefghijklmno"},  // 15
                      NameCase{u"abcdefghijklmnop", "abcdefghijklmno"}, // 16: cut, no .exe
                      NameCase{u"a_rather_long_instance_name", "a_rather_long_i"},
                      NameCase{u"a.b", "a.b"}, NameCase{u"lsass.exe", "lsass.exe"},
                      NameCase{u"", ".exe"},
                      NameCase{u"x\xD800y", "-- unknown --"},  // a lone surrogate
                      NameCase{std::u16string(300, u'n'), "-- unknown --"},  // beyond 260 bytes
                      NameCase{std::u16string(259, u'n'), "nnnnnnnnnnnnnnn"},
                      NameCase{u"\u00e9diteur", "\xC3\xA9" "diteur.exe"}));

struct CpuCase {
    int64_t units;
    double seconds;
};

class ProcessorTime : public TaskWalk, public ::testing::WithParamInterface<CpuCase> {};

TEST_P(ProcessorTime, IsTheCountOf100NanosecondsInSeconds) {
    const TaskListProbe p = Run(StandardImage({{1, 1, 0, 0, GetParam().units, u"t"}}).bytes);
    ASSERT_EQ(p.tasks.size(), 1u);
    EXPECT_EQ(p.tasks[0].cpu, GetParam().seconds) << GetParam().units;
}

INSTANTIATE_TEST_SUITE_P(
    Times, ProcessorTime,
    ::testing::Values(CpuCase{0, 0.0}, CpuCase{10000000, 1.0},
                      CpuCase{(int64_t{1} << 32) + 5000000, 429.9967296},
                      CpuCase{1400000, 0.13999999999999999},
                      CpuCase{-1, -1e-7},  // the high half is signed
                      CpuCase{int64_t{0xFFFFFFFF}, 4294967295.0 * 1e-7}));

TEST_F(TaskWalk, AThousandInstancesAreAllRead) {
    std::vector<TestTask> tasks;
    for (DWORD pid = 1; pid <= 1000; ++pid) tasks.push_back({pid * 4, pid % 50, 0, 0, 0, u"svc"});
    const TaskListProbe p = Run(StandardImage(tasks).bytes);
    ASSERT_EQ(p.tasks.size(), 1000u);
    for (size_t i = 0; i < p.tasks.size(); ++i) ASSERT_EQ(p.tasks[i].pid, (i + 1) * 4);
}

}  // namespace
