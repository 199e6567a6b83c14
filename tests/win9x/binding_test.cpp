// Binding the Toolhelp32 entry points and taking the process snapshot.
#include "tests/win9x/win9x_fixture.h"

namespace {

class Binding : public Win9xMachine {};

const std::vector<std::string> kLookups = {
    "GetProcAddress CreateToolhelp32Snapshot", "GetProcAddress Process32First",
    "GetProcAddress Process32Next", "GetProcAddress Module32First", "GetProcAddress Module32Next"};

TEST_F(Binding, LibraryThatDoesNotLoadEndsBeforeAnyLookup) {
    Fake().kernel32Loads = false;
    AddProcess(0x10, 0, "C:\\WINDOWS\\EXPLORER.EXE");
    RunResult r = RunProgram({"/l"});
    EXPECT_EQ(r.out, "Error loading KERNEL32.DLL\n");
    ExpectExit(r, 0xFFFF);
    EXPECT_EQ(r.CallsStartingWith("LoadLibraryA"), std::vector<std::string>{"LoadLibraryA KERNEL32.DLL"});
    EXPECT_EQ(r.CountCalls("GetProcAddress"), 0);
    EXPECT_EQ(r.CountCalls("CreateToolhelp32Snapshot"), 0);
}

// Each required entry point missing alone; all five names are looked up
// first, and a missing one wins over a snapshot that would fail too.
TEST_F(Binding, MissingRequiredEntryPointIsReportedBeforeTheSnapshot) {
    for (const char* name : {"CreateToolhelp32Snapshot", "Process32First", "Process32Next"}) {
        SCOPED_TRACE(name);
        SetUp();
        Fake().missingExports = {name};
        Fake().processSnapshotFails = true;
        AddProcess(0x10, 0, "C:\\WINDOWS\\EXPLORER.EXE");
        RunResult r = RunProgram({"/l"});
        EXPECT_EQ(r.out, "Error accessing TOOLHELP32 functions\n");
        ExpectExit(r, 0xFFFF);
        EXPECT_EQ(r.CallsStartingWith("GetProcAddress"), kLookups);
        EXPECT_EQ(r.CountCalls("CreateToolhelp32Snapshot"), 0);
        ExpectNoRelease(r);
    }
}

TEST_F(Binding, SnapshotThatCannotBeTakenEndsTheRun) {
    Fake().processSnapshotFails = true;
    AddProcess(0x10, 0, "C:\\WINDOWS\\EXPLORER.EXE");
    RunResult r = RunProgram({"/p$10"});
    EXPECT_EQ(r.out, "Error on CreateToolhelp32Snapshot\n");
    ExpectExit(r, 0xFFFF);
    EXPECT_EQ(r.CallsStartingWith("CreateToolhelp32Snapshot"),
              std::vector<std::string>{"CreateToolhelp32Snapshot 2 0"});
    EXPECT_EQ(r.CountCalls("Process32First"), 0);
    ExpectNoRelease(r);
}

// Without a module walk the library still binds; the verbose listing shows
// every process as 32-bit and never calls an empty slot.
TEST_F(Binding, LibraryWithoutModuleWalkStillLists) {
    const std::vector<std::set<std::string>> missing = {
        {"Module32First"}, {"Module32Next"}, {"Module32First", "Module32Next"}};
    for (const auto& names : missing) {
        std::string missingNames;
        for (const auto& n : names) missingNames += n + " ";
        SCOPED_TRACE(missingNames);
        SetUp();
        Fake().missingExports = names;
        AddProcess(0x20, 0x10, "C:\\OLD\\APP16.EXE", 0x42, 2, 8);
        // A module walk would find a different path and show 16.
        Fake().modules[0x20].modules = {{0x42, "WINOA386.MOD", "C:\\WINDOWS\\SYSTEM\\WINOA386.MOD"}};

        RunResult plain = RunProgram({"/l"});
        EXPECT_EQ(plain.out, kBannerLine410 + kShortHeader +
                                 "$00000020 $00000010 C:\\OLD\\APP16.EXE\n\n1 Processes found.\n");
        ExpectExit(plain, 1);

        RunResult verbose = RunProgram({"/l", "/v"});
        EXPECT_EQ(verbose.out,
                  kBannerLine410 + kVerboseHeader +
                      "$00000020 $00000010 $00000042 02 08 32 C:\\OLD\\APP16.EXE\n\n1 Processes found.\n");
        ExpectExit(verbose, 1);
        EXPECT_EQ(verbose.CountCalls("Module32"), 0);
        EXPECT_EQ(verbose.CountCalls("CreateToolhelp32Snapshot 8"), 0);
    }
}

TEST_F(Binding, SwitchErrorsComeBeforeTheBinding) {
    AddProcess(0x10, 0, "C:\\WINDOWS\\EXPLORER.EXE");
    RunResult r = RunProgram({"/x"});
    EXPECT_NE(r.out.find("Error: unknown option\n"), std::string::npos) << r.out;
    ExpectExit(r, 0xFFFF);
    EXPECT_EQ(r.CountCalls("LoadLibraryA"), 0);
}

}  // namespace
