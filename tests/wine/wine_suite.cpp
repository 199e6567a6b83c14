#include "wine_suite.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "host_process.h"

namespace {

struct Suite {
    std::string Wine, WineServer, TempDir;
    std::string Error;  // why the suite could not start
    int HolderPid = -1;
    bool Ready = false;
};
Suite suite;

std::string WorkDir() { return std::filesystem::path(WINE_TASKREAP_EXE).parent_path(); }

std::string Describe(const ProcessResult& r) {
    std::ostringstream s;
    s << "status " << r.Status << (r.TimedOut ? " (timed out)" : "") << ", stdout [" << r.Out
      << "], stderr [" << r.Err << "]";
    return s.str();
}

bool Fail(const std::string& why) {
    suite.Error = why;
    return false;
}

bool Prepare(const char* version) {
    const char* wine = std::getenv("TASKREAP_WINE");
    suite.Wine = FindExecutable({wine ? wine : "", "/usr/lib/wine/wine64", "wine64", "wine"});
    const char* server = std::getenv("TASKREAP_WINESERVER");
    suite.WineServer = FindExecutable({server ? server : "", "/usr/lib/wine/wineserver64",
                                       "/usr/lib/wine/wineserver", "wineserver64", "wineserver"});
    if (suite.Wine.empty() || suite.WineServer.empty())
        return Fail("Wine not found: install the package wine64 (or set TASKREAP_WINE and "
                    "TASKREAP_WINESERVER)");
    for (const char* exe : {WINE_TASKREAP_EXE, WINE_RUNNER_EXE, WINE_SLEEPER_EXE, WINE_HOLDER_EXE})
        if (access(exe, R_OK) != 0) return Fail(std::string("not built: ") + exe);

    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/taskreap-wine-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return Fail("cannot create a temporary folder");
    suite.TempDir = pattern;

    setenv("WINEPREFIX", (suite.TempDir + "/prefix").c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    // No Mono or Gecko installer, no desktop menu entries: nothing but the
    // processes Wine needs to run a console program.
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml,winemenubuilder.exe=d", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");

    ProcessResult boot = RunProgram({suite.Wine, "wineboot", "--init"}, "", 240);
    if (boot.Status != 0) return Fail("wineboot --init failed: " + Describe(boot));
    if (version != nullptr) {
        ProcessResult reg = RunProgram({suite.Wine, "reg", "add", "HKCU\\Software\\Wine", "/v",
                                        "Version", "/d", version, "/f"},
                                       "", 60);
        if (reg.Status != 0) return Fail("setting the Windows version failed: " + Describe(reg));
    }
    // A sleeper keeps Wine's own processes up between the cases, so that
    // every case sees the same set of them.
    suite.HolderPid = StartInBackground({suite.Wine, WINE_HOLDER_EXE, "600"}, WorkDir());
    if (suite.HolderPid < 0) return Fail("cannot start holder.exe");
    for (int tries = 0; tries < 30; ++tries) {
        ToolRun probe = RunTaskreap({}, RunOptions{true, false});
        if (!probe.Problems.empty()) return Fail("the runner does not work: " + probe.Problems);
        for (const SnapshotEntry& e : probe.Before)
            if (e.ExeFile == "holder.exe") return true;
        sleep(1);
    }
    ToolRun last = RunTaskreap({}, RunOptions{true, false});
    std::string seen;
    for (const SnapshotEntry& e : last.Before) seen += " " + e.ExeFile;
    return Fail("holder.exe never showed up in a process snapshot; seen:" + seen);
}

uint32_t Number(const std::string& text) { return static_cast<uint32_t>(std::stoul(text)); }

}  // namespace

void WineSuite::StartSuite(const char* version) {
    suite = Suite{};
    suite.Ready = Prepare(version);
}

void WineSuite::EndSuite() {
    if (!suite.WineServer.empty() && !suite.TempDir.empty()) {
        RunProgram({suite.WineServer, "-k"}, "", 60);
        RunProgram({suite.WineServer, "-w"}, "", 60);
    }
    if (suite.HolderPid > 0) {
        int status = 0;
        for (int tries = 0; tries < 100 && waitpid(suite.HolderPid, &status, WNOHANG) == 0; ++tries)
            usleep(100000);
        if (waitpid(suite.HolderPid, &status, WNOHANG) == 0) {
            kill(suite.HolderPid, SIGKILL);
            waitpid(suite.HolderPid, &status, 0);
        }
    }
    if (!suite.TempDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(suite.TempDir, ignored);
    }
    suite = Suite{};
}

void WineSuite::SetUp() { ASSERT_TRUE(suite.Ready) << suite.Error; }

ToolRun RunTaskreap(const std::vector<std::string>& args, RunOptions options) {
    std::vector<std::string> argv = {suite.Wine, WINE_RUNNER_EXE};
    if (options.Snapshot) argv.push_back("--snapshot");
    if (options.Spawn) argv.insert(argv.end(), {"--spawn", "sleeper.exe"});
    argv.insert(argv.end(), {"--", "taskreap.exe"});
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessResult r = RunProgram(argv, WorkDir(), 120);

    ToolRun run;
    run.Out = r.Out;
    std::ostringstream problems;
    if (r.Status != 0 || r.TimedOut) problems << "the runner failed: " << Describe(r) << "\n";
    bool exited = false;
    std::istringstream err(r.Err);
    for (std::string line; std::getline(err, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // a console line end
        std::istringstream words(line);
        std::string tag, what;
        words >> tag >> what;
        std::string rest;
        std::getline(words >> std::ws, rest);
        try {
            if (tag != "runner:") {
                problems << "unexpected on standard error: " << line << "\n";
            } else if (what == "self") {
                run.RunnerPid = Number(rest);
            } else if (what == "started") {
                run.Pid = Number(rest);
            } else if (what == "exit") {
                run.Exit = Number(rest);
                exited = true;
            } else if (what == "before" || what == "after") {
                SnapshotEntry e;
                const size_t blank = rest.find(' ');
                e.Pid = Number(rest.substr(0, blank));
                e.ExeFile = blank == std::string::npos ? "" : rest.substr(blank + 1);
                (what == "before" ? run.Before : run.After).push_back(e);
            } else if (what == "spawned" && rest.rfind("exit ", 0) == 0) {
                run.SpawnedEnded = true;
                run.SpawnedExit = Number(rest.substr(5));
            } else if (what == "spawned" && rest == "still running") {
                run.SpawnedEnded = false;
            } else if (what == "spawned") {
                run.SpawnedPid = Number(rest);
            } else {
                problems << "runner: " << line << "\n";
            }
        } catch (const std::exception&) {
            problems << "unreadable runner line: " << line << "\n";
        }
    }
    if (!exited) problems << "no exit code reported: " << Describe(r) << "\n";
    run.Problems = problems.str();
    return run;
}

std::string RunWineProgram(const std::vector<std::string>& args, int& status) {
    std::vector<std::string> argv = {suite.Wine};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessResult r = RunProgram(argv, WorkDir(), 120);
    status = r.TimedOut ? -1 : r.Status;
    return r.Out;
}

std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}
