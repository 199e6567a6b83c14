// Process and module snapshots of the Linux seam on the real machine, with
// helper processes the tests start themselves.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/linux/procfs.h"
#include "platform/win32.h"
#include "toolhelp_children.h"

namespace {

std::string RealPath(const char* path) {
    char resolved[PATH_MAX];
    return realpath(path, resolved) != nullptr ? std::string(resolved) : std::string(path);
}

PROCESSENTRY32 FreshProcessEntry() {
    PROCESSENTRY32 entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    return entry;
}

MODULEENTRY32 FreshModuleEntry() {
    MODULEENTRY32 entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    return entry;
}

std::vector<PROCESSENTRY32> WalkProcesses(HANDLE snapshot) {
    std::vector<PROCESSENTRY32> entries;
    PROCESSENTRY32 entry = FreshProcessEntry();
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        entries.push_back(entry);
    return entries;
}

std::vector<MODULEENTRY32> WalkModules(HANDLE snapshot) {
    std::vector<MODULEENTRY32> entries;
    MODULEENTRY32 entry = FreshModuleEntry();
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry))
        entries.push_back(entry);
    return entries;
}

const PROCESSENTRY32* FindPid(const std::vector<PROCESSENTRY32>& entries, DWORD pid) {
    for (const PROCESSENTRY32& e : entries)
        if (e.th32ProcessID == pid) return &e;
    return nullptr;
}

class ToolhelpSnapshotTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (th95::Child& child : children_) th95::StopChild(child);
        th95::RemoveTree(tempDir_);
    }

    // Starts a helper; fails the test when it does not come up.
    pid_t Start(const std::vector<std::string>& argv, int niceIncrement = 0) {
        std::string line;
        th95::Child child = th95::StartChild(argv, niceIncrement, &line);
        EXPECT_GT(child.pid, 0) << argv[0];
        children_.push_back(child);
        return child.pid;
    }

    std::vector<th95::Child> children_;
    std::string tempDir_;
};

TEST_F(ToolhelpSnapshotTest, ChildEntryCarriesItsFigures) {
    pid_t pid = Start({THREAD_SLEEPER_EXE, "3"});
    ASSERT_GT(pid, 0);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    std::vector<PROCESSENTRY32> entries = WalkProcesses(snapshot);
    EXPECT_TRUE(CloseHandle(snapshot));

    const PROCESSENTRY32* child = FindPid(entries, static_cast<DWORD>(pid));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->th32ParentProcessID, static_cast<DWORD>(getpid()));
    EXPECT_EQ(child->cntThreads, 3u);
    EXPECT_STREQ(child->szExeFile, RealPath(THREAD_SLEEPER_EXE).c_str());
    EXPECT_NE(child->th32ModuleID, 0u);
    EXPECT_EQ(child->cntUsage, 0u);
    EXPECT_EQ(child->dwFlags, 0u);
    if (getpriority(PRIO_PROCESS, 0) == 0) {
        EXPECT_EQ(child->pcPriClassBase, 8);
    }

    // Our own entry is there too, and every PID is listed once.
    EXPECT_NE(FindPid(entries, static_cast<DWORD>(getpid())), nullptr);
    std::set<DWORD> pids;
    for (const PROCESSENTRY32& e : entries) EXPECT_TRUE(pids.insert(e.th32ProcessID).second) << e.th32ProcessID;

    // The module snapshot lists the executable first, under the same identifier.
    HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, static_cast<DWORD>(pid));
    ASSERT_NE(modules, INVALID_HANDLE_VALUE);
    std::vector<MODULEENTRY32> list = WalkModules(modules);
    EXPECT_TRUE(CloseHandle(modules));
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].th32ModuleID, child->th32ModuleID);
    EXPECT_STREQ(list[0].szExePath, child->szExeFile);
    EXPECT_STREQ(list[0].szModule, "thread_sleeper");
    EXPECT_NE(list[0].modBaseAddr, nullptr);
    EXPECT_GT(list[0].modBaseSize, 0u);
}

TEST_F(ToolhelpSnapshotTest, NicedChildHasBasePriorityOfItsNiceValue) {
    if (getpriority(PRIO_PROCESS, 0) != 0) GTEST_SKIP() << "the tests do not run at nice 0";
    pid_t pid = Start({THREAD_SLEEPER_EXE}, 5);
    ASSERT_GT(pid, 0);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    std::vector<PROCESSENTRY32> entries = WalkProcesses(snapshot);
    CloseHandle(snapshot);
    const PROCESSENTRY32* child = FindPid(entries, static_cast<DWORD>(pid));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->pcPriClassBase, 6);
    EXPECT_EQ(child->cntThreads, 1u);
}

TEST_F(ToolhelpSnapshotTest, SnapshotIsAnImageTakenAtCreation) {
    th95::Child early;
    std::string line;
    early = th95::StartChild({THREAD_SLEEPER_EXE}, 0, &line);
    ASSERT_GT(early.pid, 0);
    const DWORD earlyPid = static_cast<DWORD>(early.pid);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    th95::StopChild(early);  // ended and reaped after the image was taken
    pid_t late = Start({THREAD_SLEEPER_EXE});
    ASSERT_GT(late, 0);

    std::vector<PROCESSENTRY32> entries = WalkProcesses(snapshot);
    CloseHandle(snapshot);
    EXPECT_NE(FindPid(entries, earlyPid), nullptr);
    EXPECT_EQ(FindPid(entries, static_cast<DWORD>(late)), nullptr);
}

TEST_F(ToolhelpSnapshotTest, UnlinkedExecutableKeepsItsPath) {
    tempDir_ = th95::MakeTempDir();
    ASSERT_FALSE(tempDir_.empty());
    std::string gone = th95::CopyExecutable(THREAD_SLEEPER_EXE, tempDir_, "gone_sleeper");
    std::string marked = th95::CopyExecutable(THREAD_SLEEPER_EXE, tempDir_, "odd (deleted)");
    ASSERT_FALSE(gone.empty());
    ASSERT_FALSE(marked.empty());
    pid_t gonePid = Start({gone});
    pid_t markedPid = Start({marked});
    ASSERT_GT(gonePid, 0);
    ASSERT_GT(markedPid, 0);
    ASSERT_EQ(unlink(gone.c_str()), 0);

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    std::vector<PROCESSENTRY32> entries = WalkProcesses(snapshot);
    CloseHandle(snapshot);
    const PROCESSENTRY32* goneEntry = FindPid(entries, static_cast<DWORD>(gonePid));
    const PROCESSENTRY32* markedEntry = FindPid(entries, static_cast<DWORD>(markedPid));
    ASSERT_NE(goneEntry, nullptr);
    ASSERT_NE(markedEntry, nullptr);
    const std::string dir = RealPath(tempDir_.c_str());
    EXPECT_EQ(std::string(goneEntry->szExeFile), dir + "/gone_sleeper");
    // A name that really ends in the mark keeps it.
    EXPECT_EQ(std::string(markedEntry->szExeFile), dir + "/odd (deleted)");

    for (const PROCESSENTRY32* e : {goneEntry, markedEntry}) {
        HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, e->th32ProcessID);
        ASSERT_NE(modules, INVALID_HANDLE_VALUE);
        std::vector<MODULEENTRY32> list = WalkModules(modules);
        CloseHandle(modules);
        ASSERT_FALSE(list.empty());
        EXPECT_EQ(list[0].th32ModuleID, e->th32ModuleID);
        EXPECT_STREQ(list[0].szExePath, e->szExeFile);
    }
}

TEST(ToolhelpWalk, RecordSizeEndAndRestart) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);

    // A record smaller than the platform's is refused and the walk stays put.
    PROCESSENTRY32 entry = FreshProcessEntry();
    for (DWORD size : {DWORD{0}, DWORD{296}, static_cast<DWORD>(sizeof entry - 1)}) {
        entry.dwSize = size;
        SetLastError(0);
        EXPECT_FALSE(Process32First(snapshot, &entry)) << size;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH)) << size;
        EXPECT_FALSE(Process32Next(snapshot, &entry)) << size;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH)) << size;
    }
    entry.dwSize = sizeof entry;
    ASSERT_TRUE(Process32First(snapshot, &entry));
    EXPECT_EQ(entry.dwSize, sizeof entry);
    const DWORD first = entry.th32ProcessID;
    DWORD count = 1;
    while (Process32Next(snapshot, &entry)) ++count;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_GT(count, 1u);
    // At the end it stays at the end.
    EXPECT_FALSE(Process32Next(snapshot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));

    // First starts again from the first process, and the image is the same.
    ASSERT_TRUE(Process32First(snapshot, &entry));
    EXPECT_EQ(entry.th32ProcessID, first);
    DWORD again = 1;
    while (Process32Next(snapshot, &entry)) ++again;
    EXPECT_EQ(again, count);

    // A larger record (a later version of it) is accepted.
    struct {
        PROCESSENTRY32 entry;
        char more[16];
    } larger;
    std::memset(&larger, 0x5A, sizeof larger);
    larger.entry.dwSize = sizeof larger;
    ASSERT_TRUE(Process32First(snapshot, &larger.entry));
    EXPECT_EQ(larger.entry.th32ProcessID, first);
    EXPECT_EQ(larger.more[0], 0x5A);  // nothing written past the record

    // A process snapshot has no modules.
    MODULEENTRY32 module = FreshModuleEntry();
    EXPECT_FALSE(Module32First(snapshot, &module));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(CloseHandle(snapshot));
}

TEST(ToolhelpWalk, InvalidHandlesAreRefused) {
    int notASnapshot[8] = {};
    HANDLE bad[] = {nullptr, INVALID_HANDLE_VALUE, static_cast<HANDLE>(notASnapshot)};
    for (HANDLE handle : bad) {
        PROCESSENTRY32 entry = FreshProcessEntry();
        MODULEENTRY32 module = FreshModuleEntry();
        SetLastError(0);
        EXPECT_FALSE(Process32First(handle, &entry));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(Process32Next(handle, &entry));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(Module32First(handle, &module));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(Module32Next(handle, &module));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    // A process handle is a seam handle of another kind.
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(getpid()));
    if (process != nullptr) {
        PROCESSENTRY32 entry = FreshProcessEntry();
        SetLastError(0);
        EXPECT_FALSE(Process32First(process, &entry));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        CloseHandle(process);
    }
    SetLastError(0);
    EXPECT_EQ(CreateToolhelp32Snapshot(0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(ToolhelpModules, OwnProcessListsDistinctFilesExecutableFirst) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);  // 0: this process
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    MODULEENTRY32 entry = FreshModuleEntry();
    entry.dwSize = 548;
    SetLastError(0);
    EXPECT_FALSE(Module32First(snapshot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH));

    std::vector<MODULEENTRY32> list = WalkModules(snapshot);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    ASSERT_GE(list.size(), 2u);
    EXPECT_STREQ(list[0].szExePath, RealPath("/proc/self/exe").c_str());
    std::set<std::string> paths;
    bool libc = false;
    for (const MODULEENTRY32& m : list) {
        EXPECT_EQ(m.th32ProcessID, static_cast<DWORD>(getpid()));
        EXPECT_EQ(m.szExePath[0], '/') << m.szExePath;
        EXPECT_NE(m.th32ModuleID, 0u) << m.szExePath;
        EXPECT_TRUE(paths.insert(m.szExePath).second) << "listed twice: " << m.szExePath;
        const char* slash = std::strrchr(m.szExePath, '/');
        EXPECT_STREQ(m.szModule, slash + 1);
        if (std::strncmp(m.szModule, "libc.so", 7) == 0 || std::strncmp(m.szModule, "libc-", 5) == 0)
            libc = true;
    }
    EXPECT_TRUE(libc);

    // First starts the module walk again.
    entry.dwSize = sizeof entry;
    ASSERT_TRUE(Module32First(snapshot, &entry));
    EXPECT_STREQ(entry.szExePath, list[0].szExePath);
    EXPECT_TRUE(CloseHandle(snapshot));
}

TEST(ToolhelpModules, ProcessThatIsGoneHasNoModuleSnapshot) {
    pid_t pid = fork();
    if (pid == 0) _exit(0);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(waitpid(pid, nullptr, 0), pid);
    SetLastError(0);
    EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, static_cast<DWORD>(pid)), INVALID_HANDLE_VALUE);
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(ToolhelpModules, KernelThreadHasAnEmptyModuleList) {
    // kthreadd is PID 2 where the tests see the machine's own PID namespace.
    std::string stat;
    if (!ReadProcFile(ProcRoot() + "/2/stat", stat) || stat.find("(kthreadd)") == std::string::npos)
        GTEST_SKIP() << "no kernel thread daemon in view";
    HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(processes, INVALID_HANDLE_VALUE);
    std::vector<PROCESSENTRY32> entries = WalkProcesses(processes);
    CloseHandle(processes);
    const PROCESSENTRY32* kthreadd = FindPid(entries, 2);
    ASSERT_NE(kthreadd, nullptr);
    EXPECT_STREQ(kthreadd->szExeFile, "[kthreadd]");
    EXPECT_EQ(kthreadd->th32ParentProcessID, 0u);
    EXPECT_EQ(kthreadd->th32ModuleID, 0u);

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 2);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    MODULEENTRY32 entry = FreshModuleEntry();
    SetLastError(0);
    EXPECT_FALSE(Module32First(snapshot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    CloseHandle(snapshot);
}

}  // namespace
