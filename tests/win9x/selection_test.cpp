// Selection by PID or name, parents with /d, the ambiguity and not-found ends.
#include "tests/win9x/win9x_fixture.h"

namespace {

class Selection : public Win9xMachine {};

const std::string kNotFound = "Taskreap W32 1.2 (W95+W98): Process not found\n";
const std::string kAmbiguous =
    "Taskreap W32 1.2 (W95+W98): more than one Process to kill !\n"
    "\t      use /p<PID> or /a to kill all\n"
    "\t      or use /l to get a list\n";

std::string Killed(const std::string& row) { return row + " ... killed\n"; }

TEST_F(Selection, PidSelectsOneProcessAndTerminatesIt) {
    AddProcess(0x10, 0, "C:\\WINDOWS\\EXPLORER.EXE");
    AddProcess(0x1A4, 0x10, "C:\\WINDOWS\\NOTEPAD.EXE");
    RunResult r = RunProgram({"/p420"});
    EXPECT_EQ(r.out, kBannerLine410 + kShortHeader +
                         Killed("$000001A4 $00000010 C:\\WINDOWS\\NOTEPAD.EXE") + "\n1 Processes found.\n");
    ExpectExit(r, 1);
    EXPECT_EQ(r.CallsStartingWith("OpenProcess"), std::vector<std::string>{"OpenProcess 0x1F0FFF 0 420"});
    EXPECT_EQ(r.CallsStartingWith("TerminateProcess"), std::vector<std::string>{"TerminateProcess 420 65535"});
}

// The name is matched against the whole executable path.
TEST_F(Selection, NamePatternMatchesDriveAndDirectoryOfThePath) {
    AddProcess(0x10, 0, "C:\\WINDOWS\\EXPLORER.EXE");
    AddProcess(0x20, 0, "D:\\APPS\\EXPLORER.EXE");
    AddProcess(0x30, 0, "C:\\WINDOWS\\EXPLORER.COM");
    RunResult r = RunProgram({"/nc:\\windows\\*.exe"});
    EXPECT_EQ(r.out, kBannerLine410 + kShortHeader + Killed("$00000010 $00000000 C:\\WINDOWS\\EXPLORER.EXE") +
                         "\n1 Processes found.\n");
    ExpectExit(r, 1);
    EXPECT_EQ(Opened(r), std::vector<std::string>{"16"});
}

TEST_F(Selection, NothingSelectedEndsWithZeroAndNoBanner) {
    AddProcess(0x10, 0, "C:\\WINDOWS\\EXPLORER.EXE");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"/p999"}, {"/p$11", "/d"}, {"/nnotepad"}, {"/nexplorer.com", "/a", "/l"}}) {
        SCOPED_TRACE(args[0]);
        RunResult r = RunProgram(args);
        EXPECT_EQ(r.out, kNotFound);
        ExpectExit(r, 0);
        EXPECT_FALSE(CalledGetVersion(r));
        EXPECT_EQ(r.CountCalls("OpenProcess"), 0);
        ExpectNoRelease(r);
    }
}

class TwoNotepads : public Win9xMachine {
protected:
    void SetUp() override {
        Win9xMachine::SetUp();
        AddProcess(0x10, 0, "C:\\WINDOWS\\EXPLORER.EXE");
        AddProcess(0x20, 0x10, "C:\\WINDOWS\\NOTEPAD.EXE");
        AddProcess(0x30, 0x10, "C:\\TEMP\\NOTEPAD.EXE");
    }
};

TEST_F(TwoNotepads, TwoMatchesWithoutKillAllOrListEndTheRun) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"/nnotepad"}, {"/nnote*", "/d", "/v"}}) {
        SCOPED_TRACE(args[0]);
        RunResult r = RunProgram(args);
        EXPECT_EQ(r.out, kAmbiguous);
        ExpectExit(r, 0xFFFF);
        EXPECT_EQ(r.CountCalls("OpenProcess"), 0);
        EXPECT_FALSE(CalledGetVersion(r));
        ExpectNoRelease(r);
    }
}

TEST_F(TwoNotepads, ListOnlyListsEveryMatch) {
    RunResult r = RunProgram({"/nnotepad", "/l"});
    EXPECT_EQ(r.out, kBannerLine410 + kShortHeader +
                         "$00000020 $00000010 C:\\WINDOWS\\NOTEPAD.EXE\n"
                         "$00000030 $00000010 C:\\TEMP\\NOTEPAD.EXE\n"
                         "\n2 Processes found.\n");
    ExpectExit(r, 2);
    EXPECT_EQ(r.CountCalls("OpenProcess"), 0);
}

TEST_F(TwoNotepads, KillAllTerminatesEveryMatchEvenWhenOneFails) {
    Fake().processes[0x20].terminateResult = FALSE;
    RunResult r = RunProgram({"/nnotepad", "/a"});
    EXPECT_EQ(r.out, kBannerLine410 + kShortHeader +
                         "$00000020 $00000010 C:\\WINDOWS\\NOTEPAD.EXE not killed: TerminateProcess(): rc = $5 !\n" +
                         Killed("$00000030 $00000010 C:\\TEMP\\NOTEPAD.EXE") + "\n2 Processes found.\n");
    ExpectExit(r, 2);
    EXPECT_EQ(Opened(r), (std::vector<std::string>{"32", "48"}));
}

// The selected row has no bitness column and takes no module snapshot.
TEST_F(TwoNotepads, VerboseSelectedRowsHaveNoBitness) {
    Fake().snapshot[1].moduleId = 0x77;
    Fake().snapshot[1].threads = 3;
    Fake().snapshot[1].priority = 6;
    Fake().modules[0x20].modules = {{0x77, "NOTEPAD.EXE", "C:\\OTHER.EXE"}};
    RunResult r = RunProgram({"/p$20", "/v", "/l"});
    EXPECT_EQ(r.out, kBannerLine410 + kVerboseHeader + "$00000020 $00000010 $00000077 03 06 C:\\WINDOWS\\NOTEPAD.EXE\n" +
                         "\n1 Processes found.\n");
    EXPECT_EQ(r.CountCalls("CreateToolhelp32Snapshot 8"), 0);
}

// /d: the parent of each selected process is listed and terminated too,
// in snapshot order, once, and is not counted.
struct ParentCase {
    const char* what;
    std::vector<FakeSnapshotProcess> snapshot;
    std::vector<std::string> args;
    std::vector<std::string> rows;    // in output order
    std::vector<std::string> opened;  // PIDs terminated, in order
    uint32_t status;
};

TEST_F(Selection, ParentsAddedByD) {
    const std::vector<ParentCase> cases = {
        {"parent listed before the child",
         {{0x20, 0x10, 0, 1, 8, "C:\\DAD.EXE"}, {0x30, 0x10, 0, 1, 8, "C:\\OTHER.EXE"},
          {0x40, 0x20, 0, 1, 8, "C:\\KID.EXE"}},
         {"/p$40", "/d"},
         {"$00000020 $00000010 C:\\DAD.EXE", "$00000040 $00000020 C:\\KID.EXE"},
         {"32", "64"},
         1},
        {"parent after the child",
         {{0x40, 0x20, 0, 1, 8, "C:\\KID.EXE"}, {0x20, 0x10, 0, 1, 8, "C:\\DAD.EXE"}},
         {"/nkid", "/d"},
         {"$00000040 $00000020 C:\\KID.EXE", "$00000020 $00000010 C:\\DAD.EXE"},
         {"64", "32"},
         1},
        {"parent not in the snapshot",
         {{0x40, 0x99, 0, 1, 8, "C:\\KID.EXE"}, {0x30, 0x10, 0, 1, 8, "C:\\OTHER.EXE"}},
         {"/p$40", "/d"},
         {"$00000040 $00000099 C:\\KID.EXE"},
         {"64"},
         1},
        {"parent of 0",
         {{0x40, 0, 0, 1, 8, "C:\\KID.EXE"}, {0x30, 0x10, 0, 1, 8, "C:\\OTHER.EXE"}},
         {"/p$40", "/d"},
         {"$00000040 $00000000 C:\\KID.EXE"},
         {"64"},
         1},
        {"shared parent once",
         {{0x20, 0x10, 0, 1, 8, "C:\\DAD.EXE"}, {0x40, 0x20, 0, 1, 8, "C:\\KID.EXE"},
          {0x50, 0x20, 0, 1, 8, "C:\\KID2.EXE"}},
         {"/nkid*", "/a", "/d"},
         {"$00000020 $00000010 C:\\DAD.EXE", "$00000040 $00000020 C:\\KID.EXE",
          "$00000050 $00000020 C:\\KID2.EXE"},
         {"32", "64", "80"},
         2},
        {"selected process that is also a parent",
         {{0x40, 0x20, 0, 1, 8, "C:\\KID.EXE"}, {0x20, 0x99, 0, 1, 8, "C:\\KIDDAD.EXE"}},
         {"/nkid*", "/a", "/d"},
         {"$00000040 $00000020 C:\\KID.EXE", "$00000020 $00000099 C:\\KIDDAD.EXE"},
         {"64", "32"},
         2},
        {"without /d only the child",
         {{0x20, 0x10, 0, 1, 8, "C:\\DAD.EXE"}, {0x40, 0x20, 0, 1, 8, "C:\\KID.EXE"}},
         {"/p$40"},
         {"$00000040 $00000020 C:\\KID.EXE"},
         {"64"},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        for (const auto& p : c.snapshot) AddProcess(p.pid, p.parent, p.exe);
        RunResult r = RunProgram(c.args);
        std::string rows;
        for (const auto& row : c.rows) rows += Killed(row);
        EXPECT_EQ(r.out, kBannerLine410 + kShortHeader + rows + "\n" + std::to_string(c.status) +
                             " Processes found.\n");
        ExpectExit(r, c.status);
        EXPECT_EQ(Opened(r), c.opened);
    }
}

}  // namespace
