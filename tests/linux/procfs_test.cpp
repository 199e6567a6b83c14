// The procfs parsers, the snapshot start record, and the performance data
// built over a fixture tree that stands in for /proc.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "perf_block_walk.h"
#include "platform/linux/perf_block.h"
#include "platform/linux/procfs.h"

namespace {

// A stat line with `comm` and the given flags, threads and start time.
std::string StatLine(DWORD pid, const std::string& comm, uint32_t flags, int threads, uint64_t start,
                     DWORD ppid = 1, bool withPolicy = true) {
    std::string line = std::to_string(pid) + " (" + comm + ") S " + std::to_string(ppid) + " 7 7 0 -1 " +
                       std::to_string(flags) + " 10 0 0 0 250 130 0 0 20 -5 " + std::to_string(threads) +
                       " 0 " + std::to_string(start) +
                       " 1000 50 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 3 0";
    if (withPolicy) line += " 2 0 0 0 0 0 0 0 0 0 0";
    return line + "\n";
}

struct StatCase {
    const char* what;
    std::string text;
    bool ok;
    std::string comm;
};

TEST(ParseProcStat, TakesTheNameBetweenFirstParenAndLastAndTheNumbersAfterIt) {
    const StatCase cases[] = {
        {"plain", StatLine(42, "bash", 0x400100, 3, 9000), true, "bash"},
        {"blanks and parentheses", StatLine(42, "a) (b c", 0, 3, 9000), true, "a) (b c"},
        {"a line feed and a closing paren at the end", StatLine(42, "x\ny)", 0, 3, 9000), true, "x\ny)"},
        {"an empty name", StatLine(42, "", 0, 3, 9000), true, ""},
        {"no policy field", StatLine(42, "old", 0, 3, 9000, 1, false), true, "old"},
        {"cut before the start time", "42 (cut) S 1 7 7 0 -1 0 10 0 0 0 250 130 0 0 20 -5 3 0", false, ""},
        {"cut inside the name", "42 (cut", false, ""},
        {"no name", "42 S 1 7 7 0 -1 0 10 0 0 0 250 130 0 0 20 -5 3 0 9000", false, ""},
        {"a letter in a number", "42 (x) S 1 7 7 0 -1 0 10 0 0 0 25a 130 0 0 20 -5 3 0 9000\n", false, ""},
        {"a number beyond 64 bits",
         "42 (x) S 1 7 7 0 -1 0 10 0 0 0 99999999999999999999 130 0 0 20 -5 3 0 9000\n", false, ""},
        {"a negative thread count", "42 (x) S 1 7 7 0 -1 0 10 0 0 0 1 1 0 0 20 -5 -3 0 9000\n", false, ""},
        {"no PID", "(x) S 1 7 7 0 -1 0 10 0 0 0 1 1 0 0 20 -5 3 0 9000\n", false, ""},
        {"empty", "", false, ""},
    };
    for (const StatCase& c : cases) {
        SCOPED_TRACE(c.what);
        ProcStat stat;
        ASSERT_EQ(ParseProcStat(c.text, stat), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(stat.pid, 42u);
        EXPECT_EQ(stat.comm, c.comm);
        EXPECT_EQ(stat.state, 'S');
        EXPECT_EQ(stat.ppid, 1u);
        EXPECT_EQ(stat.utimeTicks, 250u);
        EXPECT_EQ(stat.stimeTicks, 130u);
        EXPECT_EQ(stat.nice, -5);
        EXPECT_EQ(stat.threads, 3u);
        EXPECT_EQ(stat.startTicks, 9000u);
    }
}

TEST(ParseProcStat, ReadsFlagsAndPolicy) {
    ProcStat stat;
    ASSERT_TRUE(ParseProcStat(StatLine(2, "kthreadd", 0x208040, 1, 30, 0), stat));
    EXPECT_EQ(stat.flags, 0x208040u);
    EXPECT_EQ(stat.ppid, 0u);
    EXPECT_EQ(stat.policy, 2u);
    ASSERT_TRUE(ParseProcStat(StatLine(2, "old", 0, 1, 30, 0, false), stat));
    EXPECT_EQ(stat.policy, 0u);
}

TEST(ParseProcStatm, ReadsSixFieldsAndRefusesFewer) {
    ProcStatm statm;
    ASSERT_TRUE(ParseProcStatm("2500 700 300 40 0 900 0\n", statm));
    EXPECT_EQ(statm.size, 2500u);
    EXPECT_EQ(statm.resident, 700u);
    EXPECT_EQ(statm.shared, 300u);
    EXPECT_EQ(statm.data, 900u);
    EXPECT_FALSE(ParseProcStatm("2500 700 300 40 0\n", statm));
    EXPECT_FALSE(ParseProcStatm("2500 700 x 40 0 900 0\n", statm));
    EXPECT_FALSE(ParseProcStatm("", statm));
}

TEST(SnapshotStarts, OnlyTheLatestSnapshotsProcessesWithTheirStartTimesPass) {
    BeginSnapshotStarts();
    NoteSnapshotStart(300, 7000);
    NoteSnapshotStart(20, 500);  // directory order is not numeric order
    NoteSnapshotStart(4000, 9);
    EXPECT_TRUE(SnapshotTaken());
    EXPECT_TRUE(IsSnapshotProcess(20, 500));
    EXPECT_TRUE(IsSnapshotProcess(300, 7000));
    EXPECT_TRUE(IsSnapshotProcess(4000, 9));
    EXPECT_FALSE(IsSnapshotProcess(300, 7001)) << "a later process under a listed PID";
    EXPECT_FALSE(IsSnapshotProcess(301, 7000)) << "a PID the snapshot did not list";
    BeginSnapshotStarts();
    NoteSnapshotStart(21, 1);
    EXPECT_FALSE(IsSnapshotProcess(20, 500)) << "a new snapshot replaces the old one";
    EXPECT_TRUE(IsSnapshotProcess(21, 1));
}

// A fixture tree in place of /proc, restored at the end.
class ProcFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/procfixtureXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        SetProcRoot(root_);
    }
    void TearDown() override {
        SetProcRoot("/proc");
        std::filesystem::remove_all(root_);
    }
    void Put(const std::string& relative, const std::string& text) {
        std::filesystem::path path = std::filesystem::path(root_) / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string root_;
};

TEST_F(ProcFixture, ListsNumericEntriesOnly) {
    Put("17/stat", StatLine(17, "a", 0, 1, 1));
    Put("4/stat", StatLine(4, "b", 0, 1, 1));
    Put("self/stat", "");
    Put("12ab/stat", "");
    Put("99999999999/stat", "");
    std::vector<DWORD> pids = ListProcessIds();
    std::sort(pids.begin(), pids.end());
    EXPECT_EQ(pids, (std::vector<DWORD>{4, 17}));
}

TEST_F(ProcFixture, PerformanceDataKeepsKernelThreadsAndOddNamesAndLeavesOutWhatCannotBeRead) {
    Put("100/stat", StatLine(100, "plain", 0x400100, 3, 5000));
    Put("100/statm", "2500 700 300 40 0 900 0\n");
    Put("101/stat", StatLine(101, "x) (y\nz", 0x400000, 1, 5100));
    Put("101/statm", "10 1 1 1 0 1 0\n");
    Put("102/stat", StatLine(102, "kworker/0:1", 0x04208060, 1, 30, 2));
    Put("102/statm", "0 0 0 0 0 0 0\n");
    Put("103/statm", "10 1 1 1 0 1 0\n");  // vanished: stat is gone
    Put("104/stat", "104 (cut) S 1 7 7 0 -1 0 10 0 0");
    Put("104/statm", "10 1 1 1 0 1 0\n");
    Put("105/stat", StatLine(105, "nostatm", 0, 1, 5200));
    Put("106/stat", StatLine(106, "bad\xff\xfename", 0, 2, 5300));
    Put("106/statm", "10 1 1 1 0 1 0\n");

    std::vector<BYTE> block = BuildPerfDataBlock(true);
    std::vector<PerfInstance> instances;
    ASSERT_NO_FATAL_FAILURE(WalkPerfBlock(block.data(), block.size(), instances));
    std::sort(instances.begin(), instances.end(),
              [](const PerfInstance& a, const PerfInstance& b) { return a.pid < b.pid; });
    ASSERT_EQ(instances.size(), 4u);

    const uint64_t page = PageSizeBytes();
    const uint64_t ticks = ClockTicksPerSecond();
    EXPECT_EQ(instances[0].pid, 100u);
    EXPECT_EQ(instances[0].name, u"plain");
    EXPECT_EQ(instances[0].threads, 3u);
    EXPECT_EQ(instances[0].workingSet, 700 * page);
    EXPECT_EQ(instances[0].privateBytes, 900 * page);
    EXPECT_EQ(instances[0].cpu100ns, 380 * 10000000ULL / ticks);
    EXPECT_EQ(instances[1].pid, 101u);
    EXPECT_EQ(instances[1].name, u"x) (y\nz");
    EXPECT_EQ(instances[2].pid, 102u);
    EXPECT_EQ(instances[2].name, u"kworker/0:1");
    EXPECT_EQ(instances[2].workingSet, 0u);
    EXPECT_EQ(instances[3].pid, 106u);
    EXPECT_EQ(instances[3].name, u"bad\uFFFD\uFFFDname");
    EXPECT_EQ(instances[3].threads, 2u);

    // The snapshot notes the listed processes with their start times.
    EXPECT_TRUE(IsSnapshotProcess(100, 5000));
    EXPECT_TRUE(IsSnapshotProcess(102, 30));
    EXPECT_FALSE(IsSnapshotProcess(105, 5200));
    EXPECT_FALSE(IsSnapshotProcess(103, 0));
}

TEST_F(ProcFixture, AnEmptyTreeGivesAnObjectWithoutInstances) {
    std::vector<BYTE> block = BuildPerfDataBlock(true);
    std::vector<PerfInstance> instances;
    ASSERT_NO_FATAL_FAILURE(WalkPerfBlock(block.data(), block.size(), instances));
    EXPECT_TRUE(instances.empty());
}

}  // namespace
