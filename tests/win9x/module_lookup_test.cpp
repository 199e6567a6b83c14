// Telling 32-bit from 16-bit processes by their own module's path.
#include <cstdio>
#include <cstring>

#include "tests/win9x/win9x_fixture.h"
#include "win9x/module_lookup.h"
#include "win9x/toolhelp_api.h"

namespace {

class ModuleLookup : public Win9xMachine {};

struct BitnessCase {
    const char* what;
    bool listed;  // a module list exists for the process
    bool available;
    std::vector<FakeModule> modules;
    const char* bits;
};

const char kExe[] = "C:\\APPS\\EDIT.EXE";

TEST_F(ModuleLookup, BitnessColumnOfTheVerboseListing) {
    const std::vector<BitnessCase> cases = {
        {"same path in another letter case", true, true, {{0x42, "EDIT.EXE", "c:\\apps\\edit.exe"}}, "32"},
        {"different path", true, true, {{0x42, "KRNL386.EXE", "C:\\WINDOWS\\SYSTEM\\KRNL386.EXE"}}, "16"},
        {"module snapshot unavailable", true, false, {{0x42, "X", "C:\\X.EXE"}}, "32"},
        {"no module snapshot for the PID", false, true, {}, "32"},
        {"no modules", true, true, {}, "32"},
        {"module id not found", true, true,
         {{0x41, "A", "C:\\A.EXE"}, {0x43, "B", "C:\\B.EXE"}}, "32"},
        {"found after other modules", true, true,
         {{0x41, "A", "C:\\A.EXE"}, {0x42, "B", "C:\\B.EXE"}}, "16"},
        {"first of two with the id wins (equal)", true, true,
         {{0x42, "EDIT.EXE", kExe}, {0x42, "B", "C:\\B.EXE"}}, "32"},
        {"first of two with the id wins (different)", true, true,
         {{0x42, "B", "C:\\B.EXE"}, {0x42, "EDIT.EXE", kExe}}, "16"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        AddProcess(0x20, 0x10, kExe, 0x42, 3, 8);
        if (c.listed) Fake().modules[0x20] = FakeModuleList{c.available, c.modules};
        RunResult r = RunProgram({"/l", "/v"});
        EXPECT_EQ(r.out, kBannerLine410 + kVerboseHeader + "$00000020 $00000010 $00000042 03 08 " +
                             c.bits + " " + kExe + "\n\n1 Processes found.\n");
        ExpectExit(r, 1);
        EXPECT_EQ(r.CallsStartingWith("CreateToolhelp32Snapshot 8"),
                  std::vector<std::string>{"CreateToolhelp32Snapshot 8 32"});
        // A module snapshot that was taken is closed again.
        const bool taken = c.listed && c.available;
        EXPECT_EQ(r.CountCalls("CloseHandle module-snapshot 32"), taken ? 1 : 0);
        if (!taken) {
            EXPECT_EQ(r.CountCalls("Module32First"), 0);
        }
    }
}

// The walk stops at the first module with the wanted id.
TEST_F(ModuleLookup, WalkStopsAtTheMatch) {
    AddProcess(0x20, 0x10, kExe, 0x42);
    Fake().modules[0x20].modules = {{0x42, "EDIT.EXE", kExe}, {0x50, "A", "C:\\A.DLL"},
                                    {0x51, "B", "C:\\B.DLL"}};
    RunResult r = RunProgram({"/l", "/v"});
    EXPECT_EQ(r.CountCalls("Module32First"), 1);
    EXPECT_EQ(r.CountCalls("Module32Next"), 0);
}

// Every process row takes, walks and closes a module snapshot of its own.
TEST_F(ModuleLookup, OneModuleSnapshotPerRow) {
    AddProcess(0x20, 0x10, "C:\\A.EXE", 0x1);
    AddProcess(0x30, 0x10, "C:\\B.EXE", 0x2);
    Fake().modules[0x20].modules = {{0x1, "A.EXE", "C:\\A.EXE"}};
    Fake().modules[0x30].modules = {{0x9, "X", "C:\\X.DLL"}, {0x2, "Y", "C:\\OTHER.EXE"}};
    RunResult r = RunProgram({"/l", "/v"});
    EXPECT_EQ(r.out, kBannerLine410 + kVerboseHeader +
                         "$00000020 $00000010 $00000001 01 08 32 C:\\A.EXE\n"
                         "$00000030 $00000010 $00000002 01 08 16 C:\\B.EXE\n"
                         "\n2 Processes found.\n");
    EXPECT_EQ(r.CallsStartingWith("CreateToolhelp32Snapshot 8"),
              (std::vector<std::string>{"CreateToolhelp32Snapshot 8 32", "CreateToolhelp32Snapshot 8 48"}));
    EXPECT_EQ(r.CallsStartingWith("CloseHandle module-snapshot"),
              (std::vector<std::string>{"CloseHandle module-snapshot 32", "CloseHandle module-snapshot 48"}));
}

// FindModuleEntry copies exactly the bytes asked for, and nothing when the
// module is not there.
TEST_F(ModuleLookup, FindModuleEntryCopiesOnlyWhatWasAskedFor) {
    Fake().modules[0x20].modules = {{0x42, "EDIT.EXE", kExe}};
    RunResult r = RunIsolated([] {
        BindToolhelp();
        MODULEENTRY32 e;
        std::memset(&e, 0x5A, sizeof e);
        const int missing = FindModuleEntry(0x20, 0x43, &e, sizeof e);
        const bool untouched = e.dwSize == 0x5A5A5A5Au && e.szModule[0] == 0x5A;
        const size_t head = offsetof(MODULEENTRY32, szModule);
        const int found = FindModuleEntry(0x20, 0x42, &e, head);
        std::printf("missing=%d untouched=%d found=%d size=%d id=%X pid=%X module=%d path=%d\n",
                    missing, untouched, found, e.dwSize == sizeof(MODULEENTRY32),
                    static_cast<unsigned>(e.th32ModuleID), static_cast<unsigned>(e.th32ProcessID),
                    e.szModule[0] == 0x5A, e.szExePath[0] == 0x5A);
    });
    EXPECT_EQ(r.end, RunEnd::Returned);
    EXPECT_EQ(r.out, "missing=0 untouched=1 found=1 size=1 id=42 pid=20 module=1 path=1\n");
}

}  // namespace
