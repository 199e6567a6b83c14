// Shared set-up of the NT back-end tests: the "Counters" list, scripted
// performance-data replies, and a probe that runs GetTaskList in a child
// run and reads back the table it left.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/fake/fake_machine.h"
#include "tests/fake/run_isolated.h"

class NtTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFake(); }
};

// A REG_MULTI_SZ list of (index text, title) pairs with its final empty string.
std::string CounterList(const std::vector<std::pair<std::string, std::string>>& pairs);

// Stores raw bytes as the perflib "Counters" value.
void SetCounters(const std::string& raw);

// The platform's usual list: Process 230 and its five counters among a few
// neighbours.
std::string StandardCounterList();
void SetStandardCounters();

// Two replies: ERROR_MORE_DATA with the size `data` needs, then the data.
void ScriptPerfData(const std::string& data);

// The standard counters and a reply holding `data`: a machine ready to run.
void SetMachine(const std::string& data);

struct ProbedTask {
    DWORD pid = 0;
    DWORD threads = 0;
    uint64_t workingSet = 0;
    uint64_t privateBytes = 0;
    double cpu = 0;
    DWORD marked = 0;
    std::string name;
    std::string title;
};

struct TaskListProbe {
    RunResult run;
    bool finished = false;  // the child ran to its end without crashing
    int result = -1;
    std::vector<ProbedTask> tasks;
};

// Sentinel entries already in the table before GetTaskList runs have PIDs
// kSentinelPid, kSentinelPid + 1, ...
constexpr DWORD kSentinelPid = 0xF0000000u;

// Runs GetTaskList on a table that already holds `sentinels` entries; with
// `titles`, AttachWindowTitles runs after it.
TaskListProbe ProbeTaskList(size_t sentinels = 0, bool titles = false);
