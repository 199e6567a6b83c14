// The module lookup that tells 32-bit from 16-bit processes.
#pragma once
#include <cstddef>

#include "platform/win32.h"

// Looks for the first module of process `processId` whose th32ModuleID is
// `moduleId`, in a module snapshot of its own. When found, copies the first
// `entrySize` bytes of its entry (at most a whole MODULEENTRY32) into
// `entry` and returns 1; otherwise returns 0 and leaves `entry` untouched.
// Without the module walk functions it takes no snapshot and returns 0.
int FindModuleEntry(DWORD processId, DWORD moduleId, MODULEENTRY32* entry, size_t entrySize);

// 1 when the process counts as 32-bit: its own module was not found, or its
// path equals `exePath` ignoring case. 0 (16-bit) when the module's path
// differs.
int IsWin32Module(const char* exePath, DWORD processId, DWORD moduleId);
