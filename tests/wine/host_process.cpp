#include "host_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>

namespace {

std::vector<char*> ArgPointers(const std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    for (const std::string& a : argv) pointers.push_back(const_cast<char*>(a.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

[[noreturn]] void ExecChild(const std::vector<std::string>& argv, const std::string& workDir,
                            int out, int err) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(out < 0 ? null : out, 1);
    dup2(err < 0 ? null : err, 2);
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
    std::vector<char*> pointers = ArgPointers(argv);
    execvp(pointers[0], pointers.data());
    _exit(127);
}

}  // namespace

ProcessResult RunProgram(const std::vector<std::string>& argv, const std::string& workDir,
                         int timeoutSeconds) {
    ProcessResult result;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0) return result;
    if (pipe(errPipe) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return result;
    }
    const pid_t pid = fork();
    if (pid == 0) ExecChild(argv, workDir, outPipe[1], errPipe[1]);
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return result;
    }

    // Read both streams until they end. A program that leaves a descendant
    // holding them open is not waited for longer than two seconds after it
    // has ended itself.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    Clock::time_point drainUntil = Clock::time_point::max();
    int fds[2] = {outPipe[0], errPipe[0]};
    std::string* sinks[2] = {&result.Out, &result.Err};
    int waitStatus = 0;
    bool exited = false;
    while (fds[0] >= 0 || fds[1] >= 0) {
        const Clock::time_point now = Clock::now();
        if (!exited && now > deadline) {
            kill(pid, SIGKILL);
            result.TimedOut = true;
        }
        if (now > drainUntil) break;
        pollfd polls[2];
        for (int i = 0; i < 2; ++i) polls[i] = {fds[i], POLLIN, 0};
        poll(polls, 2, 100);
        for (int i = 0; i < 2; ++i) {
            if (fds[i] < 0 || (polls[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i], buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                close(fds[i]);
                fds[i] = -1;
            }
        }
        if (!exited && waitpid(pid, &waitStatus, WNOHANG) == pid) {
            exited = true;
            drainUntil = Clock::now() + std::chrono::seconds(2);
        }
    }
    for (int fd : fds)
        if (fd >= 0) close(fd);
    if (!exited) waitpid(pid, &waitStatus, 0);
    result.Status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    return result;
}

int StartInBackground(const std::vector<std::string>& argv, const std::string& workDir) {
    const pid_t pid = fork();
    if (pid == 0) ExecChild(argv, workDir, -1, -1);
    return pid;
}

std::string FindExecutable(const std::vector<std::string>& candidates) {
    const char* path = std::getenv("PATH");
    for (const std::string& candidate : candidates) {
        if (candidate.empty()) continue;
        if (candidate.find('/') != std::string::npos) {
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
            continue;
        }
        std::stringstream dirs(path ? path : "");
        for (std::string dir; std::getline(dirs, dir, ':');) {
            const std::string full = (dir.empty() ? "." : dir) + "/" + candidate;
            if (access(full.c_str(), X_OK) == 0) return full;
        }
    }
    return "";
}
