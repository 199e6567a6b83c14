// The pieces of a Toolhelp32 snapshot that come from parsing text: one line
// of /proc/PID/maps, the base priority of a scheduling setting, the module
// identifier of a file and the cleaning of an executable path. Plain
// functions, safe on any input.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/win32.h"

// One line of /proc/PID/maps:
// "start-end perms offset major:minor inode   pathname".
struct MapsLine {
    uint64_t start = 0;
    uint64_t end = 0;
    uint64_t offset = 0;
    uint32_t devMajor = 0;
    uint32_t devMinor = 0;
    uint64_t inode = 0;
    std::string_view path;  // the rest of the line after the blanks; may be empty
};

// Parses one line, with or without its line feed. False when a field is
// missing or malformed (then `out` is unspecified). `out.path` points into
// `line`.
bool ParseMapsLine(std::string_view line, MapsLine& out);

// True when the mapping is of a file that counts as a module: a path that
// begins with '/' and a nonzero inode.
bool IsModuleMapping(const MapsLine& line);

// The Windows base priority of a scheduling policy and nice value: 24 for
// the real-time policies (SCHED_FIFO, SCHED_RR, SCHED_DEADLINE), 4 for
// SCHED_IDLE, otherwise by nice value 4 (10 and above), 6 (1 to 9), 8 (0),
// 10 (-1 to -9), 13 (-10 and below).
LONG BasePriorityFor(uint32_t policy, int64_t nice);

// The module identifier of the file with device `device` (a dev_t as stat
// gives it, or makedev of the major and minor of a maps line) and inode
// `inode`. Never 0: 0 stands for "no module known".
DWORD ModuleIdFor(uint64_t device, uint64_t inode);
DWORD ModuleIdForMaps(const MapsLine& line);

// `path` without a trailing " (deleted)", the mark that the kernel appends
// to the path of a file that was unlinked while in use. The caller decides
// whether the mark is the kernel's (a link count of 0) or part of the name.
std::string_view StripDeletedMark(std::string_view path);

// The file name of a path: the bytes after its last '/'.
std::string_view FileNameOf(std::string_view path);

// Copies `text` into `buffer` of `capacity` bytes (at least 1), cut to
// capacity - 1 bytes, NUL-terminated.
void CopyCut(std::string_view text, char* buffer, size_t capacity);
