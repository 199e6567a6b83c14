// Child processes and commands for the tests on the real machine. Every
// process a test targets is one it started here.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// Starts the named sleeper with the command name `name` and `extraThreads`
// more threads and waits until it is ready; -1 on failure.
pid_t StartSleeper(const std::string& name, int extraThreads = 0);

// Waits for the child and returns its wait status; -1 when it did not end
// within `timeoutMs` (it is then left running).
int ReapWithin(pid_t pid, int timeoutMs);

// Kills and reaps a child that may still be running.
void KillAndReap(pid_t pid);

// True while the child is running (not ended, not yet reaped).
bool IsRunning(pid_t pid);

struct CommandResult {
    std::string output;  // standard output
    int status = -1;     // wait status
};

// Runs a program with its arguments (argv[0] is the program path) and
// captures its standard output.
CommandResult RunCommand(const std::vector<std::string>& argv);

// This test executable's own path.
std::string SelfExe();

// The prefix of a command line that runs a program in a new PID namespace
// with its own /proc, under a shell that is the namespace's init; empty
// when namespaces cannot be made here.
std::vector<std::string> PidNamespacePrefix();

// Runs the disabled test `fullName` of this executable in a new PID
// namespace. Returns false (and the output in `log`) unless the one test
// ran and passed.
bool RunTestInPidNamespace(const std::string& fullName, std::string& log);

// The fields of /proc/PID/stat and statm as text, read straight.
std::string ReadFileText(const std::string& path);

// The kernel's largest PID plus one: no process can have it.
unsigned NoSuchPid();
