// The NT driver end to end on the scripted machine: listing, selection,
// termination outcomes and exit statuses.
#include <gtest/gtest.h>

#include "tests/nt/nt_fixture.h"
#include "tests/nt/perf_block_builder.h"

namespace {

const std::string kHeader =
    "Taskreap W32 1.2 (NT) is running with Windows Version 4.00\n\n"
    "Process Thd     CPU       Memory  Swap    Process\n"
    "  ID     #      Time      usage K usage K Name\n"
    "------- --- ------------- ------- ------- ------>\n";

const TestTask kEditor{0x1A4, 5, 2101248, 1048575, 37235000000, u"editor"};
const std::string kEditorRow = " $01A4  005   1:02:03.500    2052    1023 editor.exe";

class Driver : public NtTest {
protected:
    RunResult Run(const std::vector<TestTask>& tasks, const std::vector<std::string>& args) {
        SetMachine(StandardImage(tasks).bytes);
        return RunProgram(args);
    }
};

void ExpectExit(const RunResult& run, uint32_t code) {
    EXPECT_EQ(run.end, RunEnd::ExitProcess);
    EXPECT_EQ(run.exitCode, code);
}

TEST_F(Driver, ListsEveryRowWithTheWorkedExampleAndTitlesUnderV) {
    Fake().windows = {{0x1A4, 1, "Notes"}};
    const std::vector<TestTask> tasks = {kEditor, {0, 1, 0, 0, 0, u"Idle"},
                                         {0x10A3C, 1234, 1024, 1023, 0, u"big"}};
    RunResult run = Run(tasks, {"/l", "/v"});
    EXPECT_EQ(run.out, kHeader + kEditorRow + " [Notes]\n" +
                           " $0000  001   0:00:00.000       0       0 Idle.exe\n" +
                           " $10A3C  1234   0:00:00.000       1       0 big.exe\n");
    ExpectExit(run, 3);
    EXPECT_EQ(run.CountCalls("OpenProcessToken"), 0);

    ResetFake();
    Fake().windows = {{0x1A4, 1, "Notes"}};
    run = Run(tasks, {"/l"});
    EXPECT_EQ(run.out.find("[Notes]"), std::string::npos);
    EXPECT_EQ(run.CountCalls("EnumWindows"), 1);  // titles are gathered anyway
    ExpectExit(run, 3);
}

TEST_F(Driver, EmptyTableListsTheHeaderAndEndsWithZero) {
    const RunResult run = Run({}, {"/l"});
    EXPECT_EQ(run.out, kHeader);
    ExpectExit(run, 0);
}

TEST_F(Driver, ExitStatusIsTheFull32BitRowCount) {
    std::vector<TestTask> tasks(300, TestTask{4, 1, 0, 0, 0, u"svc"});
    const RunResult run = Run(tasks, {"/l"});
    ExpectExit(run, 300);
}

TEST_F(Driver, BannerShowsMinorVersionWithTwoDigits) {
    Fake().versionWord = 5 | (1 << 8);
    const RunResult run = Run({}, {"/l"});
    EXPECT_EQ(run.out.substr(0, 60), "Taskreap W32 1.2 (NT) is running with Windows Version 5.01\n\n");
}

TEST_F(Driver, FailedTableIsReportedWithoutBanner) {
    SetStandardCounters();
    Fake().perfReplies.push_back({ERROR_ACCESS_DENIED, "", 0});
    const RunResult run = RunProgram({"/l"});
    EXPECT_EQ(run.out, "GetTaskList failed\n");
    ExpectExit(run, 0xFFFF);
}

TEST_F(Driver, MalformedDataIsReportedAsAFailedTable) {
    PerfImage image = StandardImage({kEditor});
    Put32(image.bytes, image.object + offsetof(PERF_OBJECT_TYPE, NumCounters), 5000000);
    SetMachine(image.bytes);
    const RunResult run = RunProgram({"/l"});
    EXPECT_EQ(run.out, "GetTaskList failed\n");
    ExpectExit(run, 0xFFFF);
}

const std::vector<TestTask> kTwoNotes = {{0x10, 1, 0, 0, 0, u"notepad"}, kEditor,
                                         {0x20, 2, 0, 0, 0, u"notepad"}};

TEST_F(Driver, AmbiguousNameTerminatesNothing) {
    const RunResult run = Run(kTwoNotes, {"/nnotepad"});
    EXPECT_EQ(run.out,
              "Taskreap W32 1.2 (NT): more than one Process to kill!\n"
              "\t      use /p<PID> or /a to kill all\n"
              "\t      or use /l to get a list\n");
    ExpectExit(run, 0xFFFF);
    EXPECT_EQ(run.CountCalls("OpenProcess"), 0);
}

TEST_F(Driver, AmbiguousNameWithLListsTheSelectedRows) {
    const RunResult run = Run(kTwoNotes, {"/l", "/nnote*.exe"});
    EXPECT_EQ(run.out, kHeader + " $0010  001   0:00:00.000       0       0 notepad.exe\n" +
                           " $0020  002   0:00:00.000       0       0 notepad.exe\n");
    ExpectExit(run, 2);
    EXPECT_EQ(run.CountCalls("OpenProcess"), 0);
}

TEST_F(Driver, AllTerminatesEachAfterItsRowWithThePrivilegeEnabledOnce) {
    Fake().processes[0x10] = FakeProcess{};
    Fake().processes[0x10].terminateResult = FALSE;  // access denied
    // 0x20 is not openable at all: an invalid PID.
    Fake().processes[0x1A4] = FakeProcess{};
    std::vector<TestTask> tasks = kTwoNotes;
    tasks.push_back({0x1A4, 1, 0, 0, 0, u"notepad"});
    const RunResult run = Run(tasks, {"/a", "/nnotepad"});
    EXPECT_EQ(run.out, kHeader +
                           " $0010  001   0:00:00.000       0       0 notepad.exe"
                           " not killed: TerminateProcess(): rc = $5 !\n"
                           " $0020  002   0:00:00.000       0       0 notepad.exe"
                           " not killed: Invalid PID: 0020 !\n"
                           " $01A4  001   0:00:00.000       0       0 notepad.exe ... killed\n");
    ExpectExit(run, 3);
    EXPECT_EQ(run.calls[std::find(run.calls.begin(), run.calls.end(), "OpenProcessToken current 0x28") -
                        run.calls.begin() + 1],
              "LookupPrivilegeValueA local SeDebugPrivilege");
    EXPECT_EQ(run.CountCalls("OpenProcessToken"), 1);
    EXPECT_EQ(run.CallsStartingWith("AdjustTokenPrivileges"),
              std::vector<std::string>{"AdjustTokenPrivileges token disableAll=0 count=1 luid=20:0 "
                                       "attributes=2 length=16 previous=none returnLength=none"});
    EXPECT_EQ(run.CallsStartingWith("OpenProcess 0x1F0FFF 0 "),
              (std::vector<std::string>{"OpenProcess 0x1F0FFF 0 16", "OpenProcess 0x1F0FFF 0 32",
                                        "OpenProcess 0x1F0FFF 0 420"}));
    EXPECT_EQ(run.CallsStartingWith("TerminateProcess"),
              (std::vector<std::string>{"TerminateProcess 16 65535", "TerminateProcess 420 65535"}));
    EXPECT_EQ(run.CountCalls("CloseHandle process"), 2);
}

TEST_F(Driver, PidSelectsOneAndKillsIt) {
    Fake().processes[0x1A4] = FakeProcess{};
    for (const auto& args : std::vector<std::vector<std::string>>{{"/p$1A4"}, {"/p420", "/a"}}) {
        const RunResult run = Run({{0x10, 1, 0, 0, 0, u"x"}, kEditor}, args);
        EXPECT_EQ(run.out, kHeader + kEditorRow + " ... killed\n");
        ExpectExit(run, 1);
    }
}

TEST_F(Driver, FiveDigitInvalidPidIsWrittenInFull) {
    const RunResult run = Run({{0x10A3C, 1, 0, 0, 0, u"gone"}}, {"/p$10A3C"});
    EXPECT_EQ(run.out, kHeader + " $10A3C  001   0:00:00.000       0       0 gone.exe"
                                 " not killed: Invalid PID: 10A3C !\n");
    ExpectExit(run, 1);
}

TEST_F(Driver, NothingSelectedEndsWithZero) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"/p999"}, {"/l", "/p999"}, {"/nnothing"}, {"/n*.com"}}) {
        const RunResult run = Run(kTwoNotes, args);
        EXPECT_EQ(run.out, "Taskreap W32 1.2 (NT): Process not found\n") << args[0];
        ExpectExit(run, 0);
    }
}

struct PrivilegeCase {
    const char* what;
    bool openToken;
    bool lookup;
    DWORD adjustError;
    const char* code;
};

class PrivilegeFailure : public Driver, public ::testing::WithParamInterface<PrivilegeCase> {};

TEST_P(PrivilegeFailure, EndsTheRunAtTheFirstTermination) {
    const PrivilegeCase& c = GetParam();
    Fake().openTokenOk = c.openToken;
    Fake().lookupOk = c.lookup;
    Fake().adjustLastError = c.adjustError;
    Fake().processes[0x10] = FakeProcess{};
    Fake().processes[0x20] = FakeProcess{};
    const RunResult run = Run(kTwoNotes, {"/a", "/nnotepad"});
    EXPECT_EQ(run.out, kHeader + " $0010  001   0:00:00.000       0       0 notepad.exe"
                                 " not killed: EnableDebugPriv() failed: rc = $" + c.code + " !\n")
        << c.what;
    ExpectExit(run, 0xFFFF);
    EXPECT_EQ(run.CountCalls("OpenProcess "), 0) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Causes, PrivilegeFailure,
    ::testing::Values(PrivilegeCase{"privilege not held", true, true, ERROR_NOT_ALL_ASSIGNED, "514"},
                      PrivilegeCase{"token not opened", false, true, 0, "5"},
                      PrivilegeCase{"privilege unknown", true, false, 0, "521"}));

TEST_F(Driver, TerminatingItselfEndsTheRunThere) {
    Fake().processes[0x10] = FakeProcess{};
    Fake().processes[0x10].isSelf = true;
    Fake().processes[0x20] = FakeProcess{};
    const RunResult run = Run(kTwoNotes, {"/a", "/nnotepad"});
    EXPECT_EQ(run.out, kHeader + " $0010  001   0:00:00.000       0       0 notepad.exe");
    EXPECT_EQ(run.end, RunEnd::TerminatedSelf);
    EXPECT_EQ(run.exitCode, 0xFFFFu);
    EXPECT_EQ(run.CountCalls("OpenProcess 0x1F0FFF 0 32"), 0);
}

}  // namespace
