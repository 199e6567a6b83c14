#include "toolhelp_children.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace th95 {

namespace {

std::vector<char*> ArgvOf(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    return args;
}

// Forks and execs with standard output on a new pipe; the read end in `out`.
pid_t Launch(const std::vector<std::string>& argv, int niceIncrement, int& out) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    std::vector<char*> args = ArgvOf(argv);
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        if (niceIncrement != 0) setpriority(PRIO_PROCESS, 0, niceIncrement);
        execv(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    out = fds[0];
    return pid;
}

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

std::string ReadAll(int fd) {
    std::string text;
    char chunk[4096];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return text;
        text.append(chunk, static_cast<size_t>(n));
    }
}

// Runs the body in this process and sends its report up `fd`.
[[noreturn]] void RunBody(const std::function<void(std::string&)>& body, int fd) {
    std::string report;
    body(report);
    WriteAll(fd, "done\n" + report);
    _exit(0);
}

// Process 1 of a new PID namespace: a private /proc first.
[[noreturn]] void RunIsolatedBody(const std::function<void(std::string&)>& body, int fd) {
    if (mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0) {
        WriteAll(fd, "done\ncannot mount a private /proc\n");
        _exit(0);
    }
    // PID 2 goes to a placeholder: on the host it is the kernel thread
    // daemon, whose PID (and whose children's parent PID) the seam's
    // termination refuses, so the body's processes start from PID 3.
    pid_t placeholder = fork();
    if (placeholder == 0) {
        for (;;) pause();
    }
    RunBody(body, fd);  // the namespace and the placeholder end with process 1
}

}  // namespace

Child StartChild(const std::vector<std::string>& argv, int niceIncrement, std::string* firstLine) {
    Child child;
    child.pid = Launch(argv, niceIncrement, child.out);
    if (child.pid < 0) return child;
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{child.out, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char c;
        ssize_t n = read(child.out, &c, 1);
        if (n <= 0) break;
        if (c == '\n') {
            if (firstLine != nullptr) *firstLine = line;
            return child;
        }
        line.push_back(c);
    }
    StopChild(child);
    return child;
}

void StopChild(Child& child) {
    if (child.pid > 0) {
        kill(child.pid, SIGKILL);
        waitpid(child.pid, nullptr, 0);
    }
    if (child.out >= 0) close(child.out);
    child.pid = -1;
    child.out = -1;
}

bool WaitReaped(pid_t pid, int timeoutMs, int* status) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int s = 0;
        pid_t r = waitpid(pid, &s, WNOHANG);
        if (r == pid) {
            if (status != nullptr) *status = s;
            return true;
        }
        if (r < 0 && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

ToolRun RunTool(const std::vector<std::string>& argv) {
    ToolRun run;
    int out = -1;
    pid_t pid = Launch(argv, 0, out);
    if (pid < 0) return run;
    run.output = ReadAll(out);
    close(out);
    waitpid(pid, &run.status, 0);
    return run;
}

bool ScenarioCanRun(std::string* why) {
    if (geteuid() != 0) return true;
    pid_t pid = fork();
    if (pid == 0) _exit(unshare(CLONE_NEWPID | CLONE_NEWNS) == 0 ? 0 : 1);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (why != nullptr) *why = "running as root, but no private PID namespace can be made";
        return false;
    }
    return true;
}

Scenario RunScenario(const std::function<void(std::string&)>& body) {
    Scenario scenario;
    scenario.isolated = geteuid() == 0;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        scenario.report = "no pipe";
        return scenario;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (!scenario.isolated) {
            prctl(PR_SET_CHILD_SUBREAPER, 1);
            RunBody(body, fds[1]);
        }
        if (unshare(CLONE_NEWPID | CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            _exit(3);
        pid_t init = fork();
        if (init == 0) RunIsolatedBody(body, fds[1]);
        int status = 0;
        if (init < 0 || waitpid(init, &status, 0) != init) _exit(4);
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 5);
    }
    close(fds[1]);
    std::string text = pid > 0 ? ReadAll(fds[0]) : std::string();
    close(fds[0]);
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
    scenario.finished = text.rfind("done\n", 0) == 0;
    scenario.report = scenario.finished ? text.substr(5)
                                        : "the scenario did not finish (wait status " +
                                              std::to_string(status) + ")";
    return scenario;
}

std::string MakeTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/th95-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    return mkdtemp(name.data()) != nullptr ? std::string(name.data()) : std::string();
}

std::string CopyExecutable(const std::string& from, const std::string& dir, const std::string& name) {
    std::string to = dir + "/" + name;
    std::error_code error;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
    if (error || chmod(to.c_str(), 0755) != 0) return std::string();
    return to;
}

void RemoveTree(const std::string& dir) {
    if (dir.empty()) return;
    std::error_code error;
    std::filesystem::remove_all(dir, error);
}

}  // namespace th95
