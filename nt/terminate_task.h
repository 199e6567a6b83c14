// Termination of one task, with the debug privilege enabled before the first.
#pragma once
#include "platform/win32.h"

// Set until the first termination, which enables the debug privilege.
extern int PrivilegePending;

// Enables "SeDebugPrivilege" in the program's own token: 1 on success, 0
// otherwise, with the reason in the last error. Writes nothing.
int EnableDebugPriv();

// Terminates `pid` with the exit code 0xFFFF and ends the current row with
// the outcome. When the privilege cannot be enabled at the first call, the
// row says so and the program ends with 0xFFFF.
void TerminateTask(DWORD pid);
