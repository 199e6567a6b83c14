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
// malformed; `out` is then unspecified.
bool ParseProcStat(std::string_view text, ProcStat& out);

// The folder the seam reads processes from: "/proc".
const std::string& ProcRoot();

// Reads a whole small file; false when it cannot be opened or read.
bool ReadProcFile(const std::string& path, std::string& out);

// The numeric entries of the proc folder, in directory order.
std::vector<DWORD> ListProcessIds();

// Every snapshot (performance data or Toolhelp) notes the start time of each
// process it lists; the latest snapshot's notes replace earlier ones.
void BeginSnapshotStarts();
void NoteSnapshotStart(DWORD pid, uint64_t startTicks);

// True when `pid` was listed by the latest snapshot and the process now
// holding that PID is the one that was listed (same start time).
bool IsSnapshotProcess(DWORD pid, uint64_t currentStartTicks);
