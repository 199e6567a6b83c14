#include "tests/x11/x11_harness.h"

#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<char*> ArgPointers(const std::vector<std::string>& argv) {
    std::vector<char*> p;
    for (const std::string& a : argv) p.push_back(const_cast<char*>(a.c_str()));
    p.push_back(nullptr);
    return p;
}

// In a child: dies with the test, and reads nothing from the test's stdin.
void PrepareChild() {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) dup2(null, 0);
}

void RedirectToNull(int fd) {
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) dup2(null, fd);
}

// Reads what `fd` delivers into `out` until `done(out)` holds, the writer
// closes it, or the deadline passes. Returns true when done.
template <typename Done>
bool ReadUntil(int fd, std::string& out, Clock::time_point deadline, Done done) {
    char buffer[4096];
    while (!done(out)) {
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, left) <= 0) continue;
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return done(out);
        out.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

void SetDisplay(const char* display) {
    if (display == nullptr)
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", display, 1);
}

void StopProcess(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);  // lets a server remove its socket and lock file
    auto start = Clock::now();
    while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (SecondsSince(start) > 2.0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            break;
        }
        usleep(2000);
    }
    pid = -1;
}

std::string UnservedDisplay() {
    for (int n = 200; n < 400; ++n) {
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        if (access(socket.c_str(), F_OK) != 0 && access(lock.c_str(), F_OK) != 0) return ":" + std::to_string(n);
    }
    return ":399";
}

XServer StartXvfb(const std::vector<std::string>& extraArgs) {
    XServer server;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return server;
    std::vector<std::string> argv{"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "320x240x24"};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    pid_t pid = fork();
    if (pid == 0) {
        PrepareChild();
        RedirectToNull(1);
        RedirectToNull(2);
        dup2(fds[1], 3);  // dup2 clears close-on-exec on the copy
        auto args = ArgPointers(argv);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return server;
    }
    std::string text;
    bool got = ReadUntil(fds[0], text, Clock::now() + std::chrono::seconds(20),
                         [](const std::string& t) { return t.find('\n') != std::string::npos; });
    close(fds[0]);
    if (!got) {
        StopProcess(pid);
        return server;
    }
    server.pid = pid;
    server.display = ":" + text.substr(0, text.find('\n'));
    return server;
}

TitleClient StartTitleClient(const std::string& display, const std::vector<std::string>& args) {
    TitleClient client;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return client;
    std::vector<std::string> argv{X11_TITLE_CLIENT_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t pid = fork();
    if (pid == 0) {
        PrepareChild();
        dup2(fds[1], 1);
        setenv("DISPLAY", display.c_str(), 1);
        auto a = ArgPointers(argv);
        execv(a[0], a.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return client;
    }
    std::string text;
    bool ready = ReadUntil(fds[0], text, Clock::now() + std::chrono::seconds(20), [](const std::string& t) {
        return t.find("ready\n") != std::string::npos;
    });
    close(fds[0]);
    if (!ready) {
        StopProcess(pid);
        return client;
    }
    client.pid = pid;
    size_t at = 0;
    while ((at = text.find("window 0x", at)) != std::string::npos) {
        client.windows.push_back(std::strtoul(text.c_str() + at + 9, nullptr, 16));
        at += 9;
    }
    return client;
}

RunResult RunProgram(const std::vector<std::string>& argv, const char* display, double timeoutSeconds) {
    RunResult result;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return result;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return result;
    }
    auto start = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        PrepareChild();
        dup2(out[1], 1);
        dup2(err[1], 2);
        SetDisplay(display);
        auto a = ArgPointers(argv);
        execv(a[0], a.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    auto deadline = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
    bool finished = false;
    std::string* targets[2] = {&result.out, &result.err};
    int fds[2] = {out[0], err[0]};
    bool open[2] = {true, true};
    while (open[0] || open[1]) {
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0) break;
        pollfd p[2] = {{open[0] ? fds[0] : -1, POLLIN, 0}, {open[1] ? fds[1] : -1, POLLIN, 0}};
        if (poll(p, 2, left) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (!open[i] || p[i].revents == 0) continue;
            char buffer[4096];
            ssize_t n = read(fds[i], buffer, sizeof buffer);
            if (n <= 0)
                open[i] = false;
            else
                targets[i]->append(buffer, static_cast<size_t>(n));
        }
    }
    int status = 0;
    while (!finished) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            finished = true;
        } else if (Clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.timedOut = true;
            break;
        } else {
            usleep(2000);
        }
    }
    result.seconds = SecondsSince(start);
    close(out[0]);
    close(err[0]);
    if (finished && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    return result;
}

pid_t SpawnWithDisplay(const std::vector<std::string>& argv, const std::string& display) {
    pid_t pid = fork();
    if (pid == 0) {
        PrepareChild();
        RedirectToNull(1);
        RedirectToNull(2);
        setenv("DISPLAY", display.c_str(), 1);
        auto a = ArgPointers(argv);
        execvp(a[0], a.data());
        _exit(127);
    }
    return pid;
}

bool WaitForTopLevelCount(const std::string& display, unsigned count, double seconds) {
    Display* d = XOpenDisplay(display.c_str());
    if (d == nullptr) return false;
    auto start = Clock::now();
    bool reached = false;
    while (!reached && SecondsSince(start) < seconds) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int n = 0;
        XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
        if (children != nullptr) XFree(children);
        reached = n == count;
        if (!reached) usleep(10000);
    }
    XCloseDisplay(d);
    return reached;
}
