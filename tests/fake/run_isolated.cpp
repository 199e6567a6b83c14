#include "tests/fake/run_isolated.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "tests/fake/fake_internal.h"
#include "tests/fake/run_shared.h"

int TaskreapMain(int argc, char** argv);

namespace {

std::string ReadAll(int fd) {
    std::string text;
    lseek(fd, 0, SEEK_SET);
    char buffer[65536];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    return text;
}

int TempFile() {
    const int fd = memfd_create("taskreap-run", 0);
    if (fd < 0) throw std::runtime_error("memfd_create failed");
    return fd;
}

RunShared* sharedForLibcExit = nullptr;
void NoteLibcExit() {
    std::cout.flush();
    if (sharedForLibcExit != nullptr && sharedForLibcExit->end == static_cast<int>(RunEnd::Returned))
        sharedForLibcExit->end = static_cast<int>(RunEnd::LibcExit);
}

}  // namespace

int RunResult::CountCalls(const std::string& prefix) const {
    return static_cast<int>(CallsStartingWith(prefix).size());
}

std::vector<std::string> RunResult::CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const auto& c : calls)
        if (c.compare(0, prefix.size(), prefix) == 0) found.push_back(c);
    return found;
}

RunResult RunIsolated(const std::function<void()>& body) {
    const int outFd = TempFile();
    const int logFd = TempFile();
    void* page = mmap(nullptr, sizeof(RunShared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS,
                      -1, 0);
    if (page == MAP_FAILED) throw std::runtime_error("mmap failed");
    auto* shared = static_cast<RunShared*>(page);
    shared->end = static_cast<int>(RunEnd::Returned);
    shared->exitCode = 0;

    std::cout.flush();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        dup2(outFd, STDOUT_FILENO);
        std::setvbuf(stdout, nullptr, _IONBF, 0);
        FakeBeginChild(logFd, shared);
        sharedForLibcExit = shared;
        std::atexit(NoteLibcExit);
        body();
        std::cout.flush();
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);

    RunResult result;
    result.out = ReadAll(outFd);
    std::istringstream log(ReadAll(logFd));
    for (std::string line; std::getline(log, line);) result.calls.push_back(line);
    result.end = static_cast<RunEnd>(shared->end);
    if (WIFSIGNALED(status)) {
        result.end = RunEnd::Crashed;
        result.signal = WTERMSIG(status);
    } else if (result.end == RunEnd::ExitProcess || result.end == RunEnd::TerminatedSelf) {
        result.exitCode = shared->exitCode;
    } else {
        result.exitCode = static_cast<uint32_t>(WEXITSTATUS(status));
    }
    munmap(page, sizeof(RunShared));
    close(outFd);
    close(logFd);
    return result;
}

RunResult RunProgram(const std::vector<std::string>& args) {
    return RunIsolated([&args] {
        std::vector<std::string> storage;
        storage.push_back("taskreap");
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& s : storage) argv.push_back(s.data());
        argv.push_back(nullptr);
        TaskreapMain(static_cast<int>(storage.size()), argv.data());
    });
}
