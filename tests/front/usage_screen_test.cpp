// The two usage screens, byte for byte, with and without an error line, and
// the 0xFFFF status they end with.
#include "tests/front/front_cases.h"

namespace {

using UsageScreenTest = FrontTest;

void ExpectScreen(const RunResult& r, const std::string& screen) {
    EXPECT_EQ(r.out, screen);
    EXPECT_EQ(r.end, RunEnd::ExitProcess);
    EXPECT_EQ(r.exitCode, 0xFFFFu);
}

TEST_F(UsageScreenTest, NtScreenCalledDirectly) {
    ExpectScreen(RunIsolated([] { ShowUsage(nullptr); }), NtScreen());
    ExpectScreen(RunIsolated([] { ShowUsage("unknown option"); }), NtScreen("unknown option"));
}

TEST_F(UsageScreenTest, Win9xScreenCalledDirectly) {
    ExpectScreen(RunIsolated([] { ShowUsage95(nullptr); }), Win9xScreen());
    ExpectScreen(RunIsolated([] { ShowUsage95("<PID> has wrong format"); }),
                 Win9xScreen("<PID> has wrong format"));
}

TEST_F(UsageScreenTest, NtProgramShowsItsScreen) {
    Fake().platformId = VER_PLATFORM_WIN32_NT;
    ExpectScreen(RunProgram({}), NtScreen());
    ExpectScreen(RunProgram({"/x"}), NtScreen("unknown option"));
}

TEST_F(UsageScreenTest, Win9xProgramShowsItsScreen) {
    Fake().platformId = VER_PLATFORM_WIN32_WINDOWS;
    ExpectScreen(RunProgram({}), Win9xScreen());
    ExpectScreen(RunProgram({"/x"}), Win9xScreen("unknown option"));
}

// The NT screen is written through the stream and flushed at each line end;
// the screen must be whole even when the process ends right after it.
TEST_F(UsageScreenTest, NtScreenIsCompleteAfterBufferedStdout) {
    const RunResult r = RunIsolated([] {
        static char buffer[BUFSIZ];
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
        ShowUsage("unknown option");
    });
    ExpectScreen(r, NtScreen("unknown option"));
}

}  // namespace
