// A set of sleeping processes for the benchmarks: `bench_sleeper NAME COUNT`
// forks COUNT children that take NAME as their command name and sleep until
// a signal ends them. The parent prints "ready" once all carry the name, reaps every
// child, prints "reaped COUNT" and exits when the last one is gone, so that
// its last line tells whether all were reaped. Each child dies with its parent (PR_SET_PDEATHSIG), so killing the
// parent never leaves a sleeper behind.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_sleeper NAME COUNT\n");
        return 2;
    }
    const char* name = argv[1];
    long count = std::strtol(argv[2], nullptr, 10);
    if (count <= 0) return 2;
    // Each child writes one byte here once it carries its name.
    int named[2];
    if (pipe(named) != 0) return 1;
    pid_t parent = getpid();
    for (long i = 0; i < count; ++i) {
        pid_t pid = fork();
        if (pid < 0) {
            std::perror("fork");
            return 1;
        }
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(0);
            prctl(PR_SET_NAME, name);
            close(named[0]);
            char one = 1;
            if (write(named[1], &one, 1) != 1) _exit(1);
            close(named[1]);
            for (;;) pause();
        }
    }
    close(named[1]);
    long ready = 0;
    char bytes[4096];
    while (ready < count) {
        ssize_t n = read(named[0], bytes, sizeof bytes);
        if (n > 0) {
            ready += n;
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(named[0]);
    if (ready < count) {
        std::fprintf(stderr, "only %ld of %ld sleepers started\n", ready, count);
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    long reaped = 0;
    while (reaped < count) {
        if (wait(nullptr) > 0) {
            ++reaped;
        } else if (errno != EINTR) {
            break;
        }
    }
    std::printf("reaped %ld\n", reaped);
    return reaped == count ? 0 : 1;
}
