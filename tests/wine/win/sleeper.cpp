// A process that sleeps and does nothing, for the tests to find, terminate or
// keep Wine running with. It ends by itself after the number of seconds given
// as its argument (120 without one), so that a failed test leaves nothing
// behind for long; that end has the exit code 3.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    const long seconds = argc > 1 ? std::atol(argv[1]) : 120;
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return 3;
}
