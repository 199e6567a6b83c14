// Windows 98 mode: Wine reports platform 1, version 4.10, and main hands the
// run to the 95/98 driver, which walks Wine's own Toolhelp32 snapshots.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "screens.h"
#include "wine_suite.h"

namespace {

class WineWin98 : public WineSuite {
protected:
    static void SetUpTestSuite() { StartSuite("win98"); }
    static void TearDownTestSuite() { EndSuite(); }
};

const char kBannerLine[] =
    "Taskreap W32 1.2 (W95+W98) is running with Windows Version 4.10\r\n\r\n";
const char kShortHeader[] = " Process   Parent    Process\r\n   ID        ID       Name\r\n\r\n";
const char kVerboseHeader[] =
    " Process   Parent     HMOD    Th Pr Bit Process\r\n"
    "   ID        ID                         Name\r\n\r\n";

std::string Hex8(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

struct Row {
    uint32_t Pid, Parent;
    std::string Line;  // without its CR LF
    std::string Exe;
};

// Splits a listing into its rows: everything between the header and the
// empty line before the summary. Fails the test when the frame is wrong.
std::vector<Row> ListedRows(const std::string& out, const std::string& header,
                            const std::regex& row, uint32_t count) {
    std::vector<Row> rows;
    const std::string head = kBannerLine + header;
    const std::string tail = "\r\n" + std::to_string(count) + " Processes found.\r\n";
    EXPECT_EQ(out.substr(0, head.size()), head);
    EXPECT_GE(out.size(), head.size() + tail.size());
    if (out.size() < head.size() + tail.size()) return rows;
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    std::istringstream body(out.substr(head.size(), out.size() - head.size() - tail.size()));
    for (std::string line; std::getline(body, line);) {
        std::smatch m;
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!std::regex_match(line, m, row)) {
            ADD_FAILURE() << "not a row: [" << line << "]";
            continue;
        }
        rows.push_back({static_cast<uint32_t>(std::stoul(m[1], nullptr, 16)),
                        static_cast<uint32_t>(std::stoul(m[2], nullptr, 16)), line,
                        m[m.size() - 1]});
    }
    return rows;
}

// Every row is a process that the runner saw before or after the run, or
// taskreap itself; every process that lived through the whole run is listed
// once, with its name; taskreap's own row names its parent, the runner.
void ExpectOneRowPerProcess(const ToolRun& run, const std::vector<Row>& rows) {
    std::map<uint32_t, std::string> before, after;
    for (const SnapshotEntry& e : run.Before) before[e.Pid] = e.ExeFile;
    for (const SnapshotEntry& e : run.After) after[e.Pid] = e.ExeFile;
    std::map<uint32_t, const Row*> listed;
    for (const Row& r : rows) {
        EXPECT_TRUE(listed.emplace(r.Pid, &r).second) << "listed twice: " << r.Line;
        EXPECT_TRUE(before.count(r.Pid) || after.count(r.Pid) || r.Pid == run.Pid)
            << "no such process: " << r.Line;
    }
    for (const auto& [pid, exe] : before) {
        if (!after.count(pid) || after[pid] != exe) continue;
        auto it = listed.find(pid);
        ASSERT_NE(it, listed.end()) << "not listed: " << pid << " " << exe;
        EXPECT_EQ(it->second->Exe, exe) << it->second->Line;
    }
    auto self = listed.find(run.Pid);
    ASSERT_NE(self, listed.end()) << "taskreap does not list itself";
    EXPECT_EQ(self->second->Exe, "taskreap.exe");
    EXPECT_EQ(self->second->Parent, run.RunnerPid);
    EXPECT_TRUE(listed.count(run.RunnerPid)) << "the runner is not listed";
}

TEST_F(WineWin98, ListShowsEveryWineProcessAndTheSummary) {
    ToolRun run = RunTaskreap({"/l"}, RunOptions{true, false});
    ASSERT_EQ(run.Problems, "");
    const std::regex row("\\$([0-9A-F]{8}) \\$([0-9A-F]{8}) (.+)");
    std::vector<Row> rows = ListedRows(run.Out, kShortHeader, row, run.Exit);
    EXPECT_GE(rows.size(), 3u);  // at least the holder, the runner and taskreap
    EXPECT_EQ(run.Exit, rows.size());
    ExpectOneRowPerProcess(run, rows);
}

TEST_F(WineWin98, VerboseListShowsModuleThreadsPriorityAndBitness) {
    ToolRun run = RunTaskreap({"/l", "/v"}, RunOptions{true, false});
    ASSERT_EQ(run.Problems, "");
    const std::regex row(
        "\\$([0-9A-F]{8}) \\$([0-9A-F]{8}) \\$[0-9A-F]{8} ([0-9]{2,}) (-?[0-9]{2,}) (32|16) (.+)");
    std::vector<Row> rows = ListedRows(run.Out, kVerboseHeader, row, run.Exit);
    EXPECT_EQ(run.Exit, rows.size());
    ExpectOneRowPerProcess(run, rows);
    for (const Row& r : rows) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(r.Line, m, row));
        EXPECT_GE(std::stoi(m[3]), 1) << "a process without threads: " << r.Line;
        // Every process here is a 64-bit Windows program: none is 16-bit.
        EXPECT_EQ(m[5], "32") << r.Line;
    }
}

struct KillCase {
    std::vector<std::string> Args;
    bool Kills;
};

// The runner starts sleeper.exe; taskreap selects it by name or PID and
// terminates it (exit code 0xFFFF) unless /l is given.
TEST_F(WineWin98, SelectedSleeperIsTerminatedWithExitCodeFFFF) {
    const KillCase cases[] = {
        {{"/nsleeper.exe"}, true},
        {{"/nSLEEP?R.E*"}, true},
        {{"/nsleeper", "/a"}, true},
        {{"/p${spawned}"}, true},
        {{"/l", "/nsleeper.exe"}, false},
    };
    for (const KillCase& c : cases) {
        SCOPED_TRACE(c.Args[0]);
        ToolRun run = RunTaskreap(c.Args, RunOptions{false, true});
        ASSERT_EQ(run.Problems, "");
        const std::string row = "$" + Hex8(run.SpawnedPid) + " $" + Hex8(run.RunnerPid) +
                                " sleeper.exe" + (c.Kills ? " ... killed" : "") + "\r\n";
        EXPECT_EQ(run.Out, std::string(kBannerLine) + kShortHeader + row +
                               "\r\n1 Processes found.\r\n");
        EXPECT_EQ(run.Exit, 1u);
        EXPECT_EQ(run.SpawnedEnded, c.Kills);
        if (c.Kills) {
            EXPECT_EQ(run.SpawnedExit, 0xFFFFu);
        }
    }
}

TEST_F(WineWin98, SelectedSleeperVerboseRowHasNoBitnessColumn) {
    ToolRun run = RunTaskreap({"/l", "/v", "/nsleeper.exe"}, RunOptions{false, true});
    ASSERT_EQ(run.Problems, "");
    const std::regex frame(std::string("Taskreap W32 1\\.2 \\(W95\\+W98\\) is running with Windows "
                                       "Version 4\\.10\r\n\r\n") +
                           " Process   Parent     HMOD    Th Pr Bit Process\r\n"
                           "   ID        ID                         Name\r\n\r\n"
                           "\\$" + Hex8(run.SpawnedPid) + " \\$" + Hex8(run.RunnerPid) +
                           " \\$[0-9A-F]{8} 01 -?[0-9]{2,} sleeper\\.exe\r\n"
                           "\r\n1 Processes found\\.\r\n");
    EXPECT_TRUE(std::regex_match(run.Out, frame)) << run.Out;
    EXPECT_EQ(run.Exit, 1u);
    EXPECT_FALSE(run.SpawnedEnded);
}

TEST_F(WineWin98, NothingSelectedSaysProcessNotFound) {
    const std::vector<std::string> cases[] = {
        {"/p$FFFFFFF0"}, {"/p4000000000", "/l"}, {"/nno-such-program.exe"}, {"/n\\windows\\*"}};
    for (const std::vector<std::string>& args : cases) {
        SCOPED_TRACE(args[0]);
        ToolRun run = RunTaskreap(args);
        ASSERT_EQ(run.Problems, "");
        EXPECT_EQ(run.Out, "Taskreap W32 1.2 (W95+W98): Process not found\r\n");
        EXPECT_EQ(run.Exit, 0u);
    }
}

TEST_F(WineWin98, PatternSelectingSeveralProcessesIsRefused) {
    ToolRun run = RunTaskreap({"/n*.exe"}, RunOptions{false, true});
    ASSERT_EQ(run.Problems, "");
    EXPECT_EQ(run.Out, Crlf("Taskreap W32 1.2 (W95+W98): more than one Process to kill !\n"
                            "\t      use /p<PID> or /a to kill all\n"
                            "\t      or use /l to get a list\n"));
    EXPECT_EQ(run.Exit, 0xFFFFu);
    EXPECT_FALSE(run.SpawnedEnded) << "a refused selection terminated the sleeper";
}

TEST_F(WineWin98, SwitchErrorsShowThe9xUsageScreen) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"/x"}, "unknown option"},
        {{"/d"}, nullptr},
        {{"/dv"}, "unknown option"},
        {{"/p"}, "<PID> has wrong format"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args[0]);
        ToolRun run = RunTaskreap(args);
        ASSERT_EQ(run.Problems, "");
        EXPECT_EQ(run.Out, Crlf(Win9xUsage(message)));
        EXPECT_EQ(run.Exit, 0xFFFFu);
    }
}

}  // namespace
