// taskreap95 on the real machine, with helper processes the tests start
// themselves. Every run that terminates processes happens in a scenario of
// its own (a private PID namespace when the tests run as root), so that no
// process but the scenario's own can be selected.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "toolhelp_children.h"

namespace {

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string Hex8(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "$%08X", value);
    return text;
}

// The rows of a listing whose identity begins with the PID.
std::vector<std::string> RowsOf(const std::string& output, pid_t pid) {
    std::vector<std::string> rows;
    std::istringstream lines(output);
    std::string line;
    const std::string prefix = Hex8(static_cast<unsigned>(pid)) + " ";
    while (std::getline(lines, line))
        if (line.rfind(prefix, 0) == 0) rows.push_back(line);
    return rows;
}

size_t CountRows(const std::string& output) {
    size_t rows = 0;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line))
        if (line.size() > 19 && line[0] == '$' && line[9] == ' ' && line[10] == '$') ++rows;
    return rows;
}

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Notes a failed expectation in a scenario's report.
void Expect(std::string& report, bool ok, const std::string& what) {
    if (!ok) report += what + "\n";
}

class Win9xEndToEndTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (th95::Child& child : children_) th95::StopChild(child);
        th95::RemoveTree(tempDir_);
    }
    th95::Child Start(const std::vector<std::string>& argv, int niceIncrement, std::string* line) {
        th95::Child child = th95::StartChild(argv, niceIncrement, line);
        EXPECT_GT(child.pid, 0) << argv[0];
        children_.push_back(child);
        return child;
    }
    void RequireScenario() {
        std::string why;
        if (!th95::ScenarioCanRun(&why)) GTEST_SKIP() << why;
    }

    std::vector<th95::Child> children_;
    std::string tempDir_;
};

TEST_F(Win9xEndToEndTest, ListShowsChildrenWithParentAndFullPath) {
    std::string line;
    th95::Child parent = Start({PARENT_WITH_CHILD_EXE}, 0, &line);
    ASSERT_GT(parent.pid, 0);
    const pid_t child = static_cast<pid_t>(std::atoi(line.c_str()));
    ASSERT_GT(child, 0);

    th95::ToolRun run = th95::RunTool({TASKREAP95_EXE, "/l"});
    const std::string exe = RealPath(PARENT_WITH_CHILD_EXE);
    EXPECT_EQ(run.output.rfind("Taskreap W32 1.2 (W95+W98) is running with Windows Version ", 0), 0u)
        << run.output;
    EXPECT_NE(run.output.find("\n\n Process   Parent    Process\n   ID        ID       Name\n\n"),
              std::string::npos);
    EXPECT_EQ(RowsOf(run.output, parent.pid),
              std::vector<std::string>{Hex8(static_cast<unsigned>(parent.pid)) + " " +
                                       Hex8(static_cast<unsigned>(getpid())) + " " + exe});
    EXPECT_EQ(RowsOf(run.output, child),
              std::vector<std::string>{Hex8(static_cast<unsigned>(child)) + " " +
                                       Hex8(static_cast<unsigned>(parent.pid)) + " " + exe});
    const size_t rows = CountRows(run.output);
    const std::string summary = "\n\n" + std::to_string(rows) + " Processes found.\n";
    ASSERT_GE(run.output.size(), summary.size());
    EXPECT_EQ(run.output.substr(run.output.size() - summary.size()), summary);
    EXPECT_EQ(ExitCode(run.status), static_cast<int>(rows % 256));
}

TEST_F(Win9xEndToEndTest, VerboseListShowsThreadsAndBasePriority) {
    const bool niceZero = getpriority(PRIO_PROCESS, 0) == 0;
    std::string line;
    th95::Child threads = Start({THREAD_SLEEPER_EXE, "4"}, 0, &line);
    th95::Child niced = Start({THREAD_SLEEPER_EXE}, 5, &line);
    ASSERT_GT(threads.pid, 0);
    ASSERT_GT(niced.pid, 0);

    th95::ToolRun run = th95::RunTool({TASKREAP95_EXE, "/l", "/v"});
    EXPECT_NE(run.output.find(" Process   Parent     HMOD    Th Pr Bit Process\n"
                              "   ID        ID                         Name\n\n"),
              std::string::npos);
    const std::string exe = RealPath(THREAD_SLEEPER_EXE);
    struct Case {
        pid_t pid;
        const char* columns;  // thread count, base priority, bitness
    };
    const Case cases[] = {{threads.pid, niceZero ? " 04 08 32 " : nullptr},
                          {niced.pid, niceZero ? " 01 06 32 " : nullptr}};
    for (const Case& c : cases) {
        std::vector<std::string> rows = RowsOf(run.output, c.pid);
        ASSERT_EQ(rows.size(), 1u) << run.output;
        const std::string& row = rows[0];
        // "$PID $PPID $HMOD Th Pr Bit path"
        ASSERT_GT(row.size(), 30u) << row;
        EXPECT_EQ(row.substr(10, 9), Hex8(static_cast<unsigned>(getpid()))) << row;
        EXPECT_EQ(row[20], '$') << row;
        EXPECT_NE(row.substr(21, 8), "00000000") << row;
        if (c.columns != nullptr) {
            EXPECT_EQ(row.substr(29, 10), c.columns) << row;
        }
        EXPECT_EQ(row.substr(row.size() - exe.size()), exe) << row;
    }
}

TEST_F(Win9xEndToEndTest, DirectoryPatternSelectsOnlyThatDirectory) {
    tempDir_ = th95::MakeTempDir();
    ASSERT_FALSE(tempDir_.empty());
    const std::string dir = RealPath(tempDir_);
    const std::string first = th95::CopyExecutable(THREAD_SLEEPER_EXE, dir, "copy_one");
    const std::string second = th95::CopyExecutable(THREAD_SLEEPER_EXE, dir, "copy_two.bin");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    std::string line;
    th95::Child a = Start({first}, 0, &line);
    th95::Child b = Start({second}, 0, &line);
    th95::Child outside = Start({THREAD_SLEEPER_EXE}, 0, &line);
    ASSERT_GT(a.pid, 0);
    ASSERT_GT(b.pid, 0);
    ASSERT_GT(outside.pid, 0);

    th95::ToolRun run = th95::RunTool({TASKREAP95_EXE, "/n" + dir + "/*", "/l"});
    EXPECT_EQ(CountRows(run.output), 2u) << run.output;
    EXPECT_EQ(RowsOf(run.output, a.pid).size(), 1u) << run.output;
    EXPECT_EQ(RowsOf(run.output, b.pid).size(), 1u) << run.output;
    EXPECT_TRUE(RowsOf(run.output, outside.pid).empty()) << run.output;
    EXPECT_NE(run.output.find("\n\n2 Processes found.\n"), std::string::npos) << run.output;
    EXPECT_EQ(ExitCode(run.status), 2);

    // With an extension the pattern narrows further.
    run = th95::RunTool({TASKREAP95_EXE, "/n" + dir + "/*.bin", "/l"});
    EXPECT_EQ(CountRows(run.output), 1u) << run.output;
    EXPECT_EQ(RowsOf(run.output, b.pid).size(), 1u) << run.output;
    EXPECT_EQ(ExitCode(run.status), 1);

    // Without /l or /a two matches are refused and nothing is touched.
    run = th95::RunTool({TASKREAP95_EXE, "/n" + dir + "/*"});
    EXPECT_EQ(run.output,
              "Taskreap W32 1.2 (W95+W98): more than one Process to kill !\n"
              "\t      use /p<PID> or /a to kill all\n"
              "\t      or use /l to get a list\n");
    EXPECT_EQ(ExitCode(run.status), 255);  // 0xFFFF, as much of it as a Linux status holds
    EXPECT_EQ(kill(a.pid, 0), 0);
    EXPECT_EQ(kill(b.pid, 0), 0);
}

TEST_F(Win9xEndToEndTest, PidWithParentKillsChildAndParent) {
    RequireScenario();
    th95::Scenario scenario = th95::RunScenario([](std::string& report) {
        std::string line;
        th95::Child parent = th95::StartChild({PARENT_WITH_CHILD_EXE}, 0, &line);
        const pid_t child = static_cast<pid_t>(std::atoi(line.c_str()));
        if (parent.pid <= 0 || child <= 0) {
            report += "the helper did not start\n";
            return;
        }
        th95::Child bystander = th95::StartChild({THREAD_SLEEPER_EXE}, 0, &line);
        th95::ToolRun run = th95::RunTool({TASKREAP95_EXE, "/p" + std::to_string(child), "/d"});
        const std::string exe = RealPath(PARENT_WITH_CHILD_EXE);
        const std::string parentRow = Hex8(static_cast<unsigned>(parent.pid)) + " " +
                                      Hex8(static_cast<unsigned>(getpid())) + " " + exe +
                                      " ... killed";
        const std::string childRow = Hex8(static_cast<unsigned>(child)) + " " +
                                     Hex8(static_cast<unsigned>(parent.pid)) + " " + exe + " ... killed";
        Expect(report, RowsOf(run.output, parent.pid) == std::vector<std::string>{parentRow},
               "parent row missing or wrong:\n" + run.output);
        Expect(report, RowsOf(run.output, child) == std::vector<std::string>{childRow},
               "child row missing or wrong:\n" + run.output);
        Expect(report, CountRows(run.output) == 2, "other rows listed:\n" + run.output);
        const std::string summary = "\n\n1 Processes found.\n";
        Expect(report,
               run.output.size() >= summary.size() &&
                   run.output.substr(run.output.size() - summary.size()) == summary,
               "summary wrong:\n" + run.output);
        Expect(report, ExitCode(run.status) == 1, "exit status " + std::to_string(run.status));

        int status = 0;
        Expect(report, th95::WaitReaped(parent.pid, 5000, &status) && WIFSIGNALED(status),
               "the parent was not killed");
        Expect(report, th95::WaitReaped(child, 5000, &status) && WIFSIGNALED(status),
               "the child was not killed");
        Expect(report, bystander.pid > 0 && kill(bystander.pid, 0) == 0, "a bystander was touched");
        th95::StopChild(bystander);
        if (parent.out >= 0) close(parent.out);
    });
    EXPECT_TRUE(scenario.finished) << scenario.report;
    EXPECT_EQ(scenario.report, "");
}

TEST_F(Win9xEndToEndTest, AllInDirectoryKillsOnlyThose) {
    RequireScenario();
    tempDir_ = th95::MakeTempDir();
    ASSERT_FALSE(tempDir_.empty());
    const std::string dir = RealPath(tempDir_);
    const std::string first = th95::CopyExecutable(THREAD_SLEEPER_EXE, dir, "reap_one");
    const std::string second = th95::CopyExecutable(THREAD_SLEEPER_EXE, dir, "reap_two");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    th95::Scenario scenario = th95::RunScenario([&](std::string& report) {
        std::string line;
        th95::Child a = th95::StartChild({first}, 0, &line);
        th95::Child b = th95::StartChild({second}, 0, &line);
        th95::Child outside = th95::StartChild({THREAD_SLEEPER_EXE}, 0, &line);
        if (a.pid <= 0 || b.pid <= 0 || outside.pid <= 0) {
            report += "the helpers did not start\n";
            return;
        }
        th95::ToolRun run = th95::RunTool({TASKREAP95_EXE, "/a", "/n" + dir + "/*"});
        Expect(report, RowsOf(run.output, a.pid).size() == 1 && RowsOf(run.output, b.pid).size() == 1 &&
                           CountRows(run.output) == 2,
               "rows wrong:\n" + run.output);
        Expect(report, run.output.find(first + " ... killed\n") != std::string::npos &&
                           run.output.find(second + " ... killed\n") != std::string::npos,
               "not reported killed:\n" + run.output);
        Expect(report, ExitCode(run.status) == 2, "exit status " + std::to_string(run.status));
        int status = 0;
        Expect(report, th95::WaitReaped(a.pid, 5000, &status) && WIFSIGNALED(status), "first not killed");
        Expect(report, th95::WaitReaped(b.pid, 5000, &status) && WIFSIGNALED(status), "second not killed");
        Expect(report, kill(outside.pid, 0) == 0, "a process outside the directory was touched");
        th95::StopChild(outside);
    });
    EXPECT_TRUE(scenario.finished) << scenario.report;
    EXPECT_EQ(scenario.report, "");
}

}  // namespace
