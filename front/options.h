// The switches of one run, the program banners and the exit statuses.
#pragma once
#include <cstdint>

#include "patterns/name_pattern.h"

struct CommandOptions {
    int KillAll = 0;     // /a
    int KillParent = 0;  // /d, Windows 95/98 only
    int ListOnly = 0;    // /l
    int Verbose = 0;     // /v
    int NameGiven = 0;   // /n<ProcName>
    int PidGiven = 0;    // /p[$]<PID>
    uint32_t Pid = 0;
    NamePattern Pattern{};
};

// Selection mode: a name or a PID chooses the processes.
inline bool InSelectionMode(const CommandOptions& o) { return o.NameGiven || o.PidGiven; }

extern const char NtBanner[];     // "Taskreap W32 1.2 (NT)"
extern const char Win9xBanner[];  // "Taskreap W32 1.2 (W95+W98)"

// Every error ends the run with this status; "Process not found" with 0; a
// normal end with the number of processes selected or listed.
constexpr unsigned kExitError = 0xFFFF;
constexpr unsigned kExitNotFound = 0;
