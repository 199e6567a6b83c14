// Process handles and the debug privilege of the Linux seam, on children
// the tests start themselves.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "linux_children.h"
#include "platform/linux/handles.h"
#include "platform/linux/perf_block.h"
#include "platform/linux/procfs.h"
#include "platform/win32.h"

namespace {

// Takes a performance-data snapshot, as a listing does before it kills.
void TakeSnapshot() { (void)BuildPerfDataBlock(true); }

uint64_t StartTicksOf(pid_t pid) {
    ProcStat stat;
    EXPECT_TRUE(ReadProcessStat(static_cast<DWORD>(pid), stat));
    return stat.startTicks;
}

bool DiedOfSigkill(int status) { return status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL; }

TEST(OpenProcess, GivesNoHandleForPidZeroOrAPidNoProcessHas) {
    TakeSnapshot();
    for (DWORD pid : {DWORD{0}, static_cast<DWORD>(NoSuchPid()), DWORD{0xFFFFFFFF}}) {
        SCOPED_TRACE(pid);
        SetLastError(0);
        EXPECT_EQ(OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
}

TEST(TerminateProcess, KillsAListedChildWithSigkill) {
    pid_t child = StartSleeper("termchild");
    ASSERT_GT(child, 0);
    TakeSnapshot();
    HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(child));
    ASSERT_NE(h, nullptr);
    SetLastError(99);
    EXPECT_TRUE(TerminateProcess(h, 0xFFFF));
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_TRUE(CloseHandle(h));
    int status = ReapWithin(child, 5000);
    EXPECT_TRUE(DiedOfSigkill(status)) << status;
    if (status == -1) KillAndReap(child);
}

TEST(TerminateProcess, RefusesAProcessThatHasEndedAndReportsNoSuccess) {
    // Ended but not yet reaped: the kernel would take the signal and do
    // nothing.
    pid_t zombie = StartSleeper("termzombie");
    ASSERT_GT(zombie, 0);
    kill(zombie, SIGKILL);
    for (int i = 0; i < 200; ++i) {
        std::string stat = ReadFileText("/proc/" + std::to_string(zombie) + "/stat");
        if (stat.find(") Z ") != std::string::npos) break;
        usleep(5000);
    }
    TakeSnapshot();
    HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(zombie));
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(TerminateProcess(h, 0xFFFF));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(h));
    KillAndReap(zombie);

    // Reaped after the handle was opened: the pidfd refers to a process
    // that is gone.
    pid_t gone = StartSleeper("termgone");
    ASSERT_GT(gone, 0);
    TakeSnapshot();
    h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(gone));
    ASSERT_NE(h, nullptr);
    KillAndReap(gone);
    EXPECT_FALSE(TerminateProcess(h, 0xFFFF));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(h));
}

TEST(OpenProcess, RefusesAProcessTheLatestSnapshotDidNotList) {
    pid_t listed = StartSleeper("guardlisted");
    ASSERT_GT(listed, 0);
    TakeSnapshot();
    uint64_t listedStart = StartTicksOf(listed);
    KillAndReap(listed);
    pid_t later = StartSleeper("guardlater");
    ASSERT_GT(later, 0);

    SetLastError(0);
    EXPECT_EQ(OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(later)), nullptr)
        << "born after the snapshot";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(IsSnapshotProcess(static_cast<DWORD>(listed), listedStart + 1))
        << "a later process under the listed PID";

    TakeSnapshot();
    HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(later));
    EXPECT_NE(h, nullptr) << "listed by the new snapshot";
    if (h != nullptr) {
        EXPECT_TRUE(CloseHandle(h));
    }
    EXPECT_TRUE(IsRunning(later));
    KillAndReap(later);
}

TEST(TerminateProcess, RefusesKernelThreads) {
    ProcStat kthreadd;
    if (!ReadProcessStat(2, kthreadd) || (kthreadd.flags & 0x00200000) == 0)
        GTEST_SKIP() << "no kernel threads in this PID namespace";
    TakeSnapshot();
    HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, 2);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(TerminateProcess(h, 0xFFFF));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(h));
}

// Runs inside a new PID namespace whose init is a shell started for it.
TEST(InPidNamespace, DISABLED_RefusesTheInitOfTheOwnNamespace) {
    ASSERT_NE(getpid(), 1);
    TakeSnapshot();
    HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, 1);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(TerminateProcess(h, 0xFFFF));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(h));
}

// Makes the next child take the PID of one that was listed and reaped.
TEST(InPidNamespace, DISABLED_NeverOpensALaterProcessUnderAListedPid) {
    pid_t listed = StartSleeper("reusefirst");
    ASSERT_GT(listed, 0);
    TakeSnapshot();
    KillAndReap(listed);
    {
        std::ofstream last("/proc/sys/kernel/ns_last_pid");
        last << (listed - 1);
    }
    pid_t later = StartSleeper("reusesecond");
    ASSERT_GT(later, 0);
    if (later != listed) {
        KillAndReap(later);
        GTEST_SKIP() << "the PID could not be reused here";
    }
    EXPECT_EQ(OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(later)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(IsRunning(later));
    KillAndReap(later);
}

TEST(InPidNamespaceRun, InitAndReusedPid) {
    if (PidNamespacePrefix().empty()) GTEST_SKIP() << "no PID namespaces here";
    for (const char* name : {"InPidNamespace.DISABLED_RefusesTheInitOfTheOwnNamespace",
                             "InPidNamespace.DISABLED_NeverOpensALaterProcessUnderAListedPid"}) {
        std::string log;
        EXPECT_TRUE(RunTestInPidNamespace(name, log)) << log;
    }
}

TEST(CloseHandle, ClosesSeamHandlesAndRefusesAnythingElse) {
    static int released = 0;
    SeamHandle own{kSeamHandleMagic, [](SeamHandle* self) {
                       self->magic = 0;
                       ++released;
                   }};
    EXPECT_TRUE(CloseHandle(&own));
    EXPECT_EQ(released, 1);
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(&own)) << "closed already";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(released, 1);
    SeamHandle stranger{0x12345678, nullptr};
    for (HANDLE h : {static_cast<HANDLE>(&stranger), static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    SetLastError(0);
    EXPECT_FALSE(TerminateProcess(&stranger, 0xFFFF));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

bool KillCapability(bool effective) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    syscall(SYS_capget, &header, data);
    return ((effective ? data[0].effective : data[0].permitted) >> CAP_KILL) & 1;
}

// Runs `body` in a child process, so that capability and user changes stay
// there; the child's exit status is the number of failed checks.
int InChild(int (*body)()) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

int EnableDebugPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return 10;
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueA(nullptr, SE_DEBUG_NAME, &privileges.Privileges[0].Luid)) return 11;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    SetLastError(77);
    AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
    const int result = GetLastError() == 0 ? 0 : 12;
    CloseHandle(token);  // the program keeps its token; a test closes it
    return result;
}

TEST(DebugPrivilege, TheOwnTokenAndOnlyTheDebugPrivilege) {
    EXPECT_EQ(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)));
    EXPECT_EQ(EnableDebugPrivilege(), 0);
    LUID luid{};
    SetLastError(0);
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
    HANDLE token = nullptr;
    SetLastError(0);
    EXPECT_FALSE(OpenProcessToken(reinterpret_cast<HANDLE>(static_cast<intptr_t>(1234)), TOKEN_QUERY, &token));
    EXPECT_NE(GetLastError(), 0u);
}

TEST(DebugPrivilege, RaisesKillCapabilityWhenPermittedButNotEffective) {
    if (!KillCapability(false)) GTEST_SKIP() << "CAP_KILL is not permitted here";
    EXPECT_EQ(InChild([]() -> int {
                  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
                  __user_cap_data_struct data[2] = {};
                  syscall(SYS_capget, &header, data);
                  data[0].effective &= ~(1u << CAP_KILL);
                  if (syscall(SYS_capset, &header, data) != 0) return 20;
                  if (KillCapability(true)) return 21;
                  int failed = EnableDebugPrivilege();
                  if (failed) return failed;
                  return KillCapability(true) ? 0 : 22;
              }),
              0);
}

TEST(DebugPrivilege, SucceedsForAnAccountWithoutCapabilities) {
    if (geteuid() != 0) {
        EXPECT_EQ(EnableDebugPrivilege(), 0);
        return;
    }
    EXPECT_EQ(InChild([]() -> int {
                  if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) return 30;
                  if (KillCapability(false)) return 31;
                  return EnableDebugPrivilege();
              }),
              0);
}

}  // namespace
