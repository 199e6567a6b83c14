// The end of a selected row: the outcome of its termination.
#include "tests/win9x/win9x_fixture.h"

namespace {

class Termination : public Win9xMachine {};

const char kRow[] = "$0001A2B3 $00000010 C:\\APPS\\EDIT.EXE";

TEST_F(Termination, OutcomesEndTheRowAndNeverChangeTheStatus) {
    struct Case {
        const char* what;
        bool known;  // OpenProcess knows the PID
        FakeProcess process;
        const char* ending;
        bool terminated;  // TerminateProcess was called, and the handle closed
    };
    const std::vector<Case> cases = {
        {"killed", true, {}, " ... killed\n", true},
        {"unknown PID", false, {}, " not killed: Invalid PID: $1A2B3 !\n", false},
        {"cannot be opened", true, {.openable = false, .openError = ERROR_ACCESS_DENIED},
         " not killed: Invalid PID: $1A2B3 !\n", false},
        {"refused", true, {.terminateResult = FALSE, .terminateError = ERROR_ACCESS_DENIED},
         " not killed: TerminateProcess(): rc = $5 !\n", true},
        {"refused with a larger code", true, {.terminateResult = FALSE, .terminateError = 0x1F},
         " not killed: TerminateProcess(): rc = $1F !\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        AddProcess(0x1A2B3, 0x10, "C:\\APPS\\EDIT.EXE");
        if (c.known)
            Fake().processes[0x1A2B3] = c.process;
        else
            Fake().processes.erase(0x1A2B3);
        RunResult r = RunProgram({"/nedit.exe"});
        EXPECT_EQ(r.out, kBannerLine410 + kShortHeader + kRow + c.ending + "\n1 Processes found.\n");
        ExpectExit(r, 1);
        EXPECT_EQ(r.CallsStartingWith("OpenProcess"),
                  std::vector<std::string>{"OpenProcess 0x1F0FFF 0 107187"});
        EXPECT_EQ(r.CountCalls("TerminateProcess 107187 65535"), c.terminated ? 1 : 0);
        EXPECT_EQ(r.CountCalls("CloseHandle process 107187"), c.terminated ? 1 : 0);
    }
}

// A short PID is shown with at least four digits.
TEST_F(Termination, InvalidPidShowsFourDigits) {
    AddProcess(0x2C, 0x10, "C:\\APPS\\EDIT.EXE");
    Fake().processes.erase(0x2C);
    RunResult r = RunProgram({"/p$2c"});
    EXPECT_NE(r.out.find("$0000002C $00000010 C:\\APPS\\EDIT.EXE not killed: Invalid PID: $002C !\n"),
              std::string::npos)
        << r.out;
}

// The program does not spare itself: its own termination ends the run on
// its row, with the exit code given to TerminateProcess.
TEST_F(Termination, SelectingItselfEndsTheRunOnItsRow) {
    AddProcess(0x30, 0x10, "C:\\TOOLS\\TASKREAP.EXE");
    AddProcess(0x40, 0x10, "C:\\TOOLS\\TASKREAP2.EXE");
    Fake().processes[0x30].isSelf = true;
    RunResult r = RunProgram({"/ntaskreap*", "/a"});
    EXPECT_EQ(r.end, RunEnd::TerminatedSelf);
    EXPECT_EQ(r.exitCode, 0xFFFFu);
    EXPECT_EQ(r.out, kBannerLine410 + kShortHeader + "$00000030 $00000010 C:\\TOOLS\\TASKREAP.EXE");
    EXPECT_EQ(Opened(r), std::vector<std::string>{"48"});
    ExpectNoRelease(r);
}

}  // namespace
