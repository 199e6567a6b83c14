// Running Linux programs (the Wine loader and server) from the tests.
#pragma once
#include <string>
#include <vector>

struct ProcessResult {
    std::string Out;       // everything written to standard output
    std::string Err;       // everything written to standard error
    int Status = -1;       // exit status, or -1 when killed by a signal
    bool TimedOut = false; // killed after the time limit
};

// Runs `argv` (argv[0] searched in PATH) in the folder `workDir` (the current
// one when empty), with standard input from /dev/null, and waits at most
// `timeoutSeconds` for it; a program that takes longer is killed.
ProcessResult RunProgram(const std::vector<std::string>& argv, const std::string& workDir,
                         int timeoutSeconds);

// Starts `argv` in the background with all standard streams on /dev/null.
// Returns its process id, or -1.
int StartInBackground(const std::vector<std::string>& argv, const std::string& workDir);

// The first of `candidates` that is an executable file (an absolute path as
// it is, a bare name looked up in PATH), or "" when there is none.
std::string FindExecutable(const std::vector<std::string>& candidates);
