// The floor of a process listing: one pass over /proc reading `stat` and
// `statm` of each process once, one printed line per process (PID, threads,
// CPU ticks, resident and total pages, command name), buffered output.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long ReadSmall(const char* path, char* buffer, size_t capacity) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    ssize_t n = read(fd, buffer, capacity - 1);
    close(fd);
    if (n < 0) return -1;
    buffer[n] = '\0';
    return n;
}

}  // namespace

int main() {
    static char out[1 << 16];
    setvbuf(stdout, out, _IOFBF, sizeof out);
    DIR* dir = opendir("/proc");
    if (dir == nullptr) return 1;
    char path[300];
    char stat[2048];
    char statm[256];
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        std::snprintf(path, sizeof path, "/proc/%s/stat", entry->d_name);
        if (ReadSmall(path, stat, sizeof stat) <= 0) continue;
        std::snprintf(path, sizeof path, "/proc/%s/statm", entry->d_name);
        if (ReadSmall(path, statm, sizeof statm) <= 0) continue;
        char* open = std::strchr(stat, '(');
        char* close = std::strrchr(stat, ')');
        if (open == nullptr || close == nullptr) continue;
        *close = '\0';
        // Fields after the name: 3 state ... 14 utime, 15 stime, 20 threads.
        char* fields[21] = {};
        char* p = close + 2;
        for (int field = 3; field <= 20 && p != nullptr; ++field) {
            fields[field] = p;
            p = std::strchr(p, ' ');
            if (p != nullptr) ++p;
        }
        if (fields[20] == nullptr) continue;
        unsigned long long ticks = std::strtoull(fields[14], nullptr, 10) + std::strtoull(fields[15], nullptr, 10);
        unsigned long threads = std::strtoul(fields[20], nullptr, 10);
        char* end = nullptr;
        unsigned long long size = std::strtoull(statm, &end, 10);
        unsigned long long resident = std::strtoull(end, nullptr, 10);
        std::printf("%6s %4lu %10llu %8llu %8llu %s\n", entry->d_name, threads, ticks, resident, size, open + 1);
    }
    closedir(dir);
    return 0;
}
