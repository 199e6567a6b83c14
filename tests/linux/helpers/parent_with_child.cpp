// Forks one child that sleeps, writes the child's PID and a line feed on
// standard output, and sleeps itself. Neither waits for the other; each
// ends when it is killed, or after two minutes at most.
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>

int main() {
    pid_t child = fork();
    if (child < 0) return 2;
    alarm(120);
    if (child == 0) {
        for (;;) pause();
    }
    std::printf("%d\n", static_cast<int>(child));
    std::fflush(stdout);
    for (;;) pause();
}
