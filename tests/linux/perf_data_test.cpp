// The registry of the Linux seam on the real machine: the perflib counter
// list and the performance data of the Process object, read back with a
// strict walk and compared with /proc.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>

#include "linux_children.h"
#include "perf_block_walk.h"
#include "platform/linux/procfs.h"
#include "platform/win32.h"

namespace {

const char* const kPerflibKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009";

TEST(PerflibCounters, TheLanguageKeyOpensWhateverTheCaseAndOtherKeysDoNot) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPerflibKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\microsoft\\windows nt\\currentversion\\perflib\\009",
                            0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    for (const char* other : {"software\\microsoft\\windows nt\\currentversion\\perflib\\007",
                              "software\\microsoft\\windows nt\\currentversion\\perflib",
                              "software\\microsoft\\windows nt\\currentversion\\perflib\\009\\x", ""}) {
        SCOPED_TRACE(other);
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, other, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    }
    EXPECT_EQ(RegOpenKeyExA(HKEY_PERFORMANCE_DATA, kPerflibKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST(PerflibCounters, CountersIsAWellFormedListWithTheStandardIndices) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPerflibKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "Counters", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    ASSERT_GT(size, 2u);
    std::string small(size - 1, '\x7f');
    DWORD smallSize = size - 1;
    EXPECT_EQ(RegQueryValueExA(key, "Counters", nullptr, &type, reinterpret_cast<BYTE*>(small.data()), &smallSize),
              ERROR_MORE_DATA);
    EXPECT_EQ(smallSize, size);
    std::string data(size, '\x7f');
    DWORD got = size;
    ASSERT_EQ(RegQueryValueExA(key, "counters", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got),
              ERROR_SUCCESS);
    EXPECT_EQ(got, size);
    EXPECT_EQ(RegQueryValueExA(key, "Help", nullptr, &type, nullptr, &got), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    // Index, title, index, title ... and an empty string at the very end.
    ASSERT_EQ(data.substr(size - 2), std::string(2, '\0'));
    std::map<std::string, int> titles;
    size_t pos = 0;
    while (data[pos] != '\0') {
        size_t indexEnd = data.find('\0', pos);
        std::string index = data.substr(pos, indexEnd - pos);
        ASSERT_TRUE(std::all_of(index.begin(), index.end(), ::isdigit)) << index;
        size_t titleEnd = data.find('\0', indexEnd + 1);
        ASSERT_LT(titleEnd, size - 1);
        std::string title = data.substr(indexEnd + 1, titleEnd - indexEnd - 1);
        ASSERT_FALSE(title.empty());
        EXPECT_TRUE(titles.emplace(title, std::stoi(index)).second) << title << " twice";
        pos = titleEnd + 1;
    }
    EXPECT_EQ(pos, size - 1);
    const std::map<std::string, int> required = {{"Process", 230},      {"ID Process", 784},
                                                 {"Thread Count", 680}, {"Working Set", 180},
                                                 {"Private Bytes", 186}, {"% Processor Time", 6}};
    for (const auto& [title, index] : required) EXPECT_EQ(titles[title], index) << title;
}

struct PerfQuery {
    LONG result;
    DWORD size;
    std::vector<BYTE> data;
};

PerfQuery QueryProcess(DWORD capacity, bool withBuffer = true) {
    PerfQuery q;
    q.data.assign(capacity, 0xCC);
    q.size = capacity;
    DWORD type = 0;
    q.result = RegQueryValueExA(HKEY_PERFORMANCE_DATA, "230", nullptr, &type,
                                withBuffer ? q.data.data() : nullptr, &q.size);
    return q;
}

const PerfInstance* FindInstance(const std::vector<PerfInstance>& instances, DWORD pid) {
    for (const PerfInstance& i : instances)
        if (i.pid == pid) return &i;
    return nullptr;
}

TEST(PerformanceData, AShortReplyKeepsItsSnapshotForTheNextQueryAndCloseDropsIt) {
    pid_t before = StartSleeper("perfbefore");
    ASSERT_GT(before, 0);
    PerfQuery first = QueryProcess(0, false);
    ASSERT_EQ(first.result, ERROR_MORE_DATA);
    ASSERT_GT(first.size, sizeof(PERF_DATA_BLOCK));

    pid_t after = StartSleeper("perfafter");
    ASSERT_GT(after, 0);
    PerfQuery tooSmall = QueryProcess(first.size - 1);
    EXPECT_EQ(tooSmall.result, ERROR_MORE_DATA);
    EXPECT_EQ(tooSmall.size, first.size) << "the same snapshot is reported again";

    PerfQuery second = QueryProcess(first.size + 4096);
    ASSERT_EQ(second.result, ERROR_SUCCESS);
    ASSERT_EQ(second.size, first.size);
    std::vector<PerfInstance> instances;
    ASSERT_NO_FATAL_FAILURE(WalkPerfBlock(second.data.data(), second.size, instances));
    EXPECT_NE(FindInstance(instances, static_cast<DWORD>(before)), nullptr);
    EXPECT_EQ(FindInstance(instances, static_cast<DWORD>(after)), nullptr)
        << "the reply must be the snapshot taken at the first query";
    EXPECT_EQ(RegCloseKey(HKEY_PERFORMANCE_DATA), ERROR_SUCCESS);

    // A new listing sees the later child.
    PerfQuery third = QueryProcess(0, false);
    ASSERT_EQ(third.result, ERROR_MORE_DATA);
    PerfQuery fourth = QueryProcess(third.size + 4096);
    ASSERT_EQ(fourth.result, ERROR_SUCCESS);
    ASSERT_NO_FATAL_FAILURE(WalkPerfBlock(fourth.data.data(), fourth.size, instances));
    EXPECT_NE(FindInstance(instances, static_cast<DWORD>(after)), nullptr);

    // A kept snapshot is dropped by closing the key.
    ASSERT_EQ(QueryProcess(0, false).result, ERROR_MORE_DATA);
    KillAndReap(after);
    EXPECT_EQ(RegCloseKey(HKEY_PERFORMANCE_DATA), ERROR_SUCCESS);
    PerfQuery fifth = QueryProcess(1 << 22);
    ASSERT_EQ(fifth.result, ERROR_SUCCESS);
    ASSERT_NO_FATAL_FAILURE(WalkPerfBlock(fifth.data.data(), fifth.size, instances));
    EXPECT_EQ(FindInstance(instances, static_cast<DWORD>(after)), nullptr);
    KillAndReap(before);
}

TEST(PerformanceData, OtherValueNames) {
    DWORD size = 0;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(HKEY_PERFORMANCE_DATA, "Counters", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    // An object this system does not have: a block without objects.
    std::vector<BYTE> data(4096);
    size = static_cast<DWORD>(data.size());
    ASSERT_EQ(RegQueryValueExA(HKEY_PERFORMANCE_DATA, "238", nullptr, &type, data.data(), &size), ERROR_SUCCESS);
    ASSERT_GE(size, sizeof(PERF_DATA_BLOCK));
    auto header = PerfRead<PERF_DATA_BLOCK>(data.data(), 0);
    EXPECT_EQ(std::u16string(header.Signature, 4), u"PERF");
    EXPECT_EQ(header.NumObjectTypes, 0u);
    EXPECT_EQ(header.TotalByteLength, size);
    EXPECT_EQ(RegCloseKey(HKEY_PERFORMANCE_DATA), ERROR_SUCCESS);
}

uint64_t StatmField(pid_t pid, int field) {
    ProcStatm statm;
    EXPECT_TRUE(ReadProcessStatm(static_cast<DWORD>(pid), statm));
    return field == 1 ? statm.resident : statm.data;
}

TEST(PerformanceData, ChildrenAreListedWithTheirFiguresAndNames) {
    struct Child {
        std::string name;
        int extraThreads;
        std::u16string expected;
        pid_t pid = -1;
    } children[] = {
        {"perfthreads", 3, u"perfthreads"},
        {"a (b) c", 0, u"a (b) c"},
        {"paren)", 0, u"paren)"},
        {"bad\xff" "name", 0, u"bad\uFFFDname"},
        {"\xc3\xa9t\xc3\xa9", 1, u"\u00e9t\u00e9"},
    };
    for (Child& c : children) {
        c.pid = StartSleeper(c.name, c.extraThreads);
        ASSERT_GT(c.pid, 0) << c.name;
    }
    PerfQuery probe = QueryProcess(0, false);
    ASSERT_EQ(probe.result, ERROR_MORE_DATA);
    PerfQuery q = QueryProcess(probe.size);
    ASSERT_EQ(q.result, ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_PERFORMANCE_DATA), ERROR_SUCCESS);
    std::vector<PerfInstance> instances;
    ASSERT_NO_FATAL_FAILURE(WalkPerfBlock(q.data.data(), q.size, instances));

    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    for (Child& c : children) {
        SCOPED_TRACE(c.name);
        const PerfInstance* i = FindInstance(instances, static_cast<DWORD>(c.pid));
        ASSERT_NE(i, nullptr);
        EXPECT_EQ(i->name, c.expected);
        EXPECT_EQ(i->threads, static_cast<DWORD>(1 + c.extraThreads));
        // A sleeping child's memory does not move.
        EXPECT_EQ(i->workingSet, StatmField(c.pid, 1) * page);
        EXPECT_EQ(i->privateBytes, StatmField(c.pid, 5) * page);
        EXPECT_GT(i->workingSet, 0u);
        KillAndReap(c.pid);
    }

    // Our own process: PID, thread count and processor time as /proc has them.
    const PerfInstance* self = FindInstance(instances, static_cast<DWORD>(getpid()));
    ASSERT_NE(self, nullptr);
    ProcStat stat;
    ASSERT_TRUE(ReadProcessStat(static_cast<DWORD>(getpid()), stat));
    EXPECT_EQ(self->threads, stat.threads);
    uint64_t ticks = static_cast<uint64_t>(sysconf(_SC_CLK_TCK));
    uint64_t nowCpu = (stat.utimeTicks + stat.stimeTicks) * 10000000ULL / ticks;
    EXPECT_LE(self->cpu100ns, nowCpu);
    EXPECT_GE(self->cpu100ns + 10000000ULL, nowCpu) << "within a second of the time now";
}

TEST(PerformanceData, EveryProcessOfProcIsListedKernelThreadsIncluded) {
    std::vector<DWORD> before = ListProcessIds();
    PerfQuery q = QueryProcess(1 << 22);
    ASSERT_EQ(q.result, ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_PERFORMANCE_DATA), ERROR_SUCCESS);
    std::vector<DWORD> after = ListProcessIds();
    std::vector<PerfInstance> instances;
    ASSERT_NO_FATAL_FAILURE(WalkPerfBlock(q.data.data(), q.size, instances));
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    std::vector<DWORD> both;
    std::set_intersection(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(both));
    for (DWORD pid : both) EXPECT_NE(FindInstance(instances, pid), nullptr) << pid;
    for (const PerfInstance& i : instances) EXPECT_EQ(std::count_if(instances.begin(), instances.end(),
                                                                    [&](const PerfInstance& o) { return o.pid == i.pid; }),
                                                      1);
    ProcStat kthreadd;
    if (ReadProcessStat(2, kthreadd) && (kthreadd.flags & 0x00200000)) {
        const PerfInstance* k = FindInstance(instances, 2);
        ASSERT_NE(k, nullptr);
        EXPECT_EQ(k->name, u"kthreadd");
        EXPECT_EQ(k->workingSet, 0u);
    }
}

}  // namespace
