// Starts the number of threads given as its argument (itself included),
// writes "ready" and a line feed on standard output and sleeps until it is
// killed, or for two minutes at most, so that nothing outlives a test run.
#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

void* Sleep(void*) {
    for (;;) pause();
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    alarm(120);
    long threads = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1;
    for (long i = 1; i < threads; ++i) {
        pthread_t thread;
        if (pthread_create(&thread, nullptr, Sleep, nullptr) != 0) return 2;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) pause();
}
