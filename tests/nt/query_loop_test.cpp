// The query loop of HKEY_PERFORMANCE_DATA: the sizes it asks for, which
// replies it accepts, retries or gives up on, and the one close of the key.
#include <gtest/gtest.h>

#include "tests/nt/nt_fixture.h"
#include "tests/nt/perf_block_builder.h"

namespace {

const std::string kQuery =
    "RegQueryValueExA HKEY_PERFORMANCE_DATA 230 reserved=none type=set data=";

std::string Asked(const std::string& buffer, uint64_t size) {
    return kQuery + buffer + " size=" + std::to_string(size);
}

class QueryLoop : public NtTest {
protected:
    void SetUp() override {
        NtTest::SetUp();
        SetStandardCounters();
        data = StandardImage({{0x1A4, 3, 4096, 8192, 0, u"editor"}}).bytes;
    }
    std::vector<std::string> PerfCalls(const RunResult& run) const {
        std::vector<std::string> calls;
        for (const auto& c : run.calls)
            if (c.find("HKEY_PERFORMANCE_DATA") != std::string::npos) calls.push_back(c);
        return calls;
    }
    std::string data;
    const size_t counters = StandardCounterList().size();
};

TEST_F(QueryLoop, FirstQueryHasNoBufferAndKeepsTheCountersSize) {
    ScriptPerfData(data);
    const TaskListProbe probe = ProbeTaskList();
    ASSERT_TRUE(probe.finished);
    EXPECT_EQ(probe.result, 1);
    ASSERT_EQ(probe.tasks.size(), 1u);
    EXPECT_EQ(PerfCalls(probe.run),
              (std::vector<std::string>{Asked("none", counters),
                                        Asked("buffer", std::max(counters, data.size()) + 4096),
                                        "RegCloseKey HKEY_PERFORMANCE_DATA"}));
}

TEST_F(QueryLoop, EachMoreDataGrowsFromTheLargerOfTrackedAndReported) {
    auto& r = Fake().perfReplies;
    r.push_back({ERROR_MORE_DATA, "", 10});     // tracked 0, reported 10: 4106
    r.push_back({ERROR_MORE_DATA, "", 5000});   // reported above tracked: 9096
    r.push_back({ERROR_MORE_DATA, "", 100});    // reported below tracked: 13192
    r.push_back({ERROR_MORE_DATA, "", 13192});  // equal: 17288
    r.push_back({ERROR_SUCCESS, data, std::nullopt});
    const TaskListProbe probe = ProbeTaskList();
    ASSERT_TRUE(probe.finished);
    EXPECT_EQ(probe.result, 1);
    EXPECT_EQ(PerfCalls(probe.run),
              (std::vector<std::string>{Asked("none", counters), Asked("buffer", 4106),
                                        Asked("buffer", 9096), Asked("buffer", 13192),
                                        Asked("buffer", 17288),
                                        "RegCloseKey HKEY_PERFORMANCE_DATA"}));
}

TEST_F(QueryLoop, SuccessWithoutABufferAndASizeIsTakenAsTheSizeNeeded) {
    Fake().perfReplies.push_back({ERROR_SUCCESS, "", 700});
    Fake().perfReplies.push_back({ERROR_SUCCESS, data, std::nullopt});
    const TaskListProbe probe = ProbeTaskList();
    ASSERT_TRUE(probe.finished);
    EXPECT_EQ(probe.result, 1);
    EXPECT_EQ(PerfCalls(probe.run),
              (std::vector<std::string>{Asked("none", counters), Asked("buffer", 4796),
                                        "RegCloseKey HKEY_PERFORMANCE_DATA"}));
}

struct RefusedReply {
    const char* what;
    std::vector<FakePerfReply> replies;  // a good reply follows them, never asked for
    int queries;
};

class Refused : public QueryLoop, public ::testing::WithParamInterface<RefusedReply> {};

TEST_P(Refused, FailsAtOnceWithTheKeyClosedOnce) {
    const RefusedReply& c = GetParam();
    Fake().perfReplies = c.replies;
    Fake().perfReplies.push_back({ERROR_SUCCESS, data, std::nullopt});
    const TaskListProbe probe = ProbeTaskList(1);
    ASSERT_TRUE(probe.finished) << c.what;
    EXPECT_EQ(probe.result, 0) << c.what;
    ASSERT_EQ(probe.tasks.size(), 1u) << c.what;
    EXPECT_EQ(probe.tasks[0].pid, kSentinelPid);
    EXPECT_EQ(probe.run.CountCalls(kQuery), c.queries) << c.what;
    EXPECT_EQ(probe.run.CountCalls("RegCloseKey HKEY_PERFORMANCE_DATA"), 1) << c.what;
}

std::string Unsigned() {
    std::string d = StandardImage({}).bytes;
    d[0] = 'X';
    return d;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Refused,
    ::testing::Values(
        RefusedReply{"other result first", {{ERROR_ACCESS_DENIED, "", 0}}, 1},
        RefusedReply{"success of size 0 without a buffer", {{ERROR_SUCCESS, "", 0}}, 1},
        RefusedReply{"other result after growing", {{ERROR_MORE_DATA, "", 100}, {ERROR_FILE_NOT_FOUND, "", 0}}, 2},
        RefusedReply{"success of size 0", {{ERROR_MORE_DATA, "", 100}, {ERROR_SUCCESS, "", 0}}, 2},
        RefusedReply{"success without signature", {{ERROR_MORE_DATA, "", 100}, {ERROR_SUCCESS, Unsigned(), std::nullopt}}, 2},
        RefusedReply{"success shorter than the signature", {{ERROR_MORE_DATA, "", 100}, {ERROR_SUCCESS, std::string("P\0E\0R\0F", 7), std::nullopt}}, 2},
        RefusedReply{"a size beyond 32 bits", {{ERROR_MORE_DATA, "", 0xFFFFF000u}}, 1}));

TEST_F(QueryLoop, NoQueryWhenProcessIsNotATitle) {
    SetCounters(CounterList({{"784", "ID Process"}, {"231", "process"}}));
    ScriptPerfData(data);
    const TaskListProbe probe = ProbeTaskList(1);
    ASSERT_TRUE(probe.finished);
    EXPECT_EQ(probe.result, 0);
    EXPECT_EQ(probe.tasks.size(), 1u);
    EXPECT_TRUE(PerfCalls(probe.run).empty());
}

TEST_F(QueryLoop, NoQueryWhenTheCountersCannotBeRead) {
    Fake().machineKeys.clear();
    ScriptPerfData(data);
    const TaskListProbe probe = ProbeTaskList();
    ASSERT_TRUE(probe.finished);
    EXPECT_EQ(probe.result, 0);
    EXPECT_TRUE(PerfCalls(probe.run).empty());
}

TEST_F(QueryLoop, ValueNameIsTheIndexOfProcessInDecimal) {
    SetCounters(CounterList({{"0012", "Process"}}));
    Fake().perfReplies.push_back({ERROR_ACCESS_DENIED, "", 0});
    const TaskListProbe probe = ProbeTaskList();
    ASSERT_TRUE(probe.finished);
    EXPECT_EQ(probe.run.CountCalls("RegQueryValueExA HKEY_PERFORMANCE_DATA 12 "), 1);
}

TEST_F(QueryLoop, WalkStopsAtTheSizeTheReplyGives) {
    // The reply copies all its bytes but says fewer were returned: the
    // second instance lies beyond them, so the data is malformed.
    const std::string two = StandardImage({{1, 1, 0, 0, 0, u"a"}, {2, 1, 0, 0, 0, u"b"}}).bytes;
    Fake().perfReplies.push_back({ERROR_MORE_DATA, "", static_cast<DWORD>(two.size())});
    Fake().perfReplies.push_back({ERROR_SUCCESS, two, static_cast<DWORD>(two.size() - 8)});
    const TaskListProbe probe = ProbeTaskList();
    ASSERT_TRUE(probe.finished);
    EXPECT_EQ(probe.result, 0);
}

TEST_F(QueryLoop, WalkStopsAtTheBufferWhenTheReplyClaimsMore) {
    // 90 instances do not fit in the buffer of 4096 + 16 bytes; the reply
    // fills the buffer and claims its full size.
    std::vector<TestTask> tasks(90, TestTask{7, 1, 0, 0, 0, u"filler"});
    const std::string big = StandardImage(tasks).bytes;
    ASSERT_GT(big.size(), 4096u + 16u);
    Fake().perfReplies.push_back({ERROR_MORE_DATA, "", 16});
    Fake().perfReplies.push_back({ERROR_SUCCESS, big, std::nullopt});
    const TaskListProbe probe = ProbeTaskList();
    ASSERT_TRUE(probe.finished);
    EXPECT_EQ(probe.result, 0);
    EXPECT_EQ(probe.run.CountCalls("RegCloseKey HKEY_PERFORMANCE_DATA"), 1);
}

}  // namespace
