// One fixture tree in place of /proc, read through both of the seam's
// process views: the performance data that RegQueryValueExA returns for
// HKEY_PERFORMANCE_DATA, and the Toolhelp32 process snapshot. The tree holds
// the processes that /proc rarely shows on demand.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "perf_block_walk.h"
#include "platform/linux/procfs.h"
#include "platform/win32.h"

namespace {

std::string Stat(DWORD pid, const std::string& comm, uint32_t flags, DWORD ppid, uint64_t start) {
    return std::to_string(pid) + " (" + comm + ") S " + std::to_string(ppid) + " 7 7 0 -1 " +
           std::to_string(flags) + " 10 0 0 0 250 130 0 0 20 0 1 0 " + std::to_string(start) +
           " 1000 50 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 3 0 0 0 0 0 0 0 0 0 0 0 0\n";
}

class ProcViews : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/procviewsXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        SetProcRoot(root_);
    }
    void TearDown() override {
        SetProcRoot("/proc");
        std::filesystem::remove_all(root_);
    }
    void Put(const std::string& relative, const std::string& text) {
        std::filesystem::path path = std::filesystem::path(root_) / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string root_;
};

TEST_F(ProcViews, PerformanceDataAndToolhelpListTheSameProcessesOfAnOddTree) {
    const std::string statm = "10 1 1 1 0 1 0\n";
    // An ordinary process whose exe link points at a real file.
    Put("100/stat", Stat(100, "plain", 0, 1, 500));
    Put("100/statm", statm);
    Put("100/cmdline", std::string("plain\0", 6));
    Put("bin/plain", "program");
    const std::string program = root_ + "/bin/plain";
    std::filesystem::create_symlink(program, std::filesystem::path(root_) / "100/exe");
    // A command name with blanks, parentheses and line feeds, and an exe
    // link that cannot be read (not a link at all).
    const std::string odd = "a b) (c\nd)\n";
    Put("101/stat", Stat(101, odd, 0, 1, 510));
    Put("101/statm", statm);
    Put("101/cmdline", std::string("/opt/odd tool\0--flag\0", 21));
    std::filesystem::create_directories(std::filesystem::path(root_) / "101/exe");
    // A kernel thread: no exe link, an empty command line.
    Put("102/stat", Stat(102, "kworker/0:1-events", 0x00208040, 2, 20));
    Put("102/statm", "0 0 0 0 0 0 0\n");
    Put("102/cmdline", "");
    // Vanished between the directory scan and the reads: no stat.
    Put("103/statm", statm);
    // A stat line cut short after the state.
    Put("104/stat", "104 (cut) S 1 7 7 0");
    Put("104/statm", statm);
    Put("104/cmdline", std::string("cut\0", 4));

    DWORD size = 0;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(HKEY_PERFORMANCE_DATA, "230", nullptr, &type, nullptr, &size), ERROR_MORE_DATA);
    std::vector<BYTE> buffer(size);
    ASSERT_EQ(RegQueryValueExA(HKEY_PERFORMANCE_DATA, "230", nullptr, &type, buffer.data(), &size), ERROR_SUCCESS);
    RegCloseKey(HKEY_PERFORMANCE_DATA);
    std::vector<PerfInstance> instances;
    ASSERT_NO_FATAL_FAILURE(WalkPerfBlock(buffer.data(), size, instances));
    std::map<DWORD, std::u16string> perfNames;
    for (const PerfInstance& i : instances) perfNames[i.pid] = i.name;
    EXPECT_EQ(perfNames, (std::map<DWORD, std::u16string>{
                             {100, u"plain"}, {101, u"a b) (c\nd)\n"}, {102, u"kworker/0:1-events"}}));

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    std::map<DWORD, std::string> exeNames;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        exeNames[entry.th32ProcessID] = entry.szExeFile;
    CloseHandle(snapshot);
    ASSERT_EQ(exeNames.size(), 3u);
    EXPECT_EQ(exeNames[100], program) << "the target of the exe link";
    EXPECT_EQ(exeNames[101], "/opt/odd tool") << "the first word of the command line";
    EXPECT_EQ(exeNames[102], "[kworker/0:1-events]");

    // Both views noted the same processes for the guard of OpenProcess.
    EXPECT_TRUE(IsSnapshotProcess(101, 510));
    EXPECT_FALSE(IsSnapshotProcess(104, 0));
}

}  // namespace
