// The procfs reader: plain system calls on small stack buffers, so that a
// listing costs one directory scan plus one read of each file it needs.
#include "platform/linux/procfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

namespace {

std::string& RootStorage() {
    static std::string root = "/proc";
    return root;
}

// Skips blanks, then reads one unsigned decimal number; false when there is
// none or it does not fit 64 bits.
bool NextUnsigned(std::string_view text, size_t& pos, uint64_t& value) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\n' || text[pos] == '\t')) ++pos;
    if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') return false;
    uint64_t v = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        uint64_t digit = static_cast<uint64_t>(text[pos] - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
        ++pos;
    }
    if (pos < text.size() && text[pos] != ' ' && text[pos] != '\n' && text[pos] != '\t') return false;
    value = v;
    return true;
}

// The same for a number that may carry a leading '-'.
bool NextSigned(std::string_view text, size_t& pos, int64_t& value) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\n' || text[pos] == '\t')) ++pos;
    bool negative = pos < text.size() && text[pos] == '-';
    if (negative) ++pos;
    uint64_t magnitude = 0;
    if (!NextUnsigned(text, pos, magnitude)) return false;
    if (magnitude > static_cast<uint64_t>(INT64_MAX)) return false;
    value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool NextField(std::string_view text, size_t& pos) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos >= text.size() || text[pos] == '\n') return false;
    while (pos < text.size() && text[pos] != ' ' && text[pos] != '\n') ++pos;
    return true;
}

struct SnapshotStarts {
    std::vector<std::pair<DWORD, uint64_t>> starts;  // sorted on demand
    bool sorted = true;
    bool taken = false;
};

SnapshotStarts& Starts() {
    static SnapshotStarts record;
    return record;
}

}  // namespace

bool ParseProcStat(std::string_view text, ProcStat& out) {
    size_t pos = 0;
    uint64_t pid = 0;
    if (!NextUnsigned(text.substr(0, text.find('(')), pos, pid) || pid > UINT32_MAX) return false;
    size_t open = text.find('(');
    size_t close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return false;
    out.pid = static_cast<DWORD>(pid);
    out.comm.assign(text.substr(open + 1, close - open - 1));

    pos = close + 1;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos >= text.size() || text[pos] == '\n') return false;
    out.state = text[pos++];
    if (pos < text.size() && text[pos] != ' ') return false;

    // Fields 4 to 22: ppid, pgrp, session, tty_nr, tpgid, flags, minflt,
    // cminflt, majflt, cmajflt, utime, stime, cutime, cstime, priority,
    // nice, num_threads, itrealvalue, starttime.
    int64_t fields[23] = {};
    for (int field = 4; field <= 22; ++field) {
        if (!NextSigned(text, pos, fields[field])) return false;
    }
    auto fitsU32 = [](int64_t v) { return v >= 0 && v <= static_cast<int64_t>(UINT32_MAX); };
    if (!fitsU32(fields[4]) || !fitsU32(fields[9]) || !fitsU32(fields[20]) || fields[14] < 0 ||
        fields[15] < 0 || fields[22] < 0)
        return false;
    out.ppid = static_cast<DWORD>(fields[4]);
    out.flags = static_cast<uint32_t>(fields[9]);
    out.utimeTicks = static_cast<uint64_t>(fields[14]);
    out.stimeTicks = static_cast<uint64_t>(fields[15]);
    out.nice = fields[19];
    out.threads = static_cast<uint32_t>(fields[20]);
    out.startTicks = static_cast<uint64_t>(fields[22]);

    // Fields 23 to 40 are skipped; field 41 is the policy, when present.
    out.policy = 0;
    for (int field = 23; field <= 40; ++field) {
        if (!NextField(text, pos)) return true;
    }
    uint64_t policy = 0;
    if (NextUnsigned(text, pos, policy) && policy <= UINT32_MAX) out.policy = static_cast<uint32_t>(policy);
    return true;
}

bool ParseProcStatm(std::string_view text, ProcStatm& out) {
    size_t pos = 0;
    uint64_t* fields[] = {&out.size, &out.resident, &out.shared, &out.text, &out.lib, &out.data};
    for (uint64_t* field : fields) {
        if (!NextUnsigned(text, pos, *field)) return false;
    }
    return true;
}

const std::string& ProcRoot() { return RootStorage(); }

void SetProcRoot(const std::string& root) { RootStorage() = root; }

bool ReadProcFile(const std::string& path, std::string& out) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    out.clear();
    char chunk[4096];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(chunk, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

long ReadProcPidFile(DWORD pid, const char* name, char* buffer, size_t capacity) {
    char path[4096];
    int len = std::snprintf(path, sizeof path, "%s/%u/%s", ProcRoot().c_str(), pid, name);
    if (len < 0 || static_cast<size_t>(len) >= sizeof path || capacity == 0) return -1;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    ssize_t n;
    do {
        n = read(fd, buffer, capacity);
    } while (n < 0 && errno == EINTR);
    close(fd);
    // The kernel hands these small files over in one read; a full buffer
    // means the text did not fit.
    if (n < 0 || static_cast<size_t>(n) >= capacity) return -1;
    return static_cast<long>(n);
}

bool ReadProcessStat(DWORD pid, ProcStat& out) {
    char buffer[2048];
    long n = ReadProcPidFile(pid, "stat", buffer, sizeof buffer);
    return n > 0 && ParseProcStat(std::string_view(buffer, static_cast<size_t>(n)), out);
}

bool ReadProcessStatm(DWORD pid, ProcStatm& out) {
    char buffer[512];
    long n = ReadProcPidFile(pid, "statm", buffer, sizeof buffer);
    return n > 0 && ParseProcStatm(std::string_view(buffer, static_cast<size_t>(n)), out);
}

std::vector<DWORD> ListProcessIds() {
    std::vector<DWORD> pids;
    DIR* dir = opendir(ProcRoot().c_str());
    if (dir == nullptr) return pids;
    while (dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (*name == '\0') continue;
        uint64_t value = 0;
        bool numeric = true;
        for (const char* c = name; *c != '\0'; ++c) {
            if (*c < '0' || *c > '9' || value > UINT32_MAX) {
                numeric = false;
                break;
            }
            value = value * 10 + static_cast<uint64_t>(*c - '0');
        }
        if (numeric && value <= UINT32_MAX) pids.push_back(static_cast<DWORD>(value));
    }
    closedir(dir);
    return pids;
}

uint64_t ClockTicksPerSecond() {
    static const uint64_t ticks = [] {
        long v = sysconf(_SC_CLK_TCK);
        return v > 0 ? static_cast<uint64_t>(v) : uint64_t{100};
    }();
    return ticks;
}

uint64_t PageSizeBytes() {
    static const uint64_t bytes = [] {
        long v = sysconf(_SC_PAGESIZE);
        return v > 0 ? static_cast<uint64_t>(v) : uint64_t{4096};
    }();
    return bytes;
}

void BeginSnapshotStarts() {
    SnapshotStarts& record = Starts();
    record.starts.clear();
    record.sorted = true;
    record.taken = true;
}

void NoteSnapshotStart(DWORD pid, uint64_t startTicks) {
    SnapshotStarts& record = Starts();
    if (!record.starts.empty() && record.starts.back().first > pid) record.sorted = false;
    record.starts.emplace_back(pid, startTicks);
}

void EndSnapshotStarts() {
    const SnapshotStarts& record = Starts();
    uint64_t latest = 0;
    for (const auto& entry : record.starts) latest = std::max(latest, entry.second);
    const uint64_t ticksPerSecond = ClockTicksPerSecond();
    const uint64_t nsPerTick = 1000000000ULL / ticksPerSecond;
    for (int tries = 0; tries < 100; ++tries) {
        timespec now{};
        if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) return;
        const uint64_t ticks = static_cast<uint64_t>(now.tv_sec) * ticksPerSecond +
                               static_cast<uint64_t>(now.tv_nsec) / nsPerTick;
        // Past the latest start: done. Far ahead of the clock: not a start
        // time of this boot clock (a fixture tree), nothing to wait for.
        if (ticks > latest || latest > ticks + 1) return;
        const timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
}

bool IsSnapshotProcess(DWORD pid, uint64_t currentStartTicks) {
    SnapshotStarts& record = Starts();
    if (!record.sorted) {
        std::stable_sort(record.starts.begin(), record.starts.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        record.sorted = true;
    }
    auto it = std::lower_bound(record.starts.begin(), record.starts.end(), pid,
                               [](const auto& entry, DWORD key) { return entry.first < key; });
    return it != record.starts.end() && it->first == pid && it->second == currentStartTicks;
}

bool SnapshotTaken() { return Starts().taken; }
