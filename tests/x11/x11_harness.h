// Processes for the window tests: a private Xvfb, the test client and the
// program runs, each started with its own DISPLAY and stopped again.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// An Xvfb of our own on a display number it picks itself (-displayfd).
struct XServer {
    pid_t pid = -1;
    std::string display;  // ":N", empty when the server did not start
};

XServer StartXvfb(const std::vector<std::string>& extraArgs = {});
void StopProcess(pid_t& pid);  // SIGTERM (SIGKILL after 2 s) and reap; pid becomes -1

// A display name that no server serves (no socket, no lock file).
std::string UnservedDisplay();

// The test client with its windows (ids in creation order) once it said
// "ready"; pid is -1 when it failed.
struct TitleClient {
    pid_t pid = -1;
    std::vector<unsigned long> windows;
};

TitleClient StartTitleClient(const std::string& display, const std::vector<std::string>& args);

// A program run to its end or killed after `timeoutSeconds`.
struct RunResult {
    bool timedOut = false;
    int status = -1;  // the exit status when it exited
    std::string out;
    std::string err;
    double seconds = 0;
};

// Runs argv with DISPLAY set to `display`, or unset when `display` is null.
RunResult RunProgram(const std::vector<std::string>& argv, const char* display, double timeoutSeconds);

// Starts argv in the background with DISPLAY set; its output is discarded.
pid_t SpawnWithDisplay(const std::vector<std::string>& argv, const std::string& display);

// Sets or unsets (null) DISPLAY of this process.
void SetDisplay(const char* display);

// Waits until the root window of `display` has `count` children, asking
// with a connection of its own. False when that did not happen in time.
bool WaitForTopLevelCount(const std::string& display, unsigned count, double seconds);
