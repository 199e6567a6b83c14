// The switch grammar as tables of cases: what each argument vector is
// refused with, and what an accepted one leaves in CommandOptions. Each case
// runs ParseSwitches for both back ends (the 95/98 set adds /d), and on NT
// also the whole program.
#include <algorithm>

#include "tests/front/front_cases.h"

namespace {

using Args = std::vector<std::string>;

enum class Sets { Both, NtOnly, Win9xOnly };

struct Refusal {
    Args args;
    const char* message;  // "" for the screen without an error line
    Sets sets = Sets::Both;
};

const Refusal kRefusals[] = {
    {{}, ""},
    {{"/v"}, ""},
    {{"/a"}, ""},
    {{"/a", "/v", "/a"}, ""},
    {{"/d"}, "", Sets::Win9xOnly},
    {{"/d", "/a", "/v"}, "", Sets::Win9xOnly},
    {{"/nfoo", "/p12"}, ""},
    {{"/p12", "/nfoo"}, ""},
    {{"/l", "/nfoo", "/p12"}, ""},

    {{"editor.exe"}, "unknown option"},
    {{"l"}, "unknown option"},
    {{"-"}, "unknown option"},
    {{"/"}, "unknown option"},
    {{""}, "unknown option"},
    {{"\\l"}, "unknown option"},
    {{"/lv"}, "unknown option"},
    {{"/ax"}, "unknown option"},
    {{"/list"}, "unknown option"},
    {{"/v1"}, "unknown option"},
    {{"/l "}, "unknown option"},
    {{"/ll"}, "unknown option"},
    {{"/dx"}, "unknown option"},
    {{"/x"}, "unknown option"},
    {{"/b"}, "unknown option"},
    {{"/1"}, "unknown option"},
    {{"/?"}, "unknown option"},
    {{"/-l"}, "unknown option"},
    {{"//l"}, "unknown option"},
    {{"/d"}, "unknown option", Sets::NtOnly},
    {{"-D", "/l"}, "unknown option", Sets::NtOnly},
    {{"/l", "/d"}, "unknown option", Sets::NtOnly},
    {{"/l", "editor.exe"}, "unknown option"},
    {{"/nfoo", "/x"}, "unknown option"},
    {{"/x", "/nfoo", "/nbar"}, "unknown option"},
    {{"/x", "/p"}, "unknown option"},

    {{"/n"}, "name component not present"},
    {{"/n", "notepad"}, "name component not present"},
    {{"/n.exe"}, "name component not present"},
    {{"/nC:\\dir\\"}, "name component not present"},
    {{"/nC:"}, "name component not present"},
    {{"/n/"}, "name component not present"},
    {{"/ndir.x\\.exe"}, "name component not present"},
    {{"/nfoo", "/nbar"}, "Option /n specified more than once"},
    {{"-Nfoo", "/nfoo"}, "Option /n specified more than once"},
    {{"/nfoo", "/n"}, "Option /n specified more than once"},
    {{"/l", "/nfoo", "/nbar", "/x"}, "Option /n specified more than once"},

    {{"/p1", "/p2"}, "Option /p specified more than once"},
    {{"/p1", "/pabc"}, "Option /p specified more than once"},
    {{"/P$1", "-p2"}, "Option /p specified more than once"},
    {{"/p"}, "<PID> has wrong format"},
    {{"/p$"}, "<PID> has wrong format"},
    {{"/pabc"}, "<PID> has wrong format"},
    {{"/p$xyz"}, "<PID> has wrong format"},
    {{"/p  "}, "<PID> has wrong format"},
    {{"/p-1"}, "<PID> has wrong format"},
    {{"/p$-1"}, "<PID> has wrong format"},
    {{"/p+"}, "<PID> has wrong format"},
    {{"/p+ 1"}, "<PID> has wrong format"},
    {{"/p$0x"}, "<PID> has wrong format"},
    {{"/p$0xg"}, "<PID> has wrong format"},
    {{"/p$$1"}, "<PID> has wrong format"},
};

struct Acceptance {
    Args args;
    const char* options;  // DescribeOptions of the result
    Sets sets = Sets::Both;
};

const Acceptance kAcceptances[] = {
    {{"/l"}, "a=0 d=0 l=1 v=0 n=0 p=0 pid=0 [|||]"},
    {{"-L"}, "a=0 d=0 l=1 v=0 n=0 p=0 pid=0 [|||]"},
    {{"/l", "/l", "/v", "/v"}, "a=0 d=0 l=1 v=1 n=0 p=0 pid=0 [|||]"},
    {{"-V", "/a", "/L"}, "a=1 d=0 l=1 v=1 n=0 p=0 pid=0 [|||]"},
    {{"/d", "/l"}, "a=0 d=1 l=1 v=0 n=0 p=0 pid=0 [|||]", Sets::Win9xOnly},
    {{"-D", "/d", "/p5"}, "a=0 d=1 l=0 v=0 n=0 p=1 pid=5 [|||]", Sets::Win9xOnly},
    {{"/nnotepad.exe"}, "a=0 d=0 l=0 v=0 n=1 p=0 pid=0 [||notepad|.exe]"},
    {{"/A", "-N*.exe"}, "a=1 d=0 l=0 v=0 n=1 p=0 pid=0 [||*|.exe]"},
    {{"/nC:\\WINDOWS\\EXPLORER.EXE"}, "a=0 d=0 l=0 v=0 n=1 p=0 pid=0 [C:|\\WINDOWS\\|EXPLORER|.EXE]"},
    {{"/nc:note*", "/l"}, "a=0 d=0 l=1 v=0 n=1 p=0 pid=0 [c:||note*|]"},
    {{"/n file.", "/v"}, "a=0 d=0 l=0 v=1 n=1 p=0 pid=0 [|| file|.]"},
    {{"/l", "/p1"}, "a=0 d=0 l=1 v=0 n=0 p=1 pid=1 [|||]"},
    {{"/p420"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=420 [|||]"},
    {{"-P420"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=420 [|||]"},
    {{"/p$1A4"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=420 [|||]"},
    {{"/p$1a4"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=420 [|||]"},
    {{"/p12x"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=12 [|||]"},
    {{"/p$1Ag"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=26 [|||]"},
    {{"/p0"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=0 [|||]"},
    {{"/p0x1A"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=0 [|||]"},
    {{"/p 1A", "/l"}, "a=0 d=0 l=1 v=0 n=0 p=1 pid=1 [|||]"},
    {{"/p 12"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=12 [|||]"},
    {{"/p\t\n\v\f\r 12 34"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=12 [|||]"},
    {{"/p$ \t1a"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=26 [|||]"},
    {{"/p+7"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=7 [|||]"},
    {{"/p$+ff"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=255 [|||]"},
    {{"/p$0x1A"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=26 [|||]"},
    {{"/p$0X1a"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=26 [|||]"},
    {{"/p$ +0x10"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=16 [|||]"},
    {{"/p$0"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=0 [|||]"},
    {{"/p0000000000000000000042"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=42 [|||]"},
    {{"/p$00000000000000000000FF"}, "a=0 d=0 l=0 v=0 n=0 p=1 pid=255 [|||]"},
};

bool Applies(Sets sets, SwitchSet set) {
    if (sets == Sets::Both) return true;
    return (sets == Sets::NtOnly) == (set == SwitchSet::Nt);
}

std::string ScreenFor(SwitchSet set, const char* message) {
    return set == SwitchSet::Nt ? NtScreen(message) : Win9xScreen(message);
}

class SwitchesTest : public FrontTest, public ::testing::WithParamInterface<SwitchSet> {};

TEST_P(SwitchesTest, RefusedArgumentsShowTheScreen) {
    const SwitchSet set = GetParam();
    for (const Refusal& c : kRefusals) {
        if (!Applies(c.sets, set)) continue;
        SCOPED_TRACE(ShowArgs(c.args));
        const RunResult r = ParseInChild(set, c.args);
        EXPECT_EQ(r.out, ScreenFor(set, c.message));
        EXPECT_EQ(r.end, RunEnd::ExitProcess);
        EXPECT_EQ(r.exitCode, 0xFFFFu);
    }
}

TEST_P(SwitchesTest, AcceptedArgumentsFillTheOptions) {
    const SwitchSet set = GetParam();
    for (const Acceptance& c : kAcceptances) {
        if (!Applies(c.sets, set)) continue;
        SCOPED_TRACE(ShowArgs(c.args));
        const RunResult r = ParseInChild(set, c.args);
        EXPECT_EQ(r.out, std::string(kAccepted) + c.options);
        EXPECT_EQ(r.end, RunEnd::Returned);
    }
}

INSTANTIATE_TEST_SUITE_P(BothBackEnds, SwitchesTest,
                         ::testing::Values(SwitchSet::Nt, SwitchSet::Win9x),
                         [](const auto& info) {
                             return info.param == SwitchSet::Nt ? std::string("Nt")
                                                                : std::string("Win9x");
                         });

// The whole NT program: a refused vector shows the NT screen; an accepted one
// gets past the switches to the NT-only check, which a version word with
// bit 31 set makes the next and last thing printed.
using NtProgramSwitchesTest = FrontTest;

TEST_F(NtProgramSwitchesTest, RefusalsAndAcceptancesThroughMain) {
    Fake().platformId = VER_PLATFORM_WIN32_NT;
    Fake().versionWord = 0x80000A04u;
    for (const Refusal& c : kRefusals) {
        if (!Applies(c.sets, SwitchSet::Nt)) continue;
        SCOPED_TRACE(ShowArgs(c.args));
        const RunResult r = RunProgram(c.args);
        EXPECT_EQ(r.out, NtScreen(c.message));
        EXPECT_EQ(r.end, RunEnd::ExitProcess);
        EXPECT_EQ(r.exitCode, 0xFFFFu);
        EXPECT_EQ(std::count(r.calls.begin(), r.calls.end(), "GetVersion"), 0);
    }
    for (const Acceptance& c : kAcceptances) {
        if (!Applies(c.sets, SwitchSet::Nt)) continue;
        SCOPED_TRACE(ShowArgs(c.args));
        const RunResult r = RunProgram(c.args);
        EXPECT_EQ(r.out, kNtOnlyLine);
        EXPECT_EQ(r.end, RunEnd::ExitProcess);
        EXPECT_EQ(r.exitCode, 0xFFFFu);
    }
}

}  // namespace
