// Runs program code in a child process against the fake machine, so that
// every run starts from fresh process-wide state and may end the process.
#pragma once
#include <functional>
#include <string>
#include <vector>

enum class RunEnd {
    ExitProcess,     // through ExitProcess: `exitCode` holds the full 32-bit status
    TerminatedSelf,  // TerminateProcess on the program itself: its exit code
    LibcExit,        // through the standard library's exit: only 8 bits are known
    Returned,        // the body returned
    Crashed,         // killed by a signal: `signal`
};

struct RunResult {
    std::string out;                 // everything written to standard output
    RunEnd end = RunEnd::Returned;
    uint32_t exitCode = 0;
    int signal = 0;
    std::vector<std::string> calls;  // the fake's call log, in order

    // Calls whose line starts with `prefix`.
    int CountCalls(const std::string& prefix) const;
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
};

// Runs `body` in a child with standard output captured and unbuffered.
RunResult RunIsolated(const std::function<void()>& body);

// Runs the program's main with argv[0] "taskreap" and the given arguments.
RunResult RunProgram(const std::vector<std::string>& args);
