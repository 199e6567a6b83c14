// Wine's default mode: Windows NT 6.1, so main runs the NT driver.
#include <gtest/gtest.h>

#include "screens.h"
#include "wine_suite.h"

namespace {

class WineNt : public WineSuite {
protected:
    static void SetUpTestSuite() { StartSuite(nullptr); }
    static void TearDownTestSuite() { EndSuite(); }
};

struct UsageCase {
    std::vector<std::string> Args;
    const char* Message;  // the error line, or null for the plain screen
};

// Both ways the switch grammar refuses a command line: an error line for a
// bad argument, the plain screen for a combination that is not allowed.
TEST_F(WineNt, SwitchErrorsShowTheNtUsageScreen) {
    const UsageCase cases[] = {
        {{}, nullptr},
        {{"/a"}, nullptr},
        {{"-v"}, nullptr},
        {{"/nfoo", "/p12"}, nullptr},
        {{"/p12", "/nfoo"}, nullptr},
        {{"/x"}, "unknown option"},
        {{"/lv"}, "unknown option"},
        {{"editor.exe"}, "unknown option"},
        {{"/d"}, "unknown option"},
        {{"/nfoo", "/nbar"}, "Option /n specified more than once"},
        {{"-P1", "/p2"}, "Option /p specified more than once"},
        {{"/n.exe"}, "name component not present"},
        {{"/p$xyz"}, "<PID> has wrong format"},
        {{"/x", "/nfoo", "/nfoo"}, "unknown option"},
    };
    for (const UsageCase& c : cases) {
        std::string shown;
        for (const std::string& a : c.Args) shown += " " + a;
        SCOPED_TRACE("taskreap" + shown);
        ToolRun run = RunTaskreap(c.Args);
        ASSERT_EQ(run.Problems, "");
        EXPECT_EQ(run.Out, Crlf(NtUsage(c.Message)));
        EXPECT_EQ(run.Exit, 0xFFFFu);
    }
}

// Wine 8 keeps no "Process" title in its perflib "Counters" list, so the NT
// back end cannot build its process table here: every run that gets past
// the switches ends in "GetTaskList failed" with 0xFFFF, and does so cleanly
// (a read outside the performance data reply would end the process with an
// exception code instead). The second case shows the cause, so that a Wine
// that adds the title makes this suite ask for the full NT listing instead.
TEST_F(WineNt, NtDriverReportsThatItHasNoProcessTable) {
    const std::vector<std::string> cases[] = {
        {"/l"}, {"/l", "/v"}, {"/nexplorer.exe"}, {"/p$20"}, {"-L", "/a", "/n*"}};
    for (const std::vector<std::string>& args : cases) {
        SCOPED_TRACE(args[0]);
        ToolRun run = RunTaskreap(args);
        ASSERT_EQ(run.Problems, "");
        EXPECT_EQ(run.Out, "GetTaskList failed\r\n");
        EXPECT_EQ(run.Exit, 0xFFFFu);
    }
}

TEST_F(WineNt, PerflibCountersOfThisWineHaveNoProcessTitle) {
    int status = -1;
    const std::string counters = RunWineProgram(
        {"reg", "query", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009",
         "/v", "Counters"},
        status);
    ASSERT_EQ(status, 0) << counters;
    EXPECT_NE(counters.find("REG_MULTI_SZ"), std::string::npos) << counters;
    EXPECT_EQ(counters.find("Process"), std::string::npos)
        << "this Wine has a \"Process\" counter title; the NT listing can now be tested:\n"
        << counters;
}

}  // namespace
