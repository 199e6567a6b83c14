// main: the choice of driver by platform identifier, the NT-only check and
// the order in which switches and version are looked at.
#include <algorithm>

#include "tests/front/front_cases.h"

namespace {

using EntryTest = FrontTest;

int Count(const RunResult& r, const std::string& call) {
    return static_cast<int>(std::count(r.calls.begin(), r.calls.end(), call));
}

TEST_F(EntryTest, AsksForTheVersionWithTheFullRecordSize) {
    const RunResult r = RunProgram({"/x"});
    ASSERT_FALSE(r.calls.empty());
    EXPECT_EQ(r.calls.front(), "GetVersionExA size=148");
}

// Platform 1 runs the 95/98 driver (its letter set and screen); 0, 2 and any
// other value the NT driver. /d tells the two letter sets apart.
TEST_F(EntryTest, PlatformIdentifierChoosesTheDriver) {
    struct Case {
        DWORD platformId;
        bool win9x;
    };
    const Case cases[] = {{VER_PLATFORM_WIN32s, false},
                          {VER_PLATFORM_WIN32_WINDOWS, true},
                          {VER_PLATFORM_WIN32_NT, false},
                          {3, false},
                          {0xFFFFFFFFu, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE("platform id " + std::to_string(c.platformId));
        ResetFake();
        Fake().platformId = c.platformId;
        const RunResult r = RunProgram({"/d", "/x"});
        EXPECT_EQ(r.out, c.win9x ? Win9xScreen("unknown option") : NtScreen("unknown option"));
        EXPECT_EQ(r.end, RunEnd::ExitProcess);
        EXPECT_EQ(r.exitCode, 0xFFFFu);
    }
}

TEST_F(EntryTest, NtDriverRefusesASystemThatIsNotNt) {
    // Win32s reports bit 31 set; so does any version word with it set.
    struct Case {
        DWORD platformId;
        std::optional<DWORD> versionWord;
    };
    const Case cases[] = {{VER_PLATFORM_WIN32s, std::nullopt},
                          {VER_PLATFORM_WIN32_NT, 0x80000000u},
                          {VER_PLATFORM_WIN32_NT, 0xFFFFFFFFu},
                          {3, 0xC0000A04u}};
    for (const Case& c : cases) {
        SCOPED_TRACE("platform id " + std::to_string(c.platformId));
        ResetFake();
        Fake().platformId = c.platformId;
        Fake().versionWord = c.versionWord;
        const RunResult r = RunProgram({"/l"});
        EXPECT_EQ(r.out, kNtOnlyLine);
        EXPECT_EQ(r.end, RunEnd::ExitProcess);
        EXPECT_EQ(r.exitCode, 0xFFFFu);
        ASSERT_GE(r.calls.size(), 2u);
        EXPECT_EQ(r.calls[r.calls.size() - 2], "GetVersion");
        EXPECT_EQ(r.calls.back(), "ExitProcess 65535");
    }
}

// Switch errors are judged before the version: on a system that is not NT
// the usage screen shows, never the NT-only message.
TEST_F(EntryTest, SwitchErrorBeatsTheNtOnlyCheck) {
    Fake().platformId = VER_PLATFORM_WIN32_NT;
    Fake().versionWord = 0x80000000u;
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"/x"}, "unknown option"}, {{}, ""}, {{"/nfoo", "/p1"}, ""}, {{"/p"}, "<PID> has wrong format"}};
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(ShowArgs(args));
        const RunResult r = RunProgram(args);
        EXPECT_EQ(r.out, NtScreen(message));
        EXPECT_EQ(r.exitCode, 0xFFFFu);
        EXPECT_EQ(Count(r, "GetVersion"), 0);
    }
}

TEST_F(EntryTest, NtSystemPassesTheCheckIntoTheDriver) {
    Fake().platformId = VER_PLATFORM_WIN32_NT;
    Fake().versionWord = 0x05650004u;  // bit 31 clear
    const RunResult r = RunProgram({"/l"});
    EXPECT_EQ(r.out.find("only runs on Windows NT"), std::string::npos);
    EXPECT_EQ(Count(r, "GetVersion"), 1);
    EXPECT_NE(r.end, RunEnd::Crashed);
    EXPECT_NE(r.end, RunEnd::Returned);
}

// The 95/98 driver makes no NT-only check, even with bit 31 clear or set.
TEST_F(EntryTest, Win9xDriverMakesNoNtOnlyCheck) {
    for (DWORD word : {0x80000A04u, 0x00000A04u}) {
        ResetFake();
        Fake().platformId = VER_PLATFORM_WIN32_WINDOWS;
        Fake().versionWord = word;
        const RunResult r = RunProgram({"/l"});
        EXPECT_EQ(r.out.find("only runs on Windows NT"), std::string::npos);
        EXPECT_NE(r.end, RunEnd::Crashed);
        EXPECT_NE(r.end, RunEnd::Returned);
    }
}

}  // namespace
