// A Wine prefix per test suite, and runs of taskreap.exe inside it through
// the Windows-side runner, which reports the full 32-bit exit code.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct SnapshotEntry {
    uint32_t Pid = 0;
    std::string ExeFile;
};

struct ToolRun {
    std::string Out;        // taskreap's standard output, byte for byte
    uint32_t Exit = 0;      // its exit code as GetExitCodeProcess gives it
    uint32_t Pid = 0;       // its process identifier
    uint32_t RunnerPid = 0; // the runner's, the parent of taskreap
    uint32_t SpawnedPid = 0;
    bool SpawnedEnded = false;  // the spawned sleeper ended within 10 s
    uint32_t SpawnedExit = 0;
    std::vector<SnapshotEntry> Before, After;  // with Snapshot only
    std::string Problems;   // what went wrong around the run; empty if nothing
};

struct RunOptions {
    bool Snapshot = false;  // Toolhelp32 snapshots before and after the run
    bool Spawn = false;     // start sleeper.exe first; "{spawned}" in an
                            // argument becomes its PID in hexadecimal
};

// Runs taskreap.exe with `args` in the suite's prefix.
ToolRun RunTaskreap(const std::vector<std::string>& args, RunOptions options = {});

// Runs a Wine program (such as "reg") with `args` in the suite's prefix and
// returns its standard output; `status` receives its exit status.
std::string RunWineProgram(const std::vector<std::string>& args, int& status);

// Windows console text: every line feed written as CR LF.
std::string Crlf(const std::string& text);

// The base of the suites: one fresh prefix for all cases of a suite, created
// in a temporary folder before the first case and removed after the last,
// with Wine's server ended. `version` is the Windows version Wine reports
// (HKCU\Software\Wine, value Version), or null for Wine's default.
class WineSuite : public ::testing::Test {
protected:
    static void StartSuite(const char* version);
    static void EndSuite();
    void SetUp() override;
};
