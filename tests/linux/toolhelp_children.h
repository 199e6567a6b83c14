// Child processes for the tests on the real machine: helpers started with
// their standard output on a pipe, runs of the built tools, and scenarios
// that run in a private PID namespace with a /proc of their own when the
// tests run as root, so that nothing but the scenario's own processes can
// ever be selected there.
#pragma once
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace th95 {

struct Child {
    pid_t pid = -1;
    int out = -1;  // read end of the child's standard output
};

// Starts argv[0] with the arguments after it, nice value raised by
// `niceIncrement`, and waits up to five seconds for its first line of
// output, stored in `firstLine` (without the line feed). pid is -1 when the
// start failed.
Child StartChild(const std::vector<std::string>& argv, int niceIncrement, std::string* firstLine);

// Kills a child that is still there and reaps it.
void StopChild(Child& child);

// Waits up to `timeoutMs` for `pid` (a child or an adopted orphan) to end;
// true with its wait status once reaped.
bool WaitReaped(pid_t pid, int timeoutMs, int* status);

struct ToolRun {
    std::string output;  // everything written on standard output
    int status = -1;     // the raw wait status
};

// Runs argv[0] to its end, standard output captured.
ToolRun RunTool(const std::vector<std::string>& argv);

struct Scenario {
    bool isolated = false;  // ran inside its own PID namespace
    bool finished = false;  // the body ran to its end
    std::string report;     // what the body noted; empty when all went well
};

// Runs `body` in a forked process that adopts its orphans: as root inside a
// new PID namespace and mount namespace with a fresh /proc (the body is
// process 1 there); otherwise as a plain child. The body notes every
// failure in its report.
Scenario RunScenario(const std::function<void(std::string& report)>& body);

// Whether RunScenario can isolate: false when the tests run as root but a
// PID namespace cannot be made, where killing tests must not run.
bool ScenarioCanRun(std::string* why);

// A fresh directory under the temporary folder, and a copy of an
// executable into it (mode 0755); empty on failure.
std::string MakeTempDir();
std::string CopyExecutable(const std::string& from, const std::string& dir, const std::string& name);
void RemoveTree(const std::string& dir);

}  // namespace th95
