// Standard output of the Linux seam. The program makes stdout unbuffered
// so that every piece of a row is on the stream as soon as it is written;
// on Linux each piece would then cost a system call of its own, a dozen
// per row. The executables are linked with --wrap=setbuf, which brings
// that call here, and the seam gives stdout a line buffer instead, keeping
// what the program relies on: a line reaches the stream at its line feed
// at the latest, ExitProcess flushes every stream before the process ends
// (also when the program terminates itself in the middle of a row), and
// exit() flushes as the C library always does.
#include <cstdio>

extern "C" void __real_setbuf(FILE* stream, char* buffer);

extern "C" void __wrap_setbuf(FILE* stream, char* buffer) {
    if (stream == stdout && buffer == nullptr) {
        static char line[BUFSIZ];
        if (std::setvbuf(stdout, line, _IOLBF, sizeof line) == 0) return;
    }
    __real_setbuf(stream, buffer);
}
