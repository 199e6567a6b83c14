// NT 4.0 mode (Version nt40) and Windows 95 mode (Version win95): the
// version numbers that the back ends print and test.
#include <gtest/gtest.h>

#include <regex>

#include "screens.h"
#include "wine_suite.h"

namespace {

class WineNt40 : public WineSuite {
protected:
    static void SetUpTestSuite() { StartSuite("nt40"); }
    static void TearDownTestSuite() { EndSuite(); }
};

// GetVersion reports NT 4.0 with bit 31 clear, so the NT-only check passes
// and the run reaches the NT back end, which ends as in Wine's default mode
// because the perflib list of this Wine has no "Process" title.
TEST_F(WineNt40, NtOnlyCheckPassesAndTheNtBackEndRuns) {
    ToolRun run = RunTaskreap({"/l"});
    ASSERT_EQ(run.Problems, "");
    EXPECT_EQ(run.Out, "GetTaskList failed\r\n");
    EXPECT_EQ(run.Exit, 0xFFFFu);

    ToolRun usage = RunTaskreap({"/d"});
    ASSERT_EQ(usage.Problems, "");
    EXPECT_EQ(usage.Out, Crlf(NtUsage("unknown option")));
    EXPECT_EQ(usage.Exit, 0xFFFFu);
}

class WineWin95 : public WineSuite {
protected:
    static void SetUpTestSuite() { StartSuite("win95"); }
    static void TearDownTestSuite() { EndSuite(); }
};

// Windows 95 is version 4.0: the minor version is written with two digits.
TEST_F(WineWin95, BannerLineShowsVersion400) {
    ToolRun run = RunTaskreap({"/l"});
    ASSERT_EQ(run.Problems, "");
    const std::regex listing(
        "Taskreap W32 1\\.2 \\(W95\\+W98\\) is running with Windows Version 4\\.00\r\n\r\n"
        " Process   Parent    Process\r\n   ID        ID       Name\r\n\r\n"
        "(\\$[0-9A-F]{8} \\$[0-9A-F]{8} [^\r\n]+\r\n)+"
        "\r\n[0-9]+ Processes found\\.\r\n");
    EXPECT_TRUE(std::regex_match(run.Out, listing)) << run.Out;
    EXPECT_TRUE(run.Out.ends_with("\r\n" + std::to_string(run.Exit) + " Processes found.\r\n"))
        << run.Out;
}

}  // namespace
