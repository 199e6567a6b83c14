// The Toolhelp32 entry points of KERNEL32.DLL, bound by name at run time,
// and the steps of a run that use them: binding, the process snapshot and
// the release at a normal end.
#pragma once
#include "platform/win32.h"

typedef HANDLE(WINAPI* CreateSnapshotFn)(DWORD flags, DWORD processId);
typedef BOOL(WINAPI* ProcessWalkFn)(HANDLE snapshot, PROCESSENTRY32* entry);
typedef BOOL(WINAPI* ModuleWalkFn)(HANDLE snapshot, MODULEENTRY32* entry);

// One slot per exported name, in the order they are looked up. The first
// three must be present; the module walk is optional and its slots stay
// null when the library lacks them.
struct ToolhelpApi {
    CreateSnapshotFn CreateSnapshot;  // "CreateToolhelp32Snapshot"
    ProcessWalkFn ProcessFirst;       // "Process32First"
    ProcessWalkFn ProcessNext;        // "Process32Next"
    ModuleWalkFn ModuleFirst;         // "Module32First"
    ModuleWalkFn ModuleNext;          // "Module32Next"
};

// Written once by BindToolhelp, never cleared.
extern ToolhelpApi Toolhelp;

// Loads KERNEL32.DLL and fills Toolhelp. Returns the library handle; when
// the library does not load or a required entry point is missing, prints
// one line and ends the process with 0xFFFF.
HMODULE BindToolhelp();

// Takes the run's one process snapshot; ends the process with 0xFFFF when
// none can be taken.
HANDLE TakeProcessSnapshot();

// The release at a normal end: the snapshot, then the library.
void ReleaseToolhelp(HANDLE snapshot, HMODULE library);
