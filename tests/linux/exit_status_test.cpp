// The Linux seam's version and exit status, and the built executables'
// usage screen as a shell sees it.
#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/win32.h"

namespace {

// The 8-bit status a parent sees after the child calls ExitProcess(code).
int StatusAfterExitProcess(UINT code) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) ExitProcess(code);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    return WEXITSTATUS(status);
}

TEST(LinuxExitStatus, ExitProcessMapsToEightBits) {
    const std::pair<UINT, int> cases[] = {{0xFFFF, 255}, {0, 0},      {1, 1},
                                          {2, 2},        {254, 254},  {255, 254},
                                          {256, 254},    {1000, 254}, {0xFFFE, 254},
                                          {0x10000, 254}, {0xFFFFFFFFu, 254}};
    for (const auto& [code, expected] : cases)
        EXPECT_EQ(StatusAfterExitProcess(code), expected) << "ExitProcess(" << code << ")";
}

// Output written through stdio before ExitProcess reaches the pipe.
TEST(LinuxExitStatus, ExitProcessKeepsBufferedOutput) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        std::printf("written before the end");
        ExitProcess(3);
    }
    close(fds[1]);
    std::string out;
    char buffer[256];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(out, "written before the end");
    EXPECT_EQ(WEXITSTATUS(status), 3);
}

TEST(LinuxVersion, GetVersionCarriesTheKernelRelease) {
    utsname name{};
    ASSERT_EQ(uname(&name), 0);
    unsigned major = 0, minor = 0;
    ASSERT_EQ(std::sscanf(name.release, "%u.%u", &major, &minor), 2) << name.release;
    const DWORD version = GetVersion();
    EXPECT_EQ(version & 0xFF, major & 0xFF);
    EXPECT_EQ((version >> 8) & 0xFF, minor & 0xFF);
    EXPECT_EQ(version & 0x80000000u, 0u) << "the NT flavour reports Windows NT";

    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_EQ(info.dwMajorVersion, major);
    EXPECT_EQ(info.dwMinorVersion, minor);
}

struct ShellRun {
    std::string out;
    int status = -1;
};

ShellRun RunInShell(const std::string& command) {
    ShellRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    const int status = pclose(pipe);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
}

const char kNtScreen[] =
    "Taskreap W32 1.2 (NT) by Velmorant\n\n"
    "Error: unknown option\n\n"
    "Usage: taskreap [/a] [/l] [/v] {/n<ProcName> | /p[$]<PID>}\n"
    "       taskreap /l [/v]\n\n"
    "\t/a\tKill all Processes of Name <ProcName>\n"
    "\t/l\tJust list Processes, don't kill any\n"
    "\t/v\tShow Window Titles too\n\n"
    "Wildcards * and ? in <ProcName> are allowed. Caution!\n";

const char kWin9xScreen[] =
    "Taskreap W32 1.2 (W95+W98) by Velmorant\n\n"
    "Error: unknown option\n\n"
    "Usage: taskreap [/a] [/d] [/l] [/v] {/n<ProcName> | /p[$]<PID>}\n"
    "       taskreap /l [/v]\n\n"
    "\t/a\tKill all Processes of Name <ProcName>\n"
    "\t/d\tKill Dad too\n"
    "\t/v\tVerbose\n"
    "\t/l\tJust list Processes, don't kill any\n\n"
    "Wildcards * and ? in <ProcName> are allowed. Caution !\n";

TEST(LinuxExecutables, BadSwitchShowsTheUsageScreenAndStatus255) {
    const ShellRun nt = RunInShell(std::string("'") + TASKREAP_EXE + "' /x 2>/dev/null");
    EXPECT_EQ(nt.out, kNtScreen);
    EXPECT_EQ(nt.status, 255);

    const ShellRun nt2 = RunInShell(std::string("'") + TASKREAP_EXE + "' /d /l 2>/dev/null");
    EXPECT_EQ(nt2.out, kNtScreen) << "/d belongs to the 95/98 driver only";
    EXPECT_EQ(nt2.status, 255);

    const ShellRun w95 = RunInShell(std::string("'") + TASKREAP95_EXE + "' /x 2>/dev/null");
    EXPECT_EQ(w95.out, kWin9xScreen);
    EXPECT_EQ(w95.status, 255);
}

TEST(LinuxExecutables, NoArgumentsShowTheScreenWithoutErrorLine) {
    for (const char* exe : {TASKREAP_EXE, TASKREAP95_EXE}) {
        const ShellRun run = RunInShell(std::string("'") + exe + "' 2>&1");
        EXPECT_EQ(run.status, 255) << exe;
        EXPECT_EQ(run.out.find("Error:"), std::string::npos) << exe;
        EXPECT_NE(run.out.find("Usage: taskreap ["), std::string::npos) << exe;
    }
}

}  // namespace
