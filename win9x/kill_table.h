// The PIDs chosen for termination: fixed storage, insertion order, no
// duplicates, never 0.
#pragma once
#include "platform/win32.h"

constexpr unsigned kKillTableSlots = 0x1000;

struct KillTableRecord {
    DWORD Pids[kKillTableSlots];
    WORD Count;  // slots in use, from the first
};

// Empty at start; filled by the selection pass, read by the listing pass.
extern KillTableRecord KillTable;

// 1 when `pid` is one of the entries in use, else 0.
int KillTableContains(DWORD pid);

// Appends `pid` unless it is 0 or already there. When the table is full,
// prints the overflow lines and ends the program through exit(0xFFFF), so
// that exit handlers run.
void KillTableAdd(DWORD pid);
