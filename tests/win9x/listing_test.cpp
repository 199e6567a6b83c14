// The list-all mode: banner line, headers, rows, summary, release, status.
#include "tests/win9x/win9x_fixture.h"

namespace {

class Listing : public Win9xMachine {
protected:
    void SetUp() override {
        Win9xMachine::SetUp();
        AddProcess(0xFFFD1A2B, 0, "C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL", 0x1A, 4, 13);
        AddProcess(0x00001234, 0xFFFD1A2B, "C:\\WINDOWS\\EXPLORER.EXE", 0x2B, 12, 8);
        AddProcess(0x0000ABCD, 0x00001234, "C:\\Program Files\\Edit\\edit.exe", 0x3C, 1, 4);
    }
};

const char kRows[] =
    "$FFFD1A2B $00000000 C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL\n"
    "$00001234 $FFFD1A2B C:\\WINDOWS\\EXPLORER.EXE\n"
    "$0000ABCD $00001234 C:\\Program Files\\Edit\\edit.exe\n";

TEST_F(Listing, ListsEveryProcessInSnapshotOrder) {
    RunResult r = RunProgram({"/l"});
    EXPECT_EQ(r.out, kBannerLine410 + kShortHeader + kRows + "\n3 Processes found.\n");
    ExpectExit(r, 3);
    EXPECT_EQ(r.CountCalls("OpenProcess"), 0);
}

TEST_F(Listing, VerboseRowsCarryModuleThreadsPriorityAndBitness) {
    Fake().modules[0x1234].modules = {{0x2B, "EXPLORER.EXE", "C:\\WINDOWS\\EXPLORER.EXE"}};
    Fake().modules[0xABCD].modules = {{0x3C, "KRNL386.EXE", "C:\\WINDOWS\\SYSTEM\\KRNL386.EXE"}};
    RunResult r = RunProgram({"-L", "-V"});
    EXPECT_EQ(r.out, kBannerLine410 + kVerboseHeader +
                         "$FFFD1A2B $00000000 $0000001A 04 13 32 C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL\n"
                         "$00001234 $FFFD1A2B $0000002B 12 08 32 C:\\WINDOWS\\EXPLORER.EXE\n"
                         "$0000ABCD $00001234 $0000003C 01 04 16 C:\\Program Files\\Edit\\edit.exe\n"
                         "\n3 Processes found.\n");
    ExpectExit(r, 3);
}

// In list-all mode /a and /d change nothing.
TEST_F(Listing, KillAllAndParentsHaveNoEffectWithoutSelection) {
    RunResult plain = RunProgram({"/l"});
    RunResult extra = RunProgram({"/l", "/a", "/d"});
    EXPECT_EQ(extra.out, plain.out);
    ExpectExit(extra, 3);
    EXPECT_EQ(extra.CountCalls("OpenProcess"), 0);
}

TEST_F(Listing, BannerLineShowsMajorAndTwoDigitMinorVersion) {
    struct Case {
        DWORD major, minor;
        std::optional<DWORD> word;
        const char* shown;
    };
    const std::vector<Case> cases = {
        {4, 10, {}, "4.10"},
        {4, 0, {}, "4.00"},
        {4, 90, {}, "4.90"},
        {4, 3, {}, "4.03"},
        // Only the low two bytes hold the version.
        {0, 0, 0xC0FF0A04u, "4.10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        SetUp();
        Fake().major = c.major;
        Fake().minor = c.minor;
        Fake().versionWord = c.word;
        RunResult r = RunProgram({"/l"});
        const std::string line =
            std::string("Taskreap W32 1.2 (W95+W98) is running with Windows Version ") + c.shown + "\n\n";
        EXPECT_EQ(r.out.substr(0, line.size()), line);
    }
}

TEST_F(Listing, SummaryKeepsThePluralForOne) {
    Fake().snapshot.resize(1);
    RunResult r = RunProgram({"/l"});
    EXPECT_EQ(r.out, kBannerLine410 + kShortHeader +
                         "$FFFD1A2B $00000000 C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL\n\n1 Processes found.\n");
    ExpectExit(r, 1);
}

TEST_F(Listing, EmptySnapshotEndsWithZero) {
    Fake().snapshot.clear();
    RunResult r = RunProgram({"/l"});
    EXPECT_EQ(r.out, kBannerLine410 + kShortHeader + "\n0 Processes found.\n");
    ExpectExit(r, 0);
}

// A normal end closes the snapshot, then frees the library, then exits.
TEST_F(Listing, NormalEndReleasesSnapshotThenLibrary) {
    RunResult r = RunProgram({"/l"});
    ASSERT_GE(r.calls.size(), 3u);
    const std::vector<std::string> tail(r.calls.end() - 3, r.calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"CloseHandle process-snapshot 0", "FreeLibrary 0x4B000000",
                                              "ExitProcess 3"}));
    EXPECT_EQ(r.CountCalls("CloseHandle"), 1);
}

// Both walks go over the one process snapshot, each from its first entry,
// with the size of the platform's own record (a smaller one is refused).
TEST_F(Listing, BothWalksUseOneSnapshotWithTheFullRecordSize) {
    Fake().modules[0x1234].modules = {{0x2B, "EXPLORER.EXE", "C:\\WINDOWS\\EXPLORER.EXE"}};
    RunResult r = RunProgram({"/nexplorer", "/l", "/v"});
    ExpectExit(r, 1);
    EXPECT_EQ(r.CallsStartingWith("CreateToolhelp32Snapshot"),
              std::vector<std::string>{"CreateToolhelp32Snapshot 2 0"});
    const std::string size = " size=" + std::to_string(sizeof(PROCESSENTRY32));
    EXPECT_EQ(r.CallsStartingWith("Process32First"),
              (std::vector<std::string>{"Process32First" + size, "Process32First" + size}));
    EXPECT_EQ(r.CallsStartingWith("Process32Next"),
              std::vector<std::string>(6, "Process32Next" + size));  // 2 walks of 3 processes

    RunResult v = RunProgram({"/l", "/v"});
    EXPECT_EQ(v.CallsStartingWith("Module32First"),
              std::vector<std::string>{"Module32First size=" + std::to_string(sizeof(MODULEENTRY32))});
    EXPECT_NE(v.out.find("$0000002B 12 08 32 C:\\WINDOWS\\EXPLORER.EXE\n"), std::string::npos) << v.out;
}

}  // namespace
