// The kill table: fixed storage of 4096 distinct, nonzero PIDs.
#include <cstdio>

#include "tests/win9x/win9x_fixture.h"
#include "win9x/kill_table.h"

namespace {

const std::string kOverflowLines =
    "\nTaskreap W32 1.2 (W95+W98): internal table overflow !\n"
    "More than 4096 Processes to kill.\n";

class KillTableTest : public Win9xMachine {};

TEST_F(KillTableTest, KeepsDistinctNonzeroPidsInInsertionOrder) {
    RunResult r = RunIsolated([] {
        for (DWORD pid : {5u, 0u, 7u, 5u, 0xFFFFFFFFu, 7u}) KillTableAdd(pid);
        std::printf("count=%u", static_cast<unsigned>(KillTable.Count));
        for (unsigned i = 0; i < KillTable.Count; ++i)
            std::printf(" %X", static_cast<unsigned>(KillTable.Pids[i]));
        std::printf(" has5=%d has7=%d hasMax=%d has0=%d has6=%d\n", KillTableContains(5),
                    KillTableContains(7), KillTableContains(0xFFFFFFFFu), KillTableContains(0),
                    KillTableContains(6));
    });
    EXPECT_EQ(r.end, RunEnd::Returned);
    EXPECT_EQ(r.out, "count=3 5 7 FFFFFFFF has5=1 has7=1 hasMax=1 has0=0 has6=0\n");
}

TEST_F(KillTableTest, FullTableIgnoresZeroAndDuplicates) {
    RunResult r = RunIsolated([] {
        for (DWORD pid = 1; pid <= 4096; ++pid) KillTableAdd(pid);
        KillTableAdd(0);
        KillTableAdd(1);
        KillTableAdd(4096);
        std::printf("count=%u last=%u has4096=%d has4097=%d\n", static_cast<unsigned>(KillTable.Count),
                    static_cast<unsigned>(KillTable.Pids[4095]), KillTableContains(4096),
                    KillTableContains(4097));
    });
    EXPECT_EQ(r.end, RunEnd::Returned);
    EXPECT_EQ(r.out, "count=4096 last=4096 has4096=1 has4097=0\n");
}

TEST_F(KillTableTest, The4097thDistinctPidEndsThroughExit) {
    RunResult r = RunIsolated([] {
        for (DWORD pid = 1; pid <= 4096; ++pid) KillTableAdd(pid);
        std::printf("full\n");
        KillTableAdd(4097);
        std::printf("not reached\n");
    });
    EXPECT_EQ(r.end, RunEnd::LibcExit);
    EXPECT_EQ(r.exitCode, 0xFFFFu & 0xFF);
    EXPECT_EQ(r.out, "full\n" + kOverflowLines);
    EXPECT_EQ(r.CountCalls("ExitProcess"), 0);
}

// Runs of the program whose selection fills the table: parents added for /d
// take slots too.
TEST_F(KillTableTest, SelectionThatOverflowsEndsBeforeAnyOutput) {
    struct Case {
        const char* what;
        DWORD processes;
        bool parents;  // each process has a parent of its own, outside the snapshot
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {"4097 processes", 4097, false, {"/n*", "/a"}},
        {"2049 processes with their parents", 2049, true, {"/n*", "/a", "/d"}},
        {"listing only", 4097, false, {"/n*", "/l"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        for (DWORD i = 1; i <= c.processes; ++i)
            AddProcess(i, c.parents ? 0x100000 + i : 0, "C:\\P" + std::to_string(i) + ".EXE");
        RunResult r = RunProgram(c.args);
        EXPECT_EQ(r.end, RunEnd::LibcExit);
        EXPECT_EQ(r.exitCode, 255u);
        EXPECT_EQ(r.out, kOverflowLines);
        EXPECT_EQ(r.CountCalls("OpenProcess"), 0);
        EXPECT_FALSE(CalledGetVersion(r));  // no banner line was printed
        ExpectNoRelease(r);
    }
}

// A table filled to the last slot works; the exit status is the full
// count, not its low byte.
TEST_F(KillTableTest, FullTableStillListsAndReportsTheWholeCount) {
    for (DWORD i = 1; i <= 2048; ++i) AddProcess(i, 0x100000 + i, "C:\\P" + std::to_string(i) + ".EXE");
    RunResult r = RunProgram({"/n*", "/a", "/d", "/l"});
    ExpectExit(r, 2048);
    const std::string tail = "$00000800 $00100800 C:\\P2048.EXE\n\n2048 Processes found.\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_EQ(r.CountCalls("OpenProcess"), 0);
}

}  // namespace
