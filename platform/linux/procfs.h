// Reading /proc: the process directory scan, the parsers of the per-process
// files, and the record of process start times that guards against a PID
// being reused between a snapshot and a termination.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

// The fields of /proc/PID/stat that the seam uses.
struct ProcStat {
    DWORD pid = 0;
    std::string comm;      // between the first '(' and the last ')'
    char state = '?';
    DWORD ppid = 0;
    uint32_t flags = 0;    // PF_KTHREAD (0x00200000) marks a kernel thread
    uint64_t utimeTicks = 0;
    uint64_t stimeTicks = 0;
    int64_t nice = 0;
    uint32_t threads = 0;
    uint64_t startTicks = 0;  // start time after boot, in clock ticks
    uint32_t policy = 0;      // scheduling policy (SCHED_FIFO 1, SCHED_RR 2)
};

// Parses the text of /proc/PID/stat. False when the line is cut short or
// malformed; `out` is then unspecified. Every field up to the start time
// (field 22) must be there and numeric; the scheduling policy (field 41)
// is read when present and is 0 otherwise.
bool ParseProcStat(std::string_view text, ProcStat& out);

// The fields of /proc/PID/statm, in pages.
struct ProcStatm {
    uint64_t size = 0;
    uint64_t resident = 0;
    uint64_t shared = 0;
    uint64_t text = 0;
    uint64_t lib = 0;
    uint64_t data = 0;  // data plus stack: the private writable mappings
};

// Parses the text of /proc/PID/statm; false when a field of the first six
// (size to data) is missing or not a number.
bool ParseProcStatm(std::string_view text, ProcStatm& out);

// The folder the seam reads processes from: "/proc" unless a test pointed
// the seam at a fixture tree with SetProcRoot.
const std::string& ProcRoot();
void SetProcRoot(const std::string& root);

// Reads a whole small file; false when it cannot be opened or read.
bool ReadProcFile(const std::string& path, std::string& out);

// Reads ProcRoot()/PID/NAME into `buffer` with one read; the byte count, or
// -1 when the file cannot be opened or read, or fills the whole buffer (the
// text would have been cut).
long ReadProcPidFile(DWORD pid, const char* name, char* buffer, size_t capacity);

// /proc/PID/stat and /proc/PID/statm of one process, read and parsed; false
// when the process is gone or the text is malformed.
bool ReadProcessStat(DWORD pid, ProcStat& out);
bool ReadProcessStatm(DWORD pid, ProcStatm& out);

// The numeric entries of the proc folder, in directory order.
std::vector<DWORD> ListProcessIds();

// Clock ticks a second (for the times of stat) and bytes a page (for statm).
uint64_t ClockTicksPerSecond();
uint64_t PageSizeBytes();

// Every snapshot (performance data or Toolhelp) notes the start time of each
// process it lists; the latest snapshot's notes replace earlier ones.
void BeginSnapshotStarts();
void NoteSnapshotStart(DWORD pid, uint64_t startTicks);
// Ends the snapshot: returns once the boot clock has passed the tick of the
// latest start time noted, so that a process born after the snapshot can
// never carry the start time of one it listed (start times count whole
// clock ticks). Waits at most one tick, and only when a listed process was
// born in the current one.
void EndSnapshotStarts();

// True when `pid` was listed by the latest snapshot and the process now
// holding that PID is the one that was listed (same start time).
bool IsSnapshotProcess(DWORD pid, uint64_t currentStartTicks);

// True once any snapshot has been taken in this process.
bool SnapshotTaken();
