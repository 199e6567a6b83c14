// The object behind a Toolhelp32 snapshot handle: a fixed image of the
// processes, or of one process's modules, taken when the snapshot is
// created. The walks only read the image.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/handles.h"
#include "platform/win32.h"

struct ProcessRecord {
    DWORD pid = 0;
    DWORD ppid = 0;
    DWORD threads = 0;
    DWORD moduleId = 0;
    LONG priority = 0;
    uint32_t nameOffset = 0;  // the executable path in ToolhelpSnapshot::text
    uint32_t nameLength = 0;
};

struct ModuleRecord {
    DWORD moduleId = 0;
    DWORD pid = 0;
    uint64_t base = 0;
    DWORD size = 0;
    uint32_t pathOffset = 0;  // the full path in ToolhelpSnapshot::text
    uint32_t pathLength = 0;
    uint32_t nameStart = 0;   // where the file name begins within the path
};

struct ToolhelpSnapshot {
    SeamHandle header;
    std::vector<ProcessRecord> processes;
    std::vector<ModuleRecord> modules;
    std::string text;  // the paths of all records, back to back
    size_t nextProcess = 0;
    size_t nextModule = 0;
};

// The executable of one process as both snapshots describe it.
struct ExeImage {
    bool known = false;  // the exe link could be read
    std::string path;    // cut to MAX_PATH - 1 bytes
    DWORD moduleId = 0;  // 0 when the file could not be examined
    uint64_t device = 0;
    uint64_t inode = 0;
};

// Reads ProcRoot()/PID/exe: its target (with the kernel's " (deleted)" mark
// removed when the file has no links left) and the identifier of the file.
ExeImage ReadExeImage(DWORD pid);

// Fill a fresh snapshot; false with the last error set when the image
// cannot be taken.
bool FillProcessImage(ToolhelpSnapshot& snapshot);
bool FillModuleImage(ToolhelpSnapshot& snapshot, DWORD pid);

// A Win32 error code for an errno of a failed open or read.
DWORD ErrorFromErrno(int error);
