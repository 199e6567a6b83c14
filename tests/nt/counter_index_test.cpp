// The title index: which pairs the "Counters" list gives, how it is read
// from the registry, and lists that end too early.
#include <gtest/gtest.h>

#include <memory>

#include "nt/counter_index.h"
#include "tests/nt/nt_fixture.h"

namespace {

// Parses `raw` from a heap block of exactly its size, so that a read past
// the end is caught by the address sanitizer.
CounterTitleIndex Parse(const std::string& raw) {
    std::unique_ptr<char[]> exact(new char[raw.size()]);
    std::copy(raw.begin(), raw.end(), exact.get());
    CounterTitleIndex index;
    ParseCounterList(exact.get(), raw.size(), index);
    return index;
}

TEST(CounterIndex, FirstPairOfATitleWins) {
    const auto index = Parse(CounterList({{"230", "Process"}, {"999", "Process"}, {"6", "x"}}));
    EXPECT_EQ(LookupTitle(index, "Process"), 230);
    EXPECT_EQ(index.size(), 2u);
}

TEST(CounterIndex, OnlyExactKeysAreFound) {
    const auto index = Parse(CounterList({{"230", "Process"}, {"7", "Thread "}, {"12", "123"}}));
    EXPECT_FALSE(LookupTitle(index, "process"));
    EXPECT_FALSE(LookupTitle(index, "Process "));
    EXPECT_FALSE(LookupTitle(index, "Proces"));
    EXPECT_FALSE(LookupTitle(index, "Thread"));
    EXPECT_EQ(LookupTitle(index, "Thread "), 7);
    EXPECT_EQ(LookupTitle(index, "123"), 12);  // a title of digits is a title like any other
}

TEST(CounterIndex, KeysSortAsUnsignedBytesWithPrefixesFirst) {
    const auto index = Parse(CounterList({{"1", "\xC4x"}, {"2", "Ab"}, {"3", "A"}, {"4", "a"}}));
    std::vector<std::string> keys;
    for (const auto& [key, value] : index) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"A", "Ab", "a", "\xC4x"}));
}

struct IndexTextCase {
    std::string text;
    LONG expected;
};

class IndexText : public ::testing::TestWithParam<IndexTextCase> {};

TEST_P(IndexText, ConvertsLikeAtol) {
    const auto index = Parse(CounterList({{GetParam().text, "T"}}));
    EXPECT_EQ(LookupTitle(index, "T"), GetParam().expected) << "text: '" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(Texts, IndexText,
                         ::testing::Values(IndexTextCase{"784", 784}, IndexTextCase{"   784", 784},
                                           IndexTextCase{"\t\n 12", 12}, IndexTextCase{"+5", 5},
                                           IndexTextCase{"-5", -5}, IndexTextCase{"12abc", 12},
                                           IndexTextCase{"abc", 0}, IndexTextCase{" ", 0},
                                           IndexTextCase{"- 5", 0},
                                           IndexTextCase{"4294967297", 1}));

TEST(CounterIndex, EmptyFirstStringGivesAnEmptyIndex) {
    EXPECT_TRUE(Parse(std::string("\0" "230\0Process\0\0", 14)).empty());
}

struct CutListCase {
    const char* what;
    std::string raw;
    std::vector<std::string> titles;  // the keys that remain
};

class CutList : public ::testing::TestWithParam<CutListCase> {};

TEST_P(CutList, NeverReadsPastTheData) {
    const auto index = Parse(GetParam().raw);
    std::vector<std::string> keys;
    for (const auto& [key, value] : index) keys.push_back(key);
    EXPECT_EQ(keys, GetParam().titles) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, CutList,
    ::testing::Values(
        CutListCase{"zero bytes", std::string(), {}},
        CutListCase{"no final empty string", std::string("1\0A\0" "2\0B\0", 8), {"A", "B"}},
        CutListCase{"ends after an index text", std::string("1\0A\0" "2\0", 6), {"A"}},
        CutListCase{"title without terminator", std::string("1\0A\0" "2\0BB", 8), {"A"}},
        CutListCase{"index text without terminator", std::string("1\0A\0" "22", 6), {"A"}},
        CutListCase{"one byte, not NUL", std::string("7"), {}}));

class LoadIndex : public NtTest {};

const char kOpenLine[] =
    "RegOpenKeyExA HKEY_LOCAL_MACHINE software\\microsoft\\windows nt\\currentversion\\perflib\\009 0 "
    "0x20019";
const std::string kKey = "key:software\\microsoft\\windows nt\\currentversion\\perflib\\009";

TEST_F(LoadIndex, ReadsTheCountersValueSizedExactlyThenClosesTheKey) {
    const std::string list = CounterList({{"230", "Process"}, {"784", "ID Process"}});
    SetCounters(list);
    const RunResult run = RunIsolated([] {
        CounterTitleIndex index;
        DWORD size = 0;
        const int ok = LoadCounterTitleIndex(index, size);
        std::cout << ok << " " << size << " " << index.size() << " " << *LookupTitle(index, "ID Process");
    });
    EXPECT_EQ(run.out, "1 " + std::to_string(list.size()) + " 2 784");
    const std::string n = std::to_string(list.size());
    EXPECT_EQ(run.calls, (std::vector<std::string>{
                             kOpenLine,
                             "RegQueryValueExA " + kKey + " Counters reserved=none type=set data=none size=0",
                             "RegQueryValueExA " + kKey + " Counters reserved=none type=set data=buffer size=" + n,
                             "RegCloseKey " + kKey}));
}

struct LoadFailureCase {
    const char* what;
    bool keyExists;
    LONG openResult;
    std::vector<LONG> results;
    int queries;
    int closes;
};

class LoadFailure : public LoadIndex, public ::testing::WithParamInterface<LoadFailureCase> {};

TEST_P(LoadFailure, FailsWithAnEmptyIndexAndTheKeyClosedOnce) {
    const LoadFailureCase& c = GetParam();
    if (c.keyExists) {
        SetCounters(CounterList({{"230", "Process"}}));
        Fake().machineKeys[kFakePerflibKey].openResult = c.openResult;
        Fake().machineKeys[kFakePerflibKey].values["Counters"].results = c.results;
    }
    const RunResult run = RunIsolated([] {
        CounterTitleIndex index;
        DWORD size = 0;
        std::cout << LoadCounterTitleIndex(index, size) << " " << index.size();
    });
    EXPECT_EQ(run.out, "0 0") << c.what;
    EXPECT_EQ(run.CountCalls("RegOpenKeyExA"), 1) << c.what;
    EXPECT_EQ(run.CountCalls("RegQueryValueExA"), c.queries) << c.what;
    EXPECT_EQ(run.CountCalls("RegCloseKey"), c.closes) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Causes, LoadFailure,
    ::testing::Values(LoadFailureCase{"no perflib key", false, ERROR_SUCCESS, {}, 0, 0},
                      LoadFailureCase{"key refused", true, ERROR_ACCESS_DENIED, {}, 0, 0},
                      LoadFailureCase{"size query fails", true, ERROR_SUCCESS, {ERROR_ACCESS_DENIED}, 1, 1},
                      LoadFailureCase{"data read fails", true, ERROR_SUCCESS,
                                      {ERROR_SUCCESS, ERROR_ACCESS_DENIED}, 2, 1}));

TEST_F(LoadIndex, MissingCountersValueFailsAfterClosingTheKey) {
    Fake().machineKeys[kFakePerflibKey];  // the key exists, the value does not
    const RunResult run = RunIsolated([] {
        CounterTitleIndex index;
        DWORD size = 0;
        std::cout << LoadCounterTitleIndex(index, size);
    });
    EXPECT_EQ(run.out, "0");
    EXPECT_EQ(run.CountCalls("RegCloseKey " + kKey), 1);
}

}  // namespace
