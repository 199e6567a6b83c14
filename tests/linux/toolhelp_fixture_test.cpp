// Process and module snapshots over a fixture proc tree: the cases a live
// machine rarely shows on demand (an unreadable exe link, a zombie, a
// process that vanishes between the reads, a cut stat line, a long path).
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/linux/procfs.h"
#include "platform/linux/toolhelp_fields.h"
#include "platform/win32.h"
#include "toolhelp_children.h"

namespace {

struct StatFields {
    const char* comm = "prog";
    unsigned ppid = 1;
    unsigned flags = 0x00400100;
    int nice = 0;
    unsigned threads = 1;
    unsigned long long start = 5000;
    unsigned policy = 0;
};

std::string StatLine(unsigned pid, const StatFields& f) {
    char line[1024];
    std::snprintf(line, sizeof line,
                  "%u (%s) S %u %u %u 0 -1 %u 0 0 0 0 3 4 0 0 20 %d %u 0 %llu 1000 10 "
                  "18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 %u 0 0 0 0 0 0 0 0 0 0\n",
                  pid, f.comm, f.ppid, pid, pid, f.flags, f.nice, f.threads, f.start, f.policy);
    return line;
}

class ToolhelpFixtureTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedRoot_ = ProcRoot();
        root_ = th95::MakeTempDir();
        ASSERT_FALSE(root_.empty());
        // A real file for exe links to point at, so that stat follows them.
        program_ = root_ + "/bin_prog";
        Write(program_, "#!/bin/sh\n");
        struct stat file;
        ASSERT_EQ(stat(program_.c_str(), &file), 0);
        device_ = file.st_dev;
        inode_ = file.st_ino;
    }
    void TearDown() override {
        SetProcRoot(savedRoot_);
        th95::RemoveTree(root_);
    }

    void Write(const std::string& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }
    std::string Dir(unsigned pid) {
        std::string dir = root_ + "/proc/" + std::to_string(pid);
        std::string cmd = "mkdir -p '" + dir + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return dir;
    }
    void AddProcess(unsigned pid, const StatFields& f, const char* exeTarget, const std::string* cmdline) {
        std::string dir = Dir(pid);
        Write(dir + "/stat", StatLine(pid, f));
        if (exeTarget != nullptr) {
            EXPECT_EQ(symlink(exeTarget, (dir + "/exe").c_str()), 0);
        }
        if (cmdline != nullptr) Write(dir + "/cmdline", *cmdline);
    }
    std::string MapsOfProgram() {
        char line[512];
        std::snprintf(line, sizeof line, "55d0a000-55d0b000 r--p 00000000 %x:%x %llu %s\n"
                      "55d0b000-55d0f000 r-xp 00001000 %x:%x %llu %s\n",
                      major(device_), minor(device_), static_cast<unsigned long long>(inode_),
                      program_.c_str(), major(device_), minor(device_),
                      static_cast<unsigned long long>(inode_), program_.c_str());
        return line;
    }
    std::vector<PROCESSENTRY32> Snapshot() {
        SetProcRoot(root_ + "/proc");
        std::vector<PROCESSENTRY32> entries;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
        if (snapshot == INVALID_HANDLE_VALUE) return entries;
        PROCESSENTRY32 entry;
        std::memset(&entry, 0, sizeof entry);
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
            entries.push_back(entry);
        CloseHandle(snapshot);
        return entries;
    }
    const PROCESSENTRY32* Find(const std::vector<PROCESSENTRY32>& entries, DWORD pid) {
        for (const PROCESSENTRY32& e : entries)
            if (e.th32ProcessID == pid) return &e;
        return nullptr;
    }

    std::string savedRoot_, root_, program_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

TEST_F(ToolhelpFixtureTest, NamesComeFromTheExeLinkCommandLineOrCommand) {
    const std::string daemonLine("/usr/sbin/daemond\0--foreground\0", 31);
    const std::string rewritten("sshd: admin@pts/0", 17);  // no NUL at all
    const std::string empty;
    const std::string emptyFirst("\0second\0", 8);
    StatFields plain;
    AddProcess(100, plain, program_.c_str(), &daemonLine);
    AddProcess(101, plain, nullptr, &daemonLine);                   // exe link unreadable
    AddProcess(102, plain, nullptr, &rewritten);
    StatFields zombie;
    zombie.comm = "defunct one";
    AddProcess(103, zombie, nullptr, &empty);                       // a zombie: empty command line
    AddProcess(104, plain, nullptr, &emptyFirst);
    StatFields kernel;
    kernel.comm = "kworker/0:1-events";
    kernel.flags = 0x00208040;  // PF_KTHREAD
    kernel.ppid = 2;
    AddProcess(105, kernel, nullptr, nullptr);
    AddProcess(106, plain, nullptr, nullptr);                       // gone before its command line
    Dir(107);                                                       // gone before its stat
    std::string dir = Dir(108);
    Write(dir + "/stat", StatLine(108, plain).substr(0, 40));       // stat line cut short
    StatFields odd;
    odd.comm = "a) (b\nc";
    AddProcess(109, odd, program_.c_str(), nullptr);
    Dir(0);  // not a process of its own
    Write(root_ + "/proc/self", "x");

    std::vector<PROCESSENTRY32> entries = Snapshot();
    struct Expect {
        DWORD pid;
        const char* name;  // null: left out
    };
    const Expect expected[] = {
        {100, program_.c_str()},    {101, "/usr/sbin/daemond"}, {102, "sshd: admin@pts/0"},
        {103, "[defunct one]"},     {104, "[prog]"},            {105, "[kworker/0:1-events]"},
        {106, nullptr},             {107, nullptr},             {108, nullptr},
        {109, program_.c_str()},
    };
    for (const Expect& e : expected) {
        const PROCESSENTRY32* entry = Find(entries, e.pid);
        if (e.name == nullptr) {
            EXPECT_EQ(entry, nullptr) << e.pid;
            continue;
        }
        ASSERT_NE(entry, nullptr) << e.pid;
        EXPECT_STREQ(entry->szExeFile, e.name) << e.pid;
    }
    ASSERT_NE(Find(entries, 100), nullptr);
    EXPECT_EQ(Find(entries, 100)->th32ModuleID, ModuleIdFor(device_, inode_));
    EXPECT_EQ(Find(entries, 101)->th32ModuleID, 0u);
    EXPECT_EQ(Find(entries, 105)->th32ParentProcessID, 2u);
    EXPECT_EQ(entries.size(), 7u);
}

TEST_F(ToolhelpFixtureTest, PrioritiesAndThreadsFromStat) {
    struct Case {
        unsigned pid;
        int nice;
        unsigned policy;
        unsigned threads;
        LONG priority;
    };
    const Case cases[] = {{200, 0, 0, 1, 8}, {201, 5, 0, 7, 6}, {202, 19, 0, 2, 4},
                          {203, -5, 0, 3, 10}, {204, -20, 0, 4, 13}, {205, 0, 1, 5, 24},
                          {206, 10, 2, 6, 24}};
    for (const Case& c : cases) {
        StatFields f;
        f.nice = c.nice;
        f.policy = c.policy;
        f.threads = c.threads;
        f.ppid = 77;
        AddProcess(c.pid, f, program_.c_str(), nullptr);
    }
    std::vector<PROCESSENTRY32> entries = Snapshot();
    for (const Case& c : cases) {
        const PROCESSENTRY32* entry = Find(entries, c.pid);
        ASSERT_NE(entry, nullptr) << c.pid;
        EXPECT_EQ(entry->pcPriClassBase, c.priority) << c.pid;
        EXPECT_EQ(entry->cntThreads, c.threads) << c.pid;
        EXPECT_EQ(entry->th32ParentProcessID, 77u) << c.pid;
    }
}

TEST_F(ToolhelpFixtureTest, LongPathsAreCutToTheRecord) {
    const std::string longTarget = "/" + std::string(300, 'p');
    const std::string longLine = std::string(400, 'q') + std::string("\0x", 2);
    AddProcess(300, StatFields{}, longTarget.c_str(), nullptr);
    AddProcess(301, StatFields{}, nullptr, &longLine);
    std::vector<PROCESSENTRY32> entries = Snapshot();
    ASSERT_NE(Find(entries, 300), nullptr);
    ASSERT_NE(Find(entries, 301), nullptr);
    EXPECT_EQ(std::string(Find(entries, 300)->szExeFile), longTarget.substr(0, MAX_PATH - 1));
    EXPECT_EQ(std::string(Find(entries, 301)->szExeFile), std::string(MAX_PATH - 1, 'q'));
}

TEST_F(ToolhelpFixtureTest, ModulesFromMapsWithTheExecutableFirst) {
    std::string dir = Dir(400);
    Write(dir + "/stat", StatLine(400, StatFields{}));
    ASSERT_EQ(symlink(program_.c_str(), (dir + "/exe").c_str()), 0);
    Write(dir + "/maps",
          "7f0000000000-7f0000001000 r--p 00000000 08:02 900 /usr/lib/libfirst.so.1\n"
          "7f0000001000-7f0000003000 r-xp 00001000 08:02 900 /usr/lib/libfirst.so.1\n"
          "7f0000003000-7f0000004000 rw-p 00000000 00:00 0 \n"
          "7f0000004000-7f0000005000 rw-p 00000000 00:00 0          [heap]\n"
          "not a maps line at all\n"
          "7f0000005000-7f0000006000 r--p 00000000 08:02 901 /usr/lib/libgone.so (deleted)\n"
          "7f0000006000-7f0000007000 r--p 00000000 08:02 0 /dev/shm/no-inode\n"
          "7f0000007000-7f0000008000 r--p 00000000 08:03 900 /other/disk/same-inode\n" +
              MapsOfProgram() +
              "7ffd00000000-7ffd00002000 rw-p 00000000 00:00 0  [stack]");  // no final line feed
    SetProcRoot(root_ + "/proc");
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 400);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    std::vector<MODULEENTRY32> modules;
    MODULEENTRY32 entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry))
        modules.push_back(entry);
    CloseHandle(snapshot);

    ASSERT_EQ(modules.size(), 4u);
    EXPECT_STREQ(modules[0].szExePath, program_.c_str());
    EXPECT_STREQ(modules[0].szModule, "bin_prog");
    EXPECT_EQ(modules[0].th32ModuleID, ModuleIdFor(device_, inode_));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(modules[0].modBaseAddr), 0x55d0a000u);
    EXPECT_EQ(modules[0].modBaseSize, 0x5000u);
    EXPECT_STREQ(modules[1].szExePath, "/usr/lib/libfirst.so.1");
    EXPECT_STREQ(modules[1].szModule, "libfirst.so.1");
    EXPECT_EQ(modules[1].th32ModuleID, ModuleIdFor(makedev(8, 2), 900));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(modules[1].modBaseAddr), 0x7f0000000000u);
    EXPECT_EQ(modules[1].modBaseSize, 0x3000u);
    EXPECT_STREQ(modules[2].szExePath, "/usr/lib/libgone.so");
    EXPECT_STREQ(modules[3].szExePath, "/other/disk/same-inode");
    EXPECT_NE(modules[3].th32ModuleID, modules[1].th32ModuleID);
    for (const MODULEENTRY32& m : modules) EXPECT_EQ(m.th32ProcessID, 400u);
}

TEST_F(ToolhelpFixtureTest, MissingMapsGivesNoModuleSnapshot) {
    AddProcess(500, StatFields{}, program_.c_str(), nullptr);  // no maps file
    SetProcRoot(root_ + "/proc");
    SetLastError(0);
    EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 500), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 501), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ToolhelpFixtureTest, UnreadableProcRootGivesNoProcessSnapshot) {
    SetProcRoot(root_ + "/no-such-proc");
    SetLastError(0);
    EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0), INVALID_HANDLE_VALUE);
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

}  // namespace
