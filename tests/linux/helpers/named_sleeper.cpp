// A child for the tests on the real machine: takes the command name given
// as its first argument, starts the number of extra threads given as the
// second, writes one byte to the file descriptor given as the third to say
// it is ready, and sleeps until it is killed.
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    if (prctl(PR_SET_NAME, argv[1], 0, 0, 0) != 0) return 3;
    int threads = argc > 2 ? std::atoi(argv[2]) : 0;
    for (int i = 0; i < threads; ++i) {
        std::thread([] {
            for (;;) pause();
        }).detach();
    }
    if (argc > 3) {
        int ready = std::atoi(argv[3]);
        char byte = 'r';
        if (write(ready, &byte, 1) != 1) return 4;
        close(ready);
    }
    for (;;) pause();
}
