#include "linux_children.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::vector<char*> ArgvOf(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

pid_t StartSleeper(const std::string& name, int extraThreads) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        int ready = dup(fds[1]);  // without close-on-exec
        std::vector<std::string> args = {NAMED_SLEEPER_EXE, name, std::to_string(extraThreads),
                                         std::to_string(ready)};
        auto argv = ArgvOf(args);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    char byte = 0;
    bool ready = poll(&p, 1, 10000) == 1 && read(fds[0], &byte, 1) == 1;
    close(fds[0]);
    if (!ready) {
        KillAndReap(pid);
        return -1;
    }
    return pid;
}

int ReapWithin(pid_t pid, int timeoutMs) {
    for (int waited = 0;; waited += 5) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return status;
        if (r < 0) return -1;
        if (waited >= timeoutMs) return -1;
        usleep(5000);
    }
}

void KillAndReap(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

bool IsRunning(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) != 0) return false;
    std::string state = ReadFileText("/proc/" + std::to_string(pid) + "/stat");
    size_t close = state.rfind(')');
    return close != std::string::npos && close + 2 < state.size() && state[close + 2] != 'Z';
}

CommandResult RunCommand(const std::vector<std::string>& command) {
    CommandResult result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return result;
    pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        dup2(fds[1], 1);
        std::vector<std::string> args = command;
        auto argv = ArgvOf(args);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    char chunk[4096];
    for (;;) {
        ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        result.output.append(chunk, static_cast<size_t>(n));
    }
    close(fds[0]);
    while (waitpid(pid, &result.status, 0) < 0 && errno == EINTR) {
    }
    return result;
}

std::string SelfExe() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

std::vector<std::string> PidNamespacePrefix() {
    static const std::vector<std::string> prefix = [] {
        std::vector<std::vector<std::string>> candidates = {
            {"/usr/bin/unshare", "--pid", "--fork", "--mount-proc"},
            {"/usr/bin/unshare", "--user", "--map-root-user", "--pid", "--fork", "--mount-proc"}};
        for (auto& candidate : candidates) {
            std::vector<std::string> probe = candidate;
            probe.insert(probe.end(), {"/bin/sh", "-c", "test $$ = 1"});
            CommandResult r = RunCommand(probe);
            if (WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0) return candidate;
        }
        return std::vector<std::string>();
    }();
    return prefix;
}

bool RunTestInPidNamespace(const std::string& fullName, std::string& log) {
    std::vector<std::string> command = PidNamespacePrefix();
    if (command.empty()) {
        log = "no PID namespace";
        return false;
    }
    // The shell stays the namespace's init (it does not exec the test,
    // because a command follows), so the test itself is an ordinary process.
    command.insert(command.end(), {"/bin/sh", "-c", "\"$0\" \"$@\"; exit $?", SelfExe(),
                                   "--gtest_also_run_disabled_tests", "--gtest_filter=" + fullName});
    CommandResult r = RunCommand(command);
    log = r.output;
    return WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0 &&
           r.output.find("[  PASSED  ] 1 test.") != std::string::npos;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

unsigned NoSuchPid() {
    unsigned max = 0;
    std::string text = ReadFileText("/proc/sys/kernel/pid_max");
    if (std::sscanf(text.c_str(), "%u", &max) != 1) max = 4194304;
    return max;
}
